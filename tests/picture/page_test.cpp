// The picture editor page offscreen: real pictures loaded as the content page
// and the animation editor leave them, the movie's commands from a recording
// movie, and the mouse through the window as a user moves it, so that the
// overlays relay it and keep it while a button is down.
#include "dlg_frame.h"
#include "dlg_mask.h"
#include "dlg_wiz4.h"
#include "drawing_surface.h"
#include "edit_picture.h"
#include "message_box.h"
#include "messages.h"
#include "movie_ctrl.h"
#include "page_factory.h"
#include "raster_test_support.h"
#include "route_tables.h"
#include "settings_defaults.h"
#include "test_support.h"
#include "wizard_globals.h"
#include "wizard_test_support.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

// Selections print as (left, top, right, bottom) in the failure messages.
static std::ostream& operator<<(std::ostream& out, const RECT& r)
{
    return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

using wizard_test::Pump;
using wizard_test::RecordingMovie;
using wizard_test::RecordingMovies;

constexpr uint32_t kOpaqueBlack = 0xFF000000u;

class PicturePage : public ::testing::Test {
protected:
    void SetUp() override
    {
        wizard_test::EnsureApp();
        g_messages = BuildMessages("EN");
        g_imageSize = 128;
        g_createNew = 0;
        g_pageRoute = 0;
        g_nCurrentFrame = 0;
        g_strSourcePath.clear();
        g_strInsertPath.clear();
        EmptyAnimation();
        movies = std::make_unique<RecordingMovies>();
        // The picture editor among bare pages: what the other pages do when
        // shown (the animation editor brings its selection back into range)
        // is theirs, not this page's.
        frame = std::make_unique<CDlgFrame>([](int index, CDlgFrame* parent) -> CWizPage* {
            return index == kPagePictureEditor ? CreateWizardPage(index, parent) : new CWizPage(parent, index);
        });
        frame->OnInitDialog();
        frame->show();
        Pump(CDlgFrame::kPageTimerMs + 100);
        ASSERT_EQ(frame->m_pages.size(), 6u);
        boxes = std::make_unique<platform::MessageBoxRecorder>();
    }
    void TearDown() override
    {
        boxes.reset();
        frame.reset();
        movies.reset();
        EmptyAnimation();
    }

    static void EmptyAnimation()
    {
        delete g_animDoc.m_pImage;
        g_animDoc.m_pImage = nullptr;
        g_animDoc.BuildFrames(); // no source: no frames
    }

    CDlgWiz4* Page() { return static_cast<CDlgWiz4*>(frame->Page(kPagePictureEditor)); }
    RecordingMovie* Movie() { return RecordingMovies::Of(Page()->m_movie); }
    uint32_t Pixel(int x, int y) { return Page()->m_surface->Pixel(x, y); }

    // Makes a picture with tests/picture/picture_fixtures.py.
    std::string Fixture(const std::string& name, const std::string& arguments)
    {
        const std::string path = scratch.File(name);
        const testsupport::ShellResult run =
            testsupport::RunShell("/usr/bin/python3 " TESSARY_SOURCE_DIR "/tests/picture/picture_fixtures.py " +
                                      arguments.substr(0, arguments.find(' ')) + " " + testsupport::ShellQuote(path) +
                                      arguments.substr(arguments.find(' ')),
                                  scratch.Path());
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return path;
    }

    // What the content page does with a new source: the animation built from it.
    void LoadAnimation(const std::string& path)
    {
        const DelayLimits limits = DefaultDelayLimits(g_imageSize);
        g_animDoc.SetDelayLimits(limits.minDelay, limits.maxDelay, limits.defaultDelay);
        ASSERT_TRUE(g_animDoc.Load(path, kAllowAll, 0)) << path;
        ASSERT_TRUE(g_animDoc.BuildFrames()) << path;
        g_strSourcePath = path;
        g_nCurrentFrame = 0;
        g_pageRoute = 0;
    }

    // What the content page does with a picture chosen for insertion.
    void LoadInsertion(const std::string& path)
    {
        g_strInsertPath = path;
        ASSERT_TRUE(g_picture.Load(path, kAllowAll, 0)) << path;
        g_picture.EnsureGifPalette();
        g_pageRoute = 1;
    }

    // Shows the page as the frame does after a switch (hiding it first when it is shown).
    void ShowPage()
    {
        for (CWizPage* page : frame->m_pages)
            if (page != Page())
                page->hide();
        frame->m_previous = Page()->isVisible() ? kPagePictureEditor : kNoPage;
        frame->m_current = kPagePictureEditor;
        frame->ShowCurrentPage();
        Pump();
    }

    void Command(const std::string& command, const std::string& args = "")
    {
        Page()->m_movie->FireFSCommand(command, args);
        Pump();
    }

    // The mouse, through the frame's window (the page fills it from 0, 0).
    QWindow* Window() { return frame->windowHandle(); }
    void MoveTo(QPoint at, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseEvent(QTest::MouseMove, Window(), Qt::NoButton, modifiers, at);
        Pump();
    }
    void Press(QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mousePress(Window(), button, {}, at);
        Pump();
    }
    void Release(QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseRelease(Window(), button, {}, at);
        Pump();
    }
    // Points at `from`, presses, moves one pixel toward `to` (still on what was
    // pressed, as the first move of a real drag is), goes to `to` in a few
    // steps and lets go.
    void Drag(QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton)
    {
        auto sign = [](int v) { return v > 0 ? 1 : v < 0 ? -1 : 0; };
        MoveTo(from);
        Press(from, button);
        MoveTo(from + QPoint(sign(to.x() - from.x()), sign(to.y() - from.y())));
        for (int k = 1; k <= 4; ++k)
            MoveTo(from + (to - from) * k / 4);
        Release(to, button);
    }

    // The picture alone at (x, y), as the picture box shows it without the selection.
    uint32_t PictureOnly(int x, int y)
    {
        std::vector<uint32_t> pixels(580 * 411, 0);
        RasterSurface view;
        view.pixels = pixels.data();
        view.width = 580;
        view.height = 411;
        view.stride = 580;
        view.clip = RECT{0, 0, 580, 411};
        g_picture.m_pImage->Draw(&view, g_picture.m_rcDisplay, &g_picture.m_rcClip);
        return pixels[size_t(y) * 580 + size_t(x)];
    }

    RECT Selection() { return Page()->m_tool.GetSelection(); }
    Qt::CursorShape SourceCursor() { return Page()->m_pSourceMask->cursor().shape(); }

    // The result the page must show for the current edit and selection.
    std::unique_ptr<CRaster> ExpectedResult()
    {
        PictureEdit edit = Page()->m_edit;
        edit.rcSelection = Selection();
        return std::unique_ptr<CRaster>(BuildResult(g_picture, edit, g_pageRoute, g_imageSize, nullptr));
    }

    testsupport::ScratchDir scratch{"tessary-picture-page"};
    std::unique_ptr<RecordingMovies> movies;
    std::unique_ptr<CDlgFrame> frame;
    std::unique_ptr<platform::MessageBoxRecorder> boxes;
};

} // namespace

