// The loading rules of CPictureHolder and the GIF palette conversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "picture_holder.h"
#include "raster.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

// Every box shown by the library or by the loading rules, in order.
struct Box {
    std::string text;
    std::string caption; // empty for boxes of the loading rules
};
std::vector<Box> g_boxes;

void RecordRasterBox(const char* text, const char* caption, RasterBoxIcon)
{
    g_boxes.push_back({text, caption});
}

void RecordPictureBox(void*, const char* text)
{
    g_boxes.push_back({text, ""});
}

// Pictures made once for the whole file by Pillow, in a temporary folder:
//   still.bmp, still.jpg, still.png  8 x 6 pictures
//   one.gif                          a single-frame GIF
//   three.gif                        three full-size frames: red, green, blue
//   kinds/*.png                      one picture as every transparent kind of PNG
//                                    (tests/picture/alpha_kinds.py)
class PictureFiles : public ::testing::Environment {
public:
    static fs::path dir;

    void SetUp() override
    {
        dir = testsupport::MakeTempDir("picture-holder");
        ASSERT_FALSE(dir.empty());
        const std::string script = R"PY(
import sys
from PIL import Image
d = sys.argv[1]
im = Image.new('RGB', (8, 6))
for y in range(6):
    for x in range(8):
        im.putpixel((x, y), (x * 30, y * 40, 100))
im.save(d + '/still.bmp')
im.save(d + '/still.jpg', quality=95)
im.save(d + '/still.png')
one = Image.new('P', (5, 4), 1)
one.putpalette([0, 0, 0, 200, 10, 10] + [0] * 762)
one.save(d + '/one.gif')
frames = []
for k in range(3):
    f = Image.new('P', (6, 5), k)
    f.putpalette([255, 0, 0, 0, 255, 0, 0, 0, 255] + [0] * 759)
    frames.append(f)
frames[0].save(d + '/three.gif', save_all=True, append_images=frames[1:], duration=[100, 200, 300], loop=0, optimize=False, disposal=1)
)PY";
        const std::string kinds = "/usr/bin/python3 " TESSARY_SOURCE_DIR "/tests/picture/alpha_kinds.py " +
                                  (dir / "kinds").string();
        ASSERT_EQ(std::system(kinds.c_str()), 0) << "could not write the transparent PNGs";
        const fs::path py = dir / "make.py";
        std::ofstream(py) << script;
        const std::string cmd = "/usr/bin/python3 " + py.string() + " " + dir.string();
        ASSERT_EQ(std::system(cmd.c_str()), 0) << "could not make the pictures with Pillow";
    }

    void TearDown() override { fs::remove_all(dir); }
};
fs::path PictureFiles::dir;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new PictureFiles);

class PictureHolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_boxes.clear();
        SetRasterMessageHandler(RecordRasterBox);
        m_previousHook = SetPictureBoxHook(RecordPictureBox);
    }
    void TearDown() override
    {
        SetRasterMessageHandler(nullptr);
        SetPictureBoxHook(m_previousHook);
    }
    static std::string File(const char* name) { return (PictureFiles::dir / name).string(); }

    PictureBoxHook m_previousHook = nullptr;
};

TEST(PictureFormat, ExtensionDecidesTheFormat)
{
    const std::map<std::string, uint32_t> cases = {
        {"photo.JPEG", FormatJpeg},  {"a.jpg", FormatJpeg},    {"a.Jpe", FormatJpeg},
        {"x.BMP", FormatBmp},        {"anim.gif", FormatGif},  {"p.png", FormatPng},
        {"a.txt.png", FormatPng},    {"photo.tif", 0},         {"photo", 0},
        {"trailing.", 0},            {"a.png.txt", 0},         {"dir.v2/file", 0},
        {"/tmp/x.y/pic.gif", FormatGif},
    };
    for (const auto& [path, want] : cases)
        EXPECT_EQ(PictureFormatFromPath(path), want) << path;
}

