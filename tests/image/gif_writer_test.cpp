// The animated GIF writer: exact file layout, the run-length coder's code
// stream, failures, and round trips through our decoder, Pillow and gifsicle.
#include "gif_test_util.h"

namespace {

using namespace giftest;

std::unique_ptr<CRaster> MakeFrame(uint32_t w, uint32_t h, long bpp, const std::function<uint8_t(uint32_t, uint32_t)>& px)
{
    auto f = std::make_unique<CRaster>(w, h, bpp, FormatGif);
    const uint32_t colours = f->GetNumColors();
    for (uint32_t i = 0; i < colours; ++i)
        f->SetPaletteIndex(uint8_t(i), uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 13), 0);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            f->SetPixelIndex(long(x), long(h - 1 - y), px(x, y));
    return f;
}

Bytes WriteOne(CRaster& frame)
{
    CRasterGifCodec writer;
    CRaster* frames[] = {&frame};
    bool ok = false;
    Bytes b = Encode(writer, frames, 1, &ok);
    EXPECT_TRUE(ok) << writer.GetLastError();
    return b;
}

// Offset of the first image's LZW data (after the code size byte) in a file
// with one 8-bit frame and no comment.
constexpr size_t kFirstDataOffset8 = 6 + 7 + 768 + 19 + 8 + 10 + 768 + 1;

// Concatenated sub-block payloads starting at `pos`; sets *end past the terminator.
Bytes Unblock(const Bytes& f, size_t pos, size_t* end = nullptr, size_t* withLengths = nullptr)
{
    Bytes data;
    size_t start = pos;
    while (pos < f.size() && f[pos] != 0) {
        const size_t n = f[pos];
        data.insert(data.end(), f.begin() + long(pos + 1), f.begin() + long(pos + 1 + n));
        pos += 1 + n;
    }
    if (withLengths)
        *withLengths = pos - start;
    if (end)
        *end = pos + 1;
    return data;
}

// Splits a code stream into codes the way a decoder reads them, following the
// decoder's width changes; clear codes are returned too.
std::vector<int> ReadCodes(const Bytes& data, int codeSize)
{
    std::vector<int> codes;
    const int clear = 1 << codeSize;
    int width = codeSize + 1;
    int slot = clear + 2;
    bool first = true;
    uint32_t acc = 0;
    int bits = 0;
    size_t i = 0;
    for (;;) {
        while (bits < width && i < data.size()) {
            acc |= uint32_t(data[i++]) << bits;
            bits += 8;
        }
        if (bits < width)
            break;
        const int code = int(acc & ((1u << width) - 1));
        acc >>= width;
        bits -= width;
        codes.push_back(code);
        if (code == clear) {
            width = codeSize + 1;
            slot = clear + 2;
            first = true;
            continue;
        }
        if (code == clear + 1)
            break;
        if (first) {
            first = false;
            continue;
        }
        if (slot < 4096)
            ++slot;
        if (slot >= (1 << width) && width < 12)
            ++width;
    }
    return codes;
}

TEST(GifWriter, WritesOnePixelFileByteForByte)
{
    CRaster frame(1, 1, 8, FormatGif);
    frame.SetPixelIndex(0, 0, 0);
    const Bytes f = WriteOne(frame);

    Bytes want = {'G', 'I', 'F', '8', '9', 'a', 0x01, 0x00, 0x01, 0x00, 0xF7, 0x00, 0x00};
    want.insert(want.end(), 768, 0);
    const uint8_t loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01, 0x00, 0x00, 0x00};
    want.insert(want.end(), loop, loop + sizeof(loop));
    const uint8_t gce[] = {0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0xFF, 0x00};
    want.insert(want.end(), gce, gce + sizeof(gce));
    const uint8_t desc[] = {0x2C, 0, 0, 0, 0, 0x01, 0x00, 0x01, 0x00, 0x87};
    want.insert(want.end(), desc, desc + sizeof(desc));
    want.insert(want.end(), 768, 0);
    const uint8_t tail[] = {0x08, 0x04, 0x00, 0x01, 0x04, 0x04, 0x00, 0x3B};
    want.insert(want.end(), tail, tail + sizeof(tail));
    EXPECT_EQ(f, want);
}

