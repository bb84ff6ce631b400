// The animated GIF writer.
//
// A file is the signature, the logical screen (the first frame's size) with a
// global colour table (the first frame's palette), the looping block, then for
// every frame a graphic control block (disposal, delay, transparency), an image
// descriptor, usually a local colour table, and the image data: a minimum code
// size and LZW codes cut into sub-blocks of at most 255 bytes. A comment block
// and the trailer end the file.
//
// Two coders make the image data. The default one, the run coder, never
// builds an LZW dictionary. It predicts the dictionary the decoder will build:
// right after a clear code, sending a pixel p and then the codes base, base+1,
// base+2, ... makes the decoder define runs of 2, 3, 4, ... copies of p (each
// code is the "not yet defined" case of LZW, so the decoder appends p to the
// previous run). Later runs of the same pixel are sent with those run codes;
// everything else is sent as plain index codes, with a clear code before the
// decoder's code width would have to grow. The coder needs a few integers and
// one 255-byte block, whatever the frame size, and its bytes are fixed: files
// made with it never change.
//
// The LZW coder is the usual one: the longest string already in the table is
// sent as one code and the string plus the next pixel becomes a new entry; the
// code width grows when the decoder's next free entry needs another bit, and a
// clear code starts over when all 4096 entries are taken.
//
// Frame differencing keeps what every decoder shows: a frame after the first
// covers only the rectangle in which its pixels differ from the picture shown
// so far, and is drawn over that picture ("do not dispose"). Inside the
// rectangle, pixels that do not change may become transparent when that makes
// the frame's data smaller.
//
// Every byte goes through a sink that checks the stream's answer, so a full
// disk or a file-size limit stops the writer with "Write error".
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gif_codec.h"

namespace {

struct GifWriteError {
    const char* text;
};

constexpr const char* kWriteError = "Write error";

// Where the bytes of the file go: the output stream, every write checked, or
// memory, for trial encodes.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Put(const void* data, size_t n) = 0;
    void Put(uint8_t b) { Put(&b, 1); }
    void PutWord(uint32_t value)
    {
        const uint8_t bytes[2] = {uint8_t(value & 0xFF), uint8_t((value / 256) & 0xFF)};
        Put(bytes, 2);
    }
};

class StreamSink : public ByteSink {
public:
    explicit StreamSink(CRasterFile* out) : m_out(out) {}
    using ByteSink::Put;
    void Put(const void* data, size_t n) override
    {
        if (n > 0 && m_out->Write(data, 1, n) != n)
            throw GifWriteError{kWriteError};
    }
    void Flush()
    {
        if (!m_out->Flush() || m_out->Error() != 0)
            throw GifWriteError{kWriteError};
    }

private:
    CRasterFile* m_out;
};

class MemorySink : public ByteSink {
public:
    using ByteSink::Put;
    void Put(const void* data, size_t n) override
    {
        const auto* p = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), p, p + n);
    }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// Newton's iteration from a power of two above the root; the caller corrects
// the last step, so only termination matters here.
uint32_t IntegerSqrt(uint32_t x)
{
    if (x < 2)
        return x;
    uint32_t shifts = 0;
    for (uint32_t v = x; v != 0; v >>= 2)
        ++shifts;
    uint32_t r = uint32_t(1) << shifts;
    for (;;) {
        const uint32_t v = (x / r + r) / 2;
        if (v == r || v == r + 1)
            return r;
        r = v;
    }
}

// Number of codes needed to send `count` pixels as runs of 1, 2, 3, ...
// when at most `codes` codes fit between two clear codes.
uint32_t Triangle(uint32_t count, uint32_t codes)
{
    const uint32_t per = codes * (codes + 1) / 2;
    uint32_t cost = 0;
    while (count >= per) {
        cost += codes;
        count -= per;
    }
    if (count > 0) {
        uint32_t n = IntegerSqrt(count);
        while (n * (n + 1) >= 2 * count)
            --n;
        while (n * (n + 1) < 2 * count)
            ++n;
        cost += n;
    }
    return cost;
}

