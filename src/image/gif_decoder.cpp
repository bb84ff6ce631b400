// The GIF decoder.
//
// A decode first walks the whole file to count its images (reading every
// extension on the way, so the values found last are in force when decoding
// starts), then returns to the first block after the global colour table and
// decodes images 0 to k. Each image is composed over the picture decoded so
// far when its disposal method is 1 (0 counts as 1); with any other method the
// picture becomes that image alone, at its own size.
//
// A file without a global colour table whose first image differs from the
// logical screen in both width and height is taken to be a "true-colour" GIF: a
// picture spread over many images, each with its own 256 colours. All its
// images are painted into one 24-bit picture of screen size.
//
// Hostile files: every size is checked before a picture is allocated, every
// read goes through a bounded buffer, every loop consumes input, and an LZW
// prefix chain that would overflow its stack ends the image.
#include <algorithm>
#include <cstring>
#include <vector>

#include "codec_util.h"
#include "gif_codec.h"

namespace {

constexpr size_t kReadAhead = 16384;
constexpr int kMaxCodes = 4096;

const char kTextEmpty[] = "GIF image is empty";
const char kTextTooLarge[] = "GIF image too large";
const char kTextNoMemory[] = "Can't allocate memory";
const char kTextMissing[] = "GIF image data missing";

// Writes decoded indices into a picture's rows, top row first, in the row
// order of a plain or an interlaced image.
class RowWriter {
public:
    RowWriter(CRaster& target, uint32_t width, uint32_t height, bool bInterlaced)
        : m_target(target), m_width(width), m_height(height), m_bpp(target.GetBpp()),
          m_bInterlaced(bInterlaced), m_line(width)
    {
    }

    bool Done() const { return m_rowsDone >= m_height; }

    void Put(uint8_t index)
    {
        m_line[m_col++] = index;
        if (m_col == m_width) {
            Store(m_width);
            m_col = 0;
        }
    }

    // A line that the data did not fill gets only the pixels decoded for it.
    void FinishPartialLine()
    {
        if (m_col > 0)
            Store(m_col);
        m_col = 0;
    }

private:
    void Store(uint32_t count)
    {
        if (Done())
            return;
        uint8_t* bits = m_target.GetBits(m_height - 1 - m_row);
        if (m_bpp == 8) {
            std::memcpy(bits, m_line.data(), count);
        } else {
            const uint32_t mask = (1u << m_bpp) - 1;
            for (uint32_t x = 0; x < count; ++x) {
                const uint32_t bit = x * m_bpp;
                const uint32_t shift = 8 - m_bpp - (bit & 7);
                uint8_t& b = bits[bit >> 3];
                b = uint8_t((b & ~(mask << shift)) | ((m_line[x] & mask) << shift));
            }
        }
        ++m_rowsDone;
        NextRow();
    }

    void NextRow()
    {
        // Interlaced rows come every 8th from row 0, every 8th from row 4,
        // every 4th from row 2, then every 2nd from row 1.
        static const uint32_t kStart[4] = {0, 4, 2, 1};
        static const uint32_t kStep[4] = {8, 8, 4, 2};
        if (!m_bInterlaced) {
            ++m_row;
            return;
        }
        m_row += kStep[m_pass];
        while (m_row >= m_height && m_pass < 3) {
            ++m_pass;
            m_row = kStart[m_pass];
        }
    }

    CRaster& m_target;
    uint32_t m_width;
    uint32_t m_height;
    uint32_t m_bpp;
    bool m_bInterlaced;
    std::vector<uint8_t> m_line;
    uint32_t m_col = 0;
    uint32_t m_row = 0;
    uint32_t m_pass = 0;
    uint32_t m_rowsDone = 0;
};

uint8_t IndexAt(const uint8_t* bits, uint32_t x, uint32_t bpp)
{
    if (bpp == 8)
        return bits[x];
    const uint32_t bit = x * bpp;
    return uint8_t((bits[bit >> 3] >> (8 - bpp - (bit & 7))) & ((1u << bpp) - 1));
}

bool IsWhite(const RGBQUAD& c)
{
    return c.rgbRed == 255 && c.rgbGreen == 255 && c.rgbBlue == 255;
}

} // namespace

