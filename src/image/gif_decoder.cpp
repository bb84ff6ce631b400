// The GIF decoder.
//
// A GIF file is a logical screen (width, height, an optional global colour
// table, a background colour index) followed by blocks up to the trailer ';':
// extensions ('!') and images (','). An image is a rectangle of palette
// indices somewhere on the screen, LZW-compressed, with an optional colour
// table of its own. A graphic control extension gives the image after it, and
// that image only, a delay, a transparent index (pixels of that index are not
// drawn) and a disposal method: what becomes of the image's rectangle before
// the next image is drawn.
//
// A decode first walks the whole file to count its images, then returns to
// the first block after the global colour table and draws images 0 to k on a
// canvas of the screen's size, as a viewer does. The canvas keeps, for every
// pixel, the colour shown there (or that nothing is) and the index it was
// drawn with, so that a delivered frame can keep the indices of its own
// colour table wherever the colours allow.
//
// A file without a global colour table whose first image differs from the
// logical screen in both width and height is taken to be a "true-colour" GIF: a
// picture spread over many images, each with its own 256 colours. Every frame
// of such a file is delivered as the finished 24-bit picture.
//
// Hostile files: every size is checked before anything is allocated, every
// read goes through a bounded buffer, every loop consumes input, and an LZW
// prefix chain that would overflow its stack ends the image.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
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

// A canvas pixel is a colour 0xRRGGBB with kShown set, or 0 where nothing is
// shown.
constexpr uint32_t kShown = 0x1000000;
constexpr uint32_t kRgb = 0xFFFFFF;
constexpr uint32_t kWhite = 0xFFFFFF;

uint32_t TableColour(const uint8_t* table, uint32_t index)
{
    const uint8_t* e = table + 3 * index;
    return uint32_t(e[0]) << 16 | uint32_t(e[1]) << 8 | e[2];
}

RGBQUAD Quad(uint32_t rgb)
{
    return MakeRgbQuad(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), 0);
}

// The graphic control extension read since the last image.
struct ControlBlock {
    uint8_t method = 0;    // disposal method as written, 0 to 7
    uint16_t delay = 0;    // hundredths of a second
    int32_t trans = -1;    // transparent index, -1 for none
};

// What becomes of an image's rectangle before the next image is drawn. Like
// browsers, 4 is taken as "previous" (some writers use it so) and 5 to 7,
// which mean nothing, like 0 and 1 as "leave it".
enum class Disposal { Keep, Background, Previous };

Disposal DisposalOf(uint8_t method)
{
    if (method == 2)
        return Disposal::Background;
    if (method == 3 || method == 4)
        return Disposal::Previous;
    return Disposal::Keep;
}

// An image's rectangle on the canvas, clipped to it.
struct Area {
    uint32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The logical screen as a viewer shows it, top row first.
class Canvas {
public:
    // False, without allocating, when the canvas would pass the ceiling of
    // one picture (taken at 4 bytes a pixel). Throws std::bad_alloc.
    bool Create(uint32_t width, uint32_t height)
    {
        if (!RasterBlockBytes(width, height, 32, nullptr))
            return false;
        m_width = width;
        m_height = height;
        m_colours.assign(size_t(width) * height, 0);
        m_indices.assign(size_t(width) * height, 0);
        return true;
    }

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    uint32_t* Colours(uint32_t row) { return m_colours.data() + size_t(row) * m_width; }
    const uint32_t* Colours(uint32_t row) const { return m_colours.data() + size_t(row) * m_width; }
    uint8_t* Indices(uint32_t row) { return m_indices.data() + size_t(row) * m_width; }
    const uint8_t* Indices(uint32_t row) const { return m_indices.data() + size_t(row) * m_width; }

    Area Clip(uint32_t left, uint32_t top, uint32_t width, uint32_t height) const
    {
        return Area{std::min(left, m_width), std::min(top, m_height), std::min(left + width, m_width),
                    std::min(top + height, m_height)};
    }

