// The GIF decoder: frame counting and selection, composition by disposal
// method, transparency and palette rules, interlace, true-colour files,
// malformed data, the one-pass walk, and cross-checks with Pillow and gifsicle.
#include <set>
#include <thread>

#include "gif_test_util.h"

namespace {

using namespace giftest;

std::vector<uint8_t> Pixels(uint32_t w, uint32_t h, const std::function<uint8_t(uint32_t, uint32_t)>& f)
{
    std::vector<uint8_t> p;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            p.push_back(f(x, y));
    return p;
}

GifImage Img(uint16_t left, uint16_t top, uint16_t w, uint16_t h, std::vector<uint8_t> px, int disposal = 1,
             int trans = -1, int delay = 0)
{
    GifImage i;
    i.left = left;
    i.top = top;
    i.width = w;
    i.height = h;
    i.pixels = std::move(px);
    i.disposal = disposal;
    i.trans = trans;
    i.delay = delay;
    return i;
}

// Checks a decoded picture against indices given top row first.
void ExpectIndices(const CRaster& p, uint32_t w, uint32_t h, const std::vector<uint8_t>& want, const std::string& what)
{
    ASSERT_EQ(p.GetWidth(), w) << what;
    ASSERT_EQ(p.GetHeight(), h) << what;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            ASSERT_EQ(TopDownIndex(p, x, y), want[size_t(y) * w + x]) << what << " at " << x << "," << y;
}

Bytes FiveFrames()
{
    GifBuilder b(4, 3, GreyRamp(16));
    for (int i = 0; i < 5; ++i)
        b.Image(Img(0, 0, 4, 3, Pixels(4, 3, [&](uint32_t x, uint32_t y) { return uint8_t((x + y + i) % 16); }), 1, -1,
                    10 * (i + 1)));
    return b.Finish();
}

TEST(GifDecoder, DecodesEachFrameWithItsDelayPaletteAndCount)
{
    const Bytes file = FiveFrames();
    for (long k = 0; k < 5; ++k) {
        const DecodeResult d = DecodeFrame(file, k);
        ASSERT_TRUE(d.ok) << d.error;
        const CRaster& p = *d.picture;
        EXPECT_EQ(p.GetType(), uint32_t(FormatGif));
        EXPECT_EQ(p.GetBpp(), 4u);
        EXPECT_EQ(p.GetNumFrames(), 5);
        EXPECT_EQ(p.GetFrame(), k);
        EXPECT_EQ(p.GetFrameDelay(), uint32_t(10 * (k + 1)));
        EXPECT_EQ(p.GetTransIndex(), -1);
        ExpectIndices(p, 4, 3, Pixels(4, 3, [&](uint32_t x, uint32_t y) { return uint8_t((x + y + k) % 16); }),
                      "frame " + std::to_string(k));
        const RGBQUAD c = p.GetPaletteColor(5);
        EXPECT_EQ(c.rgbRed, GreyRamp(16)[5].r);
        EXPECT_EQ(c.rgbGreen, GreyRamp(16)[5].g);
        EXPECT_EQ(c.rgbBlue, GreyRamp(16)[5].b);
    }
}

TEST(GifDecoder, FailsWithoutTextOnBadSignatureOrFrameOutOfRange)
{
    const Bytes five = FiveFrames();
    Bytes notGif = five;
    notGif[3] = '7';
    struct Case {
        const char* name;
        const Bytes* file;
        long frame;
        long numFrames;
    };
    const Bytes empty;
    const Bytes shortHeader(five.begin(), five.begin() + 12);
    const Case cases[] = {
        {"frame 7 of 5", &five, 7, 5}, {"frame 5 of 5", &five, 5, 5},   {"frame -1", &five, -1, 5},
        {"not GIF8", &notGif, 0, 0},   {"empty file", &empty, 0, 0},    {"short header", &shortHeader, 0, 0},
    };
    for (const Case& c : cases) {
        const DecodeResult d = DecodeFrame(*c.file, c.frame);
        EXPECT_FALSE(d.ok) << c.name;
        EXPECT_EQ(d.error, "") << c.name;
        EXPECT_EQ(d.numFrames, c.numFrames) << c.name;
    }
}

// Whether the picture shows nothing at (x, y), y counted from the top: the
// transparent index of an indexed picture, the transparent colour of a 24-bit one.
bool Transparent(const CRaster& p, uint32_t x, uint32_t y)
{
    if (!p.IsTransparent())
        return false;
    if (p.IsIndexed())
        return TopDownIndex(p, x, y) == uint8_t(p.GetTransIndex());
    const RGBQUAD c = TopDownColor(p, x, y);
    const RGBQUAD t = p.GetTransColor();
    return c.rgbRed == t.rgbRed && c.rgbGreen == t.rgbGreen && c.rgbBlue == t.rgbBlue;
}

// What a viewer shows at each pixel, top row first: the index in the picture's
// palette, or -1 where it shows nothing.
std::vector<int> Shown(const CRaster& p)
{
    std::vector<int> v;
    for (uint32_t y = 0; y < p.GetHeight(); ++y)
        for (uint32_t x = 0; x < p.GetWidth(); ++x)
            v.push_back(Transparent(p, x, y) ? -1 : TopDownIndex(p, x, y));
    return v;
}

TEST(GifDecoder, AControlBlockBelongsToTheImageAfterItOnly)
{
    // Frame 1 makes index 3 transparent and waits 70; frames 0 and 2 have no
    // control block, frame 3 has one without transparency (as Pillow writes a
    // first frame of duration 0 and a last one of 90 s).
    GifBuilder b(3, 1, GreyRamp(4));
    b.Image(Img(0, 0, 3, 1, {1, 3, 1}, -1));
    b.Image(Img(0, 0, 3, 1, {3, 2, 3}, 1, 3, 70));
    b.Image(Img(0, 0, 3, 1, {3, 3, 0}, -1));
    b.Image(Img(0, 0, 3, 1, {3, 0, 2}, 1, -1, 9000));
    struct Case {
        long frame;
        uint32_t delay;
        long trans;
        std::vector<int> shown;
    };
    const Case cases[] = {
        {0, 0, -1, {1, 3, 1}},
        {1, 70, 3, {1, 2, 1}},
        {2, 0, -1, {3, 3, 0}},
        {3, 9000, -1, {3, 0, 2}},
    };
    const Bytes file = b.Finish();
    for (const Case& c : cases) {
        const DecodeResult d = DecodeFrame(file, c.frame);
        ASSERT_TRUE(d.ok) << "frame " << c.frame;
        EXPECT_EQ(d.picture->GetFrameDelay(), c.delay) << "frame " << c.frame;
        EXPECT_EQ(d.picture->GetTransIndex(), c.trans) << "frame " << c.frame;
        EXPECT_EQ(Shown(*d.picture), c.shown) << "frame " << c.frame;
    }
}

// Frame 0 fills a 6 x 5 screen with index 1; frame 1 is a 3 x 2 block of
// index 2 at (2, 1) with the disposal under test; frame 2 is one pixel of
// index 3 at (0, 0). The disposal of frame 1 decides what frame 2 is drawn on:
// frame 1 left in place, its area cleared (nothing shown), or frame 0 again.
TEST(GifDecoder, DisposalOfAFrameDecidesWhatTheNextFrameIsDrawnOn)
{
    enum After { Kept, Cleared, Previous };
    struct Case {
        int disposal;  // -1: no control block
        After after;
    };
    // Like browsers, 4 is taken as "previous" and 5 to 7 as nothing.
    const Case cases[] = {{-1, Kept},      {0, Kept},     {1, Kept}, {2, Cleared}, {3, Previous},
                          {4, Previous}, {5, Kept}, {6, Kept}, {7, Kept}};
    for (const Case& c : cases) {
        GifBuilder b(6, 5, GreyRamp(4));
        b.Image(Img(0, 0, 6, 5, std::vector<uint8_t>(30, 1)));
        b.Image(Img(2, 1, 3, 2, std::vector<uint8_t>(6, 2), c.disposal));
        b.Image(Img(0, 0, 1, 1, {3}));
        const Bytes file = b.Finish();
        const std::string what = "disposal " + std::to_string(c.disposal);

        std::vector<int> frame1(30, 1);
        for (int y = 1; y < 3; ++y)
            for (int x = 2; x < 5; ++x)
                frame1[size_t(y * 6 + x)] = 2;
        const DecodeResult d1 = DecodeFrame(file, 1);
        ASSERT_TRUE(d1.ok) << what;
        EXPECT_EQ(Shown(*d1.picture), frame1) << what << ": frame 1 is drawn over frame 0";

        std::vector<int> frame2 = frame1;
        for (int y = 1; y < 3; ++y)
            for (int x = 2; x < 5; ++x)
                frame2[size_t(y * 6 + x)] = c.after == Kept ? 2 : c.after == Cleared ? -1 : 1;
        frame2[0] = 3;
        const DecodeResult d2 = DecodeFrame(file, 2);
        ASSERT_TRUE(d2.ok) << what;
        EXPECT_EQ(Shown(*d2.picture), frame2) << what;
    }
}

TEST(GifDecoder, ComposesEveryFrameAtTheLogicalScreenSize)
{
    struct Case {
        const char* name;
        uint16_t screenW, screenH;
        std::vector<GifImage> images;
        uint32_t w, h;
        std::vector<int> lastShown;  // the last frame, top row first; empty: not checked
    };
    // gifsicle's optimiser: a full first frame, then small update rectangles
    // that are disposed of to the background.
    std::vector<GifImage> updates = {Img(0, 0, 100, 80, std::vector<uint8_t>(8000, 1))};
    for (int i = 0; i < 4; ++i)
        updates.push_back(Img(uint16_t(10 * i), uint16_t(5 * i), 36, 21, std::vector<uint8_t>(756, 2), 2));
    const Case cases[] = {
        {"update rectangles", 100, 80, updates, 100, 80, {}},
        // A first frame smaller than the screen leaves the rest empty.
        {"small first frame", 3, 2, {Img(1, 0, 2, 1, {2, 3})}, 3, 2, {-1, 2, 3, -1, -1, -1}},
        // A first frame beyond the screen widens it; later frames are clipped.
        {"first frame beyond the screen",
         2,
         2,
         {Img(1, 1, 2, 2, {1, 2, 3, 1}), Img(2, 0, 3, 3, std::vector<uint8_t>(9, 0))},
         3,
         3,
         {-1, -1, 0, -1, 1, 0, -1, 3, 0}},
    };
    for (const Case& c : cases) {
        GifBuilder b(c.screenW, c.screenH, GreyRamp(4));
        for (const GifImage& img : c.images)
            b.Image(img);
        const Bytes file = b.Finish();
        for (long k = 0; k < long(c.images.size()); ++k) {
            const DecodeResult d = DecodeFrame(file, k);
            ASSERT_TRUE(d.ok) << c.name << " frame " << k;
            EXPECT_EQ(d.picture->GetWidth(), c.w) << c.name << " frame " << k;
            EXPECT_EQ(d.picture->GetHeight(), c.h) << c.name << " frame " << k;
            if (k + 1 == long(c.images.size()) && !c.lastShown.empty()) {
                EXPECT_EQ(Shown(*d.picture), c.lastShown) << c.name;
            }
        }
    }
}

TEST(GifDecoder, WhitensPaletteForTransparency)
{
    struct Case {
        size_t tableSize;
        bool whiteInTable;
        int trans;
        uint32_t bpp;
        uint32_t firstWhite;  // entries from here to the end are white
    };
    const Case cases[] = {
        {16, false, 5, 4, 16},    // 4-bit picture keeps only its 16 entries
        {32, false, 5, 8, 32},    // 8-bit: entries 32 to 255 white
        {256, false, 5, 8, 255},  // no white anywhere: entry 255 made white
        {256, true, 5, 8, 256},   // a white entry exists: the table stays
        {32, false, -1, 8, 256},  // no transparency: no whitening
    };
    for (const Case& c : cases) {
        std::vector<Rgb> table;
        for (size_t i = 0; i < c.tableSize; ++i)
            table.push_back({uint8_t(i), uint8_t(i / 2), 9});
        if (c.whiteInTable)
            table[7] = {255, 255, 255};
        GifBuilder b(2, 1, table);
        b.Image(Img(0, 0, 2, 1, {0, 1}, 1, c.trans));
        const DecodeResult d = DecodeFrame(b.Finish(), 0);
        ASSERT_TRUE(d.ok);
        const CRaster& p = *d.picture;
        const std::string what = "table " + std::to_string(c.tableSize);
        ASSERT_EQ(p.GetBpp(), c.bpp) << what;
        EXPECT_EQ(p.GetTransIndex(), c.trans) << what;
        for (uint32_t i = 0; i < p.GetNumColors(); ++i) {
            const RGBQUAD e = p.GetPaletteColor(uint8_t(i));
            if (i >= c.firstWhite) {
                EXPECT_TRUE(e.rgbRed == 255 && e.rgbGreen == 255 && e.rgbBlue == 255) << what << " entry " << i;
            } else if (i < c.tableSize) {
                EXPECT_EQ(e.rgbRed, table[i].r) << what << " entry " << i;
                EXPECT_EQ(e.rgbBlue, table[i].b) << what << " entry " << i;
            } else {
                EXPECT_EQ(e.rgbRed, 0) << what << " entry " << i;
            }
        }
    }
}

TEST(GifDecoder, InterlacedFileDecodesLikeItsPlainTwin)
{
    for (uint16_t h = 1; h <= 19; ++h) {
        const std::vector<uint8_t> px = Pixels(5, h, [](uint32_t x, uint32_t y) { return uint8_t((y * 5 + x) % 256); });
        GifImage plain = Img(0, 0, 5, h, px);
        GifImage inter = plain;
        inter.bInterlaced = true;
        const DecodeResult a = DecodeFrame(GifBuilder(5, h, GreyRamp(256)).Image(plain).Finish(), 0);
        const DecodeResult b = DecodeFrame(GifBuilder(5, h, GreyRamp(256)).Image(inter).Finish(), 0);
        ASSERT_TRUE(a.ok && b.ok);
        ExpectIndices(*a.picture, 5, h, px, "plain height " + std::to_string(h));
        EXPECT_EQ(PictureDifference(*a.picture, *b.picture), "") << "height " << h;
    }
}

// No global table and a first image smaller than the screen both ways: all
// images are painted into one 24-bit picture of screen size.
Bytes TrueColourFile(bool transparentLast)
{
    GifBuilder b(6, 4, {});
    for (int tile = 0; tile < 4; ++tile) {
        std::vector<Rgb> table;
        for (int i = 0; i < 8; ++i)
            table.push_back({uint8_t(tile * 60 + i), uint8_t(i * 30), uint8_t(200 - tile)});
        GifImage img = Img(uint16_t(tile % 2 * 3), uint16_t(tile / 2 * 2), 3, 2,
                           Pixels(3, 2, [&](uint32_t x, uint32_t y) { return uint8_t(x + 3 * y); }), 1,
                           transparentLast && tile == 3 ? 4 : -1, 7);
        img.localTable = table;
        b.Image(img);
    }
    return b.Finish();
}

TEST(GifDecoder, PaintsTrueColourFileIntoOneScreenSizedPicture)
{
    for (bool transparentLast : {false, true}) {
        const Bytes file = TrueColourFile(transparentLast);
        const DecodeResult first = DecodeFrame(file, 0);
        ASSERT_TRUE(first.ok) << first.error;
        const CRaster& p = *first.picture;
        EXPECT_EQ(p.GetBpp(), 24u);
        EXPECT_EQ(p.GetWidth(), 6u);
        EXPECT_EQ(p.GetHeight(), 4u);
        EXPECT_EQ(p.GetNumFrames(), 4);
        EXPECT_EQ(p.GetFrame(), 3) << "the frame delivered is the last one";
        for (uint32_t y = 0; y < 4; ++y)
            for (uint32_t x = 0; x < 6; ++x) {
                const int tile = int(x / 3 + 2 * (y / 2));
                const int i = int(x % 3 + 3 * (y % 2));
                const RGBQUAD c = TopDownColor(p, x, y);
                EXPECT_EQ(c.rgbRed, tile * 60 + i) << x << "," << y;
                EXPECT_EQ(c.rgbGreen, i * 30) << x << "," << y;
                EXPECT_EQ(c.rgbBlue, 200 - tile) << x << "," << y;
            }
        if (transparentLast) {
            EXPECT_EQ(p.GetTransIndex(), 0);
            const RGBQUAD t = p.GetTransColor();
            EXPECT_EQ(t.rgbRed, 3 * 60 + 4);
            EXPECT_EQ(t.rgbGreen, 4 * 30);
        } else {
            EXPECT_EQ(p.GetTransIndex(), -1);
        }
        for (long k = 1; k < 4; ++k) {
            const DecodeResult other = DecodeFrame(file, k);
            ASSERT_TRUE(other.ok);
            EXPECT_EQ(PictureDifference(*other.picture, p), "") << "frame " << k;
        }
    }
}

TEST(GifDecoder, ReadsLoopCountAndCommentIntoTheCodec)
{
    GifBuilder b(2, 2, GreyRamp(4));
    b.Loop(3).Comment("first").Image(Img(0, 0, 2, 2, {0, 1, 2, 3})).Loop(7).Comment("last words");
    const Bytes file = b.Finish();
    Bytes copy = file;
    CRasterMemFile in(copy.data(), unsigned(copy.size()));
    CRasterGifCodec codec;
    ASSERT_TRUE(codec.Decode(&in));
    // Decoding reads the blocks before frame 0 again after counting, and
    // stops at the frame it delivers.
    EXPECT_EQ(codec.GetLoops(), 3);
    EXPECT_STREQ(codec.GetComment(), "first");

    GifBuilder zero(2, 2, GreyRamp(4));
    zero.Loop(0).Image(Img(0, 0, 2, 2, {0, 1, 2, 3}));
    Bytes z = zero.Finish();
    CRasterMemFile zin(z.data(), unsigned(z.size()));
    CRasterGifCodec zcodec;
    zcodec.SetLoops(99);
    ASSERT_TRUE(zcodec.Decode(&zin));
    EXPECT_EQ(zcodec.GetLoops(), 0);
}

// Files that other decoders read correctly and that an unguarded reading of
// the format gets wrong.
TEST(GifDecoder, ReadsWellFormedVariantsCorrectly)
{
    const std::vector<uint8_t> a = {1, 2, 3, 0, 1, 2};
    const std::vector<uint8_t> bpx = {3, 3, 2, 2, 1, 1};
    const Bytes aData = GifBuilder::ImageData(Img(0, 0, 3, 2, a), 4);

    {
        // A local table belongs to its image: the next image uses the global one.
        GifBuilder b(3, 2, GreyRamp(4));
        GifImage withLocal = Img(0, 0, 3, 2, a, 2);
        withLocal.localTable = {{9, 9, 9}, {8, 8, 8}, {7, 7, 7}, {6, 6, 6}};
        b.Image(withLocal).Image(Img(0, 0, 3, 2, bpx, 2));
        const DecodeResult d = DecodeFrame(b.Finish(), 1);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.picture->GetPaletteColor(1).rgbRed, GreyRamp(4)[1].r);
    }
    {
        // Data without a leading clear code.
        GifBuilder b(3, 2, GreyRamp(4));
        b.ImageRaw(Img(0, 0, 3, 2, a), LzwEncode(a, 2, false));
        const DecodeResult d = DecodeFrame(b.Finish(), 0);
        ASSERT_TRUE(d.ok);
        ExpectIndices(*d.picture, 3, 2, a, "no leading clear");
    }
    {
        // Data without an end code, then bytes after the end code inside the
        // last sub-block: the next image is found either way.
        Bytes padded = aData;
        padded.insert(padded.end(), {0x2C, 0x3B, 0x21, 0x00});
        GifBuilder b(3, 2, GreyRamp(4));
        b.ImageRaw(Img(0, 0, 3, 2, a), LzwEncode(a, 2, true, false));
        b.ImageRaw(Img(0, 0, 3, 2, a), padded);
        b.Image(Img(0, 0, 3, 2, bpx, 2));
        const Bytes file = b.Finish();
        const DecodeResult d = DecodeFrame(file, 2);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.numFrames, 3);
        ExpectIndices(*d.picture, 3, 2, bpx, "after odd data");
    }
    {
        // Application blocks other than the looping one (metadata, colour
        // profiles) are passed over.
        GifBuilder b(3, 2, GreyRamp(4));
        b.Raw({0x21, 0xFF, 0x0B, 'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X', 'M', 'P', 5, 'h', 'e', 'l', 'l', 'o', 2,
               'x', 'y', 0});
        b.Raw({0x21, 0xFF, 0x04, 'A', 'B', 'C', 'D', 0});
        b.Raw({0x21, 0x01, 0x0C, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0, 2, 'h', 'i', 0});  // plain text block
        b.Image(Img(0, 0, 3, 2, a)).Image(Img(0, 0, 3, 2, bpx, 2));
        const DecodeResult d = DecodeFrame(b.Finish(), 1);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.numFrames, 2);
        ExpectIndices(*d.picture, 3, 2, bpx, "after application blocks");
    }
}

