// The animated GIF writer.
//
// The image data are compressed by a run-length coder that never builds an
// LZW dictionary. It predicts the dictionary the decoder will build: right
// after a clear code, sending a pixel p and then the codes base, base+1,
// base+2, ... makes the decoder define runs of 2, 3, 4, ... copies of p (each
// code is the "not yet defined" case of LZW, so the decoder appends p to the
// previous run). Later runs of the same pixel are sent with those run codes;
// everything else is sent as plain index codes, with a clear code before the
// decoder's code width would have to grow. The coder needs a few integers and
// one 255-byte block, whatever the frame size.
#include <cstring>
#include <string>

#include "gif_codec.h"

namespace {

struct GifWriteError {
    const char* text;
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
    RunCoder(CRasterFile* out, int initialWidth) : m_out(out)
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
        m_out->PutC(uint8_t(m_s.blockLength));
        m_out->Write(m_s.block, 1, size_t(m_s.blockLength));
        m_s.blockLength = 0;
    }

    CRasterFile* m_out;
    GifRunState m_s;
};

void PutWord(CRasterFile* out, uint32_t value)
{
    out->PutC(uint8_t(value & 0xFF));
    out->PutC(uint8_t((value / 256) & 0xFF));
}

// The palette as GIF colour table entries: red, green, blue.
void PutColourTable(CRasterFile* out, const CRaster& picture)
{
    const RGBQUAD* pal = picture.GetPalette();
    const uint32_t n = picture.GetNumColors();
    if (!pal)
        return;
    std::string bytes;
    bytes.reserve(n * 3);
    for (uint32_t i = 0; i < n; ++i) {
        bytes.push_back(char(pal[i].rgbRed));
        bytes.push_back(char(pal[i].rgbGreen));
        bytes.push_back(char(pal[i].rgbBlue));
    }
    out->Write(bytes.data(), 1, bytes.size());
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

} // namespace

void CRasterGifCodec::SetComment(const char* text)
{
    std::memset(m_szComment, 0, sizeof(m_szComment));
    if (text)
        std::strncpy(m_szComment, text, sizeof(m_szComment) - 1);
}

bool CRasterGifCodec::Encode(CRasterFile* out, CRaster** frames, int count)
{
    try {
        if (!out)
            throw GifWriteError{"invalid file pointer"};
        if (!frames || count <= 0 || !frames[0])
            throw GifWriteError{"multipage GIF, no images!"};
        const CRaster& first = *frames[0];
        CheckFrame(first);

        out->Write("GIF89a", 1, 6);
        PutWord(out, first.GetWidth());
        PutWord(out, first.GetHeight());
        const uint32_t bpp = first.GetBpp();
        out->PutC(uint8_t(0x80 | ((bpp - 1) << 4) | (bpp - 1)));
        out->PutC(0);  // background colour index
        out->PutC(0);  // pixel aspect ratio
        PutColourTable(out, first);

        static const uint8_t kLoopHead[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A',
                                            'P',  'E',  '2',  '.', '0', 0x03, 0x01};
        out->Write(kLoopHead, 1, sizeof(kLoopHead));
        PutWord(out, uint32_t(m_nLoops) & 0xFFFF);
        out->PutC(0);

        for (int i = 0; i < count; ++i) {
            if (!frames[i])
                throw GifWriteError{"Bad image pointer"};
            EncodeFrame(out, frames[i]);
        }

        const size_t commentLength = strnlen(m_szComment, 255);
        if (commentLength > 0) {
            out->PutC(0x21);
            out->PutC(0xFE);
            out->PutC(uint8_t(commentLength));
            out->Write(m_szComment, 1, commentLength);
            out->PutC(0);
        }
        out->PutC(0x3B);
        return true;
    } catch (const GifWriteError& e) {
        SetLastError(e.text);
        return false;
    }
}

bool CRasterGifCodec::EncodeFrame(CRasterFile* out, CRaster* frame)
{
    CheckFrame(*frame);
    const uint32_t width = frame->GetWidth();
    const uint32_t height = frame->GetHeight();
    const uint32_t bpp = frame->GetBpp();
    const long trans = frame->GetTransIndex();

    // Graphic control extension.
    out->PutC(0x21);
    out->PutC(0xF9);
    out->PutC(0x04);
    out->PutC(uint8_t(((m_nDispose << 2) & 0x1C) | (trans != -1 ? 1 : 0)));
    PutWord(out, frame->GetFrameDelay() & 0xFFFF);
    out->PutC(uint8_t(trans & 0xFF));
    out->PutC(0);

    // Image descriptor with a local colour table.
    long left = 0;
    long top = 0;
    frame->GetOffset(&left, &top);
    out->PutC(0x2C);
    PutWord(out, uint32_t(left) & 0xFFFF);
    PutWord(out, uint32_t(top) & 0xFFFF);
    PutWord(out, width);
    PutWord(out, height);
    out->PutC(uint8_t(0x80 | (bpp - 1)));
    PutColourTable(out, *frame);

    const int codeSize = bpp < 2 ? 2 : int(bpp);
    out->PutC(uint8_t(codeSize));
    RunCoder coder(out, codeSize + 1);
    // Pixels go top row first; the picture stores its rows bottom-up.
    const uint32_t mask = (1u << bpp) - 1;
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* bits = frame->GetBits(height - 1 - row);
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t index;
            if (bpp == 8) {
                index = bits[x];
            } else {
                const uint32_t bit = x * bpp;
                index = (bits[bit >> 3] >> (8 - bpp - (bit & 7))) & mask;
            }
            coder.Put(int32_t(index));
        }
    }
    coder.Put(-1);
    coder.Finish();
    out->PutC(0);
    return true;
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