// The coder's state for one image.
struct GifRunState {
    int32_t runPixel = 0;
    int32_t runCount = 0;
    int32_t baseCode = 0;
    int32_t tablePixel = 0;
    int32_t tableMax = 0;
    int32_t justCleared = 0;
    int32_t codeWidth = 0;
    int32_t initialCodeWidth = 0;
    int32_t codeCount = 0;
    int32_t bump = 0;
    int32_t initialBump = 0;
    int32_t clearLimit = 0;
    int32_t initialClearLimit = 0;
    int32_t maxCodes = 0;
    int32_t clearCode = 0;
    int32_t endCode = 0;
    uint32_t bitBuffer = 0;
    int32_t bitCount = 0;
    uint8_t block[255] = {};
    int32_t blockLength = 0;
};

class RunCoder {
public:
    RunCoder(ByteSink& out, int initialWidth) : m_out(out)
    {
        GifRunState& s = m_s;
        s.initialCodeWidth = initialWidth;
        s.clearCode = 1 << (initialWidth - 1);
        s.endCode = s.clearCode + 1;
        s.baseCode = s.clearCode + 2;
        s.initialBump = (1 << (initialWidth - 1)) - 1;
        s.initialClearLimit = initialWidth <= 3 ? 9 : s.initialBump - 1;
        s.maxCodes = 4096 - (s.clearCode + 3);
        s.runCount = 0;
        ResetAfterClear();
        s.bitBuffer = 0;
        s.bitCount = 0;
        s.blockLength = 0;
        Raw(s.clearCode);
    }

    // c: the next pixel index, or -1 after the last pixel.
    void Put(int32_t c)
    {
        GifRunState& s = m_s;
        if (s.runCount > 0 && c != s.runPixel)
            FlushRun(s.runPixel, s.runCount);
        if (c < 0)
            return;
        if (c == s.runPixel) {
            ++s.runCount;
        } else {
            s.runPixel = c;
            s.runCount = 1;
        }
    }

    void Finish()
    {
        GifRunState& s = m_s;
        Raw(s.endCode);
        if (s.bitCount > 0)
            AppendByte(uint8_t(s.bitBuffer & 0xFF));
        if (s.blockLength > 0)
            WriteBlock();
    }

private:
    void ResetAfterClear()
    {
        GifRunState& s = m_s;
        s.codeWidth = s.initialCodeWidth;
        s.bump = s.initialBump;
        s.clearLimit = s.initialClearLimit;
        s.codeCount = 0;
        s.tableMax = 0;
        s.justCleared = 1;
    }

    void SendClear()
    {
        Raw(m_s.clearCode);
        ResetAfterClear();
    }

    void FlushRun(int32_t p, int32_t k)
    {
        GifRunState& s = m_s;
        if (k == 1)
            Plain(p);
        else if (s.justCleared)
            RunFromClear(p, k);
        else if (s.tableMax < 2 || s.tablePixel != p)
            RunWithClearOrRepeat(p, k);
        else
            RunWithTable(p, k);
        s.runCount = 0;
    }

    void RunFromClear(int32_t p, int32_t k)
    {
        GifRunState& s = m_s;
        s.clearLimit = s.maxCodes;
        s.tablePixel = p;
        int32_t i = 1;
        while (k > 0) {
            if (i == 1) {
                s.tableMax = 1;
                Plain(p);
                k -= 1;
            } else if (k >= i) {
                s.tableMax = i;
                Plain(s.baseCode + i - 2);
                k -= i;
            } else if (k == 1) {
                ++s.tableMax;
                Plain(p);
                k = 0;
            } else {
                ++s.tableMax;
                Plain(s.baseCode + k - 2);
                k = 0;
            }
            i = s.codeCount == 0 ? 1 : i + 1;
        }
        ResetClearLimit();
    }

    void RunWithClearOrRepeat(int32_t p, int32_t k)
    {
        GifRunState& s = m_s;
        if (1 + Triangle(uint32_t(k), uint32_t(s.maxCodes)) < uint32_t(k)) {
            SendClear();
            RunFromClear(p, k);
        } else {
            for (int32_t j = 0; j < k; ++j)
                Plain(p);
        }
    }

