// The GIF files of tessary-anim make, gif and convert: a refused write (here a
// real file-size limit) fails cleanly, and --lzw and --optimize change the
// bytes but no shown pixel, delay or frame count (read by Pillow, and by
// gifsicle's own composition of the frames).
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kTool = TESSARY_BINARY_DIR "/bin/tessary-anim";
const std::string kFixtures = "/usr/bin/python3 " TESSARY_SOURCE_DIR "/tests/anim/anim_fixtures.py";
const std::string kOracle = "/usr/bin/python3 " TESSARY_SOURCE_DIR "/tests/tools/oracle.py";

using RunResult = testsupport::ShellResult;
using testsupport::ShellQuote;

class GifOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = testsupport::MakeTempDir("tessary-gif-output");
        ASSERT_FALSE(m_dir.empty());
        // An animation of 12 frames with flat backgrounds and a moving square,
        // and a large smooth picture: both give GIFs of well over 2 KiB.
        for (const std::string& args : {"gif " + F("anim.gif") + " 12 160 120 5,9,30",
                                        "gradient " + F("big.png") + " 300 200"}) {
            const RunResult r = Shell(kFixtures + " " + args);
            ASSERT_EQ(r.exitCode, 0) << r.err;
        }
    }
    void TearDown() override { testsupport::RemoveTree(m_dir); }

    std::string F(const std::string& name) const { return (m_dir / name).string(); }
    RunResult Shell(const std::string& line) const { return testsupport::RunShell(line, m_dir); }

    // The command that writes `out`, by tessary-anim command name.
    std::string Command(const std::string& name, const std::string& out, const std::string& extra) const
    {
        std::string line = ShellQuote(kTool) + " " + name + " ";
        if (name == "make")
            line += ShellQuote(F("anim.gif")) + " -o " + ShellQuote(out);
        else if (name == "gif")
            line += ShellQuote(out) + " " + ShellQuote(F("big.png")) + " " + ShellQuote(F("big.png"));
        else
            line += ShellQuote(F("big.png")) + " -o " + ShellQuote(out);
        return line + extra;
    }

    std::set<std::string> Files() const
    {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir))
            names.insert(e.path().filename().string());
        return names;
    }

    // Pillow's frames of `gif` as PPM files PREFIX0.ppm, ...; returns the
    // oracle's line: frame count and durations.
    std::string Frames(const std::string& gif, const std::string& prefix) const
    {
        const RunResult r = Shell(kOracle + " frames " + ShellQuote(gif) + " " + ShellQuote(F(prefix)));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    }

    fs::path m_dir;
};

// Past `ulimit -f` the write fails with EFBIG: the command exits 1, names the
// cause, leaves no partial or temporary file and does not touch an existing
// output. Without the limit the same command writes more than the limit.
TEST_F(GifOutput, FileSizeLimitFailsEveryCommandCleanly)
{
    for (const char* name : {"make", "gif", "convert"}) {
        for (const char* options : {"", " --lzw", " --optimize"}) {
            SCOPED_TRACE(std::string(name) + options);
            const std::string whole = F("whole.gif");
            RunResult r = Shell(Command(name, whole, options));
            ASSERT_EQ(r.exitCode, 0) << r.err;
            ASSERT_GT(fs::file_size(whole), 2u * 1024) << "the output must outgrow the limit";
            fs::remove(whole);

            std::ofstream(F("keep.gif")) << "old";
            const std::set<std::string> before = Files();
            // ulimit -f counts 512-byte blocks in sh: 1 KiB at most.
            r = Shell("ulimit -f 2; " + Command(name, F("keep.gif"), options));
            EXPECT_EQ(r.exitCode, 1) << r.err;
            EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
            EXPECT_EQ(Files(), before);
            EXPECT_EQ(testsupport::ReadFile(F("keep.gif")), "old");

            r = Shell("ulimit -f 2; " + Command(name, F("new.gif"), options));
            EXPECT_EQ(r.exitCode, 1) << r.err;
            EXPECT_EQ(Files(), before) << "nothing left behind";
        }
    }
}

// Every command writes the same frames, delays and frame count with --lzw and
// --optimize as without them, as Pillow shows them and as gifsicle composes
// them (gifsicle -U turns every frame into a whole one).
TEST_F(GifOutput, LzwAndOptimizeKeepEveryShownFrame)
{
    for (const char* name : {"make", "gif", "convert"}) {
        SCOPED_TRACE(name);
        const std::string plain = F(std::string(name) + "-plain.gif");
        RunResult r = Shell(Command(name, plain, ""));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string want = Frames(plain, "want");
        ASSERT_FALSE(want.empty());
        const int count = std::stoi(want);

        for (const char* options : {" --lzw", " --optimize"}) {
            SCOPED_TRACE(options);
            const std::string gif = F(std::string(name) + options + ".gif");
            r = Shell(Command(name, gif, options));
            ASSERT_EQ(r.exitCode, 0) << r.err;
            EXPECT_NE(testsupport::ReadFile(gif), testsupport::ReadFile(plain)) << "the option changes nothing";

            const std::string whole = F("whole.gif");
            r = Shell("gifsicle -U " + ShellQuote(gif) + " -o " + ShellQuote(whole));
            ASSERT_EQ(r.exitCode, 0) << r.err;
            for (const auto& [file, prefix] : {std::pair{gif, "have"}, std::pair{whole, "gifsicle"}}) {
                EXPECT_EQ(Frames(file, prefix), want) << prefix;
                for (int k = 0; k < count; ++k) {
                    const std::string n = std::to_string(k) + ".ppm";
                    EXPECT_EQ(testsupport::ReadFile(F(prefix + n)), testsupport::ReadFile(F("want" + n)))
                        << prefix << " frame " << k;
                }
            }
        }
    }
}

} // namespace
