// The start page and the navigation of the other pages, driven through a
// recording movie: the movie's commands, Enter, Escape and leaving the wizard.
#include "dlg_frame.h"
#include "dlg_mask.h"
#include "dlg_wiz2.h"
#include "dlg_wiz1.h"
#include "edit_picture.h"
#include "message_box.h"
#include "messages.h"
#include "movie_ctrl.h"
#include "page_factory.h"
#include "shell_file_op.h"
#include "wiz_page.h"
#include "wizard_globals.h"
#include "wizard_test_support.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using wizard_test::Pump;
using wizard_test::RecordingMovie;
using wizard_test::RecordingMovies;

class WizardPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        wizard_test::EnsureApp();
        g_messages = BuildMessages("EN");
        // The animation editor leaves its animation for the save page, which
        // refuses to show without it.
        g_tempGifPath = animation.filePath(QStringLiteral("animation.gif")).toStdString();
        QFile gif(QString::fromStdString(g_tempGifPath));
        ASSERT_TRUE(gif.open(QIODevice::WriteOnly));
        gif.write("GIF89a");
        gif.close();
        movies = std::make_unique<RecordingMovies>();
        frame = std::make_unique<CDlgFrame>(&CreateWizardPage);
        frame->OnInitDialog();
        frame->show();
        Pump(CDlgFrame::kPageTimerMs + 100);
        ASSERT_EQ(frame->m_pages.size(), 6u);
    }
    void TearDown() override
    {
        frame.reset();
        movies.reset();
    }

    CWizPage* Page(int i) { return frame->Page(i); }
    RecordingMovie* Movie(int i) { return RecordingMovies::Of(Page(i)->m_movie); }

    // Shows page `i` as the frame would after a switch.
    void ShowOnly(int i)
    {
        for (CWizPage* page : frame->m_pages)
            page->hide();
        frame->m_previous = kNoPage;
        frame->m_current = i;
        frame->ShowCurrentPage();
    }

    // The picture editor goes on only with something to cut out: a picture as
    // the animation editor hands it over, before the page shows it, to modify a frame.
    static void GivePictureEditorAPicture() { g_picture.SetImage(new CRaster(16, 16, 24)); }

    // The movie of page `i` sends a command; the frame handles what the page posted.
    void Command(int i, const std::string& command, const std::string& args)
    {
        Page(i)->m_movie->FireFSCommand(command, args);
        Pump();
    }

    // The content page goes on only with a file picked in its list.
    void PickOnContentPage()
    {
        static_cast<CDlgWiz2*>(Page(kPageContent))->m_strSelection =
            TESSARY_SOURCE_DIR "/resources/samples/bouncing-ball.gif";
    }

    void Key(int i, int key)
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(Page(i)->m_movie, &press);
        Pump();
    }

    QTemporaryDir animation;
    std::unique_ptr<RecordingMovies> movies;
    std::unique_ptr<CDlgFrame> frame;
};

TEST_F(WizardPages, EveryPageLoadsItsMovieFrame)
{
    const char* frames[] = {"Plendix.swf?frm=1", "Plendix.swf?frm=2", "Plendix.swf?frm=3",
                            "Plendix.swf?frm=5", "Plendix.swf?frm=6", "Plendix.swf"};
    const std::string folder = "file://" + QCoreApplication::applicationDirPath().toStdString() + "/EN/";
    for (int i = 0; i < 6; ++i) {
        ASSERT_NE(Movie(i), nullptr);
        ASSERT_FALSE(Movie(i)->calls.empty());
        EXPECT_EQ(Movie(i)->calls.front(), "Movie " + folder + frames[i]) << "page " << i;
        EXPECT_EQ(Page(i)->m_movie->geometry(), QRect(0, 0, 580, 411)) << "page " << i;
    }
}

