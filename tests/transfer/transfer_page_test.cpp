// The transfer page through a recording movie, with the real phone link or the
// fake one: the no-link screen, the progress bar, the result texts, and a page
// that stays in place while the link works and can always be left.
#include "dlg_wiz6.h"
#include "link_client.h"
#include "link_event_sink.h"
#include "message_box.h"
#include "movie_text.h"
#include "route_tables.h"
#include "transfer_page_support.h"
#include "wizard_globals.h"

#include <QTimer>

#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using transfertest::SetSetting;
using Clock = std::chrono::steady_clock;

const std::string kRealLink = std::string(TESSARY_BINARY_DIR) + "/bin/tessary-link";
const std::string kFakeLink = std::string(TESSARY_BINARY_DIR) + "/bin/tessary-fake-link";
const char* kOkSentence = "Your animation %1% is now on your phone.";

class TransferPage : public transfertest::PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        phone = scratch.Path() / "phone";
        fs::create_directories(phone);
        ::setenv("TESSARY_PHONE_STORAGE", phone.c_str(), 1);
        ::setenv("TESSARY_LINK", kRealLink.c_str(), 1);
        ::setenv("TESSARY_LINK_TIMEOUT_MS", "3000", 1);
        ::setenv("FAKE_LINK_LOG", scratch.File("fake.log").c_str(), 1);
        SetSetting("", "Current Link", "USB");
        Movie(kPageTransfer)->variables["_OkTxt"] = kOkSentence;
    }
    void TearDown() override
    {
        for (const char* name : {"TESSARY_PHONE_STORAGE", "TESSARY_LINK", "TESSARY_LINK_TIMEOUT_MS", "FAKE_LINK_MODE"})
            ::unsetenv(name);
        PageTest::TearDown();
    }

    CDlgWiz6* Wiz6() { return static_cast<CDlgWiz6*>(Page(kPageTransfer)); }
    wizard_test::RecordingMovie* TransferMovie() { return Movie(kPageTransfer); }
    void UseFake(const char* mode)
    {
        ::setenv("TESSARY_LINK", kFakeLink.c_str(), 1);
        ::setenv("FAKE_LINK_MODE", mode, 1);
        Wiz6()->m_pLink.reset();
    }
    // Shows the page as after the save page and starts the transfer, as the movie does.
    void Transfer()
    {
        ShowOnly(kPageTransfer, kPageSave);
        TransferMovie()->calls.clear();
        Command(kPageTransfer, "TransfertStarted");
    }
    std::string Result() { return TransferMovie()->variables["_ErrTxt"]; }
    int CallsOf(const std::string& prefix)
    {
        int n = 0;
        for (const std::string& call : TransferMovie()->calls)
            n += call.rfind(prefix, 0) == 0;
        return n;
    }

    fs::path phone;
};

TEST_F(TransferPage, WithoutALinkTheMovieShowsItsNoLinkScreenAndNothingStarts)
{
    SetSetting("", "Current Link", "None");
    TransferMovie()->calls.clear();
    ShowOnly(kPageTransfer, kPageSave);
    const std::vector<std::string> want = {
        "SetVariable _txt <p align=\"center\"><font face=\"Arial\"><b>Transfer in progress...</b></font></p>",
        "SetVariable CurrentLink None",
        "GotoFrame 6",
        "GotoFrame 9",
    };
    EXPECT_EQ(TransferMovie()->calls, want);
    EXPECT_EQ(Wiz6()->m_pLink, nullptr);
}

TEST_F(TransferPage, WithALinkTheMovieShowsTheTransferScreen)
{
    TransferMovie()->calls.clear();
    ShowOnly(kPageTransfer, kPageSave);
    const std::vector<std::string> want = {
        "SetVariable _txt <p align=\"center\"><font face=\"Arial\"><b>Transfer in progress...</b></font></p>",
        "GotoFrame 8",
        "TGotoFrame /next 0",
        "TGotoFrame /barre 0",
        "TPlay /barre",
    };
    EXPECT_EQ(TransferMovie()->calls, want);
}

