// tessary-anim send: the file reaches the phone's storage through the real
// link, the phone folder comes from the option, the store or the installer's
// table, progress is drawn only on a terminal, and every failure is one line
// on stderr with exit code 1.
#include "settings_defaults.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const std::string kTool = TESSARY_BINARY_DIR "/bin/tessary-anim";
const std::string kFakeLink = TESSARY_BINARY_DIR "/bin/tessary-fake-link";

using testsupport::ShellQuote;

class SendCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        phone = scratch.Path() / "phone";
        fs::create_directories(phone);
        file = scratch.File("holiday.gif");
        testsupport::WriteFile(file, "GIF89a and the rest of the animation");
    }

    // Runs "tessary-anim send ARGS" with the phone storage set and `environment` before it.
    testsupport::ShellResult Run(const std::string& args, const std::string& environment = "")
    {
        const std::string line = "TESSARY_REGISTRY=" + ShellQuote(store) +
                                 " TESSARY_PHONE_STORAGE=" + ShellQuote(phone.string()) + " " + environment + " " +
                                 ShellQuote(kTool) + " send " + args;
        return testsupport::RunShell(line, scratch.Path());
    }

    testsupport::ScratchDir scratch{"tessary-send"};
    fs::path phone;
    std::string file;
    std::string store = scratch.File("no-store.reg");
};

TEST_F(SendCommand, TheFolderComesFromTheOptionTheStoreOrTheInstallersTable)
{
    const std::string storeText = "Windows Registry Editor Version 5.00\r\n\r\n"
                                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary\\Customization Wizards]\r\n"
                                  "\"PhoneImageFolder\"=\"From/Store\"\r\n";
    const struct {
        const char* what;
        std::string args;
        bool withStore;
        std::string arrives;
    } cases[] = {
        {"no store", ShellQuote(file), false, DefaultPhoneImageFolder() + "/holiday.gif"},
        {"the store", ShellQuote(file), true, "From/Store/holiday.gif"},
        {"the option", ShellQuote(file) + " --folder Mine", true, "Mine/holiday.gif"},
        {"the option with =", "--folder=Ours/Here " + ShellQuote(file), false, "Ours/Here/holiday.gif"},
    };
    for (const auto& c : cases) {
        fs::remove_all(phone);
        fs::create_directories(phone);
        if (c.withStore) {
            store = scratch.File("store.reg");
            testsupport::WriteFile(store, storeText);
        } else {
            store = scratch.File("no-store.reg");
        }
        const testsupport::ShellResult run = Run(c.args);
        EXPECT_EQ(run.exitCode, 0) << c.what << ": " << run.err;
        EXPECT_EQ(testsupport::ReadFile(phone / c.arrives), testsupport::ReadFile(file)) << c.what;
        EXPECT_EQ(run.out, "Saved as " + c.arrives + ".\n") << c.what;
        EXPECT_EQ(run.err, "") << c.what << ": piped, so no progress";
    }
}

TEST_F(SendCommand, FailuresAreOneLineOnStderrAndExitOne)
{
    const struct {
        const char* what;
        std::string args;
        std::string environment;
        const char* says;
    } cases[] = {
        {"no file", "", "", "no file given"},
        {"two files", ShellQuote(file) + " " + ShellQuote(file), "", "send takes one file"},
        {"no folder", ShellQuote(file) + " --folder", "", "--folder needs"},
        {"unknown option", ShellQuote(file) + " --fast", "", "unknown option '--fast'"},
        {"missing file", ShellQuote(scratch.File("none.gif")), "", "Cannot read"},
        {"up and out", ShellQuote(file) + " --folder ../x", "", "may not lead out"},
        {"no link", ShellQuote(file), "TESSARY_LINK=" + ShellQuote(scratch.File("no-link")), "could not be started"},
        {"silent link", ShellQuote(file),
         "TESSARY_LINK=" + ShellQuote(kFakeLink) + " FAKE_LINK_MODE=hang TESSARY_LINK_TIMEOUT_MS=300",
         "stopped answering"},
        {"refusing link", ShellQuote(file), "TESSARY_LINK=" + ShellQuote(kFakeLink) + " FAKE_LINK_MODE=failempty",
         "without giving a reason"},
    };
    for (const auto& c : cases) {
        const testsupport::ShellResult run = Run(c.args, c.environment);
        EXPECT_EQ(run.exitCode, 1) << c.what;
        EXPECT_EQ(run.err.rfind("tessary-anim: ", 0), 0u) << c.what << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.what << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.what << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.what;
    }
    EXPECT_TRUE(fs::is_empty(phone));
}

TEST_F(SendCommand, ATerminalSeesTheProgressBar)
{
    // script(1) gives the tool a terminal and writes what it shows to a file.
    const std::string typescript = scratch.File("typescript");
    const std::string command = "TESSARY_REGISTRY=" + ShellQuote(store) + " TESSARY_PHONE_STORAGE=" +
                                ShellQuote(phone.string()) + " " + ShellQuote(kTool) + " send " + ShellQuote(file);
    const testsupport::ShellResult run = testsupport::RunShell(
        "script -qec " + ShellQuote(command) + " " + ShellQuote(typescript), scratch.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string shown = testsupport::ReadFile(typescript);
    EXPECT_NE(shown.find("[##############################] 100 %"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Saved as "), std::string::npos) << shown;
}

} // namespace
