// Drawing pictures on a surface: the three ways, the sampling rule, clipping.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "raster.h"

namespace {

constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kUndrawn = 0x00123456u;

// A surface of its own pixels, filled with one value, clip box = whole surface.
struct TestSurface {
    std::vector<uint32_t> buffer;
    RasterSurface s;
    TestSurface(int w, int h, uint32_t fill = kUndrawn) : buffer(size_t(w) * h, fill)
    {
        s.pixels = buffer.data();
        s.width = w;
        s.height = h;
        s.stride = w;
        s.clip = RECT{0, 0, w, h};
    }
    uint32_t At(int x, int y) const { return buffer[size_t(y) * s.stride + x]; }
};

uint32_t Argb(uint8_t r, uint8_t g, uint8_t b)
{
    return 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
}

// A picture where each displayed pixel (column c, row r from the top) has a
// colour of its own, so that any misplaced sample shows.
uint32_t DistinctColor(long c, long r)
{
    return Argb(uint8_t(10 + 20 * c), uint8_t(10 + 20 * r), 77);
}

CRaster MakeDistinct24(long w, long h)
{
    CRaster pic(uint32_t(w), uint32_t(h), 24);
    for (long r = 0; r < h; ++r)
        for (long c = 0; c < w; ++c) {
            const uint32_t v = DistinctColor(c, r);
            pic.SetPixelColor(c, h - 1 - r, MakeRgbQuad(uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)));
        }
    return pic;
}

// An indexed picture of the given depth whose index at displayed (c, r) is
// (c + 2r) mod colours, with palette entry i = grey 16 * i + 3.
CRaster MakeIndexed(long w, long h, long bpp)
{
    CRaster pic(uint32_t(w), uint32_t(h), bpp);
    const uint32_t n = pic.GetNumColors();
    for (uint32_t i = 0; i < n; ++i)
        pic.SetPaletteIndex(uint8_t(i), uint8_t(16 * i + 3), uint8_t(16 * i + 3), uint8_t(16 * i + 3));
    for (long r = 0; r < h; ++r)
        for (long c = 0; c < w; ++c)
            pic.SetPixelIndex(c, h - 1 - r, uint8_t((c + 2 * r) % n));
    return pic;
}

TEST(RasterDraw, UnscaledDrawCopiesEveryDepthTopRowFirst)
{
    for (long bpp : {1L, 4L, 8L, 24L}) {
        SCOPED_TRACE("bpp " + std::to_string(bpp));
        CRaster pic = bpp == 24 ? MakeDistinct24(5, 3) : MakeIndexed(5, 3, bpp);
        TestSurface surf(9, 7);
        ASSERT_EQ(pic.Draw(&surf.s, 2, 1, -1, -1), 1);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x) {
                const bool inside = x >= 2 && x < 7 && y >= 1 && y < 4;
                uint32_t want = kUndrawn;
                if (inside) {
                    const RGBQUAD q = pic.GetPixelColor(x - 2, 3 - 1 - (y - 1));
                    want = Argb(q.rgbRed, q.rgbGreen, q.rgbBlue);
                }
                ASSERT_EQ(surf.At(x, y), want) << "at " << x << "," << y;
            }
    }
}

TEST(RasterDraw, DoublingRepeatsEveryPixelTwiceInBothDirections)
{
    CRaster pic = MakeDistinct24(10, 10);
    TestSurface surf(20, 20);
    ASSERT_EQ(pic.Draw(&surf.s, 0, 0, 20, 20), 1);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(surf.At(x, y), DistinctColor(x / 2, y / 2)) << "at " << x << "," << y;
}

// Shrinking takes column floor(c * w / cx) but row height - ceil((r + 1) * h / cy):
// halving a 4 x 4 picture samples displayed columns 0, 2 and displayed rows 1, 3.
TEST(RasterDraw, ShrinkingFollowsTheRowAndColumnRule)
{
    CRaster pic = MakeDistinct24(4, 4);
    TestSurface surf(2, 2);
    ASSERT_EQ(pic.Draw(&surf.s, 0, 0, 2, 2), 1);
    EXPECT_EQ(surf.At(0, 0), DistinctColor(0, 1));
    EXPECT_EQ(surf.At(1, 0), DistinctColor(2, 1));
    EXPECT_EQ(surf.At(0, 1), DistinctColor(0, 3));
    EXPECT_EQ(surf.At(1, 1), DistinctColor(2, 3));
}