TEST(GifDecoder, StopsAtUnreadableControlBlockAndCountsOnlyFramesBeforeIt)
{
    GifBuilder b(2, 1, GreyRamp(4));
    b.Image(Img(0, 0, 2, 1, {1, 2}));
    b.Raw({0x21, 0xF9, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    b.Image(Img(0, 0, 2, 1, {3, 3}));
    const Bytes file = b.Finish();
    const DecodeResult d0 = DecodeFrame(file, 0);
    ASSERT_TRUE(d0.ok);
    EXPECT_EQ(d0.numFrames, 1);
    const DecodeResult d1 = DecodeFrame(file, 1);
    EXPECT_FALSE(d1.ok);
    EXPECT_EQ(d1.numFrames, 1);
}

TEST(GifDecoder, RefusesImpossibleSizesWithText)
{
    struct Case {
        uint16_t w, h;
        const char* text;
    };
    const Case cases[] = {{0, 5, "GIF image is empty"}, {7, 0, "GIF image is empty"},
                          {65535, 65535, "GIF image too large"}};
    for (const Case& c : cases) {
        GifBuilder b(4, 4, GreyRamp(256));
        b.Image(Img(0, 0, 4, 4, std::vector<uint8_t>(16, 3)));
        b.ImageRaw(Img(0, 0, c.w, c.h, {}, 1), {});
        const Bytes file = b.Finish();
        EXPECT_TRUE(DecodeFrame(file, 0).ok);
        const DecodeResult d = DecodeFrame(file, 1);
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.error, c.text);
        EXPECT_EQ(d.numFrames, 2);
    }
}

TEST(GifDecoder, LeavesMissingPixelsTransparentOrZeroAndGoesOn)
{
    for (int trans : {-1, 6}) {
        // No index pair repeats in the first 8 pixels, so each code is one pixel.
        const std::vector<uint8_t> px = Pixels(4, 4, [](uint32_t x, uint32_t y) { return uint8_t((y * 4 + x) % 8); });
        const Bytes data = LzwEncode(px, 3);
        GifBuilder b(4, 4, GreyRamp(8));
        // Only the first bytes of the data, then a frame with an impossible
        // code size, then a good frame.
        b.Gce(1, trans, 0).ImageRaw(Img(0, 0, 4, 4, px), Bytes(data.begin(), data.begin() + 3));
        GifImage badCode = Img(0, 0, 4, 4, px);
        badCode.codeSize = 12;
        b.Gce(2, trans, 0).ImageRaw(badCode, data);
        b.Image(Img(0, 0, 4, 4, px, 2, trans));
        const Bytes file = b.Finish();
        const uint8_t fill = trans < 0 ? 0 : uint8_t(trans);
        const DecodeResult d0 = DecodeFrame(file, 0);
        ASSERT_TRUE(d0.ok);
        // 3 bytes of 4-bit codes: the clear code and 5 pixels.
        std::vector<uint8_t> want(16, fill);
        std::copy(px.begin(), px.begin() + 5, want.begin());
        ExpectIndices(*d0.picture, 4, 4, want, "truncated data");
        // An image whose data cannot be decoded shows index 0, or nothing.
        const DecodeResult d1 = DecodeFrame(file, 1);
        ASSERT_TRUE(d1.ok);
        ExpectIndices(*d1.picture, 4, 4, trans < 0 ? std::vector<uint8_t>(16, 0) : want, "code size 12");
        const DecodeResult d2 = DecodeFrame(file, 2);
        ASSERT_TRUE(d2.ok);
        ExpectIndices(*d2.picture, 4, 4, px, "good frame after");
    }
}

TEST(GifDecoder, CancelsWhenEscapeIsSet)
{
    Bytes file = FiveFrames();
    CRasterMemFile in(file.data(), unsigned(file.size()));
    CRasterGifCodec codec;
    codec.SetEscape(1);
    EXPECT_FALSE(codec.Decode(&in));
    EXPECT_STREQ(codec.GetLastError(), "");

    // A watched flag, set by the handler while the walk runs, stops it.
    CRasterMemFile again(file.data(), unsigned(file.size()));
    CRasterGifCodec walker;
    int32_t flag = 0;
    walker.WatchEscape(&flag);
    int seen = 0;
    EXPECT_FALSE(walker.DecodeAllFrames(&again, [&](CRaster&, int) { flag = ++seen == 2; return true; }));
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(walker.GetFailedFrame(), 2);
}

// A memory stream on whose second read (after counting, as the frames are
// decoded) another thread sets the decoding picture's escape field.
struct CancellingStream : CRasterMemFile {
    CancellingStream(Bytes& bytes, CRaster& target)
        : CRasterMemFile(bytes.data(), unsigned(bytes.size())), picture(target)
    {
    }
    size_t Read(void* buffer, size_t size, size_t count) override
    {
        if (++reads == 2)
            std::thread([this] { picture.SetEscape(1); }).join();
        return CRasterMemFile::Read(buffer, size, count);
    }
    CRaster& picture;
    int reads = 0;
};

TEST(GifDecoder, DecodeThroughThePictureStopsWhenAnotherThreadSetsItsEscape)
{
    Bytes file = FiveFrames();
    CRaster picture(FormatGif);
    picture.SetFrame(4);
    CancellingStream stream(file, picture);
    EXPECT_FALSE(picture.Decode(&stream, FormatGif));
    EXPECT_FALSE(picture.IsValid()) << "a cancelled decode delivers nothing";
    EXPECT_EQ(picture.GetEscape(), 1);

    // The same decode without the cancel delivers the frame.
    CRaster again(FormatGif);
    again.SetFrame(4);
    EXPECT_TRUE(again.Decode(file.data(), uint32_t(file.size()), FormatGif));
}

// ---- the one-pass walk against frame-by-frame decoding ----

struct Walked {
    std::vector<std::unique_ptr<CRaster>> frames;
    bool ok = false;
    int failedFrame = -1;
    std::string error;
    long numFrames = 0;
};

Walked WalkOnce(const Bytes& file)
{
    Walked w;
    Bytes copy = file;
    CRasterMemFile in(copy.data(), unsigned(copy.size()));
    CRasterGifCodec codec;
    w.ok = codec.DecodeAllFrames(&in, [&](CRaster& frame, int index) {
        EXPECT_EQ(index, int(w.frames.size()));
        auto kept = std::make_unique<CRaster>(FormatUnknown);
        kept->Transfer(frame);
        w.frames.push_back(std::move(kept));
        return true;
    });
    w.failedFrame = codec.GetFailedFrame();
    w.error = codec.GetLastError();
    w.numFrames = codec.GetNumFrames();
    return w;
}

// Frame by frame as the program loads an animation: frame 0 gives the count,
// then k = 0, 1, ... until the count or the first failure.
void ExpectWalkMatchesFrameByFrame(const Bytes& file, const std::string& what)
{
    const Walked w = WalkOnce(file);
    const DecodeResult first = DecodeFrame(file, 0);
    const long count = first.ok ? first.numFrames : 0;
    long k = 0;
    for (; k < std::max(count, 1L); ++k) {
        const DecodeResult d = DecodeFrame(file, k);
        if (!d.ok) {
            ASSERT_FALSE(w.ok) << what << ": walk succeeded where frame " << k << " fails";
            EXPECT_EQ(w.failedFrame, k) << what;
            EXPECT_EQ(w.error, d.error) << what;
            EXPECT_EQ(w.numFrames, d.numFrames) << what;
            ASSERT_EQ(long(w.frames.size()), k) << what;
            return;
        }
        ASSERT_LT(size_t(k), w.frames.size()) << what << ": walk missed frame " << k;
        const std::string diff = PictureDifference(*w.frames[size_t(k)], *d.picture);
        ASSERT_EQ(diff, "") << what << ", frame " << k;
    }
    EXPECT_TRUE(w.ok) << what << ": " << w.error;
    EXPECT_EQ(w.failedFrame, -1) << what;
    EXPECT_EQ(long(w.frames.size()), count) << what;
}

// A random animation: screen, optional global table, frames with random
// control blocks (disposal 0-7, transparency, delays), positions that may
// leave the screen, local tables, interlace, odd code sizes, extensions.
Bytes RandomGif(std::mt19937& rng, bool* trueColour)
{
    auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
    const uint16_t sw = uint16_t(1 + pick(12));
    const uint16_t sh = uint16_t(1 + pick(12));
    const size_t sizes[] = {2, 4, 8, 16, 32, 256};
    const bool global = pick(5) != 0;
    *trueColour = !global && pick(2) == 0;
    const size_t gsize = sizes[pick(6)];
    std::vector<Rgb> gtable;
    if (global)
        for (size_t i = 0; i < gsize; ++i)
            gtable.push_back({uint8_t(rng()), uint8_t(rng()), uint8_t(pick(3) ? rng() : 255)});
    GifBuilder b(sw, sh, gtable);
    if (pick(3) == 0)
        b.Loop(pick(4));
    const int frames = 1 + pick(6);
    for (int f = 0; f < frames; ++f) {
        if (pick(8) == 0)
            b.Comment("c" + std::to_string(f));
        GifImage img;
        if (f == 0 && *trueColour) {
            img.width = uint16_t(std::max(1, sw / 2));
            img.height = uint16_t(std::max(1, sh / 2));
            if (img.width == sw)
                ++img.width;
            if (img.height == sh)
                ++img.height;
        } else {
            img.width = uint16_t(1 + pick(14));
            img.height = uint16_t(1 + pick(14));
        }
        img.left = uint16_t(pick(4) == 0 ? 0 : pick(sw + 3));
        img.top = uint16_t(pick(4) == 0 ? 0 : pick(sh + 3));
        img.disposal = pick(5) == 0 ? -1 : pick(8);
        img.trans = pick(3) == 0 ? pick(20) : -1;
        img.delay = pick(300);
        img.bInterlaced = pick(3) == 0;
        size_t tableSize = gsize;
        if (!global || pick(3) == 0) {
            tableSize = sizes[pick(6)];
            for (size_t i = 0; i < tableSize; ++i)
                img.localTable.push_back({uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
        }
        const int maxIndex = int(pick(6) == 0 ? 256 : tableSize);
        img.pixels = Pixels(img.width, img.height, [&](uint32_t x, uint32_t) {
            return uint8_t(pick(3) == 0 ? x % uint32_t(maxIndex) : uint32_t(pick(maxIndex)));
        });
        if (maxIndex > int(tableSize) || pick(10) == 0)
            img.codeSize = 8;
        b.Image(img);
    }
    return b.Finish();
}

TEST(GifDecoder, OnePassWalkGivesEveryFrameExactlyAsFrameByFrameDecoding)
{
    std::mt19937 rng(2024);
    int trueColourFiles = 0;
    for (int n = 0; n < 400; ++n) {
        bool trueColour = false;
        const Bytes file = RandomGif(rng, &trueColour);
        trueColourFiles += trueColour;
        ExpectWalkMatchesFrameByFrame(file, "random file " + std::to_string(n));
        if (HasFatalFailure())
            return;
        // Truncated at a random point, and with a damaged byte.
        const size_t cut = 13 + rng() % (file.size() - 12);
        ExpectWalkMatchesFrameByFrame(Bytes(file.begin(), file.begin() + long(cut)),
                                      "file " + std::to_string(n) + " cut at " + std::to_string(cut));
        Bytes damaged = file;
        damaged[6 + rng() % (file.size() - 6)] ^= uint8_t(1 + rng() % 255);
        ExpectWalkMatchesFrameByFrame(damaged, "damaged file " + std::to_string(n));
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(trueColourFiles, 20);
    ExpectWalkMatchesFrameByFrame(TrueColourFile(true), "true-colour file");
    ExpectWalkMatchesFrameByFrame(FiveFrames(), "five frames");
    ExpectWalkMatchesFrameByFrame(Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'}, "no frames");
}

TEST(GifDecoder, OnePassWalkFailsAtTheSameFrameAsFrameByFrame)
{
    GifBuilder b(4, 4, GreyRamp(4));
    b.Image(Img(0, 0, 4, 4, std::vector<uint8_t>(16, 1)));
    b.Image(Img(0, 0, 4, 4, std::vector<uint8_t>(16, 2)));
    b.ImageRaw(Img(0, 0, 60000, 60000, {}, 1), {});
    b.Image(Img(0, 0, 4, 4, std::vector<uint8_t>(16, 3)));
    const Bytes file = b.Finish();
    const Walked w = WalkOnce(file);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.failedFrame, 2);
    EXPECT_EQ(w.frames.size(), 2u);
    EXPECT_EQ(w.error, "GIF image too large");
    EXPECT_EQ(w.numFrames, 4);
    ExpectWalkMatchesFrameByFrame(file, "too large third frame");

    // The walk stops when the handler says so.
    Bytes copy = FiveFrames();
    CRasterMemFile in(copy.data(), unsigned(copy.size()));
    CRasterGifCodec codec;
    int seen = 0;
    EXPECT_TRUE(codec.DecodeAllFrames(&in, [&](CRaster&, int index) { return ++seen, index < 1; }));
    EXPECT_EQ(seen, 2);
}

// ---- hostile files ----

TEST(GifDecoder, SurvivesEveryFileInCrashersFolder)
{
    const std::filesystem::path dir = std::filesystem::path(TESSARY_SOURCE_DIR) / "tests/image/crashers";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".gif")
            continue;
        ++files;
        const Bytes file = ReadFile(entry.path().string());
        const std::string name = entry.path().filename().string();
        // Every frame of the file, both ways; the walk's frames must match.
        ExpectWalkMatchesFrameByFrame(file, name);
        const DecodeResult d = DecodeFrame(file, 0);
        // "ok_" files are damaged in ways that still give a first frame.
        EXPECT_EQ(d.ok, name.rfind("ok_", 0) == 0) << name << ": " << d.error;
    }
    EXPECT_GE(files, 10);
}

// Random block sequences: images with small random sizes, random packed
// bytes, tables, code sizes and sub-block lengths that may lie; extensions
// with random labels and contents; stray bytes; a random end.
TEST(GifDecoder, SurvivesRandomBlockSequences)
{
    std::mt19937 rng(99);
    auto pick = [&](uint32_t n) { return uint8_t(rng() % n); };
    for (int n = 0; n < 400; ++n) {
        Bytes file = {'G', 'I', 'F', '8', '9', 'a', pick(20), 0, pick(20), 0, uint8_t(rng()), 0, 0};
        if (file[10] & 0x80)
            for (int i = 0; i < (6 << (file[10] & 7)); ++i)
                file.push_back(uint8_t(rng()));
        const int blocks = 1 + pick(12);
        for (int i = 0; i < blocks; ++i) {
            const uint8_t kind = pick(8);
            if (kind < 4) {
                const uint8_t packed = uint8_t(rng());
                Bytes d = {0x2C, pick(30), 0, pick(30), 0, pick(25), 0, pick(25), 0, packed};
                file.insert(file.end(), d.begin(), d.end());
                if (packed & 0x80)
                    for (int j = 0; j < (6 << (packed & 7)); ++j)
                        file.push_back(uint8_t(rng()));
                file.push_back(pick(3) ? uint8_t(2 + pick(7)) : pick(16));
                for (int sb = pick(4); sb >= 0; --sb) {
                    const uint8_t len = pick(4) ? uint8_t(1 + pick(60)) : uint8_t(rng());
                    file.push_back(len);
                    for (int j = 0; j < (pick(6) ? len : pick(40)); ++j)
                        file.push_back(uint8_t(rng()));
                }
                file.push_back(0);
            } else if (kind < 7) {
                const uint8_t labels[] = {0xF9, 0xFE, 0xFF, 0x01, uint8_t(rng())};
                file.push_back(0x21);
                file.push_back(labels[pick(5)]);
                for (int sb = pick(3); sb >= 0; --sb) {
                    const uint8_t len = pick(3) ? uint8_t(pick(2) ? 4 : 11) : pick(20);
                    file.push_back(len);
                    for (int j = 0; j < len; ++j)
                        file.push_back(uint8_t(rng()));
                }
                file.push_back(0);
            } else {
                for (int j = pick(5); j >= 0; --j)
                    file.push_back(uint8_t(rng()));
            }
        }
        if (pick(2))
            file.resize(13 + rng() % (file.size() - 12));
        ExpectWalkMatchesFrameByFrame(file, "random " + std::to_string(n));
        if (HasFatalFailure())
            return;
    }
}

// ---- Pillow ----

// Pillow writes the files (interlaced when 16 rows or more, several frames,
// transparency, local tables) and dumps every frame as RGBA. We compare where
// both decoders follow the same rules: full-size first frames, disposal 1
// (composed) or disposal 2 with opaque full-size frames (shown alone).
TEST(GifDecoder, AgreesWithPillowOnFilesPillowWrites)
{
    const std::string python = PythonWithPillow();
    if (python.empty())
        GTEST_SKIP() << "needs Python with Pillow";
    TempDir dir;
    const std::string code = R"PY(
import sys, random
from PIL import Image, ImageSequence
out = sys.argv[1]
random.seed(5)

def palette(seed, n=256):
    r = random.Random(seed)
    return [r.randrange(256) for _ in range(3 * n)]

def frame(w, h, seed, pal, colours):
    r = random.Random(seed)
    im = Image.new('P', (w, h))
    im.putpalette(pal)
    px = im.load()
    for y in range(h):
        for x in range(w):
            px[x, y] = r.randrange(colours) if r.random() < 0.3 else (x // 7 + y // 5 + seed) % colours
    return im

# 1: several full-size frames, one palette, transparency, disposal 1, interlaced
pal = palette(1)
frames = [frame(40, 33, s, pal, 200) for s in range(5)]
frames[0].save(out + '/composed.gif', save_all=True, append_images=frames[1:], duration=[30, 40, 50, 60, 70],
               loop=0, disposal=1, transparency=7, optimize=False, interlace=True)
# 2: every frame its own palette (local tables), opaque, disposal 2
frames = [frame(25, 20, s, palette(10 + s), 256) for s in range(4)]
frames[0].save(out + '/local.gif', save_all=True, append_images=frames[1:], duration=100, disposal=2,
               optimize=False)
# 3: small, not interlaced, 16 colours
pal = palette(3, 16)
frames = [frame(9, 7, s, pal, 16) for s in range(3)]
frames[0].save(out + '/small.gif', save_all=True, append_images=frames[1:], duration=20, disposal=1,
               optimize=False)
# 4: a still picture, interlaced
frame(64, 48, 9, palette(4), 256).save(out + '/still.gif')

for name in ['composed', 'local', 'small', 'still']:
    im = Image.open(out + '/' + name + '.gif')
    with open(out + '/' + name + '.rgba', 'wb') as f:
        for fr in ImageSequence.Iterator(im):
            f.write(fr.convert('RGBA').tobytes())
)PY";
    WriteFile(dir.Path("make.py"), Bytes(code.begin(), code.end()));
    std::string output;
    ASSERT_EQ(RunCommand(python + " '" + dir.Path("make.py") + "' '" + dir.Path("") + "' 2>&1", &output), 0) << output;

    struct Expect {
        const char* name;
        uint32_t w, h;
        int frames;
    };
    const Expect files[] = {{"composed", 40, 33, 5}, {"local", 25, 20, 4}, {"small", 9, 7, 3}, {"still", 64, 48, 1}};
    for (const Expect& e : files) {
        const Bytes gif = ReadFile(dir.Path(std::string(e.name) + ".gif"));
        const Bytes rgba = ReadFile(dir.Path(std::string(e.name) + ".rgba"));
        const size_t perFrame = size_t(e.w) * e.h * 4;
        ASSERT_EQ(rgba.size(), perFrame * size_t(e.frames)) << e.name;
        const Walked w = WalkOnce(gif);
        ASSERT_TRUE(w.ok) << e.name << ": " << w.error;
        ASSERT_EQ(w.frames.size(), size_t(e.frames)) << e.name;
        long compared = 0;
        for (int k = 0; k < e.frames; ++k) {
            const CRaster& p = *w.frames[size_t(k)];
            ASSERT_EQ(p.GetWidth(), e.w) << e.name;
            ASSERT_EQ(p.GetHeight(), e.h) << e.name;
            for (uint32_t y = 0; y < e.h; ++y)
                for (uint32_t x = 0; x < e.w; ++x) {
                    const uint8_t* q = &rgba[size_t(k) * perFrame + (size_t(y) * e.w + x) * 4];
                    if (q[3] != 255)
                        continue;  // transparent in Pillow: no colour to compare
                    const RGBQUAD c = TopDownColor(p, x, y);
                    ASSERT_EQ(c.rgbRed, q[0]) << e.name << " frame " << k << " at " << x << "," << y;
                    ASSERT_EQ(c.rgbGreen, q[1]) << e.name << " frame " << k << " at " << x << "," << y;
                    ASSERT_EQ(c.rgbBlue, q[2]) << e.name << " frame " << k << " at " << x << "," << y;
                    ++compared;
                }
        }
        EXPECT_GT(compared, long(e.w * e.h * e.frames) / 2) << e.name;
    }

    // Pillow writes animations without interlace; gifsicle interlaces one.
    if (!HaveTool("gifsicle"))
        return;
    const std::string interlaced = dir.Path("interlaced.gif");
    ASSERT_EQ(RunCommand("gifsicle --interlace '" + dir.Path("composed.gif") + "' -o '" + interlaced + "'"), 0);
    std::string info;
    RunCommand("gifsicle --info '" + interlaced + "'", &info);
    ASSERT_NE(info.find("interlaced"), std::string::npos) << info;
    const Walked plain = WalkOnce(ReadFile(dir.Path("composed.gif")));
    const Walked inter = WalkOnce(ReadFile(interlaced));
    ASSERT_TRUE(plain.ok && inter.ok);
    ASSERT_EQ(plain.frames.size(), inter.frames.size());
    for (size_t k = 0; k < plain.frames.size(); ++k)
        for (uint32_t y = 0; y < 33; ++y)
            for (uint32_t x = 0; x < 40; ++x)
                ASSERT_EQ(TopDownColor(*plain.frames[k], x, y), TopDownColor(*inter.frames[k], x, y))
                    << "frame " << k << " at " << x << "," << y;
}

// ---- what viewers show, frame by frame ----

std::vector<Rgb> RandomTable(std::mt19937& rng, size_t n)
{
    std::vector<Rgb> t;
    for (size_t i = 0; i < n; ++i)
        t.push_back({uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    return t;
}

// Checks every frame of `file`, read both ways, against what another program
// shows. With bTransparency the pictures show nothing exactly where the other
// program does, every other pixel has its colour, and a frame is indexed
// exactly when what it shows fits in 256 palette entries. Without, every pixel
// has the other program's colour, also where the picture shows nothing.
void ExpectShownLike(const Bytes& file, const ShownFrames& want, bool bTransparency, const std::string& what,
                     int* trueColourFrames = nullptr)
{
    ExpectWalkMatchesFrameByFrame(file, what);
    const Walked w = WalkOnce(file);
    ASSERT_TRUE(w.ok) << what << ": " << w.error;
    ASSERT_EQ(w.frames.size(), want.frames.size()) << what;
    for (size_t k = 0; k < w.frames.size(); ++k) {
        const CRaster& p = *w.frames[k];
        ASSERT_EQ(p.GetWidth(), want.width) << what;
        ASSERT_EQ(p.GetHeight(), want.height) << what;
        std::set<uint32_t> colours;
        for (uint32_t y = 0; y < want.height; ++y)
            for (uint32_t x = 0; x < want.width; ++x) {
                const uint8_t* q = want.Pixel(k, x, y);
                const bool nothing = Transparent(p, x, y);
                const RGBQUAD c = TopDownColor(p, x, y);
                const std::string at = what + " frame " + std::to_string(k) + " at " + std::to_string(x) + "," +
                                       std::to_string(y);
                if (bTransparency) {
                    ASSERT_EQ(nothing, q[3] == 0) << at << " (shows nothing)";
                    colours.insert(q[3] == 0 ? 0x1000000u : uint32_t(q[0] << 16 | q[1] << 8 | q[2]));
                    if (nothing)
                        continue;
                }
                ASSERT_EQ(c.rgbRed, q[0]) << at;
                ASSERT_EQ(c.rgbGreen, q[1]) << at;
                ASSERT_EQ(c.rgbBlue, q[2]) << at;
            }
        if (bTransparency) {
            EXPECT_EQ(p.GetBpp() == 24, colours.size() > 256)
                << what << " frame " << k << ": " << colours.size() << " colours, " << p.GetBpp() << " bits";
        }
        if (trueColourFrames)
            *trueColourFrames += p.GetBpp() == 24;
    }
}

// A random animation on which Pillow composes the frames as browsers do:
// frames inside the screen, indices inside their table, a transparent index on
// the first frame and on every frame disposed of to the background, and
// disposal 0 (or no control block) only while the last method Pillow read was
// 1, since Pillow keeps that method for such frames. One in four has
// 256-colour tables that together show more than 256 colours.
Bytes ViewerLikeGif(std::mt19937& rng)
{
    auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
    const bool rich = pick(4) == 0;
    const uint16_t sw = uint16_t(rich ? 40 : 1 + pick(16));
    const uint16_t sh = uint16_t(rich ? 30 : 1 + pick(16));
    const size_t sizes[] = {2, 4, 16, 256};
    std::vector<Rgb> global;
    if (!rich && pick(4) != 0)
        global = RandomTable(rng, sizes[pick(4)]);
    GifBuilder b(sw, sh, global);
    int remembered = 0;
    const int frames = 1 + pick(6);
    for (int f = 0; f < frames; ++f) {
        GifImage img;
        // Without a global table the first frame spans the screen's width,
        // else the file would be read as one true-colour picture.
        const bool wide = f == 0 && (rich || global.empty());
        img.left = uint16_t(wide ? 0 : pick(sw));
        img.top = uint16_t(rich && f == 0 ? 0 : pick(sh));
        img.width = uint16_t(wide ? sw : 1 + pick(sw - img.left));
        img.height = uint16_t(rich && f == 0 ? sh : 1 + pick(sh - img.top));
        if (global.empty() || pick(2) == 0)
            img.localTable = RandomTable(rng, rich ? 256 : sizes[pick(4)]);
        const int tableSize = int(img.localTable.empty() ? global.size() : img.localTable.size());
        int disposal = f == 0 ? pick(5) : pick(6) - 1;
        if (disposal <= 0 && remembered > 1)
            disposal = 1 + pick(4);
        if (disposal > 0)
            remembered = disposal;
        img.disposal = disposal;
        img.trans = disposal >= 0 && (f == 0 || disposal == 2 || pick(2) == 0) ? pick(tableSize) : -1;
        img.delay = pick(500);
        img.bInterlaced = pick(4) == 0;
        const int run = 1 + pick(4);
        img.pixels = Pixels(img.width, img.height, [&](uint32_t x, uint32_t y) {
            return uint8_t(rich || pick(3) == 0 ? pick(tableSize) : int((x / run + y) % uint32_t(tableSize)));
        });
        b.Image(img);
    }
    return b.Finish();
}

TEST(GifDecoder, ShowsRandomAnimationsAsPillowComposesThem)
{
    if (PythonWithPillow().empty())
        GTEST_SKIP() << "needs Python with Pillow";
    TempDir dir;
    std::mt19937 rng(31);
    const int kFiles = 150;
    std::vector<Bytes> files;
    for (int n = 0; n < kFiles; ++n) {
        files.push_back(ViewerLikeGif(rng));
        WriteFile(dir.Path("r" + std::to_string(n) + ".gif"), files.back());
    }
    std::string output;
    ASSERT_EQ(RunGifFrames("pillow", dir.Path(""), &output), 0) << output;
    int trueColourFrames = 0;
    for (int n = 0; n < kFiles; ++n) {
        const ShownFrames want = ReadShownFrames(dir.Path("r" + std::to_string(n) + ".pillow"));
        ExpectShownLike(files[size_t(n)], want, true, "file r" + std::to_string(n), &trueColourFrames);
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(trueColourFrames, 20) << "frames that needed more than 256 colours";
}

// Where browsers show nothing (no first frame drawn yet, an area disposed of
// to the background), gifsicle shows the screen's background colour. Our
// pictures show nothing there, and take that colour for it: on files without
// transparency every pixel has gifsicle's colour. Disposal 4 is left out:
// gifsicle keeps such frames, browsers restore what was before.
TEST(GifDecoder, GivesEmptyAreasTheBackgroundColourAsGifsicleDoes)
{
    if (PythonWithPillow().empty() || !HaveTool("gifsicle"))
        GTEST_SKIP() << "needs Python with Pillow, and gifsicle";
    TempDir dir;
    std::mt19937 rng(47);
    auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
    const int kFiles = 60;
    std::vector<Bytes> files;
    for (int n = 0; n < kFiles; ++n) {
        const uint16_t sw = uint16_t(1 + pick(14));
        const uint16_t sh = uint16_t(1 + pick(14));
        const size_t sizes[] = {4, 16, 256};
        const std::vector<Rgb> table = RandomTable(rng, sizes[pick(3)]);
        GifBuilder b(sw, sh, table);
        b.SetBackground(uint8_t(pick(int(table.size()))));
        const int disposals[] = {-1, 0, 1, 2, 2, 3, 3, 5, 6, 7};
        for (int f = 1 + pick(5); f > 0; --f) {
            GifImage img;
            img.left = uint16_t(pick(sw));
            img.top = uint16_t(pick(sh));
            img.width = uint16_t(1 + pick(sw - img.left));
            img.height = uint16_t(1 + pick(sh - img.top));
            img.disposal = disposals[pick(10)];
            img.pixels =
                Pixels(img.width, img.height, [&](uint32_t, uint32_t) { return uint8_t(pick(int(table.size()))); });
            b.Image(img);
        }
        files.push_back(b.Finish());
        WriteFile(dir.Path("g" + std::to_string(n) + ".gif"), files.back());
    }
    std::string output;
    ASSERT_EQ(RunGifFrames("gifsicle", dir.Path(""), &output), 0) << output;
    for (int n = 0; n < kFiles; ++n) {
        const ShownFrames want = ReadShownFrames(dir.Path("g" + std::to_string(n) + ".gifsicle"));
        ExpectShownLike(files[size_t(n)], want, false, "file g" + std::to_string(n));
        if (HasFatalFailure())
            return;
    }
}

// Pillow writes update rectangles with a local table each; gifsicle -O3 turns
// them into smaller ones over transparency. Both must show the frames that
// were written.
TEST(GifDecoder, ShowsOptimisedAnimationsAsTheFramesTheyWereMadeOf)
{
    if (PythonWithPillow().empty())
        GTEST_SKIP() << "needs Python with Pillow";
    TempDir dir;
    std::string output;
    ASSERT_EQ(RunGifFrames("optimised", dir.Path(""), &output), 0) << output;
    int files = 0;
    for (int n = 0; n < 6; ++n) {
        const std::string name = dir.Path("anim" + std::to_string(n));
        const ShownFrames want = ReadShownFrames(name + ".frames");
        for (const char* kind : {".plain.gif", ".gifsicle.gif"}) {
            if (!std::filesystem::exists(name + kind))
                continue;
            ExpectShownLike(ReadFile(name + kind), want, true, "anim" + std::to_string(n) + kind);
            ++files;
            if (HasFatalFailure())
                return;
        }
    }
    EXPECT_GE(files, 6);
}

} // namespace
