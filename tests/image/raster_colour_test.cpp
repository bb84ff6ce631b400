// Colour depth changes, error diffusion, lightness, standard and grey palettes.
#include "raster.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

RGBQUAD Grey(int g)
{
    return MakeRgbQuad(uint8_t(g), uint8_t(g), uint8_t(g));
}

// A 24-bit picture of grey levels, given bottom row first (model order).
CRaster GreyRows(const std::vector<std::vector<int>>& bottomUp)
{
    const long h = long(bottomUp.size());
    const long w = long(bottomUp[0].size());
    CRaster img(uint32_t(w), uint32_t(h), 24);
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x)
            img.SetPixelColor(x, y, Grey(bottomUp[size_t(y)][size_t(x)]));
    return img;
}

TEST(RasterDecreaseBpp, RefusesWhatIsNotAReduction)
{
    struct Case {
        long from;
        uint32_t to;
        bool ok;
    };
    const Case cases[] = {{24, 8, true}, {24, 4, true}, {24, 1, true}, {8, 8, true},  {8, 4, true},
                          {4, 8, false}, {1, 4, false}, {24, 2, false}, {24, 24, false}, {8, 0, false}};
    for (const Case& c : cases) {
        CRaster img(3, 3, c.from);
        EXPECT_EQ(img.DecreaseBpp(c.to, true), c.ok) << c.from << " -> " << c.to;
        EXPECT_EQ(img.GetBpp(), c.ok ? c.to : uint32_t(c.from)) << c.from << " -> " << c.to;
    }
    CRaster empty;
    EXPECT_FALSE(empty.DecreaseBpp(8, false));
}

TEST(RasterDecreaseBpp, AnEqualDepthChangesNothing)
{
    CRaster img(2, 2, 8);
    img.SetPaletteIndex(3, 1, 2, 3);
    img.SetPixelIndex(1, 1, 3);
    img.SetFrameDelay(50);
    RGBQUAD other[256] = {};
    ASSERT_TRUE(img.DecreaseBpp(8, true, other));
    EXPECT_EQ(img.GetPixelIndex(1, 1), 3);
    EXPECT_EQ(img.GetPaletteColor(3), MakeRgbQuad(1, 2, 3));
    EXPECT_EQ(img.GetFrameDelay(), 50u);
}

TEST(RasterDecreaseBpp, ExactColoursTakeTheLowestIndexAndTheInfoBlockIsFresh)
{
    RGBQUAD pal[256];
    for (int i = 0; i < 256; ++i)
        pal[i] = Grey(255 - i);
    pal[17] = MakeRgbQuad(10, 20, 30);
    pal[99] = MakeRgbQuad(10, 20, 30);
    CRaster img(2, 1, 24, 2);
    img.SetPixelColor(0, 0, MakeRgbQuad(10, 20, 30));
    img.SetPixelColor(1, 0, Grey(255));
    img.SetFrameDelay(8);
    img.AlphaCreate();
    img.AlphaSet(1, 0, 3);
    ASSERT_TRUE(img.DecreaseBpp(8, false, pal));
    EXPECT_EQ(img.GetPixelIndex(0, 0), 17);
    EXPECT_EQ(img.GetPixelIndex(1, 0), 0);
    EXPECT_EQ(img.GetType(), 2u);
    EXPECT_EQ(img.GetFrameDelay(), 0u); // callers keep the delay themselves
    ASSERT_TRUE(img.HasAlpha());
    EXPECT_EQ(img.AlphaGet(1, 0), 3);
}

