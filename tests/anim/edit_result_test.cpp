// The editors' Next steps: the turn bookkeeping that lets the edit be repeated
// on other frames, the result picture, the three routes into the document, and
// the size check of the written animation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "anim_doc.h"
#include "anim_test_support.h"
#include "edit_picture.h"
#include "edit_result.h"
#include "preview_picture.h"
#include "raster_test_support.h"

using animtest::MakeIndexed;
using animtest::ScratchDir;

TEST(PictureEditBookkeeping, MirrorAndFlipRewriteTheTurns)
{
    PictureEdit edit;
    RecordRotateRight(edit);
    RecordMirror(edit);
    EXPECT_EQ(edit.nQuarterTurns, 3);
    EXPECT_FALSE(edit.bNotMirrored);
    RecordMirror(edit);
    EXPECT_EQ(edit.nQuarterTurns, 1);
    EXPECT_TRUE(edit.bNotMirrored);

    const int flipped[4] = {2, 1, 0, 3};
    for (int q = 0; q < 4; ++q) {
        PictureEdit e;
        e.nQuarterTurns = q - 8; // any integer counts modulo 4
        RecordFlip(e);
        EXPECT_EQ(e.nQuarterTurns, flipped[q]) << "q " << q;
        EXPECT_FALSE(e.bNotMirrored);
    }
}

