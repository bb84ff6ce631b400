// The picture record: sizes, bottom-up addressing, palette and pixel rules,
// ownership through Copy, Transfer and Ghost.
#include "raster.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct CreateCase {
    uint32_t width;
    long bppAsked;
    uint32_t bpp;
    uint32_t colours;
    uint32_t effWidth;
};

TEST(RasterCreate, NormalisesDepthAndPadsRowsToFourBytes)
{
    const CreateCase cases[] = {
        {3, 0, 1, 2, 4},      {3, 1, 1, 2, 4},      {33, 1, 1, 2, 8},   {3, 2, 4, 16, 4},
        {9, 4, 4, 16, 8},     {5, 5, 8, 256, 8},    {4, 8, 8, 256, 4},  {3, 16, 24, 0, 12},
        {3, 24, 24, 0, 12},   {1, 32, 24, 0, 4},    {5, 24, 24, 0, 16}, {3, -7, 1, 2, 4},
    };
    for (const CreateCase& c : cases) {
        CRaster img(7);
        ASSERT_NE(img.Create(c.width, 2, c.bppAsked, 3), nullptr) << "bpp " << c.bppAsked;
        EXPECT_EQ(img.GetBpp(), c.bpp) << "asked " << c.bppAsked;
        EXPECT_EQ(img.GetNumColors(), c.colours) << "asked " << c.bppAsked;
        EXPECT_EQ(img.GetEffWidth(), c.effWidth) << "width " << c.width << " bpp " << c.bpp;
        EXPECT_EQ(img.Header().biSizeImage, c.effWidth * 2);
        EXPECT_EQ(img.GetSize(), 40 + 4 * c.colours + c.effWidth * 2);
        EXPECT_EQ(img.GetType(), 3u);
        EXPECT_EQ(img.GetBits(), static_cast<uint8_t*>(img.GetDIB()) + 40 + 4 * c.colours);
        // The block starts with a copy of the header.
        BITMAPINFOHEADER inBlock;
        std::memcpy(&inBlock, img.GetDIB(), 40);
        EXPECT_EQ(std::memcmp(&inBlock, &img.Header(), 40), 0);
        for (uint32_t i = 0; i < c.colours; ++i)
            ASSERT_EQ(img.GetPaletteColor(uint8_t(i)), (RGBQUAD{0, 0, 0, 0}));
    }
}

TEST(RasterCreate, RefusesEmptyNegativeAndOversizedPictures)
{
    struct Bad {
        uint32_t w, h;
        long bpp;
    };
    const Bad cases[] = {
        {0, 10, 8},
        {10, 0, 24},
        {uint32_t(-5), 10, 8},       // a negative width read as unsigned
        {10, uint32_t(-1), 24},
        {0x80000000u, 1, 1},
        {0x7FFFFFFFu, 0x7FFFFFFFu, 24}, // width x height wraps 32 and 64-bit sums of bytes
        {65536, 65536, 24},          // 12 GiB
        {18919, 18919, 24},          // just past the 1 GiB ceiling
    };
    for (const Bad& b : cases) {
        CRaster img;
        EXPECT_EQ(img.Create(b.w, b.h, b.bpp), nullptr) << b.w << " x " << b.h;
        EXPECT_FALSE(img.IsValid());
        EXPECT_EQ(img.GetBits(), nullptr);
    }
    uint64_t bytes = 0;
    EXPECT_TRUE(RasterBlockBytes(16384, 16384, 32, &bytes));
    EXPECT_EQ(bytes, kMaxRasterBlockBytes);
    EXPECT_FALSE(RasterBlockBytes(16384, 16385, 32, &bytes));
    EXPECT_FALSE(RasterRowBytes(UINT64_MAX, 24, &bytes));
}

TEST(RasterCreate, StartsWithTheDefaultInfoBlock)
{
    CRaster img(2);
    EXPECT_FALSE(img.IsValid());
    EXPECT_EQ(img.GetType(), 2u);
    EXPECT_EQ(img.GetJpegQuality(), 75);
    EXPECT_EQ(img.AlphaGetMax(), 255);
    EXPECT_EQ(img.GetTransIndex(), -1);
    EXPECT_TRUE(img.IsEnabled());
    EXPECT_EQ(img.GetXDPI(), 72);
    EXPECT_EQ(img.GetYDPI(), 72);
    EXPECT_EQ(img.Header().biSize, 40u);
    EXPECT_STREQ(img.GetLastError(), "");
    EXPECT_STREQ(CRaster::GetVersion(), "Raster 5.00");

    img.SetXDPI(72);
    img.SetYDPI(300);
    EXPECT_EQ(img.Header().biXPelsPerMeter, 2835);
    EXPECT_EQ(img.Header().biYPelsPerMeter, 11811);
}

