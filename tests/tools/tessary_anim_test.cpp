// tessary-anim end to end: its commands, its failures, and what it writes as
// seen by independent decoders (Pillow and gifsicle, through oracle.py).
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kTool = TESSARY_BINARY_DIR "/bin/tessary-anim";
const std::string kOracle = "/usr/bin/python3 " TESSARY_SOURCE_DIR "/tests/tools/oracle.py";

using RunResult = testsupport::ShellResult;
using testsupport::RunShell;
using testsupport::ShellQuote;

// A binary PPM (P6, maxval 255) as RGB bytes, top row first.
struct Ppm {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

bool ReadPpm(const fs::path& path, Ppm* ppm)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> ppm->width >> ppm->height >> maxval;
    if (!in || magic != "P6" || maxval != 255)
        return false;
    in.get(); // the one whitespace byte before the pixels
    ppm->rgb.resize(size_t(ppm->width) * ppm->height * 3);
    in.read(reinterpret_cast<char*>(ppm->rgb.data()), std::streamsize(ppm->rgb.size()));
    return bool(in);
}

// "" when equal, else where they first differ.
std::string ComparePpm(const fs::path& have, const fs::path& want)
{
    Ppm a, b;
    if (!ReadPpm(have, &a))
        return "cannot read " + have.string();
    if (!ReadPpm(want, &b))
        return "cannot read " + want.string();
    if (a.width != b.width || a.height != b.height)
        return "size: have " + std::to_string(a.width) + "x" + std::to_string(a.height) + ", want " +
               std::to_string(b.width) + "x" + std::to_string(b.height);
    for (size_t i = 0; i < a.rgb.size(); ++i)
        if (a.rgb[i] != b.rgb[i]) {
            const size_t px = i / 3;
            return "pixel " + std::to_string(px % a.width) + "," + std::to_string(px / a.width) + " channel " +
                   std::to_string(i % 3) + ": have " + std::to_string(a.rgb[i]) + ", want " +
                   std::to_string(b.rgb[i]);
        }
    return "";
}

// Each line starts with the tool's name, so the tool's words stand out.
bool EveryLineIsTheTools(const std::string& err)
{
    size_t start = 0;
    while (start < err.size()) {
        if (err.compare(start, 14, "tessary-anim: ") != 0)
            return false;
        const size_t end = err.find('\n', start);
        start = end == std::string::npos ? err.size() : end + 1;
    }
    return true;
}

class TessaryAnim : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = testsupport::MakeTempDir("tessary-anim-test");
        ASSERT_FALSE(s_dir.empty());
        const RunResult r = RunShell(kOracle + " fixtures " + ShellQuote(s_dir.string()), s_dir);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    void SetUp() override
    {
        m_work = s_dir / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(m_work);
    }

    static std::string In(const char* name) { return (s_dir / name).string(); }
    std::string Out(const char* name) const { return (m_work / name).string(); }

    RunResult Tool(const std::vector<std::string>& args) const
    {
        std::string line = ShellQuote(kTool);
        for (const std::string& a : args)
            line += " " + ShellQuote(a);
        return RunShell(line, m_work);
    }

    std::set<std::string> WorkFiles() const
    {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(m_work))
            names.insert(e.path().filename().string());
        return names;
    }

    static fs::path s_dir;
    fs::path m_work;
};
fs::path TessaryAnim::s_dir;

