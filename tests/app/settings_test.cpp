#include "settings.h"

#include "message_box.h"
#include "messages.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::BoxIcon;
using platform::MessageBoxRecorder;
using namespace testsupport;

namespace {

const std::string kStore =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary]\n"
    "\"Language\"=\"de\"\n"
    "\"Current Link\"=\"None\"\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary\\Customization Wizards]\n"
    "\"Installation Path\"=\"/opt/tessary/\"\n"
    "\"AnimMaxSize\"=dword:00007530\n"
    "\"Short\"=hex:07\n"
    "\"Text\"=\"abcd\"\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary\\Customization Wizards\\user]\n"
    "\"BrowseAnim\"=\"/home/ann/Pictures\"\n";

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = MakeTempDir("tessary-settings");
        ASSERT_FALSE(m_dir.empty());
        m_store = m_dir / "registry.reg";
        ::setenv("TESSARY_REGISTRY", m_store.c_str(), 1);
        WriteFile(m_store, kStore);
        g_messages = BuildMessages("EN");
    }
    void TearDown() override
    {
        ::unsetenv("TESSARY_REGISTRY");
        RemoveTree(m_dir);
        g_messages = WizardMessages();
    }

    void ExpectOneErrorBox(const MessageBoxRecorder& recorder, const std::string& text,
                           const std::string& caption = "Create Animation")
    {
        ASSERT_EQ(recorder.Boxes().size(), 1u);
        EXPECT_EQ(recorder.Boxes()[0].text, text);
        EXPECT_EQ(recorder.Boxes()[0].caption, caption);
        EXPECT_EQ(recorder.Boxes()[0].icon, BoxIcon::Error);
        EXPECT_EQ(recorder.Boxes()[0].buttons, platform::BoxButtons::Ok);
    }

    fs::path m_dir;
    fs::path m_store;
};

} // namespace

TEST_F(SettingsTest, ReadsStringsUnderEachSubKey)
{
    MessageBoxRecorder recorder;
    EXPECT_EQ(ReadSettingString("Language"), "de");
    EXPECT_EQ(ReadSettingString("Current Link", nullptr, ""), "None");
    EXPECT_EQ(ReadWizardString("Installation Path"), "/opt/tessary/");
    std::string out = "before";
    EXPECT_EQ(ReadSettingString("BrowseAnim", &out, kSubKeyWizardsUser), "/home/ann/Pictures");
    EXPECT_EQ(out, "/home/ann/Pictures");
    EXPECT_TRUE(recorder.Boxes().empty());
}

TEST_F(SettingsTest, MissingStringIsReportedInDetailEveryTime)
{
    MessageBoxRecorder recorder;
    std::string out = "kept";
    EXPECT_EQ(ReadSettingString("home", &out, kSubKeyContentManager), "");
    EXPECT_EQ(out, "kept");
    ExpectOneErrorBox(recorder, "Registry error :\nSOFTWARE\\Quenlor\\Tessary\\Content Manager[home] (2)");

    recorder.ClearBoxes();
    EXPECT_EQ(ReadSettingString("home", nullptr, kSubKeyContentManager), "");
    EXPECT_EQ(recorder.Boxes().size(), 1u) << "nothing is cached: the next read reports again";

    recorder.ClearBoxes();
    EXPECT_EQ(ReadWizardString("PhoneImageFolder"), "");
    ExpectOneErrorBox(recorder,
                      "Registry error :\nSOFTWARE\\Quenlor\\Tessary\\Customization Wizards[PhoneImageFolder] (2)");
}

TEST_F(SettingsTest, BoxCaptionIsTheTitleInTheChosenLanguage)
{
    g_messages = BuildMessages("FR");
    MessageBoxRecorder recorder;
    ReadWizardString("Nothing");
    ExpectOneErrorBox(recorder, "Registry error :\nSOFTWARE\\Quenlor\\Tessary\\Customization Wizards[Nothing] (2)",
                      "Créer une animation");
    // Before the catalogue is built (reading "Language" itself) the English title is used.
    g_messages = WizardMessages();
    ::unsetenv("TESSARY_REGISTRY");
    ::setenv("TESSARY_REGISTRY", (m_dir / "absent.reg").c_str(), 1);
    recorder.ClearBoxes();
    EXPECT_EQ(ReadSettingString("Language"), "");
    ExpectOneErrorBox(recorder, "Registry error :\nSOFTWARE\\Quenlor\\Tessary[Language] (2)");
}