TEST_F(PictureHolderTest, UnknownExtensionFailsSilentlyAndKeepsThePicture)
{
    CPictureHolder holder;
    ASSERT_TRUE(holder.Load(File("still.png"), kAllowAll, 0));
    const CRaster* before = holder.GetImage();
    for (const char* name : {"photo.tif", "photo"}) {
        EXPECT_FALSE(holder.Load(File(name), kAllowAll, 0));
        EXPECT_EQ(holder.m_strPath, File(name));
        EXPECT_EQ(holder.m_nFormat, FormatPng);
        EXPECT_EQ(holder.GetImage(), before);
    }
    EXPECT_TRUE(g_boxes.empty());
}

// Which masks accept which files, and the text of each refusal.
TEST_F(PictureHolderTest, AllowedFormatMaskAcceptsOrRefusesWithItsText)
{
    struct Case {
        const char* file;
        uint32_t mask;
        const char* refusal; // null: accepted
    };
    const Case cases[] = {
        {"still.bmp", kAllowStill, nullptr},
        {"still.bmp", kAllowAll & ~kAllowStill, "The bmp format is not supported by this operation"},
        {"still.jpg", kAllowJpeg, nullptr},
        {"still.jpg", kAllowAll & ~kAllowJpeg, "The jpeg format is not supported by this operation"},
        {"still.png", kAllowPng, nullptr},
        {"still.png", kAllowAll & ~kAllowPng, "The png format is not supported by this operation"},
        {"one.gif", kAllowStill, nullptr},
        {"one.gif", kAllowGif, nullptr},
        {"one.gif", kAllowJpeg, "The gif format is not supported by this operation"},
        {"one.gif", kAllowJpeg | kAllowPng, "The gif format is not supported by this operation"},
        {"three.gif", kAllowGif, nullptr},
        {"three.gif", kAllowStill, "The animated gif format is not supported by this operation"},
        {"three.gif", kAllowAll & ~kAllowGif, "The animated gif format is not supported by this operation"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.file) + " mask " + std::to_string(k.mask));
        g_boxes.clear();
        CPictureHolder holder;
        const bool ok = holder.Load(File(k.file), k.mask, 0);
        EXPECT_EQ(holder.m_strPath, File(k.file));
        EXPECT_EQ(uint32_t(holder.m_nFormat), PictureFormatFromPath(k.file));
        if (!k.refusal) {
            EXPECT_TRUE(ok);
            ASSERT_NE(holder.GetImage(), nullptr);
            EXPECT_TRUE(holder.GetImage()->IsValid());
            EXPECT_EQ(holder.GetImage()->GetType(), PictureFormatFromPath(k.file));
            EXPECT_TRUE(g_boxes.empty());
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(holder.GetImage(), nullptr);
            ASSERT_EQ(g_boxes.size(), 1u);
            EXPECT_EQ(g_boxes[0].text, k.refusal);
        }
    }
}

