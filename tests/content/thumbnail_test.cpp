// One thumbnail without a thread: which files a folder lists, how a file is
// loaded by its extension (silently, with the stand-in picture for a file that
// cannot be read) and how a picture becomes its square.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <vector>

#include "content_test_support.h"
#include "raster_test_support.h"
#include "test_support.h"
#include "thumbnail.h"

using content_test::BoxRecorder;
using content_test::PixelAt;

namespace {

constexpr int kSide = kThumbnailSide;

uint32_t Alpha(uint32_t argb)
{
    return argb >> 24;
}

std::string Rgb(uint32_t argb)
{
    return std::to_string((argb >> 16) & 255) + "," + std::to_string((argb >> 8) & 255) + "," +
           std::to_string(argb & 255);
}

std::string Rgb(RGBQUAD c)
{
    return std::to_string(c.rgbRed) + "," + std::to_string(c.rgbGreen) + "," + std::to_string(c.rgbBlue);
}

RGBQUAD LightPattern(uint32_t x, uint32_t y)
{
    return MakeRgbQuad(uint8_t(40 + x % 200), uint8_t(40 + y % 200), 200);
}

// An 8-bit picture w x 1 whose pixel i uses palette entry i; the entries
// after those given are white.
CRaster IndexedRow(const std::vector<RGBQUAD>& entries)
{
    CRaster picture(uint32_t(entries.size()), 1, 8, 0);
    std::vector<RGBQUAD> palette(256, MakeRgbQuad(255, 255, 255));
    for (size_t i = 0; i < entries.size(); ++i)
        palette[i] = entries[i];
    picture.SetPalette(palette.data(), 256);
    for (size_t i = 0; i < entries.size(); ++i)
        picture.SetPixelIndex(long(i), 0, uint8_t(i));
    return picture;
}

// Alpha is 255 exactly inside `box` and 0 around it.
void ExpectOpaqueExactlyInBox(const std::vector<uint32_t>& pixels, const ThumbnailBox& box, const std::string& what)
{
    ASSERT_EQ(pixels.size(), size_t(kSide * kSide)) << what;
    int wrong = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const bool inside = x >= box.x && x < box.x + box.width && y >= box.y && y < box.y + box.height;
            const uint32_t want = inside ? 255u : 0u;
            if (Alpha(PixelAt(pixels, kSide, x, y)) != want && wrong++ < 3)
                ADD_FAILURE() << what << ": alpha at (" << x << ", " << y << ") is "
                              << Alpha(PixelAt(pixels, kSide, x, y)) << ", want " << want;
        }
    }
}

} // namespace

TEST(Thumbnail, SitsInTheMiddleOfTheSquareWithTheListShowingAroundIt)
{
    struct Case {
        uint32_t width, height;
        ThumbnailBox want; // from the top-left
    } cases[] = {
        {200, 100, {0, 16, 64, 32}}, {40, 30, {12, 17, 40, 30}}, {100, 200, {16, 0, 32, 64}},
        {64, 64, {0, 0, 64, 64}},    {65, 64, {0, 1, 64, 63}},   {63, 31, {0, 17, 63, 31}},
        {1, 1, {31, 32, 1, 1}},      {1000, 1, {0, 32, 64, 1}},  {1, 1000, {31, 0, 1, 64}},
    };
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.width) + " x " + std::to_string(c.height);
        std::unique_ptr<CRaster> picture(testsupport::MakeTrueColour(c.width, c.height, LightPattern));
        ThumbnailBox box;
        EXPECT_TRUE(MakeSquareThumbnail(*picture, kSide, &box)) << what;
        EXPECT_EQ(picture->GetWidth(), uint32_t(kSide)) << what;
        EXPECT_EQ(picture->GetHeight(), uint32_t(kSide)) << what;
        EXPECT_EQ(box.x, c.want.x) << what;
        EXPECT_EQ(box.y, c.want.y) << what;
        EXPECT_EQ(box.width, c.want.width) << what;
        EXPECT_EQ(box.height, c.want.height) << what;
        ExpectOpaqueExactlyInBox(ThumbnailPixels(*picture), c.want, what);
    }
}