    void RunWithTable(int32_t p, int32_t k)
    {
        GifRunState& s = m_s;
        const int32_t t = s.tableMax;
        int32_t repeats = k / t;
        int32_t leftover = k % t;
        uint32_t extra = leftover > 0 ? 1 : 0;
        if (s.codeCount + repeats + int32_t(extra) > s.maxCodes) {
            repeats = s.maxCodes - s.codeCount;
            leftover = k - repeats * t;
            extra = 1 + Triangle(uint32_t(leftover), uint32_t(s.maxCodes));
        }
        if (1 + Triangle(uint32_t(k), uint32_t(s.maxCodes)) < uint32_t(repeats) + extra) {
            SendClear();
            RunFromClear(p, k);
            return;
        }
        s.clearLimit = s.maxCodes;
        for (int32_t j = 0; j < repeats; ++j)
            Plain(s.baseCode + t - 2);
        if (leftover > 0) {
            if (s.justCleared)
                RunFromClear(p, leftover);
            else if (leftover == 1)
                Plain(p);
            else
                Plain(s.baseCode + leftover - 2);
        }
        ResetClearLimit();
    }

    void ResetClearLimit()
    {
        GifRunState& s = m_s;
        s.clearLimit = s.initialClearLimit;
        if (s.codeCount >= s.clearLimit)
            SendClear();
    }

    void Plain(int32_t v)
    {
        GifRunState& s = m_s;
        s.justCleared = 0;
        Raw(v);
        ++s.codeCount;
        if (s.codeCount >= s.bump) {
            ++s.codeWidth;
            s.bump += 1 << (s.codeWidth - 1);
        }
        if (s.codeCount >= s.clearLimit)
            SendClear();
    }

    void Raw(int32_t v)
    {
        GifRunState& s = m_s;
        s.bitBuffer |= uint32_t(v) << s.bitCount;
        s.bitCount += s.codeWidth;
        while (s.bitCount >= 8) {
            AppendByte(uint8_t(s.bitBuffer & 0xFF));
            s.bitBuffer >>= 8;
            s.bitCount -= 8;
        }
    }

    void AppendByte(uint8_t b)
    {
        GifRunState& s = m_s;
        s.block[s.blockLength++] = b;
        if (s.blockLength == 255)
            WriteBlock();
    }

    void WriteBlock()
    {
        m_out.Put(uint8_t(m_s.blockLength));
        m_out.Put(m_s.block, size_t(m_s.blockLength));
        m_s.blockLength = 0;
    }

    ByteSink& m_out;
    GifRunState m_s;
};

// Code data cut into sub-blocks: a length byte, then up to 255 bytes.
class SubBlocks {
public:
    explicit SubBlocks(ByteSink& out) : m_out(out) {}

    void Append(uint8_t b)
    {
        m_block[m_length++] = b;
        if (m_length == 255)
            Flush();
    }

    void Flush()
    {
        if (m_length == 0)
            return;
        m_out.Put(uint8_t(m_length));
        m_out.Put(m_block, m_length);
        m_length = 0;
    }

private:
    ByteSink& m_out;
    uint8_t m_block[255] = {};
    size_t m_length = 0;
};

class LzwCoder {
public:
    LzwCoder(ByteSink& out, int codeSize)
        : m_blocks(out), m_codeSize(codeSize), m_clear(1 << codeSize), m_end(m_clear + 1)
    {
        Reset();
        Emit(m_clear);
    }

    // c: the next pixel index, or -1 after the last pixel.
    void Put(int32_t c)
    {
        if (c < 0)
            return;
        if (m_prefix < 0) {
            m_prefix = c;
            return;
        }
        const uint32_t key = (uint32_t(m_prefix) << 8 | uint32_t(c)) + 1;
        uint32_t slot = (key * 2654435761u) >> (32 - kSlotBits);
        while (m_keys[slot] != 0) {
            if (m_keys[slot] == key) {
                m_prefix = m_codes[slot];
                return;
            }
            slot = (slot + 1) & (kSlots - 1);
        }
        Emit(m_prefix);
        if (m_next < kMaxCodes) {
            m_keys[slot] = key;
            m_codes[slot] = uint16_t(m_next++);
            // The decoder adds this entry when it reads the next code, and
            // reads that code one bit wider once the entry needs it.
            if (m_next > (1 << m_width) && m_width < 12)
                ++m_width;
        } else {
            Emit(m_clear);
            Reset();
        }
        m_prefix = c;
    }