TEST(GifWriter, SendsLongSingleColourRunAsRisingRunCodes)
{
    auto frame = MakeFrame(100, 50, 8, [](uint32_t, uint32_t) { return uint8_t(9); });
    const Bytes f = WriteOne(*frame);
    size_t end = 0, withLengths = 0;
    const Bytes data = Unblock(f, kFirstDataOffset8, &end, &withLengths);
    EXPECT_EQ(withLengths, 116u) << "sub-block bytes, length bytes included";
    const std::vector<int> codes = ReadCodes(data, 8);
    ASSERT_GE(codes.size(), 4u);
    EXPECT_EQ(codes[0], 256);
    EXPECT_EQ(codes[1], 9);
    // Every later code is one run longer than the one before it.
    for (size_t i = 2; i + 2 < codes.size(); ++i)
        EXPECT_EQ(codes[i], 258 + int(i) - 2) << "code " << i;
    EXPECT_EQ(codes.back(), 257);
}

TEST(GifWriter, SendsChangingPixelsAsPlainCodesWithClearEvery254)
{
    auto frame = MakeFrame(700, 1, 8, [](uint32_t x, uint32_t) { return uint8_t(x % 2 ? 200 : 17); });
    const Bytes f = WriteOne(*frame);
    const std::vector<int> codes = ReadCodes(Unblock(f, kFirstDataOffset8), 8);
    // clear, 254 pixels, clear, 254 pixels, clear, 192 pixels, end
    ASSERT_EQ(codes.size(), 1u + 254 + 1 + 254 + 1 + 192 + 1);
    size_t pixel = 0;
    for (size_t i = 0; i < codes.size(); ++i) {
        if (i == 0 || i == 255 || i == 510) {
            EXPECT_EQ(codes[i], 256) << "code " << i;
        } else if (i + 1 == codes.size()) {
            EXPECT_EQ(codes[i], 257);
        } else {
            EXPECT_EQ(codes[i], pixel % 2 ? 200 : 17) << "code " << i;
            ++pixel;
        }
    }
}

TEST(GifWriter, WritesTransparencyDelayOffsetAndBitDepthFields)
{
    struct Case {
        long bpp;
        long trans;
        uint32_t delay;
        long left, top;
        uint8_t screenPacked, gcePacked, transByte, descPacked, codeSize;
        uint16_t delayField;
    };
    const Case cases[] = {
        {8, 3, 50, 0, 0, 0xF7, 0x01, 0x03, 0x87, 8, 50},
        {8, -1, 70000, 5, 300, 0xF7, 0x00, 0xFF, 0x87, 8, 4464},
        {4, 15, 1, 0, 0, 0xB3, 0x01, 0x0F, 0x83, 4, 1},
        {1, -1, 0xFFFF, 1, 2, 0x80, 0x00, 0xFF, 0x80, 2, 0xFFFF},
    };
    for (const Case& c : cases) {
        auto frame = MakeFrame(3, 2, c.bpp, [](uint32_t x, uint32_t) { return uint8_t(x & 1); });
        frame->SetTransIndex(c.trans);
        frame->SetFrameDelay(c.delay);
        frame->SetOffset(c.left, c.top);
        const Bytes f = WriteOne(*frame);
        const size_t table = size_t(3) << c.bpp;
        EXPECT_EQ(f[10], c.screenPacked) << "bpp " << c.bpp;
        const size_t gce = 13 + table + 19;
        ASSERT_EQ(f[gce], 0x21);
        EXPECT_EQ(f[gce + 3], c.gcePacked);
        EXPECT_EQ(f[gce + 4] | (f[gce + 5] << 8), c.delayField);
        EXPECT_EQ(f[gce + 6], c.transByte);
        const size_t desc = gce + 8;
        EXPECT_EQ(f[desc + 1] | (f[desc + 2] << 8), c.left);
        EXPECT_EQ(f[desc + 3] | (f[desc + 4] << 8), c.top);
        EXPECT_EQ(f[desc + 9], c.descPacked);
        EXPECT_EQ(f[desc + 10 + table], c.codeSize);
        EXPECT_EQ(f.back(), 0x3B);
    }
}