TEST(Thumbnail, ScalesByTakingTheNearestPixel)
{
    // Halved exactly: pixel (x, y) of the thumbnail, rows counted from the
    // bottom as the library counts them, is pixel (2x, 2y) of the picture.
    std::unique_ptr<CRaster> picture(testsupport::MakeTrueColour(128, 64, LightPattern));
    const CRaster original(*picture);
    ThumbnailBox box;
    ASSERT_TRUE(MakeSquareThumbnail(*picture, kSide, &box));
    const long dy = kSide - box.y - box.height; // margin below the picture
    int wrong = 0;
    for (long y = 0; y < 32; ++y) {
        for (long x = 0; x < 64; ++x) {
            const std::string have = Rgb(picture->GetPixelColor(x, y + dy));
            const std::string want = Rgb(original.GetPixelColor(2 * x, 2 * y));
            if (have != want && wrong++ < 3)
                ADD_FAILURE() << "(" << x << ", " << y << "): have " << have << ", want " << want;
        }
    }
}

TEST(Thumbnail, TrueColourNearBlackBecomesGrey16)
{
    struct Case {
        RGBQUAD colour;
        const char* want;
    } cases[] = {
        {MakeRgbQuad(10, 12, 15), "16,16,16"},   {MakeRgbQuad(10, 12, 16), "10,12,16"},
        {MakeRgbQuad(0, 0, 0), "16,16,16"},      {MakeRgbQuad(15, 15, 15), "16,16,16"},
        {MakeRgbQuad(16, 0, 0), "16,0,0"},       {MakeRgbQuad(200, 3, 3), "200,3,3"},
    };
    for (const Case& c : cases) {
        CRaster picture(1, 1, 24, 0);
        picture.SetPixelColor(0, 0, c.colour);
        ThumbnailBox box;
        ASSERT_TRUE(MakeSquareThumbnail(picture, kSide, &box));
        const uint32_t pixel = PixelAt(ThumbnailPixels(picture), kSide, box.x, box.y);
        EXPECT_EQ(Rgb(pixel), c.want) << "from " << Rgb(c.colour);
        EXPECT_EQ(Alpha(pixel), 255u) << "from " << Rgb(c.colour);
    }
}

TEST(Thumbnail, OnlyADarkPaletteEntryIsLightened)
{
    struct Case {
        const char* what;
        std::vector<RGBQUAD> entries;
        std::vector<const char*> want; // colour of pixel i, which uses entry i
    } cases[] = {
        {"red and white", {MakeRgbQuad(255, 0, 0), MakeRgbQuad(255, 255, 255)}, {"255,0,0", "255,255,255"}},
        {"black", {MakeRgbQuad(0, 0, 0), MakeRgbQuad(255, 255, 255)}, {"15,15,15", "255,255,255"}},
        {"nearly black", {MakeRgbQuad(200, 0, 0), MakeRgbQuad(15, 3, 0)}, {"200,0,0", "15,15,15"}},
        {"grey 16", {MakeRgbQuad(16, 16, 16), MakeRgbQuad(90, 90, 90)}, {"16,16,16", "90,90,90"}},
        {"dark red", {MakeRgbQuad(60, 0, 0), MakeRgbQuad(255, 255, 255)}, {"60,0,0", "255,255,255"}},
    };
    for (const Case& c : cases) {
        CRaster picture = IndexedRow(c.entries);
        ThumbnailBox box;
        ASSERT_TRUE(MakeSquareThumbnail(picture, kSide, &box)) << c.what;
        ASSERT_TRUE(picture.IsIndexed()) << c.what;
        const std::vector<uint32_t> pixels = ThumbnailPixels(picture);
        for (size_t i = 0; i < c.want.size(); ++i)
            EXPECT_EQ(Rgb(PixelAt(pixels, kSide, box.x + int(i), box.y)), c.want[i]) << c.what << ", pixel " << i;
    }
}