// The read-ahead buffer over the stream and the LZW tables.
struct CRasterGifCodec::ReadState {
    CRasterFile* file = nullptr;
    long base = 0;  // stream position of buffer[0]
    size_t fill = 0;
    size_t pos = 0;
    uint8_t buffer[kReadAhead];
    uint16_t prefix[kMaxCodes];
    uint8_t suffix[kMaxCodes];
    uint8_t stack[kMaxCodes];

    bool Refill()
    {
        base += long(fill);
        pos = 0;
        fill = file->Read(buffer, 1, sizeof(buffer));
        return fill > 0;
    }

    int GetByte()
    {
        if (pos == fill && !Refill())
            return -1;
        return buffer[pos++];
    }

    size_t Read(uint8_t* dst, size_t n)
    {
        size_t got = 0;
        while (got < n) {
            if (pos == fill && !Refill())
                break;
            const size_t take = std::min(n - got, fill - pos);
            std::memcpy(dst + got, buffer + pos, take);
            pos += take;
            got += take;
        }
        return got;
    }

    size_t Skip(size_t n)
    {
        size_t done = 0;
        while (done < n) {
            if (pos == fill && !Refill())
                break;
            const size_t take = std::min(n - done, fill - pos);
            pos += take;
            done += take;
        }
        return done;
    }

    long Position() const { return base + long(pos); }

    bool SeekTo(long position)
    {
        if (!file->Seek(position, 0))
            return false;
        base = position;
        fill = 0;
        pos = 0;
        return true;
    }
};

CRasterGifCodec::CRasterGifCodec() : CRaster(FormatGif), m_read(std::make_unique<ReadState>()) {}

CRasterGifCodec::~CRasterGifCodec() = default;

bool CRasterGifCodec::Decode(CRasterFile* in)
{
    return Run(in, nullptr);
}

bool CRasterGifCodec::DecodeAllFrames(CRasterFile* in, const FrameHandler& onFrame)
{
    return Run(in, &onFrame);
}

bool CRasterGifCodec::Cancelled() const
{
    return codec::EscapeSet(&info.nEscape) || codec::EscapeSet(m_pWatchedEscape);
}

bool CRasterGifCodec::Fail(const char* text)
{
    SetLastError(text);
    return false;
}

void CRasterGifCodec::ResetDecoding()
{
    Destroy();
    m_nLoops = 0;
    m_nDispose = 0;
    std::memset(m_szComment, 0, sizeof(m_szComment));
    m_screenWidth = 0;
    m_screenHeight = 0;
    std::memset(m_globalTable, 0, sizeof(m_globalTable));
    std::memset(m_currentTable, 0, sizeof(m_currentTable));
    m_globalSize = 0;
    m_tableSize = 0;
    m_bHasGlobal = false;
    m_bHasTable = false;
    m_gcePacked = 0;
    m_nTrueColorSigns = 0;
    m_bTrueColor = false;
    m_nFirstTrans = -1;
    m_trueColor.reset();
    m_nBadCodes = 0;
    m_nFailedFrame = -1;
    info.nBkgndIndex = -1;
    info.nBkgndColor = RGBQUAD{0, 0, 0, 0};
    info.dwFrameDelay = 0;
    info.nNumFrames = 0;
    info.szLastError[0] = '\0';
}