TEST(GifWriter, WritesLoopCountDisposalAndComment)
{
    auto frame = MakeFrame(2, 2, 8, [](uint32_t x, uint32_t y) { return uint8_t(x + y); });
    CRasterGifCodec writer;
    writer.SetLoops(513);
    writer.SetDisposalMethod(2);
    writer.SetComment(std::string(300, 'c').c_str());
    CRaster* frames[] = {frame.get(), frame.get()};
    const Bytes f = Encode(writer, frames, 2);
    const size_t loop = 13 + 768;
    EXPECT_EQ(f[loop + 16], 0x01);
    EXPECT_EQ(f[loop + 17], 0x02);
    EXPECT_EQ(f[loop + 19 + 3], 0x08) << "disposal 2 in bits 2-4";
    // Comment: 21 FE, length 255, 255 bytes, 00, then the trailer.
    ASSERT_GT(f.size(), 260u);
    const size_t c = f.size() - 1 - 1 - 255 - 3;
    EXPECT_EQ(f[c], 0x21);
    EXPECT_EQ(f[c + 1], 0xFE);
    EXPECT_EQ(f[c + 2], 255);
    EXPECT_EQ(f[f.size() - 2], 0x00);
    EXPECT_EQ(f.back(), 0x3B);
}

TEST(GifWriter, ReportsFailuresWithTheirTexts)
{
    auto good = MakeFrame(4, 4, 8, [](uint32_t x, uint32_t) { return uint8_t(x); });
    CRaster trueColour(4, 4, 24, FormatGif);
    CRaster empty(FormatGif);
    struct Case {
        const char* name;
        bool nullStream;
        std::vector<CRaster*> frames;
        bool nullArray;
        const char* text;
        bool wroteFirstFrame;
    };
    const Case cases[] = {
        {"null stream", true, {good.get()}, false, "invalid file pointer", false},
        {"null array", false, {}, true, "multipage GIF, no images!", false},
        {"count 0", false, {}, false, "multipage GIF, no images!", false},
        {"first null", false, {nullptr, good.get()}, false, "multipage GIF, no images!", false},
        {"later null", false, {good.get(), nullptr, good.get()}, false, "Bad image pointer", true},
        {"true colour", false, {&trueColour}, false, "GIF frame must be an indexed picture", false},
        {"no pixels", false, {&empty}, false, "GIF frame must be an indexed picture", false},
    };
    for (const Case& c : cases) {
        CRasterGifCodec writer;
        CRasterMemFile out;
        out.Open();
        std::vector<CRaster*> frames = c.frames;
        const bool ok = writer.Encode(c.nullStream ? nullptr : &out, c.nullArray ? nullptr : frames.data(),
                                      int(frames.size()));
        EXPECT_FALSE(ok) << c.name;
        EXPECT_STREQ(writer.GetLastError(), c.text) << c.name;
        if (c.wroteFirstFrame) {
            // Header, global table, loop block and one whole frame; no trailer.
            const long oneFrame = 13 + 768 + 19 + 8 + 10 + 768 + 1;
            EXPECT_GT(out.Size(), oneFrame) << c.name;
            out.Seek(-1, 2);
            EXPECT_NE(out.GetC(), 0x3B) << c.name;
        } else {
            EXPECT_EQ(out.Size(), 0) << c.name;
        }
    }
}