    // The area shows nothing any more.
    void Clear(const Area& a)
    {
        for (uint32_t y = a.top; y < a.bottom; ++y)
            std::fill(Colours(y) + a.left, Colours(y) + a.right, 0u);
    }

    struct Saved {
        Area area;
        std::vector<uint32_t> colours;
        std::vector<uint8_t> indices;
    };

    // Throws std::bad_alloc.
    Saved Save(const Area& a) const
    {
        Saved s{a, {}, {}};
        for (uint32_t y = a.top; y < a.bottom; ++y) {
            s.colours.insert(s.colours.end(), Colours(y) + a.left, Colours(y) + a.right);
            s.indices.insert(s.indices.end(), Indices(y) + a.left, Indices(y) + a.right);
        }
        return s;
    }

    void Restore(const Saved& s)
    {
        const Area& a = s.area;
        const size_t w = a.right - a.left;
        for (uint32_t y = a.top, i = 0; y < a.bottom; ++y, ++i) {
            std::copy_n(s.colours.data() + i * w, w, Colours(y) + a.left);
            std::copy_n(s.indices.data() + i * w, w, Indices(y) + a.left);
        }
    }

private:
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    std::vector<uint32_t> m_colours;
    std::vector<uint8_t> m_indices;
};

// Finds the palette of a delivered frame: the drawn image's colour table,
// with its entries that no pixel uses (past the table's end first) taken for
// the other colours on the canvas and, where nothing is shown and the image
// has no transparent index, for a transparent one. A pixel keeps the index it
// was drawn with while that entry has its colour, else takes the first entry
// of its colour. The bit depth grows from the table's when more entries are
// needed; Fit fails when 256 are not enough.
class PaletteFit {
public:
    // Codes of pixels while fitting: a table index, kExtra + the number of a
    // colour not in the table, or kNothing.
    static constexpr uint16_t kExtra = 256;
    static constexpr uint16_t kNothing = 512;

    PaletteFit(const uint32_t* colours, uint32_t tableSize, int32_t trans, uint32_t emptyColour)
        : m_colours(colours), m_tableSize(std::min<uint32_t>(tableSize, 256)), m_trans(trans),
          m_emptyColour(emptyColour)
    {
        m_bpp0 = m_tableSize <= 2 ? 1 : m_tableSize <= 16 ? 4 : 8;
        for (uint32_t i = 0; i < m_tableSize; ++i)
            if (int32_t(i) != trans)
                m_byColour.try_emplace(colours[i], uint8_t(i));
    }

    // Throws std::bad_alloc.
    bool Fit(const Canvas& canvas, std::vector<uint16_t>& codes)
    {
        codes.resize(size_t(canvas.Width()) * canvas.Height());
        // Keeping the drawn indices may spend two entries on one colour; a
        // second try gives every colour one entry.
        return Attempt(canvas, codes, true) || Attempt(canvas, codes, false);
    }

    uint32_t Bpp() const { return m_bpp; }
    int32_t TransIndex() const { return m_deliveredTrans; }
    const RGBQUAD* Palette() const { return m_palette.data(); }
    uint8_t IndexOf(uint16_t code) const
    {
        if (code < kExtra)
            return uint8_t(code);
        return code == kNothing ? uint8_t(m_deliveredTrans) : m_extraSlots[code - kExtra];
    }

private:
    bool Attempt(const Canvas& canvas, std::vector<uint16_t>& codes, bool bKeepIndices)
    {
        m_used.fill(false);
        m_extras.clear();
        m_extraCode.clear();
        m_bNothing = false;
        size_t n = 0;
        for (uint32_t y = 0; y < canvas.Height(); ++y) {
            const uint32_t* colours = canvas.Colours(y);
            const uint8_t* indices = canvas.Indices(y);
            for (uint32_t x = 0; x < canvas.Width(); ++x, ++n) {
                if (!(colours[x] & kShown)) {
                    codes[n] = kNothing;
                    m_bNothing = true;
                    continue;
                }
                const uint32_t rgb = colours[x] & kRgb;
                const uint8_t index = indices[x];
                if (bKeepIndices && index < m_tableSize && index != m_trans && m_colours[index] == rgb) {
                    codes[n] = index;
                    m_used[index] = true;
                    continue;
                }
                if (const auto it = m_byColour.find(rgb); it != m_byColour.end()) {
                    codes[n] = it->second;
                    m_used[it->second] = true;
                    continue;
                }
                const auto [it, bAdded] = m_extraCode.try_emplace(rgb, uint16_t(m_extras.size()));
                if (bAdded) {
                    if (m_extras.size() == 256)
                        return false;
                    m_extras.push_back(rgb);
                }
                codes[n] = uint16_t(kExtra + it->second);
            }
        }
        for (uint32_t bpp : {1u, 4u, 8u})
            if (bpp >= m_bpp0 && Assign(bpp))
                return true;
        return false;
    }

