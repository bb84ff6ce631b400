// tessary-anim make, end to end: generated sources in, the written animation
// read back by Pillow (frame count, size, delays, and the first frame against
// the expected cut-out or fit), and the failures with their texts and exits.
#include "settings_defaults.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kTool = TESSARY_BINARY_DIR "/bin/tessary-anim";
const std::string kFixtures = "/usr/bin/python3 " TESSARY_SOURCE_DIR "/tests/anim/anim_fixtures.py";

using RunResult = testsupport::ShellResult;
using testsupport::ReadFile;

class MakeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testsupport::MakeTempDir("tessary-make");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { testsupport::RemoveTree(dir); }

    std::string F(const std::string& name) const { return (dir / name).string(); }

    RunResult Shell(const std::string& line) const { return testsupport::RunShell(line, dir); }

    void Fixture(const std::string& args) const
    {
        const RunResult r = Shell(kFixtures + " " + args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    // Without a settings store, so the phone's limit is the default table's.
    RunResult Make(const std::string& args) const
    {
        return Shell("TESSARY_REGISTRY=" + F("no-store.reg") + " " + kTool + " make " + args);
    }

    // Frame count, width, height and durations in ms, as Pillow reads the file.
    struct Info {
        int frames = 0, width = 0, height = 0;
        std::vector<int> ms;
    };
    Info Read(const std::string& gif) const
    {
        Info info;
        std::istringstream in(Shell(kFixtures + " info " + gif).out);
        in >> info.frames >> info.width >> info.height;
        int v;
        while (in >> v)
            info.ms.push_back(v);
        return info;
    }

    double Diff(const std::string& args) const { return std::atof(Shell(kFixtures + " " + args).out.c_str()); }

    // Files left in the folder besides the ones named.
    std::vector<std::string> Others(const std::vector<std::string>& known) const
    {
        std::vector<std::string> others;
        for (const auto& e : fs::directory_iterator(dir)) {
            const std::string name = e.path().filename().string();
            if (std::find(known.begin(), known.end(), name) == known.end())
                others.push_back(name);
        }
        return others;
    }

    fs::path dir;
};

} // namespace