TEST_F(SettingsTest, StringOf519CharactersIsReadAnd520FailWithMoreData)
{
    ASSERT_TRUE(WriteSettingString("PathAnim", std::string(519, 'p'), kSubKeyWizardsUser));
    ASSERT_TRUE(WriteSettingString("BrowseAnim", std::string(520, 'b'), kSubKeyWizardsUser));
    MessageBoxRecorder recorder;
    EXPECT_EQ(ReadSettingString("PathAnim", nullptr, kSubKeyWizardsUser), std::string(519, 'p'));
    EXPECT_TRUE(recorder.Boxes().empty());
    EXPECT_EQ(ReadSettingString("BrowseAnim", nullptr, kSubKeyWizardsUser), "");
    ExpectOneErrorBox(recorder,
                      "Registry error :\nSOFTWARE\\Quenlor\\Tessary\\Customization Wizards\\user[BrowseAnim] (234)");
}

TEST_F(SettingsTest, DwordReadsAndTheirFailures)
{
    struct Case {
        const char* name;
        uint32_t want;
        bool box;
    };
    const Case cases[] = {
        {"AnimMaxSize", 30000, false},
        {"Short", 7, false},          // fewer bytes fill the low end of a zeroed value
        {"Text", 234, true},          // five bytes with the zero: too long for four
        {"Missing", 2, true},         // the status stands in for the value
    };
    for (const Case& c : cases) {
        MessageBoxRecorder recorder;
        uint32_t have = ReadWizardDword(c.name);
        if (c.box) {
            ExpectOneErrorBox(recorder, "Registry error");
            EXPECT_EQ(have, c.want) << c.name;
        } else {
            EXPECT_TRUE(recorder.Boxes().empty()) << c.name;
            EXPECT_EQ(have, c.want) << c.name;
        }
    }
}

TEST_F(SettingsTest, WriteStoresTheValueAndKeepsTheRest)
{
    MessageBoxRecorder recorder;
    EXPECT_TRUE(WriteSettingString("BrowseAnim", "/media/Фото", kSubKeyWizardsUser));
    EXPECT_TRUE(WriteSettingString("PathAnim", "/home/ann/Saved/", kSubKeyWizardsUser));
    EXPECT_TRUE(recorder.Boxes().empty());
    EXPECT_EQ(ReadSettingString("BrowseAnim", nullptr, kSubKeyWizardsUser), "/media/Фото");
    EXPECT_EQ(ReadSettingString("PathAnim", nullptr, kSubKeyWizardsUser), "/home/ann/Saved/");
    EXPECT_EQ(ReadWizardDword("AnimMaxSize"), 30000u);
    EXPECT_EQ(ReadFile(m_store).substr(0, 200), kStore.substr(0, 200));
}

TEST_F(SettingsTest, FailedWritesAreReportedAndReturnFalse)
{
    MessageBoxRecorder recorder;
    EXPECT_FALSE(WriteSettingString("home", "/x", kSubKeyContentManager));
    ExpectOneErrorBox(recorder, "Registry error :\nSOFTWARE\\Quenlor\\Tessary\\Content Manager[home] (2)");

    ::chmod(m_store.c_str(), 0444);
    recorder.ClearBoxes();
    EXPECT_FALSE(WriteSettingString("BrowseAnim", "/x", kSubKeyWizardsUser));
    ExpectOneErrorBox(recorder,
                      "Registry error :\nSOFTWARE\\Quenlor\\Tessary\\Customization Wizards\\user[BrowseAnim] (5)");
    EXPECT_EQ(ReadFile(m_store), kStore);
}