TEST_F(TransferPage, LinkEventsMoveTheBarOnlyWhileThePageIsShown)
{
    ShowOnly(kPageTransfer, kPageSave);
    const std::pair<int32_t, int> cases[] = {{0, 1}, {50, 13}, {100, 26}, {-5, 1}, {150, 26}, {99, 25}};
    for (const auto& [percent, barFrame] : cases) {
        TransferMovie()->calls.clear();
        DeliverLinkEvent(frame.get(), LinkEvent{"Sending <a&b>.gif", 10, percent, 0});
        const std::vector<std::string> want = {
            "SetVariable _txt <font face=\"Arial\"><b>Sending &lt;a&amp;b&gt;.gif</b></font>",
            "TGotoFrame barre 1",
            "TGotoFrame barre " + std::to_string(barFrame),
        };
        EXPECT_EQ(TransferMovie()->calls, want) << percent;
    }
    ShowOnly(kPageSave, kPageTransfer);
    TransferMovie()->calls.clear();
    DeliverLinkEvent(frame.get(), LinkEvent{"late", 0, 70, 0});
    EXPECT_TRUE(TransferMovie()->calls.empty());
}

TEST_F(TransferPage, TheAnimationReachesThePhoneAndTheSuccessSentenceNamesIt)
{
    transfertest::WriteTemporaryAnimation((scratch.Path() / "install").string(), "a<b>c");
    const std::string gif = testsupport::ReadFile(g_tempGifPath);
    TransferMovie()->frame = 8;
    Transfer();
    EXPECT_EQ(testsupport::ReadFile(phone / "Pictures/Animations/a_b_c.gif"), gif);
    EXPECT_EQ(Result(), "<font face=\"Arial\">Your animation a&lt;b&gt;c.gif is now on your phone.</font>");
    EXPECT_EQ(Wiz6()->m_strResult, "Your animation a&lt;b&gt;c.gif is now on your phone.");
    EXPECT_GE(CallsOf("TGotoFrame barre "), 10);
    EXPECT_EQ(TransferMovie()->clipFrames["barre"], 26);
    const std::vector<std::string> tail(TransferMovie()->calls.end() - 2, TransferMovie()->calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"GotoFrame 9", "TCallFrame ErrTxt 0"}));

    // The temporary file stays until the user starts again.
    EXPECT_TRUE(fs::exists(g_tempGifPath));
    const std::string temp = g_tempGifPath;
    Command(kPageTransfer, "ChangeStep", "2");
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_EQ(frame->m_current, kPageStart);
}

TEST_F(TransferPage, FailuresShowTheTitleTheEscapedReasonAndTheHint)
{
    const struct {
        const char* mode; // a fake link's mode, or "" for no link program at all
        const char* reason;
    } cases[] = {
        {"fail", "The fake phone said no"},
        {"markup", "Phone &lt;i&gt;locked&lt;/i&gt; &amp; &lt;b&gt;asleep&lt;/b&gt;"},
        {"failempty", "The phone link failed without giving a reason."},
        {"crash", "The phone link program ended during the transfer (killed by signal 6)."},
        {"", "could not be started"},
    };
    for (const auto& c : cases) {
        if (*c.mode) {
            UseFake(c.mode);
        } else {
            ::setenv("TESSARY_LINK", scratch.File("no-link").c_str(), 1);
            Wiz6()->m_pLink.reset();
        }
        Transfer();
        const std::string prefix = "<font face=\"Arial\"><B>Transfer error.</B>\n\n";
        const std::string suffix = "\n\nPress \"Previous\" to try again.</font>";
        const std::string shown = Result();
        ASSERT_GT(shown.size(), prefix.size() + suffix.size()) << c.mode;
        EXPECT_EQ(shown.substr(0, prefix.size()), prefix) << c.mode;
        EXPECT_EQ(shown.substr(shown.size() - suffix.size()), suffix) << c.mode;
        EXPECT_NE(shown.find(c.reason), std::string::npos) << c.mode << ": " << shown;
        EXPECT_EQ(TransferMovie()->calls.back(), "TCallFrame ErrTxt 0") << c.mode;

        // Back still works, and keeps the file for another try.
        Command(kPageTransfer, "ChangeStep", "5");
        EXPECT_EQ(frame->m_current, kPageSave) << c.mode;
        EXPECT_TRUE(fs::exists(g_tempGifPath)) << c.mode;
    }
    EXPECT_TRUE(fs::is_empty(phone));
    // And leaving asks nothing: this page has no unsaved changes.
    platform::MessageBoxRecorder boxes;
    ShowOnly(kPageTransfer, kPageSave);
    Command(kPageTransfer, "exit");
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(frame->result(), QDialog::Accepted);
}

