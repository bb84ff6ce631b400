// The link client against a fake link program that fails in every way a link
// can: the failure is a text of ours, the child is reaped, the wait stays
// within its deadline, and the next call starts a fresh link that works.
#include "link_client.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

const std::string kFakeLink = std::string(TESSARY_BINARY_DIR) + "/bin/tessary-fake-link";

class LinkClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        log = scratch.File("calls.log");
        ::setenv("FAKE_LINK_LOG", log.c_str(), 1);
        Mode("ok");
    }
    void TearDown() override { ::unsetenv("FAKE_LINK_MODE"); }

    static void Mode(const std::string& mode) { ::setenv("FAKE_LINK_MODE", mode.c_str(), 1); }

    LinkClientSettings Settings(int timeoutMs = 400) const
    {
        LinkClientSettings s;
        s.executable = kFakeLink;
        s.helloTimeoutMs = timeoutMs;
        s.callTimeoutMs = timeoutMs;
        s.cancelGraceMs = 300;
        s.terminateGraceMs = 200;
        return s;
    }

    std::unique_ptr<CLinkClient> Client(int timeoutMs = 400)
    {
        auto client = std::make_unique<CLinkClient>(Settings(timeoutMs));
        client->SetSettingReader([this](const std::string& name) {
            askedSettings.push_back(name);
            return std::string("Pictures/Animations");
        });
        client->SetEventHandler([this](const LinkEvent& e) { events.push_back(e); });
        return client;
    }

    std::vector<std::string> Logged() const
    {
        std::ifstream in(log);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    std::vector<pid_t> LoggedPids() const
    {
        std::vector<pid_t> pids;
        for (const std::string& line : Logged())
            if (line.rfind("pid ", 0) == 0)
                pids.push_back(static_cast<pid_t>(std::stol(line.substr(4))));
        return pids;
    }

    // True when `pid` was a child of this process and has been reaped.
    static bool Reaped(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == -1 && errno == ECHILD; }

    testsupport::ScratchDir scratch{"tessary-link-client"};
    std::string log;
    std::vector<LinkEvent> events;
    std::vector<std::string> askedSettings;
};

TEST_F(LinkClient, SuccessDeliversEveryEventAndReusesTheLink)
{
    auto client = Client();
    EXPECT_EQ(client->SendToPhone("/tmp/holiday.gif", "PhoneImageFolder"), "");
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].p3, 0);
    EXPECT_EQ(events[1].p3, 50);
    EXPECT_EQ(events[2].p3, 100);
    EXPECT_EQ(client->LastResult().text, "Saved by the fake");
    EXPECT_EQ(askedSettings, std::vector<std::string>{"PhoneImageFolder"});

    const pid_t first = client->ChildPid();
    EXPECT_GT(first, 0);
    EXPECT_EQ(client->SendToPhone("/tmp/party.gif", "PhoneImageFolder"), "");
    EXPECT_EQ(client->ChildPid(), first);
    EXPECT_EQ(client->StartCount(), 1);

    client->Close();
    EXPECT_EQ(client->ChildPid(), -1);
    EXPECT_TRUE(Reaped(first));
}

TEST_F(LinkClient, CallsCarryTheInitTheFormatOptionForSoundsAndTheFolder)
{
    auto client = Client();
    ASSERT_EQ(client->SendToPhone("/tmp/ring.WAV", "PhoneImageFolder"), "");
    ASSERT_EQ(client->SendToPhone("/tmp/holiday.gif", "PhoneImageFolder"), "");
    std::vector<std::string> calls;
    for (const std::string& line : Logged())
        if (line.rfind("pid ", 0) != 0)
            calls.push_back(line);
    const std::vector<std::string> want = {
        R"({"id":1,"call":"LinkInit","args":["INIT"]})",
        R"({"id":2,"call":"LinkSetFormatOption","args":["audio/amr","VocoderTypeName","MR102"]})",
        R"({"id":3,"call":"LinkSendFile","args":["/tmp/ring.WAV","Pictures/Animations"]})",
        R"({"id":4,"call":"LinkSendFile","args":["/tmp/holiday.gif","Pictures/Animations"]})",
    };
    EXPECT_EQ(calls, want);
}