    // Gives the extra colours, and a transparent index where one is needed,
    // entries of a `bpp`-bit palette.
    bool Assign(uint32_t bpp)
    {
        const int32_t cap = 1 << bpp;
        if (m_bNothing && m_trans >= cap)
            return false;
        std::vector<uint8_t> free;
        for (int32_t i = int32_t(m_tableSize); i < cap; ++i)
            if (i != m_trans)
                free.push_back(uint8_t(i));
        for (int32_t i = std::min<int32_t>(int32_t(m_tableSize), cap) - 1; i >= 0; --i)
            if (!m_used[size_t(i)] && i != m_trans)
                free.push_back(uint8_t(i));
        // Without transparent pixels the transparent entry is the last resort.
        if (!m_bNothing && m_trans >= 0 && m_trans < cap && !m_used[size_t(m_trans)])
            free.push_back(uint8_t(m_trans));
        const bool bNeedTrans = m_bNothing && m_trans < 0;
        if (free.size() < m_extras.size() + (bNeedTrans ? 1 : 0))
            return false;

        m_bpp = bpp;
        m_deliveredTrans = m_trans;
        std::array<bool, 256> assigned{};
        for (uint32_t i = 0; i < 256; ++i)
            m_palette[i] = Quad(i < m_tableSize ? m_colours[i] : 0);
        m_extraSlots.assign(m_extras.size(), 0);
        for (size_t k = 0; k < m_extras.size(); ++k) {
            const uint8_t slot = free[k];
            m_extraSlots[k] = slot;
            m_palette[slot] = Quad(m_extras[k]);
            assigned[slot] = true;
            if (slot == m_trans)
                m_deliveredTrans = -1;
        }
        if (bNeedTrans) {
            const uint8_t slot = free[m_extras.size()];
            m_deliveredTrans = slot;
            m_palette[slot] = Quad(m_emptyColour);
            assigned[slot] = true;
        }
        // With a transparent index, entries past the table are white, and some
        // entry must be white.
        if (m_deliveredTrans >= 0) {
            for (uint32_t i = m_tableSize; i < 256; ++i)
                if (!assigned[i])
                    m_palette[i] = Quad(kWhite);
            const bool bWhite = std::any_of(m_palette.begin(), m_palette.end(), [](const RGBQUAD& c) {
                return c.rgbRed == 255 && c.rgbGreen == 255 && c.rgbBlue == 255;
            });
            if (!bWhite && !m_used[255] && !assigned[255])
                m_palette[255] = Quad(kWhite);
        }
        return true;
    }

    const uint32_t* m_colours;
    uint32_t m_tableSize;
    int32_t m_trans;
    uint32_t m_emptyColour;
    uint32_t m_bpp0 = 8;
    std::unordered_map<uint32_t, uint8_t> m_byColour;

    std::array<bool, 256> m_used{};
    std::vector<uint32_t> m_extras;
    std::unordered_map<uint32_t, uint16_t> m_extraCode;
    bool m_bNothing = false;

