// The save page through a recording movie: the sentence with the animation's
// name and size, the phone link it shows, a missing animation, and saving a
// copy through the save dialog and the program's file operations.
#include "dlg_wiz5.h"
#include "message_box.h"
#include "route_tables.h"
#include "save_file_dialog.h"
#include "settings.h"
#include "transfer_page_support.h"
#include "wizard_globals.h"

#include <sys/stat.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

using transfertest::GetSetting;
using transfertest::SetSetting;

class SavePage : public transfertest::PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        Movie(kPageSave)->variables["TxtPrepTr"] = kTemplate;
    }
    static constexpr const char* kTemplate = "Your animation %1% (%2% bytes) is ready. [%1%|%2%]";
    std::string Shown() { return Movie(kPageSave)->variables["TxtPrepTr"]; }
};

TEST_F(SavePage, EachShowFillsTheMoviesSentenceWithTheCurrentNameAndSize)
{
    SetSetting("", "Current Link", "USB");
    const std::string first = std::to_string(fs::file_size(g_tempGifPath));
    ShowOnly(kPageSave, kPageAnimEditor);
    EXPECT_EQ(Shown(), "Your animation holiday.gif (" + first + " bytes) is ready. [holiday.gif|" + first + "]");
    EXPECT_EQ(Movie(kPageSave)->variables["CurrentLink"], "USB");
    EXPECT_EQ(Movie(kPageSave)->calls.back(), "TCallFrame IllTr 0");

    // The movie's variable now holds the filled text; the next show starts
    // again from the movie's own sentence.
    transfertest::WriteTemporaryAnimation((scratch.Path() / "install").string(), "party", 7);
    const std::string second = std::to_string(fs::file_size(g_tempGifPath));
    ASSERT_NE(first, second);
    SetSetting("", "Current Link", "None");
    ShowOnly(kPageSave, kPageAnimEditor);
    EXPECT_EQ(Shown(), "Your animation party.gif (" + second + " bytes) is ready. [party.gif|" + second + "]");
    EXPECT_EQ(Movie(kPageSave)->variables["CurrentLink"], "None");
}

TEST_F(SavePage, AFrameInAnotherLanguageFillsItsOwnSentence)
{
    // The first frame's page has read the English sentence; a later frame's
    // page reads its own movie's sentence, not the one read before.
    ShowOnly(kPageSave, kPageAnimEditor);
    TearDown();
    SetUp();
    Movie(kPageSave)->variables["TxtPrepTr"] = "Votre animation %1% (%2% octets)";
    const std::string size = std::to_string(fs::file_size(g_tempGifPath));
    ShowOnly(kPageSave, kPageAnimEditor);
    EXPECT_EQ(Shown(), "Votre animation holiday.gif (" + size + " octets)");
}

TEST_F(SavePage, NamesAreShownAsWrittenNeverAsMarkUpOrPlaceholders)
{
    const struct {
        const char* name;
        const char* shownName;
    } cases[] = {
        {"a<b>c", "a&lt;b&gt;c.gif"},
        {"Tom & Jerry", "Tom &amp; Jerry.gif"},
        {"50%2%off", "50%2%off.gif"},
        {"%1%", "%1%.gif"},
    };
    for (const auto& c : cases) {
        transfertest::WriteTemporaryAnimation((scratch.Path() / "install").string(), c.name);
        const std::string size = std::to_string(fs::file_size(g_tempGifPath));
        ShowOnly(kPageSave, kPageAnimEditor);
        EXPECT_EQ(Shown(), std::string("Your animation ") + c.shownName + " (" + size + " bytes) is ready. [" +
                               c.shownName + "|" + size + "]")
            << c.name;
    }
}

TEST_F(SavePage, AMissingAnimationIsNamedAndThePageGoesBack)
{
    const std::string missing = (scratch.Path() / "install/temp/gone.gif").string();
    g_tempGifPath = missing;
    platform::MessageBoxRecorder boxes;
    ShowOnly(kPageSave, kPageAnimEditor);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Invalid picture : " + missing);
    EXPECT_EQ(boxes.Boxes()[0].caption, "Create Animation");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::BoxIcon::Error);
    EXPECT_EQ(boxes.Boxes()[0].owner, frame.get());
    EXPECT_EQ(frame->m_current, kPageAnimEditor);
    EXPECT_EQ(Shown(), kTemplate) << "no size was made up";
}