TEST_F(WizardPages, ChangeStepReadsTheChoicesAndGoesOn)
{
    struct Case {
        const char* imageSize;
        const char* action;
        bool setAction;
        int wantSize;
        int wantNew;
        int wantPage;
    } cases[] = {
        {"FullScreen", "Open", true, 128, 0, kPageContent},
        {"fullscreen", "open", true, 128, 0, kPageContent},
        {"FULLSCREEN", "OPEN", true, 128, 0, kPageContent},
        {"Full Screen", "Create", true, 64, 1, kPageAnimEditor},
        {"HalfScreen", "New", true, 64, 1, kPageAnimEditor},
        {"", "", true, 64, 1, kPageAnimEditor},
        {"FullScreen", "", false, 128, 1, kPageAnimEditor}, // no "Action" at all
    };
    for (const Case& c : cases) {
        ShowOnly(kPageStart);
        RecordingMovie* movie = Movie(kPageStart);
        movie->variables.clear();
        movie->variables["ImageSize"] = c.imageSize;
        if (c.setAction)
            movie->variables["Action"] = c.action;
        g_pageRoute = 7;
        Command(kPageStart, "ChangeStep", "2");
        EXPECT_EQ(g_imageSize, c.wantSize) << c.imageSize;
        EXPECT_EQ(g_createNew, c.wantNew) << c.action;
        // The frame reset the route when it went straight to the animation editor.
        EXPECT_EQ(g_pageRoute, c.wantNew == 1 ? 0 : c.wantNew) << c.action;
        EXPECT_EQ(frame->m_current, c.wantPage) << c.imageSize << " " << c.action;
    }
}

TEST_F(WizardPages, OtherStartCommandsOnlyTakeTheFocus)
{
    ShowOnly(kPageStart);
    Movie(kPageStart)->variables["Action"] = "Open";
    for (const auto& [command, args] : std::vector<std::pair<std::string, std::string>>{
             {"ChangeStep", "3"}, {"ChangeStep", ""}, {"changestep", "2"}, {"Exit", ""}, {"hello", "2"}}) {
        Command(kPageStart, command, args);
        EXPECT_EQ(frame->m_current, kPageStart) << command << " " << args;
        EXPECT_EQ(frame->result(), 0) << command;
    }
}

TEST_F(WizardPages, EnterGoesOnOnlyWhenTheIntroductionIsAtFrameOne)
{
    ShowOnly(kPageStart);
    RecordingMovie* movie = Movie(kPageStart);
    movie->variables["ImageSize"] = "FullScreen";
    movie->variables["Action"] = "Open";
    movie->clipFrames["MainIntro"] = 4;
    movie->calls.clear();
    Key(kPageStart, Qt::Key_Return);
    EXPECT_EQ(frame->m_current, kPageStart);
    EXPECT_EQ(movie->calls, std::vector<std::string>{"TGotoFrame MainIntro 1"});

    Key(kPageStart, Qt::Key_Enter);
    EXPECT_EQ(frame->m_current, kPageContent);
    EXPECT_EQ(g_imageSize, 128);
    EXPECT_EQ(g_createNew, 0);
}

TEST_F(WizardPages, EscapeNeverEndsTheWizard)
{
    for (int i = 0; i < 6; ++i) {
        ShowOnly(i);
        Key(i, Qt::Key_Escape);
        EXPECT_TRUE(frame->isVisible()) << "page " << i;
        EXPECT_EQ(frame->m_current, i);
    }
}

TEST_F(WizardPages, ExitFromTheStartPageAsksNothing)
{
    platform::MessageBoxRecorder boxes(platform::BoxResult::Cancel);
    ShowOnly(kPageStart);
    Command(kPageStart, "exit", "");
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(frame->result(), QDialog::Accepted);
}

TEST_F(WizardPages, ExitWithChangesAsksAndDeletesTheTemporaryFileOnOk)
{
    QTemporaryDir folder;
    const QString gif = folder.filePath(QStringLiteral("holiday.gif"));
    QFile file(gif);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("GIF89a");
    file.close();
    g_tempGifPath = gif.toStdString();

    platform::MessageBoxRecorder boxes;
    boxes.QueueAnswer(platform::BoxResult::Cancel);
    boxes.QueueAnswer(platform::BoxResult::Ok);
    ShowOnly(kPageAnimEditor);
    Command(kPageAnimEditor, "exit", "");
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "All your changes will be lost.\nAre you sure you want to exit ?");
    EXPECT_EQ(boxes.Boxes()[0].caption, "Create Animation");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::BoxIcon::Question);
    EXPECT_EQ(boxes.Boxes()[0].buttons, platform::BoxButtons::OkCancel);
    EXPECT_EQ(frame->result(), 0) << "Cancel keeps the wizard";
    EXPECT_TRUE(QFile::exists(gif));

    Command(kPageAnimEditor, "exit", "");
    EXPECT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(frame->result(), QDialog::Accepted);
    EXPECT_FALSE(QFile::exists(gif));
    EXPECT_TRUE(g_tempGifPath.empty());
}

