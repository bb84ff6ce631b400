// The animation document: delay rules, frame slots, building from files
// (both ways of reading a GIF), saving, drawing and the re-edit of frames.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>

#include "anim_doc.h"
#include "anim_test_support.h"

using animtest::BoxRecorder;
using animtest::MakeIndexed;
using animtest::RunFixtures;
using animtest::ScratchDir;

namespace {

// A document holding `count` 8 x 6 frames; frame i has delay 10 + i.
void Fill(CAnimDoc& doc, int count)
{
    doc.SetDelayLimits(0, 1000, 50);
    for (int i = 0; i < count; ++i) {
        doc.m_frames[i] = MakeIndexed(8, 6, uint32_t(10 + i));
        doc.m_nFrames = i + 1;
    }
}

std::vector<CRaster*> Slots(const CAnimDoc& doc)
{
    return std::vector<CRaster*>(doc.m_frames, doc.m_frames + CAnimDoc::kMaxFrames);
}

bool SamePicture(const CRaster& a, const CRaster& b)
{
    return a.IsValid() && b.IsValid() && a.GetSize() == b.GetSize() &&
           std::memcmp(a.GetDIB(), b.GetDIB(), a.GetSize()) == 0;
}

} // namespace

struct DelayCase {
    uint32_t min, max, def, requested, stored;
};

TEST(AnimDocDelay, SubstitutesDefaultThenClampsWithMinimumWinning)
{
    const DelayCase cases[] = {
        {10, 250, 50, 0, 50},                // no delay of its own: the default
        {10, 250, 50, 7, 10},                // below the minimum
        {10, 250, 50, 300, 250},             // above the maximum
        {10, 250, 50, 120, 120},             // within
        {10, 5, 50, 7, 10},                  // crossed limits: the minimum wins
        {10, 250, 400, 0, 250},              // a default above the maximum is clamped too
        {10, 250, 50, 0xFFFFFFFFu, 250},     // compared unsigned, not as -1
        {0, 0xFFFFFFFFu, 0, 0, 0},           // a default of 0 stays 0 when the minimum allows it
    };
    for (const DelayCase& c : cases) {
        CAnimDoc doc;
        Fill(doc, 1);
        doc.SetDelayLimits(c.min, c.max, c.def);
        doc.SetDelay(0, c.requested);
        EXPECT_EQ(doc.GetDelay(0), c.stored) << "limits " << c.min << "," << c.max << "," << c.def
                                             << " requested " << c.requested;
    }
}

TEST(AnimDocDelay, OutOfRangeIndicesAreIgnoredAndAnswerAllBits)
{
    CAnimDoc doc;
    Fill(doc, 3);
    EXPECT_EQ(doc.GetDelay(-1), 0xFFFFFFFFu);
    EXPECT_EQ(doc.GetDelay(3), 0xFFFFFFFFu);
    EXPECT_EQ(doc.GetDelay(2), 12u);
    doc.SetDelay(-1, 99);
    doc.SetDelay(3, 99);
    EXPECT_EQ(doc.GetDelay(0), 10u);
    EXPECT_EQ(doc.GetDelay(2), 12u);
    doc.SetDelayLimits(100, 200, 150);
    EXPECT_EQ(doc.GetDelay(0), 10u) << "new limits must not touch frames already held";
}

TEST(AnimDocFrames, InsertAtTheCountAppendsAndInsideShiftsUp)
{
    CAnimDoc doc;
    Fill(doc, 3);
    const auto before = Slots(doc);
    doc.InsertFrame(3, MakeIndexed(8, 6, 40));
    ASSERT_EQ(doc.GetFrameCount(), 4);
    EXPECT_EQ(doc.m_frames[2], before[2]);
    EXPECT_EQ(doc.GetDelay(3), 40u);

    doc.InsertFrame(1, MakeIndexed(8, 6, 41));
    ASSERT_EQ(doc.GetFrameCount(), 5);
    EXPECT_EQ(doc.m_frames[0], before[0]);
    EXPECT_EQ(doc.GetDelay(1), 41u);
    EXPECT_EQ(doc.m_frames[2], before[1]);
    EXPECT_EQ(doc.m_frames[3], before[2]);
    EXPECT_EQ(doc.m_frames[5], nullptr);
}