TEST(Thumbnail, PictureUsingBlackEntriesHasNoHoles)
{
    // Forty entries are black: only one of them can be the darkest entry that
    // is lightened, yet every pixel of the picture stays opaque.
    CRaster picture = IndexedRow(std::vector<RGBQUAD>(40, MakeRgbQuad(0, 0, 0)));
    ThumbnailBox box;
    ASSERT_TRUE(MakeSquareThumbnail(picture, kSide, &box));
    ExpectOpaqueExactlyInBox(ThumbnailPixels(picture), {12, 32, 40, 1}, "black row");
}

TEST(Thumbnail, TransparentPaletteIndexLetsTheListShowThrough)
{
    // Indices 0 1 0 1, and index 1 is the transparent one.
    CRaster picture = IndexedRow({MakeRgbQuad(255, 0, 0), MakeRgbQuad(0, 255, 0), MakeRgbQuad(0, 0, 255),
                                  MakeRgbQuad(9, 9, 9)});
    picture.SetPixelIndex(2, 0, 0);
    picture.SetPixelIndex(3, 0, 1);
    picture.SetTransIndex(1);
    ThumbnailBox box;
    ASSERT_TRUE(MakeSquareThumbnail(picture, kSide, &box));
    const std::vector<uint32_t> pixels = ThumbnailPixels(picture);
    const uint32_t want[] = {255, 0, 255, 0};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Alpha(PixelAt(pixels, kSide, box.x + i, box.y)), want[i]) << "pixel " << i;
}

class ThumbnailFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_folder = new testsupport::ScratchDir("content-files");
        ASSERT_TRUE(content_test::WriteFixtures("mixed", s_folder->Path().string()));
        ASSERT_TRUE(content_test::WriteFixtures("jpeg", s_folder->File("jpeg")));
        ASSERT_EQ(mkfifo(s_folder->File("fifo.jpg").c_str(), 0600), 0);
        ASSERT_EQ(symlink("nowhere.png", s_folder->File("gone.png").c_str()), 0);
        ASSERT_EQ(symlink("photo.jpg", s_folder->File("link.png").c_str()), 0);
        ASSERT_EQ(symlink("sub.jpg", s_folder->File("dirlink.png").c_str()), 0);
        testsupport::WriteFile(s_folder->File("\xC3\xA9t\xC3\xA9.png"),
                               testsupport::ReadFile(s_folder->File("alpha.png")));
    }
    static void TearDownTestSuite()
    {
        delete s_folder;
        s_folder = nullptr;
    }
    static std::string File(const std::string& name) { return s_folder->File(name); }

    static testsupport::ScratchDir* s_folder;
};

testsupport::ScratchDir* ThumbnailFiles::s_folder = nullptr;

TEST_F(ThumbnailFiles, ListHoldsTheRegularVisibleFilesSortedByTheirBytes)
{
    std::vector<std::string> names;
    EXPECT_TRUE(ListPictureFiles(s_folder->Path().string(), "*.*", names));
    const std::vector<std::string> want = {"README",    "Upper.JPG", "alpha.png", "broken.gif",   "broken.png",
                                           "grey.bmp",  "link.png",  "lying.jpg", "notes.txt",    "photo.jpg",
                                           "redwhite.gif", "\xC3\xA9t\xC3\xA9.png"};
    EXPECT_EQ(names, want);

    EXPECT_TRUE(ListPictureFiles(s_folder->Path().string() + "/", "*.png", names));
    EXPECT_EQ(names, (std::vector<std::string>{"alpha.png", "broken.png", "link.png", "\xC3\xA9t\xC3\xA9.png"}));
}