TEST_F(TessaryAnim, EveryCommandHasHelp)
{
    for (const char* command : {"info", "decode", "convert", "gif"}) {
        const RunResult r = Tool({command, "--help"});
        EXPECT_EQ(r.exitCode, 0) << command;
        EXPECT_EQ(r.out.rfind(std::string("usage: tessary-anim ") + command, 0), 0u) << r.out;
    }
    const RunResult r = Tool({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("convert"), std::string::npos);
}

// Bad input: exit code 1, a message on stderr, and no file left behind, not
// even a temporary one; an existing output file is not touched.
TEST_F(TessaryAnim, BadInputFailsCleanly)
{
    const std::string ppm = Out("o.ppm"), gif = Out("o.gif");
    std::ofstream(Out("keep.gif")) << "old";
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"bogus"},
        {"info"},
        {"info", In("missing.png")},
        {"info", In("gradient.png"), "--xml"},
        {"info", Out("photo.tif")},
        {"info", In("two_bits.bmp")},
        {"info", In("embedded_png.bmp")},
        {"decode", In("gradient.png"), "-o", Out("o.txt")},
        {"decode", In("gradient.png")},
        {"decode", In("gradient.png"), "--frame", "-2", "-o", ppm},
        {"decode", In("gradient.png"), "--frame", "x", "-o", ppm},
        {"convert", In("gradient.png"), "-o", ppm, "--crop", "5,5,5,9"},
        {"convert", In("gradient.png"), "-o", ppm, "--crop", "1,2,3"},
        {"convert", In("gradient.png"), "-o", ppm, "--resample", "0x3"},
        {"convert", In("gradient.png"), "-o", ppm, "--resample", "4x4:7"},
        {"convert", In("gradient.png"), "-o", ppm, "--bpp", "3"},
        {"convert", In("gradient.png"), "-o", ppm, "--light"},
        {"convert", In("gradient.png"), "-o", Out("o.jpg")},
        {"gif", gif},
        {"gif", ppm, In("gradient.png")},
        {"gif", gif, In("gradient.png"), "--delay", "70000"},
        {"gif", gif, In("gradient.png"), In("missing.png")},
        {"gif", gif, In("five.gif"), In("gradient.png")},
        {"gif", Out("keep.gif"), In("gradient.png"), In("nothing.bmp")},
        {"gif", Out("no-such-folder/x.gif"), In("gradient.png")},
    };
    const std::set<std::string> before = WorkFiles();
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& a : args)
            shown += a + " ";
        const RunResult r = Tool(args);
        EXPECT_EQ(r.exitCode, 1) << shown;
        EXPECT_FALSE(r.err.empty()) << shown;
        EXPECT_TRUE(EveryLineIsTheTools(r.err)) << shown << ": " << r.err;
        EXPECT_EQ(WorkFiles(), before) << shown;
    }
    EXPECT_EQ(testsupport::ReadFile(Out("keep.gif")), "old");
}