TEST(RasterDraw, StretchingOneWayOnlyRepeatsColumns)
{
    CRaster pic = MakeIndexed(2, 3, 8);
    TestSurface surf(6, 3);
    ASSERT_EQ(pic.Draw(&surf.s, 0, 0, 6, 3), 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) {
            const RGBQUAD q = pic.GetPixelColor(x / 3, 2 - y);
            ASSERT_EQ(surf.At(x, y), Argb(q.rgbRed, q.rgbGreen, q.rgbBlue)) << x << "," << y;
        }
}

TEST(RasterDraw, RefusesWithoutDrawingWhenNothingCanBeDrawn)
{
    CRaster empty(0);
    CRaster pic = MakeDistinct24(3, 3);
    TestSurface surf(4, 4);
    EXPECT_EQ(empty.Draw(&surf.s, 0, 0, 3, 3), 0);
    EXPECT_EQ(pic.Draw(nullptr, 0, 0, 3, 3), 0);
    EXPECT_EQ(pic.Draw(&surf.s, 0, 0, 0, 3), 0);
    EXPECT_EQ(pic.Draw(&surf.s, 0, 0, 3, 0), 0);
    pic.Enable(false);
    EXPECT_EQ(pic.Draw(&surf.s, 0, 0, 3, 3), 0);
    for (uint32_t v : surf.buffer)
        ASSERT_EQ(v, kUndrawn);
    pic.Enable(true);
    EXPECT_EQ(pic.Draw(&surf.s, 0, 0, 3, 3), 1);
    EXPECT_EQ(surf.At(0, 0), DistinctColor(0, 0));
}

TEST(RasterDraw, ClipsToTheClipBoxAndTheCallersRectangle)
{
    CRaster pic = MakeDistinct24(6, 6);
    TestSurface surf(6, 6);
    surf.s.clip = RECT{1, 0, 6, 5};
    const RECT narrow{0, 2, 4, 6};
    ASSERT_EQ(pic.Draw(&surf.s, 0, 0, -1, -1, &narrow), 1);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool visible = x >= 1 && x < 4 && y >= 2 && y < 5;
            ASSERT_EQ(surf.At(x, y), visible ? DistinctColor(x, y) : kUndrawn) << x << "," << y;
        }
    // The caller's rectangle narrows only that one call.
    EXPECT_EQ(surf.s.clip, (RECT{1, 0, 6, 5}));
}

TEST(RasterDraw, DestinationPartlyOffTheSurfaceKeepsItsMapping)
{
    CRaster pic = MakeDistinct24(4, 4);
    for (bool scaled : {false, true}) {
        SCOPED_TRACE(scaled ? "scaled" : "unscaled");
        TestSurface surf(5, 5);
        const long size = scaled ? 8 : 4;
        ASSERT_EQ(pic.Draw(&surf.s, -2, -3, size, size), 1);
        const int f = scaled ? 2 : 1;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 5; ++x) {
                const int c = (x + 2) / f, r = (y + 3) / f;
                const bool inside = x + 2 < size && y + 3 < size;
                ASSERT_EQ(surf.At(x, y), inside ? DistinctColor(c, r) : kUndrawn) << x << "," << y;
            }
    }
    TestSurface far(3, 3);
    EXPECT_EQ(pic.Draw(&far.s, 100, -100, 4, 4), 1);
    for (uint32_t v : far.buffer)
        ASSERT_EQ(v, kUndrawn);
}

TEST(RasterDraw, TransparentIndexLetsTheBackgroundShow)
{
    for (bool scaled : {false, true}) {
        SCOPED_TRACE(scaled ? "scaled" : "unscaled");
        CRaster pic(4, 4, 8);
        pic.SetPaletteIndex(0, 0, 0, 0);
        pic.SetPaletteIndex(1, 0, 0, 255);
        for (long y = 0; y < 4; ++y)
            for (long x = 0; x < 4; ++x)
                pic.SetPixelIndex(x, y, uint8_t((x + y) & 1));
        pic.SetTransIndex(0);
        const int f = scaled ? 2 : 1;
        TestSurface surf(4 * f, 4 * f, kRed);
        ASSERT_EQ(pic.Draw(&surf.s, 0, 0, 4 * f, 4 * f), 1);
        for (int y = 0; y < 4 * f; ++y)
            for (int x = 0; x < 4 * f; ++x) {
                const long c = x / f, r = y / f;
                const bool transparent = pic.GetPixelIndex(c, 3 - r) == 0;
                ASSERT_EQ(surf.At(x, y), transparent ? kRed : Argb(0, 0, 255)) << x << "," << y;
            }
    }
}