TEST(GifWriter, RasterEncodeWritesGifAndRefusesOtherTypes)
{
    auto frame = MakeFrame(3, 3, 8, [](uint32_t x, uint32_t y) { return uint8_t(x * 3 + y); });
    CRaster* frames[] = {frame.get()};
    for (uint32_t type : {0u, 1u, 3u, 4u, 9u}) {
        CRaster holder(0);
        CRasterMemFile out;
        out.Open();
        EXPECT_FALSE(holder.Encode(&out, frames, 1, type));
        EXPECT_STREQ(holder.GetLastError(), "Unsupported operation for this format");
        EXPECT_EQ(out.Size(), 0);
    }
    CRaster holder(0);
    CRasterMemFile out;
    out.Open();
    ASSERT_TRUE(holder.Encode(&out, frames, 1, FormatGif));
    CRasterGifCodec direct;
    EXPECT_EQ(Encode(direct, frames, 1).size(), size_t(out.Size()));

    CRasterMemFile out2;
    out2.Open();
    EXPECT_FALSE(holder.Encode(&out2, frames, 0, FormatGif));
    EXPECT_STREQ(holder.GetLastError(), "multipage GIF, no images!");
}

// Pixel patterns that drive the coder through its branches: long runs that
// outgrow the run table, runs of a pixel other than the table's, runs right
// after clears, single pixels between runs, noise.
uint8_t Pattern(int kind, uint32_t x, uint32_t y, uint32_t w, std::mt19937& rng)
{
    const uint32_t i = y * w + x;
    switch (kind) {
    case 0: return 5;
    case 1: return uint8_t(rng() & 0xFF);
    case 2: return uint8_t((i / 37) % 3);
    case 3: return uint8_t((i % 1000) < 990 ? 7 : i & 0xFF);
    case 4: {
        // runs of growing length with alternating colours
        uint32_t n = 0, len = 1, colour = 0;
        while (n + len <= i) {
            n += len;
            ++len;
            ++colour;
        }
        return uint8_t(colour % 2 ? 200 : 3);
    }
    case 5: return uint8_t(rng() % 5 == 0 ? rng() & 0xFF : 42);
    default: return uint8_t((x / 50 + y / 50) % 2 ? 1 : 250);
    }
}

TEST(GifWriter, RoundTripsEverySizeDepthAndPatternThroughOurDecoder)
{
    std::mt19937 rng(7);
    std::vector<std::pair<uint32_t, uint32_t>> sizes;
    for (uint32_t n = 1; n <= 11; ++n) {
        sizes.push_back({n, n});
        sizes.push_back({1, n * 37});
        sizes.push_back({n * 41, 1});
    }
    sizes.push_back({128, 128});
    sizes.push_back({300, 257});
    for (long bpp : {1L, 4L, 8L}) {
        for (int kind = 0; kind <= 6; ++kind) {
            for (auto [w, h] : sizes) {
                auto frame = MakeFrame(w, h, bpp, [&](uint32_t x, uint32_t y) {
                    return uint8_t(Pattern(kind, x, y, w, rng) & ((1u << bpp) - 1));
                });
                const DecodeResult d = DecodeFrame(WriteOne(*frame), 0);
                ASSERT_TRUE(d.ok) << d.error;
                ASSERT_EQ(d.picture->GetWidth(), w);
                ASSERT_EQ(d.picture->GetHeight(), h);
                for (uint32_t y = 0; y < h; ++y)
                    for (uint32_t x = 0; x < w; ++x)
                        ASSERT_EQ(d.picture->GetPixelIndex(x, y), frame->GetPixelIndex(x, y))
                            << "bpp " << bpp << " pattern " << kind << " size " << w << "x" << h << " at " << x
                            << "," << y;
            }
        }
    }
}