TEST_F(ThumbnailFiles, ListOfNothingIsFalse)
{
    testsupport::ScratchDir empty("content-empty");
    const std::string folders[] = {empty.Path().string(), File("no-such-folder"), File("photo.jpg"),
                                   "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"};
    for (const std::string& folder : folders) {
        std::vector<std::string> names = {"stale"};
        EXPECT_FALSE(ListPictureFiles(folder, "*.*", names)) << folder;
        EXPECT_TRUE(names.empty()) << folder;
    }
}

TEST_F(ThumbnailFiles, LoadsByExtensionWithoutABoxAndStandsInForWhatCannotBeRead)
{
    struct Case {
        const char* name;
        uint32_t code;
        bool fallback;
        uint32_t width, height;
    } cases[] = {
        {"photo.jpg", 3, false, 200, 100}, {"Upper.JPG", 3, false, 40, 30},  {"alpha.png", 4, false, 40, 30},
        {"redwhite.gif", 2, false, 128, 64}, {"grey.bmp", 1, false, 30, 20}, {"lying.jpg", 4, false, 20, 20},
        {"link.png", 3, false, 200, 100},  {"broken.png", 4, true, 28, 28},  {"broken.gif", 4, true, 28, 28},
        {"sub.jpg", 4, true, 28, 28},      {"missing.png", 4, true, 28, 28}, {"fifo.jpg", 4, true, 28, 28},
        {"gone.png", 4, true, 28, 28},     {"notes.txt", 0, false, 0, 0},    {"README", 0, false, 0, 0},
    };
    BoxRecorder boxes;
    CRaster scratch;
    for (const Case& c : cases) {
        // Whatever a file is, the load returns: a FIFO must not make it wait for a writer.
        const uint32_t widthBefore = scratch.GetWidth();
        bool fallback = !c.fallback;
        auto load = std::async(std::launch::async, [&] {
            return LoadPictureByExtension(File(c.name), scratch, 0, &fallback);
        });
        ASSERT_EQ(load.wait_for(std::chrono::seconds(20)), std::future_status::ready) << c.name << " blocks";
        EXPECT_EQ(load.get(), c.code) << c.name;
        EXPECT_EQ(fallback, c.fallback) << c.name;
        if (c.code == 0) {
            EXPECT_EQ(scratch.GetWidth(), widthBefore) << c.name << ": nothing is loaded";
            continue;
        }
        EXPECT_EQ(scratch.GetType(), c.code) << c.name;
        EXPECT_EQ(scratch.GetWidth(), c.width) << c.name;
        EXPECT_EQ(scratch.GetHeight(), c.height) << c.name;
    }
    EXPECT_EQ(boxes.Boxes(), std::vector<std::string>{});
}

TEST_F(ThumbnailFiles, StandInShowsTheListAroundItsIconNotADarkSquare)
{
    CRaster picture;
    bool fallback = false;
    ASSERT_EQ(LoadPictureByExtension(File("broken.png"), picture, 0, &fallback), 4u);
    ASSERT_TRUE(fallback);
    ThumbnailBox box;
    ASSERT_TRUE(MakeSquareThumbnail(picture, kSide, &box));
    const std::vector<uint32_t> pixels = ThumbnailPixels(picture);
    EXPECT_EQ(Alpha(PixelAt(pixels, kSide, box.x, box.y)), 0u) << "the icon's corner is transparent";
    int dark = 0;
    for (uint32_t p : pixels) {
        const bool darkOpaque = Alpha(p) > 128 && ((p >> 16) & 255) < 60 && ((p >> 8) & 255) < 60 && (p & 255) < 60;
        dark += darkOpaque ? 1 : 0;
    }
    EXPECT_EQ(dark, 0) << "opaque dark pixels in the stand-in's thumbnail";
}