TEST_F(WizardPages, PagesWithoutChangesLeaveWithoutAQuestion)
{
    const std::pair<int, bool> dirty[] = {{0, false}, {1, false}, {2, true}, {3, true}, {4, true}, {5, false}};
    for (const auto& [i, want] : dirty)
        EXPECT_EQ(Page(i)->m_bDirty, want) << "page " << i;
}

TEST_F(WizardPages, ReduceFromAPageMinimisesTheFrame)
{
    ShowOnly(kPageSave);
    Command(kPageSave, "reduce", "");
    EXPECT_TRUE(frame->windowState() & Qt::WindowMinimized);
}

TEST_F(WizardPages, NavigationCommandsOfEachPage)
{
    struct Case {
        int page;
        const char* command;
        const char* args;
        int createNew;
        int pageRoute;
        int wantPage;
        int wantRoute;
    } cases[] = {
        {kPageContent, "ChangeStep", "3", 0, 0, kPagePictureEditor, 0},
        {kPageContent, "ChangeStep", "1", 0, 0, kPageStart, 0},
        {kPageContent, "ChangeStep", "1", 1, 1, kPageAnimEditor, 0},
        {kPageContent, "ChangeStep", "2", 0, 0, kPageContent, 0},
        {kPageAnimEditor, "ChangeStep", "4", 0, 0, kPageSave, 0},
        {kPageAnimEditor, "ChangeStep", "4", 1, 0, kPageAnimEditor, 0}, // a new animation has nothing to write
        {kPageAnimEditor, "ChangeStep", "2", 1, 0, kPageStart, 0},
        {kPageAnimEditor, "ChangeStep", "2", 0, 0, kPagePictureEditor, 0},
        {kPageAnimEditor, "ButtonInsert", "1", 1, 0, kPageContent, 0},
        {kPageAnimEditor, "ButtonInsert", "0", 0, 0, kPageContent, 1},
        {kPageAnimEditor, "ButtonModify", "", 0, 0, kPagePictureEditor, 2},
        {kPagePictureEditor, "ChangeStep", "4", 0, 2, kPageAnimEditor, 0},
        {kPagePictureEditor, "ChangeStep", "2", 0, 2, kPageAnimEditor, 0},
        {kPagePictureEditor, "ChangeStep", "2", 0, 0, kPageContent, 0},
        {kPageSave, "ChangeStep", "4", 0, 0, kPageAnimEditor, 0},
        {kPageSave, "ChangeStep", "6", 0, 0, kPageTransfer, 0},
        {kPageTransfer, "ChangeStep", "5", 0, 0, kPageSave, 0},
        {kPageTransfer, "ChangeStep", "2", 0, 0, kPageStart, 0},
        {kPageTransfer, "TransferDone", "", 0, 0, kPageTransfer, 0},
    };
    // The animation editor works on an animation of one frame; its boxes are answered.
    platform::MessageBoxRecorder boxes;
    g_animDoc.SetDelayLimits(1, 500, 50);
    g_animDoc.InsertFrame(0, new CRaster(4, 4, 8));
    for (const Case& c : cases) {
        if (c.page == kPagePictureEditor) {
            g_pageRoute = c.pageRoute;
            GivePictureEditorAPicture();
        }
        ShowOnly(c.page);
        if (c.page == kPageContent)
            PickOnContentPage();
        g_createNew = c.createNew;
        g_pageRoute = c.pageRoute;
        Command(c.page, c.command, c.args);
        EXPECT_EQ(frame->m_current, c.wantPage) << "page " << c.page << ": " << c.command << " " << c.args;
        EXPECT_EQ(g_pageRoute, c.wantRoute) << "page " << c.page << ": " << c.command << " " << c.args;
    }
    DeleteTempFile(g_tempGifPath);
    g_animDoc.ShiftFrames(0, -1);
}

