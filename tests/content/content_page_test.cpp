// The content page offscreen, with a recording movie and fixture folders: the
// list of a folder, picking a file, both routes, the boxes, "BrowseAnim", the
// folder buttons and a folder that vanishes.
#include "dlg_frame.h"
#include "dlg_wiz2.h"
#include "edit_picture.h"
#include "folder_view.h"
#include "message_box.h"
#include "messages.h"
#include "page_factory.h"
#include "route_tables.h"
#include "settings.h"
#include "wizard_globals.h"
#include "wizard_test_support.h"
#include "window_message.h"

#include "content_test_support.h"
#include "test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QListWidget>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using wizard_test::Pump;
using wizard_test::RecordingMovie;
using wizard_test::RecordingMovies;
namespace fs = std::filesystem;

class ContentPage : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_root = new testsupport::ScratchDir("content-page");
        ASSERT_TRUE(content_test::WriteFixtures("few", Folder("pictures")));
        fs::copy_file(fs::path(TESSARY_SOURCE_DIR) / "resources/samples/bouncing-ball.gif",
                      Folder("pictures") + "/anim.gif");
        testsupport::WriteFile(Folder("pictures") + "/broken.png", "no picture");
        testsupport::WriteFile(Folder("pictures") + "/notes.txt", "not listed");
        ASSERT_TRUE(content_test::WriteFixtures("few", Folder("other")));
        fs::rename(Folder("other") + "/a.png", Folder("other") + "/z.png");
        fs::create_directories(Folder("pictures") + "/.hidden");
        fs::create_directories(Folder("pictures") + "/child");
    }
    static void TearDownTestSuite()
    {
        delete s_root;
        s_root = nullptr;
    }
    static std::string Folder(const std::string& name) { return s_root->File(name); }

    void SetUp() override
    {
        wizard_test::EnsureApp();
        g_messages = BuildMessages("EN");
        g_tempGifPath.clear();
        g_pageRoute = 0;
        g_createNew = 0;
        g_imageSize = 128;
        ASSERT_TRUE(WriteSettingString("BrowseAnim", Folder("pictures"), kSubKeyWizardsUser));
        movies = std::make_unique<RecordingMovies>();
        frame = std::make_unique<CDlgFrame>(&CreateWizardPage);
        frame->OnInitDialog();
        frame->show();
        Pump(CDlgFrame::kPageTimerMs + 100);
        ASSERT_EQ(frame->m_pages.size(), 6u);
        page = static_cast<CDlgWiz2*>(frame->Page(kPageContent));
        movie = RecordingMovies::Of(page->m_movie);
        ASSERT_NE(movie, nullptr);
    }
    void TearDown() override
    {
        frame.reset();
        movies.reset();
    }

    void ShowOnly(int i)
    {
        for (CWizPage* p : frame->m_pages)
            p->hide();
        frame->m_previous = kNoPage;
        frame->m_current = i;
        frame->ShowCurrentPage();
    }
    // Shows the content page and waits until its list is complete.
    void ShowContent()
    {
        ShowOnly(kPageContent);
        WaitForList();
    }
    void WaitForList()
    {
        QElapsedTimer timer;
        timer.start();
        while (page->m_nScanDone != page->m_nScan && timer.elapsed() < 60000)
            Pump(5);
        ASSERT_EQ(page->m_nScanDone, page->m_nScan) << "the list was not filled";
    }
    std::vector<std::string> ListNames() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < page->m_list->count(); ++i)
            names.push_back(page->m_list->item(i)->text().toStdString());
        return names;
    }
    void Pick(const std::string& name)
    {
        const QList<QListWidgetItem*> found =
            page->m_list->findItems(QString::fromStdString(name), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        page->m_list->setCurrentItem(found.front());
        found.front()->setSelected(true);
        Pump();
    }
    int Next() { return movie->TCurrentFrame("next"); }
    void Command(const std::string& command, const std::string& args)
    {
        page->m_movie->FireFSCommand(command, args);
        Pump();
    }

    std::unique_ptr<RecordingMovies> movies;
    std::unique_ptr<CDlgFrame> frame;
    CDlgWiz2* page = nullptr;
    RecordingMovie* movie = nullptr;
    static testsupport::ScratchDir* s_root;
};

testsupport::ScratchDir* ContentPage::s_root = nullptr;

const std::vector<std::string> kPictures = {"a.png", "anim.gif", "b.gif", "broken.png", "c.bmp"};

TEST_F(ContentPage, FirstShowingListsTheFolderOfTheLastPickAndAPickEnablesNext)
{
    ShowContent();
    EXPECT_EQ(page->m_folders->GetSelectedFolder(), Folder("pictures"));
    EXPECT_EQ(ListNames(), kPictures);
    EXPECT_FALSE(page->m_list->item(0)->icon().isNull());
    EXPECT_EQ(Next(), 0);
    Pick("b.gif");
    EXPECT_EQ(page->m_strSelection, Folder("pictures") + "/b.gif");
    EXPECT_EQ(page->m_nSelItem, 2);
    EXPECT_EQ(Next(), 1);
    page->m_list->clearSelection();
    Pump();
    EXPECT_EQ(page->m_nSelItem, -1);
    EXPECT_EQ(Next(), 0);
}

