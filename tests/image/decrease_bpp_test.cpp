// DecreaseBpp gives, index for index, what its earlier implementation gave
// (tests/image/decrease_bpp_reference.h) on photos, noise and flat pictures
// of every shape, with the standard palettes and with palettes full of equal
// distances, for every target depth, with and without error diffusion.
#include "decrease_bpp_reference.h"
#include "raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

enum class Picture { Photo, Noise, Flat };

CRaster MakePicture(Picture kind, uint32_t w, uint32_t h, std::mt19937& rng)
{
    CRaster img(w, h, 24);
    for (long y = 0; y < long(h); ++y)
        for (long x = 0; x < long(w); ++x) {
            int r, g, b;
            if (kind == Picture::Photo) {
                const int noise = int(rng() % 17) - 8;
                r = int(255.0 * x / w) + noise;
                g = int(128 + 100 * std::sin(x * 0.05 + y * 0.03)) + noise;
                b = int(255.0 * (h - y) / h) + noise;
            } else if (kind == Picture::Noise) {
                r = int(rng() & 255);
                g = int(rng() & 255);
                b = int(rng() & 255);
            } else {
                const int block = int((x / 7 + y / 5) % 4);
                r = block * 80;
                g = 255 - block * 60;
                b = block == 2 ? 255 : 10;
            }
            img.SetPixelColor(x, y, MakeRgbQuad(uint8_t(std::clamp(r, 0, 255)), uint8_t(std::clamp(g, 0, 255)),
                                                uint8_t(std::clamp(b, 0, 255))));
        }
    return img;
}

struct NamedPalette {
    const char* name;
    std::vector<RGBQUAD> entries;  // empty: the standard palette
};

std::vector<NamedPalette> Palettes(std::mt19937& rng)
{
    std::vector<NamedPalette> p;
    p.push_back({"standard", {}});
    std::vector<RGBQUAD> random(256), coarse(256), cube(256), greys(256);
    for (int i = 0; i < 256; ++i) {
        random[size_t(i)] = MakeRgbQuad(uint8_t(rng()), uint8_t(rng()), uint8_t(rng()));
        // 27 colours repeated: many equal distances, the lowest index must win.
        const int k = (i * 7) % 27;
        coarse[size_t(i)] = MakeRgbQuad(uint8_t(k / 9 * 100), uint8_t(k / 3 % 3 * 100), uint8_t(k % 3 * 100));
        cube[size_t(i)] = MakeRgbQuad(uint8_t(i / 36 * 42), uint8_t(i / 6 % 6 * 51), uint8_t(i % 6 * 51));
        greys[size_t(i)] = MakeRgbQuad(uint8_t(i), uint8_t(i), uint8_t(i));
    }
    p.push_back({"random", random});
    p.push_back({"coarse", coarse});
    p.push_back({"cube", cube});
    p.push_back({"greys", greys});
    return p;
}

std::string Describe(const char* picture, uint32_t w, uint32_t h, const char* palette, uint32_t bpp, bool diffuse)
{
    return std::string(picture) + " " + std::to_string(w) + "x" + std::to_string(h) + " palette " + palette +
           " to " + std::to_string(bpp) + " bits" + (diffuse ? " with diffusion" : "");
}

