#include "bmp_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "decode_test_util.h"
#include "raster_file.h"

using namespace decodetest;

namespace {

std::vector<unsigned char> Le(uint32_t v, int bytes)
{
    std::vector<unsigned char> out;
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
    return out;
}

// A BMP with file header and 40-byte header; `palette` and `pixels` follow.
std::vector<unsigned char> MakeBmp(int32_t width, int32_t height, uint16_t bpp, uint32_t compression,
                                   const std::vector<unsigned char>& palette, const std::vector<unsigned char>& pixels,
                                   int32_t ppm = 2835)
{
    std::vector<unsigned char> b = {'B', 'M'};
    auto put = [&](uint32_t v, int n) {
        auto bytes = Le(v, n);
        b.insert(b.end(), bytes.begin(), bytes.end());
    };
    put(uint32_t(54 + palette.size() + pixels.size()), 4);
    put(0, 4);
    put(uint32_t(54 + palette.size()), 4);
    put(40, 4);
    put(uint32_t(width), 4);
    put(uint32_t(height), 4);
    put(1, 2);
    put(bpp, 2);
    put(compression, 4);
    put(uint32_t(pixels.size()), 4);
    put(uint32_t(ppm), 4);
    put(uint32_t(ppm), 4);
    put(0, 4);
    put(0, 4);
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

bool DecodeBmp(CRasterBmpCodec& codec, std::vector<unsigned char> bytes)
{
    CRasterMemFile file(bytes.data(), uint32_t(bytes.size()));
    return codec.Decode(&file);
}

// A file whose bytes go on for ever: a fixed start, then one pattern repeated.
class EndlessFile : public CRasterFile {
public:
    EndlessFile(std::vector<unsigned char> start, std::vector<unsigned char> pattern)
        : start_(std::move(start)), pattern_(std::move(pattern))
    {
    }
    bool Close() override { return true; }
    size_t Read(void* buffer, size_t size, size_t count) override
    {
        auto* out = static_cast<unsigned char*>(buffer);
        for (size_t i = 0; i < size * count; ++i)
            out[i] = uint8_t(GetC());
        return count;
    }
    size_t Write(const void*, size_t, size_t) override { return 0; }
    bool Seek(long offset, int origin) override
    {
        pos_ = (origin == 0 ? 0 : pos_) + offset;
        return true;
    }
    long Tell() override { return pos_; }
    long Size() override { return -1; }
    bool Flush() override { return true; }
    bool Eof() override { return false; }
    long Error() override { return 0; }
    long GetC() override
    {
        const long p = pos_++;
        if (p < long(start_.size()))
            return start_[size_t(p)];
        return pattern_[size_t(p - long(start_.size())) % pattern_.size()];
    }

private:
    std::vector<unsigned char> start_;
    std::vector<unsigned char> pattern_;
    long pos_ = 0;
};

std::vector<unsigned char> GreyPalette(int n)
{
    std::vector<unsigned char> p;
    for (int i = 0; i < n; ++i)
        p.insert(p.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
    return p;
}

} // namespace

TEST(BmpCodec, DecodesEverySampleLikePillow)
{
    SampleSet set("bmp");
    ASSERT_TRUE(set.Ok()) << "decode_samples.py bmp failed";
    for (const Sample& s : set.Samples()) {
        SCOPED_TRACE(s.name);
        CRasterBmpCodec codec;
        ASSERT_TRUE(DecodeBmp(codec, ReadBytes(set.Path(s.file)))) << codec.GetLastError();
        EXPECT_EQ(codec.GetBpp(), uint32_t(s.bpp));
        EXPECT_EQ(codec.GetType(), 0u) << "a decoded BMP carries format code 0";
        EXPECT_FALSE(codec.HasAlpha()) << "the fourth byte of 32-bit pixels is dropped, alpha or not";
        EXPECT_TRUE(MatchesReference(codec, ReadReference(set.Path(s.name + ".ref")), s.mode));
    }
}

TEST(BmpCodec, Expands16BitPixelsWithoutFillingLowBits)
{
    // One white 5-5-5 pixel and one pure red one.
    CRasterBmpCodec codec;
    ASSERT_TRUE(DecodeBmp(codec, MakeBmp(2, 1, 16, 0, {}, {0xFF, 0x7F, 0x00, 0x7C})));
    const RGBQUAD white = codec.GetPixelColor(0, 0);
    EXPECT_EQ(white, MakeRgbQuad(248, 248, 248));
    EXPECT_EQ(codec.GetPixelColor(1, 0), MakeRgbQuad(248, 0, 0));
}

TEST(BmpCodec, TakesResolutionFromPixelsPerMetre)
{
    struct Case {
        int32_t ppm;
        long dpi;
    } cases[] = {{2835, 72}, {3780, 96}, {0, 0}, {11811, 300}};
    for (const Case& c : cases) {
        CRasterBmpCodec codec;
        ASSERT_TRUE(DecodeBmp(codec, MakeBmp(1, 1, 24, 0, {}, {1, 2, 3, 0}, c.ppm)));
        EXPECT_EQ(codec.GetXDPI(), c.dpi) << "ppm " << c.ppm;
        EXPECT_EQ(codec.GetYDPI(), c.dpi) << "ppm " << c.ppm;
    }
}

TEST(BmpCodec, Rle4OddAbsoluteRunsTakeHalvesInTurnAndNoPad)
{
    // An absolute run of 3 pixels at column 3 fills 2 bytes (even: no pad
    // byte) and takes the halves of its bytes in turn, high half first.
    const std::vector<unsigned char> data = {3, 0x12, 0, 3, 0xAB, 0xCD, 1, 0xEF, 0, 1};
    CRasterBmpCodec codec;
    ASSERT_TRUE(DecodeBmp(codec, MakeBmp(8, 1, 4, 2, GreyPalette(16), data)));
    const uint8_t want[8] = {1, 2, 1, 0xA, 0xB, 0xC, 0xE, 0};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(codec.GetPixelIndex(x, 0), want[x]) << "x " << x;
}

TEST(BmpCodec, RleDropsWritesOutsideTheRows)
{
    // A run far longer than the row, a jump above the top, then more data.
    const std::vector<unsigned char> data = {255, 7, 0, 2, 0, 9, 3, 3, 0, 1};
    CRasterBmpCodec codec;
    ASSERT_TRUE(DecodeBmp(codec, MakeBmp(4, 2, 8, 1, GreyPalette(256), data)));
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(codec.GetPixelIndex(x, 0), 7);
        EXPECT_EQ(codec.GetPixelIndex(x, 1), 0);
    }
}

TEST(BmpCodec, LeavesPixelsTheFileDoesNotHoldBlack)
{
    // Four rows announced, one row of data present.
    CRasterBmpCodec codec;
    ASSERT_TRUE(DecodeBmp(codec, MakeBmp(1, 4, 24, 0, {}, {9, 9, 9, 0})));
    EXPECT_EQ(codec.GetPixelColor(0, 0), MakeRgbQuad(9, 9, 9));
    for (int y = 1; y < 4; ++y)
        EXPECT_EQ(codec.GetPixelColor(0, y), MakeRgbQuad(0, 0, 0)) << "row " << y;
}

// A file that ends early keeps what it holds and says how many rows it had;
// RLE data count as whole when they fill the last row or end the bitmap.
TEST(BmpCodec, AFileCutShortSaysHowManyRowsItHeld)
{
    auto cut = [](std::vector<unsigned char> b, size_t drop) {
        b.resize(b.size() - drop);
        return b;
    };
    const std::vector<unsigned char> rows24 = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0};
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        const char* note;
    };
    const Case cases[] = {
        {"24 bits, whole", MakeBmp(1, 3, 24, 0, {}, rows24), ""},
        {"24 bits, half the last row", cut(MakeBmp(1, 3, 24, 0, {}, rows24), 2),
         "the pixel data stops after 2 of 3 rows"},
        {"24 bits, no pixels", cut(MakeBmp(1, 3, 24, 0, {}, rows24), 12), "the pixel data stops after 0 of 3 rows"},
        {"8 bits, cut in the palette", cut(MakeBmp(4, 2, 8, 0, GreyPalette(256), std::vector<unsigned char>(8, 1)), 108),
         "the pixel data stops after 0 of 2 rows"},
        {"16 bits", MakeBmp(2, 3, 16, 0, {}, std::vector<unsigned char>(8, 1)), "the pixel data stops after 2 of 3 rows"},
        {"32 bits", MakeBmp(1, 3, 32, 0, {}, {1, 2, 3, 4}), "the pixel data stops after 1 of 3 rows"},
        {"RLE8 ending inside row 2", MakeBmp(4, 3, 8, 1, GreyPalette(256), {4, 1, 0, 0, 2, 5}),
         "the pixel data stops after 1 of 3 rows"},
        {"RLE8 ending the bitmap in row 2", MakeBmp(4, 3, 8, 1, GreyPalette(256), {4, 1, 0, 0, 2, 5, 0, 1}), ""},
        {"RLE4 filling its last row", MakeBmp(4, 2, 4, 2, GreyPalette(16), {4, 0x11, 0, 0, 4, 0x22}), ""},
        {"RLE4 cut in an absolute run", MakeBmp(6, 2, 4, 2, GreyPalette(16), {0, 6, 0x12}),
         "the pixel data stops after 0 of 2 rows"},
    };
    for (const Case& c : cases) {
        CRasterBmpCodec codec;
        ASSERT_TRUE(DecodeBmp(codec, c.bytes)) << c.what << ": " << codec.GetLastError();
        EXPECT_STREQ(codec.GetTruncation(), c.note) << c.what;
    }
}