// Writes a distinct index into every pixel through SetPixelIndex and checks
// the bytes where the bottom-up packing puts them.
TEST(RasterPixels, PacksIndicesBottomUpAtEveryDepth)
{
    CRaster img8(3, 2, 8);
    img8.SetPixelIndex(2, 1, 0xAB);
    EXPECT_EQ(img8.GetBits()[1 * 4 + 2], 0xAB); // row 1 is the second stored row

    CRaster img4(3, 2, 4);
    img4.SetPixelIndex(0, 1, 0x1C); // masked to 4 bits
    img4.SetPixelIndex(1, 1, 0x5);
    img4.SetPixelIndex(2, 0, 0x7);
    EXPECT_EQ(img4.GetBits()[4], 0xC5);
    EXPECT_EQ(img4.GetBits()[1], 0x70);
    EXPECT_EQ(img4.GetPixelIndex(0, 1), 0xC);
    EXPECT_EQ(img4.GetPixelIndex(1, 1), 0x5);
    img4.SetPixelIndex(0, 1, 0); // neighbour in the same byte survives
    EXPECT_EQ(img4.GetBits()[4], 0x05);

    CRaster img1(10, 2, 1);
    img1.SetPixelIndex(0, 1, 1);
    img1.SetPixelIndex(9, 1, 3); // masked to 1 bit
    img1.SetPixelIndex(3, 0, 1);
    EXPECT_EQ(img1.GetBits()[4], 0x80);
    EXPECT_EQ(img1.GetBits()[5], 0x40);
    EXPECT_EQ(img1.GetBits()[0], 0x10);
    img1.SetPixelIndex(0, 1, 0);
    EXPECT_EQ(img1.GetBits()[4], 0x00);
    EXPECT_EQ(img1.GetBits()[5], 0x40);

    CRaster img24(2, 2, 24);
    img24.SetPixelColor(1, 1, MakeRgbQuad(10, 20, 30));
    const uint8_t* p = img24.GetBits() + 8 + 3;
    EXPECT_EQ(p[0], 30); // blue first
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    EXPECT_EQ(img24.GetBits(1), img24.GetBits() + 8);
    EXPECT_EQ(img24.GetBits(2), nullptr);
}

TEST(RasterPixels, RoundTripsEveryPixelAtEveryIndexedDepth)
{
    for (long bpp : {1L, 4L, 8L}) {
        const int mask = (1 << bpp) - 1;
        for (uint32_t w = 1; w <= 11; ++w) {
            CRaster img(w, 3, bpp);
            for (long y = 0; y < 3; ++y)
                for (long x = 0; x < long(w); ++x)
                    img.SetPixelIndex(x, y, uint8_t((x * 7 + y * 3 + 1) & mask));
            for (long y = 0; y < 3; ++y)
                for (long x = 0; x < long(w); ++x)
                    ASSERT_EQ(img.GetPixelIndex(x, y), (x * 7 + y * 3 + 1) & mask)
                        << "bpp " << bpp << " w " << w << " at " << x << "," << y;
        }
    }
}

TEST(RasterPixels, OutsideThePictureGivesTheTransparentDefaults)
{
    CRaster img(4, 4, 8);
    img.SetPaletteIndex(5, 1, 2, 3, 4);
    EXPECT_EQ(img.GetPixelIndex(-1, 0), 0);
    img.SetTransIndex(5);
    EXPECT_EQ(img.GetPixelIndex(-1, 0), 5);
    EXPECT_EQ(img.GetPixelIndex(0, 4), 5);
    EXPECT_EQ(img.GetPixelColor(4, 0), MakeRgbQuad(1, 2, 3, 4));
    EXPECT_EQ(img.GetTransColor(), MakeRgbQuad(1, 2, 3, 4));

    img.SetPixelIndex(4, 0, 9); // ignored, and nothing past the row is touched
    img.SetPixelColor(-1, -1, MakeRgbQuad(9, 9, 9));
    for (uint32_t i = 0; i < img.Header().biSizeImage; ++i)
        ASSERT_EQ(img.GetBits()[i], 0);

    CRaster rgb(2, 2, 24);
    rgb.SetTransIndex(3); // ignored for true colour
    rgb.SetTransColor(MakeRgbQuad(7, 8, 9, 10));
    EXPECT_EQ(rgb.GetPixelColor(2, 0), MakeRgbQuad(7, 8, 9, 10));
    EXPECT_EQ(rgb.GetPixelIndex(0, 0), 0);
    // Inside a true-colour picture the reserved byte comes from the transparent colour.
    rgb.SetPixelColor(0, 0, MakeRgbQuad(1, 2, 3, 99));
    EXPECT_EQ(rgb.GetPixelColor(0, 0), MakeRgbQuad(1, 2, 3, 10));

    CRaster empty(0);
    empty.SetTransColor(MakeRgbQuad(4, 5, 6));
    EXPECT_EQ(empty.GetPixelColor(0, 0), MakeRgbQuad(4, 5, 6));
    EXPECT_EQ(empty.AlphaGet(0, 0), 0);
}

