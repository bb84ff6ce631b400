// Helpers for the GIF tests: a small GIF file builder with its own plain LZW
// encoder (so the decoder is checked against an encoder that is not ours),
// memory streams, picture comparison and access to Python with Pillow.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "gif_codec.h"
#include "raster.h"
#include "raster_file.h"

namespace giftest {

using Bytes = std::vector<uint8_t>;

// Standard GIF LZW with a dictionary: clear code first, widths growing as the
// decoder's table fills, a clear when the table is full, end code last.
inline Bytes LzwEncode(const std::vector<uint8_t>& indices, int codeSize, bool bLeadingClear = true,
                       bool bEndCode = true)
{
    const int clear = 1 << codeSize;
    const int end = clear + 1;
    int width = codeSize + 1;
    int next = clear + 2;
    std::map<std::pair<int, int>, int> dict;
    Bytes out;
    uint32_t acc = 0;
    int bits = 0;
    auto emit = [&](int code) {
        acc |= uint32_t(code) << bits;
        bits += width;
        while (bits >= 8) {
            out.push_back(uint8_t(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    if (bLeadingClear)
        emit(clear);
    int prefix = -1;
    for (uint8_t px : indices) {
        if (prefix < 0) {
            prefix = px;
            continue;
        }
        auto it = dict.find({prefix, px});
        if (it != dict.end()) {
            prefix = it->second;
            continue;
        }
        emit(prefix);
        if (next < 4096) {
            dict[{prefix, px}] = next++;
            if (next > (1 << width) && width < 12)
                ++width;
        } else {
            emit(clear);
            dict.clear();
            next = clear + 2;
            width = codeSize + 1;
        }
        prefix = px;
    }
    if (prefix >= 0)
        emit(prefix);
    if (bEndCode) {
        // The decoder adds one more entry for the last code; follow its width.
        if (prefix >= 0 && next < 4096 && next + 1 > (1 << width) && width < 12)
            ++width;
        emit(end);
    }
    if (bits > 0)
        out.push_back(uint8_t(acc & 0xFF));
    return out;
}

inline void PutSubBlocks(Bytes& f, const Bytes& data, size_t blockSize = 255)
{
    for (size_t i = 0; i < data.size(); i += blockSize) {
        const size_t n = std::min(blockSize, data.size() - i);
        f.push_back(uint8_t(n));
        f.insert(f.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    f.push_back(0);
}

struct Rgb {
    uint8_t r, g, b;
};

// An image of a GIF file under construction; pixels are given top row first.
struct GifImage {
    uint16_t left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> pixels;
    std::vector<Rgb> localTable;  // empty: no local table
    bool bInterlaced = false;
    int codeSize = 0;             // 0: from the table size
    // Graphic control extension before the image; disposal < 0: none.
    int disposal = 1;
    int trans = -1;
    int delay = 0;
};

class GifBuilder {
public:
    GifBuilder(uint16_t width, uint16_t height, std::vector<Rgb> globalTable)
    {
        Append("GIF89a");
        Word(width);
        Word(height);
        if (globalTable.empty()) {
            m_f.push_back(0x00);
        } else {
            m_f.push_back(uint8_t(0x80 | (SizeBits(globalTable.size()))));
        }
        m_f.push_back(0);
        m_f.push_back(0);
        Table(globalTable);
        m_globalSize = globalTable.size();
    }

    // The background colour index of the logical screen.
    GifBuilder& SetBackground(uint8_t index)
    {
        m_f[11] = index;
        return *this;
    }

    GifBuilder& Loop(int loops)
    {
        const uint8_t head[] = {0x21, 0xFF, 0x0B};
        m_f.insert(m_f.end(), head, head + 3);
        Append("NETSCAPE2.0");
        m_f.push_back(3);
        m_f.push_back(1);
        Word(uint16_t(loops));
        m_f.push_back(0);
        return *this;
    }

    GifBuilder& Comment(const std::string& text)
    {
        m_f.push_back(0x21);
        m_f.push_back(0xFE);
        PutSubBlocks(m_f, Bytes(text.begin(), text.end()));
        return *this;
    }

    GifBuilder& Gce(int disposal, int trans, int delay)
    {
        m_f.push_back(0x21);
        m_f.push_back(0xF9);
        m_f.push_back(4);
        m_f.push_back(uint8_t(((disposal & 7) << 2) | (trans >= 0 ? 1 : 0)));
        Word(uint16_t(delay));
        m_f.push_back(uint8_t(trans >= 0 ? trans : 0));
        m_f.push_back(0);
        return *this;
    }

    // The image's LZW data as this builder would write them.
    static Bytes ImageData(const GifImage& img, size_t tableSize)
    {
        std::vector<uint8_t> order;
        order.reserve(img.pixels.size());
        if (img.bInterlaced) {
            static const int kStart[4] = {0, 4, 2, 1};
            static const int kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int row = kStart[pass]; row < img.height; row += kStep[pass])
                    order.insert(order.end(), img.pixels.begin() + long(row) * img.width,
                                 img.pixels.begin() + long(row + 1) * img.width);
        } else {
            order = img.pixels;
        }
        return LzwEncode(order, CodeSize(img, tableSize));
    }

    static int CodeSize(const GifImage& img, size_t tableSize)
    {
        if (img.codeSize)
            return img.codeSize;
        int bits = int(SizeBits(tableSize)) + 1;
        return bits < 2 ? 2 : bits;
    }

    GifBuilder& Image(const GifImage& img)
    {
        if (img.disposal >= 0)
            Gce(img.disposal, img.trans, img.delay);
        const size_t tableSize = img.localTable.empty() ? m_globalSize : img.localTable.size();
        ImageRaw(img, ImageData(img, tableSize));
        return *this;
    }

    // Descriptor, local table, code size and the given data as sub-blocks.
    GifBuilder& ImageRaw(const GifImage& img, const Bytes& data, size_t blockSize = 255)
    {
        const size_t tableSize = img.localTable.empty() ? m_globalSize : img.localTable.size();
        m_f.push_back(0x2C);
        Word(img.left);
        Word(img.top);
        Word(img.width);
        Word(img.height);
        uint8_t packed = img.bInterlaced ? 0x40 : 0;
        if (!img.localTable.empty())
            packed |= uint8_t(0x80 | SizeBits(img.localTable.size()));
        m_f.push_back(packed);
        Table(img.localTable);
        m_f.push_back(uint8_t(CodeSize(img, tableSize)));
        PutSubBlocks(m_f, data, blockSize);
        return *this;
    }

    GifBuilder& Raw(const Bytes& bytes)
    {
        m_f.insert(m_f.end(), bytes.begin(), bytes.end());
        return *this;
    }

    Bytes Finish()
    {
        m_f.push_back(0x3B);
        return m_f;
    }
    const Bytes& Data() const { return m_f; }

    static uint8_t SizeBits(size_t entries)
    {
        uint8_t bits = 0;
        while ((2u << bits) < entries && bits < 7)
            ++bits;
        return bits;
    }

private:
    void Append(const char* s) { m_f.insert(m_f.end(), s, s + std::strlen(s)); }
    void Word(uint16_t v)
    {
        m_f.push_back(uint8_t(v & 0xFF));
        m_f.push_back(uint8_t(v >> 8));
    }
    void Table(const std::vector<Rgb>& table)
    {
        if (table.empty())
            return;
        const size_t n = 2u << SizeBits(table.size());
        for (size_t i = 0; i < n; ++i) {
            const Rgb c = i < table.size() ? table[i] : Rgb{0, 0, 0};
            m_f.push_back(c.r);
            m_f.push_back(c.g);
            m_f.push_back(c.b);
        }
    }

    Bytes m_f;
    size_t m_globalSize = 0;
};

inline std::vector<Rgb> GreyRamp(size_t n)
{
    std::vector<Rgb> t;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t v = uint8_t(n > 1 ? i * 255 / (n - 1) : 0);
        t.push_back({v, uint8_t(255 - v), uint8_t((i * 37) & 0xFF)});
    }
    return t;
}

// Decodes frame `frame` of the bytes with a fresh codec, as the program does.
struct DecodeResult {
    bool ok = false;
    std::unique_ptr<CRaster> picture;
    std::string error;
    long numFrames = 0;
};

inline DecodeResult DecodeFrame(const Bytes& file, long frame)
{
    DecodeResult r;
    Bytes copy = file;
    CRasterMemFile in(copy.data(), unsigned(copy.size()));
    CRasterGifCodec codec;
    codec.SetFrame(frame);
    r.ok = codec.Decode(&in);
    r.error = codec.GetLastError();
    r.numFrames = codec.GetNumFrames();
    if (r.ok) {
        r.picture = std::make_unique<CRaster>(FormatGif);
        r.picture->Transfer(codec);
    }
    return r;
}

inline Bytes Encode(CRasterGifCodec& writer, CRaster** frames, int count, bool* ok = nullptr)
{
    CRasterMemFile out;
    out.Open();
    const bool b = writer.Encode(&out, frames, count);
    if (ok)
        *ok = b;
    const long size = out.Size();
    unsigned char* buf = out.GetBuffer();
    Bytes bytes(buf, buf + (size > 0 ? size : 0));
    std::free(buf);
    return bytes;
}

// Index of pixel (x, y) counted from the top-left corner.
inline uint8_t TopDownIndex(const CRaster& p, uint32_t x, uint32_t y)
{
    return p.GetPixelIndex(long(x), long(p.GetHeight() - 1 - y));
}

inline RGBQUAD TopDownColor(const CRaster& p, uint32_t x, uint32_t y)
{
    return p.GetPixelColor(long(x), long(p.GetHeight() - 1 - y));
}

// Describes the first difference between two pictures: header, palette,
// pixel block and every field of the information block; empty when equal.
inline std::string PictureDifference(const CRaster& a, const CRaster& b)
{
    if (a.IsValid() != b.IsValid())
        return "validity differs";
    if (std::memcmp(&a.Header(), &b.Header(), sizeof(BITMAPINFOHEADER)) != 0)
        return "header differs";
    if (a.IsValid() && std::memcmp(a.GetDIB(), b.GetDIB(), a.GetSize()) != 0)
        return "block (palette or pixels) differs";
    const ImageInfo& x = a.Info();
    const ImageInfo& y = b.Info();
    std::ostringstream d;
#define GIF_CMP(field)                                                                              \
    if (x.field != y.field)                                                                        \
        d << #field " have " << long(x.field) << " want " << long(y.field) << "; ";
    GIF_CMP(dwEffWidth)
    GIF_CMP(dwType)
    GIF_CMP(nProgress)
    GIF_CMP(nEscape)
    GIF_CMP(nBkgndIndex)
    GIF_CMP(nQuality)
    GIF_CMP(nFrame)
    GIF_CMP(nNumFrames)
    GIF_CMP(dwFrameDelay)
    GIF_CMP(xDPI)
    GIF_CMP(yDPI)
    GIF_CMP(nAlphaMax)
    GIF_CMP(bAlphaPaletteEnabled)
    GIF_CMP(bEnabled)
    GIF_CMP(xOffset)
    GIF_CMP(yOffset)
#undef GIF_CMP
    if (!(x.nBkgndColor == y.nBkgndColor))
        d << "transparent colour differs; ";
    if (!(x.rSelectionBox == y.rSelectionBox))
        d << "selection box differs; ";
    if (std::strcmp(x.szLastError, y.szLastError) != 0)
        d << "last error '" << x.szLastError << "' vs '" << y.szLastError << "'; ";
    if (a.HasAlpha() != b.HasAlpha() || a.HasSelection() != b.HasSelection())
        d << "planes differ; ";
    return d.str();
}

// A scratch folder removed at the end of the test.
class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/gif-test-XXXXXX";
        const char* p = mkdtemp(tmpl);
        m_path = p ? p : "/tmp";
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    std::string Path(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline Bytes ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Runs a shell command; returns its exit status and puts its stdout in *out.
inline int RunCommand(const std::string& command, std::string* out = nullptr)
{
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), p)) > 0)
        text.append(buf, n);
    const int status = pclose(p);
    if (out)
        *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A Python 3 that can import Pillow, or empty when there is none.
inline std::string PythonWithPillow()
{
    static const std::string found = [] {
        for (const char* candidate : {"/usr/bin/python3", "python3"}) {
            if (RunCommand(std::string(candidate) + " -c 'import PIL' 2>/dev/null") == 0)
                return std::string(candidate);
        }
        return std::string();
    }();
    return found;
}

inline bool HaveTool(const char* name)
{
    return RunCommand(std::string("command -v ") + name + " >/dev/null 2>&1") == 0;
}

// Frames as another program shows them, written by gif_frames.py: RGBA, top
// row first.
struct ShownFrames {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<Bytes> frames;
    const uint8_t* Pixel(size_t frame, uint32_t x, uint32_t y) const
    {
        return frames[frame].data() + (size_t(y) * width + x) * 4;
    }
};

inline ShownFrames ReadShownFrames(const std::string& path)
{
    ShownFrames s;
    const Bytes bytes = ReadFile(path);
    const auto eol = std::find(bytes.begin(), bytes.end(), uint8_t('\n'));
    std::istringstream head(std::string(bytes.begin(), eol));
    size_t count = 0;
    head >> s.width >> s.height >> count;
    const size_t each = size_t(s.width) * s.height * 4;
    for (auto p = eol + (eol != bytes.end()); count > 0 && size_t(bytes.end() - p) >= each; --count, p += long(each))
        s.frames.emplace_back(p, p + long(each));
    return s;
}

// Runs tests/image/gif_frames.py MODE DIR with Python and Pillow.
inline int RunGifFrames(const std::string& mode, const std::string& dir, std::string* output = nullptr)
{
    const std::string script = std::string(TESSARY_SOURCE_DIR) + "/tests/image/gif_frames.py";
    return RunCommand(PythonWithPillow() + " '" + script + "' " + mode + " '" + dir + "' 2>&1", output);
}

} // namespace giftest
