// The progress bar of tessary-anim's long work: its line always fits the
// terminal, and the commands draw it on a terminal only. What a terminal shows
// at the end is rebuilt from the bytes the tool wrote (carriage returns, line
// ends, "clear to the end of the line"): the finished bar stays on a line of
// its own, and every message and the summary start on a clean line.
#include "progress_bar.h"
#include "test_support.h"
#include "utf8_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kTool = TESSARY_BINARY_DIR "/bin/tessary-anim";
const std::string kFixtures = "/usr/bin/python3 " TESSARY_SOURCE_DIR "/tests/anim/anim_fixtures.py";

using testsupport::ShellQuote;

// The lines a terminal shows after `bytes`: '\r' goes back to the start of the
// line, '\n' to the next line, ESC [ K clears the rest of the line, anything
// else is written over what is there.
std::vector<std::string> Screen(const std::string& bytes)
{
    std::vector<std::string> lines(1);
    std::size_t column = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::string& line = lines.back();
        const char c = bytes[i];
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            lines.emplace_back();
            column = 0;
        } else if (bytes.compare(i, 3, "\033[K") == 0) {
            line.resize(std::min(line.size(), column));
            i += 2;
        } else {
            if (column < line.size())
                line[column] = c;
            else
                line.push_back(c);
            ++column;
        }
    }
    return lines;
}

int Columns(const std::string& line)
{
    int columns = 0;
    for (const unsigned char c : line)
        columns += c < 0x80 ? 1 : (c & 0xC0) == 0xC0 ? 2 : 0;
    return columns;
}

TEST(ProgressLine, FitsTheTerminalAndShowsThePercentage)
{
    const std::string wide = "\xE5\x8A\xA8\xE7\x94\xBB\xE5\x8A\xA8\xE7\x94\xBB.gif"; // four CJK characters
    const struct {
        int percent;
        std::string label;
        int columns;
        std::string wanted; // the whole line, or "" to check the rules only
    } cases[] = {
        {0, "reading", 80, "[..............................]   0 %  reading"},
        {38, "frame 97 of 256", 80, "[###########...................]  38 %  frame 97 of 256"},
        {100, "", 80, "[##############################] 100 %"},
        {-5, "x", 80, "[..............................]   0 %  x"},
        {250, "x", 80, "[##############################] 100 %  x"},
        {50, "a label much longer than the room that is left for it on the line", 50, ""},
        {50, wide, 44, ""},
        {50, wide, 45, ""},
        {50, "line\nbreak\tand\x1b" "escape", 80, "[###############...............]  50 %  line?break?and?escape"},
        {50, "bad \xFF byte", 80, "[###############...............]  50 %  bad \xEF\xBF\xBD byte"},
        {75, "x", 20, "[########...]  75 %"},
        {75, "x", 13, "[###.]  75 %"},
        {75, "x", 12, " 75 %"},
        {75, "x", 8, " 75 %"},
        {75, "x", 3, " 7"},
        {75, "x", 0, ""},
    };
    for (const auto& c : cases) {
        const std::string line = ProgressLine(c.percent, c.label, c.columns);
        const std::string what = "percent " + std::to_string(c.percent) + ", " + std::to_string(c.columns) + " columns";
        if (!c.wanted.empty())
            EXPECT_EQ(line, c.wanted) << what;
        EXPECT_LE(Columns(line), std::max(c.columns - 1, 0)) << what << ": " << line;
        EXPECT_EQ(ValidUtf8(line), line) << what;
        for (const unsigned char ch : line)
            EXPECT_GE(ch, 0x20) << what << ": a control character would break the line";
        const std::size_t open = line.find('['), close = line.find(']');
        if (open == 0 && close != std::string::npos) {
            const int width = int(close) - 1;
            const int percent = std::clamp(c.percent, 0, 100);
            EXPECT_EQ(int(line.find_first_not_of('#', 1)) - 1, percent * width / 100) << what;
        }
    }
}