// A file whose extension lies is read as what its content is, with no box of
// the decoder that refused it, and the mask applies to the real format; a
// file that is no picture at all still fails with its extension's decoder.
TEST_F(PictureHolderTest, FileWhoseExtensionLiesIsReadByItsContent)
{
    struct Case {
        const char* source;
        const char* name;
        uint32_t mask;
        uint32_t format;
        const char* refusal; // null: accepted
    };
    const Case cases[] = {
        {"still.png", "png.jpg", kAllowAll, FormatPng, nullptr},
        {"still.jpg", "jpg.png", kAllowAll, FormatJpeg, nullptr},
        {"still.bmp", "bmp.gif", kAllowAll, FormatBmp, nullptr},
        {"one.gif", "gif.bmp", kAllowAll, FormatGif, nullptr},
        {"three.gif", "three.jpg", kAllowAll, FormatGif, nullptr},
        {"still.png", "png.jpeg", kAllowJpeg, FormatPng, "The png format is not supported by this operation"},
        {"three.gif", "three.png", kAllowStill | kAllowPng, FormatGif,
         "The animated gif format is not supported by this operation"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " as " + c.name);
        const fs::path lying = PictureFiles::dir / c.name;
        fs::copy_file(PictureFiles::dir / c.source, lying, fs::copy_options::overwrite_existing);
        g_boxes.clear();
        CPictureHolder holder;
        const bool ok = holder.Load(lying.string(), c.mask, 0);
        EXPECT_EQ(uint32_t(holder.m_nFormat), c.format);
        if (c.refusal) {
            EXPECT_FALSE(ok);
            ASSERT_EQ(g_boxes.size(), 1u);
            EXPECT_EQ(g_boxes[0].text, c.refusal);
            continue;
        }
        ASSERT_TRUE(ok);
        EXPECT_TRUE(g_boxes.empty()) << g_boxes[0].caption << ": " << g_boxes[0].text;
        EXPECT_EQ(holder.GetImage()->GetType(), c.format);
        CPictureHolder truthful;
        ASSERT_TRUE(truthful.Load(File(c.source), kAllowAll, 0));
        EXPECT_EQ(holder.GetWidth(), truthful.GetWidth());
        EXPECT_EQ(holder.GetHeight(), truthful.GetHeight());
        EXPECT_EQ(holder.GetImage()->GetPixelColor(1, 1), truthful.GetImage()->GetPixelColor(1, 1));
    }

    // Later frames of an animation named .jpg come from the GIF decoder too.
    CPictureHolder frames;
    ASSERT_TRUE(frames.Load(File("three.jpg"), kAllowAll, 2));
    EXPECT_EQ(frames.GetImage()->GetPixelColor(0, 0), MakeRgbQuad(0, 0, 255));

    const fs::path text = PictureFiles::dir / "text.jpg";
    std::ofstream(text) << "hello, not a picture";
    g_boxes.clear();
    CPictureHolder holder;
    EXPECT_FALSE(holder.Load(text.string(), kAllowAll, 0));
    EXPECT_EQ(holder.m_nFormat, FormatJpeg);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text.rfind("Not a JPEG file", 0), 0u) << g_boxes[0].text;
}

TEST_F(PictureHolderTest, LoadsTheRequestedFrameOfAnAnimation)
{
    CPictureHolder holder;
    ASSERT_TRUE(holder.Load(File("three.gif"), kAllowAll, 2));
    const CRaster& pic = *holder.GetImage();
    EXPECT_EQ(pic.GetNumFrames(), 3);
    EXPECT_EQ(pic.GetFrameDelay(), 30u);
    const RGBQUAD c = pic.GetPixelColor(0, 0);
    EXPECT_EQ(c.rgbRed, 0);
    EXPECT_EQ(c.rgbGreen, 0);
    EXPECT_EQ(c.rgbBlue, 255);
    EXPECT_EQ(holder.GetWidth(), 6);
    EXPECT_EQ(holder.GetHeight(), 5);
}

// A frame past the last one is a failure, not frame 0 passed off as it.
TEST_F(PictureHolderTest, FrameBeyondTheLastFailsWithTheDecodersText)
{
    CPictureHolder holder;
    EXPECT_FALSE(holder.Load(File("three.gif"), kAllowAll, 3));
    EXPECT_EQ(holder.GetImage(), nullptr);
    EXPECT_EQ(holder.m_nFormat, FormatGif);
    ASSERT_FALSE(g_boxes.empty());
    EXPECT_EQ(g_boxes.back().caption, "");
    EXPECT_EQ(g_boxes.back().text, ""); // the GIF decoder gives no text for it
}

TEST_F(PictureHolderTest, MissingOrBrokenFilesFailWithABox)
{
    CPictureHolder holder;
    EXPECT_FALSE(holder.Load(File("missing.png"), kAllowAll, 0));
    EXPECT_EQ(holder.GetImage(), nullptr);
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ(g_boxes[0].text, "File open error");
    EXPECT_EQ(g_boxes[1].caption, "");

    const fs::path broken = PictureFiles::dir / "broken.bmp";
    std::ofstream(broken) << "BM this is not a bitmap";
    g_boxes.clear();
    EXPECT_FALSE(holder.Load(broken.string(), kAllowAll, 0));
    EXPECT_EQ(holder.GetImage(), nullptr);
    ASSERT_FALSE(g_boxes.empty());
    EXPECT_FALSE(g_boxes.back().text.empty()) << "the decoder's text should be shown";
}

