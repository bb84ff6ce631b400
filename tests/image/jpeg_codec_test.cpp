#include "jpeg_codec.h"

#include <gtest/gtest.h>

#include <vector>

#include "decode_test_util.h"

using namespace decodetest;

namespace {

constexpr char kJpegFormat[] = "jpeg";
using JpegCodec = SampleSuite<kJpegFormat>;

} // namespace

TEST_F(JpegCodec, DecodesGreyColourAndCmykLikePillow)
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