    void Finish()
    {
        if (m_prefix >= 0) {
            Emit(m_prefix);
            // Reading that last code, the decoder adds one more entry and
            // may widen its codes before it reads the end code.
            if (m_next == (1 << m_width) && m_width < 12)
                ++m_width;
        }
        Emit(m_end);
        if (m_bitCount > 0)
            m_blocks.Append(uint8_t(m_bitBuffer & 0xFF));
        m_blocks.Flush();
    }

private:
    static constexpr int kSlotBits = 13;  // 8192 slots for at most 4096 entries
    static constexpr uint32_t kSlots = 1u << kSlotBits;
    static constexpr int32_t kMaxCodes = 4096;

    void Reset()
    {
        std::fill(std::begin(m_keys), std::end(m_keys), 0u);
        m_width = m_codeSize + 1;
        m_next = m_clear + 2;
    }

    void Emit(int32_t code)
    {
        m_bitBuffer |= uint32_t(code) << m_bitCount;
        m_bitCount += m_width;
        while (m_bitCount >= 8) {
            m_blocks.Append(uint8_t(m_bitBuffer & 0xFF));
            m_bitBuffer >>= 8;
            m_bitCount -= 8;
        }
    }

    SubBlocks m_blocks;
    const int m_codeSize;
    const int32_t m_clear;
    const int32_t m_end;
    int m_width = 0;
    int32_t m_next = 0;
    int32_t m_prefix = -1;
    uint32_t m_bitBuffer = 0;
    int m_bitCount = 0;
    // (prefix code << 8 | pixel) + 1, 0 for an empty slot, and its code.
    uint32_t m_keys[kSlots];
    uint16_t m_codes[kSlots];
};

// The palette as GIF colour table entries: red, green, blue.
std::vector<uint8_t> ColourTable(const CRaster& picture)
{
    std::vector<uint8_t> bytes;
    const RGBQUAD* pal = picture.GetPalette();
    if (!pal)
        return bytes;
    const uint32_t n = picture.GetNumColors();
    bytes.reserve(n * 3);
    for (uint32_t i = 0; i < n; ++i) {
        bytes.push_back(pal[i].rgbRed);
        bytes.push_back(pal[i].rgbGreen);
        bytes.push_back(pal[i].rgbBlue);
    }
    return bytes;
}

// A frame the writer can put into a file: pixels present and 1, 4 or 8 bits
// per pixel (the file's colour tables and code sizes have no other form),
// and a size that fits the 16-bit fields of the image descriptor.
void CheckFrame(const CRaster& frame)
{
    const uint32_t bpp = frame.GetBpp();
    if (!frame.IsValid() || !frame.IsIndexed() || (bpp != 1 && bpp != 4 && bpp != 8))
        throw GifWriteError{"GIF frame must be an indexed picture"};
    if (frame.GetWidth() > 0xFFFF || frame.GetHeight() > 0xFFFF)
        throw GifWriteError{"GIF frame too large"};
}

uint8_t IndexAt(const CRaster& frame, uint32_t x, uint32_t topRow)
{
    const uint32_t bpp = frame.GetBpp();
    // Rows are stored bottom-up.
    const uint8_t* bits = frame.GetBits(frame.GetHeight() - 1 - topRow);
    if (bpp == 8)
        return bits[x];
    const uint32_t bit = x * bpp;
    return uint8_t((bits[bit >> 3] >> (8 - bpp - (bit & 7))) & ((1u << bpp) - 1));
}

// One image block of the file: a frame's palette and delay with a rectangle
// of pixels, its transparency and its disposal.
struct ImageBlock {
    const CRaster* frame = nullptr;
    uint32_t left = 0, top = 0, width = 0, height = 0;
    long trans = -1;
    int disposal = 0;
    // Indices of the rectangle, top row first; empty: the frame's own pixels.
    std::vector<uint8_t> pixels;
};

template <class Coder>
void FeedPixels(Coder& coder, const ImageBlock& image)
{
    if (!image.pixels.empty()) {
        for (uint8_t p : image.pixels)
            coder.Put(p);
    } else {
        const CRaster& f = *image.frame;
        const uint32_t bpp = f.GetBpp();
        for (uint32_t row = 0; row < image.height; ++row) {
            if (bpp == 8) {
                const uint8_t* bits = f.GetBits(image.height - 1 - row);
                for (uint32_t x = 0; x < image.width; ++x)
                    coder.Put(bits[x]);
            } else {
                for (uint32_t x = 0; x < image.width; ++x)
                    coder.Put(IndexAt(f, x, row));
            }
        }
    }
    coder.Put(-1);
    coder.Finish();
}

