// Scaling in its three paths, quarter turns, flips and cropping.
#include "raster.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A grey level per pixel, given top row first as one reads a picture, stored
// into a 24-bit picture whose rows count from the bottom.
CRaster GreyPicture(const std::vector<std::vector<int>>& topDown)
{
    const long h = long(topDown.size());
    const long w = long(topDown[0].size());
    CRaster img(uint32_t(w), uint32_t(h), 24);
    for (long r = 0; r < h; ++r)
        for (long x = 0; x < w; ++x) {
            const uint8_t g = uint8_t(topDown[size_t(r)][size_t(x)]);
            img.SetPixelColor(x, h - 1 - r, MakeRgbQuad(g, g, g));
        }
    return img;
}

// A picture whose every pixel is distinct, at any depth.
CRaster Numbered(uint32_t w, uint32_t h, long bpp)
{
    CRaster img(w, h, bpp);
    const int mask = bpp >= 8 ? 255 : (1 << bpp) - 1;
    for (long y = 0; y < long(h); ++y)
        for (long x = 0; x < long(w); ++x) {
            if (bpp == 24)
                img.SetPixelColor(x, y, MakeRgbQuad(uint8_t(x * 16 + y), uint8_t(y * 16 + x), uint8_t(x ^ y)));
            else
                img.SetPixelIndex(x, y, uint8_t((x * 5 + y * 3) & mask));
        }
    return img;
}

bool SamePixels(const CRaster& a, const CRaster& b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetBpp() != b.GetBpp())
        return false;
    for (long y = 0; y < long(a.GetHeight()); ++y)
        for (long x = 0; x < long(a.GetWidth()); ++x) {
            if (!(a.GetPixelColor(x, y) == b.GetPixelColor(x, y)) || a.GetPixelIndex(x, y) != b.GetPixelIndex(x, y) ||
                a.AlphaGet(x, y) != b.AlphaGet(x, y))
                return false;
        }
    return true;
}

TEST(RasterResample, RefusesEmptyAndNegativeSizesAndKeepsEqualSizes)
{
    CRaster img = Numbered(4, 3, 24);
    const CRaster before(img);
    // Sizes past 32 bits would otherwise wrap to small ones (2^32 + 2 to 2).
    const long wraps = (1L << 32) + 2;
    for (auto [w, h] : {std::pair{0L, 3L}, {4L, 0L}, {-4L, 3L}, {4L, -1L}, {-1L, -1L}, {wraps, 2L}, {2L, wraps}})
        for (int mode : {0, 1})
            EXPECT_FALSE(img.Resample(w, h, mode)) << w << " x " << h << " mode " << mode;
    EXPECT_TRUE(SamePixels(img, before));
    EXPECT_TRUE(img.Resample(4, 3, 0));
    EXPECT_TRUE(SamePixels(img, before));
    CRaster empty;
    EXPECT_FALSE(empty.Resample(2, 2, 1));
}

TEST(RasterResample, NearestTakesTruncatedSourceCoordinates)
{
    CRaster img = Numbered(4, 4, 24);
    const CRaster src(img);
    img.SetFrameDelay(25);
    ASSERT_TRUE(img.Resample(2, 2, 1));
    EXPECT_EQ(img.GetWidth(), 2u);
    EXPECT_EQ(img.GetFrameDelay(), 25u); // the info block travels
    const long from[2] = {0, 2};
    for (long y = 0; y < 2; ++y)
        for (long x = 0; x < 2; ++x)
            EXPECT_EQ(img.GetPixelColor(x, y), src.GetPixelColor(from[x], from[y])) << x << "," << y;

    // 3 -> 2 has scale 1.5: result column 1 reads source column 1 (trunc 1.5).
    CRaster three = Numbered(3, 1, 24);
    const CRaster src3(three);
    ASSERT_TRUE(three.Resample(2, 1, 1));
    EXPECT_EQ(three.GetPixelColor(1, 0), src3.GetPixelColor(1, 0));
}

TEST(RasterResample, NearestOnIndexedPicturesPicksTheFirstEntryOfTheColour)
{
    CRaster img(2, 1, 8);
    img.SetPaletteIndex(4, 9, 9, 9);
    img.SetPaletteIndex(200, 9, 9, 9);
    img.SetPixelIndex(0, 0, 200);
    img.SetPixelIndex(1, 0, 200);
    ASSERT_TRUE(img.Resample(4, 1, 1));
    for (long x = 0; x < 4; ++x)
        EXPECT_EQ(img.GetPixelIndex(x, 0), 4);
}