// Transparency compares colours, not indices: another entry of exactly the
// transparent entry's colour is left out too.
TEST(RasterDraw, EntriesOfTheTransparentColourAreSkippedWhateverTheirIndex)
{
    CRaster pic(3, 1, 8);
    pic.SetPaletteIndex(2, 9, 9, 9);
    pic.SetPaletteIndex(5, 9, 9, 9);
    pic.SetPaletteIndex(6, 9, 9, 9, 1); // same colour, other reserved byte: drawn
    pic.SetPixelIndex(0, 0, 2);
    pic.SetPixelIndex(1, 0, 5);
    pic.SetPixelIndex(2, 0, 6);
    pic.SetTransIndex(2);
    TestSurface surf(3, 1, kRed);
    ASSERT_EQ(pic.Draw(&surf.s, 0, 0, -1, -1), 1);
    EXPECT_EQ(surf.At(0, 0), kRed);
    EXPECT_EQ(surf.At(1, 0), kRed);
    EXPECT_EQ(surf.At(2, 0), Argb(9, 9, 9));
}

TEST(RasterDraw, AlphaPlaneBlendsWithTheBackground)
{
    struct Case {
        uint8_t alpha;
        uint8_t alphaMax;
        uint32_t want; // white picture over red background
    };
    // a = alpha * (max + 1) >> 8; channel = (bg * (255 - a) + colour * a) >> 8.
    const Case cases[] = {
        {255, 255, Argb(255, 255, 255)},
        {0, 255, kRed},
        {128, 255, Argb((255 * 127 + 255 * 128) >> 8, (255 * 128) >> 8, (255 * 128) >> 8)},
        {255, 127, Argb((255 * 128 + 255 * 127) >> 8, (255 * 127) >> 8, (255 * 127) >> 8)},
        {255, 0, kRed}, // 255 * 1 >> 8 is 0: nothing drawn
    };
    for (const Case& k : cases) {
        SCOPED_TRACE("alpha " + std::to_string(k.alpha) + " max " + std::to_string(k.alphaMax));
        CRaster pic(2, 2, 24);
        pic.Clear(255);
        ASSERT_TRUE(pic.AlphaCreate());
        for (long y = 0; y < 2; ++y)
            for (long x = 0; x < 2; ++x)
                pic.AlphaSet(x, y, k.alpha);
        pic.AlphaSetMax(k.alphaMax);
        TestSurface surf(2, 2, kRed);
        ASSERT_EQ(pic.Draw(&surf.s, 0, 0, -1, -1), 1);
        for (uint32_t v : surf.buffer)
            EXPECT_EQ(v, k.want) << std::hex << "have " << v << ", want " << k.want;
    }
}

TEST(RasterDraw, AlphaPaletteUsesTheReservedBytes)
{
    CRaster pic(3, 1, 8);
    pic.SetPaletteIndex(0, 0, 255, 0, 255); // opaque green
    pic.SetPaletteIndex(1, 0, 255, 0, 0);   // fully transparent
    pic.SetPaletteIndex(2, 0, 255, 0, 127); // a = 255 * 128 >> 8 = 127
    for (long x = 0; x < 3; ++x)
        pic.SetPixelIndex(x, 0, uint8_t(x));
    pic.AlphaPaletteEnable(true);
    TestSurface surf(3, 1, kRed);
    ASSERT_EQ(pic.Draw(&surf.s, 0, 0, -1, -1), 1);
    EXPECT_EQ(surf.At(0, 0), Argb(0, 255, 0));
    EXPECT_EQ(surf.At(1, 0), kRed);
    EXPECT_EQ(surf.At(2, 0), Argb((255 * 128) >> 8, (255 * 127) >> 8, 0));
}

TEST(RasterDraw, MakeBitmapCopiesTopRowFirstAndOpaque)
{
    CRaster empty(0);
    EXPECT_EQ(empty.MakeBitmap(), nullptr);

    for (long bpp : {4L, 24L}) {
        CRaster pic = bpp == 24 ? MakeDistinct24(3, 2) : MakeIndexed(3, 2, bpp);
        std::unique_ptr<RasterBitmap> bmp(pic.MakeBitmap());
        ASSERT_NE(bmp, nullptr);
        ASSERT_EQ(bmp->width, 3);
        ASSERT_EQ(bmp->height, 2);
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 3; ++c) {
                const RGBQUAD q = pic.GetPixelColor(c, 1 - r);
                EXPECT_EQ(bmp->pixels[r * 3 + c], Argb(q.rgbRed, q.rgbGreen, q.rgbBlue));
            }
    }
}

} // namespace