    uint32_t m_bpp = 8;
    int32_t m_deliveredTrans = -1;
    std::vector<uint8_t> m_extraSlots;
    std::array<RGBQUAD, 256> m_palette{};
};

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

// Draws the decoded indices of one image on the canvas, row by row in the
// order of a plain or an interlaced image. Pixels of the transparent index and
// pixels off the canvas are not drawn.
class CRasterGifCodec::FramePainter {
public:
    FramePainter(Canvas& canvas, const uint32_t* colours, uint32_t left, uint32_t top, uint32_t width,
                 uint32_t height, bool bInterlaced, int32_t trans)
        : m_canvas(canvas), m_colours(colours), m_left(left), m_top(top), m_width(width), m_height(height),
          m_bInterlaced(bInterlaced), m_trans(trans), m_line(width)
    {
    }

    bool Done() const { return m_rowsDone >= m_height; }

    void Put(uint8_t index)
    {
        m_line[m_col++] = index;
        if (m_col == m_width) {
            Store();
            m_col = 0;
        }
    }

    // Pixels the data never reached show index 0, or nothing when the image
    // has a transparent index (as if they had that index).
    void FillRest()
    {
        const uint8_t fill = m_trans >= 0 ? uint8_t(m_trans) : 0;
        if (m_col > 0) {
            std::fill(m_line.begin() + m_col, m_line.end(), fill);
            Store();
            m_col = 0;
        }
        if (m_trans >= 0)
            return;
        std::fill(m_line.begin(), m_line.end(), fill);
        while (!Done())
            Store();
    }

private:
    void Store()
    {
        if (Done())
            return;
        const uint64_t y = uint64_t(m_top) + m_row;
        if (y < m_canvas.Height() && m_left < m_canvas.Width()) {
            uint32_t* colours = m_canvas.Colours(uint32_t(y)) + m_left;
            uint8_t* indices = m_canvas.Indices(uint32_t(y)) + m_left;
            const uint32_t count = std::min(m_width, m_canvas.Width() - m_left);
            for (uint32_t x = 0; x < count; ++x) {
                const uint8_t index = m_line[x];
                if (index == m_trans)
                    continue;
                colours[x] = m_colours[index] | kShown;
                indices[x] = index;
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

    Canvas& m_canvas;
    const uint32_t* m_colours;
    uint32_t m_left;
    uint32_t m_top;
    uint32_t m_width;
    uint32_t m_height;
    bool m_bInterlaced;
    int32_t m_trans;
    std::vector<uint8_t> m_line;
    uint32_t m_col = 0;
    uint32_t m_row = 0;
    uint32_t m_pass = 0;
    uint32_t m_rowsDone = 0;
};

// Everything one decode learns from the file, reset by assignment.
struct CRasterGifCodec::DecodeState {
    uint32_t screenWidth = 0;
    uint32_t screenHeight = 0;
    uint8_t background = 0;  // background colour index of the screen
    uint8_t globalTable[256 * 3] = {};
    uint32_t globalSize = 0;
    bool bHasGlobal = false;
    // The colour table in force: an image's own, else the global one. A file
    // without a global table keeps the last image's for the next.
    uint8_t table[256 * 3] = {};
    uint32_t tableSize = 0;
    bool bHasTable = false;
    ControlBlock control;
    int trueColourSigns = 0;
    bool bTrueColour = false;
    Canvas canvas;
    // The image drawn last, of which a frame is delivered: its control block
    // and the colour of each of its indices.
    ControlBlock drawn;
    uint32_t colours[256] = {};
    std::vector<uint16_t> codes;  // scratch of Deliver
};

CRasterGifCodec::CRasterGifCodec()
    : CRaster(FormatGif), m_read(std::make_unique<ReadState>()), m_state(std::make_unique<DecodeState>())
{
}

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
    *m_state = DecodeState{};
    m_nBadCodes = 0;
    m_nFailedFrame = -1;
    info.nBkgndIndex = -1;
    info.nBkgndColor = RGBQUAD{0, 0, 0, 0};
    info.dwFrameDelay = 0;
    info.nNumFrames = 0;
    info.szLastError[0] = '\0';
    info.szTruncation[0] = '\0';
}

bool CRasterGifCodec::Run(CRasterFile* in, const FrameHandler* onFrame)
{
    const long requested = GetFrame();
    ResetDecoding();
    // The canvas and its scratch are needed only while the decode runs.
    struct ReleaseCanvas {
        DecodeState& state;
        ~ReleaseCanvas()
        {
            state.canvas = Canvas{};
            state.codes = std::vector<uint16_t>{};
        }
    } release{*m_state};
    if (onFrame)
        m_nFailedFrame = 0;
    if (!in)
        return Fail("");
    ReadState& r = *m_read;
    DecodeState& s = *m_state;
    r.file = in;
    r.fill = 0;
    r.pos = 0;
    r.base = in->Tell();
    if (r.base < 0)
        return Fail("");

    uint8_t head[13];
    if (r.Read(head, 13) != 13 || std::memcmp(head, "GIF8", 4) != 0)
        return Fail("");
    s.screenWidth = codec::Le16(head + 6);
    s.screenHeight = codec::Le16(head + 8);
    const uint8_t packed = head[10];
    s.background = head[11];
    s.globalSize = 2u << (packed & 7);
    s.tableSize = s.globalSize;
    if (packed & 0x80) {
        r.Read(s.globalTable, s.globalSize * 3);
        std::memcpy(s.table, s.globalTable, sizeof(s.table));
        s.bHasGlobal = true;
        s.bHasTable = true;
    } else {
        ++s.trueColourSigns;
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
    // Control blocks read while counting belong to no image yet.
    s.control = ControlBlock{};

    // In one walk every frame is handed over as it is drawn; a single decode
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
            const Walk w = DecodeImage(frameNo, deliver, onFrame, &bStopped);
            if (w == Walk::Failed) {
                m_nFailedFrame = s.bTrueColour ? 0 : frameNo;
                return false;
            }
            if (w == Walk::Ended)
                break;
            if (bStopped) {
                m_nFailedFrame = -1;
                return true;
            }
            // A true-colour picture is only complete after the last image.
            if (s.bTrueColour && deliver != count - 1) {
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
        m_nFailedFrame = s.bTrueColour ? 0 : frameNo;
        return Fail(kTextMissing);
    }
    if (s.bTrueColour) {
        if (!Deliver(true)) {
            m_nFailedFrame = 0;
            return false;
        }
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
    // A file that ends inside an image still decodes what it holds.
    auto noteCut = [this](int frame) {
        SetTruncation(("the file ends inside frame " + std::to_string(frame)).c_str());
    };
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
            if (r.Read(desc, 9) != 9) {
                noteCut(count + 1);
                break;
            }
            if (count < 0x7FFFFFFF)
                ++count;
            if (desc[8] & 0x80)
                r.Skip(size_t(3) * (2u << (desc[8] & 7)));
            if (!SkipImageData())
                noteCut(count);
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
            ControlBlock& control = m_state->control;
            control.method = uint8_t((b[0] >> 2) & 7);
            control.delay = codec::Le16(b + 1);
            control.trans = (b[0] & 1) ? b[3] : -1;
            m_nDispose = control.method == 0 ? 1 : control.method;
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

CRasterGifCodec::Walk CRasterGifCodec::DecodeImage(int frameNo, long deliver, const FrameHandler* onFrame,
                                                   bool* bStopped)
{
    ReadState& r = *m_read;
    DecodeState& s = *m_state;
    uint8_t desc[9];
    if (r.Read(desc, 9) != 9)
        return Walk::Ended;
    const uint32_t left = codec::Le16(desc);
    const uint32_t top = codec::Le16(desc + 2);
    const uint32_t width = codec::Le16(desc + 4);
    const uint32_t height = codec::Le16(desc + 6);
    const uint8_t packed = desc[8];
    const ControlBlock control = s.control;
    s.control = ControlBlock{};

    if (frameNo == 0) {
        if (width != s.screenWidth && height != s.screenHeight)
            ++s.trueColourSigns;
        s.bTrueColour = s.trueColourSigns >= 2;
    }

    if (packed & 0x80) {
        s.tableSize = 2u << (packed & 7);
        const size_t got = r.Read(s.table, s.tableSize * 3);
        std::memset(s.table + got, 0, sizeof(s.table) - got);
        s.bHasTable = true;
    } else if (s.bHasGlobal) {
        // A local table belongs to its own image only.
        s.tableSize = s.globalSize;
        std::memcpy(s.table, s.globalTable, sizeof(s.table));
    }

    const uint32_t bpp = s.tableSize <= 2 ? 1 : s.tableSize <= 16 ? 4 : 8;
    if (width == 0 || height == 0) {
        Fail(kTextEmpty);
        return Walk::Failed;
    }
    if (!RasterBlockBytes(width, height, bpp, nullptr)) {
        Fail(kTextTooLarge);
        return Walk::Failed;
    }

    const Disposal disposal = DisposalOf(control.method);
    Canvas::Saved saved;
    try {
        if (frameNo == 0) {
            // Like browsers, a first image that reaches past the screen
            // widens it (some files give a screen of 0 x 0); one placed
            // absurdly far out only by its own size.
            if (!s.canvas.Create(std::max(s.screenWidth, left + width), std::max(s.screenHeight, top + height)) &&
                !s.canvas.Create(std::max(s.screenWidth, width), std::max(s.screenHeight, height))) {
                Fail(kTextTooLarge);
                return Walk::Failed;
            }
        }
        if (disposal == Disposal::Previous)
            saved = s.canvas.Save(s.canvas.Clip(left, top, width, height));
    } catch (const std::bad_alloc&) {
        Fail(kTextNoMemory);
        return Walk::Failed;
    }

    // Past the table's end an index shows black, or white when the image has
    // a transparent index, as the palette of a delivered frame has it.
    for (uint32_t i = 0; i < 256; ++i) {
        if (!s.bHasTable)
            s.colours[i] = 0;
        else
            s.colours[i] = i < s.tableSize ? TableColour(s.table, i) : control.trans >= 0 ? kWhite : 0;
    }
    s.drawn = control;
    FramePainter painter(s.canvas, s.colours, left, top, width, height, (packed & 0x40) != 0, control.trans);
    DecodeLzw(painter);

    if (Cancelled()) {
        Fail("");
        return Walk::Failed;
    }
    if (!s.bTrueColour && (onFrame || frameNo == deliver)) {
        if (!Deliver(false))
            return Walk::Failed;
        if (onFrame) {
            CRaster frame(*this);
            frame.SetFrame(frameNo);
            if (!(*onFrame)(frame, frameNo))
                *bStopped = true;
        }
    }

    if (disposal == Disposal::Background)
        s.canvas.Clear(s.canvas.Clip(left, top, width, height));
    else if (disposal == Disposal::Previous)
        s.canvas.Restore(saved);
    return Walk::Delivered;
}

void CRasterGifCodec::DecodeLzw(FramePainter& painter)
{
    ReadState& r = *m_read;
    const int codeSize = r.GetByte();
    if (codeSize < 0) {
        painter.FillRest();
        return;
    }
    if (codeSize < 2 || codeSize > 9) {
        SkipSubBlocks();
        painter.FillRest();
        return;
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
    int oldCode = 0;
    int firstChar = 0;
    // The data normally open with a clear code; without one they start as
    // if right after it.
    bool bFirstAfterClear = true;
    while (!painter.Done()) {
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
            painter.Put(uint8_t(c));
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
            painter.Put(r.stack[--sp]);
    }
    painter.FillRest();

    // Whatever the decoder left of the image data is skipped up to and
    // including the block terminator.
    if (!bDataEnded) {
        if (blockLeft > 0 && r.Skip(blockLeft) != blockLeft)
            return;
        SkipSubBlocks();
    }
}

bool CRasterGifCodec::Deliver(bool bTrueColour)
{
    DecodeState& s = *m_state;
    const Canvas& canvas = s.canvas;
    const uint32_t width = canvas.Width();
    const uint32_t height = canvas.Height();
    // Where nothing is shown the picture still needs a colour, for whoever
    // ignores its transparency: the screen's background colour, which gifsicle
    // and Pillow show there, else white.
    const uint32_t emptyColour =
        s.bHasGlobal && s.background < s.globalSize ? TableColour(s.globalTable, s.background) : kWhite;
    try {
        PaletteFit fit(s.colours, s.tableSize, s.drawn.trans, emptyColour);
        if (!bTrueColour && fit.Fit(canvas, s.codes)) {
            if (!Create(width, height, fit.Bpp(), FormatGif))
                return Fail(kTextNoMemory);
            SetPalette(fit.Palette(), 256);
            const uint32_t bpp = fit.Bpp();
            const uint32_t perByte = 8 / bpp;
            const uint16_t* codes = s.codes.data();
            for (uint32_t y = 0; y < height; ++y) {
                uint8_t* bits = GetBits(height - 1 - y);
                if (bpp == 8) {
                    for (uint32_t x = 0; x < width; ++x)
                        bits[x] = fit.IndexOf(*codes++);
                    continue;
                }
                for (uint32_t x = 0; x < width; ++x) {
                    const uint32_t shift = 8 - bpp * (x % perByte + 1);
                    bits[x / perByte] |= uint8_t(fit.IndexOf(*codes++) << shift);
                }
            }
            info.nBkgndIndex = fit.TransIndex();
            info.nBkgndColor = RGBQUAD{0, 0, 0, 0};
        } else {
            if (!Create(width, height, 24, FormatGif))
                return Fail(kTextNoMemory);
            // Where nothing is shown the 24-bit picture has a colour that no
            // shown pixel has, its transparent colour.
            bool bNothing = false;
            for (uint32_t y = 0; y < height && !bNothing; ++y)
                bNothing = std::any_of(canvas.Colours(y), canvas.Colours(y) + width,
                                       [](uint32_t c) { return !(c & kShown); });
            uint32_t key = s.drawn.trans >= 0 ? s.colours[s.drawn.trans] : emptyColour;
            if (bNothing) {
                std::vector<uint32_t> shown;
                for (uint32_t y = 0; y < height; ++y)
                    for (const uint32_t* c = canvas.Colours(y); c != canvas.Colours(y) + width; ++c)
                        if (*c & kShown)
                            shown.push_back(*c & kRgb);
                std::sort(shown.begin(), shown.end());
                const auto taken = [&](uint32_t c) { return std::binary_search(shown.begin(), shown.end(), c); };
                if (taken(key))
                    key = kWhite;
                while (taken(key) && key > 0)
                    --key;
            }
            for (uint32_t y = 0; y < height; ++y) {
                const uint32_t* colours = canvas.Colours(y);
                uint8_t* p = GetBits(height - 1 - y);
                for (uint32_t x = 0; x < width; ++x, p += 3) {
                    const uint32_t rgb = (colours[x] & kShown) ? colours[x] & kRgb : key;
                    p[0] = uint8_t(rgb);
                    p[1] = uint8_t(rgb >> 8);
                    p[2] = uint8_t(rgb >> 16);
                }
            }
            info.nBkgndIndex = bNothing ? 0 : -1;
            info.nBkgndColor = bNothing ? Quad(key) : RGBQUAD{0, 0, 0, 0};
        }
    } catch (const std::bad_alloc&) {
        return Fail(kTextNoMemory);
    }
    info.dwFrameDelay = s.drawn.delay;
    return true;
}