TEST(RasterResample, BilinearEnlargementClampsAtTheRightEdge)
{
    CRaster img = GreyPicture({{0, 255}});
    ASSERT_TRUE(img.Resample(4, 1, 0));
    const int want[4] = {0, 127, 255, 255};
    for (long x = 0; x < 4; ++x)
        EXPECT_EQ(img.GetPixelColor(x, 0).rgbGreen, want[x]) << "x " << x;
}

TEST(RasterResample, BilinearRoundsInSinglePrecision)
{
    // Scale 2/3 rounds up to 0.6666667f, so 213 x (1 - dx) + 51 x dx comes to
    // 104.99999 and truncates to 104; in double precision it would give 105.
    CRaster img = GreyPicture({{213, 51}});
    ASSERT_TRUE(img.Resample(3, 1, 0));
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, 213);
    EXPECT_EQ(img.GetPixelColor(1, 0).rgbRed, 104);
    EXPECT_EQ(img.GetPixelColor(2, 0).rgbRed, 51);

    // Two dimensions: the rows blend first, then the columns.
    CRaster sq = GreyPicture({{30, 120}, {0, 90}});
    ASSERT_TRUE(sq.Resample(3, 3, 0));
    const int want[3][3] = {{0, 60, 90}, {20, 80, 110}, {30, 90, 120}}; // bottom row first
    for (long y = 0; y < 3; ++y)
        for (long x = 0; x < 3; ++x)
            EXPECT_EQ(sq.GetPixelColor(x, y).rgbBlue, want[y][x]) << x << "," << y;
}

TEST(RasterResample, AreaAveragingWeighsSplitPixelsInThousandths)
{
    // 3 x 3 to 2 x 2: scale 1.5 each way, divisor 2250. Result (0,0) gathers
    // 1000 x p(0,0) + 500 x p(1,0) + 500 x p(0,1) + 250 x p(1,1), and so on.
    // Blue carries the pattern, green its complement, red a constant.
    const std::vector<std::vector<int>> p = {{0, 90, 255}, {50, 255, 10}, {200, 100, 0}};
    CRaster img(3, 3, 24);
    for (long r = 0; r < 3; ++r)
        for (long x = 0; x < 3; ++x) {
            const int v = p[size_t(r)][size_t(x)];
            img.SetPixelColor(x, 2 - r, MakeRgbQuad(77, uint8_t(255 - v), uint8_t(v)));
        }
    ASSERT_TRUE(img.Resample(2, 2, 0));
    struct Want {
        long x, y;
        int blue, green;
    };
    const Want want[] = {{0, 0, 150, 104}, {1, 0, 52, 202}, {0, 1, 59, 195}, {1, 1, 163, 91}};
    for (const Want& w : want) {
        const RGBQUAD c = img.GetPixelColor(w.x, w.y);
        EXPECT_EQ(c.rgbBlue, w.blue) << w.x << "," << w.y;
        EXPECT_EQ(c.rgbGreen, w.green) << w.x << "," << w.y;
        EXPECT_EQ(c.rgbRed, 77) << w.x << "," << w.y;
    }
}

TEST(RasterResample, AreaAveragingOfAUniformColour)
{
    // Whole-number ratios keep the colour exactly. Other ratios may lose one
    // level, as the truncated thousandths add up to a little less than the
    // divisor, but never gain one or wrap around.
    struct Size {
        uint32_t w, h, nw, nh;
        bool exact;
    };
    const Size sizes[] = {{4, 4, 2, 2, true},   {9, 6, 3, 2, true},    {640, 480, 1, 1, true},
                          {7, 5, 3, 2, false},  {10, 10, 3, 7, false}, {100, 80, 64, 64, false}};
    const RGBQUAD colour = MakeRgbQuad(200, 13, 255);
    for (const Size& s : sizes) {
        CRaster img(s.w, s.h, 24);
        for (long y = 0; y < long(s.h); ++y)
            for (long x = 0; x < long(s.w); ++x)
                img.SetPixelColor(x, y, colour);
        ASSERT_TRUE(img.Resample(s.nw, s.nh, 0));
        for (long y = 0; y < long(s.nh); ++y)
            for (long x = 0; x < long(s.nw); ++x) {
                const RGBQUAD c = img.GetPixelColor(x, y);
                const std::string where = std::to_string(s.w) + "x" + std::to_string(s.h) + " -> " +
                                          std::to_string(s.nw) + "x" + std::to_string(s.nh) + " at " +
                                          std::to_string(x) + "," + std::to_string(y);
                if (s.exact) {
                    ASSERT_EQ(c, colour) << where;
                } else {
                    ASSERT_TRUE(c.rgbRed <= 200 && c.rgbRed >= 199) << where << " red " << int(c.rgbRed);
                    ASSERT_TRUE(c.rgbGreen <= 13 && c.rgbGreen >= 12) << where << " green " << int(c.rgbGreen);
                    ASSERT_TRUE(c.rgbBlue >= 254) << where << " blue " << int(c.rgbBlue);
                }
            }
    }
}