TEST(DecreaseBpp, GivesTheReferenceIndicesForEveryPictureAndPalette)
{
    std::mt19937 rng(41);
    const std::pair<uint32_t, uint32_t> sizes[] = {{1, 1}, {1, 37}, {41, 1}, {2, 3}, {97, 61}, {320, 200}};
    const std::pair<Picture, const char*> pictures[] = {
        {Picture::Photo, "photo"}, {Picture::Noise, "noise"}, {Picture::Flat, "flat"}};
    const std::vector<NamedPalette> palettes = Palettes(rng);
    for (const auto& [kind, pictureName] : pictures) {
        for (const auto& [w, h] : sizes) {
            const CRaster source = MakePicture(kind, w, h, rng);
            for (const NamedPalette& pal : palettes) {
                for (uint32_t bpp : {8u, 4u, 1u}) {
                    for (bool diffuse : {true, false}) {
                        const std::string what = Describe(pictureName, w, h, pal.name, bpp, diffuse);
                        const RGBQUAD* entries = pal.entries.empty() ? nullptr : pal.entries.data();
                        CRaster have(source);
                        CRaster want(source);
                        ASSERT_TRUE(have.DecreaseBpp(bpp, diffuse, entries)) << what;
                        ASSERT_TRUE(reference::DecreaseBpp(want, bpp, diffuse, entries)) << what;
                        ASSERT_EQ(have.GetBpp(), bpp) << what;
                        ASSERT_EQ(have.GetNumColors(), want.GetNumColors()) << what;
                        for (uint32_t i = 0; i < want.GetNumColors(); ++i) {
                            const RGBQUAD a = have.GetPaletteColor(uint8_t(i));
                            const RGBQUAD b = want.GetPaletteColor(uint8_t(i));
                            ASSERT_TRUE(a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue)
                                << what << ": palette entry " << i;
                        }
                        for (long y = 0; y < long(h); ++y)
                            for (long x = 0; x < long(w); ++x)
                                ASSERT_EQ(have.GetPixelIndex(x, y), want.GetPixelIndex(x, y))
                                    << what << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

// Indexed pictures keep their own way (the error goes back through the
// source's palette); they too give the reference's indices.
TEST(DecreaseBpp, GivesTheReferenceIndicesForIndexedSources)
{
    std::mt19937 rng(43);
    for (bool diffuse : {true, false}) {
        CRaster source = MakePicture(Picture::Photo, 90, 70, rng);
        ASSERT_TRUE(source.DecreaseBpp(8, false, nullptr));
        for (uint32_t bpp : {4u, 1u}) {
            CRaster have(source);
            CRaster want(source);
            ASSERT_TRUE(have.DecreaseBpp(bpp, diffuse, nullptr));
            ASSERT_TRUE(reference::DecreaseBpp(want, bpp, diffuse, nullptr));
            for (long y = 0; y < 70; ++y)
                for (long x = 0; x < 90; ++x)
                    ASSERT_EQ(have.GetPixelIndex(x, y), want.GetPixelIndex(x, y))
                        << bpp << " bits, diffusion " << diffuse << " at " << x << "," << y;
        }
    }
}

// A colour at the far corner of an 8 x 8 x 8 block of colours can lie exactly
// as far from an entry at the block's near corner as from an entry beyond the
// far corner (blocks on and off the search's cell boundaries): the lower index
// must still win.
TEST(DecreaseBpp, TiesAtTheCornersOfTheColourCubeTakeTheLowestIndex)
{
    for (int m : {0, 5, 20, 29}) {
        const uint8_t base = uint8_t(8 * m);
        std::vector<RGBQUAD> pal(256, MakeRgbQuad(255, 0, 255));
        pal[0] = MakeRgbQuad(uint8_t(base + 14), uint8_t(base + 14), uint8_t(base + 14));
        pal[1] = MakeRgbQuad(base, base, base);
        CRaster img(8, 8, 24);
        for (long y = 0; y < 8; ++y)
            for (long x = 0; x < 8; ++x)
                img.SetPixelColor(x, y, MakeRgbQuad(uint8_t(base + x), uint8_t(base + y), uint8_t(base + 7)));
        CRaster want(img);
        ASSERT_TRUE(img.DecreaseBpp(8, false, pal.data()));
        ASSERT_TRUE(reference::DecreaseBpp(want, 8, false, pal.data()));
        EXPECT_EQ(img.GetPixelIndex(7, 7), 0) << "cell " << m;
        for (long y = 0; y < 8; ++y)
            for (long x = 0; x < 8; ++x)
                ASSERT_EQ(img.GetPixelIndex(x, y), want.GetPixelIndex(x, y)) << "cell " << m << " at " << x << "," << y;
    }
}

// Without diffusion every pixel takes the entry at the least squared distance
// from its colour, the lowest index among equals, whatever the palette: spread
// out, crowded into a small part of the colour cube, on a fine lattice where
// most colours lie equally far from several entries, or repeating entries.
TEST(DecreaseBpp, EveryColourTakesTheNearestEntryAndTheLowestIndexAmongEquals)
{
    std::mt19937 rng(47);
    auto entry = [&](int lo, int span) {
        return MakeRgbQuad(uint8_t(lo + int(rng() % uint32_t(span))), uint8_t(lo + int(rng() % uint32_t(span))),
                           uint8_t(lo + int(rng() % uint32_t(span))));
    };
    std::vector<NamedPalette> palettes;
    std::vector<RGBQUAD> spread(256), crowded(256), lattice(256), repeats(256);
    for (int i = 0; i < 256; ++i) {
        spread[size_t(i)] = entry(0, 256);
        crowded[size_t(i)] = entry(90, 40);
        // A 6 x 6 x 7 lattice of step 2 from 100, in shuffled order.
        const int k = i % 252;
        lattice[size_t(i)] = MakeRgbQuad(uint8_t(100 + 2 * (k / 42)), uint8_t(100 + 2 * (k / 7 % 6)),
                                         uint8_t(100 + 2 * (k % 7)));
        repeats[size_t(i)] = entry(0, 256);
    }
    std::shuffle(lattice.begin(), lattice.end(), rng);
    for (int i = 128; i < 256; ++i)
        repeats[size_t(i)] = repeats[size_t(rng() % 256)];
    palettes.push_back({"spread", spread});
    palettes.push_back({"crowded", crowded});
    palettes.push_back({"lattice", lattice});
    palettes.push_back({"repeats", repeats});

    // Every fifth colour of the cube, every colour around the crowded and
    // lattice entries, and colours at random.
    std::vector<RGBQUAD> colours;
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5)
                colours.push_back(MakeRgbQuad(uint8_t(r), uint8_t(g), uint8_t(b)));
    for (int r = 84; r < 136; ++r)
        for (int g = 84; g < 136; ++g)
            for (int b = 84; b < 136; b += 3)
                colours.push_back(MakeRgbQuad(uint8_t(r), uint8_t(g), uint8_t(b)));
    for (int i = 0; i < 20000; ++i)
        colours.push_back(entry(0, 256));
    const uint32_t w = 509;
    const uint32_t h = uint32_t((colours.size() + w - 1) / w);
    CRaster source(w, h, 24);
    for (size_t i = 0; i < size_t(w) * h; ++i)
        source.SetPixelColor(long(i % w), long(i / w), colours[std::min(i, colours.size() - 1)]);

    for (const NamedPalette& pal : palettes) {
        CRaster have(source);
        ASSERT_TRUE(have.DecreaseBpp(8, false, pal.entries.data())) << pal.name;
        for (size_t i = 0; i < colours.size(); ++i) {
            const RGBQUAD c = colours[i];
            int want = 0;
            long wantDistance = LONG_MAX;
            for (int k = 0; k < 256; ++k) {
                const RGBQUAD e = pal.entries[size_t(k)];
                const long dr = long(e.rgbRed) - c.rgbRed;
                const long dg = long(e.rgbGreen) - c.rgbGreen;
                const long db = long(e.rgbBlue) - c.rgbBlue;
                const long d = dr * dr + dg * dg + db * db;
                if (d < wantDistance) {
                    wantDistance = d;
                    want = k;
                }
            }
            ASSERT_EQ(have.GetPixelIndex(long(i % w), long(i / w)), want)
                << pal.name << " palette, colour " << int(c.rgbRed) << "," << int(c.rgbGreen) << ","
                << int(c.rgbBlue);
        }
    }
}

} // namespace
