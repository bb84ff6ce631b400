// The decode entry points of CRaster: dispatch by format code, the texts and
// boxes of failures, resources, and malformed files that must fail cleanly.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "decode_test_util.h"
#include "raster.h"
#include "raster_file.h"
#include "raster_resource.h"

using namespace decodetest;

namespace {

// A 2 x 1 24-bit BMP: blue pixel, then red.
std::vector<unsigned char> TinyBmp()
{
    std::vector<unsigned char> b = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0,
                                    1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B,
                                    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0};
    return b;
}

uint32_t TypeFromExtension(const std::string& name)
{
    const std::string ext = name.substr(name.rfind('.') + 1);
    if (ext == "bmp")
        return FormatBmp;
    if (ext == "gif")
        return FormatGif;
    if (ext == "jpg")
        return FormatJpeg;
    if (ext == "png")
        return FormatPng;
    return FormatUnknown;
}

// Writes a multi-frame GIF with Pillow; true on success.
bool MakeGif(const fs::path& path, int frames)
{
    const std::string cmd = Python() +
                            " -c \"import sys; from PIL import Image; "
                            "fr=[Image.new('P',(6,4),i) for i in range(" +
                            std::to_string(frames) +
                            ")]; [f.putpalette([v for k in range(256) for v in (k,255-k,k//2)]) for f in fr]; "
                            "fr[0].save(sys.argv[1], save_all=True, append_images=fr[1:], duration=70, loop=0)\" '" +
                            path.string() + "'";
    return std::system(cmd.c_str()) == 0;
}

} // namespace

TEST(RasterDecode, UnknownFormatCodesAreRefusedWithoutReading)
{
    std::vector<unsigned char> bytes = TinyBmp();
    for (uint32_t type : {0u, 5u, 99u}) {
        CRasterMemFile file(bytes.data(), uint32_t(bytes.size()));
        CRaster img;
        EXPECT_FALSE(img.Decode(&file, type)) << type;
        EXPECT_STREQ(img.GetLastError(), "Unsupported operation for this format") << type;
        EXPECT_EQ(file.Tell(), 0) << type;
    }
}

TEST(RasterDecode, SuccessReplacesThePictureAndItsInfo)
{
    std::vector<unsigned char> bytes = TinyBmp();
    CRaster img(4, 4, 8, FormatJpeg);
    img.SetFrameDelay(33);
    ASSERT_TRUE(img.Decode(bytes.data(), uint32_t(bytes.size()), FormatBmp));
    EXPECT_EQ(img.GetWidth(), 2u);
    EXPECT_EQ(img.GetBpp(), 24u);
    EXPECT_EQ(img.GetType(), 0u) << "BMP pictures carry format code 0";
    EXPECT_EQ(img.GetFrameDelay(), 0u) << "the whole info block comes from the decoder";
    EXPECT_EQ(img.GetPixelColor(0, 0), MakeRgbQuad(0, 0, 255));
    EXPECT_EQ(img.GetPixelColor(1, 0), MakeRgbQuad(255, 0, 0));
    EXPECT_EQ(img.GetXDPI(), 72);
}

