// tessary-anim make and the phone's size limit: the default check (settings
// store, else the default table; --max-bytes 0 turns it off) and --fit-bytes,
// whose file is read back by Pillow.
#include "settings_defaults.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kTool = TESSARY_BINARY_DIR "/bin/tessary-anim";
const std::string kFixtures = "/usr/bin/python3 " TESSARY_SOURCE_DIR "/tests/anim/anim_fixtures.py";

class FitBytesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(scratch.Path().empty());
        // 60 frames of 320 x 240 with delays 4, 8, 12 (raised to the minimum of 10).
        Run(kFixtures + " gif " + F("a.gif") + " 60 320 240 4,8,12");
    }

    std::string F(const std::string& name) const { return scratch.File(name); }

    testsupport::ShellResult Run(const std::string& line) const
    {
        return testsupport::RunShell(line, scratch.Path());
    }

    // make with the settings store `store` (a path that may not exist).
    testsupport::ShellResult Make(const std::string& args, const std::string& store = "none.reg") const
    {
        return Run("TESSARY_REGISTRY=" + testsupport::ShellQuote(F(store)) + " " + kTool + " make " + args);
    }

    void WriteStore(const std::string& name, uint32_t maxSize) const
    {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08x", maxSize);
        std::ofstream(F(name)) << "Windows Registry Editor Version 5.00\n\n"
                                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary\\Customization Wizards]\n"
                                  "\"AnimMaxSize\"=dword:"
                               << hex << "\n";
    }

    // Frame count and total duration in ms as Pillow reads the file.
    std::pair<int, int> FramesAndDuration(const std::string& gif) const
    {
        std::istringstream in(Run(kFixtures + " info " + gif).out);
        int frames = 0, w = 0, h = 0, ms = 0, total = 0;
        in >> frames >> w >> h;
        while (in >> ms)
            total += ms;
        return {frames, total};
    }

    int64_t Size(const std::string& name) const { return int64_t(fs::file_size(F(name))); }

    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(scratch.Path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testsupport::ScratchDir scratch{"tessary-fit"};
};

TEST_F(FitBytesTest, ThePhonesLimitComesFromTheStoreElseTheDefaultTable)
{
    Run(kFixtures + " gif " + F("long.gif") + " 130 320 240 4,8,12");
    const auto plain = Make(F("long.gif") + " -o " + F("plain.gif") + " --max-bytes 0");
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    const int64_t size = Size("plain.gif");
    ASSERT_GT(size, int64_t(DefaultAnimMaxSize())) << "the fixture must be too big for the default limit";
    WriteStore("small.reg", uint32_t(size));     // not under: too big
    WriteStore("large.reg", uint32_t(size + 1)); // just under
    WriteStore("off.reg", 0);
    struct Case {
        std::string store, options;
        int exitCode;
        std::string limit; // in the message when refused
    } cases[] = {
        {"none.reg", "", 2, std::to_string(DefaultAnimMaxSize())},
        {"small.reg", "", 2, std::to_string(size)},
        {"large.reg", "", 0, ""},
        {"off.reg", "", 0, ""},
        {"small.reg", "--max-bytes " + std::to_string(size + 1), 0, ""},
        {"none.reg", "--max-bytes 1000", 2, "1000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.store + " " + c.options);
        fs::remove(F("out.gif"));
        const auto r = Make(F("long.gif") + " -o " + F("out.gif") + " " + c.options, c.store);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        if (c.exitCode == 2) {
            EXPECT_NE(r.err.find("(" + c.limit + " bytes maximum)"), std::string::npos) << r.err;
            EXPECT_NE(r.err.find("--fit-bytes " + c.limit), std::string::npos) << "how to go on: " << r.err;
            EXPECT_NE(r.err.find("--size 64"), std::string::npos) << r.err;
            EXPECT_FALSE(fs::exists(F("out.gif")));
        } else {
            EXPECT_EQ(Size("out.gif"), size);
        }
    }
}

TEST_F(FitBytesTest, AnAnimationThatFitsIsWrittenByteForByteAsAPlainMake)
{
    for (const std::string options : {"", "--lzw", "--optimize"}) {
        SCOPED_TRACE(options);
        ASSERT_EQ(Make(F("a.gif") + " -o " + F("plain.gif") + " --max-bytes 0 " + options).exitCode, 0);
        const auto r = Make(F("a.gif") + " -o " + F("fit.gif") + " --fit-bytes 10000000 " + options);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(testsupport::ReadFile(F("fit.gif")), testsupport::ReadFile(F("plain.gif")));
        EXPECT_EQ(r.err, "tessary-anim: already under 10000000 bytes: nothing changed\n");
    }
}

// Each limit is met by its own step; Pillow reads the result with the frames
// the message names and, frames dropped or not, the same playing time.
TEST_F(FitBytesTest, TheResultIsUnderTheLimitAndPlaysAsLong)
{
    ASSERT_EQ(Make(F("a.gif") + " -o " + F("plain.gif") + " --max-bytes 0").exitCode, 0);
    const auto [frames, duration] = FramesAndDuration(F("plain.gif"));
    ASSERT_EQ(frames, 60);
    struct Case {
        int64_t limit;
        std::string says; // the start of what it did
    } cases[] = {
        {Size("plain.gif") - 1, "LZW"},
        {20000, "LZW and frame differencing, "},
        {3000, "LZW and frame differencing, 16 colours, "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limit);
        const auto r = Make(F("a.gif") + " -o " + F("fit.gif") + " --fit-bytes " + std::to_string(c.limit));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string prefix = "tessary-anim: fitted under " + std::to_string(c.limit) + " bytes: " + c.says;
        EXPECT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
        EXPECT_LT(Size("fit.gif"), c.limit);
        const auto [have, ms] = FramesAndDuration(F("fit.gif"));
        const size_t of = r.err.find(" of 60 frames");
        const int want = of == std::string::npos ? 60 : std::stoi(r.err.substr(r.err.rfind(", ", of) + 2));
        EXPECT_EQ(have, want) << r.err;
        EXPECT_EQ(ms, duration);
    }
}

TEST_F(FitBytesTest, AnImpossibleLimitExitsTwoAndLeavesNothing)
{
    std::ofstream(F("out.gif")) << "older";
    const std::vector<std::string> before = Files();
    const auto r = Make(F("a.gif") + " -o " + F("out.gif") + " --fit-bytes 200");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err.rfind("tessary-anim: Animation size (", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("(200 bytes maximum)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot fit under 200 bytes: one frame in 16 colours takes "), std::string::npos) << r.err;
    EXPECT_EQ(testsupport::ReadFile(F("out.gif")), "older");
    EXPECT_EQ(Files(), before) << "no temporary file left behind";

    const auto both = Make(F("a.gif") + " -o " + F("out.gif") + " --fit-bytes 2000 --max-bytes 3000");
    EXPECT_EQ(both.exitCode, 1);
    const auto zero = Make(F("a.gif") + " -o " + F("out.gif") + " --fit-bytes 0");
    EXPECT_EQ(zero.exitCode, 1);
    EXPECT_EQ(testsupport::ReadFile(F("out.gif")), "older");
}

} // namespace