// Long runs of every length around the coder's limits: each run needs the
// table, outgrows it, or forces a clear in the middle.
TEST(GifWriter, RoundTripsRunsOfEveryLengthAcrossClears)
{
    std::vector<uint8_t> pixels;
    std::mt19937 rng(3);
    const uint32_t lengths[] = {2, 3, 254, 255, 256, 1000, 3837, 3838, 7363203 / 500, 20000, 65536};
    for (uint32_t len : lengths) {
        pixels.insert(pixels.end(), len, uint8_t(rng() % 3));
        pixels.insert(pixels.end(), len / 3 + 1, uint8_t(3 + rng() % 2));
    }
    for (int i = 0; i < 3000; ++i)
        pixels.insert(pixels.end(), 1 + rng() % 300, uint8_t(rng() % 4));
    const uint32_t w = 1024;
    const uint32_t h = uint32_t((pixels.size() + w - 1) / w);
    pixels.resize(size_t(w) * h, 0);
    auto frame = MakeFrame(w, h, 8, [&](uint32_t x, uint32_t y) { return pixels[size_t(y) * w + x]; });
    const DecodeResult d = DecodeFrame(WriteOne(*frame), 0);
    ASSERT_TRUE(d.ok);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            ASSERT_EQ(TopDownIndex(*d.picture, x, y), pixels[size_t(y) * w + x]) << x << "," << y;
}

// Decoders accept many code streams for one picture; files made by the
// program must be the very bytes of its run coder. tests/image/gif_run_coder.py
// is a second coder written apart from ours; both must give the same sub-blocks.
TEST(GifWriter, ImageDataMatchesTheIndependentCoderByteForByte)
{
    if (!HaveTool("python3"))
        GTEST_SKIP() << "needs python3";
    TempDir dir;
    std::mt19937 rng(5);
    struct Case {
        uint32_t w, h;
        long bpp;
        int pattern;
    };
    std::vector<Case> cases;
    for (int kind = 0; kind <= 6; ++kind) {
        cases.push_back({97, 61, 8, kind});
        cases.push_back({300, 257, 8, kind});
        cases.push_back({33, 40, 4, kind});
        cases.push_back({50, 9, 1, kind});
    }
    // Long runs that meet the table, outgrow it and force clears mid-run,
    // with short changing stretches between them.
    std::vector<uint8_t> runs;
    for (uint32_t len : {2u, 3u, 254u, 255u, 1000u, 3837u, 3838u, 14726u, 70000u}) {
        runs.insert(runs.end(), len, uint8_t(rng() % 3));
        for (int i = 0; i < 40; ++i)
            runs.push_back(uint8_t(rng() % 7));
        runs.insert(runs.end(), len / 2 + 1, uint8_t(runs.back()));
    }
    const uint32_t runsWidth = 1000;
    runs.resize((runs.size() + runsWidth - 1) / runsWidth * runsWidth, 0);
    cases.push_back({runsWidth, uint32_t(runs.size() / runsWidth), 8, -1});

    for (const Case& c : cases) {
        auto frame = MakeFrame(c.w, c.h, c.bpp, [&](uint32_t x, uint32_t y) {
            const uint32_t v = c.pattern < 0 ? runs[size_t(y) * c.w + x] : Pattern(c.pattern, x, y, c.w, rng);
            return uint8_t(v & ((1u << c.bpp) - 1));
        });
        Bytes indices;
        for (uint32_t y = 0; y < c.h; ++y)
            for (uint32_t x = 0; x < c.w; ++x)
                indices.push_back(TopDownIndex(*frame, x, y));
        WriteFile(dir.Path("indices"), indices);
        const int codeSize = c.bpp < 2 ? 2 : int(c.bpp);
        ASSERT_EQ(RunCommand("python3 " TESSARY_SOURCE_DIR "/tests/image/gif_run_coder.py " +
                             std::to_string(codeSize) + " <'" + dir.Path("indices") + "' >'" +
                             dir.Path("expected") + "'"),
                  0);
        const Bytes expected = ReadFile(dir.Path("expected"));

        const Bytes file = WriteOne(*frame);
        const size_t table = size_t(3) << c.bpp;
        const size_t data = 13 + table + 19 + 8 + 10 + table;
        ASSERT_LT(data + 1 + expected.size(), file.size());
        EXPECT_EQ(file[data], codeSize);
        const Bytes written(file.begin() + long(data + 1), file.begin() + long(data + 1 + expected.size()));
        EXPECT_TRUE(written == expected) << c.w << " x " << c.h << " bpp " << c.bpp << " pattern " << c.pattern;
        EXPECT_EQ(file[data + 1 + expected.size()], 0) << "terminator right after the data";
    }
}