TEST(ProgressLine, PercentOfStepsRoundsDownAndStaysInRange)
{
    const struct {
        int64_t done, total;
        int percent;
    } cases[] = {
        {0, 256, 0},   {1, 256, 0},  {3, 256, 1},   {255, 256, 99}, {256, 256, 100}, {300, 256, 100},
        {-1, 256, 0},  {5, 0, 0},    {5, -3, 0},    {INT64_MAX / 2, INT64_MAX, 50},  {INT64_MAX, INT64_MAX, 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressPercent(c.done, c.total), c.percent) << c.done << " of " << c.total;
}

class ProgressOnTerminal : public ::testing::Test {
protected:
    void SetUp() override
    {
        // 256 frames to make, and a folder of pictures in which one file that
        // cannot be read comes after others, so its warning meets a bar on show.
        ASSERT_EQ(Shell(kFixtures + " gif " + ShellQuote(File("long.gif")) + " 256 96 72 5").exitCode, 0);
        fs::create_directories(File("folder"));
        for (const char* name : {"a.gif", "b.gif", "c.gif"})
            fs::copy_file(File("long.gif"), File(std::string("folder/") + name));
        testsupport::WriteFile(File("folder/d-broken.png"), "not a picture");
        fs::copy_file(File("long.gif"), File("folder/e.gif"));
    }

    std::string File(const std::string& name) const { return scratch.File(name); }
    testsupport::ShellResult Shell(const std::string& line) const { return testsupport::RunShell(line, scratch.Path()); }

    // The command line of each long job, without a settings store.
    struct Job {
        const char* what;
        std::string command;
        std::string summary; // the start of the line printed when it is done ("" for none)
        std::string warning; // a warning printed on the way ("" for none)
    };
    std::vector<Job> Jobs() const
    {
        const std::string tool = "TESSARY_REGISTRY=" + ShellQuote(File("none.reg")) + " " + ShellQuote(kTool);
        return {
            {"make", tool + " make " + ShellQuote(File("long.gif")) + " -o " + ShellQuote(File("out.gif")) +
                         " --max-bytes 0",
             File("out.gif") + ": 256 frames", ""},
            {"thumbs", tool + " thumbs " + ShellQuote(File("folder")) + " -o " + ShellQuote(File("thumbs")), "",
             "tessary-anim: warning: d-broken.png cannot be read as a picture"},
        };
    }

    testsupport::ScratchDir scratch{"tessary-progress"};
};

TEST_F(ProgressOnTerminal, PipedOutputHasNoBar)
{
    for (const Job& job : Jobs()) {
        const testsupport::ShellResult run = Shell(job.command);
        ASSERT_EQ(run.exitCode, 0) << job.what << ": " << run.err;
        EXPECT_EQ(run.err.find('\r'), std::string::npos) << job.what << ": " << run.err;
        EXPECT_EQ(run.err.find(" %"), std::string::npos) << job.what << ": " << run.err;
        EXPECT_EQ(run.err, job.warning.empty() ? "" : job.warning + "; its thumbnail shows the stand-in picture\n")
            << job.what;
    }
}

TEST_F(ProgressOnTerminal, ATerminalSeesTheBarEndOnACleanLine)
{
    for (const Job& job : Jobs()) {
        // script(1) gives the tool a terminal and keeps what it shows in a file.
        const std::string typescript = File(std::string(job.what) + ".typescript");
        const testsupport::ShellResult run =
            Shell("script -qec " + ShellQuote(job.command) + " " + ShellQuote(typescript));
        ASSERT_EQ(run.exitCode, 0) << job.what << ": " << run.err;
        std::string shown = testsupport::ReadFile(typescript);
        // Keep what the tool wrote: between script's first line and its closing one.
        const std::size_t begin = shown.find('\n');
        const std::size_t end = shown.rfind("Script done");
        ASSERT_TRUE(begin != std::string::npos && end != std::string::npos && begin < end) << shown;
        shown = shown.substr(begin + 1, end - begin - 1);
        ASSERT_NE(shown.find('\r'), std::string::npos) << job.what << ": no bar was drawn";

        const std::vector<std::string> lines = Screen(shown);
        int finishedBars = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            if (line.rfind("[##############################] 100 %", 0) == 0)
                ++finishedBars;
            else
                EXPECT_EQ(line.find(" %"), std::string::npos) << job.what << ": a bar was left on line " << i;
            const std::size_t message = line.find("tessary-anim:");
            EXPECT_TRUE(message == std::string::npos || message == 0)
                << job.what << ": a message shares its line with the bar: " << line;
        }
        EXPECT_EQ(finishedBars, 1) << job.what << ": " << shown;
        EXPECT_EQ(lines.back(), "") << job.what << ": the output must end with a line end";
        auto hasLine = [&](const std::string& start) {
            for (const std::string& line : lines)
                if (line.rfind(start, 0) == 0)
                    return true;
            return false;
        };
        if (!job.summary.empty())
            EXPECT_TRUE(hasLine(job.summary)) << job.what << ": " << shown;
        if (!job.warning.empty())
            EXPECT_TRUE(hasLine(job.warning)) << job.what << ": " << shown;
    }
}

} // namespace