TEST(RasterPalette, NearestIndexPrefersTheLowestOfEquallyCloseEntries)
{
    CRaster img(1, 1, 8);
    for (int i = 0; i < 256; ++i)
        img.SetPaletteIndex(uint8_t(i), 255, 255, 255);
    // Entries 3 and 7 are both at squared distance 12 from (100,100,100).
    img.SetPaletteIndex(3, 102, 102, 102);
    img.SetPaletteIndex(7, 98, 98, 98);
    img.SetPaletteIndex(5, 110, 100, 100); // distance 100: farther
    EXPECT_EQ(img.GetNearestIndex(MakeRgbQuad(100, 100, 100)), 3);

    // Exact matches at 9 and 200 only: 9 wins, whatever the reserved bytes.
    img.SetPaletteIndex(9, 10, 20, 30, 77);
    img.SetPaletteIndex(200, 10, 20, 30);
    EXPECT_EQ(img.GetNearestIndex(MakeRgbQuad(10, 20, 30, 1)), 9);

    img.SetPixelColor(0, 0, MakeRgbQuad(10, 20, 30));
    EXPECT_EQ(img.GetPixelIndex(0, 0), 9);
    EXPECT_EQ(img.GetPixelColor(0, 0), MakeRgbQuad(10, 20, 30, 77));

    CRaster rgb(1, 1, 24);
    EXPECT_EQ(rgb.GetNearestIndex(MakeRgbQuad(1, 1, 1)), 0);
    EXPECT_EQ(rgb.GetPalette(), nullptr);
}

TEST(RasterPalette, WritesPastThePaletteAreIgnored)
{
    CRaster img(2, 2, 4);
    img.SetPaletteIndex(200, 1, 2, 3);
    img.SetPaletteIndex(15, 1, 2, 3, 4);
    EXPECT_EQ(img.GetPaletteColor(15), MakeRgbQuad(1, 2, 3, 4));
    EXPECT_EQ(img.GetPaletteColor(16), (RGBQUAD{0, 0, 0, 0}));
    // Pixel rows begin right after the 16 entries and stay untouched.
    for (uint32_t i = 0; i < img.Header().biSizeImage; ++i)
        ASSERT_EQ(img.GetBits()[i], 0);

    RGBQUAD big[256];
    for (int i = 0; i < 256; ++i)
        big[i] = MakeRgbQuad(uint8_t(i), 0, 0);
    img.SetPalette(big, 256); // only 16 entries are copied
    EXPECT_EQ(img.GetPaletteColor(15).rgbRed, 15);
    EXPECT_EQ(img.GetBits()[0], 0);
}

TEST(RasterLifeCycle, DestroyKeepsTheHeaderReadable)
{
    CRaster img(17, 9, 8, 4);
    EXPECT_TRUE(img.Destroy());
    EXPECT_FALSE(img.IsValid());
    EXPECT_EQ(img.GetWidth(), 17u);
    EXPECT_EQ(img.GetHeight(), 9u);
    EXPECT_EQ(img.GetType(), 4u);
    EXPECT_EQ(img.GetBits(), nullptr);
    EXPECT_FALSE(img.Destroy());
}

TEST(RasterLifeCycle, ClearFillsPaddingAndPixelsButNotThePalette)
{
    CRaster img(3, 2, 24);
    img.Clear(0xFF);
    for (uint32_t i = 0; i < img.Header().biSizeImage; ++i)
        ASSERT_EQ(img.GetBits()[i], 0xFF);
    CRaster idx(3, 2, 4);
    idx.SetPaletteIndex(0, 1, 1, 1);
    idx.Clear(0x33);
    EXPECT_EQ(idx.GetPixelIndex(2, 1), 3);
    EXPECT_EQ(idx.GetPaletteColor(0), MakeRgbQuad(1, 1, 1));
}

