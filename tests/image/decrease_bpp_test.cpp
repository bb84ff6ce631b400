// DecreaseBpp gives, index for index, what its earlier implementation gave
// (tests/image/decrease_bpp_reference.h) on photos, noise and flat pictures
// of every shape, with the standard palettes and with palettes full of equal
// distances, for every target depth, with and without error diffusion.
#include "decrease_bpp_reference.h"
#include "raster.h"

#include <gtest/gtest.h>

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

// A colour can lie exactly as far from a lower entry, whose nearest point of
// the colour's 8 x 8 x 8 cell it is, as from the entry that is farthest from
// the cell's opposite corner: the lower index must still win.
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

} // namespace