bool CRasterGifCodec::Run(CRasterFile* in, const FrameHandler* onFrame)
{
    const long requested = GetFrame();
    ResetDecoding();
    if (onFrame)
        m_nFailedFrame = 0;
    if (!in)
        return Fail("");
    ReadState& r = *m_read;
    r.file = in;
    r.fill = 0;
    r.pos = 0;
    r.base = in->Tell();
    if (r.base < 0)
        return Fail("");

    uint8_t head[13];
    if (r.Read(head, 13) != 13 || std::memcmp(head, "GIF8", 4) != 0)
        return Fail("");
    m_screenWidth = codec::Le16(head + 6);
    m_screenHeight = codec::Le16(head + 8);
    const uint8_t packed = head[10];
    m_globalSize = 2u << (packed & 7);
    m_tableSize = m_globalSize;
    if (packed & 0x80) {
        r.Read(m_globalTable, m_globalSize * 3);
        std::memcpy(m_currentTable, m_globalTable, sizeof(m_currentTable));
        m_bHasGlobal = true;
        m_bHasTable = true;
    } else {
        ++m_nTrueColorSigns;
    }
    const long afterGlobal = r.Position();

    const int count = CountFrames();
    SetNumFrames(count);
    if (onFrame) {
        if (count == 0)
            return Fail("");
    } else if (requested < 0 || requested >= count) {
        return Fail("");
    }
    if (!r.SeekTo(afterGlobal))
        return Fail("");

    // In one walk every frame is handed over as it is decoded; a single decode
    // stops at the frame asked for.
    long deliver = onFrame ? count - 1 : requested;
    SetFrame(deliver);
    int frameNo = 0;
    bool bReached = false;
    for (;;) {
        if (Cancelled()) {
            m_nFailedFrame = frameNo;
            return Fail("");
        }
        const int c = r.GetByte();
        if (c < 0 || c == ';')
            break;
        if (c == '!') {
            if (!ReadExtension())
                break;
        } else if (c == ',') {
            bool bStopped = false;
            const Walk w = DecodeImage(frameNo, onFrame != nullptr, onFrame, &bStopped);
            if (w == Walk::Failed) {
                m_nFailedFrame = m_bTrueColor ? 0 : frameNo;
                return false;
            }
            if (w == Walk::Ended)
                break;
            if (bStopped) {
                m_nFailedFrame = -1;
                return true;
            }
            // A true-colour picture is only complete after the last image.
            if (m_bTrueColor && deliver != count - 1) {
                deliver = count - 1;
                SetFrame(deliver);
            }
            if (frameNo == deliver) {
                bReached = true;
                break;
            }
            ++frameNo;
        }
    }
    if (!bReached) {
        m_nFailedFrame = m_bTrueColor ? 0 : frameNo;
        return Fail(kTextMissing);
    }
    if (m_bTrueColor) {
        FinishTrueColor();
        if (onFrame) {
            for (int k = 0; k < count; ++k) {
                CRaster frame(*this);
                if (!(*onFrame)(frame, k))
                    break;
            }
        }
    }
    m_nFailedFrame = -1;
    return true;
}

int CRasterGifCodec::CountFrames()
{
    ReadState& r = *m_read;
    int count = 0;
    for (;;) {
        const int c = r.GetByte();
        if (c < 0 || c == ';')
            break;
        if (c == '!') {
            // Decoding stops at an extension it cannot read, so counting does too.
            if (!ReadExtension())
                break;
        } else if (c == ',') {
            uint8_t desc[9];
            if (r.Read(desc, 9) != 9)
                break;
            if (count < 0x7FFFFFFF)
                ++count;
            if (desc[8] & 0x80)
                r.Skip(size_t(3) * (2u << (desc[8] & 7)));
            SkipImageData();
        }
    }
    return count;
}

bool CRasterGifCodec::SkipSubBlocks()
{
    ReadState& r = *m_read;
    for (;;) {
        const int n = r.GetByte();
        if (n <= 0)
            return n == 0;
        if (r.Skip(size_t(n)) != size_t(n))
            return false;
    }
}

bool CRasterGifCodec::SkipImageData()
{
    if (m_read->GetByte() < 0)
        return false;
    return SkipSubBlocks();
}

bool CRasterGifCodec::ReadExtension()
{
    ReadState& r = *m_read;
    const int label = r.GetByte();
    if (label < 0)
        return false;
    bool bGood = true;
    switch (label) {
    case 0xF9: {
        const int size = r.GetByte();
        if (size < 0)
            return false;
        uint8_t b[4];
        const size_t got = r.Read(b, 4);
        bGood = int(got) == size;
        if (got == 4) {
            m_gcePacked = b[0];
            if (b[0] & 1)
                info.nBkgndIndex = b[3];
            info.dwFrameDelay = codec::Le16(b + 1);
            int method = (b[0] >> 2) & 7;
            m_nDispose = method == 0 ? 1 : method;
        }
        break;
    }
    case 0xFE: {
        const int size = r.GetByte();
        if (size < 0)
            return false;
        const size_t got = r.Read(reinterpret_cast<uint8_t*>(m_szComment), size_t(size));
        m_szComment[got] = '\0';
        bGood = int(got) == size;
        if (size == 0)
            return bGood;
        break;
    }
    case 0xFF: {
        // The looping block is 11 bytes of name and one 3-byte sub-block
        // (1, loop count). Other application blocks (colour profiles,
        // metadata) have other shapes and are passed over.
        const int size = r.GetByte();
        if (size < 0)
            return false;
        int next = size;
        if (size == 11) {
            uint8_t name[11];
            if (r.Read(name, 11) != 11)
                return false;
            next = r.GetByte();
            if (next < 0)
                return false;
            if (next == 3) {
                uint8_t b[3];
                if (r.Read(b, 3) != 3)
                    return false;
                m_nLoops = b[1] + 256 * b[2];
                next = -1;
            }
        }
        if (next == 0)
            return true;
        if (next > 0 && r.Skip(size_t(next)) != size_t(next))
            return false;
        break;
    }
    default:
        break;
    }
    SkipSubBlocks();
    return bGood;
}

