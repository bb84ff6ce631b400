// The editors' Next steps: the turn bookkeeping that lets the edit be repeated
// on other frames, the result picture, the three routes into the document, and
// the size check of the written animation.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "anim_doc.h"
#include "anim_test_support.h"
#include "edit_picture.h"
#include "edit_result.h"
#include "preview_picture.h"

using animtest::MakeIndexed;
using animtest::ScratchDir;

namespace {

bool SamePixels(const CRaster& a, const CRaster& b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
        return false;
    for (long y = 0; y < long(a.GetHeight()); ++y)
        for (long x = 0; x < long(a.GetWidth()); ++x)
            if (!(a.GetPixelColor(x, y) == b.GetPixelColor(x, y)))
                return false;
    return true;
}

} // namespace

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
    EXPECT_DOUBLE_EQ(LightnessFromSlider("30"), 0.5);
    EXPECT_DOUBLE_EQ(LightnessFromSlider("-60"), -1.0);
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
        EXPECT_TRUE(SamePixels(*shown.m_pImage, *replay.m_pImage)) << "sequence of " << ops.size() << " presses";
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