TEST_F(TessaryAnim, InfoReportsFramesDelaysAndTransparency)
{
    RunResult r = Tool({"info", In("five.gif"), "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "{\"format\": \"gif\", \"width\": 12, \"height\": 9, \"bpp\": 8, \"frames\": 5, "
                     "\"delays\": [1, 2, 3, 4, 5], \"transparent_index\": 7}\n");

    r = Tool({"info", In("gradient.png"), "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "{\"format\": \"png\", \"width\": 32, \"height\": 32, \"bpp\": 24, \"frames\": 1, "
                     "\"delays\": [0], \"transparent_index\": -1}\n");

    r = Tool({"info", In("mono.bmp")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("format: bmp\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("bpp: 1\n"), std::string::npos) << r.out;
}

// A picture cut short loads what it holds, with one warning line that names
// the file and what was missing; the command still succeeds. A PNG cut short
// is refused, and its reason is said once.
TEST_F(TessaryAnim, PicturesCutShortLoadWithAWarning)
{
    struct Case {
        const char* file;
        const char* command;
        const char* missing;
    } cases[] = {
        {"cut.jpg", "info", "the image data stops before the end of the picture"},
        {"cut.gif", "info", "the file ends inside frame 5"},
        {"cut.bmp", "info", "the pixel data stops after 10 of 32 rows"},
        {"cut.bmp", "decode", "the pixel data stops after 10 of 32 rows"},
        {"cut.gif", "make", "the file ends inside frame 5"},
        {"cut.jpg", "make", "the image data stops before the end of the picture"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.file);
        const std::string command = c.command;
        std::vector<std::string> args = {command, In(c.file)};
        if (command == "decode")
            args.insert(args.end(), {"-o", Out("cut.ppm")});
        if (command == "make")
            args.insert(args.end(), {"-o", Out("cut.gif")});
        const RunResult r = Tool(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.err.find(std::string("tessary-anim: warning: ") + In(c.file) + ": " + c.missing + "\n"),
                  std::string::npos)
            << r.err;
    }

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", In("cut.png")}, {"make", In("cut.png"), "-o", Out("png.gif")}}) {
        const RunResult r = Tool(args);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        const size_t first = r.err.find("Read Error");
        ASSERT_NE(first, std::string::npos) << args[0] << ": " << r.err;
        EXPECT_EQ(r.err.find("Read Error", first + 1), std::string::npos) << args[0] << " says it twice: " << r.err;
    }
}

// A PNG named .jpg is read as the PNG it is, by every command.
TEST_F(TessaryAnim, PictureWhoseExtensionLiesIsReadByItsContent)
{
    RunResult r = Tool({"info", In("png_named.jpg"), "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"format\": \"png\", \"width\": 32, \"height\": 32, \"bpp\": 24,", 0), 0u) << r.out;
    r = Tool({"decode", In("png_named.jpg"), "-o", Out("lying.ppm")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Tool({"decode", In("gradient.png"), "-o", Out("true.ppm")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ComparePpm(Out("lying.ppm"), Out("true.ppm")), "");
    r = Tool({"make", In("png_named.jpg"), "-o", Out("lying.gif")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

// A failure is one line that names the file and says what is wrong with it.
TEST_F(TessaryAnim, LoadFailuresSayTheCauseInPlainWords)
{
    fs::create_directories(m_work / "photos.png");
    std::ofstream(Out("empty.gif")).close();
    std::ofstream(Out("garbage.png")) << "not a png at all";
    std::ofstream(Out("notes.txt")) << "text";
    const std::string ppm = Out("o.ppm");
    struct Case {
        std::vector<std::string> args;
        std::string line; // the whole message, or its start when it ends in "..."
    };
    const Case cases[] = {
        {{"info", Out("holiday.gif")}, Out("holiday.gif") + " not found"},
        {{"info", Out("photos.png")}, Out("photos.png") + " is a folder, not a picture"},
        {{"info", Out("empty.gif")}, Out("empty.gif") + " is empty"},
        {{"info", Out("notes.txt")},
         Out("notes.txt") + ": unknown picture type (use .bmp, .gif, .jpg, .jpeg, .jpe or .png)"},
        {{"info", Out("garbage.png")}, Out("garbage.png") + " cannot be read as a PNG picture..."},
        {{"decode", In("five.gif"), "--frame", "7", "-o", ppm},
         In("five.gif") + ": frame 7 of a 5-frame GIF does not exist (frames count from 0)"},
        {{"decode", In("five.gif"), "--frame", "5", "-o", ppm},
         In("five.gif") + ": frame 5 of a 5-frame GIF does not exist (frames count from 0)"},
        {{"decode", In("gradient.png"), "--frame", "1", "-o", ppm},
         In("gradient.png") + ": frame 1 of a still picture does not exist (frames count from 0)"},
        {{"gif", Out("o.gif"), In("gradient.png"), Out("holiday.gif")}, Out("holiday.gif") + " not found"},
        {{"convert", Out("garbage.png"), "-o", ppm}, Out("garbage.png") + " cannot be read as a PNG picture..."},
        {{}, "no command given (see tessary-anim --help)"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& a : c.args)
            shown += a + " ";
        const RunResult r = Tool(c.args);
        EXPECT_EQ(r.exitCode, 1) << shown;
        const std::string want = "tessary-anim: " + c.line;
        const size_t dots = want.rfind("...");
        if (dots != std::string::npos && dots + 3 == want.size()) {
            EXPECT_EQ(r.err.rfind(want.substr(0, dots), 0), 0u) << shown << ": have " << r.err;
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << shown << ": one line, have " << r.err;
        } else {
            EXPECT_EQ(r.err, want + "\n") << shown;
        }
        EXPECT_FALSE(fs::exists(ppm)) << shown;
        EXPECT_FALSE(fs::exists(Out("o.gif"))) << shown;
    }
}

TEST_F(TessaryAnim, DecodeMatchesPillow)
{
    const RunResult oracle = RunShell(kOracle + " frames " + ShellQuote(In("five.gif")) + " " + ShellQuote(Out("p")), m_work);
    ASSERT_EQ(oracle.exitCode, 0) << oracle.err;
    for (int k = 0; k < 5; ++k) {
        const std::string ours = Out(("ours" + std::to_string(k) + ".ppm").c_str());
        const RunResult r = Tool({"decode", In("five.gif"), "--frame", std::to_string(k), "-o", ours});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(ComparePpm(ours, Out(("p" + std::to_string(k) + ".ppm").c_str())), "") << "frame " << k;
    }
    for (const char* file : {"gradient.png", "sixteen.gif", "mono.bmp", "exact.png"}) {
        const RunResult o = RunShell(kOracle + " frames " + ShellQuote(In(file)) + " " + ShellQuote(Out("q")), m_work);
        ASSERT_EQ(o.exitCode, 0) << o.err;
        const RunResult r = Tool({"decode", In(file), "-o", Out("mine.ppm")});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(ComparePpm(Out("mine.ppm"), Out("q0.ppm")), "") << file;
    }
}

// Frames that show more than 256 colours come as 24-bit pictures: decode
// gives Pillow's frames, info and make go through them.
TEST_F(TessaryAnim, GifFramesOfMoreThan256ColoursDecodeAndMake)
{
    const RunResult oracle =
        RunShell(kOracle + " frames " + ShellQuote(In("tables.gif")) + " " + ShellQuote(Out("p")), m_work);
    ASSERT_EQ(oracle.exitCode, 0) << oracle.err;
    for (int k = 0; k < 3; ++k) {
        const std::string ours = Out(("ours" + std::to_string(k) + ".ppm").c_str());
        const RunResult r = Tool({"decode", In("tables.gif"), "--frame", std::to_string(k), "-o", ours});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(ComparePpm(ours, Out(("p" + std::to_string(k) + ".ppm").c_str())), "") << "frame " << k;
    }
    const RunResult info = Tool({"info", In("tables.gif"), "--json"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("\"frames\": 3, \"delays\": [10, 10, 10]"), std::string::npos) << info.out;
    const RunResult made = Tool({"make", In("tables.gif"), "--fit", "-o", Out("made.gif")});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const RunResult back =
        RunShell(kOracle + " frames " + ShellQuote(Out("made.gif")) + " " + ShellQuote(Out("m")), m_work);
    ASSERT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(back.out.substr(0, 2), "3 ") << back.out;
}

TEST_F(TessaryAnim, DecodeWritesTheAlphaPlaneToPam)
{
    const RunResult r = Tool({"decode", In("rgba.png"), "-o", Out("a.pam")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string header = "P7\nWIDTH 4\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    const std::string pam = testsupport::ReadFile(Out("a.pam"));
    ASSERT_EQ(pam.substr(0, header.size()), header);
    EXPECT_EQ(pam.substr(header.size()), testsupport::ReadFile(In("rgba.raw")));
}

// The geometric operations against the same operations done by Pillow on the
// decoded picture (Pillow's crop box and ours both count rows from the top).
TEST_F(TessaryAnim, ConvertOperationsMatchTheirMeaning)
{
    struct Case {
        std::vector<std::string> ops;
        const char* pillow; // expression on the image `im`
    };
    const Case cases[] = {
        {{"--rotate-left"}, "im.transpose(Image.ROTATE_90)"},
        {{"--rotate-right"}, "im.transpose(Image.ROTATE_270)"},
        {{"--mirror"}, "im.transpose(Image.FLIP_LEFT_RIGHT)"},
        {{"--flip"}, "im.transpose(Image.FLIP_TOP_BOTTOM)"},
        {{"--crop", "3,5,20,9"}, "im.crop((3, 5, 20, 9))"},
        {{"--crop", "-4,20,40,50"}, "im.crop((0, 20, 32, 32))"},
        {{"--rotate-left", "--mirror", "--crop", "0,0,10,4"},
         "im.transpose(Image.ROTATE_90).transpose(Image.FLIP_LEFT_RIGHT).crop((0, 0, 10, 4))"},
        {{"--resample", "64x64"}, "im.resize((64, 64), Image.NEAREST)"},
        {{"--light", "40"}, "im.point(lambda v: min(255, v + 40))"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.pillow);
        std::vector<std::string> args = {"convert", In("gradient.png"), "-o", Out("ours.ppm")};
        args.insert(args.end(), k.ops.begin(), k.ops.end());
        const RunResult r = Tool(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string script = "from PIL import Image; im = Image.open('" + In("gradient.png") +
                                   "').convert('RGB'); (" + k.pillow + ").save('" + Out("want.ppm") + "')";
        const RunResult p = RunShell("/usr/bin/python3 -c " + ShellQuote(script), m_work);
        ASSERT_EQ(p.exitCode, 0) << p.err;
        EXPECT_EQ(ComparePpm(Out("ours.ppm"), Out("want.ppm")), "");
    }
}

TEST_F(TessaryAnim, ConvertChangesDepth)
{
    RunResult r = Tool({"convert", In("gradient.png"), "-o", Out("g.gif"), "--bpp", "4:dither"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Tool({"info", Out("g.gif"), "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"bpp\": 4"), std::string::npos) << r.out;

    r = Tool({"convert", In("mono.bmp"), "-o", Out("m.pam"), "--bpp", "24"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testsupport::ReadFile(Out("m.pam")).rfind("P7\nWIDTH 32\nHEIGHT 32\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n", 0),
              0u);
}

// A true-colour picture of at most 256 colours that differ in their top seven
// bits survives the optimised palette and the GIF writer exactly.
TEST_F(TessaryAnim, GifPaletteKeepsFewColoursExactlyThroughTheWriter)
{
    const RunResult r = Tool({"convert", In("exact.png"), "-o", Out("exact.gif")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const RunResult o = RunShell(kOracle + " frames " + ShellQuote(Out("exact.gif")) + " " + ShellQuote(Out("g")), m_work);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const RunResult w =
        RunShell(kOracle + " frames " + ShellQuote(In("exact.png")) + " " + ShellQuote(Out("want")), m_work);
    ASSERT_EQ(w.exitCode, 0) << w.err;
    EXPECT_EQ(ComparePpm(Out("g0.ppm"), Out("want0.ppm")), "");
}

// What we write decodes the same in our decoder, in Pillow and in gifsicle,
// for frames of 24, 8, 4 and 1 bits.
TEST_F(TessaryAnim, AnimationDecodesIdenticallyInPillowAndGifsicle)
{
    const std::string anim = Out("anim.gif");
    const char* inputs[] = {"gradient.png", "sixteen.gif", "mono.bmp", "gradient.jpg"};
    std::vector<std::string> args = {"gif", anim};
    for (const char* in : inputs)
        args.push_back(In(in));
    args.insert(args.end(), {"--delay", "7"});
    RunResult r = Tool(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const RunResult info = RunShell("gifsicle --info " + ShellQuote(anim), m_work);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("4 images"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("loop forever"), std::string::npos) << info.out;

    const RunResult pil = RunShell(kOracle + " frames " + ShellQuote(anim) + " " + ShellQuote(Out("pil")), m_work);
    ASSERT_EQ(pil.exitCode, 0) << pil.err;
    EXPECT_EQ(pil.out, "4 70 70 70 70\n");
    const RunResult gs = RunShell(kOracle + " explode " + ShellQuote(anim) + " " + ShellQuote(Out("gs")), m_work);
    ASSERT_EQ(gs.exitCode, 0) << gs.err;
    EXPECT_EQ(gs.out, "4\n");

    // Our decoder composes later frames into the first frame's palette, so
    // each frame is checked against the same picture written on its own.
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE("frame " + std::to_string(k));
        const std::string n = std::to_string(k);
        const std::string single = Out(("single" + n + ".gif").c_str());
        const std::string ours = Out(("ours" + n + ".ppm").c_str());
        r = Tool({"convert", In(inputs[k]), "-o", single});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        r = Tool({"decode", single, "-o", ours});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(ComparePpm(ours, Out(("pil" + n + ".ppm").c_str())), "");
        EXPECT_EQ(ComparePpm(Out(("gs" + n + ".ppm").c_str()), Out(("pil" + n + ".ppm").c_str())), "");
    }

    // Indexed pictures go into the animation unchanged.
    for (int k : {1, 2}) {
        const RunResult o =
            RunShell(kOracle + " frames " + ShellQuote(In(inputs[k])) + " " + ShellQuote(Out("src")), m_work);
        ASSERT_EQ(o.exitCode, 0) << o.err;
        EXPECT_EQ(ComparePpm(Out(("pil" + std::to_string(k) + ".ppm").c_str()), Out("src0.ppm")), "")
            << inputs[k];
    }
}

// A picture's transparent index and its own delay go into the animation.
TEST_F(TessaryAnim, AnimationKeepsTransparencyAndDelays)
{
    const std::string anim = Out("t.gif");
    RunResult r = Tool({"gif", anim, In("sixteen.gif"), In("five.gif")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const RunResult info = RunShell("gifsicle --info " + ShellQuote(anim), m_work);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("+ image #1 12x9 transparent 7"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("delay 0.01s"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("delay 0.10s"), std::string::npos) << info.out; // no delay of its own
    r = Tool({"info", anim, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"delays\": [10, 1]"), std::string::npos) << r.out;
}

} // namespace