TEST(AnimDocFrames, InsertRefusesBadIndicesAndA257thFrame)
{
    CAnimDoc doc;
    Fill(doc, 2);
    doc.InsertFrame(-1, MakeIndexed(8, 6));
    doc.InsertFrame(3, MakeIndexed(8, 6));
    EXPECT_EQ(doc.GetFrameCount(), 2);

    CAnimDoc full;
    Fill(full, CAnimDoc::kMaxFrames);
    const auto before = Slots(full);
    full.InsertFrame(0, MakeIndexed(8, 6));
    full.InsertFrame(CAnimDoc::kMaxFrames, MakeIndexed(8, 6));
    EXPECT_EQ(full.GetFrameCount(), CAnimDoc::kMaxFrames);
    EXPECT_EQ(Slots(full), before) << "no frame may be pushed out of the slots";
    full.ShiftFrames(0, 1);
    EXPECT_EQ(full.GetFrameCount(), CAnimDoc::kMaxFrames);
    EXPECT_EQ(Slots(full), before) << "a full document opens no gap";
}

TEST(AnimDocFrames, InsertedPictureTakesFrameZerosDepthPaletteAndNoTransparency)
{
    CAnimDoc doc;
    Fill(doc, 1);
    auto* picture = animtest::MakeTrueColour(8, 6, [](uint32_t x, uint32_t) {
        return x < 4 ? MakeRgbQuad(250, 5, 5) : MakeRgbQuad(5, 5, 250);
    });
    picture->SetTransIndex(3);
    picture->SetFrameDelay(77);
    doc.InsertFrame(1, picture);
    const CRaster* inserted = doc.GetFrame(1);
    ASSERT_NE(inserted, nullptr);
    EXPECT_EQ(inserted->GetBpp(), 8u);
    EXPECT_EQ(std::memcmp(inserted->GetPalette(), doc.GetFrame(0)->GetPalette(), 256 * 4), 0);
    EXPECT_EQ(inserted->GetTransIndex(), -1);
    EXPECT_EQ(doc.GetDelay(1), 77u);
    // Nearest colours of frame 0's palette: pure red and pure blue.
    EXPECT_EQ(animtest::ColourAtTop(*inserted, 0, 0), MakeRgbQuad(255, 0, 0));
    EXPECT_EQ(animtest::ColourAtTop(*inserted, 7, 5), MakeRgbQuad(0, 0, 255));
}

TEST(AnimDocFrames, DeleteKeepsTheLastFrameAndClosesGaps)
{
    CAnimDoc one;
    Fill(one, 1);
    CRaster* only = one.m_frames[0];
    one.DeleteFrame(0);
    EXPECT_EQ(one.GetFrameCount(), 1);
    EXPECT_EQ(one.m_frames[0], only);

    CAnimDoc doc;
    Fill(doc, 4);
    const auto before = Slots(doc);
    doc.DeleteFrame(1);
    ASSERT_EQ(doc.GetFrameCount(), 3);
    EXPECT_EQ(doc.m_frames[0], before[0]);
    EXPECT_EQ(doc.m_frames[1], before[2]);
    EXPECT_EQ(doc.m_frames[2], before[3]);
    EXPECT_EQ(doc.m_frames[3], nullptr);
    doc.DeleteFrame(3);
    doc.DeleteFrame(-1);
    EXPECT_EQ(doc.GetFrameCount(), 3);
}

