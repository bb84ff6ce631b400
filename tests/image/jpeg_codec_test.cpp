#include "jpeg_codec.h"

#include <gtest/gtest.h>

#include <vector>

#include "decode_test_util.h"

using namespace decodetest;

namespace {

constexpr char kJpegFormat[] = "jpeg";
using JpegCodec = SampleSuite<kJpegFormat>;

using Data = std::vector<unsigned char>;

// The file with an APP1 segment holding `body` right after its start marker.
Data WithApp1(Data jpeg, const Data& body)
{
    const size_t length = body.size() + 2;
    Data segment = {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length)};
    segment.insert(segment.end(), body.begin(), body.end());
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    return jpeg;
}

struct ExifEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;
};

// "Exif", two zero bytes and a little-endian block with one directory at
// `directory` (8 is right after the block's header) that announces `count`
// entries and holds `entries`.
Data LittleExif(const std::vector<ExifEntry>& entries, uint32_t directory = 8, int count = -1)
{
    Data b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0};
    auto put = [&b](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.push_back(uint8_t(v >> (8 * i)));
    };
    put(directory, 4);
    put(count < 0 ? uint32_t(entries.size()) : uint32_t(count), 2);
    for (const ExifEntry& e : entries) {
        put(e.tag, 2);
        put(e.type, 2);
        put(e.count, 4);
        put(e.value, 4);
    }
    put(0, 4);
    return b;
}

} // namespace

TEST_F(JpegCodec, DecodesEverySampleLikePillow)
{
    ASSERT_TRUE(set_->Ok()) << "decode_samples.py jpeg failed";
    for (const Sample& s : set_->Samples()) {
        SCOPED_TRACE(s.name);
        CRasterJpegCodec codec;
        ASSERT_TRUE(DecodeBytes(codec, ReadBytes(set_->Path(s.file)))) << codec.GetLastError();
        EXPECT_EQ(codec.GetBpp(), uint32_t(s.bpp));
        EXPECT_EQ(codec.GetType(), uint32_t(FormatJpeg));
        const Reference ref = ReadReference(set_->Path(s.name + ".ref"));
        EXPECT_EQ(int(codec.GetWidth()), ref.width);
        EXPECT_EQ(int(codec.GetHeight()), ref.height);
        if (s.mode != "none") {
            EXPECT_TRUE(MatchesReference(codec, ref, s.mode));
        }
    }
}

TEST_F(JpegCodec, GreyPicturesGetTheGreyPalette)
{
    CRasterJpegCodec codec;
    ASSERT_TRUE(DecodeBytes(codec, Bytes("grey")));
    ASSERT_EQ(codec.GetNumColors(), 256u);
    for (int i : {0, 1, 127, 255})
        EXPECT_EQ(codec.GetPaletteColor(uint8_t(i)), MakeRgbQuad(uint8_t(i), uint8_t(i), uint8_t(i))) << i;
}

TEST_F(JpegCodec, ReadsResolutionInDotsPerInchAndPerCentimetre)
{
    struct Case {
        const char* name;
        long xDpi;
        long yDpi;
    } cases[] = {
        {"colour", 300, 150}, // unit 1: dots per inch, taken as they are
        {"dpcm", 299, 101},   // unit 2: 118 and 40 dots per cm, times 2.54, integer part
        {"orientation2_ii", 300, 150}, // mirrored: the axes stay
        {"orientation8_mm", 150, 300}, // turned a quarter: the axes swap
    };
    for (const Case& c : cases) {
        CRasterJpegCodec codec;
        ASSERT_TRUE(DecodeBytes(codec, Bytes(c.name))) << c.name;
        EXPECT_EQ(codec.GetXDPI(), c.xDpi) << c.name;
        EXPECT_EQ(codec.GetYDPI(), c.yDpi) << c.name;
    }
}

TEST_F(JpegCodec, AFileCutShortStillGivesTheWholePicture)
{
    CRasterJpegCodec whole;
    CRasterJpegCodec cut;
    ASSERT_TRUE(DecodeBytes(whole, Bytes("colour")));
    ASSERT_TRUE(DecodeBytes(cut, Bytes("truncated"))) << cut.GetLastError();
    EXPECT_STREQ(whole.GetTruncation(), "");
    EXPECT_STREQ(cut.GetTruncation(), "the image data stops before the end of the picture");
    EXPECT_EQ(cut.GetWidth(), whole.GetWidth());
    EXPECT_EQ(cut.GetHeight(), whole.GetHeight());
    // The top rows arrived before the cut.
    const long top = long(whole.GetHeight()) - 1;
    EXPECT_EQ(cut.GetPixelColor(0, top), whole.GetPixelColor(0, top));
}