TEST_F(ContentPage, PickNamesTheListedFolderEvenWhenTheTreeMovedOn)
{
    ShowContent();
    // The tree already shows the next folder while its change is not handled yet.
    {
        const QSignalBlocker late(page->m_folders);
        page->m_folders->SelectPath(Folder("other"));
    }
    Pick("a.png");
    EXPECT_EQ(page->m_strSelection, Folder("pictures") + "/a.png");
}

TEST_F(ContentPage, AnotherFolderEmptiesTheListAtOnceAndShowsOnlyItsFiles)
{
    ShowContent();
    Pick("a.png");
    page->m_folders->SelectPath(Folder("other"));
    // Before any event runs: nothing of the old folder is left to pick.
    EXPECT_EQ(page->m_list->count(), 0);
    EXPECT_EQ(page->m_strFolder, Folder("other") + "/");
    EXPECT_EQ(page->m_strSelection, Folder("other") + "/");
    EXPECT_EQ(Next(), 0);
    WaitForList();
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"b.gif", "c.bmp", "z.png"}));
    Pick("z.png");
    EXPECT_EQ(page->m_strSelection, Folder("other") + "/z.png");
}

TEST_F(ContentPage, OpenPathLoadsTheAnimationWithTheLimitsOfTheSize)
{
    struct Case {
        int32_t size;
        uint32_t minDelay, maxDelay, defaultDelay;
    } cases[] = {{64, 5, 500, 50}, {128, 10, 500, 50}};
    for (const Case& c : cases) {
        ShowContent();
        g_imageSize = c.size;
        g_createNew = 1;
        g_pageRoute = 0;
        Pick("anim.gif");
        page->m_movie->FireFSCommand("ChangeStep", "3");
        EXPECT_EQ(g_nCurrentFrame, 0) << "before the picture editor takes every frame for its edit";
        Pump();
        EXPECT_EQ(frame->m_current, kPagePictureEditor) << c.size;
        EXPECT_EQ(g_strSourcePath, Folder("pictures") + "/anim.gif");
        EXPECT_GT(g_animDoc.GetFrameCount(), 1) << c.size;
        EXPECT_EQ(g_animDoc.GetMinDelay(), c.minDelay) << c.size;
        EXPECT_EQ(g_animDoc.GetMaxDelay(), c.maxDelay) << c.size;
        EXPECT_EQ(g_animDoc.GetDefaultDelay(), c.defaultDelay) << c.size;
        EXPECT_EQ(g_createNew, 0);
        EXPECT_EQ(ReadSettingString("BrowseAnim", nullptr, kSubKeyWizardsUser), Folder("pictures"));
    }
}

TEST_F(ContentPage, InsertPathLoadsOnePictureAsGifAndLeavesTheAnimation)
{
    ShowContent();
    g_pageRoute = 0;
    Pick("anim.gif");
    Command("ChangeStep", "3");
    const int32_t frames = g_animDoc.GetFrameCount();
    ASSERT_GT(frames, 1);

    ShowContent();
    g_pageRoute = 1;
    Pick("a.png");
    Command("ChangeStep", "3");
    EXPECT_EQ(frame->m_current, kPagePictureEditor);
    EXPECT_EQ(g_strInsertPath, Folder("pictures") + "/a.png");
    ASSERT_NE(g_picture.GetImage(), nullptr);
    EXPECT_EQ(g_picture.GetFormat(), 2);
    EXPECT_EQ(g_picture.GetImage()->GetBpp(), 8u);
    EXPECT_EQ(g_animDoc.GetFrameCount(), frames);
    EXPECT_EQ(g_strSourcePath, Folder("pictures") + "/anim.gif");
}

TEST_F(ContentPage, FileThatCannotBeLoadedIsReportedAndThePageStays)
{
    for (int route : {0, 1}) {
        ShowContent();
        ASSERT_TRUE(WriteSettingString("BrowseAnim", Folder("other"), kSubKeyWizardsUser));
        g_pageRoute = route;
        Pick("broken.png");
        platform::MessageBoxRecorder boxes;
        Command("ChangeStep", "3");
        EXPECT_EQ(frame->m_current, kPageContent) << "route " << route;
        std::vector<platform::MessageBoxRequest> ours;
        for (const platform::MessageBoxRequest& box : boxes.Boxes())
            if (box.text.rfind("Invalid picture :", 0) == 0)
                ours.push_back(box);
        ASSERT_EQ(ours.size(), 1u) << "route " << route;
        EXPECT_EQ(ours[0].text, "Invalid picture :" + Folder("pictures") + "/broken.png");
        EXPECT_EQ(ours[0].caption, "Create Animation");
        EXPECT_EQ(ours[0].owner, frame.get());
        EXPECT_EQ(ReadSettingString("BrowseAnim", nullptr, kSubKeyWizardsUser), Folder("pictures"))
            << "the folder is kept also when the file fails";
    }
}