TEST(AnimDocFrames, SwapReplaceAndCopy)
{
    CAnimDoc doc;
    Fill(doc, 3);
    const auto before = Slots(doc);
    doc.SwapFrames(1, 1);
    EXPECT_EQ(Slots(doc), before);
    doc.SwapFrames(0, 2);
    EXPECT_EQ(doc.m_frames[0], before[2]);
    EXPECT_EQ(doc.m_frames[2], before[0]);

    CRaster* replacement = MakeIndexed(4, 4, 5);
    replacement->SetTransIndex(2);
    doc.ReplaceFrame(1, replacement);
    EXPECT_EQ(doc.m_frames[1], replacement);
    EXPECT_EQ(replacement->GetTransIndex(), -1);
    EXPECT_EQ(doc.GetDelay(1), 5u) << "a replacement keeps its own delay";

    std::unique_ptr<CRaster> copy(doc.CopyFrame(0));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy.get(), doc.m_frames[0]);
    EXPECT_TRUE(SamePicture(*copy, *doc.m_frames[0]));
    const uint8_t original = doc.m_frames[0]->GetPixelIndex(0, 0);
    copy->SetPixelIndex(0, 0, uint8_t((original + 1) % 8));
    EXPECT_EQ(doc.m_frames[0]->GetPixelIndex(0, 0), original) << "the copy must not share pixels";
    EXPECT_EQ(doc.CopyFrame(3), nullptr);
}

TEST(AnimDocFrames, DrawFrameStretchesToTheSquareOrDrawsAtNaturalSize)
{
    CAnimDoc doc;
    Fill(doc, 2);
    std::vector<uint32_t> pixels(100 * 100, 0);
    RasterSurface surface{pixels.data(), 100, 100, 100, RECT{0, 0, 100, 100}};
    EXPECT_EQ(doc.DrawFrame(0, 0, 0, 64), 0) << "no owner, nothing drawn";
    doc.SetSurface(&surface);
    EXPECT_EQ(doc.DrawFrame(2, 0, 0, 64), 0);
    EXPECT_EQ(doc.DrawFrame(-1, 0, 0, 64), 0);

    EXPECT_NE(doc.DrawFrame(0, 10, 20, 16), 0);
    EXPECT_NE(pixels[20 * 100 + 10] >> 24, 0u);
    EXPECT_NE(pixels[35 * 100 + 25] >> 24, 0u);
    EXPECT_EQ(pixels[36 * 100 + 26], 0u) << "drawn past the 16 x 16 square";

    doc.m_x = 50;
    doc.m_y = 50;
    EXPECT_NE(doc.DrawFrameAtPreview(1), 0);
    EXPECT_NE(pixels[55 * 100 + 57] >> 24, 0u);
    EXPECT_EQ(pixels[56 * 100 + 50], 0u) << "a 8 x 6 frame drawn at natural size ends at row 55";
    EXPECT_EQ(pixels[50 * 100 + 58], 0u);
}

// --- building from files ---

namespace {

struct Built {
    std::vector<std::vector<uint8_t>> blocks;
    std::vector<uint32_t> delays;
    std::vector<std::string> boxes;
    bool ok = false;
};

Built Build(const std::string& path, CAnimDoc::GifReading reading, uint32_t minDelay = 10,
            uint32_t maxDelay = 250, uint32_t defaultDelay = 50)
{
    Built b;
    BoxRecorder recorder;
    CAnimDoc doc;
    doc.SetDelayLimits(minDelay, maxDelay, defaultDelay);
    if (doc.Load(path, kAllowAll, 0))
        b.ok = doc.BuildFrames(reading);
    for (int i = 0; i < doc.GetFrameCount(); ++i) {
        const CRaster* f = doc.GetFrame(i);
        const auto* bytes = static_cast<const uint8_t*>(f->GetDIB());
        b.blocks.emplace_back(bytes, bytes + f->GetSize());
        b.delays.push_back(doc.GetDelay(i));
        EXPECT_EQ(f->GetTransIndex(), -1);
        EXPECT_EQ(f->GetBpp(), 8u);
    }
    b.boxes = recorder.boxes;
    return b;
}

void ExpectSameBuild(const std::string& path)
{
    const Built once = Build(path, CAnimDoc::GifReading::OnePass);
    const Built again = Build(path, CAnimDoc::GifReading::FrameByFrame);
    EXPECT_EQ(once.ok, again.ok) << path;
    EXPECT_EQ(once.delays, again.delays) << path;
    EXPECT_EQ(once.boxes, again.boxes) << path;
    ASSERT_EQ(once.blocks.size(), again.blocks.size()) << path;
    for (size_t i = 0; i < once.blocks.size(); ++i)
        EXPECT_EQ(once.blocks[i], again.blocks[i]) << path << " frame " << i;
}

} // namespace

