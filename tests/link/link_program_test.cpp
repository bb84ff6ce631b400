// The built tessary-link, driven by the wizard's link client, against a
// temporary folder standing for the phone's storage: what arrives, how the
// progress rises, what is refused, and what a full or failing storage gives.
#include "link_client.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const std::string kLink = std::string(TESSARY_BINARY_DIR) + "/bin/tessary-link";

std::string RandomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

// Every file below `root`, relative, sorted.
std::vector<std::string> Files(const fs::path& root)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file())
            files.push_back(fs::relative(it->path(), root).string());
    std::sort(files.begin(), files.end());
    return files;
}

class LinkProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        phone = scratch.Path() / "phone";
        fs::create_directories(phone);
        ::setenv("TESSARY_PHONE_STORAGE", phone.c_str(), 1);
        ::setenv("TESSARY_REGISTRY", scratch.File("no-store.reg").c_str(), 1);
    }
    void TearDown() override { ::unsetenv("TESSARY_PHONE_STORAGE"); }

    std::string Send(const std::string& path, const std::string& folder, const std::string& link = kLink)
    {
        LinkClientSettings settings;
        settings.executable = link;
        settings.helloTimeoutMs = 5000;
        settings.callTimeoutMs = 5000;
        CLinkClient client(settings);
        client.SetSettingReader([folder](const std::string&) { return folder; });
        events.clear();
        client.SetEventHandler([this](const LinkEvent& e) { events.push_back(e); });
        const std::string failure = client.SendToPhone(path, "PhoneImageFolder");
        said = client.LastResult().text;
        return failure;
    }

    std::string Source(const std::string& name, const std::string& bytes)
    {
        const std::string path = scratch.File(name);
        testsupport::WriteFile(path, bytes);
        return path;
    }

    testsupport::ScratchDir scratch{"tessary-link-program"};
    fs::path phone;
    std::vector<LinkEvent> events;
    std::string said;
};

TEST_F(LinkProgram, TheFileArrivesWholeInTheFolderItMadeWithRisingProgress)
{
    const std::string bytes = RandomBytes(30000, 1);
    ASSERT_EQ(Send(Source("holiday.gif", bytes), "Pictures/Animations"), "");
    EXPECT_EQ(Files(phone), std::vector<std::string>{"Pictures/Animations/holiday.gif"});
    EXPECT_EQ(testsupport::ReadFile(phone / "Pictures/Animations/holiday.gif"), bytes);
    EXPECT_EQ(said, "Saved as Pictures/Animations/holiday.gif.");

    ASSERT_GE(events.size(), 10u);
    for (std::size_t i = 1; i < events.size(); ++i)
        EXPECT_GE(events[i].p3, events[i - 1].p3) << "event " << i;
    EXPECT_EQ(events.front().p3, 0);
    EXPECT_EQ(events.back().p3, 100);
    EXPECT_EQ(events.back().p2, 30000);
    EXPECT_EQ(events.back().p4, 30000);
    for (const LinkEvent& e : events)
        EXPECT_FALSE(e.text.empty());
}

TEST_F(LinkProgram, ADifferentFileAlreadyThereIsKeptAndTheNewOneGetsAnotherName)
{
    fs::create_directories(phone / "Anim");
    testsupport::WriteFile(phone / "Anim/holiday.gif", "the phone's own");
    testsupport::WriteFile(phone / "Anim/holiday-2.gif", "another one");
    const std::string bytes = RandomBytes(5000, 2);
    const std::string source = Source("holiday.gif", bytes);
    ASSERT_EQ(Send(source, "Anim"), "");
    EXPECT_EQ(testsupport::ReadFile(phone / "Anim/holiday.gif"), "the phone's own");
    EXPECT_EQ(testsupport::ReadFile(phone / "Anim/holiday-2.gif"), "another one");
    EXPECT_EQ(testsupport::ReadFile(phone / "Anim/holiday-3.gif"), bytes);
    EXPECT_EQ(said, "Saved as Anim/holiday-3.gif.");
    bool told = false;
    for (const LinkEvent& e : events)
        told = told || e.text.find("sending this one as holiday-3.gif") != std::string::npos;
    EXPECT_TRUE(told);

    // The same bytes again: already there, nothing new.
    ASSERT_EQ(Send(source, "Anim"), "");
    EXPECT_EQ(Files(phone / "Anim").size(), 3u);
    EXPECT_NE(said.find("already on the phone"), std::string::npos) << said;
}

