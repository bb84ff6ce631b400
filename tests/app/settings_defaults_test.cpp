// The installer script and the program read one table of defaults: the store the
// script writes and the store the program describes must be the same bytes, for
// any folders and language.
#include "settings_defaults.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace testsupport;

TEST(DefaultSettings, InstallerScriptWritesTheStoreTheProgramDescribes)
{
    struct Case {
        std::string install, pictures, language;
    };
    const Case cases[] = {
        {"/home/ann/.local/share/tessary", "/home/ann/Pictures", "EN"},
        {"/opt/t/", "/home/ann/Bilder/", "DE"},
        {"/srv/with \"quote\"", "/srv/back\\slash", "CHS"},
        {"/i", "/", "fr"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.install + " | " + c.pictures);
        ScratchDir dir;
        const std::string store = dir.File("registry.reg");
        const std::string install = dir.File("i") + c.install; // the script creates it with temp/
        const ShellResult run = RunShell("TESSARY_REGISTRY=" + ShellQuote(store) + " " +
                                             ShellQuote(std::string(TESSARY_SOURCE_DIR) + "/scripts/init-settings") +
                                             " --install-dir " + ShellQuote(install) + " --pictures-dir " +
                                             ShellQuote(c.pictures) + " --language " + c.language,
                                         dir.Path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(ReadFile(store), DefaultSettingsStoreText(install, c.pictures, c.language));
    }
}

TEST(DefaultSettings, EachScreenSizeHasItsOwnDelayLimits)
{
    const DelayLimits full = DefaultDelayLimits(128);
    const DelayLimits half = DefaultDelayLimits(64);
    EXPECT_EQ(full.minDelay, DefaultDword("Customization Wizards", "FullScreenAnimMinDelay"));
    EXPECT_EQ(half.minDelay, DefaultDword("Customization Wizards", "HalfScreenAnimMinDelay"));
    EXPECT_EQ(half.maxDelay, DefaultDword("Customization Wizards", "HalfScreenAnimMaxDelay"));
    EXPECT_LE(full.minDelay, full.defaultDelay);
    EXPECT_LE(full.defaultDelay, full.maxDelay);
    EXPECT_LE(half.minDelay, half.defaultDelay);
    EXPECT_LE(half.defaultDelay, half.maxDelay);
    EXPECT_GT(DefaultAnimMaxSize(), 0u);
    EXPECT_FALSE(DefaultPhoneImageFolder().empty());
    EXPECT_EQ(DefaultText("-", "Language"), "EN");
    EXPECT_EQ(DefaultText("", "Language"), "EN") << "the product key may be named empty";
    EXPECT_EQ(DefaultDword("Customization Wizards", "NoSuchValue"), 0u);
    EXPECT_EQ(DefaultText("Customization Wizards", "AnimMaxSize"), "") << "a number is not a text";
}