// The largest index among the image's pixels.
uint8_t LargestIndex(const ImageBlock& image)
{
    if (!image.pixels.empty())
        return *std::max_element(image.pixels.begin(), image.pixels.end());
    uint8_t largest = 0;
    for (uint32_t row = 0; row < image.height; ++row)
        for (uint32_t x = 0; x < image.width; ++x)
            largest = std::max(largest, IndexAt(*image.frame, x, row));
    return largest;
}

// Minimum code size byte and the code data of an image.
void PutImageData(ByteSink& out, const ImageBlock& image, bool bLzw)
{
    const uint32_t bpp = image.frame->GetBpp();
    int codeSize = bpp < 2 ? 2 : int(bpp);
    if (bLzw) {
        // The codes only need to tell the indices the image uses: pictures
        // that use the first few entries of a large table get shorter codes.
        // The colour table stays as it is.
        const uint32_t largest = LargestIndex(image);
        codeSize = 2;
        while ((1u << codeSize) <= largest)
            ++codeSize;
        out.Put(uint8_t(codeSize));
        auto coder = std::make_unique<LzwCoder>(out, codeSize);
        FeedPixels(*coder, image);
    } else {
        out.Put(uint8_t(codeSize));
        RunCoder coder(out, codeSize + 1);
        FeedPixels(coder, image);
    }
    out.Put(uint8_t(0));
}

size_t ImageDataSize(const ImageBlock& image, bool bLzw)
{
    MemorySink sink;
    PutImageData(sink, image, bLzw);
    return sink.Bytes().size();
}

// The picture shown so far while frames are differenced: 0xRRGGBB per pixel of
// the screen, with kKnown set once some frame has painted the pixel.
class ShownPicture {
public:
    static constexpr uint32_t kKnown = 0x01000000;

    ShownPicture(uint32_t width, uint32_t height) : m_width(width), m_pixels(size_t(width) * height, 0) {}

    uint32_t At(uint32_t x, uint32_t y) const { return m_pixels[size_t(y) * m_width + x]; }

    // Paints the frame's opaque pixels, as a decoder shows them.
    void Paint(const CRaster& frame, uint32_t left, uint32_t top)
    {
        const std::vector<uint32_t> colours = Colours(frame);
        const long trans = frame.GetTransIndex();
        for (uint32_t y = 0; y < frame.GetHeight(); ++y)
            for (uint32_t x = 0; x < frame.GetWidth(); ++x) {
                const uint8_t p = IndexAt(frame, x, y);
                if (long(p) != trans)
                    m_pixels[size_t(top + y) * m_width + left + x] = colours[p];
            }
    }

    // The frame's palette as shown colours; entries past the palette show black.
    static std::vector<uint32_t> Colours(const CRaster& frame)
    {
        std::vector<uint32_t> colours(256, kKnown);
        const RGBQUAD* pal = frame.GetPalette();
        for (uint32_t i = 0; pal && i < frame.GetNumColors() && i < 256; ++i)
            colours[i] = kKnown | uint32_t(pal[i].rgbRed) << 16 | uint32_t(pal[i].rgbGreen) << 8 | pal[i].rgbBlue;
        return colours;
    }

private:
    uint32_t m_width;
    std::vector<uint32_t> m_pixels;
};

