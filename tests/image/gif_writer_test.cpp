// The animated GIF writer: exact file layout, the run-length coder's code
// stream, failures, and round trips through our decoder, Pillow and gifsicle.
#include "gif_test_util.h"

namespace {

using namespace giftest;

const std::pair<const char*, GifWriteOptions> kWriteOptions[] = {
    {"run coder", GifWriteOptions{}},
    {"LZW", GifWriteOptions{true, false}},
    {"LZW and differencing", GifWriteOptions{true, true}},
};

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

// Every frame of `gif` as Pillow shows it: RGB bytes, then the delay in
// hundredths, frame after frame.
Bytes PillowFrames(const std::string& python, const TempDir& dir, const std::string& gif)
{
    const std::string script = dir.Path("frames.py");
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
    const std::string out = dir.Path("frames.rgb");
    std::remove(out.c_str());
    EXPECT_EQ(RunCommand(python + " '" + script + "' '" + gif + "' '" + out + "'"), 0) << gif;
    return ReadFile(out);
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
    for (const auto& [name, options] : kWriteOptions) {
        SCOPED_TRACE(name);
        CRasterGifCodec writer;
        writer.SetComment("made by the test");
        writer.SetWriteOptions(options);
        bool ok = false;
        const Bytes gif = Encode(writer, ptrs.data(), int(ptrs.size()), &ok);
        ASSERT_TRUE(ok);
        const std::string path = dir.Path("out.gif");
        WriteFile(path, gif);

        std::string info;
        ASSERT_EQ(RunCommand("gifsicle --info '" + path + "' 2>&1", &info), 0) << info;
        EXPECT_NE(info.find("6 images"), std::string::npos) << info;
        EXPECT_EQ(info.find("warning"), std::string::npos) << info;

        const Bytes rgb = PillowFrames(python, dir, path);
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
}

// A memory stream that takes at most `limit` bytes, as a full disk or a
// file-size limit does, and optionally fails its flush.
class LimitedStream : public CRasterMemFile {
public:
    LimitedStream(long limit, bool bFailFlush) : m_limit(limit), m_bFailFlush(bFailFlush) { Open(); }

    size_t Write(const void* buffer, size_t size, size_t count) override
    {
        const long room = std::max(0L, m_limit - Size());
        const size_t items = std::min(count, size_t(room) / size);
        if (items > 0)
            CRasterMemFile::Write(buffer, size, items);
        return items;
    }
    bool PutC(unsigned char c) override { return Write(&c, 1, 1) == 1; }
    bool Flush() override { return !m_bFailFlush && CRasterMemFile::Flush(); }

private:
    long m_limit;
    bool m_bFailFlush;
};

// Encode succeeds exactly when every byte of the file reached the stream.
TEST(GifWriter, FailsWithWriteErrorWhenTheStreamRefusesBytes)
{
    std::mt19937 rng(21);
    std::vector<std::unique_ptr<CRaster>> frames;
    std::vector<CRaster*> ptrs;
    for (int i = 0; i < 3; ++i) {
        frames.push_back(MakeFrame(40, 30, 8, [&](uint32_t x, uint32_t y) {
            return uint8_t(Pattern(i == 1 ? 1 : 6, x + uint32_t(i), y, 40, rng));
        }));
        ptrs.push_back(frames.back().get());
    }
    for (const auto& [name, options] : kWriteOptions) {
        SCOPED_TRACE(name);
        CRasterGifCodec whole;
        whole.SetWriteOptions(options);
        whole.SetComment("a comment");
        bool ok = false;
        const Bytes file = Encode(whole, ptrs.data(), 3, &ok);
        ASSERT_TRUE(ok);
        const long size = long(file.size());
        for (long limit : {0L, 1L, 6L, 13L, 800L, size / 2, size - 2, size - 1, size, size + 1}) {
            for (bool bFailFlush : {false, true}) {
                LimitedStream out(limit, bFailFlush);
                CRasterGifCodec writer;
                writer.SetWriteOptions(options);
                writer.SetComment("a comment");
                const bool written = writer.Encode(&out, ptrs.data(), 3);
                const bool want = limit >= size && !bFailFlush;
                EXPECT_EQ(written, want) << "limit " << limit << " of " << size << ", flush fails " << bFailFlush;
                if (!want) {
                    EXPECT_STREQ(writer.GetLastError(), "Write error") << "limit " << limit;
                }
            }
        }
    }
}

// Codes of a stream as ReadCodes gives them, with the number of pixels
// decoded after each code and the count of codes since the last clear.
struct CodeEnd {
    size_t pixels;
    int sinceClear;
};

std::vector<CodeEnd> CodeEnds(const Bytes& data, int codeSize)
{
    const int clear = 1 << codeSize;
    std::vector<size_t> length(4096, 1);
    std::vector<CodeEnd> ends;
    int next = clear + 2;
    int previous = -1;
    int sinceClear = 0;
    size_t pixels = 0;
    for (int code : ReadCodes(data, codeSize)) {
        if (code == clear) {
            next = clear + 2;
            previous = -1;
            sinceClear = 0;
            continue;
        }
        if (code == clear + 1)
            break;
        if (previous >= 0 && next < 4096)
            length[size_t(next++)] = length[size_t(previous)] + 1;
        pixels += length[size_t(code)];
        previous = code;
        ends.push_back({pixels, ++sinceClear});
    }
    return ends;
}

// The LZW coder's data are those of an independent dictionary coder byte for
// byte, at every code size; the streams are long enough to widen the codes
// to 12 bits and fill the table, and every stream cut right around a width
// change or a table reset ends with the end code at the decoder's width.
TEST(GifWriter, LzwDataMatchTheIndependentCoderAtEveryWidthEdge)
{
    std::mt19937 rng(17);
    for (int depth = 1; depth <= 8; ++depth) {
        const int codeSize = depth < 2 ? 2 : depth;
        const uint32_t colours = 1u << depth;
        // Noise, one long run, runs of random lengths; fewer colours make
        // longer strings, so they need more pixels to fill the table.
        const size_t length = size_t(240000) >> std::min(depth, 3);
        std::vector<std::vector<uint8_t>> streams(3);
        for (size_t i = 0; i < length; ++i)
            streams[0].push_back(uint8_t(rng() % colours));
        streams[1].assign(30000, uint8_t(colours - 1));
        while (streams[2].size() < 2 * length)
            streams[2].insert(streams[2].end(), 1 + rng() % 12, uint8_t(rng() % colours));
        for (size_t s = 0; s < streams.size(); ++s) {
            const std::vector<uint8_t>& px = streams[s];
            Bytes want;
            PutSubBlocks(want, LzwEncode(px, codeSize));
            const Bytes have = GifLzwImageData(px.data(), px.size(), codeSize);
            ASSERT_TRUE(have == want) << "depth " << depth << " stream " << s;
            if (s == 1)
                continue;

            const std::vector<CodeEnd> ends = CodeEnds(LzwEncode(px, codeSize), codeSize);
            // Codes since a clear at which the decoder's next entry needs
            // another bit; the last one is where the table fills.
            std::vector<int> edges;
            for (int width = codeSize + 1; width <= 12; ++width)
                edges.push_back((1 << width) - ((1 << codeSize) + 2));
            int resets = 0, cuts = 0;
            for (size_t k = 0; k < ends.size(); ++k) {
                if (ends[k].sinceClear == 1 && k > 0)
                    ++resets;
                bool bNearEdge = false;
                for (int e : edges)
                    bNearEdge = bNearEdge || std::abs(ends[k].sinceClear - e) <= 1;
                // Cut once around each edge: in the first table only.
                if (!bNearEdge || resets > 0)
                    continue;
                ++cuts;
                const std::vector<uint8_t> prefix(px.begin(), px.begin() + long(ends[k].pixels));
                Bytes wantCut;
                PutSubBlocks(wantCut, LzwEncode(prefix, codeSize));
                ASSERT_TRUE(GifLzwImageData(prefix.data(), prefix.size(), codeSize) == wantCut)
                    << "depth " << depth << " stream " << s << " cut after code " << ends[k].sinceClear
                    << " of its table";
            }
            EXPECT_GE(resets, 1) << "depth " << depth << " stream " << s << " never filled the table";
            EXPECT_EQ(cuts, 3 * int(edges.size())) << "depth " << depth << " stream " << s;
        }
    }
}

// Our decoder gives back every index the LZW coder wrote, at every colour
// depth, size and pattern.
TEST(GifWriter, LzwDataRoundTripThroughOurDecoderAtEveryDepth)
{
    std::mt19937 rng(29);
    const std::pair<uint16_t, uint16_t> sizes[] = {{1, 1}, {1, 300}, {300, 1}, {2, 2}, {64, 64}, {257, 130}};
    for (int depth = 1; depth <= 8; ++depth) {
        const int codeSize = depth < 2 ? 2 : depth;
        for (int kind = 0; kind <= 6; ++kind) {
            for (auto [w, h] : sizes) {
                GifImage img;
                img.width = w;
                img.height = h;
                img.codeSize = codeSize;
                for (uint32_t y = 0; y < h; ++y)
                    for (uint32_t x = 0; x < w; ++x)
                        img.pixels.push_back(uint8_t(Pattern(kind, x, y, w, rng) & ((1u << depth) - 1)));
                const Bytes blocks = GifLzwImageData(img.pixels.data(), img.pixels.size(), codeSize);
                GifBuilder b(w, h, GreyRamp(size_t(1) << depth));
                b.ImageRaw(img, Unblock(blocks, 0));
                Bytes file = b.Finish();
                CRasterMemFile in(file.data(), unsigned(file.size()));
                CRasterGifCodec d;
                ASSERT_TRUE(d.Decode(&in)) << d.GetLastError();
                EXPECT_EQ(d.GetBadCodeCount(), 0);
                for (uint32_t y = 0; y < h; ++y)
                    for (uint32_t x = 0; x < w; ++x)
                        ASSERT_EQ(TopDownIndex(d, x, y), img.pixels[size_t(y) * w + x])
                            << "depth " << depth << " pattern " << kind << " size " << w << "x" << h << " at " << x
                            << "," << y;
            }
        }
    }
}

// Walks a file written by us and tells, per image, whether it carries a local
// colour table, and its rectangle.
struct ImageFacts {
    bool bLocalTable;
    uint16_t left, top, width, height;
    uint8_t gcePacked;
    uint8_t codeSize;
};

std::vector<ImageFacts> WalkImages(const Bytes& f)
{
    std::vector<ImageFacts> images;
    size_t pos = 13 + ((f[10] & 0x80) ? size_t(3) << ((f[10] & 7) + 1) : 0);
    uint8_t gce = 0;
    while (pos < f.size() && f[pos] != 0x3B) {
        if (f[pos] == 0x21) {
            if (f[pos + 1] == 0xF9)
                gce = f[pos + 3];
            pos += 2;
            Unblock(f, pos, &pos);
        } else if (f[pos] == 0x2C) {
            auto word = [&](size_t at) { return uint16_t(f[at] | (f[at + 1] << 8)); };
            const uint8_t packed = f[pos + 9];
            const size_t data = pos + 10 + ((packed & 0x80) ? size_t(3) << ((packed & 7) + 1) : 0);
            images.push_back({(packed & 0x80) != 0, word(pos + 1), word(pos + 3), word(pos + 5), word(pos + 7), gce,
                              f[data]});
            pos = data + 1;
            Unblock(f, pos, &pos);
        } else {
            ADD_FAILURE() << "unexpected byte " << int(f[pos]) << " at " << pos;
            break;
        }
    }
    return images;
}

TEST(GifWriter, LzwCoderLeavesOutLocalTablesEqualToTheGlobalOne)
{
    auto first = MakeFrame(5, 4, 8, [](uint32_t x, uint32_t y) { return uint8_t(x * y); });
    auto same = MakeFrame(5, 4, 8, [](uint32_t x, uint32_t) { return uint8_t(x + 100); });
    auto other = MakeFrame(5, 4, 8, [](uint32_t x, uint32_t) { return uint8_t(x); });
    other->SetPaletteIndex(200, 1, 2, 3, 0);
    auto fourBit = MakeFrame(5, 4, 4, [](uint32_t x, uint32_t) { return uint8_t(x); });
    CRaster* frames[] = {first.get(), same.get(), other.get(), fourBit.get(), same.get()};
    for (const auto& [name, options] : kWriteOptions) {
        CRasterGifCodec writer;
        writer.SetWriteOptions(options);
        const std::vector<ImageFacts> images = WalkImages(Encode(writer, frames, 5));
        ASSERT_EQ(images.size(), 5u) << name;
        const bool wantRepeated = !options.bLzw;
        EXPECT_EQ(images[0].bLocalTable, wantRepeated) << name;
        EXPECT_EQ(images[1].bLocalTable, wantRepeated) << name;
        EXPECT_TRUE(images[2].bLocalTable) << name;
        EXPECT_TRUE(images[3].bLocalTable) << name;
        EXPECT_EQ(images[4].bLocalTable, wantRepeated) << name;
    }
}


// Animations of the kinds people make: a photo that changes everywhere with
// its own palette per frame, a flat cartoon whose shapes move over a still
// background (with a repeated frame and a frame with a transparent index),
// and a screen recording where a cursor and a few characters change.
std::vector<std::unique_ptr<CRaster>> MakeAnimation(int kind, std::mt19937& rng)
{
    const uint32_t w = 96, h = 64;
    std::vector<std::unique_ptr<CRaster>> frames;
    for (int k = 0; k < 8; ++k) {
        std::unique_ptr<CRaster> f;
        if (kind == 0) {
            f = MakeFrame(w, h, 8, [&](uint32_t x, uint32_t y) {
                return uint8_t((x + 2 * y + 3 * uint32_t(k) + rng() % 9) & 0xFF);
            });
            for (uint32_t c = 0; c < 256; ++c)
                f->SetPaletteIndex(uint8_t(c), uint8_t(c), uint8_t((c * 3 + uint32_t(k)) & 0xFF), uint8_t(255 - c), 0);
        } else if (kind == 1) {
            const uint32_t at = uint32_t(k == 5 ? 4 : k) * 7;
            f = MakeFrame(w, h, 8, [&](uint32_t x, uint32_t y) {
                if (x >= at && x < at + 20 && y >= 10 && y < 30)
                    return uint8_t(40);
                if ((x - 50) * (x - 50) + (y - 40) * (y - 40) < uint32_t(60 + 10 * k))
                    return uint8_t(90);
                return uint8_t(y < 32 ? 3 : 7);
            });
            if (k == 6)
                f->SetTransIndex(7);
        } else {
            f = MakeFrame(w, h, 4, [&](uint32_t x, uint32_t y) {
                if (x == 10 + uint32_t(k) * 6 && y >= 20 && y < 28)
                    return uint8_t(15);
                if (y >= 20 && y < 28 && x >= 10 && x < 10 + uint32_t(k) * 6)
                    return uint8_t(((x * 7 + y * 3) % 5) + 2);
                return uint8_t(y < 8 ? 1 : 0);
            });
        }
        f->SetFrameDelay(uint32_t(5 + k));
        frames.push_back(std::move(f));
    }
    return frames;
}

// A differenced file shows, in Pillow and in gifsicle's own composition
// (gifsicle -U), exactly the frames of the plain file; it is smaller where
// little changes, its later frames cover only what changed, and every control
// block says "do not dispose".
TEST(GifWriter, FrameDifferencingShowsTheSameFramesInPillowAndGifsicle)
{
    const std::string python = PythonWithPillow();
    if (python.empty() || !HaveTool("gifsicle"))
        GTEST_SKIP() << "needs Python with Pillow and gifsicle";
    TempDir dir;
    std::mt19937 rng(31);
    const char* kinds[] = {"photo", "cartoon", "screen recording"};
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kinds[kind]);
        auto frames = MakeAnimation(kind, rng);
        std::vector<CRaster*> ptrs;
        for (auto& f : frames)
            ptrs.push_back(f.get());
        const int n = int(ptrs.size());
        std::map<std::string, Bytes> files;
        for (const auto& [name, options] : kWriteOptions) {
            CRasterGifCodec writer;
            writer.SetWriteOptions(options);
            bool ok = false;
            files[name] = Encode(writer, ptrs.data(), n, &ok);
            ASSERT_TRUE(ok) << name;
            WriteFile(dir.Path(name), files[name]);
        }
        const Bytes& diffed = files["LZW and differencing"];
        const std::string plainPath = dir.Path("run coder");
        const std::string diffPath = dir.Path("LZW and differencing");
        const Bytes want = PillowFrames(python, dir, plainPath);
        ASSERT_EQ(want.size(), size_t(n) * (96 * 64 * 3 + 1));
        EXPECT_TRUE(PillowFrames(python, dir, diffPath) == want) << "Pillow";
        ASSERT_EQ(RunCommand("gifsicle -U '" + diffPath + "' -o '" + dir.Path("whole.gif") + "'"), 0);
        EXPECT_TRUE(PillowFrames(python, dir, dir.Path("whole.gif")) == want) << "gifsicle";

        const std::vector<ImageFacts> images = WalkImages(diffed);
        ASSERT_EQ(images.size(), size_t(n));
        for (const ImageFacts& im : images)
            EXPECT_EQ(im.gcePacked & 0x1C, 0x04) << "disposal 1";
        if (kind > 0) {
            EXPECT_LT(diffed.size(), files["LZW"].size());
            for (int k = 1; k < n; ++k)
                EXPECT_LT(uint32_t(images[size_t(k)].width) * images[size_t(k)].height, 96u * 64 / 2) << "frame " << k;
        }
    }
}