CRasterGifCodec::Walk CRasterGifCodec::DecodeImage(int frameNo, bool bDeliverEvery, const FrameHandler* onFrame,
                                                   bool* bStopped)
{
    ReadState& r = *m_read;
    uint8_t desc[9];
    if (r.Read(desc, 9) != 9)
        return Walk::Ended;
    const uint32_t left = codec::Le16(desc);
    const uint32_t top = codec::Le16(desc + 2);
    const uint32_t width = codec::Le16(desc + 4);
    const uint32_t height = codec::Le16(desc + 6);
    const uint8_t packed = desc[8];

    if (frameNo == 0) {
        if (width != m_screenWidth && height != m_screenHeight)
            ++m_nTrueColorSigns;
        m_bTrueColor = m_nTrueColorSigns >= 2;
    }

    if (packed & 0x80) {
        m_tableSize = 2u << (packed & 7);
        const size_t got = r.Read(m_currentTable, m_tableSize * 3);
        std::memset(m_currentTable + got, 0, sizeof(m_currentTable) - got);
        m_bHasTable = true;
    } else if (m_bHasGlobal) {
        // A local table belongs to its own image only.
        m_tableSize = m_globalSize;
        std::memcpy(m_currentTable, m_globalTable, sizeof(m_currentTable));
    }

    const bool bCompose = frameNo > 0 && m_nDispose == 1 && !m_bTrueColor;
    if (frameNo == 0)
        m_nFirstTrans = info.nBkgndIndex;

    const uint32_t bpp = m_tableSize <= 2 ? 1 : m_tableSize <= 16 ? 4 : 8;
    if (width == 0 || height == 0) {
        Fail(kTextEmpty);
        return Walk::Failed;
    }
    if (!RasterBlockBytes(width, height, bpp, nullptr)) {
        Fail(kTextTooLarge);
        return Walk::Failed;
    }
    // A composed image is decoded beside the picture and painted onto it;
    // any other image replaces the picture.
    CRaster scratch(FormatGif);
    CRaster& target = bCompose ? scratch : *this;
    if (!target.Create(width, height, bpp, FormatGif)) {
        Fail(kTextNoMemory);
        return Walk::Failed;
    }
    const int32_t trans = info.nBkgndIndex;
    // Pixels the data never reach stay transparent, or index 0 without
    // transparency.
    if (trans != -1) {
        const uint8_t v = uint8_t(trans) & uint8_t((1u << bpp) - 1);
        target.Clear(bpp == 8 ? v : bpp == 4 ? uint8_t(v * 0x11) : uint8_t(v ? 0xFF : 0));
    }

    if (m_bHasTable) {
        RGBQUAD pal[256];
        for (uint32_t i = 0; i < 256; ++i) {
            const uint8_t* t = m_currentTable + 3 * i;
            pal[i] = MakeRgbQuad(t[0], t[1], t[2], 0);
        }
        if (trans != -1) {
            // Past the table's end every entry is white, and some entry must
            // be white.
            for (uint32_t i = m_tableSize; i < 256; ++i)
                pal[i] = MakeRgbQuad(255, 255, 255, 0);
            if (std::none_of(pal, pal + 256, IsWhite))
                pal[255] = MakeRgbQuad(255, 255, 255, 0);
            target.SetPalette(pal, 256);
        } else {
            target.SetPalette(pal, m_tableSize);
        }
    }

    DecodeLzw(target, width, height, (packed & 0x40) != 0);

    if (Cancelled()) {
        Fail("");
        return Walk::Failed;
    }
    if (bCompose) {
        ComposeOver(scratch, left, top);
        info.nBkgndIndex = m_nFirstTrans;
    }
    if (m_bTrueColor && !PaintTrueColor(left, top))
        return Walk::Failed;

    if (bDeliverEvery && !m_bTrueColor) {
        CRaster frame(*this);
        frame.SetFrame(frameNo);
        if (!(*onFrame)(frame, frameNo))
            *bStopped = true;
    }
    return Walk::Delivered;
}