TEST(RasterDecode, FailureKeepsThePixelsAndReportsByFormat)
{
    struct Case {
        uint32_t type;
        const char* error;         // null: the library's own text, required only to be there
        const char* boxCaption;    // null: no box
    } cases[] = {
        {FormatBmp, "Not a BMP", nullptr},
        {FormatJpeg, "Empty input file", nullptr},
        {FormatPng, "Read Error", "Png error"},
        {FormatGif, nullptr, "Gif error"},
    };
    for (const Case& c : cases) {
        BoxRecorder boxes;
        std::vector<unsigned char> bytes = TinyBmp();
        CRaster img;
        ASSERT_TRUE(img.Decode(bytes.data(), uint32_t(bytes.size()), FormatBmp));
        EXPECT_FALSE(img.Decode(static_cast<unsigned char*>(nullptr), 0, c.type)) << c.type;
        EXPECT_TRUE(img.IsValid()) << c.type;
        EXPECT_EQ(img.GetPixelColor(1, 0), MakeRgbQuad(255, 0, 0)) << c.type;
        if (c.error) {
            EXPECT_STREQ(img.GetLastError(), c.error) << c.type;
        }
        if (c.boxCaption) {
            ASSERT_EQ(BoxRecorder::Boxes().size(), 1u) << c.type;
            EXPECT_EQ(BoxRecorder::Boxes()[0].caption, c.boxCaption);
            EXPECT_EQ(BoxRecorder::Boxes()[0].text, img.GetLastError());
            EXPECT_EQ(BoxRecorder::Boxes()[0].icon, RasterBoxError);
        } else {
            EXPECT_TRUE(BoxRecorder::Boxes().empty()) << c.type;
        }
    }
}