// Everything the writer writes must read the same in Pillow and be accepted
// by gifsicle.
TEST(GifWriter, PillowReadsWhatWeWriteAndGifsicleAcceptsIt)
{
    const std::string python = PythonWithPillow();
    if (python.empty() || !HaveTool("gifsicle"))
        GTEST_SKIP() << "needs Python with Pillow and gifsicle";
    TempDir dir;
    std::mt19937 rng(11);
    std::vector<std::unique_ptr<CRaster>> frames;
    // Full-size frames, all composed with disposal 1 in Pillow as well; each
    // frame has its own palette and some a transparent index.
    for (int i = 0; i < 6; ++i) {
        const long bpp = i == 4 ? 4 : 8;
        auto f = MakeFrame(97, 61, bpp, [&](uint32_t x, uint32_t y) {
            return uint8_t(Pattern(i, x, y, 97, rng) & ((1u << bpp) - 1));
        });
        for (uint32_t c = 0; c < f->GetNumColors(); ++c)
            f->SetPaletteIndex(uint8_t(c), uint8_t(c * 3 + i), uint8_t(c ^ 0x5A), uint8_t(255 - c), 0);
        f->SetFrameDelay(10 + i);
        frames.push_back(std::move(f));
    }
    std::vector<CRaster*> ptrs;
    for (auto& f : frames)
        ptrs.push_back(f.get());
    CRasterGifCodec writer;
    writer.SetComment("made by the test");
    bool ok = false;
    const Bytes gif = Encode(writer, ptrs.data(), int(ptrs.size()), &ok);
    ASSERT_TRUE(ok);
    const std::string path = dir.Path("out.gif");
    WriteFile(path, gif);

    std::string info;
    ASSERT_EQ(RunCommand("gifsicle --info '" + path + "' 2>&1", &info), 0) << info;
    EXPECT_NE(info.find("6 images"), std::string::npos) << info;
    EXPECT_EQ(info.find("warning"), std::string::npos) << info;

    // Pillow prints every frame's pixels as RGB triples, frame by frame.
    const std::string script = dir.Path("dump.py");
    const std::string code = R"(
import sys
from PIL import Image, ImageSequence
im = Image.open(sys.argv[1])
out = open(sys.argv[2], 'wb')
for frame in ImageSequence.Iterator(im):
    out.write(frame.convert('RGB').tobytes())
    out.write(bytes([frame.info.get('duration', 0) // 10]))
)";
    WriteFile(script, Bytes(code.begin(), code.end()));
    ASSERT_EQ(RunCommand(python + " '" + script + "' '" + path + "' '" + dir.Path("rgb") + "'"), 0);
    const Bytes rgb = ReadFile(dir.Path("rgb"));
    const size_t perFrame = 97 * 61 * 3 + 1;
    ASSERT_EQ(rgb.size(), perFrame * frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const CRaster& f = *frames[i];
        for (uint32_t y = 0; y < 61; ++y)
            for (uint32_t x = 0; x < 97; ++x) {
                const RGBQUAD c = TopDownColor(f, x, y);
                const uint8_t* p = &rgb[i * perFrame + (y * 97 + x) * 3];
                ASSERT_EQ(p[0], c.rgbRed) << "frame " << i << " at " << x << "," << y;
                ASSERT_EQ(p[1], c.rgbGreen);
                ASSERT_EQ(p[2], c.rgbBlue);
            }
        EXPECT_EQ(rgb[i * perFrame + perFrame - 1], 10 + i) << "delay of frame " << i;
    }
}

} // namespace