bool CRasterGifCodec::DecodeLzw(CRaster& target, uint32_t width, uint32_t height, bool bInterlaced)
{
    ReadState& r = *m_read;
    const int codeSize = r.GetByte();
    if (codeSize < 0)
        return false;
    if (codeSize < 2 || codeSize > 9) {
        SkipSubBlocks();
        return false;
    }

    size_t blockLeft = 0;
    bool bDataEnded = false;  // the terminator or the end of the file was read
    auto nextByte = [&]() -> int {
        if (blockLeft == 0) {
            const int n = r.GetByte();
            if (n <= 0) {
                bDataEnded = true;
                return -1;
            }
            blockLeft = size_t(n);
        }
        const int b = r.GetByte();
        if (b < 0) {
            bDataEnded = true;
            return -1;
        }
        --blockLeft;
        return b;
    };

    const int clear = 1 << codeSize;
    const int end = clear + 1;
    const int firstFree = clear + 2;
    int codeWidth = codeSize + 1;
    int limit = 1 << codeWidth;
    int slot = firstFree;
    uint32_t bitBuffer = 0;
    int bitCount = 0;
    auto getCode = [&]() -> int {
        while (bitCount < codeWidth) {
            const int b = nextByte();
            if (b < 0)
                return -1;
            bitBuffer |= uint32_t(b) << bitCount;
            bitCount += 8;
        }
        const int code = int(bitBuffer & ((1u << codeWidth) - 1));
        bitBuffer >>= codeWidth;
        bitCount -= codeWidth;
        return code;
    };

    std::memset(r.prefix, 0, sizeof(r.prefix));
    std::memset(r.suffix, 0, sizeof(r.suffix));
    RowWriter rows(target, width, height, bInterlaced);
    int oldCode = 0;
    int firstChar = 0;
    // The data normally open with a clear code; without one they start as
    // if right after it.
    bool bFirstAfterClear = true;
    while (!rows.Done()) {
        int c = getCode();
        if (c < 0)
            break;
        if (c == clear) {
            codeWidth = codeSize + 1;
            slot = firstFree;
            limit = 1 << codeWidth;
            do
                c = getCode();
            while (c == clear);
            if (c < 0)
                break;
            bFirstAfterClear = true;
        }
        if (c == end)
            break;
        if (bFirstAfterClear) {
            if (c >= slot)
                c = 0;
            rows.Put(uint8_t(c));
            oldCode = firstChar = c;
            bFirstAfterClear = false;
            continue;
        }
        int code = c;
        int sp = 0;
        if (code >= slot) {
            if (code > slot)
                ++m_nBadCodes;
            r.stack[sp++] = uint8_t(firstChar);
            code = oldCode;
        }
        // Corrupt tables can chain in a circle; a chain longer than the
        // table ends the image.
        while (code >= firstFree && sp < kMaxCodes - 1) {
            r.stack[sp++] = r.suffix[code];
            code = r.prefix[code];
        }
        if (code >= firstFree)
            break;
        r.stack[sp++] = uint8_t(code);
        if (slot < limit) {
            r.suffix[slot] = uint8_t(code);
            r.prefix[slot] = uint16_t(oldCode);
            ++slot;
        }
        firstChar = code;
        if (slot >= limit && codeWidth < 12) {
            limit <<= 1;
            ++codeWidth;
        }
        oldCode = c;
        while (sp > 0)
            rows.Put(r.stack[--sp]);
    }
    rows.FinishPartialLine();

    // Whatever the decoder left of the image data is skipped up to and
    // including the block terminator.
    if (!bDataEnded) {
        if (blockLeft > 0 && r.Skip(blockLeft) != blockLeft)
            return true;
        SkipSubBlocks();
    }
    return true;
}