TEST(RasterLifeCycle, CopyIsDeepIncludingPlanes)
{
    CRaster src(5, 3, 4, 2);
    src.SetPaletteIndex(6, 10, 20, 30);
    src.SetPixelIndex(4, 2, 6);
    src.SetFrameDelay(12);
    src.SetOffset(3, 4);
    ASSERT_TRUE(src.SelectionCreate());
    ASSERT_TRUE(src.AlphaCreate());
    src.AlphaSet(1, 1, 9);
    *src.SelectionGetPointer(2, 2) = 1;

    CRaster copy(src);
    EXPECT_EQ(copy.GetBpp(), 4u);
    EXPECT_EQ(copy.GetPixelIndex(4, 2), 6);
    EXPECT_EQ(copy.GetPaletteColor(6), MakeRgbQuad(10, 20, 30));
    EXPECT_EQ(copy.GetFrameDelay(), 12u);
    long ox = 0, oy = 0;
    copy.GetOffset(&ox, &oy);
    EXPECT_EQ(ox, 3);
    EXPECT_EQ(oy, 4);
    ASSERT_TRUE(copy.HasAlpha());
    ASSERT_TRUE(copy.HasSelection());
    EXPECT_EQ(copy.AlphaGet(1, 1), 9);
    EXPECT_NE(copy.AlphaGetPointer(), src.AlphaGetPointer());
    EXPECT_NE(copy.SelectionGetPointer(), src.SelectionGetPointer());
    EXPECT_NE(copy.GetBits(), src.GetBits());
    EXPECT_EQ(copy.Info().pImage, copy.GetBits());

    src.AlphaSet(1, 1, 50);
    src.SetPixelIndex(4, 2, 1);
    EXPECT_EQ(copy.AlphaGet(1, 1), 9);
    EXPECT_EQ(copy.GetPixelIndex(4, 2), 6);

    CRaster assigned(0);
    assigned = src;
    assigned = assigned;
    EXPECT_EQ(assigned.GetPixelIndex(4, 2), 1);
    EXPECT_EQ(assigned.AlphaGet(1, 1), 50);

    CRaster noPixels(src, false, false, false);
    EXPECT_EQ(noPixels.GetPaletteColor(6), MakeRgbQuad(10, 20, 30));
    EXPECT_FALSE(noPixels.HasAlpha());
    EXPECT_FALSE(noPixels.HasSelection());
}

TEST(RasterLifeCycle, TransferMovesEverythingAndEmptiesTheSource)
{
    CRaster from(6, 4, 24, 3);
    from.AlphaCreate();
    uint8_t* bits = from.GetBits();
    uint8_t* alpha = from.AlphaGetPointer();

    CRaster to(2, 2, 8);
    EXPECT_TRUE(to.Transfer(from));
    EXPECT_EQ(to.GetWidth(), 6u);
    EXPECT_EQ(to.GetBpp(), 24u);
    EXPECT_EQ(to.GetType(), 3u);
    EXPECT_EQ(to.GetBits(), bits);
    EXPECT_EQ(to.AlphaGetPointer(), alpha);

    EXPECT_FALSE(from.IsValid());
    EXPECT_FALSE(from.HasAlpha());
    EXPECT_EQ(from.GetWidth(), 0u);
    EXPECT_EQ(from.GetHeight(), 0u);
}

TEST(RasterLifeCycle, GhostSharesMemoryAndNeverFreesIt)
{
    CRaster body(4, 4, 8);
    body.AlphaCreate();
    body.SetPixelIndex(1, 1, 42);
    {
        CRaster ghost(0);
        ghost.Ghost(&body);
        EXPECT_EQ(ghost.GetBits(), body.GetBits());
        EXPECT_EQ(ghost.GetPixelIndex(1, 1), 42);
        EXPECT_FALSE(ghost.Destroy());
        // Re-creating a ghost gives it memory of its own and leaves the body's alone.
        ASSERT_NE(ghost.Create(2, 2, 8), nullptr);
        EXPECT_NE(ghost.GetBits(), body.GetBits());
    }
    EXPECT_TRUE(body.IsValid());
    EXPECT_TRUE(body.HasAlpha());
    EXPECT_EQ(body.GetPixelIndex(1, 1), 42);
}

TEST(RasterLifeCycle, CopyInfoOnlyWhileEmpty)
{
    CRaster src(1, 1, 8);
    src.SetFrameDelay(33);
    CRaster empty(0);
    empty.CopyInfo(src);
    EXPECT_EQ(empty.GetFrameDelay(), 33u);
    EXPECT_FALSE(empty.IsValid());
    CRaster full(1, 1, 8);
    full.CopyInfo(src);
    EXPECT_EQ(full.GetFrameDelay(), 0u);
}

} // namespace