TEST_F(PictureHolderTest, SetImageTakesOwnershipAndForgetsTheFile)
{
    CPictureHolder holder;
    EXPECT_FALSE(holder.SetImage(nullptr));
    ASSERT_TRUE(holder.Load(File("still.png"), kAllowAll, 0));
    auto* pic = new CRaster(3, 2, 24);
    EXPECT_TRUE(holder.SetImage(pic));
    EXPECT_EQ(holder.GetImage(), pic);
    EXPECT_EQ(holder.m_strPath, "");
    EXPECT_EQ(holder.m_nFormat, 0);
    EXPECT_EQ(holder.GetWidth(), 3);
    EXPECT_FALSE(holder.SetImage(nullptr));
    EXPECT_EQ(holder.GetImage(), pic);
}

TEST_F(PictureHolderTest, EnsureGifPaletteConvertsEveryPictureThatIsNotAlreadyIndexed)
{
    CPictureHolder holder;
    ASSERT_TRUE(holder.Load(File("still.jpg"), kAllowAll, 0));
    ASSERT_EQ(holder.GetImage()->GetBpp(), 24u);
    EXPECT_TRUE(holder.EnsureGifPalette());
    EXPECT_EQ(holder.m_nFormat, FormatGif);
    EXPECT_EQ(holder.GetImage()->GetBpp(), 8u);
    EXPECT_EQ(holder.GetImage()->GetType(), FormatGif);

    // An indexed GIF picture is left alone; a GIF frame delivered in true colour
    // (more than 256 colours shown) is converted like any photo.
    auto* indexed = new CRaster(2, 2, 8);
    holder.SetImage(indexed);
    holder.m_nFormat = FormatGif;
    EXPECT_TRUE(holder.EnsureGifPalette());
    EXPECT_EQ(holder.GetImage(), indexed);
    EXPECT_EQ(indexed->GetBpp(), 8u);
    auto* trueColour = new CRaster(2, 2, 24);
    holder.SetImage(trueColour);
    holder.m_nFormat = FormatGif;
    EXPECT_TRUE(holder.EnsureGifPalette());
    EXPECT_EQ(holder.GetImage()->GetBpp(), 8u);
}

TEST_F(PictureHolderTest, ConvertingNothingShowsHeaderFileError)
{
    CRaster empty(0);
    EXPECT_FALSE(ConvertToGifPalette(&empty));
    EXPECT_FALSE(ConvertToGifPalette(nullptr));
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ(g_boxes[0].text, "Header File Error");
}

// Colours that differ within their top seven bits land in leaves of their own,
// so up to 256 of them are kept exactly, low bit included.
TEST_F(PictureHolderTest, GifPaletteKeepsUpTo256DistinctColoursExactly)
{
    std::mt19937 rng(7);
    std::set<uint32_t> prefixes;
    std::vector<RGBQUAD> colours;
    while (colours.size() < 256) {
        const uint32_t v = rng() & 0xFFFFFF;
        if (!prefixes.insert(v & 0xFEFEFE).second)
            continue;
        colours.push_back(MakeRgbQuad(uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)));
    }
    CRaster pic(40, 30, 24);
    std::vector<RGBQUAD> placed;
    for (long y = 0; y < 30; ++y)
        for (long x = 0; x < 40; ++x) {
            const RGBQUAD c = colours[rng() % colours.size()];
            pic.SetPixelColor(x, y, c);
            placed.push_back(c);
        }
    pic.SetFrameDelay(55);
    ASSERT_TRUE(ConvertToGifPalette(&pic));
    EXPECT_EQ(pic.GetBpp(), 8u);
    EXPECT_EQ(pic.GetNumFrames(), 1);
    EXPECT_EQ(pic.GetType(), FormatGif);
    size_t i = 0;
    for (long y = 0; y < 30; ++y)
        for (long x = 0; x < 40; ++x, ++i) {
            const RGBQUAD have = pic.GetPixelColor(x, y);
            const RGBQUAD want = placed[i];
            ASSERT_TRUE(have.rgbRed == want.rgbRed && have.rgbGreen == want.rgbGreen &&
                        have.rgbBlue == want.rgbBlue)
                << "pixel " << x << "," << y;
        }
}