// The image block that changes `shown` into what `frame` at (left, top) shows.
ImageBlock DifferenceBlock(const CRaster& frame, uint32_t left, uint32_t top, const ShownPicture& shown,
                           bool bLzw)
{
    const uint32_t w = frame.GetWidth();
    const uint32_t h = frame.GetHeight();
    const std::vector<uint32_t> colours = ShownPicture::Colours(frame);
    const long trans = frame.GetTransIndex();
    // A pixel changes what is shown when it is opaque and shows another colour
    // (or paints a pixel no frame has painted yet).
    std::vector<uint8_t> index(size_t(w) * h);
    std::vector<bool> changed(size_t(w) * h);
    uint32_t x0 = w, y0 = h, x1 = 0, y1 = 0;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t p = IndexAt(frame, x, y);
            const size_t i = size_t(y) * w + x;
            index[i] = p;
            if (long(p) != trans && shown.At(left + x, top + y) != colours[p]) {
                changed[i] = true;
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
        }

    ImageBlock plain;
    plain.frame = &frame;
    plain.trans = trans;
    plain.disposal = 1;
    if (x0 > x1) {
        // Nothing changes; the frame still takes its place with one pixel
        // that shows what is there already.
        x0 = x1 = 0;
        y0 = y1 = 0;
    }
    plain.left = left + x0;
    plain.top = top + y0;
    plain.width = x1 - x0 + 1;
    plain.height = y1 - y0 + 1;
    plain.pixels.reserve(size_t(plain.width) * plain.height);
    std::vector<bool> used(size_t(1) << frame.GetBpp());
    bool bAnyUnchanged = false;
    for (uint32_t y = y0; y <= y1; ++y)
        for (uint32_t x = x0; x <= x1; ++x) {
            const size_t i = size_t(y) * w + x;
            plain.pixels.push_back(index[i]);
            if (changed[i])
                used[index[i]] = true;
            else if (long(index[i]) != trans)
                bAnyUnchanged = true;
        }
    if (!bAnyUnchanged)
        return plain;

    // The same rectangle with the unchanged pixels transparent, when an index
    // is free for it: the frame's own transparent index, else one that no
    // changed pixel uses.
    long clearIndex = trans;
    if (clearIndex < 0 || clearIndex >= long(used.size())) {
        const auto freeIndex = std::find(used.begin(), used.end(), false);
        if (freeIndex == used.end())
            return plain;
        clearIndex = long(freeIndex - used.begin());
    }
    ImageBlock see = plain;
    see.trans = clearIndex;
    size_t k = 0;
    for (uint32_t y = y0; y <= y1; ++y)
        for (uint32_t x = x0; x <= x1; ++x, ++k)
            if (!changed[size_t(y) * w + x])
                see.pixels[k] = uint8_t(clearIndex);
    return ImageDataSize(see, bLzw) < ImageDataSize(plain, bLzw) ? see : plain;
}

// Differencing keeps every frame exact only when frames are drawn over one
// another on the first frame's screen.
bool CanDifference(CRaster** frames, int count, int disposal)
{
    if (disposal != 0 && disposal != 1)
        return false;
    const uint32_t sw = frames[0]->GetWidth();
    const uint32_t sh = frames[0]->GetHeight();
    for (int i = 0; i < count; ++i) {
        if (!frames[i] || !frames[i]->IsValid() || !frames[i]->IsIndexed())
            return false;
        long left = 0, top = 0;
        frames[i]->GetOffset(&left, &top);
        if (left < 0 || top < 0 || uint64_t(left) + frames[i]->GetWidth() > sw ||
            uint64_t(top) + frames[i]->GetHeight() > sh)
            return false;
    }
    return true;
}

void PutImage(ByteSink& out, const ImageBlock& image, const std::vector<uint8_t>& globalTable, bool bLzw)
{
    const CRaster& frame = *image.frame;
    const uint32_t bpp = frame.GetBpp();

    // Graphic control extension.
    const uint8_t gce[] = {0x21,
                           0xF9,
                           0x04,
                           uint8_t(((image.disposal << 2) & 0x1C) | (image.trans != -1 ? 1 : 0)),
                           uint8_t(frame.GetFrameDelay() & 0xFF),
                           uint8_t((frame.GetFrameDelay() >> 8) & 0xFF),
                           uint8_t(image.trans & 0xFF),
                           0x00};
    out.Put(gce, sizeof(gce));

    // Image descriptor, with a local colour table unless the LZW coder is
    // used and the frame's table is the global one.
    const std::vector<uint8_t> table = ColourTable(frame);
    out.Put(uint8_t(0x2C));
    out.PutWord(image.left & 0xFFFF);
    out.PutWord(image.top & 0xFFFF);
    out.PutWord(image.width);
    out.PutWord(image.height);
    const bool bRepeatTable = !(bLzw && table == globalTable);
    out.Put(uint8_t(bRepeatTable ? 0x80 | (bpp - 1) : 0x00));
    if (bRepeatTable)
        out.Put(table.data(), table.size());
    PutImageData(out, image, bLzw);
}

} // namespace