TEST(RasterResample, AreaAveragingOfAStrongShrinkDoesNotOverflow)
{
    // 16000 x 8 white to 1 x 1 puts 16000 x 8 x 1000 x 255 into one sum.
    CRaster img(16000, 8, 24);
    img.Clear(255);
    ASSERT_TRUE(img.Resample(1, 1, 0));
    EXPECT_EQ(img.GetPixelColor(0, 0), MakeRgbQuad(255, 255, 255));
}

TEST(RasterResample, CarriesAlphaByNearestSourcePixelInEveryMode)
{
    for (int mode : {0, 1}) {
        CRaster img = Numbered(4, 4, 24);
        ASSERT_TRUE(img.AlphaCreate());
        for (long y = 0; y < 4; ++y)
            for (long x = 0; x < 4; ++x)
                img.AlphaSet(x, y, uint8_t(10 * x + y));
        ASSERT_TRUE(img.Resample(2, 2, mode));
        ASSERT_TRUE(img.HasAlpha());
        EXPECT_EQ(img.AlphaGet(1, 1), 22) << "mode " << mode;
        EXPECT_EQ(img.AlphaGet(1, 0), 20) << "mode " << mode;
    }
}

TEST(RasterResample, StopsAtTheEscapeButStillMovesTheResultIn)
{
    CRaster img = Numbered(4, 4, 24);
    img.SetEscape(1);
    ASSERT_TRUE(img.Resample(8, 8, 1));
    EXPECT_EQ(img.GetWidth(), 8u);
    EXPECT_EQ(img.GetPixelColor(3, 3), MakeRgbQuad(0, 0, 0)); // never written
}

TEST(RasterTurns, QuarterTurnsAndFlipsGiveThePictureBack)
{
    for (long bpp : {1L, 4L, 8L, 24L}) {
        for (auto [w, h] : {std::pair{1u, 1u}, {5u, 3u}, {1u, 9u}, {11u, 2u}, {8u, 8u}}) {
            CRaster img = Numbered(w, h, bpp);
            if (bpp == 8) {
                img.AlphaCreate();
                img.AlphaSet(0, 0, 7);
            }
            const CRaster orig(img);

            ASSERT_TRUE(img.RotateLeft());
            EXPECT_EQ(img.GetWidth(), h);
            EXPECT_EQ(img.GetHeight(), w);
            ASSERT_TRUE(img.RotateRight());
            EXPECT_TRUE(SamePixels(img, orig)) << "left+right bpp " << bpp << " " << w << "x" << h;

            for (int i = 0; i < 4; ++i)
                ASSERT_TRUE(img.RotateLeft());
            EXPECT_TRUE(SamePixels(img, orig)) << "4 x left bpp " << bpp << " " << w << "x" << h;
            for (int i = 0; i < 4; ++i)
                ASSERT_TRUE(img.RotateRight());
            EXPECT_TRUE(SamePixels(img, orig)) << "4 x right bpp " << bpp << " " << w << "x" << h;

            ASSERT_TRUE(img.Flip());
            ASSERT_TRUE(img.Flip());
            EXPECT_TRUE(SamePixels(img, orig)) << "flip bpp " << bpp;
            ASSERT_TRUE(img.Mirror());
            ASSERT_TRUE(img.Mirror());
            EXPECT_TRUE(SamePixels(img, orig)) << "mirror bpp " << bpp;
        }
    }
}

