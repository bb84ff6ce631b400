// tessary-anim thumbs end to end: which files get a thumbnail and in which
// order, what each PAM holds (checked against Pillow's reading of the source
// pictures), the JSON listing (read back by Python's json), and bad folders.
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kTool = TESSARY_BINARY_DIR "/bin/tessary-anim";
const std::string kFixtures = "/usr/bin/python3 " TESSARY_SOURCE_DIR "/tests/content/content_fixtures.py";
constexpr int kSide = 64;

using testsupport::RunShell;
using testsupport::ShellQuote;

// A PAM of RGB_ALPHA tuples, top row first.
struct Pam {
    int width = 0, height = 0, depth = 0;
    std::string tupleType;
    std::vector<unsigned char> bytes;
    unsigned char At(int x, int y, int channel) const { return bytes[(size_t(y) * width + x) * depth + channel]; }
};

bool ReadPam(const fs::path& path, Pam* pam)
{
    std::ifstream in(path, std::ios::binary);
    std::string word;
    int maxval = 0;
    in >> word;
    if (word != "P7")
        return false;
    while (in >> word && word != "ENDHDR") {
        if (word == "WIDTH")
            in >> pam->width;
        else if (word == "HEIGHT")
            in >> pam->height;
        else if (word == "DEPTH")
            in >> pam->depth;
        else if (word == "MAXVAL")
            in >> maxval;
        else if (word == "TUPLTYPE")
            in >> pam->tupleType;
    }
    in.get();
    if (maxval != 255 || pam->depth <= 0)
        return false;
    pam->bytes.resize(size_t(pam->width) * pam->height * pam->depth);
    in.read(reinterpret_cast<char*>(pam->bytes.data()), std::streamsize(pam->bytes.size()));
    return bool(in) && in.peek() == EOF;
}

class Thumbs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RunShell(kFixtures + " mixed " + ShellQuote(In("")), m_work.Path()).exitCode, 0);
        // A name with a quote and a non-ASCII letter, for the JSON.
        fs::copy_file(In("alpha.png"), In("say \"cheese\" \xC3\xA9.png"));
        ASSERT_EQ(RunShell(kFixtures + " few " + ShellQuote(Out("few-src")), m_work.Path()).exitCode, 0);
    }

    std::string In(const std::string& name) const { return (m_work.Path() / "in" / name).string(); }
    std::string Out(const std::string& name) const { return (m_work.Path() / name).string(); }

    testsupport::ScratchDir m_work{"thumbs-test"};
};