TEST_F(LinkClient, EveryFaultOfTheLinkFailsWithOurTextAndTheNextCallWorks)
{
    const struct {
        const char* mode;
        const char* wantText; // part of the failure text
        bool keepsLink;       // the link answered properly and stays
    } cases[] = {
        {"fail", "The fake phone said no", true},
        {"failempty", "without giving a reason", true},
        {"okstring", "without giving a reason", true},
        {"nook", "without giving a reason", true},
        {"crash", "killed by signal 6", false},
        {"hang", "stopped answering", false},
        {"hangterm", "stopped answering", false},
        {"exit", "exit code 3", false},
        {"garbage", "not understood", false},
        {"huge", "longer than 64 KiB", false},
        {"nohello", "did not answer within", false},
        {"exitearly", "ended before it was ready", false},
        {"badhello", "speaks protocol 2, not 1", false},
        {"wronghello", "is not a phone link", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        std::remove(log.c_str());
        auto client = Client(300);
        Mode(c.mode);
        const auto start = Clock::now();
        const std::string failure = client->SendToPhone("/tmp/holiday.gif", "PhoneImageFolder");
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        EXPECT_NE(failure.find(c.wantText), std::string::npos) << failure;
        // Deadline 300 ms, then at most the 200 ms terminate grace.
        EXPECT_LT(took, 1500) << failure;

        const std::vector<pid_t> pids = LoggedPids();
        ASSERT_EQ(pids.size(), 1u);
        if (c.keepsLink) {
            EXPECT_EQ(client->ChildPid(), pids[0]);
            client->Close();
        } else {
            EXPECT_EQ(client->ChildPid(), -1);
        }
        EXPECT_TRUE(Reaped(pids[0])) << "the link was left as a zombie";

        Mode("ok");
        EXPECT_EQ(client->SendToPhone("/tmp/holiday.gif", "PhoneImageFolder"), "");
        EXPECT_EQ(client->StartCount(), 2);
    }
}

TEST_F(LinkClient, CrashReportQuotesTheLastLineTheLinkWroteOnStderr)
{
    Mode("crash");
    const std::string failure = Client()->SendToPhone("/tmp/a.gif", "PhoneImageFolder");
    EXPECT_NE(failure.find("It said: fake link: about to crash"), std::string::npos) << failure;
}

TEST_F(LinkClient, AFloodOnStderrNeitherBlocksTheLinkNorGrowsWithoutBound)
{
    Mode("stderr");
    auto client = Client(2000);
    EXPECT_EQ(client->SendToPhone("/tmp/a.gif", "PhoneImageFolder"), "");
    EXPECT_LE(client->ErrorOutput().size(), CLinkClient::kStderrKeep);
    EXPECT_NE(client->ErrorOutput().find("the last words of the fake"), std::string::npos);
}

TEST_F(LinkClient, AMissingProgramIsAFailureAtOnce)
{
    LinkClientSettings s = Settings();
    s.executable = scratch.File("no-such-link");
    CLinkClient client(s);
    const std::string failure = client.SendToPhone("/tmp/a.gif", "PhoneImageFolder");
    EXPECT_NE(failure.find("could not be started"), std::string::npos) << failure;
    EXPECT_NE(failure.find("No such file"), std::string::npos) << failure;
    EXPECT_EQ(client.ChildPid(), -1);
}

TEST_F(LinkClient, CancelAsksTheLinkThenKillsOneThatDoesNotListen)
{
    for (const char* mode : {"cancel", "hang"}) {
        SCOPED_TRACE(mode);
        Mode(mode);
        auto client = Client(5000);
        client->SetEventHandler([&](const LinkEvent&) { client->RequestCancel(); });
        const auto start = Clock::now();
        const std::string failure = client->SendToPhone("/tmp/a.gif", "PhoneImageFolder");
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        if (std::string(mode) == "cancel")
            EXPECT_EQ(failure, "Cancelled by the fake");
        else
            EXPECT_EQ(failure, "The transfer was cancelled.");
        EXPECT_LT(took, 2000); // well before the 5 s deadline: the 300 ms grace, then the kill
        EXPECT_EQ(client->ChildPid(), -1);
        if (std::string(mode) == "cancel") {
            bool sawCancel = false;
            for (const std::string& line : Logged())
                sawCancel = sawCancel || line.find("\"call\":\"cancel\"") != std::string::npos;
            EXPECT_TRUE(sawCancel);
        }
        std::remove(log.c_str());
    }
}

TEST_F(LinkClient, ASecondSendDuringACallIsRefusedAndThePumpRuns)
{
    Mode("slow");
    auto client = Client(2000);
    std::string nested;
    int pumps = 0;
    client->SetEventHandler([&](const LinkEvent&) {
        if (nested.empty())
            nested = client->SendToPhone("/tmp/b.gif", "PhoneImageFolder");
    });
    client->SetPump([&] { ++pumps; });
    EXPECT_EQ(client->SendToPhone("/tmp/a.gif", "PhoneImageFolder"), "");
    EXPECT_EQ(nested, "A transfer is already running.");
    EXPECT_TRUE(client->InCall() == false);
    EXPECT_GT(pumps, 10); // ten events 100 ms apart, pumped every 10 ms
}

TEST_F(LinkClient, TheLinkDiesWithTheProgramThatStartedIt)
{
    Mode("hang");
    const pid_t program = ::fork();
    if (program == 0) {
        CLinkClient client(Settings(60000));
        client.SendToPhone("/tmp/a.gif", "PhoneImageFolder");
        ::_exit(0);
    }
    ASSERT_GT(program, 0);
    pid_t link = -1;
    for (int i = 0; i < 300 && link < 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!LoggedPids().empty() && Logged().size() >= 3) // pid, LinkInit, LinkSendFile
            link = LoggedPids()[0];
    }
    ASSERT_GT(link, 0);
    ::kill(program, SIGKILL);
    ::waitpid(program, nullptr, 0);
    bool gone = false;
    for (int i = 0; i < 300 && !gone; ++i) {
        std::ifstream stat("/proc/" + std::to_string(link) + "/stat");
        std::string text;
        std::getline(stat, text);
        const std::size_t paren = text.rfind(')');
        gone = text.empty() || (paren != std::string::npos && text.size() > paren + 2 && text[paren + 2] == 'Z');
        if (!gone)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(gone) << "the link " << link << " outlived the program that started it";
    if (!gone)
        ::kill(link, SIGKILL);
}

} // namespace