TEST(RasterTurns, EdgesGoWhereTheTurnSays)
{
    // Grey levels, top row first: 1 2 3 / 4 5 6.
    for (long bpp : {8L, 24L}) {
        CRaster base = GreyPicture({{1, 2, 3}, {4, 5, 6}});
        if (bpp == 8) {
            CRaster g(3, 2, 8);
            g.SetGrayPalette();
            for (long y = 0; y < 2; ++y)
                for (long x = 0; x < 3; ++x)
                    g.SetPixelIndex(x, y, uint8_t((1 - y) * 3 + x + 1));
            base = g;
        }
        auto top = [](const CRaster& img, long x) { return img.GetPixelColor(x, long(img.GetHeight()) - 1).rgbRed; };
        auto bottom = [](const CRaster& img, long x) { return img.GetPixelColor(x, 0).rgbRed; };

        CRaster left(base);
        ASSERT_TRUE(left.RotateLeft()); // 3 6 / 2 5 / 1 4 read from the top
        EXPECT_EQ(top(left, 0), 3) << bpp;
        EXPECT_EQ(top(left, 1), 6) << bpp;
        EXPECT_EQ(bottom(left, 0), 1) << bpp;

        CRaster right(base);
        ASSERT_TRUE(right.RotateRight()); // 4 1 / 5 2 / 6 3
        EXPECT_EQ(top(right, 0), 4) << bpp;
        EXPECT_EQ(top(right, 1), 1) << bpp;
        EXPECT_EQ(bottom(right, 1), 3) << bpp;

        CRaster flip(base);
        ASSERT_TRUE(flip.Flip());
        EXPECT_EQ(top(flip, 0), 4) << bpp;
        CRaster mirror(base);
        ASSERT_TRUE(mirror.Mirror());
        EXPECT_EQ(top(mirror, 0), 3) << bpp;
        EXPECT_EQ(bottom(mirror, 2), 4) << bpp;

        // With a target the source stays as it was.
        CRaster target;
        ASSERT_TRUE(base.RotateLeft(&target));
        EXPECT_EQ(base.GetWidth(), 3u);
        EXPECT_TRUE(SamePixels(target, left));
    }
    CRaster empty;
    EXPECT_FALSE(empty.Flip());
    EXPECT_FALSE(empty.Mirror());
    EXPECT_FALSE(empty.RotateLeft());
    EXPECT_FALSE(empty.RotateRight());
}

TEST(RasterCrop, CountsTopAndBottomFromTheTop)
{
    for (long bpp : {1L, 4L, 8L, 24L}) {
        CRaster img = Numbered(6, 5, bpp);
        const CRaster src(img);
        ASSERT_TRUE(img.Crop(0, 0, 6, 1)) << bpp;
        EXPECT_EQ(img.GetHeight(), 1u);
        for (long x = 0; x < 6; ++x)
            EXPECT_EQ(img.GetPixelColor(x, 0), src.GetPixelColor(x, 4)) << "bpp " << bpp << " x " << x;

        // Columns 1..3 of the rows 1..2 counted from the top: model rows 2 and 3.
        CRaster part(src);
        ASSERT_TRUE(part.Crop(4, 3, 1, 1)) << bpp; // reversed corners are ordered
        EXPECT_EQ(part.GetWidth(), 3u);
        EXPECT_EQ(part.GetHeight(), 2u);
        for (long y = 0; y < 2; ++y)
            for (long x = 0; x < 3; ++x)
                EXPECT_EQ(part.GetPixelIndex(x, y), src.GetPixelIndex(x + 1, y + 2)) << "bpp " << bpp;
        for (long y = 0; y < 2; ++y)
            for (long x = 0; x < 3; ++x)
                EXPECT_EQ(part.GetPixelColor(x, y), src.GetPixelColor(x + 1, y + 2)) << "bpp " << bpp;
    }
}

TEST(RasterCrop, RefusesEmptyRectanglesAndResetsTheInfoBlock)
{
    CRaster img = Numbered(10, 10, 8);
    EXPECT_FALSE(img.Crop(5, 5, 5, 9));
    EXPECT_FALSE(img.Crop(2, 7, 9, 7));
    EXPECT_FALSE(img.Crop(-5, 0, -1, 10)); // clamps to an empty column range
    EXPECT_EQ(img.GetWidth(), 10u);

    img.SetOffset(4, 5);
    img.SetXDPI(300);
    img.SetFrame(3);
    img.SetTransIndex(9);
    img.SetFrameDelay(40);
    img.AlphaCreate();
    img.SelectionCreate();
    const CRaster src(img);
    ASSERT_TRUE(img.Crop(-10, -10, 20, 20));
    EXPECT_TRUE(img.GetWidth() == 10 && img.GetHeight() == 10);
    long x = -1, y = -1;
    img.GetOffset(&x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(img.GetXDPI(), 72);
    EXPECT_EQ(img.GetFrame(), 0);
    EXPECT_EQ(img.GetTransIndex(), 9);
    EXPECT_EQ(img.GetFrameDelay(), 40u);
    EXPECT_FALSE(img.HasAlpha());
    EXPECT_FALSE(img.HasSelection());
    for (long yy = 0; yy < 10; ++yy)
        for (long xx = 0; xx < 10; ++xx)
            ASSERT_EQ(img.GetPixelIndex(xx, yy), src.GetPixelIndex(xx, yy));

    CRaster empty;
    EXPECT_FALSE(empty.Crop(0, 0, 1, 1));
}

} // namespace