TEST(RasterDecode, GifFrameOutOfRangeReportsTheFrameCountAndAnEmptyBox)
{
    const fs::path dir = fs::temp_directory_path() / ("tessary-gif-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path gif = dir / "five.gif";
    ASSERT_TRUE(MakeGif(gif, 5));
    BoxRecorder boxes;
    CRaster img(FormatGif);
    img.SetFrame(7);
    EXPECT_FALSE(img.Load(gif.c_str(), FormatGif, false));
    EXPECT_EQ(img.GetNumFrames(), 5);
    ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
    EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Gif error");
    EXPECT_EQ(BoxRecorder::Boxes()[0].text, "");

    CRaster frame(FormatGif);
    frame.SetFrame(2);
    ASSERT_TRUE(frame.Load(gif.c_str(), FormatGif, true)) << frame.GetLastError();
    EXPECT_EQ(frame.GetType(), uint32_t(FormatGif));
    EXPECT_EQ(frame.GetNumFrames(), 5);
    EXPECT_EQ(frame.GetFrameDelay(), 7u);
    fs::remove_all(dir);
}

// A GIF that ends inside an image still decodes, and its picture says where
// the file ended; one that lacks only its closing trailer is whole.
TEST(RasterDecode, AGifCutInsideAFrameSaysWhichFrame)
{
    const fs::path dir = fs::temp_directory_path() / ("tessary-gif-cut-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path gif = dir / "three.gif";
    ASSERT_TRUE(MakeGif(gif, 3));
    const std::vector<unsigned char> whole = ReadBytes(gif);
    fs::remove_all(dir);
    ASSERT_EQ(whole.back(), ';');
    struct Case {
        size_t drop;
        const char* note;
    } cases[] = {{0, ""}, {1, ""}, {3, "the file ends inside frame 3"}};
    for (const Case& c : cases) {
        std::vector<unsigned char> bytes(whole.begin(), whole.end() - long(c.drop));
        CRaster img;
        ASSERT_TRUE(img.Decode(bytes.data(), uint32_t(bytes.size()), FormatGif)) << "drop " << c.drop;
        EXPECT_EQ(img.GetNumFrames(), 3) << "drop " << c.drop;
        EXPECT_STREQ(img.GetTruncation(), c.note) << "drop " << c.drop;
    }
}

TEST(RasterDecode, LoadShowsTheOpenErrorUnlessQuiet)
{
    const std::string missing = "/nonexistent-folder/picture.bmp";
    for (bool quiet : {false, true}) {
        BoxRecorder boxes;
        CRaster img;
        EXPECT_FALSE(img.Load(missing.c_str(), FormatBmp, quiet));
        EXPECT_STREQ(img.GetLastError(), "") << "an open failure sets no last error";
        if (quiet) {
            EXPECT_TRUE(BoxRecorder::Boxes().empty());
        } else {
            ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
            EXPECT_EQ(BoxRecorder::Boxes()[0].text, "File open error");
            EXPECT_EQ(BoxRecorder::Boxes()[0].caption, missing);
        }
    }
}

TEST(RasterDecode, ReadsFilesAndStdioStreams)
{
    const fs::path path = fs::temp_directory_path() / ("tessary-tiny-" + std::to_string(::getpid()) + ".bmp");
    WriteBytes(path, TinyBmp());
    CRaster byName(path.c_str(), FormatBmp);
    EXPECT_TRUE(byName.IsValid());
    EXPECT_EQ(byName.GetPixelColor(1, 0), MakeRgbQuad(255, 0, 0));

    FILE* fp = std::fopen(path.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    CRaster byStream;
    EXPECT_TRUE(byStream.Decode(fp, FormatBmp));
    EXPECT_EQ(std::fgetc(fp), EOF) << "the stream is read but stays open";
    std::fclose(fp);
    fs::remove(path);
}

TEST(RasterDecode, EscapeOfTheCallerCancels)
{
    std::vector<unsigned char> bytes = TinyBmp();
    CRaster img;
    img.SetEscape(1);
    EXPECT_FALSE(img.Decode(bytes.data(), uint32_t(bytes.size()), FormatBmp));
    EXPECT_STREQ(img.GetLastError(), "Cancelled");
}

TEST(RasterDecode, FallbackThumbnailResourceIsA28PixelPictureWithAlpha)
{
    BoxRecorder boxes;
    CRaster img;
    ASSERT_TRUE(img.LoadResource(kFallbackThumbnailType, kFallbackThumbnailId, FormatPng)) << img.GetLastError();
    EXPECT_EQ(img.GetWidth(), 28u);
    EXPECT_EQ(img.GetHeight(), 28u);
    EXPECT_EQ(img.GetBpp(), 24u);
    ASSERT_TRUE(img.HasAlpha());
    EXPECT_EQ(img.AlphaGet(0, 27), 0) << "the corners are transparent";
    EXPECT_EQ(img.AlphaGet(14, 14), 255) << "the middle is opaque";
    EXPECT_TRUE(BoxRecorder::Boxes().empty());
}

TEST(RasterDecode, UnknownResourceIsReported)
{
    struct Case {
        const char* type;
        int id;
    } cases[] = {{"PNG", 166}, {"BMP", 165}, {nullptr, 165}};
    for (const Case& c : cases) {
        CRaster img;
        EXPECT_FALSE(img.LoadResource(c.type, c.id, FormatPng));
        EXPECT_STREQ(img.GetLastError(), "Unable to load resource!");
    }
}

// Every file in crashers/ must decode without a crash or a sanitizer report;
// "ok_" files must give a picture and the others must be refused.
TEST(RasterDecode, MalformedFilesFailCleanly)
{
    const fs::path dir = fs::path(TESSARY_SOURCE_DIR) / "tests/image/crashers";
    int count = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        const uint32_t type = TypeFromExtension(name);
        if (type == FormatUnknown)
            continue;
        ++count;
        const bool mustDecode = name.rfind("ok_", 0) == 0;
        std::vector<unsigned char> bytes = ReadBytes(entry.path());
        for (int frame : type == FormatGif ? std::vector<int>{0, 1, 3} : std::vector<int>{0}) {
            BoxRecorder boxes;
            CRaster img;
            img.SetFrame(frame);
            const bool ok = img.Decode(bytes.data(), uint32_t(bytes.size()), type);
            if (type == FormatGif && frame > 0)
                continue; // later frames of a one-frame file may fail either way
            EXPECT_EQ(ok, mustDecode) << name << ": " << img.GetLastError();
            if (ok) {
                EXPECT_TRUE(img.IsValid()) << name;
                EXPECT_GT(img.GetWidth(), 0u) << name;
                EXPECT_GT(img.GetHeight(), 0u) << name;
            } else if (type != FormatGif) {
                EXPECT_STRNE(img.GetLastError(), "") << name;
            }
        }
    }
    EXPECT_GT(count, 20);
}