TEST(AnimDocBuild, OnePassGivesTheFramesOfFrameByFrameLoading)
{
    ScratchDir dir;
    const std::string composed = dir.File("composed.gif");
    const std::string replaced = dir.File("replaced.gif");
    const std::string mixed = dir.File("mixed.gif");
    RunFixtures("gif " + composed + " 12 40 30 0,5,10,30,300,1000 1");
    RunFixtures("gif " + replaced + " 9 33 17 20 2");
    RunFixtures("gif " + mixed + " 7 16 16 0,7 3");
    for (const std::string& path : {composed, replaced, mixed})
        ExpectSameBuild(path);

    const Built built = Build(composed, CAnimDoc::GifReading::OnePass);
    EXPECT_TRUE(built.ok);
    const std::vector<uint32_t> want = {50, 10, 10, 30, 250, 250, 50, 10, 10, 30, 250, 250};
    EXPECT_EQ(built.delays, want);
}

TEST(AnimDocBuild, ATruncatedGifBuildsTheSameBothWays)
{
    ScratchDir dir;
    const std::string whole = dir.File("whole.gif");
    RunFixtures("gif " + whole + " 6 40 30 20");
    const auto size = std::filesystem::file_size(whole);
    for (uintmax_t keep : {size - 1, size * 2 / 3, size / 3, uintmax_t(40), uintmax_t(10)}) {
        const std::string cut = dir.File("cut" + std::to_string(keep) + ".gif");
        std::filesystem::copy_file(whole, cut);
        std::filesystem::resize_file(cut, keep);
        ExpectSameBuild(cut);
    }
}

TEST(AnimDocBuild, ASourceGoneAfterLoadingShowsTheSameOpenErrorBothWays)
{
    ScratchDir dir;
    const std::string path = dir.File("gone.gif");
    RunFixtures("gif " + path + " 3 10 10 20");
    std::vector<std::string> boxes[2];
    int i = 0;
    for (CAnimDoc::GifReading reading : {CAnimDoc::GifReading::OnePass, CAnimDoc::GifReading::FrameByFrame}) {
        const std::string copy = dir.File("copy.gif");
        std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
        CAnimDoc doc;
        doc.SetDelayLimits(10, 250, 50);
        ASSERT_TRUE(doc.Load(copy, kAllowAll, 0));
        std::filesystem::remove(copy);
        BoxRecorder recorder;
        EXPECT_FALSE(doc.BuildFrames(reading));
        EXPECT_EQ(doc.GetFrameCount(), 0);
        boxes[i++] = recorder.boxes;
    }
    ASSERT_EQ(boxes[0].size(), 1u);
    EXPECT_EQ(boxes[0], boxes[1]) << "same text, caption and icon";
}

TEST(AnimDocBuild, FramesShowingMoreThan256ColoursKeepTheirColours)
{
    ScratchDir dir;
    const std::string source = dir.File("tables.gif");
    RunFixtures("tables " + source);
    for (CAnimDoc::GifReading reading : {CAnimDoc::GifReading::OnePass, CAnimDoc::GifReading::FrameByFrame}) {
        CAnimDoc doc;
        doc.SetDelayLimits(10, 250, 50);
        ASSERT_TRUE(doc.Load(source, kAllowAll, 0));
        ASSERT_TRUE(doc.BuildFrames(reading));
        ASSERT_EQ(doc.GetFrameCount(), 3);
        const std::string out = dir.File("out.gif");
        ASSERT_TRUE(doc.SaveGif(out));
        // Each frame gets a palette of its own colours: a frame of reds and
        // blues is not drawn with the reds of frame 0 alone.
        const double diff = std::stod(RunFixtures("framediff " + out + " " + source));
        EXPECT_LT(diff, 4.0) << (reading == CAnimDoc::GifReading::OnePass ? "one pass" : "frame by frame");
    }
}

TEST(AnimDocBuild, ThreeHundredFramesAreCutTo256)
{
    ScratchDir dir;
    const std::string path = dir.File("long.gif");
    RunFixtures("gif " + path + " 300 8 8 0,400");
    const Built built = Build(path, CAnimDoc::GifReading::OnePass);
    EXPECT_TRUE(built.ok);
    ASSERT_EQ(built.delays.size(), 256u);
    EXPECT_EQ(built.delays[0], 50u);
    EXPECT_EQ(built.delays[255], 250u);
}