TEST_F(TransferPage, ASecondTransferAfterAFailureReusesTheLinkClient)
{
    UseFake("fail");
    Transfer();
    CLinkClient* first = Wiz6()->m_pLink.get();
    ASSERT_NE(first, nullptr);
    Command(kPageTransfer, "TransfertStarted");
    EXPECT_EQ(Wiz6()->m_pLink.get(), first);
    EXPECT_EQ(first->StartCount(), 1);
}

TEST_F(TransferPage, WhileTheLinkWorksNothingLeavesOrRestartsThePage)
{
    UseFake("slow"); // about one second
    const std::string temp = g_tempGifPath;
    std::vector<int> pagesDuring;
    QTimer::singleShot(200, [&] {
        Key(kPageTransfer, Qt::Key_Return);
        Page(kPageTransfer)->m_movie->FireFSCommand("ChangeStep", "2");
        Page(kPageTransfer)->m_movie->FireFSCommand("ChangeStep", "5");
        Page(kPageTransfer)->m_movie->FireFSCommand("TransfertStarted", "");
        wizard_test::Pump();
        pagesDuring.push_back(frame->m_current);
        pagesDuring.push_back(Wiz6()->Transferring());
    });
    Transfer();
    EXPECT_EQ(pagesDuring, (std::vector<int>{kPageTransfer, 1}));
    EXPECT_EQ(frame->m_current, kPageTransfer);
    EXPECT_TRUE(fs::exists(temp)) << "the file was deleted under the link";
    std::ifstream log(scratch.File("fake.log"));
    int sends = 0;
    for (std::string line; std::getline(log, line);)
        sends += line.find("LinkSendFile") != std::string::npos;
    EXPECT_EQ(sends, 1);
    EXPECT_EQ(Result(), "<font face=\"Arial\">Your animation holiday.gif is now on your phone.</font>");
}

TEST_F(TransferPage, ExitDuringATransferCancelsItThenLeaves)
{
    for (const char* mode : {"cancel", "hang"}) {
        SCOPED_TRACE(mode);
        transfertest::WriteTemporaryAnimation((scratch.Path() / "install").string(), "holiday");
        const std::string temp = g_tempGifPath;
        UseFake(mode);
        frame->setResult(0);
        pid_t link = -1;
        QTimer::singleShot(200, [&] {
            link = Wiz6()->m_pLink->ChildPid();
            Page(kPageTransfer)->m_movie->FireFSCommand("exit", "");
        });
        const auto start = Clock::now();
        Transfer();
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        EXPECT_LT(took, 4000); // the 2 s grace, then the kill; well before the 3 s silence x 2
        EXPECT_EQ(frame->result(), QDialog::Accepted);
        EXPECT_FALSE(fs::exists(temp));
        ASSERT_GT(link, 0);
        EXPECT_EQ(::waitpid(link, nullptr, WNOHANG), -1) << "the link was not reaped";
        if (std::string(mode) == "cancel") {
            // The link was asked to stop, and said so at once.
            EXPECT_LT(took, 1500);
            std::ifstream log(scratch.File("fake.log"));
            bool cancelled = false;
            for (std::string line; std::getline(log, line);)
                cancelled = cancelled || line.find("\"call\":\"cancel\"") != std::string::npos;
            EXPECT_TRUE(cancelled);
        }
    }
}

} // namespace
