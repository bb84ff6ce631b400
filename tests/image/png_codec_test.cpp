#include "png_codec.h"

#include <gtest/gtest.h>

#include <vector>

#include "decode_test_util.h"

using namespace decodetest;

namespace {

constexpr char kPngFormat[] = "png";
using PngCodec = SampleSuite<kPngFormat>;

} // namespace

TEST_F(PngCodec, DecodesEverySampleToTheExpectedDepthAndPixels)
{
    ASSERT_TRUE(set_->Ok()) << "decode_samples.py png failed";
    for (const Sample& s : set_->Samples()) {
        SCOPED_TRACE(s.name);
        CRasterPngCodec codec;
        ASSERT_TRUE(DecodeBytes(codec, ReadBytes(set_->Path(s.file)))) << codec.GetLastError();
        EXPECT_EQ(codec.GetBpp(), uint32_t(s.bpp));
        EXPECT_EQ(codec.GetType(), uint32_t(FormatPng));
        const Reference ref = ReadReference(set_->Path(s.name + ".ref"));
        EXPECT_EQ(codec.HasAlpha(), ref.channels == 4);
        if (s.mode != "none") {
            EXPECT_TRUE(MatchesReference(codec, ref, s.mode));
        }
    }
}

TEST_F(PngCodec, GreyPalettesSpreadTheLevels)
{
    struct Case {
        const char* name;
        uint8_t index;
        uint8_t level;
    } cases[] = {
        {"grey1", 0, 0},   {"grey1", 1, 255},  {"grey2", 1, 85},   {"grey2", 3, 255},
        {"grey2", 4, 0},   {"grey4", 1, 17},   {"grey4", 15, 255}, {"grey8", 1, 1},
        {"grey8", 254, 254}, {"grey16", 255, 255},
    };
    for (const Case& c : cases) {
        CRasterPngCodec codec;
        ASSERT_TRUE(DecodeBytes(codec, Bytes(c.name))) << c.name;
        EXPECT_EQ(codec.GetPaletteColor(c.index), MakeRgbQuad(c.level, c.level, c.level))
            << c.name << " entry " << int(c.index);
    }
}

TEST_F(PngCodec, SingleTransparentEntryZeroBecomesTheTransparentIndex)
{
    CRasterPngCodec codec;
    ASSERT_TRUE(DecodeBytes(codec, Bytes("palette_trns_single")));
    EXPECT_EQ(codec.GetTransIndex(), 0);
    EXPECT_FALSE(codec.IsAlphaPaletteEnabled());
    EXPECT_EQ(codec.GetPaletteColor(0).rgbReserved, 0);
    EXPECT_EQ(codec.GetPixelIndex(1, 0), 1);
}

TEST_F(PngCodec, SeveralTransparencyValuesEnableThePaletteAlpha)
{
    CRasterPngCodec codec;
    ASSERT_TRUE(DecodeBytes(codec, Bytes("palette_trns_many")));
    EXPECT_EQ(codec.GetTransIndex(), -1);
    EXPECT_TRUE(codec.IsAlphaPaletteEnabled());
    EXPECT_EQ(codec.GetPaletteColor(0).rgbReserved, 0);
    EXPECT_EQ(codec.GetPaletteColor(1).rgbReserved, 128);
    EXPECT_EQ(codec.GetPaletteColor(2).rgbReserved, 255);
    EXPECT_EQ(codec.GetPaletteColor(200).rgbReserved, 255);
    // The opaque entry keeps its colour.
    EXPECT_EQ(codec.GetPaletteColor(2).rgbBlue, 255);
    EXPECT_EQ(codec.GetPixelIndex(2, 0), 2);
}

TEST_F(PngCodec, RgbaWithBackgroundChunkTakesItAsTransparentColour)
{
    CRasterPngCodec codec;
    ASSERT_TRUE(DecodeBytes(codec, Bytes("rgba8_bkgd")));
    EXPECT_EQ(codec.GetTransColor(), MakeRgbQuad(10, 20, 30));
}

TEST_F(PngCodec, FailuresCarryTheReason)
{
    const std::vector<unsigned char> good = Bytes("rgb8");
    ASSERT_GT(good.size(), 60u);

    std::vector<unsigned char> truncated(good.begin(), good.begin() + long(good.size() / 2));
    std::vector<unsigned char> badCrc = good;
    badCrc[29] ^= 0xFF; // last byte of the IHDR checksum
    std::vector<unsigned char> notPng = good;
    notPng[1] = 'X';
    // IHDR of 1000000 x 1000000: inside libpng's limits, far beyond ours.
    std::vector<unsigned char> huge = good;
    for (int i : {16, 20}) {
        huge[size_t(i)] = 0x00;
        huge[size_t(i) + 1] = 0x0F;
        huge[size_t(i) + 2] = 0x42;
        huge[size_t(i) + 3] = 0x40;
    }
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        const char* error; // null: libpng's own text, only required to be there
    } cases[] = {
        {"empty", {}, "Read Error"},
        {"cut in half", truncated, "Read Error"},
        {"bad IHDR checksum", badCrc, nullptr},
        {"bad signature", notPng, nullptr},
        {"huge", huge, nullptr},
    };
    for (const Case& c : cases) {
        CRasterPngCodec codec;
        EXPECT_FALSE(DecodeBytes(codec, c.bytes)) << c.what;
        EXPECT_FALSE(codec.IsValid()) << c.what;
        if (c.error)
            EXPECT_STREQ(codec.GetLastError(), c.error) << c.what;
        else
            EXPECT_STRNE(codec.GetLastError(), "") << c.what;
    }
}

TEST_F(PngCodec, StopsWhenTheEscapeIsSet)
{
    int32_t escape = 1;
    CRasterPngCodec codec;
    codec.WatchEscape(&escape);
    EXPECT_FALSE(DecodeBytes(codec, Bytes("rgb8")));
    EXPECT_STREQ(codec.GetLastError(), "Cancelled");
}