TEST_F(JpegCodec, FailuresCarryLibjpegsMessage)
{
    const std::vector<unsigned char> good = Bytes("colour");
    std::vector<unsigned char> notJpeg = good;
    notJpeg[0] = 'X';
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        const char* error;
    } cases[] = {
        {"empty", {}, "Empty input file"},
        {"not a JPEG", notJpeg, "Not a JPEG file: starts with 0x58 0xd8"},
        {"only the start marker", {0xFF, 0xD8}, nullptr},
    };
    for (const Case& c : cases) {
        CRasterJpegCodec codec;
        EXPECT_FALSE(DecodeBytes(codec, c.bytes)) << c.what;
        EXPECT_FALSE(codec.IsValid()) << c.what;
        if (c.error) {
            EXPECT_STREQ(codec.GetLastError(), c.error) << c.what;
        } else {
            EXPECT_STRNE(codec.GetLastError(), "") << c.what;
        }
    }
}

TEST_F(JpegCodec, RefusesSizesBeyondTheBlockLimit)
{
    // Patch the frame header of the sample to 65000 x 65000.
    std::vector<unsigned char> bytes = Bytes("colour");
    size_t sof = 0;
    for (size_t i = 2; i + 9 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
            sof = i;
            break;
        }
    }
    ASSERT_NE(sof, 0u);
    bytes[sof + 5] = 0xFD;
    bytes[sof + 6] = 0xE8;
    bytes[sof + 7] = 0xFD;
    bytes[sof + 8] = 0xE8;
    CRasterJpegCodec codec;
    EXPECT_FALSE(DecodeBytes(codec, bytes));
    EXPECT_STREQ(codec.GetLastError(), "Image too large");
}

TEST_F(JpegCodec, StopsWhenTheEscapeIsSet)
{
    int32_t escape = 1;
    CRasterJpegCodec codec;
    codec.WatchEscape(&escape);
    EXPECT_FALSE(DecodeBytes(codec, Bytes("colour")));
    EXPECT_STREQ(codec.GetLastError(), "Cancelled");
    EXPECT_FALSE(codec.IsValid());
}

// Exif blocks that cannot be read, or name no orientation we know, leave the
// picture as stored, and never make the decode fail.
TEST_F(JpegCodec, IgnoresExifBlocksItCannotRead)
{
    const Data plain = Bytes("colour");
    const ExifEntry rotate{0x0112, 3, 1, 6};
    Data bigCount = LittleExif({rotate}, 8, 65535);
    Data wrongOrder = LittleExif({rotate});
    wrongOrder[6] = 'X';
    Data wrongMagic = LittleExif({rotate});
    wrongMagic[8] = 43;
    Data xmp = LittleExif({rotate});
    std::copy_n("XMP\0\0\0", 6, xmp.begin());
    Data cut = LittleExif({rotate});
    cut.resize(20);
    const struct Case {
        const char* what;
        Data body;
    } cases[] = {
        {"directory past the block", LittleExif({rotate}, 4000)},
        {"directory offset near 2^32", LittleExif({rotate}, 0xFFFFFFF0u)},
        {"more entries than the block holds", bigCount},
        {"orientation 0", LittleExif({{0x0112, 3, 1, 0}})},
        {"orientation 9", LittleExif({{0x0112, 3, 1, 9}})},
        {"orientation as a long", LittleExif({{0x0112, 4, 1, 6}})},
        {"orientation with two values", LittleExif({{0x0112, 3, 2, 6}})},
        {"no byte order", wrongOrder},
        {"not a TIFF block", wrongMagic},
        {"not Exif", xmp},
        {"cut inside the directory", cut},
        {"empty segment", {}},
    };
    CRasterJpegCodec want;
    ASSERT_TRUE(DecodeBytes(want, plain));
    for (const Case& c : cases) {
        CRasterJpegCodec codec;
        ASSERT_TRUE(DecodeBytes(codec, WithApp1(plain, c.body))) << c.what << ": " << codec.GetLastError();
        ASSERT_EQ(codec.GetWidth(), want.GetWidth()) << c.what;
        ASSERT_EQ(codec.GetHeight(), want.GetHeight()) << c.what;
        EXPECT_EQ(codec.GetPixelColor(3, 5), want.GetPixelColor(3, 5)) << c.what;
    }

    // The first Exif block counts; another APP1 user before it does not hide it.
    CRasterJpegCodec turned;
    ASSERT_TRUE(DecodeBytes(turned, WithApp1(WithApp1(plain, LittleExif({rotate})), xmp)));
    EXPECT_EQ(turned.GetWidth(), want.GetHeight());
    EXPECT_EQ(turned.GetHeight(), want.GetWidth());
}