void CRasterGifCodec::ComposeOver(const CRaster& frame, uint32_t left, uint32_t top)
{
    const uint32_t backWidth = GetWidth();
    const uint32_t backHeight = GetHeight();
    const uint32_t frameWidth = frame.GetWidth();
    const uint32_t frameHeight = frame.GetHeight();
    const uint32_t frameBpp = frame.GetBpp();
    const int32_t trans = info.nBkgndIndex;

    // Indices whose colour is the same in both palettes are copied; the
    // others take the nearest colour of the picture's palette, so an image
    // with its own colour table keeps its colours.
    uint8_t map[256];
    const uint32_t backColours = GetNumColors();
    const uint32_t frameColours = frame.GetNumColors();
    for (uint32_t i = 0; i < 256; ++i) {
        const RGBQUAD want = frame.GetPaletteColor(uint8_t(i));
        const RGBQUAD have = GetPaletteColor(uint8_t(i));
        const bool bSame = i < backColours && i < frameColours && want.rgbRed == have.rgbRed &&
                           want.rgbGreen == have.rgbGreen && want.rgbBlue == have.rgbBlue;
        map[i] = bSame ? uint8_t(i) : (i < frameColours ? GetNearestIndex(want) : 0);
    }

    for (uint32_t fy = 0; fy < frameHeight; ++fy) {
        const uint64_t backRowFromTop = uint64_t(top) + fy;
        if (backRowFromTop >= backHeight)
            break;
        const uint8_t* src = frame.GetBits(frameHeight - 1 - fy);
        const long y = long(backHeight - 1 - backRowFromTop);
        for (uint32_t fx = 0; fx < frameWidth; ++fx) {
            const uint64_t x = uint64_t(left) + fx;
            if (x >= backWidth)
                break;
            const uint8_t index = IndexAt(src, fx, frameBpp);
            if (trans != -1 && index == uint8_t(trans))
                continue;
            SetPixelIndex(long(x), y, map[index]);
        }
    }
}

bool CRasterGifCodec::PaintTrueColor(uint32_t left, uint32_t top)
{
    if (!m_trueColor) {
        if (m_screenWidth == 0 || m_screenHeight == 0)
            return Fail(kTextEmpty);
        if (!RasterBlockBytes(m_screenWidth, m_screenHeight, 24, nullptr))
            return Fail(kTextTooLarge);
        m_trueColor = std::make_unique<CRaster>(FormatGif);
        if (!m_trueColor->Create(m_screenWidth, m_screenHeight, 24, FormatGif))
            return Fail(kTextNoMemory);
    }
    const uint32_t width = GetWidth();
    const uint32_t height = GetHeight();
    const uint32_t bpp = GetBpp();
    for (uint32_t fy = 0; fy < height; ++fy) {
        const uint64_t rowFromTop = uint64_t(top) + fy;
        if (rowFromTop >= m_screenHeight)
            break;
        const uint8_t* src = GetBits(height - 1 - fy);
        uint8_t* dst = m_trueColor->GetBits(uint32_t(m_screenHeight - 1 - rowFromTop));
        for (uint32_t fx = 0; fx < width; ++fx) {
            const uint64_t x = uint64_t(left) + fx;
            if (x >= m_screenWidth)
                break;
            const RGBQUAD c = GetPaletteColor(IndexAt(src, fx, bpp));
            uint8_t* p = dst + 3 * x;
            p[0] = c.rgbBlue;
            p[1] = c.rgbGreen;
            p[2] = c.rgbRed;
        }
    }
    return true;
}

void CRasterGifCodec::FinishTrueColor()
{
    if (!m_trueColor)
        return;
    const RGBQUAD transColour = GetPaletteColor(uint8_t(info.nBkgndIndex));
    ImageInfo kept = info;
    Transfer(*m_trueColor);
    m_trueColor.reset();
    kept.dwEffWidth = info.dwEffWidth;
    kept.pImage = info.pImage;
    kept.pGhost = nullptr;
    kept.dwType = FormatGif;
    // The 24-bit picture carries no palette index of its own; only the last
    // graphic control's transparency survives, as a colour.
    kept.nBkgndIndex = -1;
    kept.nBkgndColor = RGBQUAD{0, 0, 0, 0};
    if (m_gcePacked & 1) {
        kept.nBkgndColor = transColour;
        kept.nBkgndIndex = 0;
    }
    AssignInfo(kept);
}