// The LZW coder's codes only need to tell the indices an image uses; the
// colour table stays whole. The run coder always takes the frame's depth.
TEST(GifWriter, LzwCodeSizeFollowsTheLargestIndexUsed)
{
    struct Case {
        long bpp;
        uint8_t largest;
        uint8_t lzwCodeSize;
    };
    const Case cases[] = {{8, 0, 2}, {8, 1, 2}, {8, 3, 2}, {8, 4, 3}, {8, 7, 3}, {8, 8, 4},
                          {8, 127, 7}, {8, 128, 8}, {8, 255, 8}, {4, 15, 4}, {4, 2, 2}, {1, 1, 2}};
    for (const Case& c : cases) {
        auto frame =
            MakeFrame(9, 5, c.bpp, [&](uint32_t x, uint32_t y) { return uint8_t(x + y == 6 ? c.largest : 0); });
        CRaster* frames[] = {frame.get()};
        for (const auto& [name, options] : kWriteOptions) {
            CRasterGifCodec writer;
            writer.SetWriteOptions(options);
            bool ok = false;
            const Bytes file = Encode(writer, frames, 1, &ok);
            ASSERT_TRUE(ok);
            const std::vector<ImageFacts> images = WalkImages(file);
            ASSERT_EQ(images.size(), 1u);
            const uint8_t want = options.bLzw ? c.lzwCodeSize : uint8_t(c.bpp < 2 ? 2 : c.bpp);
            EXPECT_EQ(images[0].codeSize, want) << name << ", " << c.bpp << " bits, largest index " << int(c.largest);
            EXPECT_EQ(file[10] & 7, c.bpp - 1) << "the global table keeps its size";
            const DecodeResult d = DecodeFrame(file, 0);
            ASSERT_TRUE(d.ok) << d.error;
            EXPECT_EQ(TopDownIndex(*d.picture, 6, 0), c.largest) << name;
        }
    }
}

} // namespace