TEST(RasterDecreaseBpp, EveryPixelTakesItsNearestEntryAmongManyColours)
{
    // Thousands of distinct colours against a scattered palette and against a
    // coarse one full of repeated entries and equal distances: every answer
    // must be that of a full scan in index order.
    RGBQUAD scattered[256];
    RGBQUAD coarse[256];
    for (int i = 0; i < 256; ++i) {
        scattered[i] = MakeRgbQuad(uint8_t(i * 37), uint8_t(i * 91 + 7), uint8_t(i * 13));
        const int k = (i * 7) % 27;
        coarse[i] = MakeRgbQuad(uint8_t(k / 9 * 100), uint8_t(k / 3 % 3 * 100), uint8_t(k % 3 * 100));
    }
    for (const RGBQUAD* pal : {scattered, coarse}) {
        CRaster scan(1, 1, 8);
        scan.SetPalette(pal);
        CRaster img(256, 64, 24);
        for (long y = 0; y < 64; ++y)
            for (long x = 0; x < 256; ++x)
                img.SetPixelColor(x, y, MakeRgbQuad(uint8_t(x), uint8_t(y * 4 + x % 3), uint8_t(x ^ (y * 5))));
        const CRaster src(img);
        ASSERT_TRUE(img.DecreaseBpp(8, false, pal));
        for (long y = 0; y < 64; ++y)
            for (long x = 0; x < 256; ++x)
                ASSERT_EQ(img.GetPixelIndex(x, y), scan.GetNearestIndex(src.GetPixelColor(x, y))) << x << "," << y;
    }
}

TEST(RasterDecreaseBpp, UsesTheStandardPalettesWithoutOne)
{
    CRaster to1(1, 1, 24);
    ASSERT_TRUE(to1.DecreaseBpp(1, false));
    EXPECT_EQ(to1.GetPaletteColor(0), Grey(0));
    EXPECT_EQ(to1.GetPaletteColor(1), Grey(255));

    CRaster to4(1, 1, 24);
    ASSERT_TRUE(to4.DecreaseBpp(4, false));
    EXPECT_EQ(to4.GetPaletteColor(7), Grey(0xC0));
    EXPECT_EQ(to4.GetPaletteColor(8), Grey(0x80));
    EXPECT_EQ(to4.GetPaletteColor(9), MakeRgbQuad(0xFF, 0, 0));

    CRaster to8(1, 1, 24);
    to8.SetPixelColor(0, 0, MakeRgbQuad(0xA6, 0xCA, 0xF0));
    ASSERT_TRUE(to8.DecreaseBpp(8, false));
    EXPECT_EQ(to8.GetPixelIndex(0, 0), 9);
    struct Entry {
        int index;
        uint32_t rgb;
    };
    const Entry spots[] = {{0, 0x000000},   {8, 0xC0DCC0},   {40, 0xFE0000}, {127, 0x003196}, {128, 0x002573},
                           {225, 0x505000}, {226, 0xF2F2F2}, {245, 0x0E0E0E}, {246, 0xFFFBF0}, {247, 0xA0A0A4},
                           {255, 0xFFFFFF}};
    for (const Entry& e : spots)
        EXPECT_EQ(to8.GetPaletteColor(uint8_t(e.index)),
                  MakeRgbQuad(uint8_t(e.rgb >> 16), uint8_t(e.rgb >> 8), uint8_t(e.rgb)))
            << "entry " << e.index;
    for (int k = 0; k < 20; ++k)
        EXPECT_EQ(to8.GetPaletteColor(uint8_t(226 + k)), Grey(0xF2 - k * 0x0C)) << "grey ramp " << k;
}