TEST_F(SavePage, SavingACopyAsksForThePlaceAndCopiesTheAnimationThere)
{
    const std::string gif = testsupport::ReadFile(g_tempGifPath);
    const fs::path folder = scratch.Path() / "saved";
    fs::create_directories(folder);
    SetSetting(kSubKeyWizardsUser, "PathAnim", "/start/here/");
    ShowOnly(kPageSave, kPageAnimEditor);

    platform::SaveFileDialogRecorder dialog;
    platform::MessageBoxRecorder boxes;
    dialog.QueueSave((folder / "copy").string()); // typed without extension
    Command(kPageSave, "SaveOnComp");
    ASSERT_EQ(dialog.Requests().size(), 1u);
    const platform::SaveFileRequest& request = dialog.Requests()[0];
    EXPECT_EQ(request.owner, frame.get());
    EXPECT_EQ(request.defaultSuffix, "gif");
    EXPECT_EQ(request.initialName, "holiday");
    EXPECT_EQ(request.filter, "gif|*.gif||");
    EXPECT_EQ(request.initialFolder, "/start/here/");
    EXPECT_EQ(testsupport::ReadFile(folder / "copy.gif"), gif);
    EXPECT_EQ(GetSetting(kSubKeyWizardsUser, "PathAnim"), folder.string() + "/");
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(frame->m_current, kPageSave);

    // A name the shell would take as a pattern is a plain name here.
    dialog.QueueSave((folder / "star*[1]?.gif").string());
    Command(kPageSave, "SaveOnComp");
    EXPECT_EQ(testsupport::ReadFile(folder / "star*[1]?.gif"), gif);
}

TEST_F(SavePage, ReplacingAFileIsAskedOnceByTheCopy)
{
    const fs::path target = scratch.Path() / "old.gif";
    testsupport::WriteFile(target, "keep me");
    ShowOnly(kPageSave, kPageAnimEditor);
    platform::SaveFileDialogRecorder dialog;
    platform::MessageBoxRecorder boxes;
    boxes.QueueAnswer(platform::BoxResult::No);
    dialog.QueueSave(target.string());
    Command(kPageSave, "SaveOnComp");
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.find("replace"), std::string::npos) << boxes.Boxes()[0].text;
    EXPECT_EQ(testsupport::ReadFile(target), "keep me");

    boxes.QueueAnswer(platform::BoxResult::Yes);
    dialog.QueueSave(target.string());
    Command(kPageSave, "SaveOnComp");
    EXPECT_EQ(testsupport::ReadFile(target), testsupport::ReadFile(g_tempGifPath));
}

TEST_F(SavePage, CancellingCopiesNothingAndChangesNoSetting)
{
    SetSetting(kSubKeyWizardsUser, "PathAnim", "/before/");
    ShowOnly(kPageSave, kPageAnimEditor);
    const struct {
        int error;
        std::size_t boxes;
    } cases[] = {{0, 0}, {12290, 1}};
    for (const auto& c : cases) {
        platform::SaveFileDialogRecorder dialog;
        platform::MessageBoxRecorder boxes;
        dialog.QueueCancel(c.error);
        Command(kPageSave, "SaveOnComp");
        ASSERT_EQ(boxes.Boxes().size(), c.boxes) << c.error;
        if (c.boxes) {
            EXPECT_EQ(boxes.Boxes()[0].text, "CFileDialog error : 12290");
        }
        EXPECT_EQ(GetSetting(kSubKeyWizardsUser, "PathAnim"), "/before/") << c.error;
    }
    EXPECT_EQ(fs::directory_iterator(scratch.Path() / "install/temp")->path().filename(), "holiday.gif");
}

TEST_F(SavePage, TheFolderRememberedIsThePathUpToItsLastSlash)
{
    ShowOnly(kPageSave, kPageAnimEditor);
    platform::SaveFileDialogRecorder dialog;
    // A path without any slash is copied where it names and remembered as no folder.
    const std::string cwdName = "relative-copy.gif";
    fs::current_path(scratch.Path());
    dialog.QueueSave(cwdName);
    Command(kPageSave, "SaveOnComp");
    EXPECT_EQ(GetSetting(kSubKeyWizardsUser, "PathAnim"), "");
    EXPECT_EQ(testsupport::ReadFile(scratch.Path() / cwdName), testsupport::ReadFile(g_tempGifPath));
}

TEST_F(SavePage, EnterGoesOnToTheTransferPage)
{
    SetSetting("", "Current Link", "None");
    ShowOnly(kPageSave, kPageAnimEditor);
    Key(kPageSave, Qt::Key_Return);
    EXPECT_EQ(frame->m_current, kPageTransfer);
}

} // namespace