TEST_F(ThumbnailFiles, AlphaOfAPngIsKeptInsideTheSquare)
{
    CRaster picture;
    ASSERT_EQ(LoadPictureByExtension(File("alpha.png"), picture), 4u);
    ThumbnailBox box;
    ASSERT_TRUE(MakeSquareThumbnail(picture, kSide, &box));
    const std::vector<uint32_t> pixels = ThumbnailPixels(picture);
    // The file's top-left 20 x 15 are transparent, the rest opaque.
    EXPECT_EQ(Alpha(PixelAt(pixels, kSide, box.x, box.y)), 0u);
    EXPECT_EQ(Alpha(PixelAt(pixels, kSide, box.x + 19, box.y + 14)), 0u);
    EXPECT_EQ(Alpha(PixelAt(pixels, kSide, box.x + 20, box.y + 14)), 255u);
    EXPECT_EQ(Alpha(PixelAt(pixels, kSide, box.x + 39, box.y + 29)), 255u);
}

TEST_F(ThumbnailFiles, JpegIsReadReducedAsFarAsTheShortSideAllows)
{
    struct Case {
        const char* name;
        uint32_t minSide;
        uint32_t width, height;
    } cases[] = {
        {"jpeg/big.jpg", 0, 1000, 800},  {"jpeg/big.jpg", 64, 125, 100}, {"jpeg/big.jpg", 100, 125, 100},
        {"jpeg/big.jpg", 101, 250, 200}, {"jpeg/big.jpg", 400, 500, 400}, {"jpeg/big.jpg", 401, 1000, 800},
        {"jpeg/wide.jpg", 64, 100, 60},  {"jpeg/wide.jpg", 30, 50, 30},
    };
    CRaster picture;
    for (const Case& c : cases) {
        ASSERT_EQ(LoadPictureByExtension(File(c.name), picture, c.minSide), 3u) << c.name;
        EXPECT_EQ(picture.GetWidth(), c.width) << c.name << " at " << c.minSide;
        EXPECT_EQ(picture.GetHeight(), c.height) << c.name << " at " << c.minSide;
    }
}

TEST_F(ThumbnailFiles, ReducedJpegGivesNearlyTheSameThumbnail)
{
    CRaster whole;
    CRaster reduced;
    ASSERT_EQ(LoadPictureByExtension(File("jpeg/big.jpg"), whole, 0), 3u);
    ASSERT_EQ(LoadPictureByExtension(File("jpeg/big.jpg"), reduced, kSide), 3u);
    ASSERT_LT(reduced.GetWidth(), whole.GetWidth());
    ThumbnailBox boxWhole, boxReduced;
    MakeSquareThumbnail(whole, kSide, &boxWhole);
    MakeSquareThumbnail(reduced, kSide, &boxReduced);
    EXPECT_EQ(boxWhole.height, boxReduced.height);
    const std::vector<uint32_t> a = ThumbnailPixels(whole);
    const std::vector<uint32_t> b = ThumbnailPixels(reduced);
    long worst = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift : {0, 8, 16, 24})
            worst = std::max(worst, std::labs(long((a[i] >> shift) & 255) - long((b[i] >> shift) & 255)));
    }
    // The gradient moves about 13 levels from one thumbnail pixel to the next.
    EXPECT_LE(worst, 16);
}

TEST(Thumbnail, StandInIsLightUnderItsTransparentPixels)
{
    CRaster picture;
    ASSERT_TRUE(picture.LoadResource("PNG", 165, FormatPng));
    ASSERT_TRUE(picture.HasAlpha());
    int transparent = 0;
    for (long y = 0; y < long(picture.GetHeight()); ++y) {
        for (long x = 0; x < long(picture.GetWidth()); ++x) {
            if (picture.AlphaGet(x, y) != 0)
                continue;
            ++transparent;
            const RGBQUAD c = picture.GetPixelColor(x, y);
            EXPECT_TRUE(c.rgbRed >= 200 && c.rgbGreen >= 200 && c.rgbBlue >= 200)
                << "(" << x << ", " << y << ") is " << Rgb(c) << " under alpha 0";
        }
    }
    EXPECT_GT(transparent, 0);
}