TEST_F(Thumbs, OneThumbnailPerPictureInTheListsOrderWithItsListing)
{
    const auto run = RunShell(kTool + " thumbs " + ShellQuote(In("")) + " -o " + ShellQuote(Out("t")) + " --json",
                              m_work.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Only the files that cannot be read are mentioned, each once.
    EXPECT_EQ(run.err, "tessary-anim: warning: broken.gif cannot be read as a picture; its thumbnail shows the "
                       "stand-in picture\n"
                       "tessary-anim: warning: broken.png cannot be read as a picture; its thumbnail shows the "
                       "stand-in picture\n");

    // The listing read back by an independent JSON reader, one line per object.
    const std::string script =
        "import json, sys\n"
        "for o in json.load(sys.stdin):\n"
        "    print(o['name'], o['format'], *o['box'], o['thumbnail'].rsplit('/', 1)[1], sep='|')\n";
    testsupport::WriteFile(Out("listing.json"), run.out);
    const auto parsed = RunShell("/usr/bin/python3 -c " + ShellQuote(script) + " < " + ShellQuote(Out("listing.json")),
                                 m_work.Path());
    ASSERT_EQ(parsed.exitCode, 0) << parsed.err << run.out;
    EXPECT_EQ(parsed.out, "Upper.JPG|3|12|17|40|30|0000.pam\n"
                          "alpha.png|4|12|17|40|30|0001.pam\n"
                          "broken.gif|4|18|18|28|28|0002.pam\n"
                          "broken.png|4|18|18|28|28|0003.pam\n"
                          "grey.bmp|1|17|22|30|20|0004.pam\n"
                          "lying.jpg|4|22|22|20|20|0005.pam\n"
                          "photo.jpg|3|0|16|64|32|0006.pam\n"
                          "redwhite.gif|2|0|16|64|32|0007.pam\n"
                          "say \"cheese\" \xC3\xA9.png|4|12|17|40|30|0008.pam\n");

    // Every thumbnail: 64 x 64 RGB_ALPHA, the list's background (alpha 0) in
    // the corner, the picture (opaque at the centre of its box, which every
    // one of these pictures has opaque) inside.
    const int centres[][2] = {{32, 32}, {42, 40}, {32, 32}, {32, 32}, {32, 32}, {32, 32}, {32, 32}, {32, 32}, {42, 40}};
    for (int k = 0; k < 9; ++k) {
        char name[16];
        std::snprintf(name, sizeof name, "%04d.pam", k);
        Pam pam;
        ASSERT_TRUE(ReadPam(Out("t") + "/" + name, &pam)) << name;
        EXPECT_EQ(pam.width, kSide) << name;
        EXPECT_EQ(pam.height, kSide) << name;
        EXPECT_EQ(pam.depth, 4) << name;
        EXPECT_EQ(pam.tupleType, "RGB_ALPHA") << name;
        EXPECT_EQ(pam.At(0, 0, 3), 0) << name;
        EXPECT_EQ(pam.At(centres[k][0], centres[k][1], 3), 255) << name;
    }
    EXPECT_FALSE(fs::exists(Out("t") + "/0009.pam"));
}

TEST_F(Thumbs, SmallPictureKeepsItsOwnPixelsInTheBox)
{
    const auto run = RunShell(kTool + " thumbs " + ShellQuote(Out("few-src")) + " -o " + ShellQuote(Out("few")),
                              m_work.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "") << "nothing on stdout without --json";
    // a.png (50 x 40) and c.bmp (30 x 20) as Pillow reads them, row by row.
    struct Case {
        const char* source;
        const char* thumbnail;
        int w, h;
    } cases[] = {{"a.png", "0000.pam", 50, 40}, {"c.bmp", "0002.pam", 30, 20}};
    for (const Case& c : cases) {
        const auto raw = RunShell("/usr/bin/python3 -c \"import sys; from PIL import Image; "
                                  "sys.stdout.buffer.write(Image.open(sys.argv[1]).convert('RGB').tobytes())\" " +
                                      ShellQuote(Out("few-src") + "/" + c.source),
                                  m_work.Path());
        ASSERT_EQ(raw.exitCode, 0) << raw.err;
        ASSERT_EQ(raw.out.size(), size_t(c.w) * c.h * 3) << c.source;
        Pam pam;
        ASSERT_TRUE(ReadPam(Out("few") + "/" + c.thumbnail, &pam)) << c.thumbnail;
        const int dx = (kSide - c.w) / 2;
        const int top = kSide - (kSide - c.h) / 2 - c.h;
        int wrong = 0;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                for (int ch = 0; ch < 3; ++ch) {
                    const int want = static_cast<unsigned char>(raw.out[(size_t(y) * c.w + x) * 3 + ch]);
                    const int have = pam.At(x + dx, y + top, ch);
                    if (have != want && wrong++ < 3)
                        ADD_FAILURE() << c.source << " (" << x << ", " << y << ") channel " << ch << ": have "
                                      << have << ", want " << want;
                }
    }
}

TEST_F(Thumbs, BadInputFailsClearlyAndWritesNothing)
{
    struct Case {
        std::string args;
        std::string message;
    } cases[] = {
        {ShellQuote(In("nowhere")) + " -o out", "tessary-anim: thumbs: " + In("nowhere") + " not found\n"},
        {ShellQuote(In("photo.jpg")) + " -o out", "tessary-anim: thumbs: " + In("photo.jpg") + " is not a folder\n"},
        {"-o out", "tessary-anim: thumbs: no FOLDER given (see tessary-anim thumbs --help)\n"},
        {ShellQuote(In("")), "tessary-anim: thumbs: no output folder given (-o OUTFOLDER)\n"},
        {ShellQuote(In("")) + " -o", "tessary-anim: thumbs: -o needs a value\n"},
        {ShellQuote(In("")) + " -o out --size 3", "tessary-anim: thumbs: unknown option '--size'\n"},
        {ShellQuote(In("")) + " " + ShellQuote(In("")) + " -o out",
         "tessary-anim: thumbs: only one FOLDER may be given\n"},
        {ShellQuote(In("")) + " -o " + ShellQuote(In("photo.jpg")),
         "tessary-anim: thumbs: the output " + In("photo.jpg") + " exists and is not a folder\n"},
    };
    for (const Case& c : cases) {
        const auto run = RunShell(kTool + " thumbs " + c.args, m_work.Path());
        EXPECT_EQ(run.exitCode, 1) << c.args;
        EXPECT_EQ(run.err, c.message) << c.args;
        EXPECT_EQ(run.out, "") << c.args;
        EXPECT_FALSE(fs::exists(m_work.Path() / "out")) << c.args;
    }
    if (geteuid() != 0) { // root reads any folder
        fs::permissions(In(""), fs::perms::none);
        const auto unreadable = RunShell(kTool + " thumbs " + ShellQuote(In("")) + " -o out", m_work.Path());
        fs::permissions(In(""), fs::perms::owner_all);
        EXPECT_EQ(unreadable.exitCode, 1);
        EXPECT_NE(unreadable.err.find("cannot read the folder"), std::string::npos) << unreadable.err;
    }
}

TEST_F(Thumbs, EmptyFolderGivesAnEmptyListing)
{
    fs::create_directories(Out("empty"));
    const auto run = RunShell(kTool + " thumbs " + ShellQuote(Out("empty")) + " -o " + ShellQuote(Out("t")) +
                                  " --json",
                              m_work.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "[\n]\n");
    EXPECT_TRUE(fs::is_directory(Out("t")));
    EXPECT_TRUE(fs::is_empty(Out("t")));
}

} // namespace