TEST_F(SettingsTest, CorruptStoreFailsReadsAndIsNeverOverwritten)
{
    const std::string corrupt = kStore.substr(0, kStore.size() / 2) + "\n\"broken";
    WriteFile(m_store, corrupt);
    MessageBoxRecorder recorder;
    EXPECT_EQ(ReadSettingString("Language"), "");
    ExpectOneErrorBox(recorder, "Registry error :\nSOFTWARE\\Quenlor\\Tessary[Language] (13)");
    EXPECT_FALSE(WriteSettingString("BrowseAnim", "/x", kSubKeyWizardsUser));
    EXPECT_EQ(ReadFile(m_store), corrupt);
}

TEST_F(SettingsTest, InstallerScriptWritesEveryValueTheProgramReads)
{
    fs::remove(m_store);
    const fs::path install = m_dir / "install";
    const fs::path pictures = m_dir / "Bilder";
    const std::string command = std::string(TESSARY_SOURCE_DIR) + "/scripts/init-settings --install-dir '" +
                                install.string() + "' --pictures-dir '" + pictures.string() + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(fs::is_directory(install / "temp"));

    MessageBoxRecorder recorder;
    EXPECT_EQ(ReadSettingString("Language"), "EN");
    EXPECT_EQ(ReadSettingString("Current Link"), "USB");
    EXPECT_EQ(ReadSettingString("home", nullptr, kSubKeyContentManager), pictures.string());
    EXPECT_EQ(ReadWizardString("Installation Path"), install.string() + "/");
    EXPECT_EQ(ReadWizardString("PhoneImageFolder"), "Pictures/Animations");
    EXPECT_EQ(ReadSettingString("BrowseAnim", nullptr, kSubKeyWizardsUser), pictures.string());
    EXPECT_EQ(ReadSettingString("PathAnim", nullptr, kSubKeyWizardsUser), pictures.string() + "/");
    EXPECT_EQ(ReadWizardDword("AnimMaxSize"), 102400u);
    for (const char* screen : {"FullScreen", "HalfScreen"}) {
        uint32_t low = ReadWizardDword(std::string(screen) + "AnimMinDelay");
        uint32_t def = ReadWizardDword(std::string(screen) + "AnimDefaultDelay");
        uint32_t high = ReadWizardDword(std::string(screen) + "AnimMaxDelay");
        EXPECT_LT(low, def) << screen;
        EXPECT_LT(def, high) << screen;
        EXPECT_GT(low, 2u) << screen << ": a limit of 2 would look like a failed read";
    }
    EXPECT_TRUE(recorder.Boxes().empty());

    // The user values are writable, and a second run keeps the store as it is.
    EXPECT_TRUE(WriteSettingString("BrowseAnim", "/elsewhere", kSubKeyWizardsUser));
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadSettingString("BrowseAnim", nullptr, kSubKeyWizardsUser), "/elsewhere");
}

TEST_F(SettingsTest, OptionalUserDwordIsZeroWhenAbsentAndReportsOnlyRealFailures)
{
    const std::string wizards = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary\\Customization Wizards]\n";
    const std::string user = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary\\Customization Wizards\\user]\n";
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    struct Case {
        const char* name;
        std::string store; // "" leaves no store at all
        uint32_t want;
        bool box;
    };
    const Case cases[] = {
        {"set under the user key", header + user + "\"AnimCompression\"=dword:00000002\n", 2, false},
        {"a short value", header + user + "\"AnimCompression\"=hex:01\n", 1, false},
        // The wizards' own key is not the user key.
        {"only under the wizards' key", header + wizards + "\"AnimCompression\"=dword:00000002\n" + user, 0, false},
        {"missing value", header + user + "\"BrowseAnim\"=\"/x\"\n", 0, false},
        {"missing key", header + wizards + "\"AnimMaxSize\"=dword:00000400\n", 0, false},
        {"no store", "", 0, false},
        {"too long for a number", header + user + "\"AnimCompression\"=\"abcd\"\n", 0, true},
        {"unparsable store", header + user + "\"AnimCompression\"=dword:00000002\n\"broken", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(m_store);
        if (!c.store.empty())
            WriteFile(m_store, c.store);
        MessageBoxRecorder recorder;
        EXPECT_EQ(ReadOptionalUserDword("AnimCompression"), c.want);
        if (c.box)
            ExpectOneErrorBox(recorder, "Registry error");
        else
            EXPECT_TRUE(recorder.Boxes().empty());
    }
}