TEST(RasterDecreaseBpp, ErrorFlowsUpwardFromTheBottomRow)
{
    // Bottom 100 becomes black and hands 4 x 100 / 16 = 25 to the pixel above,
    // which at 110 + 25 = 135 turns white. Without diffusion both are black;
    // an error flowing downward would leave both black too.
    CRaster img = GreyRows({{100}, {110}});
    CRaster plain(img);
    ASSERT_TRUE(img.DecreaseBpp(1, true));
    EXPECT_EQ(img.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(img.GetPixelIndex(0, 1), 1);
    ASSERT_TRUE(plain.DecreaseBpp(1, false));
    EXPECT_EQ(plain.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(plain.GetPixelIndex(0, 1), 0);
}

TEST(RasterDecreaseBpp, ErrorSharesTruncateTowardZero)
{
    // 200 becomes white (error -55); the right neighbour gets 7 x -55 / 16,
    // which is -24 truncated toward zero (-25 if floored): 152 - 24 = 128 is
    // white, 127 would be black.
    CRaster img = GreyRows({{200, 152}});
    ASSERT_TRUE(img.DecreaseBpp(1, true));
    EXPECT_EQ(img.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(img.GetPixelIndex(1, 0), 1);

    // Shares to the row above: (x-1) gets 2/16, x gets 4/16, (x+1) gets 1/16.
    // Bottom right 120 (black) sends 2 x 120 / 16 = 15 up-left onto 113 -> 128.
    CRaster up = GreyRows({{0, 120}, {113, 0}});
    ASSERT_TRUE(up.DecreaseBpp(1, true));
    EXPECT_EQ(up.GetPixelIndex(0, 1), 1);
    CRaster up2 = GreyRows({{0, 120}, {112, 0}});
    ASSERT_TRUE(up2.DecreaseBpp(1, true));
    EXPECT_EQ(up2.GetPixelIndex(0, 1), 0);
}

TEST(RasterDecreaseBpp, StopsAtTheEscape)
{
    CRaster img = GreyRows({{255, 255}, {255, 255}});
    img.SetEscape(1);
    ASSERT_TRUE(img.DecreaseBpp(1, false));
    EXPECT_EQ(img.GetBpp(), 1u);
    EXPECT_EQ(img.GetPixelIndex(0, 0), 0); // never converted
}

TEST(RasterIncreaseBpp, KeepsEveryColour)
{
    for (long from : {1L, 4L, 8L}) {
        for (uint32_t to : {4u, 8u, 24u}) {
            if (to <= uint32_t(from))
                continue;
            CRaster img(5, 3, from);
            img.SetGrayPalette();
            img.SetPaletteIndex(1, 200, 10, 30, 9);
            const int mask = (1 << from) - 1;
            for (long y = 0; y < 3; ++y)
                for (long x = 0; x < 5; ++x)
                    img.SetPixelIndex(x, y, uint8_t((x + 2 * y) & mask));
            img.SelectionCreate();
            const CRaster src(img);
            ASSERT_TRUE(img.IncreaseBpp(to)) << from << " -> " << to;
            EXPECT_EQ(img.GetBpp(), to);
            EXPECT_TRUE(img.HasSelection());
            for (long y = 0; y < 3; ++y)
                for (long x = 0; x < 5; ++x) {
                    RGBQUAD want = src.GetPixelColor(x, y);
                    RGBQUAD have = img.GetPixelColor(x, y);
                    want.rgbReserved = have.rgbReserved = 0;
                    ASSERT_EQ(have, want) << from << " -> " << to << " at " << x << "," << y;
                }
        }
    }
    CRaster img(2, 2, 8);
    EXPECT_FALSE(img.IncreaseBpp(4));
    EXPECT_FALSE(img.IncreaseBpp(16));
    EXPECT_TRUE(img.IncreaseBpp(8));
    CRaster empty;
    EXPECT_FALSE(empty.IncreaseBpp(24));
}

TEST(RasterLight, ShiftsAndStretchesAroundTheMiddleWithClamping)
{
    struct Case {
        long brightness, contrast;
        int in, out;
    };
    const Case cases[] = {
        {0, 100, 0, 0},     {0, 100, 255, 255}, {0, 100, 77, 77},  {64, 100, 10, 74},  {64, 100, 200, 255},
        {-64, 100, 30, 0},  {0, 0, 17, 128},    {0, 50, 0, 64},    {0, 50, 255, 191},  {0, 200, 200, 255},
        {0, 200, 100, 72},  {10, 150, 128, 138}, {-300, 100, 255, 0},
    };
    for (const Case& c : cases) {
        CRaster img(1, 1, 24);
        img.SetPixelColor(0, 0, MakeRgbQuad(uint8_t(c.in), 0, 255));
        ASSERT_TRUE(img.Light(c.brightness, c.contrast));
        EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, c.out)
            << "Light(" << c.brightness << ", " << c.contrast << ") of " << c.in;
    }
    CRaster empty;
    EXPECT_FALSE(empty.Light(10, 100));
}

// On an indexed picture every pixel must show exactly the colour that the
// true-colour rule gives its old colour; the oracle is the same picture widened
// to 24 bits and lightened there.
TEST(RasterLight, IndexedPicturesShowTheTrueColourResult)
{
    struct Case {
        long bpp, brightness, contrast;
    };
    const Case cases[] = {{8, -64, 100}, {8, 38, 100}, {8, 128, 100}, {4, -30, 100},
                          {4, 10, 150}, {1, 64, 100},  {1, -128, 100}, {8, 0, 50}};
    std::mt19937 random(7);
    for (const Case& c : cases) {
        CRaster img(13, 7, c.bpp);
        const uint32_t colours = img.GetNumColors();
        for (uint32_t i = 0; i < colours; ++i)
            img.SetPaletteIndex(uint8_t(i), uint8_t(random()), uint8_t(random()), uint8_t(random()),
                                uint8_t(random()));
        for (long y = 0; y < 7; ++y)
            for (long x = 0; x < 13; ++x)
                img.SetPixelIndex(x, y, uint8_t(random() % colours));
        CRaster wide(img);
        ASSERT_TRUE(wide.IncreaseBpp(24));
        ASSERT_TRUE(wide.Light(c.brightness, c.contrast));
        const CRaster before(img);
        ASSERT_TRUE(img.Light(c.brightness, c.contrast));
        ASSERT_EQ(img.GetBpp(), uint32_t(c.bpp));
        for (long y = 0; y < 7; ++y)
            for (long x = 0; x < 13; ++x) {
                RGBQUAD have = img.GetPixelColor(x, y);
                RGBQUAD want = wide.GetPixelColor(x, y);
                have.rgbReserved = want.rgbReserved = 0;
                ASSERT_EQ(have, want) << c.bpp << " bits, Light(" << c.brightness << ", " << c.contrast << ") at "
                                      << x << "," << y;
                ASSERT_EQ(img.GetPixelIndex(x, y), before.GetPixelIndex(x, y));
            }
        for (uint32_t i = 0; i < colours; ++i)
            ASSERT_EQ(img.GetPaletteColor(uint8_t(i)).rgbReserved, before.GetPaletteColor(uint8_t(i)).rgbReserved)
                << "entry " << i << " keeps its alpha";
    }
}

// With a selection only the selected pixels change, also where an unselected
// pixel shares their palette entry.
TEST(RasterLight, ASelectionKeepsTheOtherPixels)
{
    for (long bpp : {24L, 8L}) {
        CRaster img(2, 1, bpp);
        if (bpp == 8)
            img.SetGrayPalette();
        img.SetPixelColor(0, 0, Grey(100));
        img.SetPixelColor(1, 0, Grey(100));
        ASSERT_TRUE(img.SelectionCreate());
        *img.SelectionGetPointer(1, 0) = 255;
        ASSERT_TRUE(img.Light(30, 100));
        EXPECT_EQ(img.GetPixelColor(0, 0), Grey(100)) << bpp << " bits";
        EXPECT_EQ(img.GetPixelColor(1, 0), Grey(130)) << bpp << " bits";
    }
}

TEST(RasterPalettes, GreyStepsDivideBeforeMultiplying)
{
    struct Case {
        long bpp;
        int index, level;
    };
    const Case cases[] = {{1, 0, 0}, {1, 1, 255}, {4, 1, 17}, {4, 15, 255}, {8, 37, 37}, {8, 255, 255}};
    for (const Case& c : cases) {
        CRaster img(1, 1, c.bpp);
        img.SetGrayPalette();
        EXPECT_EQ(img.GetPaletteColor(uint8_t(c.index)), Grey(c.level)) << c.bpp << " bits, entry " << c.index;
    }
    CRaster one(1, 1, 1);
    one.SetPaletteIndex(0, 5, 5, 5);
    one.SetStdPalette(); // 1-bit pictures keep their palette
    EXPECT_EQ(one.GetPaletteColor(0), Grey(5));
    CRaster four(1, 1, 4);
    four.SetStdPalette();
    EXPECT_EQ(four.GetPaletteColor(12), MakeRgbQuad(0, 0, 0xFF));
    EXPECT_EQ(four.GetPaletteColor(15), Grey(255));
}

} // namespace