TEST_F(PicturePage, ShowStartsAFreshEditOfWhatTheRouteBrings)
{
    const std::string source = Fixture("holiday-at-the-sea.png", "scene 300 200");
    const std::string small = Fixture("small.png", "scene 64 64");
    const struct {
        const char* name;
        int route;
        const char* selectType;
        int imageSize;
        bool wantFitAll;
        int wantTarget;
    } cases[] = {
        {"new source, selection", 0, "Selection", 128, false, 128},
        {"new source, whole picture, half screen", 0, "ALL", 64, true, 64},
        {"modify, whole picture", 2, "all", 128, true, 64},
        {"insert, selection", 1, "", 128, false, 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_imageSize = c.imageSize;
        LoadAnimation(c.route == 0 ? source : small);
        g_strSourcePath = source;
        g_nCurrentFrame = 0;
        if (c.route == 2)
            g_picture.SetImage(g_animDoc.CopyFrame(0));
        if (c.route == 1)
            LoadInsertion(source);
        g_pageRoute = c.route;
        Movie()->variables["_SelectType"] = c.selectType;
        ShowPage();
        // Whatever the previous visit did is forgotten.
        Command("ButtonRotateright");
        Command("ButtonMirror");
        Command("lightness", "45");
        Command("SelectApply", "All");
        ShowPage();

        const PictureEdit& edit = Page()->m_edit;
        EXPECT_EQ(edit.nQuarterTurns, 0);
        EXPECT_TRUE(edit.bNotMirrored);
        EXPECT_EQ(edit.dLightness, 0.0);
        EXPECT_FALSE(edit.bApplyAll);
        EXPECT_EQ(edit.bFitAll, c.wantFitAll);
        EXPECT_EQ(edit.nTargetWidth, c.wantTarget);
        EXPECT_EQ(edit.nTargetHeight, c.wantTarget);
        EXPECT_EQ(Page()->m_tool.IsActive(), !c.wantFitAll) << "the first paint attaches the selection";
        if (c.route == 0) {
            EXPECT_EQ(g_nCurrentFrame, -1);
            EXPECT_NE(g_picture.m_pImage, g_animDoc.GetFrame(0)) << "a copy, not the frame";
            EXPECT_TRUE(testsupport::SameColours(g_picture.m_pImage, g_animDoc.GetFrame(0)));
        } else {
            EXPECT_EQ(g_nCurrentFrame, 0);
        }
        EXPECT_EQ(g_strAnimName, "holiday-at-t");
        EXPECT_EQ(Movie()->variables["filename"], "holiday-at-the-sea.png");
        EXPECT_EQ(g_picture.m_x, 33);
        EXPECT_EQ(g_picture.m_y, 109);
    }
}

// The shown picture is always the loaded one, mirrored when the edit says so,
// then turned right nQuarterTurns times: the re-edit of other frames relies on it.
TEST_F(PicturePage, TurnButtonsKeepTheBookkeepingOfThePictureShown)
{
    const std::string source = Fixture("scene.png", "scene 90 60");
    const struct {
        std::vector<const char*> buttons;
        int wantTurns;
        bool wantNotMirrored;
    } cases[] = {
        {{"ButtonRotateright"}, 1, true},
        {{"ButtonRotateright", "ButtonMirror"}, 3, false},
        {{"ButtonRotateright", "ButtonMirror", "ButtonMirror"}, 1, true},
        {{"ButtonRotateleft"}, -1, true},
        {{"ButtonRotateleft", "ButtonFlip"}, 3, false},
        {{"ButtonFlip", "ButtonRotateright", "ButtonRotateright"}, 4, false},
        {{"ButtonMirror", "ButtonFlip"}, 2, true},
    };
    for (const auto& c : cases) {
        LoadAnimation(source);
        ShowPage();
        std::string trace;
        for (const char* button : c.buttons) {
            Command(button);
            trace += std::string(button) + " ";
        }
        SCOPED_TRACE(trace);
        const PictureEdit& edit = Page()->m_edit;
        EXPECT_EQ(edit.nQuarterTurns, c.wantTurns);
        EXPECT_EQ(edit.bNotMirrored, c.wantNotMirrored);

        CEditPicture replay;
        replay.SetImage(g_animDoc.CopyFrame(0));
        if (!edit.bNotMirrored)
            replay.Mirror();
        for (int t = 0; t < ((edit.nQuarterTurns % 4) + 4) % 4; ++t)
            replay.RotateRight();
        EXPECT_TRUE(testsupport::SameColours(g_picture.m_pImage, replay.m_pImage));

        // Each button centres the selection again on the picture as now shown.
        CSelectionTool centred;
        const RECT& shown = g_picture.m_rcDisplay;
        centred.Attach(nullptr, shown.left, shown.top, shown.right, shown.bottom);
        EXPECT_EQ(Selection(), centred.GetSelection());
    }
}

TEST_F(PicturePage, TheWholePictureIsFittedAsABandOnBlack)
{
    LoadAnimation(Fixture("wide.png", "scene 256 128"));
    ShowPage();
    const struct {
        const char* arg;
        bool wantFitAll;
    } cases[] = {{"All", true}, {"Selection", false}, {"all", true}, {"One", false}, {"ALL", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arg);
        Command("SelectAll", c.arg);
        EXPECT_EQ(Page()->m_edit.bFitAll, c.wantFitAll);
        // A 2:1 picture fitted into 128 x 128 is a band 64 high at y 32, on black.
        for (int y : {135, 135 + 31, 135 + 96, 135 + 127})
            EXPECT_EQ(Pixel(470, y) == kOpaqueBlack, c.wantFitAll) << "preview row " << y - 135;
        for (int y : {135 + 32, 135 + 95})
            EXPECT_NE(Pixel(470, y), kOpaqueBlack) << "preview row " << y - 135;
    }

    const struct {
        const char* arg;
        bool wantApplyAll;
    } apply[] = {{"All", true}, {"One", false}, {"all", false}, {"All", true}, {"", false}};
    for (const auto& a : apply) {
        Command("SelectApply", a.arg);
        EXPECT_EQ(Page()->m_edit.bApplyAll, a.wantApplyAll) << a.arg;
    }
}

TEST_F(PicturePage, TheResultIsCentredInThePreviewBox)
{
    // Each size gets a frame of its own: the preview overlay is made on the first show.
    for (int size : {64, 128}) {
        SCOPED_TRACE(size);
        TearDown();
        SetUp();
        g_imageSize = size;
        LoadAnimation(Fixture("scene.png", "scene 200 200"));
        ShowPage();
        const int at = 406 + (128 - size) / 2;
        EXPECT_EQ(Page()->m_pPreviewMask->geometry(), QRect(at, 135 + (128 - size) / 2, size, size));
        EXPECT_EQ(Page()->m_preview.m_x, at);
        // The sky of the picture's top-left corner, inside the black box.
        EXPECT_NE(Pixel(at, at - 406 + 135), kOpaqueBlack);
        EXPECT_NE(Pixel(at + size - 1, at - 406 + 135 + size - 1), kOpaqueBlack);
        if (size < 128) {
            EXPECT_EQ(Pixel(at - 1, at - 406 + 135), kOpaqueBlack);
            EXPECT_EQ(Pixel(at + size, at - 406 + 135), kOpaqueBlack);
            EXPECT_EQ(Pixel(at, 135), kOpaqueBlack);
        }
    }
}

TEST_F(PicturePage, NothingToCutOutSaysCantExtractAndStays)
{
    LoadAnimation(Fixture("scene.png", "scene 200 200"));
    ShowPage();
    ASSERT_NE(Pixel(470, 200), kOpaqueBlack);
    EmptyAnimation();
    g_strSourcePath = "/nowhere/empty.gif";
    ShowPage(); // route 0 with an empty animation: no picture at all
    EXPECT_EQ(Pixel(470, 200), kOpaqueBlack) << "the last visit's result is gone";
    EXPECT_EQ(Pixel(100, 200), kOpaqueBlack);
    Movie()->calls.clear();
    Command("ChangeStep", "4");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(Page(), &enter);
    Pump();
    ASSERT_EQ(boxes->Boxes().size(), 2u) << "Next and Enter";
    for (const platform::MessageBoxRequest& box : boxes->Boxes()) {
        EXPECT_EQ(box.text, "Can't extract!");
        EXPECT_EQ(box.caption, "Create Animation");
        EXPECT_EQ(box.buttons, platform::BoxButtons::Ok);
        EXPECT_EQ(box.owner, static_cast<QWidget*>(frame.get()));
    }
    EXPECT_EQ(frame->m_current, kPagePictureEditor);
    EXPECT_TRUE(Movie()->calls.empty()) << Movie()->calls.front();
}

TEST_F(PicturePage, NextPutsTheResultIntoTheAnimationAsTheRouteSays)
{
    const std::string animation = Fixture("anim.gif", "frames 3 160 120");
    const std::string insertion = Fixture("insert.gif", "frames 2 90 60");
    const struct {
        const char* name;
        int route;
        int current;
        int wantFrames;
        int wantCurrent;
        std::vector<int> wantNew; // frames that must be new pictures
    } cases[] = {
        {"new source: every frame", 0, 0, 3, -1, {0, 1, 2}},
        {"modify frame 1", 2, 1, 3, 1, {1}},
        {"insert an animation before frame 1", 1, 1, 5, 2, {1, 2}},
        {"insert after the last frame", 1, 3, 5, 4, {3, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadAnimation(animation);
        if (c.route != 0) {
            // The animation editor's frames are phone pictures already.
            ShowPage();
            Command("ChangeStep", "4");
            ASSERT_EQ(g_animDoc.GetWidth(), 128);
        }
        std::vector<CRaster*> before(size_t(g_animDoc.GetFrameCount()));
        for (int i = 0; i < g_animDoc.GetFrameCount(); ++i)
            before[size_t(i)] = g_animDoc.GetFrame(i);
        g_nCurrentFrame = c.current;
        if (c.route == 2)
            g_picture.SetImage(g_animDoc.CopyFrame(c.current));
        if (c.route == 1)
            LoadInsertion(insertion);
        g_pageRoute = c.route;
        ShowPage();
        Movie()->calls.clear();
        Command("ChangeStep", "4");

        EXPECT_TRUE(boxes->Boxes().empty());
        ASSERT_EQ(g_animDoc.GetFrameCount(), c.wantFrames);
        EXPECT_EQ(g_nCurrentFrame, c.wantCurrent);
        for (int i = 0; i < c.wantFrames; ++i) {
            const bool isNew = std::find(c.wantNew.begin(), c.wantNew.end(), i) != c.wantNew.end();
            EXPECT_EQ(g_animDoc.GetFrame(i)->GetWidth(), 128u) << "frame " << i;
            EXPECT_EQ(g_animDoc.GetFrame(i)->GetHeight(), 128u) << "frame " << i;
            if (!isNew) {
                // Untouched frames keep their pictures (shifted past an insertion).
                const int old = c.route == 1 && i > c.current ? i - 2 : i;
                EXPECT_EQ(g_animDoc.GetFrame(i), before[size_t(old)]) << "frame " << i;
            }
        }
        const std::vector<std::string> want = {"GotoFrame 5", "GotoFrame 6"};
        EXPECT_EQ(Movie()->calls, want);
        EXPECT_EQ(frame->m_current, kPageAnimEditor);
    }
}

TEST_F(PicturePage, DraggingMovesTheSelectionAndKeepsItOnThePicture)
{
    LoadAnimation(Fixture("wide.png", "scene 364 182"));
    ShowPage();
    // Shown 182 x 91, so the centred square is (78, 109) to (169, 200).
    ASSERT_EQ(g_picture.m_rcDisplay, (RECT{33, 109, 215, 200}));
    ASSERT_EQ(Selection(), (RECT{78, 109, 169, 200}));
    const std::unique_ptr<CRaster> centred = ExpectedResult();

    MoveTo({100, 150});
    EXPECT_EQ(SourceCursor(), Qt::SizeAllCursor);
    Press({100, 150});
    MoveTo({90, 150});
    EXPECT_EQ(Selection(), (RECT{68, 109, 159, 200}));
    // Far past the picture and out of the picture box: the overlay keeps the
    // mouse while the button is down, and the selection stops at the edge.
    MoveTo({400, 150});
    EXPECT_EQ(Selection(), (RECT{124, 109, 215, 200}));
    MoveTo({-20 + 33, 300});
    EXPECT_EQ(Selection(), (RECT{33, 109, 124, 200}));
    Release({13, 300});
    MoveTo({150, 150});
    EXPECT_EQ(Selection(), (RECT{33, 109, 124, 200})) << "no button, no move";

    // The cursor over each part of the selection, set on the overlay under the pointer.
    const struct {
        QPoint at;
        Qt::CursorShape want;
    } cursors[] = {
        {{37, 113}, Qt::SizeFDiagCursor},  {{120, 113}, Qt::SizeBDiagCursor}, {{37, 196}, Qt::SizeBDiagCursor},
        {{120, 196}, Qt::SizeFDiagCursor}, {{80, 150}, Qt::SizeAllCursor},    {{180, 150}, Qt::ArrowCursor},
    };
    for (const auto& c : cursors) {
        MoveTo(c.at);
        EXPECT_EQ(SourceCursor(), c.want) << c.at.x() << ", " << c.at.y();
    }
    Page()->m_pPreviewMask->setCursor(Qt::WaitCursor);
    MoveTo({470, 200});
    EXPECT_EQ(Page()->m_pPreviewMask->cursor().shape(), Qt::ArrowCursor);

    // The preview follows the selection.
    const std::unique_ptr<CRaster> moved = ExpectedResult();
    EXPECT_FALSE(testsupport::SameColours(moved.get(), centred.get()));
    EXPECT_TRUE(testsupport::SameColours(Page()->m_preview.m_pImage, moved.get()));

    // The selection's frame is drawn inverted over the picture: its top edge
    // has a dash from 10 to 18 pixels after the corner and a gap after it.
    Page()->Invalidate();
    Pump();
    const uint32_t dash = Pixel(33 + 12, 110);
    EXPECT_EQ(dash, 0xFF000000u | (~PictureOnly(33 + 12, 110) & 0xFFFFFFu));
    EXPECT_EQ(Pixel(33 + 19, 110), PictureOnly(33 + 19, 110));
    EXPECT_EQ(Pixel(33 + 50, 150), PictureOnly(33 + 50, 150)) << "inside the selection";
}

TEST_F(PicturePage, DraggingACornerResizesItDownToFortyPixels)
{
    const std::string source = Fixture("wide.png", "scene 364 182");
    // Selection (78, 109) to (169, 200); each handle's centre lies 4 pixels inside its corner.
    const struct {
        const char* name;
        QPoint handle;
        QPoint to; // far across the opposite corner, outside the picture box
        RECT want;
    } cases[] = {
        {"top-left", {82, 113}, {300, 330}, {129, 160, 169, 200}},
        {"top-right", {165, 113}, {10, 330}, {78, 160, 118, 200}},
        {"bottom-left", {82, 196}, {300, 20}, {129, 109, 169, 149}},
        {"bottom-right", {165, 196}, {10, 20}, {78, 109, 118, 149}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadAnimation(source);
        ShowPage();
        ASSERT_EQ(Selection(), (RECT{78, 109, 169, 200}));
        Drag(c.handle, c.to);
        EXPECT_EQ(Selection(), c.want);
        const RECT s = Selection();
        EXPECT_EQ(s.right - s.left, 40);
        EXPECT_EQ(s.bottom - s.top, 40);
        EXPECT_TRUE(testsupport::SameColours(Page()->m_preview.m_pImage, ExpectedResult().get()));
    }

    // A corner dragged a little way keeps the square and its anchor.
    LoadAnimation(source);
    ShowPage();
    Drag({165, 196}, {145, 186});
    EXPECT_EQ(Selection(), (RECT{78, 109, 145, 176}));
}

// Any button, Shift or Control held while the mouse moves drags the
// selection; a move with nothing held (or only Alt) does not.
TEST_F(PicturePage, ButtonsAndModifierKeysHeldDragTheSelection)
{
    LoadAnimation(Fixture("wide.png", "scene 364 182"));
    const struct {
        const char* name;
        Qt::MouseButton button;
        Qt::KeyboardModifiers modifiers;
        bool wantMoved;
    } cases[] = {
        {"left", Qt::LeftButton, {}, true},
        {"right", Qt::RightButton, {}, true},
        {"middle", Qt::MiddleButton, {}, true},
        {"shift", Qt::NoButton, Qt::ShiftModifier, true},
        {"control", Qt::NoButton, Qt::ControlModifier, true},
        {"alt", Qt::NoButton, Qt::AltModifier, false},
        {"nothing", Qt::NoButton, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ShowPage();
        ASSERT_EQ(Selection().left, 78);
        MoveTo({100, 150});
        if (c.button != Qt::NoButton)
            Press({100, 150}, c.button);
        MoveTo({110, 150}, c.modifiers);
        EXPECT_EQ(Selection().left, c.wantMoved ? 88 : 78);
        if (c.button != Qt::NoButton)
            Release({110, 150}, c.button);
        MoveTo({110, 150});
    }
}

TEST_F(PicturePage, TheWholePictureIgnoresTheMouse)
{
    LoadAnimation(Fixture("wide.png", "scene 364 182"));
    ShowPage();
    Command("SelectAll", "All");
    const std::unique_ptr<CRaster> fitted = ExpectedResult();
    Drag({100, 150}, {150, 150});
    EXPECT_EQ(Selection(), (RECT{78, 109, 169, 200}));
    EXPECT_TRUE(testsupport::SameColours(Page()->m_preview.m_pImage, fitted.get()));
    Command("SelectAll", "Selection");
    EXPECT_EQ(Selection(), (RECT{78, 109, 169, 200}));
    Drag({100, 150}, {150, 150});
    EXPECT_EQ(Selection(), (RECT{124, 109, 215, 200}));
}

TEST_F(PicturePage, LightnessLightensThePreviewByTheSlidersSixtieth)
{
    LoadAnimation(Fixture("scene.png", "scene 200 150"));
    ShowPage();
    const struct {
        const char* arg;
        double wantAmount;
        long wantBrightness;
    } cases[] = {
        {"30", 0.5, 64},
        {"-60", -1.0, -128},
        {"0", 0.0, 0},
        {"7", 7 / 60.0, 14},
        {"99999999999", 2147483647 / 60.0, long(2147483647 / 60.0 * 128)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arg);
        Command("lightness", c.arg);
        EXPECT_DOUBLE_EQ(Page()->m_edit.dLightness, c.wantAmount);
        CEditPicture plain;
        plain.SetImage(new CRaster(*g_picture.m_pImage));
        plain.m_rcDisplay = g_picture.m_rcDisplay;
        const RECT s = Selection();
        std::unique_ptr<CRaster> want(plain.CropToSize(s.left, s.top, s.right, s.bottom, 128, 128));
        if (c.wantBrightness != 0)
            want->Light(c.wantBrightness, 100);
        EXPECT_TRUE(testsupport::SameColours(Page()->m_preview.m_pImage, want.get()));
    }
}

TEST_F(PicturePage, AFullAnimationStopsTheInsertionAndSaysSo)
{
    const std::string insertion = Fixture("insert.gif", "frames 3 48 48");
    const struct {
        const char* movieText;
        std::string wantText;
    } cases[] = {
        {"Full! %1% left out.", "Full! 2 left out."},
        {"", "The animation is full: it can hold at most 256 frames. Pictures left out: 2. "
             "Delete some frames to make room for them."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.movieText);
        LoadAnimation(Fixture("one.png", "scene 32 32"));
        while (g_animDoc.GetFrameCount() < 255)
            g_animDoc.InsertFrame(g_animDoc.GetFrameCount(), g_animDoc.CopyFrame(0));
        g_nCurrentFrame = 255; // after the last frame
        LoadInsertion(insertion);
        Movie()->variables["TxtAnimFull"] = c.movieText;
        ShowPage();
        boxes->ClearBoxes();
        Command("ChangeStep", "4");
        EXPECT_EQ(g_animDoc.GetFrameCount(), 256);
        EXPECT_EQ(g_nCurrentFrame, 255) << "the last frame really inserted";
        ASSERT_EQ(boxes->Boxes().size(), 1u);
        EXPECT_EQ(boxes->Boxes()[0].text, c.wantText);
        EXPECT_EQ(boxes->Boxes()[0].caption, "Create Animation");
        EXPECT_EQ(frame->m_current, kPageAnimEditor) << "the user goes on to make room";
    }
}

// The page and `tessary-anim make` share the code from the loaded source to
// the written file: the same source and edit give the same bytes.
TEST_F(PicturePage, TheResultEqualsWhatTheBatchToolMakes)
{
    const struct {
        const char* name;
        const char* fixture;
        const char* file;
        int imageSize;
        std::vector<std::pair<const char*, const char*>> commands;
        QPoint dragFrom, dragTo; // a drag when they differ
        std::string makeOptions;
    } cases[] = {
        {"turned, mirrored, moved and lighter", "scene 300 200", "photo.png", 128,
         {{"ButtonRotateright", ""}, {"ButtonMirror", ""}, {"lightness", "30"}},
         {120, 200}, {135, 180}, "--rotate-right 1 --mirror --lightness 30"},
        {"whole picture, half screen, flipped and darker", "scene 200 300", "tall.jpg", 64,
         {{"SelectAll", "All"}, {"ButtonFlip", ""}, {"lightness", "-45"}}, {}, {}, "--fit --flip --lightness -45"},
        {"animated, turned left, corner dragged", "frames 5 160 120", "anim.gif", 128,
         {{"ButtonRotateleft", ""}}, {165, 264}, {140, 240}, "--rotate-left 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_imageSize = c.imageSize;
        const std::string source = Fixture(c.file, c.fixture);
        LoadAnimation(source);
        Movie()->variables["_SelectType"] = "Selection";
        ShowPage();
        for (const auto& [command, args] : c.commands)
            Command(command, args);
        if (c.dragFrom != c.dragTo)
            Drag(c.dragFrom, c.dragTo);
        const RECT s = Selection();
        Command("ChangeStep", "4");
        ASSERT_EQ(frame->m_current, kPageAnimEditor);
        const std::string ours = scratch.File("page.gif");
        ASSERT_TRUE(g_animDoc.SaveGif(ours));

        const std::string theirs = scratch.File("make.gif");
        std::string line = TESSARY_BINARY_DIR "/bin/tessary-anim make " + testsupport::ShellQuote(source) + " -o " +
                           testsupport::ShellQuote(theirs) + " --size " + std::to_string(c.imageSize) + " " +
                           c.makeOptions;
        if (std::string(c.makeOptions).find("--fit") == std::string::npos)
            line += " --select " + std::to_string(s.left) + "," + std::to_string(s.top) + "," +
                    std::to_string(s.right) + "," + std::to_string(s.bottom);
        const testsupport::ShellResult run = testsupport::RunShell(line, scratch.Path());
        ASSERT_EQ(run.exitCode, 0) << line << "\n" << run.err;
        const std::string ourBytes = testsupport::ReadFile(ours);
        ASSERT_GT(ourBytes.size(), 100u);
        EXPECT_TRUE(ourBytes == testsupport::ReadFile(theirs)) << "the page and make differ for " << line;
        ShowPage();
    }
}