TEST_F(ContentPage, FolderTooLongForTheStoreIsNotWrittenAsTheLastPick)
{
    std::string deep = Folder("deep");
    while (deep.size() < 600)
        deep += "/" + std::string(120, 'd');
    fs::create_directories(deep);
    fs::copy_file(Folder("pictures") + "/a.png", deep + "/a.png");
    ShowContent();
    page->m_folders->SelectPath(deep);
    WaitForList();
    ASSERT_EQ(page->m_folders->GetSelectedFolder(), deep);
    Pick("a.png");
    platform::MessageBoxRecorder boxes;
    Command("ChangeStep", "3");
    EXPECT_EQ(frame->m_current, kPagePictureEditor);
    EXPECT_EQ(ReadSettingString("BrowseAnim", nullptr, kSubKeyWizardsUser), Folder("pictures"));
    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Boxes().front().text;
}

TEST_F(ContentPage, EnterAndDoubleClickGoOnOnlyWhileNextIsEnabled)
{
    struct Case {
        bool doubleClick;
        int next;
        int wantPage;
    } cases[] = {{false, 0, kPageContent}, {true, 0, kPageContent}, {false, 1, kPagePictureEditor},
                 {true, 1, kPagePictureEditor}};
    for (const Case& c : cases) {
        ShowContent();
        g_pageRoute = 0;
        Pick("anim.gif");
        movie->clipFrames["next"] = c.next;
        if (c.doubleClick) {
            QListWidgetItem* item = page->m_list->item(1);
            const QPoint at = page->m_list->visualItemRect(item).center();
            QTest::mouseDClick(page->m_list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        } else {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(page->m_list, &press);
        }
        Pump();
        EXPECT_EQ(frame->m_current, c.wantPage) << (c.doubleClick ? "double-click" : "Enter") << ", next "
                                                << c.next;
    }
}

TEST_F(ContentPage, FolderButtonsGoToTheContentFolderAndUp)
{
    ASSERT_TRUE(WriteSettingString("home", Folder("other"), kSubKeyContentManager));
    ShowContent();
    Command("MyContent", "");
    EXPECT_EQ(page->m_folders->GetSelectedFolder(), Folder("other"));
    WaitForList();
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"b.gif", "c.bmp", "z.png"}));
    Command("ParentDir", "");
    EXPECT_EQ(page->m_folders->GetSelectedFolder(), s_root->Path().string());
    EXPECT_EQ(page->m_strFolder, s_root->Path().string() + "/");
}

TEST_F(ContentPage, FolderThatIsGoneOrHiddenSelectsItsNearestAncestor)
{
    ShowContent();
    struct Case {
        std::string path;
        bool exact;
        std::string want;
    } cases[] = {
        {Folder("pictures/child"), true, Folder("pictures/child")},
        {Folder("pictures/child/"), true, Folder("pictures/child")},
        {Folder("pictures/gone/deeper"), false, Folder("pictures")},
        {Folder("pictures/.hidden"), false, Folder("pictures")},
        {Folder("pictures/a.png"), false, Folder("pictures")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(page->m_folders->SelectPath(c.path), c.exact) << c.path;
        EXPECT_EQ(page->m_folders->GetSelectedFolder(), c.want) << c.path;
    }

    fs::create_directories(Folder("pictures/brief"));
    page->m_folders->SelectPath(Folder("pictures/brief"));
    WaitForList();
    fs::remove(Folder("pictures/brief"));
    // Back from the file manager: the frame tells its pages it was activated.
    platform::SendMessageToDescendants(frame.get(), WM_WIZ_ACTIVATED, 1, 0);
    Pump(50);
    EXPECT_EQ(page->m_folders->GetSelectedFolder(), Folder("pictures"));
    EXPECT_EQ(page->m_strFolder, Folder("pictures") + "/");
    WaitForList();
    EXPECT_EQ(ListNames(), kPictures);
}

TEST_F(ContentPage, ReturnToThePageKeepsTheListAndDropsThePick)
{
    ShowContent();
    Pick("c.bmp");
    const uint64_t scan = page->m_nScan;
    Command("ChangeStep", "1");
    ASSERT_EQ(frame->m_current, kPageStart);
    EXPECT_EQ(page->m_nSelItem, -1);
    EXPECT_TRUE(page->m_list->selectedItems().isEmpty());
    ShowOnly(kPageContent);
    Pump(50);
    EXPECT_EQ(page->m_nScan, scan) << "no new scan";
    EXPECT_EQ(ListNames(), kPictures);
    EXPECT_EQ(Next(), 0);
}

TEST_F(ContentPage, DestroyedWhileScanningALargeFolder)
{
    testsupport::ScratchDir many("content-many");
    ASSERT_TRUE(content_test::WriteFixtures("many", many.Path().string(), 30));
    ASSERT_TRUE(WriteSettingString("BrowseAnim", many.Path().string(), kSubKeyWizardsUser));
    ShowOnly(kPageContent);
    QElapsedTimer timer;
    timer.start();
    while (page->m_list->count() == 0 && timer.elapsed() < 30000)
        Pump(5);
    ASSERT_GT(page->m_list->count(), 0);
    frame.reset();
    page = nullptr;
    Pump(50);
}

} // namespace