// The palette lists the leaves depth first in child order: for colours that
// differ only in their top bit pattern, that is the order of the child
// indices, whatever order the pixels come in.
TEST_F(PictureHolderTest, GifPaletteListsLeavesInTreeOrder)
{
    // Child index at level 0 = red bit 7 * 4 + green bit 7 * 2 + blue bit 7.
    const RGBQUAD byChild[] = {MakeRgbQuad(1, 2, 3), MakeRgbQuad(4, 5, 200), MakeRgbQuad(6, 201, 7),
                               MakeRgbQuad(202, 8, 9)};
    const int storageOrder[] = {3, 1, 2, 0};
    CRaster pic(4, 1, 24);
    for (long x = 0; x < 4; ++x)
        pic.SetPixelColor(x, 0, byChild[storageOrder[x]]);
    ASSERT_TRUE(ConvertToGifPalette(&pic));
    for (int k = 0; k < 4; ++k) {
        const RGBQUAD e = pic.GetPaletteColor(uint8_t(k));
        EXPECT_EQ(e.rgbRed, byChild[k].rgbRed) << "entry " << k;
        EXPECT_EQ(e.rgbGreen, byChild[k].rgbGreen) << "entry " << k;
        EXPECT_EQ(e.rgbBlue, byChild[k].rgbBlue) << "entry " << k;
    }
    const RGBQUAD rest = pic.GetPaletteColor(4);
    EXPECT_TRUE(rest == MakeRgbQuad(0, 0, 0, 0));
    for (long x = 0; x < 4; ++x)
        EXPECT_EQ(pic.GetPixelIndex(x, 0), storageOrder[x]);
}

// 33 groups of 8 colours; the colours of a group share their top six bits and
// differ in bit 1 only, so each group is one level-6 node with 8 leaves, and
// groups lie in the tree in their own order. The first colour of group 32
// makes 257 leaves: the newest level-6 node (group 32, one leaf) is folded
// first without gaining anything, then group 31's node, which brings the count
// to 250; the rest of group 32 then gathers in its folded node.
TEST_F(PictureHolderTest, GifPaletteFoldsTheNewestDeepestNodesFirst)
{
    auto colourOf = [](int group, int variant) {
        uint8_t c[3] = {1, 1, 1}; // bit 0 set: it never decides a leaf
        for (int level = 0; level < 7; ++level) {
            const int digit = level < 6 ? (group >> (3 * (5 - level))) & 7 : variant;
            for (int ch = 0; ch < 3; ++ch)
                if (digit & (4 >> ch))
                    c[ch] = uint8_t(c[ch] | (0x80 >> level));
        }
        return MakeRgbQuad(c[0], c[1], c[2]);
    };
    CRaster pic(24, 11, 24);
    for (int i = 0; i < 33 * 8; ++i)
        pic.SetPixelColor(i % 24, i / 24, colourOf(i / 8, i % 8));
    ASSERT_TRUE(ConvertToGifPalette(&pic));

    auto average = [&](int group) {
        int sum[3] = {0, 0, 0};
        for (int v = 0; v < 8; ++v) {
            const RGBQUAD c = colourOf(group, v);
            sum[0] += c.rgbRed;
            sum[1] += c.rgbGreen;
            sum[2] += c.rgbBlue;
        }
        return MakeRgbQuad(uint8_t(sum[0] / 8), uint8_t(sum[1] / 8), uint8_t(sum[2] / 8));
    };
    std::vector<RGBQUAD> want;
    for (int g = 0; g < 31; ++g)
        for (int v = 0; v < 8; ++v)
            want.push_back(colourOf(g, v));
    want.push_back(average(31));
    want.push_back(average(32));
    want.resize(256, MakeRgbQuad(0, 0, 0));
    for (int k = 0; k < 256; ++k) {
        const RGBQUAD have = pic.GetPaletteColor(uint8_t(k));
        ASSERT_TRUE(have == want[size_t(k)])
            << "entry " << k << ": have " << int(have.rgbRed) << "," << int(have.rgbGreen) << ","
            << int(have.rgbBlue) << " want " << int(want[size_t(k)].rgbRed) << ","
            << int(want[size_t(k)].rgbGreen) << "," << int(want[size_t(k)].rgbBlue);
    }
}