// The slider's text is read like atoi, except that a number beyond 32 bits
// stops at the nearest end instead of overflowing.
TEST(PictureEditBookkeeping, LightnessReadsTheLeadingNumberAndSaturates)
{
    const struct {
        const char* text;
        double want;
    } cases[] = {
        {"30", 0.5},
        {"-60", -1.0},
        {"  +12px", 0.2},
        {"\t-6 7", -0.1},
        {"", 0.0},
        {"x30", 0.0},
        {"- 5", 0.0},
        {nullptr, 0.0},
        {"2147483647", 2147483647 / 60.0},
        {"2147483648", 2147483647 / 60.0},
        {"99999999999999999999999", 2147483647 / 60.0},
        {"-2147483648", -2147483648.0 / 60.0},
        {"-2147483649", -2147483648.0 / 60.0},
        {"-99999999999999999999999", -2147483648.0 / 60.0},
        {"000000000000000000000042", 0.7},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(LightnessFromSlider(c.text), c.want) << "text \"" << (c.text ? c.text : "(null)") << "\"";
}

TEST(PictureEditBookkeeping, TheAnimationIsNamedAfterTheSourceFileCutToTwelveCharacters)
{
    const struct {
        const char* path;
        const char* name;
        const char* file;
    } cases[] = {
        {"/home/ann/holiday-at-the-sea.gif", "holiday-at-t", "holiday-at-the-sea.gif"},
        {"C:\\Pictures\\cat.jpeg", "cat", "cat.jpeg"},
        {"/pics.d/archive.2024.png", "archive.2024", "archive.2024.png"},
        {"/pics.d/README", "README", "README"},
        {"plain.bmp", "plain", "plain.bmp"},
        {"/x/.gif", "", ".gif"},
        {"/x/", "", ""},
        // Characters, not bytes: twelve two-byte letters, then the cut.
        {"/x/ééééééééééééé.gif", "éééééééééééé", "ééééééééééééé.gif"},
        {"/x/假期.gif", "假期", "假期.gif"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AnimationNameFromPath(c.path), c.name) << c.path;
        EXPECT_EQ(FileNameOfPath(c.path), c.file) << c.path;
    }
}

// Whatever the buttons pressed, mirroring the loaded picture when the edit says
// so and then turning it right nQuarterTurns times gives the picture shown.
TEST(PictureEditBookkeeping, RepeatsAnySequenceOfButtons)
{
    enum Op { L, R, M, F };
    const std::vector<std::vector<Op>> sequences = {
        {R}, {L}, {M}, {F}, {R, M}, {M, R}, {L, F}, {F, L, M}, {R, R, F, R}, {M, F}, {F, F}, {L, L, L, M, R, F},
    };
    for (const auto& ops : sequences) {
        CEditPicture shown;
        shown.SetImage(MakeIndexed(7, 4));
        PictureEdit edit;
        for (Op op : ops) {
            switch (op) {
            case L:
                RecordRotateLeft(edit);
                shown.RotateLeft();
                break;
            case R:
                RecordRotateRight(edit);
                shown.RotateRight();
                break;
            case M:
                RecordMirror(edit);
                shown.Mirror();
                break;
            case F:
                RecordFlip(edit);
                shown.Flip();
                break;
            }
        }
        CEditPicture replay;
        replay.SetImage(MakeIndexed(7, 4));
        if (!edit.bNotMirrored)
            replay.Mirror();
        for (int t = 0; t < ((edit.nQuarterTurns % 4) + 4) % 4; ++t)
            replay.RotateRight();
        EXPECT_TRUE(testsupport::SameColours(shown.m_pImage, replay.m_pImage))
            << "sequence of " << ops.size() << " presses";
    }
}

TEST(PictureEditResult, RouteZeroUsesTheScreenSizeAndATargetTakesTheResult)
{
    CEditPicture picture;
    picture.m_x = 33;
    picture.m_y = 109;
    picture.SetImage(MakeIndexed(100, 100));
    picture.ComputeDisplayRect(true);
    PictureEdit edit;
    edit.rcSelection = RECT{33, 109, 83, 159};
    edit.nTargetWidth = 10;
    edit.nTargetHeight = 20;

    std::unique_ptr<CRaster> half(BuildResult(picture, edit, 0, 64, nullptr));
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(half->GetWidth(), 64u);
    EXPECT_EQ(edit.nTargetHeight, 64);

    edit.nTargetWidth = 10;
    edit.nTargetHeight = 20;
    CPreviewPicture preview;
    preview.SetImage(MakeIndexed(3, 3));
    CRaster* shownResult = BuildResult(picture, edit, 2, 64, &preview);
    EXPECT_EQ(shownResult, preview.m_pImage);
    EXPECT_EQ(preview.m_pImage->GetWidth(), 10u);
    EXPECT_EQ(preview.m_pImage->GetHeight(), 20u);

    edit.rcSelection = RECT{300, 300, 340, 340};
    EXPECT_EQ(BuildResult(picture, edit, 0, 128, nullptr), nullptr);
}

TEST(PictureEditCommit, RoutesReplaceInsertOrReEditEveryFrame)
{
    auto freshDoc = [](CAnimDoc& doc) {
        doc.SetDelayLimits(0, 1000, 50);
        for (int i = 0; i < 3; ++i) {
            doc.m_frames[i] = MakeIndexed(64, 64, uint32_t(10 + i));
            doc.m_nFrames = i + 1;
        }
    };
    auto editedPicture = [](CEditPicture& picture) {
        picture.m_x = 33;
        picture.m_y = 109;
        picture.SetImage(MakeIndexed(64, 64));
        picture.ComputeDisplayRect(true);
    };

    {   // Route 0: every frame, the first included, becomes imageSize square.
        CAnimDoc doc;
        freshDoc(doc);
        CEditPicture picture;
        editedPicture(picture);
        PictureEdit edit;
        edit.rcSelection = RECT{33, 109, 97, 173};
        int32_t current = -1;
        ASSERT_TRUE(CommitPictureEdit(doc, picture, edit, 0, 32, current, ""));
        ASSERT_EQ(doc.GetFrameCount(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(doc.GetFrame(i)->GetWidth(), 32u);
            EXPECT_EQ(doc.GetDelay(i), uint32_t(10 + i));
        }
    }
    {   // Route 2: frame 1 replaced, the others untouched.
        CAnimDoc doc;
        freshDoc(doc);
        CRaster* first = doc.m_frames[0];
        CEditPicture picture;
        editedPicture(picture);
        PictureEdit edit;
        edit.rcSelection = RECT{33, 109, 97, 173};
        edit.nTargetWidth = 64;
        edit.nTargetHeight = 64;
        int32_t current = 1;
        ASSERT_TRUE(CommitPictureEdit(doc, picture, edit, 2, 128, current, ""));
        EXPECT_EQ(doc.GetFrameCount(), 3);
        EXPECT_EQ(doc.m_frames[0], first);
        EXPECT_EQ(doc.GetFrame(1)->GetWidth(), 64u);
    }
    {   // Route 1 with an animated file: one frame per frame of the file.
        ScratchDir dir;
        const std::string insert = dir.File("insert.gif");
        animtest::RunFixtures("gif " + insert + " 4 64 64 20");
        CAnimDoc doc;
        freshDoc(doc);
        CEditPicture picture;
        picture.m_x = 33;
        picture.m_y = 109;
        ASSERT_TRUE(picture.Load(insert, kAllowAll, 0));
        picture.ComputeDisplayRect(true);
        PictureEdit edit;
        edit.rcSelection = RECT{33, 109, 97, 173}; // a cut-out keeps each frame's delay
        edit.nTargetWidth = 64;
        edit.nTargetHeight = 64;
        int32_t current = 1;
        ASSERT_TRUE(CommitPictureEdit(doc, picture, edit, 1, 128, current, insert));
        EXPECT_EQ(doc.GetFrameCount(), 7);
        EXPECT_EQ(current, 4) << "the selection follows the last inserted frame";
        EXPECT_EQ(doc.GetDelay(1), 20u);
        EXPECT_EQ(doc.GetDelay(4), 20u);
        EXPECT_EQ(doc.GetDelay(5), 11u);
    }
    {   // Nothing to cut out: the document is left alone.
        CAnimDoc doc;
        freshDoc(doc);
        CRaster* first = doc.m_frames[0];
        CEditPicture picture;
        editedPicture(picture);
        PictureEdit edit;
        edit.rcSelection = RECT{300, 300, 340, 340};
        int32_t current = -1;
        EXPECT_FALSE(CommitPictureEdit(doc, picture, edit, 0, 128, current, ""));
        EXPECT_EQ(doc.m_frames[0], first);
        EXPECT_EQ(doc.GetFrame(0)->GetWidth(), 64u);
    }
}

TEST(AnimationCheck, TheTemporaryFileNameNeverHoldsAPathOrAPattern)
{
    struct Case {
        std::string folder, name, want;
    };
    const Case cases[] = {
        {"/home/ann/.local/share/tessary/", "Holiday", "/home/ann/.local/share/tessary/temp/Holiday.gif"},
        {"/opt/t", "Holiday", "/opt/t/temp/Holiday.gif"},
        {"/i/", "../../etc/x", "/i/temp/.._.._etc_x.gif"},
        {"/i/", "*?[]", "/i/temp/____.gif"},
        {"/i/", "a\\b:c\"d<e>f|g", "/i/temp/a_b_c_d_e_f_g.gif"},
        {"/i/", std::string("tab\tnew\nline\x7f"), "/i/temp/tab_new_line_.gif"},
        {"/i/", "\xC3\xA9t\xC3\xA9 2024", "/i/temp/\xC3\xA9t\xC3\xA9 2024.gif"}, // UTF-8 kept
    };
    for (const Case& c : cases)
        EXPECT_EQ(TemporaryGifPath(c.folder, c.name), c.want) << c.name;
}

TEST(AnimationCheck, AFileOfExactlyTheLimitIsTooBig)
{
    ScratchDir dir;
    CAnimDoc doc;
    doc.SetDelayLimits(0, 1000, 50);
    doc.m_frames[0] = MakeIndexed(16, 16, 10);
    doc.m_nFrames = 1;
    const std::string path = dir.File("t.gif");
    int64_t bytes = 0;
    ASSERT_EQ(SaveAndCheckAnimation(doc, path, INT64_MAX, &bytes), AnimationCheck::Fits);
    ASSERT_GT(bytes, 0);
    EXPECT_EQ(int64_t(std::filesystem::file_size(path)), bytes);
    EXPECT_EQ(SaveAndCheckAnimation(doc, path, bytes, &bytes), AnimationCheck::TooBig);
    EXPECT_EQ(SaveAndCheckAnimation(doc, path, bytes + 1, &bytes), AnimationCheck::Fits);

    CAnimDoc empty;
    EXPECT_EQ(SaveAndCheckAnimation(empty, dir.File("e.gif"), INT64_MAX, &bytes), AnimationCheck::SaveFailed);
}

namespace {

// Every pixel row of the two pictures, palette colours compared, bit for bit.
bool SameFrame(const CRaster* a, const CRaster* b)
{
    return a && b && a->GetBpp() == b->GetBpp() && testsupport::SameColours(a, b);
}

// A document of `count` 8 x 8 frames.
void FillDoc(CAnimDoc& doc, int count, uint32_t side = 8)
{
    doc.SetDelayLimits(0, 1000, 50);
    for (int i = 0; i < count; ++i)
        doc.m_frames[i] = MakeIndexed(side, side, uint32_t(10 + i % 50));
    doc.m_nFrames = count;
}

// An animated GIF of `frames` frames that all show the same 48 x 24 picture.
std::string SameFramesGif(ScratchDir& dir, int frames)
{
    CAnimDoc source;
    source.SetDelayLimits(0, 1000, 50);
    for (int i = 0; i < frames; ++i)
        source.m_frames[i] = MakeIndexed(48, 24, 20);
    source.m_nFrames = frames;
    const std::string path = dir.File("same-" + std::to_string(frames) + ".gif");
    EXPECT_TRUE(source.SaveGif(path));
    return path;
}

// The editor's picture as the content page leaves it for an insertion: frame 0
// of the file, shown in the box at (33, 109).
void LoadForInsertion(CEditPicture& picture, const std::string& path)
{
    picture.m_x = 33;
    picture.m_y = 109;
    ASSERT_TRUE(picture.Load(path, kAllowAll, 0));
}

} // namespace

// Inserting an animation whose frames all show one picture must give frames
// that all look alike, whatever the user turned, cut or fitted, and with
// apply-to-all the inserted frames are not cut a second time.
TEST(PictureEditCommit, FurtherInsertedFramesGetTheSameTurnsAndAreEditedOnce)
{
    enum Op { L, R, M, F };
    const struct {
        const char* name;
        std::vector<Op> ops;
        bool fit;
        bool applyAll;
    } cases[] = {
        {"as loaded", {}, false, false},
        {"right", {R}, false, false},
        {"left", {L}, false, false},
        {"mirror", {M}, false, false},
        {"flip", {F}, false, false},
        {"right then mirror", {R, M}, false, false},
        {"left, fitted", {L}, true, false},
        {"mirror, fitted", {M}, true, false},
        {"right, to all", {R}, false, true},
        {"as loaded, to all", {}, false, true},
        {"flip, fitted, to all", {F}, true, true},
    };
    ScratchDir dir;
    const std::string insert = SameFramesGif(dir, 3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CAnimDoc doc;
        FillDoc(doc, 3, 64);
        CEditPicture picture;
        LoadForInsertion(picture, insert);
        PictureEdit edit;
        for (Op op : c.ops) {
            switch (op) {
            case L: RecordRotateLeft(edit); picture.RotateLeft(); break;
            case R: RecordRotateRight(edit); picture.RotateRight(); break;
            case M: RecordMirror(edit); picture.Mirror(); break;
            case F: RecordFlip(edit); picture.Flip(); break;
            }
        }
        picture.ComputeDisplayRect(true);
        const RECT& shown = picture.m_rcDisplay;
        const int32_t side = std::min(shown.right - shown.left, shown.bottom - shown.top);
        edit.rcSelection = RECT{shown.left, shown.top, shown.left + side, shown.top + side};
        edit.bFitAll = c.fit;
        edit.bApplyAll = c.applyAll;
        edit.nTargetWidth = 64;
        edit.nTargetHeight = 64;
        int32_t current = 1;
        InsertReport report;
        ASSERT_TRUE(CommitPictureEdit(doc, picture, edit, 1, 128, current, insert, &report));
        ASSERT_EQ(doc.GetFrameCount(), 6);
        EXPECT_EQ(report.nInserted, 3);
        EXPECT_EQ(report.nLeftOut, 0);
        EXPECT_EQ(current, 3) << "the last inserted frame";
        for (int i = 2; i <= 3; ++i)
            EXPECT_TRUE(SameFrame(doc.GetFrame(1), doc.GetFrame(i))) << "frame " << i << " is not like frame 1";
        for (int i : {0, 4, 5})
            EXPECT_EQ(doc.GetFrame(i)->GetWidth(), 64u) << "frame " << i;
    }
}

// The animation holds 256 frames: an insertion stops there, the current frame
// is the last one really inserted, and the pictures left out are counted.
TEST(PictureEditCommit, AnInsertionStopsWhenTheAnimationIsFull)
{
    const struct {
        int frames;      // in the animation before Next
        int at;          // where the insertion goes
        int wantInserted;
        int wantLeftOut;
        int wantCurrent;
    } cases[] = {
        {252, 252, 4, 0, 255}, // exactly fills it
        {254, 254, 2, 2, 255},
        {254, 3, 2, 2, 4},
        {255, 0, 1, 3, 0},
        {256, 7, 0, 4, 7},     // no room at all: nothing moves
    };
    ScratchDir dir;
    const std::string insert = SameFramesGif(dir, 4);
    for (const auto& c : cases) {
        SCOPED_TRACE("frames " + std::to_string(c.frames) + " at " + std::to_string(c.at));
        CAnimDoc doc;
        FillDoc(doc, c.frames);
        CRaster* last = doc.m_frames[c.frames - 1];
        CEditPicture picture;
        LoadForInsertion(picture, insert);
        picture.ComputeDisplayRect(true);
        PictureEdit edit;
        edit.rcSelection = RECT{33, 109, 57, 133};
        edit.nTargetWidth = 8;
        edit.nTargetHeight = 8;
        int32_t current = c.at;
        InsertReport report;
        ASSERT_TRUE(CommitPictureEdit(doc, picture, edit, 1, 128, current, insert, &report));
        EXPECT_EQ(doc.GetFrameCount(), std::min(256, c.frames + 4));
        EXPECT_EQ(report.nInserted, c.wantInserted);
        EXPECT_EQ(report.nLeftOut, c.wantLeftOut);
        EXPECT_EQ(current, c.wantCurrent);
        EXPECT_EQ(doc.m_frames[doc.GetFrameCount() - 1] == last, c.at < c.frames || c.wantInserted == 0)
            << "the old last frame stays last unless the insertion went after it";
    }
}

TEST(PictureEditCommit, AFurtherFrameThatCannotBeLoadedEndsTheInsertion)
{
    ScratchDir dir;
    const std::string insert = SameFramesGif(dir, 3);
    CAnimDoc doc;
    FillDoc(doc, 2);
    CEditPicture picture;
    LoadForInsertion(picture, insert);
    picture.ComputeDisplayRect(true);
    std::filesystem::remove(insert); // gone before Next reloads the further frames
    animtest::BoxRecorder boxes;
    PictureEdit edit;
    edit.rcSelection = RECT{33, 109, 57, 133};
    edit.nTargetWidth = 8;
    edit.nTargetHeight = 8;
    int32_t current = 1;
    InsertReport report;
    ASSERT_TRUE(CommitPictureEdit(doc, picture, edit, 1, 128, current, insert, &report));
    EXPECT_EQ(doc.GetFrameCount(), 3);
    EXPECT_EQ(report.nInserted, 1);
    EXPECT_EQ(report.nLeftOut, 0) << "not a full animation";
    EXPECT_EQ(current, 1);
    EXPECT_FALSE(boxes.boxes.empty()) << "the loader says why";
}