TEST_F(LinkProgram, NamesAreMadeSafeForThePhone)
{
    ASSERT_EQ(Send(Source("a:b?.gif", "x"), "My*Folder"), "");
    EXPECT_EQ(Files(phone), std::vector<std::string>{"My_Folder/a_b_.gif"});
}

TEST_F(LinkProgram, RefusalsLeaveTheStorageAsItWas)
{
    const struct {
        const char* what;
        std::string path;
        std::string folder;
        const char* says;
    } cases[] = {
        {"up and out", Source("a.gif", "a"), "Pictures/../../x", "may not lead out"},
        {"absolute", Source("a.gif", "a"), "/tmp", "must be a folder of the phone"},
        {"missing file", scratch.File("none.gif"), "Pictures", "Cannot read"},
        {"a folder", scratch.Path().string(), "Pictures", "is not a file"},
    };
    for (const auto& c : cases) {
        const std::string failure = Send(c.path, c.folder);
        EXPECT_NE(failure.find(c.says), std::string::npos) << c.what << ": " << failure;
        EXPECT_TRUE(Files(phone).empty()) << c.what;
    }
    ::setenv("TESSARY_PHONE_STORAGE", scratch.File("unplugged").c_str(), 1);
    EXPECT_NE(Send(Source("a.gif", "a"), "Pictures").find("is not there"), std::string::npos);
}

TEST_F(LinkProgram, AWriteFailureIsReportedAndLeavesNoPartFile)
{
    // A storage that takes 8 KiB per file at most (ulimit counts 512-byte blocks).
    const std::string wrapper = scratch.File("small-storage-link");
    testsupport::WriteFile(wrapper, "#!/bin/sh\nulimit -f 16\nexec '" + kLink + "'\n");
    ::chmod(wrapper.c_str(), 0755);

    const std::string failure = Send(Source("big.gif", RandomBytes(64 * 1024, 3)), "Anim", wrapper);
    EXPECT_NE(failure.find("Could not write big.gif on the phone"), std::string::npos) << failure;
    EXPECT_NE(failure.find("too large"), std::string::npos) << failure;
    EXPECT_TRUE(Files(phone).empty()) << "left: " << (Files(phone).empty() ? "" : Files(phone)[0]);

    // The same link takes a file that fits.
    const std::string small = RandomBytes(4000, 4);
    ASSERT_EQ(Send(Source("small.gif", small), "Anim", wrapper), "");
    EXPECT_EQ(testsupport::ReadFile(phone / "Anim/small.gif"), small);
}

TEST_F(LinkProgram, ALinkStoppedMidwayRemovesItsPartFile)
{
    // 1 GiB without disk blocks: the link is stopped at its first word, long
    // before it could have written it all.
    const std::string source = scratch.File("big.gif");
    testsupport::WriteFile(source, "GIF89a");
    fs::resize_file(source, std::uintmax_t{1} << 30);
    LinkClientSettings settings;
    settings.executable = kLink;
    CLinkClient client(settings);
    client.SetSettingReader([](const std::string&) { return std::string("Anim"); });
    bool stopped = false;
    client.SetEventHandler([&](const LinkEvent&) {
        if (!stopped)
            ::kill(client.ChildPid(), SIGTERM);
        stopped = true;
    });
    const std::string failure = client.SendToPhone(source, "PhoneImageFolder");
    EXPECT_NE(failure.find("ended during the transfer (exit code 143)"), std::string::npos) << failure;
    EXPECT_TRUE(fs::is_directory(phone / "Anim"));
    EXPECT_TRUE(Files(phone).empty()) << "left: " << (Files(phone).empty() ? "" : Files(phone)[0]);
}

TEST_F(LinkProgram, TheCurrentLinkSettingIsObeyed)
{
    const std::string store = scratch.File("store.reg");
    testsupport::WriteFile(store, "Windows Registry Editor Version 5.00\r\n\r\n"
                                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary]\r\n"
                                  "\"Current Link\"=\"None\"\r\n");
    ::setenv("TESSARY_REGISTRY", store.c_str(), 1);
    EXPECT_NE(Send(Source("a.gif", "a"), "x").find("No phone link is set up"), std::string::npos);
    EXPECT_TRUE(Files(phone).empty());
}