// A picture's palette is the one its pixels give when they are added to the
// tree one by one in storage order (OctreePalette with a count of 1 each):
// on pictures with few colours, with many colours that come back (more than
// the colours remembered between pixels), and with a new colour at almost
// every pixel, which keeps the tree folding to the end.
TEST_F(PictureHolderTest, GifPaletteIsThePaletteOfItsPixelsAddedOneByOne)
{
    enum class Kind { Blocks, Photo, Noise };
    const struct {
        const char* name;
        Kind kind;
        uint32_t width, height;
    } cases[] = {{"blocks", Kind::Blocks, 61, 47}, {"photo", Kind::Photo, 320, 240},
                 {"photo row", Kind::Photo, 2000, 1}, {"noise", Kind::Noise, 150, 130}};
    std::mt19937 rng(11);
    for (const auto& c : cases) {
        CRaster pic(c.width, c.height, 24);
        for (long y = 0; y < long(c.height); ++y)
            for (long x = 0; x < long(c.width); ++x) {
                const int noise = int(rng() % 9) - 4;
                RGBQUAD colour;
                if (c.kind == Kind::Blocks)
                    colour = MakeRgbQuad(uint8_t((x / 9) * 37), uint8_t((y / 5) * 23), uint8_t(((x + y) / 13) * 50));
                else if (c.kind == Kind::Photo)
                    colour = MakeRgbQuad(uint8_t(std::clamp(int(x * 255 / long(c.width)) + noise, 0, 255)),
                                         uint8_t(std::clamp(128 + int(100 * std::sin(x * 0.03 + y * 0.05)) + noise, 0, 255)),
                                         uint8_t(std::clamp(int(y * 255 / long(c.height)) - noise, 0, 255)));
                else
                    colour = MakeRgbQuad(uint8_t(rng()), uint8_t(rng()), uint8_t(rng()));
                pic.SetPixelColor(x, y, colour);
            }
        std::vector<ColourCount> oneByOne;
        for (uint32_t y = 0; y < c.height; ++y)
            for (uint32_t x = 0; x < c.width; ++x) {
                const RGBQUAD p = pic.GetPixelColor(long(x), long(y));
                oneByOne.push_back({uint32_t(p.rgbRed) << 16 | uint32_t(p.rgbGreen) << 8 | p.rgbBlue, 1});
            }
        std::vector<RGBQUAD> want = OctreePalette(oneByOne, 256);
        want.resize(256, MakeRgbQuad(0, 0, 0));
        ASSERT_TRUE(ConvertToGifPalette(&pic)) << c.name;
        for (int k = 0; k < 256; ++k) {
            const RGBQUAD have = pic.GetPaletteColor(uint8_t(k));
            ASSERT_TRUE(have == want[size_t(k)])
                << c.name << " entry " << k << ": have " << int(have.rgbRed) << "," << int(have.rgbGreen) << ","
                << int(have.rgbBlue) << " want " << int(want[size_t(k)].rgbRed) << ","
                << int(want[size_t(k)].rgbGreen) << "," << int(want[size_t(k)].rgbBlue);
        }
    }
}

// More than 2^32 / 255 white pixels: their sums outgrow 32 bits on the way,
// and the palette must still hold white.
TEST_F(PictureHolderTest, GifPaletteOfAHugeOneColourPictureKeepsTheColour)
{
    CRaster pic(4110, 4100, 24);
    ASSERT_TRUE(pic.IsValid());
    for (uint32_t y = 0; y < pic.GetHeight(); ++y)
        std::fill_n(pic.GetBits(y), 3 * size_t(pic.GetWidth()), uint8_t(255));
    ASSERT_TRUE(ConvertToGifPalette(&pic));
    const RGBQUAD have = pic.GetPaletteColor(0);
    EXPECT_TRUE(have.rgbRed == 255 && have.rgbGreen == 255 && have.rgbBlue == 255)
        << "have " << int(have.rgbRed) << "," << int(have.rgbGreen) << "," << int(have.rgbBlue);
    EXPECT_EQ(pic.GetPixelIndex(4109, 4099), 0);
}