TEST(AnimDocBuild, AStillPictureIsOneFrameWithTheClampedDefaultDelay)
{
    ScratchDir dir;
    const std::string png = dir.File("still.png");
    RunFixtures("stripes " + png + " 40 20");
    const Built built = Build(png, CAnimDoc::GifReading::OnePass, 10, 40, 90);
    EXPECT_TRUE(built.ok);
    ASSERT_EQ(built.delays.size(), 1u);
    EXPECT_EQ(built.delays[0], 40u);

    // A still GIF keeps its own delay.
    const std::string gif = dir.File("still.gif");
    RunFixtures("gif " + gif + " 1 20 20 33");
    const Built still = Build(gif, CAnimDoc::GifReading::FrameByFrame);
    ASSERT_EQ(still.delays.size(), 1u);
    EXPECT_EQ(still.delays[0], 33u);
}

TEST(AnimDocBuild, NothingLoadedBuildsNothing)
{
    CAnimDoc doc;
    Fill(doc, 3);
    EXPECT_FALSE(doc.BuildFrames());
    EXPECT_EQ(doc.GetFrameCount(), 0);
    EXPECT_EQ(doc.m_frames[0], nullptr);
}

// --- saving ---

TEST(AnimDocSave, WritesEveryFrameWithItsDelay)
{
    ScratchDir dir;
    CAnimDoc doc;
    Fill(doc, 5);
    const std::string out = dir.File("out.gif");
    ASSERT_TRUE(doc.SaveGif(out));
    std::istringstream info(RunFixtures("info " + out));
    int count = 0, w = 0, h = 0;
    info >> count >> w >> h;
    EXPECT_EQ(count, 5);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 6);
    for (int i = 0; i < count; ++i) {
        int ms = 0;
        info >> ms;
        EXPECT_EQ(ms, (10 + i) * 10) << "frame " << i;
    }

    // Read back by our own decoder: the same pixels.
    CAnimDoc back;
    back.SetDelayLimits(0, 1000, 50);
    ASSERT_TRUE(back.Load(out, kAllowAll, 0));
    ASSERT_TRUE(back.BuildFrames());
    ASSERT_EQ(back.GetFrameCount(), 5);
    for (int i = 0; i < 5; ++i)
        for (long y = 0; y < 6; ++y)
            for (long x = 0; x < 8; ++x)
                ASSERT_EQ(back.GetFrame(i)->GetPixelColor(x, y), doc.GetFrame(i)->GetPixelColor(x, y));
}

TEST(AnimDocSave, FailuresLeaveNoFile)
{
    ScratchDir dir;
    CAnimDoc empty;
    const std::string out = dir.File("empty.gif");
    EXPECT_FALSE(empty.SaveGif(out));
    EXPECT_FALSE(std::filesystem::exists(out));

    CAnimDoc doc;
    Fill(doc, 1);
    EXPECT_FALSE(doc.SaveGif(dir.File("no/such/folder/x.gif")));
}

// --- re-editing the frames ---

TEST(AnimDocEdit, FitsEveryFrameButTheSkippedOneAndKeepsDelays)
{
    CAnimDoc doc;
    doc.SetDelayLimits(0, 1000, 50);
    for (int i = 0; i < 3; ++i) {
        doc.m_frames[i] = MakeIndexed(200, 100, uint32_t(20 + i));
        doc.m_nFrames = i + 1;
    }
    CRaster* skipped = doc.m_frames[1];
    doc.ApplyEditToOthers(1, true, 128, 128, true, 0, 0.0, 0, 0, 0, 0, 33, 109, 215, 200);
    EXPECT_EQ(doc.m_frames[1], skipped);
    for (int i : {0, 2}) {
        const CRaster* f = doc.GetFrame(i);
        ASSERT_EQ(f->GetWidth(), 128u);
        ASSERT_EQ(f->GetHeight(), 128u);
        EXPECT_EQ(doc.GetDelay(i), uint32_t(20 + i));
        // 200 x 100 fits as a 128 x 64 band at y offset 32, black around it.
        int blackInBand = 0;
        for (long y = 0; y < 128; ++y)
            for (long x = 0; x < 128; ++x) {
                const bool black = animtest::ColourAtTop(*f, x, y) == MakeRgbQuad(0, 0, 0);
                if (y < 32 || y >= 96)
                    ASSERT_TRUE(black) << "frame " << i << " at " << x << "," << y;
                else
                    blackInBand += black;
            }
        EXPECT_LT(blackInBand, 128 * 64 / 4) << "the band should show the picture, one colour in eight is black";
    }
}