TEST(BmpCodec, RefusesBadFilesWithTheirReason)
{
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        const char* error;
    };
    auto header14 = std::vector<unsigned char>{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const Case cases[] = {
        {"empty", {}, "Not a BMP"},
        {"file header only", header14, "Error reading BMP info"},
        {"a PNG signature", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'},
         "Not a BMP"},
        {"bare header of 41 bytes", {41, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0}, "Not a BMP"},
        {"8 bits, compression 6", MakeBmp(2, 2, 8, 6, GreyPalette(256), {0, 0, 0, 0, 0, 0, 0, 0}),
         "compression type not supported"},
        {"2 bits", MakeBmp(4, 1, 2, 0, GreyPalette(4), {0x1B, 0, 0, 0}), "BMP with 2 bits per pixel is not supported"},
        {"0 bits, embedded JPEG", MakeBmp(4, 1, 0, 4, {}, {0xFF, 0xD8, 0xFF, 0xE0}),
         "BMP with embedded JPEG data is not supported"},
        {"0 bits, embedded PNG", MakeBmp(4, 1, 0, 5, {}, {0x89, 'P', 'N', 'G'}),
         "BMP with embedded PNG data is not supported"},
        {"8 bits, compression 5", MakeBmp(2, 2, 8, 5, GreyPalette(256), {0, 0, 0, 0, 0, 0, 0, 0}),
         "BMP with embedded PNG data is not supported"},
        {"16 bits, RLE8", MakeBmp(2, 1, 16, 1, {}, {2, 7, 0, 1}), "unknown compression"},
        {"32 bits, compression 6", MakeBmp(1, 1, 32, 6, {}, {1, 2, 3, 4}), "unknown compression"},
        {"24 bits, RLE8", MakeBmp(1, 1, 24, 1, {}, {0, 0, 0, 0}), "unknown compression"},
        {"32 bits, RLE4", MakeBmp(1, 1, 32, 2, {}, {0, 0, 0, 0}), "unknown compression"},
        {"width 0", MakeBmp(0, 5, 24, 0, {}, {}), "Can't allocate memory"},
        {"negative width", MakeBmp(-5, 5, 24, 0, {}, {}), "Can't allocate memory"},
        {"height -2^31", MakeBmp(5, INT32_MIN, 24, 0, {}, {}), "Can't allocate memory"},
        {"100000 x 100000 x 24", MakeBmp(100000, 100000, 24, 0, {}, {}), "Can't allocate memory"},
        {"32 bits, 30000 x 30000", MakeBmp(30000, 30000, 32, 0, {}, {}), "Can't allocate memory"},
    };
    for (const Case& c : cases) {
        CRasterBmpCodec codec;
        EXPECT_FALSE(DecodeBmp(codec, c.bytes)) << c.what;
        EXPECT_STREQ(codec.GetLastError(), c.error) << c.what;
        EXPECT_FALSE(codec.IsValid()) << c.what;
    }
}

TEST(BmpCodec, StopsWhenTheEscapeIsSet)
{
    int32_t escape = 1;
    CRasterBmpCodec codec;
    codec.WatchEscape(&escape);
    EXPECT_FALSE(DecodeBmp(codec, MakeBmp(1, 1, 24, 0, {}, {1, 2, 3, 0})));
    EXPECT_STREQ(codec.GetLastError(), "Cancelled");
}

TEST(BmpCodec, RleOverAStreamThatNeverEndsTerminates)
{
    // Header of a 64 x 64 RLE picture, then for ever either end-of-line
    // escapes (rows run out) or one-pixel runs on one row (no row advance).
    const std::vector<unsigned char> head = MakeBmp(64, 64, 8, 1, GreyPalette(256), {});
    const std::vector<std::vector<unsigned char>> patterns = {{0, 0}, {1, 5}, {0, 2, 0, 0}};
    for (int compression : {1, 2}) {
        for (const auto& pattern : patterns) {
            std::vector<unsigned char> h = head;
            h[30] = uint8_t(compression);
            EndlessFile file(h, pattern);
            CRasterBmpCodec codec;
            EXPECT_TRUE(codec.Decode(&file));
            EXPECT_EQ(codec.GetWidth(), 64u);
        }
    }
}