TEST_F(MakeTest, AStillJpegBecomesTheCentredSquare)
{
    Fixture("stripes " + F("s.jpg") + " 256 128");
    const RunResult r = Make(F("s.jpg") + " -o " + F("out.gif"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Info info = Read(F("out.gif"));
    EXPECT_EQ(info.frames, 1);
    EXPECT_EQ(info.width, 128);
    EXPECT_EQ(info.height, 128);
    ASSERT_EQ(info.ms.size(), 1u);
    EXPECT_EQ(info.ms[0], 500) << "a still picture gets the default delay";
    // Shown 182 x 91; the square (78,109)-(169,200) is picture columns 63 to 191.
    EXPECT_LT(Diff("diff " + F("out.gif") + " " + F("s.jpg") + " 63,0,191,128 128"), 3.0);
}

TEST_F(MakeTest, APngWithAlphaFitsOnBlackAtHalfScreen)
{
    Fixture("alpha " + F("a.png") + " 200 100");
    const RunResult r = Make(F("a.png") + " -o " + F("out.gif") + " --fit --size 64");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Info info = Read(F("out.gif"));
    EXPECT_EQ(info.frames, 1);
    EXPECT_EQ(info.width, 64);
    EXPECT_EQ(info.height, 64);
    EXPECT_LT(Diff("fitdiff " + F("out.gif") + " " + F("a.png") + " 64"), 4.0);
}

TEST_F(MakeTest, AnAnimatedGifKeepsItsFramesWithDelaysWithinTheLimits)
{
    Fixture("gif " + F("a.gif") + " 40 160 120 0,5,10,30,300,1000");
    const RunResult r = Make(F("a.gif") + " -o " + F("out.gif") + " --delay-limits 10,250,50");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Info info = Read(F("out.gif"));
    ASSERT_EQ(info.frames, 40);
    EXPECT_EQ(info.width, 128);
    const int want[6] = {500, 100, 100, 300, 2500, 2500};
    ASSERT_EQ(info.ms.size(), 40u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(info.ms[size_t(i)], want[i % 6]) << "frame " << i;
    // Shown 182 x 136; the square (56,109)-(192,245) is picture box (20,0)-(139,119).
    EXPECT_LT(Diff("diff " + F("out.gif") + " " + F("a.gif") + " 20,0,139,119 128"), 6.0);
}

TEST_F(MakeTest, ThreeHundredFramesBecome256AndDelaysCanBeSetForAll)
{
    Fixture("gif " + F("long.gif") + " 300 24 24 3");
    // 256 full-screen frames are more than the phone takes; the check is not the point here.
    RunResult r = Make(F("long.gif") + " -o " + F("out.gif") + " --max-bytes 0");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Info info = Read(F("out.gif"));
    EXPECT_EQ(info.frames, 256);
    EXPECT_EQ(info.ms.front(), 100) << "3 is below the default minimum of 10";

    r = Make(F("long.gif") + " -o " + F("out.gif") + " --delay 7 --delay-limits 4,250,50 --size 64 --max-bytes 0");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    info = Read(F("out.gif"));
    EXPECT_EQ(info.width, 64);
    ASSERT_EQ(info.ms.size(), 256u);
    EXPECT_EQ(info.ms.back(), 70);
}

TEST_F(MakeTest, EachSizeTakesTheInstallersDelayLimits)
{
    // A delay of 1 is raised to the size's minimum, 65535 lowered to its maximum,
    // and 0 (no delay) becomes its default: the same table the installer writes.
    Fixture("gif " + F("d.gif") + " 3 24 24 1,65535,0");
    for (int size : {128, 64}) {
        SCOPED_TRACE(size);
        const DelayLimits limits = DefaultDelayLimits(size);
        const RunResult r = Make(F("d.gif") + " -o " + F("out.gif") + " --size " + std::to_string(size));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Info info = Read(F("out.gif"));
        const std::vector<int> want = {int(limits.minDelay) * 10, int(limits.maxDelay) * 10,
                                       int(limits.defaultDelay) * 10};
        EXPECT_EQ(info.ms, want);
    }
    EXPECT_NE(DefaultDelayLimits(64).minDelay, DefaultDelayLimits(128).minDelay)
        << "the half-screen minimum is its own";
}

TEST_F(MakeTest, SelectionAndTurnsReproduceAnEditorSession)
{
    Fixture("stripes " + F("s.png") + " 256 128");
    struct Case {
        std::string options;
        int red, green, blue; // the colour of the first frame's centre
    } cases[] = {
        {"--select 33,109,73,149", 230, 20, 20},               // over the first (red) stripe
        {"--select 33,109,73,149 --mirror", 250, 250, 250},    // mirrored: the white stripe
        {"--select 33,109,73,149 --flip", 230, 20, 20},         // upside down: the stripes stay
        {"--select 33,109,73,149 --rotate-right 2", 250, 250, 250},
        {"--select 33,109,73,149 --rotate-left 1", 250, 250, 250}, // the white stripe ends on top
    };
    for (const Case& c : cases) {
        const RunResult r = Make(F("s.png") + " -o " + F("out.gif") + " " + c.options);
        ASSERT_EQ(r.exitCode, 0) << c.options << ": " << r.err;
        std::istringstream in(Shell("/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" + F("out.gif") +
                                    "').convert('RGB'); print(*im.getpixel((64, 64)))\"")
                                  .out);
        int red = -1, green = -1, blue = -1;
        in >> red >> green >> blue;
        EXPECT_NEAR(red, c.red, 8) << c.options;
        EXPECT_NEAR(green, c.green, 8) << c.options;
        EXPECT_NEAR(blue, c.blue, 8) << c.options;
    }
}

// Every pixel of every frame gets exactly the colour the true-colour rule
// gives it: the plain animation with the shift added, clamped. Before, frames
// of a palette picture moved to the nearest colour of their own palette, so
// the two-colour GIF did not change at all.
TEST_F(MakeTest, LightnessGivesEveryPixelTheTrueColourRule)
{
    Fixture("gradient " + F("g.png") + " 160 160");
    Fixture("twocolour " + F("two.gif") + " 90 60");
    Fixture("gif " + F("a.gif") + " 6 60 50 10");
    for (const char* source : {"g.png", "two.gif", "a.gif"}) {
        const RunResult plain = Make(F(source) + " -o " + F("plain.gif"));
        ASSERT_EQ(plain.exitCode, 0) << plain.err;
        for (int slider : {30, -30, 60}) {
            SCOPED_TRACE(std::string(source) + " --lightness " + std::to_string(slider));
            const RunResult lit = Make(F(source) + " -o " + F("lit.gif") + " --lightness " + std::to_string(slider));
            ASSERT_EQ(lit.exitCode, 0) << lit.err;
            const int shift = slider * 128 / 60;
            EXPECT_EQ(Shell(kFixtures + " lightdiff " + F("plain.gif") + " " + F("lit.gif") + " " +
                            std::to_string(shift)).out,
                      "0\n");
        }
    }
}

// The transparent pixels of an icon hide black; the animation shows the icon
// over the grey of PNGs without a background colour, with no dark border,
// whether cut out or fitted.
TEST_F(MakeTest, AnIconShowsOverGreyWithoutADarkBorder)
{
    Fixture("icon " + F("icon.png") + " 100 100");
    for (const char* options : {"", " --fit", " --size 64"}) {
        const RunResult r = Make(F("icon.png") + " -o " + F("out.gif") + options);
        ASSERT_EQ(r.exitCode, 0) << options << ": " << r.err;
        const RunResult o = Shell(kFixtures + " outside " + F("out.gif") + " 192,192,192 240,220,20");
        const int outside = std::atoi(o.out.c_str());
        EXPECT_LE(outside, 4) << options << ": channels outside the grey-to-yellow range";
    }
}

TEST_F(MakeTest, TooBigIsRefusedWithTheCatalogueTextAndNoFile)
{
    Fixture("gif " + F("a.gif") + " 10 64 64 20");
    std::ofstream(F("out.gif")) << "older";
    RunResult r = Make(F("a.gif") + " -o " + F("out.gif") + " --max-bytes 100");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err.rfind("tessary-anim: Animation size (", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("bytes) exceeds the phone capability (100 bytes maximum).\nPlease delete some images"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadFile(F("out.gif")), "older") << "a refused animation must not replace anything";
    EXPECT_TRUE(Others({"a.gif", "out.gif"}).empty());

    r = Make(F("a.gif") + " -o " + F("fr.gif") + " --max-bytes 100 --lang fr");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err.find("Animation size"), std::string::npos) << "French text expected: " << r.err;
    EXPECT_NE(r.err.find("100"), std::string::npos);
    EXPECT_FALSE(fs::exists(F("fr.gif")));

    // A limit the file stays under passes.
    r = Make(F("a.gif") + " -o " + F("ok.gif") + " --max-bytes 10000000");
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

// Every failure is one message that starts with the tool's name and keeps the
// catalogue's words where the wizard has them; nothing is written.
TEST_F(MakeTest, BadSourcesAndArgumentsFailCleanly)
{
    struct Case {
        std::string args;
        std::string text;
    } cases[] = {
        {F("missing.gif") + " -o " + F("o.gif"), "Invalid picture :" + F("missing.gif") + " (not found)"},
        {F("notes.txt") + " -o " + F("o.gif"),
         "Invalid picture :" + F("notes.txt") + " (This file type is not supported)"},
        {F("garbage.png") + " -o " + F("o.gif"),
         "Invalid picture :" + F("garbage.png") + " (cannot be read as a PNG picture"},
        {F("garbage.gif") + " -o " + F("o.gif"),
         "Invalid picture :" + F("garbage.gif") + " (cannot be read as a GIF picture"},
        {F("banner.png") + " -o " + F("out.png"), "make: '" + F("out.png") + "': the output must end in .gif"},
        {F("missing.gif") + " -o " + F("o"), "the output must end in .gif"},
        {F("banner.png") + " -o " + F("o.gif"), "Can't extract!"},
        {F("banner.png") + " -o " + F("o.gif"), "--fit keeps the whole picture"},
        {F("garbage.gif"), "-o"},
        {F("garbage.gif") + " -o " + F("o.gif") + " --size 100", "--size"},
        {F("garbage.gif") + " -o " + F("o.gif") + " --lightness 61", "--lightness"},
        {F("garbage.gif") + " -o " + F("o.gif") + " --select 1,2,3", "--select"},
    };
    std::ofstream(F("notes.txt")) << "text";
    std::ofstream(F("garbage.png")) << "not a png at all";
    std::ofstream(F("garbage.gif")) << "GIF89a";
    Fixture("stripes " + F("banner.png") + " 5000 18");
    for (const Case& c : cases) {
        const RunResult r = Make(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("tessary-anim: ", 0), 0u) << c.args << ": " << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << c.args << ": one line, have " << r.err;
        EXPECT_NE(r.err.find(c.text), std::string::npos) << c.args << ": " << r.err;
    }
    EXPECT_TRUE(Others({"notes.txt", "garbage.png", "garbage.gif", "banner.png"}).empty());

    // As the hint says, the whole banner fits.
    const RunResult fit = Make(F("banner.png") + " --fit -o " + F("o.gif"));
    EXPECT_EQ(fit.exitCode, 0) << fit.err;
}