TEST_F(LinkProgram, AnythingButAProperCallGetsARefusalAndTheLinkGoesOn)
{
    const std::string source = Source("a.gif", "abc");
    const std::string input = std::string("not json\n") + "[1]\n" + "{\"id\":2,\"call\":\"Format\",\"args\":[]}\n" +
                              "{\"id\":3,\"call\":\"LinkSendFile\",\"args\":[\"" + source + "\"]}\n" +
                              "{\"id\":4,\"call\":\"LinkSendFile\",\"args\":[1,2]}\n" +
                              "{\"id\":5,\"call\":\"LinkSetFormatOption\",\"args\":[\"a\"]}\n" +
                              "{\"id\":6,\"call\":7}\n" + std::string(70 * 1024, 'x') + "\n" +
                              "{\"id\":7,\"call\":\"LinkSendFile\",\"args\":[\"" + source + "\",\"ok\"]}\n";
    testsupport::WriteFile(scratch.File("input"), input);
    const testsupport::ShellResult run = testsupport::RunShell(
        testsupport::ShellQuote(kLink) + " < " + testsupport::ShellQuote(scratch.File("input")), scratch.Path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> results;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("{\"result\"", 0) == 0)
            results.push_back(line.substr(0, line.find(",\"status\"")));
    const std::vector<std::string> want = {
        "{\"result\":0,\"ok\":false",  "{\"result\":0,\"ok\":false", "{\"result\":2,\"ok\":false",
        "{\"result\":3,\"ok\":false",  "{\"result\":4,\"ok\":false", "{\"result\":5,\"ok\":false",
        "{\"result\":6,\"ok\":false",  "{\"result\":0,\"ok\":false", "{\"result\":7,\"ok\":true",
    };
    EXPECT_EQ(results, want) << run.out.substr(0, 2000);
    EXPECT_EQ(testsupport::ReadFile(phone / "ok/a.gif"), "abc");
}

TEST_F(LinkProgram, ACallTooLongForOneLineFailsAtOnceAndTheNextOneWorks)
{
    // The link would ignore such a line; the call fails before it is sent,
    // rather than waiting for an answer that does not come.
    const std::string source = Source("a.gif", "abc");
    const auto start = std::chrono::steady_clock::now();
    const std::string failure = Send(source, std::string(70 * 1024, 'f'));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_NE(failure.find("too long"), std::string::npos) << failure;
    EXPECT_LT(took, std::chrono::seconds(2)) << "waited for an answer";
    EXPECT_TRUE(Files(phone).empty());
    EXPECT_EQ(Send(source, "Pictures"), "");
    EXPECT_EQ(Files(phone), std::vector<std::string>{"Pictures/a.gif"});
}

TEST_F(LinkProgram, AnAnswerThatWouldBeTooLongIsCutToOneReadableLine)
{
    // Each of these bytes is written back escaped, six times as long: an
    // answer that repeated them whole would pass the longest line allowed.
    const std::string many(40 * 1024, '\x7f');
    const std::string source = Source("a.gif", "abc");
    const struct {
        const char* what;
        std::string call;
        const char* says;
    } cases[] = {
        {"unknown call", "{\"id\":8,\"call\":\"" + many + "\"}", "Unknown call"},
        {"absolute folder", "{\"id\":8,\"call\":\"LinkSendFile\",\"args\":[\"" + source + "\",\"/" + many + "\"]}",
         "must be a folder of the phone"},
        {"missing file", "{\"id\":8,\"call\":\"LinkSendFile\",\"args\":[\"/" + many + "\",\"x\"]}", "Cannot read"},
    };
    for (const auto& c : cases) {
        const std::string input = c.call + "\n{\"id\":9,\"call\":\"LinkInit\",\"args\":[\"INIT\"]}\n";
        testsupport::WriteFile(scratch.File("input"), input);
        const testsupport::ShellResult run = testsupport::RunShell(
            testsupport::ShellQuote(kLink) + " < " + testsupport::ShellQuote(scratch.File("input")), scratch.Path());
        EXPECT_EQ(run.exitCode, 0) << c.what << ": " << run.err;
        std::vector<LinkMessage> results;
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_LE(line.size(), kLinkMaxLine) << c.what;
            const LinkMessage m = ParseLinkLine(line);
            if (m.kind == LinkMessage::Kind::Result)
                results.push_back(m);
        }
        ASSERT_EQ(results.size(), 2u) << c.what;
        EXPECT_EQ(results[0].result.id, 8) << c.what;
        EXPECT_FALSE(results[0].result.ok) << c.what;
        EXPECT_NE(results[0].result.text.find(c.says), std::string::npos) << c.what;
        EXPECT_EQ(results[1].result.id, 9) << c.what << ": the link goes on";
        EXPECT_TRUE(results[1].result.ok) << c.what;
    }
}

} // namespace