TEST_F(WizardPages, PictureEditorRestsItsMovieBeforeLeaving)
{
    g_pageRoute = 2;
    GivePictureEditorAPicture();
    ShowOnly(kPagePictureEditor);
    Movie(kPagePictureEditor)->calls.clear();
    Command(kPagePictureEditor, "ChangeStep", "4");
    EXPECT_EQ(Movie(kPagePictureEditor)->calls, (std::vector<std::string>{"GotoFrame 5", "GotoFrame 6"}));
}

TEST_F(WizardPages, ContentPageEnterNeedsAnEnabledNext)
{
    ShowOnly(kPageContent);
    PickOnContentPage();
    g_pageRoute = 0;
    Movie(kPageContent)->clipFrames["next"] = 0;
    Key(kPageContent, Qt::Key_Return);
    EXPECT_EQ(frame->m_current, kPageContent);
    Movie(kPageContent)->clipFrames["next"] = 1;
    Key(kPageContent, Qt::Key_Return);
    EXPECT_EQ(frame->m_current, kPagePictureEditor);
    EXPECT_EQ(Movie(kPageContent)->clipFrames["next"], 0) << "going on disables next";
}

TEST_F(WizardPages, TransferPageStartsOverAndDeletesTheTemporaryFile)
{
    QTemporaryDir folder;
    const QString gif = folder.filePath(QStringLiteral("a.gif"));
    QFile file(gif);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    g_tempGifPath = gif.toStdString();
    ShowOnly(kPageTransfer);
    Key(kPageTransfer, Qt::Key_Return);
    EXPECT_EQ(frame->m_current, kPageStart);
    EXPECT_FALSE(QFile::exists(gif));
    EXPECT_TRUE(g_tempGifPath.empty());
}

TEST(StartPageInit, OldPlayerIsReportedAndTheMovieStillLoads)
{
    wizard_test::EnsureApp();
    g_messages = BuildMessages("EN");
    platform::MessageBoxRecorder boxes;
    RecordingMovies movies(0x40000);
    CDlgFrame frame(&CreateWizardPage);
    frame.OnInitDialog();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, g_messages.MsgFlashMissing);
    EXPECT_EQ(boxes.Boxes()[0].caption, "Create Animation");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::BoxIcon::Error);
    ASSERT_NE(frame.Page(0), nullptr);
    EXPECT_EQ(RecordingMovies::Of(frame.Page(0)->m_movie)->calls.size(), 1u);
}

// Records what reaches the owner of a mask.
class MouseLog : public QWidget {
public:
    std::vector<std::tuple<QEvent::Type, QPoint, Qt::MouseButtons>> events;

protected:
    void mouseMoveEvent(QMouseEvent* e) override { events.emplace_back(e->type(), e->position().toPoint(), e->buttons()); }
    void mousePressEvent(QMouseEvent* e) override { events.emplace_back(e->type(), e->position().toPoint(), e->buttons()); }
    void mouseReleaseEvent(QMouseEvent* e) override { events.emplace_back(e->type(), e->position().toPoint(), e->buttons()); }
};

TEST(MaskOverlay, RelaysMovesWithItsOffsetAndClicksAtTheOrigin)
{
    wizard_test::EnsureApp();
    MouseLog owner;
    owner.resize(580, 411);
    auto* mask = new CDlgMask(&owner, 401, 155, 128, 128);
    EXPECT_EQ(mask->geometry(), QRect(401, 155, 128, 128));

    QMouseEvent move(QEvent::MouseMove, QPointF(10, 20), QPointF(), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(mask, &move);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(30, 40), QPointF(), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(mask, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(30, 40), QPointF(), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(mask, &release);
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(), Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(mask, &right);

    ASSERT_EQ(owner.events.size(), 3u) << "the right button is not relayed";
    EXPECT_EQ(owner.events[0], std::make_tuple(QEvent::MouseMove, QPoint(411, 175), Qt::MouseButtons(Qt::LeftButton)));
    EXPECT_EQ(owner.events[1], std::make_tuple(QEvent::MouseButtonPress, QPoint(0, 0), Qt::MouseButtons(Qt::LeftButton)));
    EXPECT_EQ(owner.events[2], std::make_tuple(QEvent::MouseButtonRelease, QPoint(0, 0), Qt::MouseButtons(Qt::NoButton)));
}

} // namespace
