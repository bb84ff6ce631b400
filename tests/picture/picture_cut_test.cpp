// The editor's one-step cut-out against the library's two steps, Crop into a
// new picture and Resample(width, height, 0): the same picture, byte for byte,
// for every kind of picture, cut and size.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "picture_cut.h"
#include "picture_holder.h"
#include "raster.h"
#include "raster_test_support.h"

namespace {

// A small generator, so that every run sees the same pictures.
struct Lcg {
    uint32_t state;
    uint32_t Next()
    {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

// An 8-bit picture of w x h with random pixels over a palette of 256 random
// colours in which some colours come twice and many share their r + g + b,
// so that the nearest colour is often a tie.
CRaster* RandomIndexed(uint32_t w, uint32_t h, uint32_t seed)
{
    Lcg lcg{seed};
    auto* picture = new CRaster(w, h, 8, FormatGif);
    for (int i = 0; i < 256; ++i) {
        if (i >= 8 && i % 7 == 0) {
            const RGBQUAD twin = picture->GetPaletteColor(uint8_t(i / 2));
            picture->SetPaletteIndex(uint8_t(i), twin.rgbRed, twin.rgbGreen, twin.rgbBlue);
        } else if (i % 5 == 0) {
            const uint8_t v = uint8_t(lcg.Next() % 200);
            picture->SetPaletteIndex(uint8_t(i), v, uint8_t(200 - v), uint8_t(lcg.Next() % 3 * 20));
        } else {
            picture->SetPaletteIndex(uint8_t(i), uint8_t(lcg.Next()), uint8_t(lcg.Next()), uint8_t(lcg.Next()));
        }
    }
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            picture->SetPixelIndex(long(x), long(y), uint8_t(lcg.Next()));
    picture->SetFrameDelay(17);
    picture->SetTransIndex(3);
    return picture;
}

// Eight colours and 248 black entries after them, as a small GIF palette has.
CRaster* FewColours(uint32_t w, uint32_t h)
{
    auto* picture = new CRaster(w, h, 8, FormatGif);
    static const uint8_t kColours[8][3] = {{0, 0, 0},     {255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                           {255, 255, 0}, {0, 255, 255}, {255, 0, 255}, {255, 255, 255}};
    for (int i = 0; i < 8; ++i)
        picture->SetPaletteIndex(uint8_t(i), kColours[i][0], kColours[i][1], kColours[i][2]);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            picture->SetPixelIndex(long(x), long(y), uint8_t((x / 3 + 2 * y) % 8));
    return picture;
}

// A smooth true-colour picture reduced to a palette as the animation's frames are.
CRaster* Quantised(uint32_t w, uint32_t h)
{
    CRaster* picture = testsupport::MakeTrueColour(w, h, [](uint32_t x, uint32_t y) {
        return MakeRgbQuad(uint8_t(x * 255 / 299), uint8_t(y * 255 / 199), uint8_t((x + y) % 256));
    });
    ConvertToGifPalette(picture);
    return picture;
}

CRaster* TrueColour(uint32_t w, uint32_t h)
{
    return testsupport::MakeTrueColour(w, h, [](uint32_t x, uint32_t y) {
        return MakeRgbQuad(uint8_t(x * 7), uint8_t(y * 5), uint8_t(x ^ y));
    });
}

CRaster* IndexedWithAlpha(uint32_t w, uint32_t h)
{
    CRaster* picture = FewColours(w, h);
    picture->AlphaCreate();
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            picture->AlphaSet(long(x), long(y), uint8_t(x * 40));
    return picture;
}

std::unique_ptr<CRaster> LibraryCut(CRaster& source, long l, long t, long r, long b, long w, long h)
{
    auto cut = std::make_unique<CRaster>();
    if (!source.Crop(l, t, r, b, cut.get()))
        return nullptr;
    cut->Resample(w, h, 0);
    return cut;
}

// Everything a picture carries that the program may look at.
std::string Difference(const CRaster& have, const CRaster& want)
{
    if (have.GetSize() != want.GetSize())
        return "block size " + std::to_string(have.GetSize()) + ", want " + std::to_string(want.GetSize());
    const auto* a = static_cast<const uint8_t*>(have.GetDIB());
    const auto* b = static_cast<const uint8_t*>(want.GetDIB());
    for (uint32_t i = 0; i < want.GetSize(); ++i)
        if (a[i] != b[i])
            return "block byte " + std::to_string(i) + " is " + std::to_string(a[i]) + ", want " + std::to_string(b[i]);
    const ImageInfo& x = have.Info();
    const ImageInfo& y = want.Info();
    if (x.dwEffWidth != y.dwEffWidth || x.dwType != y.dwType || x.nBkgndIndex != y.nBkgndIndex ||
        !(x.nBkgndColor == y.nBkgndColor) || x.dwFrameDelay != y.dwFrameDelay || x.nFrame != y.nFrame ||
        x.nNumFrames != y.nNumFrames || x.xDPI != y.xDPI || x.yDPI != y.yDPI || x.nQuality != y.nQuality ||
        x.nAlphaMax != y.nAlphaMax || x.bEnabled != y.bEnabled || x.bAlphaPaletteEnabled != y.bAlphaPaletteEnabled ||
        x.xOffset != y.xOffset || x.yOffset != y.yOffset || x.bFileBackground != y.bFileBackground ||
        std::strcmp(x.szLastError, y.szLastError) != 0)
        return "information block";
    if (have.HasAlpha() != want.HasAlpha())
        return "alpha plane";
    return {};
}

} // namespace

TEST(PictureCut, GivesWhatCropAndResampleGiveByteForByte)
{
    const struct {
        const char* name;
        CRaster* (*make)(uint32_t, uint32_t);
        uint32_t w, h;
    } pictures[] = {
        {"random palette", [](uint32_t w, uint32_t h) { return RandomIndexed(w, h, 7); }, 300, 200},
        {"random palette, tall", [](uint32_t w, uint32_t h) { return RandomIndexed(w, h, 99); }, 45, 160},
        {"eight colours", FewColours, 90, 60},
        {"quantised", Quantised, 300, 200},
        {"one pixel", FewColours, 1, 1},
        {"true colour", TrueColour, 120, 80},
        {"palette with alpha", IndexedWithAlpha, 50, 40},
    };
    const struct {
        long l, t, r, b;
    } cuts[] = {
        {10, 5, 90, 85}, {0, 0, 10000, 10000}, {-20, -20, 30, 25}, {80, 70, 10, 5}, {3, 4, 4, 5},
        {0, 0, 128, 128}, {40, 40, 40, 90},  {7, 9, 7 + 64, 9 + 64},
    };
    const struct {
        long w, h;
    } sizes[] = {{128, 128}, {64, 64}, {10, 20}, {300, 7}, {1, 1}, {64, 128}};
    for (const auto& p : pictures) {
        std::unique_ptr<CRaster> source(p.make(p.w, p.h));
        std::unique_ptr<CRaster> untouched(new CRaster(*source));
        for (const auto& c : cuts) {
            for (const auto& s : sizes) {
                SCOPED_TRACE(std::string(p.name) + " cut " + std::to_string(c.l) + "," + std::to_string(c.t) + "," +
                             std::to_string(c.r) + "," + std::to_string(c.b) + " to " + std::to_string(s.w) + " x " +
                             std::to_string(s.h));
                std::unique_ptr<CRaster> want = LibraryCut(*source, c.l, c.t, c.r, c.b, s.w, s.h);
                std::unique_ptr<CRaster> have(CutAndScale(*source, c.l, c.t, c.r, c.b, s.w, s.h));
                ASSERT_EQ(have == nullptr, want == nullptr);
                if (want) {
                    EXPECT_EQ(Difference(*have, *want), "");
                }
            }
        }
        EXPECT_EQ(Difference(*source, *untouched), "") << p.name << ": the source changed";
    }
}