TEST_F(PictureHolderTest, GifPaletteOfManyColoursStaysClose)
{
    CRaster pic(64, 64, 24);
    for (long y = 0; y < 64; ++y)
        for (long x = 0; x < 64; ++x)
            pic.SetPixelColor(x, y, MakeRgbQuad(uint8_t(x * 4), uint8_t(y * 4), uint8_t((x + y) * 2)));
    const CRaster original(pic);
    ASSERT_TRUE(ConvertToGifPalette(&pic));
    ASSERT_EQ(pic.GetBpp(), 8u);
    double error = 0;
    for (long y = 0; y < 64; ++y)
        for (long x = 0; x < 64; ++x) {
            const RGBQUAD a = original.GetPixelColor(x, y), b = pic.GetPixelColor(x, y);
            error += std::abs(a.rgbRed - b.rgbRed) + std::abs(a.rgbGreen - b.rgbGreen) +
                     std::abs(a.rgbBlue - b.rgbBlue);
        }
    EXPECT_LT(error / (64 * 64 * 3), 12.0) << "mean channel error";
}

TEST_F(PictureHolderTest, GifPaletteLeavesIndexedPixelsAlone)
{
    CRaster pic(5, 3, 4);
    for (uint8_t i = 0; i < 16; ++i)
        pic.SetPaletteIndex(i, uint8_t(i * 15), 7, uint8_t(255 - i));
    for (long y = 0; y < 3; ++y)
        for (long x = 0; x < 5; ++x)
            pic.SetPixelIndex(x, y, uint8_t((x * 3 + y) % 16));
    const CRaster original(pic);
    ASSERT_TRUE(ConvertToGifPalette(&pic));
    EXPECT_EQ(pic.GetBpp(), 4u);
    EXPECT_EQ(pic.GetType(), FormatGif);
    EXPECT_EQ(pic.GetNumFrames(), 1);
    for (long y = 0; y < 3; ++y)
        for (long x = 0; x < 5; ++x)
            EXPECT_EQ(pic.GetPixelIndex(x, y), original.GetPixelIndex(x, y));
}

// A picture with an alpha plane becomes a frame over the same background as
// the kinds of PNG that libpng composes while decoding: the file's bKGD (grey
// 40 here), else grey 192. The 8-bit kinds agree exactly, the 16-bit ones
// (composed before or after their low byte goes) within one level.
TEST_F(PictureHolderTest, EveryTransparentKindOfPngShowsOverTheSameBackground)
{
    struct Kind {
        const char* name;
        bool keepsAlpha; // decoded with an alpha plane, composed by us
        bool sixteen;
    };
    const Kind kinds[] = {{"rgba8", true, false}, {"ga16", true, true}, {"ga8", false, false},
                          {"rgba16", false, true}, {"pal", false, false}};
    for (const char* suffix : {"", "-bkgd"}) {
        std::vector<std::unique_ptr<CRaster>> seen;
        for (const Kind& k : kinds) {
            const std::string name = std::string(k.name) + suffix + ".png";
            CPictureHolder holder;
            ASSERT_TRUE(holder.Load((PictureFiles::dir / "kinds" / name).string(), kAllowAll, 0)) << name;
            auto pic = std::make_unique<CRaster>(*holder.GetImage());
            ASSERT_EQ(pic->HasAlpha(), k.keepsAlpha) << name;
            ASSERT_TRUE(ComposeOverBackground(pic.get())) << name;
            EXPECT_FALSE(pic->HasAlpha()) << name;
            seen.push_back(std::move(pic));
        }
        const uint8_t background = *suffix ? 40 : 192;
        for (size_t k = 0; k < seen.size(); ++k)
            for (long y = 0; y < 16; ++y)
                for (long x = 0; x < 16; ++x) {
                    const RGBQUAD want = seen[0]->GetPixelColor(x, y);
                    const RGBQUAD have = seen[k]->GetPixelColor(x, y);
                    const int slack = kinds[k].sixteen ? 1 : 0;
                    ASSERT_LE(std::abs(have.rgbRed - want.rgbRed), slack)
                        << kinds[k].name << suffix << " at " << x << "," << y << ": have "
                        << int(have.rgbRed) << ", want " << int(want.rgbRed) << " as in rgba8";
                    ASSERT_TRUE(have.rgbRed == have.rgbGreen && have.rgbRed == have.rgbBlue);
                }
        // The top row is fully transparent.
        EXPECT_EQ(seen[0]->GetPixelColor(5, 15).rgbRed, background) << "background" << suffix;
    }
}

} // namespace