TEST(AnimDocEdit, CropsTheSelectionAfterMirroringAndTurning)
{
    // Frame: 20 x 10, left half red, right half blue. Display at natural size
    // at (33, 109); the selection is the top-left 10 x 10 of the display.
    auto halves = [](uint32_t x, uint32_t) { return x < 10 ? MakeRgbQuad(255, 0, 0) : MakeRgbQuad(0, 0, 255); };
    struct Case {
        bool notMirrored;
        int turns;
        RECT display;
        RGBQUAD want;
    } cases[] = {
        {true, 0, {33, 109, 53, 119}, MakeRgbQuad(255, 0, 0)},
        {false, 0, {33, 109, 53, 119}, MakeRgbQuad(0, 0, 255)},
        {true, 4, {33, 109, 53, 119}, MakeRgbQuad(255, 0, 0)},
        {true, -2, {33, 109, 53, 119}, MakeRgbQuad(0, 0, 255)},
        {true, 1, {33, 109, 43, 129}, MakeRgbQuad(255, 0, 0)},   // the left half becomes the top half
        {true, 3, {33, 109, 43, 129}, MakeRgbQuad(0, 0, 255)},
    };
    for (const Case& c : cases) {
        CAnimDoc doc;
        doc.SetDelayLimits(0, 1000, 50);
        doc.m_frames[0] = animtest::MakeTrueColour(20, 10, halves);
        doc.m_frames[0]->DecreaseBpp(8, false, nullptr);
        doc.m_nFrames = 1;
        doc.ApplyEditToOthers(-1, false, 16, 16, c.notMirrored, c.turns, 0.0, 33, 109, 43, 119, c.display.left,
                              c.display.top, c.display.right, c.display.bottom);
        const CRaster* f = doc.GetFrame(0);
        ASSERT_EQ(f->GetWidth(), 16u);
        ASSERT_EQ(f->GetHeight(), 16u);
        const RGBQUAD seen = animtest::ColourAtTop(*f, 8, 8);
        const bool red = seen.rgbRed > 200 && seen.rgbBlue < 50;
        const bool blue = seen.rgbBlue > 200 && seen.rgbRed < 50;
        EXPECT_TRUE(c.want.rgbRed ? red : blue) << "mirrored " << !c.notMirrored << " turns " << c.turns;
    }
}

TEST(AnimDocEdit, LightnessAndAFailedCutLeaveFramesUsable)
{
    CAnimDoc doc;
    doc.SetDelayLimits(0, 1000, 50);
    doc.m_frames[0] = animtest::MakeTrueColour(16, 16, [](uint32_t, uint32_t) { return MakeRgbQuad(100, 100, 100); });
    doc.m_nFrames = 1;
    doc.ApplyEditToOthers(-1, false, 16, 16, true, 0, 0.5, 33, 109, 49, 125, 33, 109, 49, 125);
    EXPECT_EQ(animtest::ColourAtTop(*doc.GetFrame(0), 3, 3), MakeRgbQuad(164, 164, 164));

    // A selection beside the picture cuts out nothing: the frame stays as it was.
    doc.ReplaceFrame(0, MakeIndexed(16, 16));
    std::unique_ptr<CRaster> before(doc.CopyFrame(0));
    doc.ApplyEditToOthers(-1, false, 8, 8, false, 1, 0.0, 300, 300, 340, 340, 33, 109, 49, 125);
    ASSERT_NE(doc.GetFrame(0), nullptr);
    EXPECT_TRUE(SamePicture(*doc.GetFrame(0), *before));
}