std::vector<uint8_t> GifLzwImageData(const uint8_t* indices, size_t count, int codeSize)
{
    if (codeSize < 2 || codeSize > 8)
        return {};
    MemorySink sink;
    {
        auto coder = std::make_unique<LzwCoder>(sink, codeSize);
        for (size_t i = 0; i < count; ++i)
            coder->Put(indices[i]);
        coder->Finish();
    }
    sink.Put(uint8_t(0));
    return sink.Bytes();
}

void CRasterGifCodec::SetComment(const char* text)
{
    std::memset(m_szComment, 0, sizeof(m_szComment));
    if (text)
        std::strncpy(m_szComment, text, sizeof(m_szComment) - 1);
}

bool CRasterGifCodec::Encode(CRasterFile* stream, CRaster** frames, int count)
{
    try {
        if (!stream)
            throw GifWriteError{"invalid file pointer"};
        if (!frames || count <= 0 || !frames[0])
            throw GifWriteError{"multipage GIF, no images!"};
        const CRaster& first = *frames[0];
        CheckFrame(first);
        const bool bLzw = m_writeOptions.bLzw;
        const bool bDifference = m_writeOptions.bDifferencing && CanDifference(frames, count, m_nDispose);
        StreamSink out(stream);

        out.Put("GIF89a", 6);
        out.PutWord(first.GetWidth());
        out.PutWord(first.GetHeight());
        const uint32_t bpp = first.GetBpp();
        const uint8_t screen[] = {uint8_t(0x80 | ((bpp - 1) << 4) | (bpp - 1)), 0 /* background */,
                                  0 /* aspect ratio */};
        out.Put(screen, sizeof(screen));
        const std::vector<uint8_t> globalTable = ColourTable(first);
        out.Put(globalTable.data(), globalTable.size());

        static const uint8_t kLoopHead[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A',
                                            'P',  'E',  '2',  '.', '0', 0x03, 0x01};
        out.Put(kLoopHead, sizeof(kLoopHead));
        out.PutWord(uint32_t(m_nLoops) & 0xFFFF);
        out.Put(uint8_t(0));

        std::unique_ptr<ShownPicture> shown;
        if (bDifference)
            shown = std::make_unique<ShownPicture>(first.GetWidth(), first.GetHeight());
        for (int i = 0; i < count; ++i) {
            if (!frames[i])
                throw GifWriteError{"Bad image pointer"};
            const CRaster& frame = *frames[i];
            CheckFrame(frame);
            long left = 0;
            long top = 0;
            frame.GetOffset(&left, &top);
            ImageBlock image;
            if (shown && i > 0) {
                image = DifferenceBlock(frame, uint32_t(left), uint32_t(top), *shown, bLzw);
            } else {
                image.frame = &frame;
                image.left = uint32_t(left);
                image.top = uint32_t(top);
                image.width = frame.GetWidth();
                image.height = frame.GetHeight();
                image.trans = frame.GetTransIndex();
                image.disposal = shown ? 1 : m_nDispose;
            }
            PutImage(out, image, globalTable, bLzw);
            if (shown)
                shown->Paint(frame, uint32_t(left), uint32_t(top));
        }

        const size_t commentLength = strnlen(m_szComment, 255);
        if (commentLength > 0) {
            const uint8_t head[] = {0x21, 0xFE, uint8_t(commentLength)};
            out.Put(head, sizeof(head));
            out.Put(m_szComment, commentLength);
            out.Put(uint8_t(0));
        }
        out.Put(uint8_t(0x3B));
        out.Flush();
        return true;
    } catch (const GifWriteError& e) {
        SetLastError(e.text);
        return false;
    }
}

bool CRaster::Encode(CRasterFile* out, CRaster** frames, int count, uint32_t type)
{
    if (type != FormatGif) {
        SetLastError("Unsupported operation for this format");
        return false;
    }
    CRasterGifCodec writer;
    writer.SetLoops(0);
    writer.SetDisposalMethod(0);
    writer.SetComment("");
    if (writer.Encode(out, frames, count))
        return true;
    SetLastError(writer.GetLastError());
    return false;
}
