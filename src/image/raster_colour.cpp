// Colour depth and colour operations: reduction to 1, 4 or 8 bits with
// optional error diffusion, widening to 4, 8 or 24 bits, lightness and
// contrast, and the standard and grey palettes.
#include "raster.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <type_traits>
#include <vector>

namespace {

// Standard palettes as 0xRRGGBB; entries 226 to 245 of the 8-bit one are a
// grey ramp from F2F2F2 down in steps of 0C0C0C.
constexpr uint32_t kStdPalette4[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

constexpr uint32_t kStdPalette8[256] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0xC0DCC0, 0xA6CAF0, 0xFFF0D4, 0xFFE2B1, 0xFFD48E, 0xFFC66B, 0xFFB848, 0xFFAA25,
    0xFFAA00, 0xDC9200, 0xB97A00, 0x966200, 0x734A00, 0x503200, 0xFFE3D4, 0xFFC7B1,
    0xFFAB8E, 0xFF8F6B, 0xFF7348, 0xFF5725, 0xFF5500, 0xDC4900, 0xB93D00, 0x963100,
    0x732500, 0x501900, 0xFFD4D4, 0xFFB1B1, 0xFF8E8E, 0xFF6B6B, 0xFF4848, 0xFF2525,
    0xFE0000, 0xDC0000, 0xB90000, 0x960000, 0x730000, 0x500000, 0xFFD4E3, 0xFFB1C7,
    0xFF8EAB, 0xFF6B8F, 0xFF4873, 0xFF2557, 0xFF0055, 0xDC0049, 0xB9003D, 0x960031,
    0x730025, 0x500019, 0xFFD4F0, 0xFFB1E2, 0xFF8ED4, 0xFF6BC6, 0xFF48B8, 0xFF25AA,
    0xFF00AA, 0xDC0092, 0xB9007A, 0x960062, 0x73004A, 0x500032, 0xFFD4FF, 0xFFB1FF,
    0xFF8EFF, 0xFF6BFF, 0xFF48FF, 0xFF25FF, 0xFE00FE, 0xDC00DC, 0xB900B9, 0x960096,
    0x730073, 0x500050, 0xF0D4FF, 0xE2B1FF, 0xD48EFF, 0xC66BFF, 0xB848FF, 0xAA25FF,
    0xAA00FF, 0x9200DC, 0x7A00B9, 0x620096, 0x4A0073, 0x320050, 0xE3D4FF, 0xC7B1FF,
    0xAB8EFF, 0x8F6BFF, 0x7348FF, 0x5725FF, 0x5500FF, 0x4900DC, 0x3D00B9, 0x310096,
    0x250073, 0x190050, 0xD4D4FF, 0xB1B1FF, 0x8E8EFF, 0x6B6BFF, 0x4848FF, 0x2525FF,
    0x0000FE, 0x0000DC, 0x0000B9, 0x000096, 0x000073, 0x000050, 0xD4E3FF, 0xB1C7FF,
    0x8EABFF, 0x6B8FFF, 0x4873FF, 0x2557FF, 0x0055FF, 0x0049DC, 0x003DB9, 0x003196,
    0x002573, 0x001950, 0xD4F0FF, 0xB1E2FF, 0x8ED4FF, 0x6BC6FF, 0x48B8FF, 0x25AAFF,
    0x00AAFF, 0x0092DC, 0x007AB9, 0x006296, 0x004A73, 0x003250, 0xD4FFFF, 0xB1FFFF,
    0x8EFFFF, 0x6BFFFF, 0x48FFFF, 0x25FFFF, 0x00FEFE, 0x00DCDC, 0x00B9B9, 0x009696,
    0x007373, 0x005050, 0xD4FFF0, 0xB1FFE2, 0x8EFFD4, 0x6BFFC6, 0x48FFB8, 0x25FFAA,
    0x00FFAA, 0x00DC92, 0x00B97A, 0x009662, 0x00734A, 0x005032, 0xD4FFE3, 0xB1FFC7,
    0x8EFFAB, 0x6BFF8F, 0x48FF73, 0x25FF57, 0x00FF55, 0x00DC49, 0x00B93D, 0x009631,
    0x007325, 0x005019, 0xD4FFD4, 0xB1FFB1, 0x8EFF8E, 0x6BFF6B, 0x48FF48, 0x25FF25,
    0x00FE00, 0x00DC00, 0x00B900, 0x009600, 0x007300, 0x005000, 0xE3FFD4, 0xC7FFB1,
    0xABFF8E, 0x8FFF6B, 0x73FF48, 0x57FF25, 0x55FF00, 0x49DC00, 0x3DB900, 0x319600,
    0x257300, 0x195000, 0xF0FFD4, 0xE2FFB1, 0xD4FF8E, 0xC6FF6B, 0xB8FF48, 0xAAFF25,
    0xAAFF00, 0x92DC00, 0x7AB900, 0x629600, 0x4A7300, 0x325000, 0xFFFFD4, 0xFFFFB1,
    0xFFFF8E, 0xFFFF6B, 0xFFFF48, 0xFFFF25, 0xFEFE00, 0xDCDC00, 0xB9B900, 0x969600,
    0x737300, 0x505000, 0xF2F2F2, 0xE6E6E6, 0xDADADA, 0xCECECE, 0xC2C2C2, 0xB6B6B6,
    0xAAAAAA, 0x9E9E9E, 0x929292, 0x868686, 0x7A7A7A, 0x6E6E6E, 0x626262, 0x565656,
    0x4A4A4A, 0x3E3E3E, 0x323232, 0x262626, 0x1A1A1A, 0x0E0E0E, 0xFFFBF0, 0xA0A0A4,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

void FillPalette(RGBQUAD* out, const uint32_t* rgb, int count)
{
    for (int i = 0; i < count; ++i)
        out[i] = MakeRgbQuad(uint8_t(rgb[i] >> 16), uint8_t(rgb[i] >> 8), uint8_t(rgb[i]));
}

uint8_t ClampByte(long v)
{
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Finds the nearest palette entry exactly as GetNearestIndex does (least
// squared distance, the lowest index among equals), but fast.
//
// The colour cube is cut into cells, and each cell keeps the few entries that
// can be nearest to a colour inside it: its candidates, in palette order. An
// entry is left out when another entry's nearest point of the cell is farther
// from it than some entry's farthest point is, or when another entry wins
// against it everywhere in the cell. The second test is exact because the
// difference of two squared distances is linear in the colour: over a cell it
// is least at the corner that lies most towards the second entry. Coarse
// cells (32 values of each channel) take their candidates from the whole
// palette, fine cells (16 values) from their coarse cell's candidates, which
// hold every entry that can be nearest inside it; most fine cells keep one to
// four entries. Cells are worked out the first time one of their colours is
// asked for. Candidates are compared by distance x 256 + index, so the
// smallest key is the nearest entry and, among equals, the lowest index.
//
// The answers for the colours asked last are kept in a table by colour, one
// word each (colour x 256 + index): flat areas and slow gradients ask for the
// same colours again and again. The table starts out full of white's answer,
// which is right wherever white is asked for.
class NearestFinder {
public:
    explicit NearestFinder(const CRaster& target)
        : m_coarseStart(kCoarseCells, kNotBuilt),
          m_coarseCount(kCoarseCells, 0),
          m_fineCells(kFineCells, Span{kNotBuilt, 0, 0})
    {
        const RGBQUAD* pal = target.GetPalette();
        for (uint32_t i = 0; pal && i < target.GetNumColors(); ++i)
            m_palette.push_back(Entry{pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue, uint8_t(i)});
        m_cache.assign(size_t(1) << kCacheBits, kWhite << 8 | Search(kWhite));
    }

    // The nearest entry to colour 0xRRGGBB.
    [[gnu::always_inline]] uint8_t Find(uint32_t rgb)
    {
        const uint32_t slot = (rgb * 0x9E3779B1u) >> (32 - kCacheBits);
        const uint32_t known = m_cache[slot];
        if ((known >> 8) == rgb) [[likely]]
            return uint8_t(known);
        return Remember(rgb, slot);
    }

    uint8_t Find(uint8_t r, uint8_t g, uint8_t b) { return Find(uint32_t(r) << 16 | uint32_t(g) << 8 | b); }

    // The nearest entry to colour 0xRRGGBB, without the table of answers.
    uint8_t Search(uint32_t rgb)
    {
        if (m_palette.empty())
            return 0;
        const int32_t r = int32_t(rgb >> 16);
        const int32_t g = int32_t(rgb >> 8 & 0xFF);
        const int32_t b = int32_t(rgb & 0xFF);
        const uint32_t cell = Cell(r, g, b, kFineBits);
        if (m_fineCells[cell].start == kNotBuilt)
            BuildFine(cell, r, g, b);
        const Span& span = m_fineCells[cell];
        if (span.count == 1)
            return m_fine[span.start].index;
        const Group* group = m_groups.data() + span.groupStart;
        const Group* end = group + (span.count + 3) / 4;
#ifdef __SSE2__
        // Four candidates at a time: (dr, dg) and (db, 0) pairs multiplied
        // and added in 32-bit lanes give the squared distances.
        const __m128i rg = _mm_set1_epi32(int32_t(uint32_t(r) | uint32_t(g) << 16));
        const __m128i b0 = _mm_set1_epi32(b);
        __m128i best = _mm_set1_epi32(INT32_MAX);
        for (; group != end; ++group) {
            const __m128i drg = _mm_sub_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(group->rg)), rg);
            const __m128i db0 = _mm_sub_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(group->b0)), b0);
            const __m128i d = _mm_add_epi32(_mm_madd_epi16(drg, drg), _mm_madd_epi16(db0, db0));
            const __m128i key =
                _mm_or_si128(_mm_slli_epi32(d, 8), _mm_load_si128(reinterpret_cast<const __m128i*>(group->index)));
            const __m128i less = _mm_cmplt_epi32(key, best);
            best = _mm_or_si128(_mm_and_si128(less, key), _mm_andnot_si128(less, best));
        }
        auto lower = [](__m128i a, __m128i c) {
            const __m128i less = _mm_cmplt_epi32(a, c);
            return _mm_or_si128(_mm_and_si128(less, a), _mm_andnot_si128(less, c));
        };
        best = lower(best, _mm_shuffle_epi32(best, 0x4E));
        best = lower(best, _mm_shuffle_epi32(best, 0xB1));
        const int32_t key = _mm_cvtsi128_si32(best);
#else
        int32_t key = INT32_MAX;
        for (; group != end; ++group)
            for (int k = 0; k < 4; ++k) {
                const int32_t dr = group->rg[2 * k] - r;
                const int32_t dg = group->rg[2 * k + 1] - g;
                const int32_t db = group->b0[2 * k] - b;
                key = std::min(key, (dr * dr + dg * dg + db * db) << 8 | group->index[k]);
            }
#endif
        return uint8_t(key & 0xFF);
    }

private:
    struct Entry {
        uint8_t r, g, b, index;
    };
    // Four candidates of a fine cell: red and green, blue and 0, in pairs of
    // 16-bit values, and the indices. A cell's last group repeats its last
    // candidate where it has fewer than four left.
    struct alignas(16) Group {
        int16_t rg[8];
        int16_t b0[8];
        int32_t index[4];
    };
    // Where a fine cell's candidates are in m_fine, and in groups of four in
    // m_groups (cells of one candidate have no groups).
    struct Span {
        uint32_t start;
        uint32_t count;
        uint32_t groupStart;
    };

    static constexpr uint32_t kWhite = 0xFFFFFF;
    static constexpr int kCacheBits = 13;
    static constexpr int kCoarseBits = 5;  // a coarse cell spans 32 values of a channel
    static constexpr int kFineBits = 4;    // a fine cell spans 16
    static constexpr uint32_t kCoarseCells = 1u << (3 * (8 - kCoarseBits));
    static constexpr uint32_t kFineCells = 1u << (3 * (8 - kFineBits));
    static constexpr uint32_t kNotBuilt = UINT32_MAX;

    static uint32_t Cell(int32_t r, int32_t g, int32_t b, int bits)
    {
        const int shift = 8 - bits;
        return (uint32_t(r >> bits) << (2 * shift)) | (uint32_t(g >> bits) << shift) | uint32_t(b >> bits);
    }

    [[gnu::noinline]] uint8_t Remember(uint32_t rgb, uint32_t slot)
    {
        const uint8_t index = Search(rgb);
        m_cache[slot] = rgb << 8 | index;
        return index;
    }

    // True when `f` wins against `e` at every colour of the cell whose
    // channels run from lo to hi: the least of d(e)^2 - d(f)^2 over the cell
    // is above 0, or 0 with f the lower index.
    static bool Beats(const Entry& f, const Entry& e, const int32_t lo[3], const int32_t hi[3])
    {
        const int32_t ec[3] = {e.r, e.g, e.b};
        const int32_t fc[3] = {f.r, f.g, f.b};
        int32_t least = 0;
        for (int c = 0; c < 3; ++c)
            least += (ec[c] - fc[c]) * (ec[c] + fc[c] - 2 * (ec[c] > fc[c] ? hi[c] : lo[c]));
        return least > 0 || (least == 0 && f.index < e.index);
    }

    // Appends to `out` the entries of from[0..n) that can be nearest to a
    // colour of the cell whose channels start at lo and span `side` values.
    void Candidates(const Entry* from, size_t n, const int32_t lo[3], int32_t side, std::vector<Entry>& out)
    {
        const int32_t hi[3] = {lo[0] + side - 1, lo[1] + side - 1, lo[2] + side - 1};
        auto nearSquare = [](int32_t v, int32_t l, int32_t h) {
            const int32_t d = v < l ? l - v : v > h ? v - h : 0;
            return d * d;
        };
        auto farSquare = [](int32_t v, int32_t l, int32_t h) {
            const int32_t d = std::max(v - l, h - v);
            return d * d;
        };
        int32_t bound = INT32_MAX;
        for (size_t i = 0; i < n; ++i)
            bound = std::min(bound, farSquare(from[i].r, lo[0], hi[0]) + farSquare(from[i].g, lo[1], hi[1]) +
                                        farSquare(from[i].b, lo[2], hi[2]));
        m_scratch.clear();
        for (size_t i = 0; i < n; ++i)
            if (nearSquare(from[i].r, lo[0], hi[0]) + nearSquare(from[i].g, lo[1], hi[1]) +
                    nearSquare(from[i].b, lo[2], hi[2]) <=
                bound)
                m_scratch.push_back(from[i]);
        for (const Entry& e : m_scratch) {
            bool beaten = false;
            for (const Entry& f : m_scratch)
                if (&f != &e && Beats(f, e, lo, hi)) {
                    beaten = true;
                    break;
                }
            if (!beaten)
                out.push_back(e);
        }
    }

    [[gnu::noinline]] void BuildFine(uint32_t cell, int32_t r, int32_t g, int32_t b)
    {
        const uint32_t coarse = Cell(r, g, b, kCoarseBits);
        if (m_coarseStart[coarse] == kNotBuilt) {
            const int32_t mask = ~((1 << kCoarseBits) - 1);
            const int32_t lo[3] = {r & mask, g & mask, b & mask};
            m_coarseStart[coarse] = uint32_t(m_coarse.size());
            Candidates(m_palette.data(), m_palette.size(), lo, 1 << kCoarseBits, m_coarse);
            m_coarseCount[coarse] = uint16_t(m_coarse.size() - m_coarseStart[coarse]);
        }
        const int32_t mask = ~((1 << kFineBits) - 1);
        const int32_t lo[3] = {r & mask, g & mask, b & mask};
        const size_t start = m_fine.size();
        Candidates(m_coarse.data() + m_coarseStart[coarse], m_coarseCount[coarse], lo, 1 << kFineBits, m_fine);
        const size_t count = m_fine.size() - start;
        const size_t groupStart = m_groups.size();
        for (size_t i = 0; count > 1 && i < count; i += 4) {
            Group group;
            for (size_t k = 0; k < 4; ++k) {
                const Entry& e = m_fine[start + std::min(i + k, count - 1)];
                group.rg[2 * k] = e.r;
                group.rg[2 * k + 1] = e.g;
                group.b0[2 * k] = e.b;
                group.b0[2 * k + 1] = 0;
                group.index[k] = e.index;
            }
            m_groups.push_back(group);
        }
        m_fineCells[cell] = Span{uint32_t(start), uint32_t(count), uint32_t(groupStart)};
    }

    std::vector<uint32_t> m_cache;
    std::vector<Entry> m_palette;
    std::vector<uint32_t> m_coarseStart;
    std::vector<uint16_t> m_coarseCount;
    std::vector<Entry> m_coarse;
    std::vector<Span> m_fineCells;
    std::vector<Entry> m_fine;
    std::vector<Group> m_groups;
    std::vector<Entry> m_scratch;
};

// Error diffusion pushes what the chosen entry misses onto the next pixel of
// the row (7/16) and onto three pixels of the row above (2/16, 4/16, 1/16 to
// the left, straight up and to the right; y + 1 is above, as rows count from
// the bottom), each share truncated toward zero and each sum clamped to
// 0..255 at once. A pixel therefore receives, in this order: 1/16 of the
// error below left, 4/16 of the error below, 2/16 of the error below right,
// then 7/16 of the error to its left.
//
// The first three come from the row below alone, so once that row's errors
// are known they are added for many pixels at a time: the row's "pre-diffused"
// values. Only the share from the left is left to the walk along the row, a
// short chain of dependent steps per pixel. Rows are reduced a band at a time,
// side by side in blocks of pixels: each row of the band runs two blocks
// behind the row below it, so the errors its next block needs are done, and
// the walks of the band's rows, independent of one another, go on together in
// the processor. Every pixel still receives the same sums in the same order
// as a plain walk row after row gives it.
//
// Colours are 16-bit lanes blue, green, red; errors are kept as rows of such
// lanes with three zero lanes (one pixel) on each side, for the shares that
// fall outside the picture.
constexpr int kBand = 4;         // rows reduced side by side
constexpr size_t kBlock = 32;    // pixels a row walks at a time
constexpr size_t kErrorPad = 3;  // zero lanes on each side of an error row
// Lanes of a block's pre-diffused values: three per pixel, one more read
// with the last pixel, and a full vector written past the end.
constexpr size_t kPreLanes = 3 * kBlock + 16;

// One row of a band.
struct DiffusionRow {
    const uint8_t* source = nullptr;  // blue, green, red
    uint8_t* out = nullptr;           // the row's indices
    const int16_t* below = nullptr;   // errors of the row below (lane 0 is pixel 0's blue)
    int16_t* errors = nullptr;        // this row's errors
    int16_t* pre = nullptr;           // pre-diffused values of the current block
    size_t x = 0;                     // first pixel of the current block
    alignas(16) int16_t left[4] = {}; // 7/16 of the error of the pixel before the block
};

// share/16 of error e, truncated toward zero.
inline int32_t ShareOf(int32_t e, int32_t share)
{
    return share * e / 16;
}

inline int32_t ClampChannel(int32_t v)
{
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

#ifdef __SSE2__
// x / 16 in every lane, truncated toward zero.
inline __m128i Sixteenth(__m128i x)
{
    return _mm_srai_epi16(_mm_add_epi16(x, _mm_and_si128(_mm_srai_epi16(x, 15), _mm_set1_epi16(15))), 4);
}

inline __m128i ClampLanes(__m128i v)
{
    return _mm_min_epi16(_mm_max_epi16(v, _mm_setzero_si128()), _mm_set1_epi16(255));
}
#endif

// The pre-diffused values of the row's pixels [row.x, row.x + n) into row.pre,
// from the source and the errors below; the row has w pixels.
void PreDiffuse(DiffusionRow& row, size_t n, size_t w)
{
    const uint8_t* s = row.source + 3 * row.x;
    const int16_t* e = row.below + 3 * row.x;
    int16_t* pre = row.pre;
    const size_t lanes = 3 * n;
    size_t i = 0;
#ifdef __SSE2__
    // Eight lanes at a time, while eight source bytes are left in the row.
    const size_t rowLanes = 3 * (w - row.x);
    const __m128i zero = _mm_setzero_si128();
    for (; i < lanes && i + 8 <= rowLanes; i += 8) {
        __m128i v = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i)), zero);
        const __m128i belowLeft = _mm_loadu_si128(reinterpret_cast<const __m128i*>(e + i - 3));
        const __m128i straightBelow = _mm_loadu_si128(reinterpret_cast<const __m128i*>(e + i));
        const __m128i belowRight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(e + i + 3));
        v = ClampLanes(_mm_add_epi16(v, Sixteenth(belowLeft)));
        v = ClampLanes(_mm_add_epi16(v, Sixteenth(_mm_slli_epi16(straightBelow, 2))));
        v = ClampLanes(_mm_add_epi16(v, Sixteenth(_mm_slli_epi16(belowRight, 1))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pre + i), v);
    }
#else
    (void)w;
#endif
    for (; i < lanes; ++i) {
        int32_t v = ClampChannel(s[i] + ShareOf(e[i - 3], 1));
        v = ClampChannel(v + ShareOf(e[i], 4));
        pre[i] = int16_t(ClampChannel(v + ShareOf(e[i + 3], 2)));
    }
}

// Walks n pixels of each of the N rows' current blocks, the rows in step.
// shown[i] is palette entry i as lanes.
template <int N>
void Walk(DiffusionRow* const* rows, size_t n, NearestFinder& nearest, const int16_t (*shown)[4])
{
    const int16_t* pre[N];
    int16_t* errors[N];
    uint8_t* out[N];
    for (int j = 0; j < N; ++j) {
        pre[j] = rows[j]->pre;
        errors[j] = rows[j]->errors + 3 * rows[j]->x;
        out[j] = rows[j]->out + rows[j]->x;
    }
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    const __m128i threeLanes = _mm_set_epi16(0, 0, 0, 0, 0, -1, -1, -1);
    __m128i left[N];
    for (int j = 0; j < N; ++j)
        left[j] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows[j]->left));
    for (size_t i = 0; i < n; ++i) {
        for (int j = 0; j < N; ++j) {
            // The fourth lane carries the next pixel's blue along unused.
            const __m128i sum = _mm_add_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pre[j] + 3 * i)), left[j]);
            const __m128i bytes = _mm_packus_epi16(sum, sum);
            const uint8_t index = nearest.Find(uint32_t(_mm_cvtsi128_si32(bytes)) & 0xFFFFFF);
            out[j][i] = index;
            const __m128i error = _mm_sub_epi16(_mm_unpacklo_epi8(bytes, zero),
                                                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(shown[index])));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(errors[j] + 3 * i), _mm_and_si128(error, threeLanes));
            left[j] = Sixteenth(_mm_sub_epi16(_mm_slli_epi16(error, 3), error));
        }
    }
    for (int j = 0; j < N; ++j)
        _mm_storel_epi64(reinterpret_cast<__m128i*>(rows[j]->left), _mm_and_si128(left[j], threeLanes));
#else
    for (size_t i = 0; i < n; ++i) {
        for (int j = 0; j < N; ++j) {
            int16_t* left = rows[j]->left;
            int32_t v[3];
            for (int c = 0; c < 3; ++c)
                v[c] = ClampChannel(pre[j][3 * i + c] + left[c]);
            const uint8_t index = nearest.Find(uint32_t(v[2]) << 16 | uint32_t(v[1]) << 8 | uint32_t(v[0]));
            out[j][i] = index;
            for (int c = 0; c < 3; ++c) {
                const int32_t error = v[c] - shown[index][c];
                errors[j][3 * i + c] = int16_t(error);
                left[c] = int16_t(ShareOf(error, 7));
            }
        }
    }
#endif
}

// Reduces a true-colour picture into `result`, whose palette is set.
void ReduceTrueColour(CRaster& source, CRaster& result, NearestFinder& nearest, bool errorDiffusion)
{
    const bool bByteIndices = result.GetBpp() == 8;
    const size_t w = source.GetWidth();
    const long height = long(source.GetHeight());
    std::vector<uint8_t> indexData(w * kBand);
    auto indexRow = [&](long y, int j) {
        return bByteIndices ? result.GetBits(uint32_t(y)) : indexData.data() + w * size_t(j);
    };
    auto storeIndices = [&](long y, int j) {
        if (!bByteIndices)
            for (size_t x = 0; x < w; ++x)
                result.SetPixelIndex(long(x), y, indexData[w * size_t(j) + x]);
    };

    if (!errorDiffusion) {
        for (long y = 0; y < height && !source.GetEscape(); ++y) {
            source.SetProgress(y * 100 / height);
            const uint8_t* p = source.GetBits(uint32_t(y));
            uint8_t* out = indexRow(y, 0);
            for (size_t x = 0; x < w; ++x, p += 3)
                out[x] = nearest.Find(uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
            storeIndices(y, 0);
        }
        return;
    }

    alignas(16) int16_t shown[256][4] = {};
    const RGBQUAD* palette = result.GetPalette();
    for (uint32_t i = 0; i < result.GetNumColors() && i < 256; ++i) {
        shown[i][0] = palette[i].rgbBlue;
        shown[i][1] = palette[i].rgbGreen;
        shown[i][2] = palette[i].rgbRed;
    }

    // Error rows: the row below the band, then the band's rows.
    const size_t errorLanes = 3 * w + 2 * kErrorPad + 8;
    std::vector<int16_t> errorData(errorLanes * (kBand + 1), 0);
    int16_t* errorRows[kBand + 1];
    for (int j = 0; j <= kBand; ++j)
        errorRows[j] = errorData.data() + errorLanes * size_t(j) + kErrorPad;
    std::vector<int16_t> preData(kPreLanes * kBand + 8, 0);
    const size_t blocks = (w + kBlock - 1) / kBlock;

    for (long y = 0; y < height; y += kBand) {
        if (source.GetEscape())
            break;
        source.SetProgress(y * 100 / height);
        const int n = int(std::min<long>(kBand, height - y));
        DiffusionRow rows[kBand];
        for (int j = 0; j < n; ++j) {
            rows[j].source = source.GetBits(uint32_t(y + j));
            rows[j].out = indexRow(y + j, j);
            rows[j].below = errorRows[j];
            rows[j].errors = errorRows[j + 1];
            rows[j].pre = preData.data() + kPreLanes * size_t(j);
        }
        // Row j walks block s - 2j at step s.
        for (size_t s = 0; s < blocks + 2 * size_t(n - 1); ++s) {
            DiffusionRow* full[kBand];
            int fullCount = 0;
            for (int j = 0; j < n; ++j) {
                const size_t block = s - 2 * size_t(j);
                if (block >= blocks)
                    continue;
                DiffusionRow& row = rows[j];
                row.x = block * kBlock;
                const size_t count = std::min(kBlock, w - row.x);
                PreDiffuse(row, count, w);
                if (count == kBlock) {
                    full[fullCount++] = &row;
                } else {
                    DiffusionRow* last = &row;
                    Walk<1>(&last, count, nearest, shown);
                }
            }
            static_assert(kBand == 4, "one case per number of rows walked together");
            switch (fullCount) {
            case 1: Walk<1>(full, kBlock, nearest, shown); break;
            case 2: Walk<2>(full, kBlock, nearest, shown); break;
            case 3: Walk<3>(full, kBlock, nearest, shown); break;
            case 4: Walk<4>(full, kBlock, nearest, shown); break;
            default: break;
            }
        }
        for (int j = 0; j < n; ++j)
            storeIndices(y + j, j);
        std::swap(errorRows[0], errorRows[n]);
    }
}

} // namespace

bool CRaster::DecreaseBpp(uint32_t bpp, bool errorDiffusion, const RGBQUAD* palette)
{
    if (!pDib || head.biBitCount < bpp || (bpp != 1 && bpp != 4 && bpp != 8))
        return false;
    if (head.biBitCount == bpp)
        return true;

    const long width = head.biWidth;
    const long height = head.biHeight;
    CRaster result(info.dwType);
    if (!result.CreateAtDepthOf(*this, bpp))
        return false;

    if (palette) {
        result.SetPalette(palette, bpp == 8 ? 256 : 16);
    } else {
        RGBQUAD std[256];
        if (bpp == 1) {
            std[0] = MakeRgbQuad(0, 0, 0);
            std[1] = MakeRgbQuad(255, 255, 255);
        } else if (bpp == 4) {
            FillPalette(std, kStdPalette4, 16);
        } else {
            FillPalette(std, kStdPalette8, 256);
        }
        result.SetPalette(std, result.GetNumColors());
    }

    // Error diffusion pushes what the chosen entry misses onto the next pixel
    // of the row and onto three pixels of the row above (y + 1, as rows count
    // from the bottom), so the error flows upward through the picture.
    NearestFinder nearest(result);
    const RGBQUAD* resultPalette = result.GetPalette();
    if (head.biBitCount == 24) {
        ReduceTrueColour(*this, result, nearest, errorDiffusion);
        Transfer(result);
        return true;
    }

    // Indexed sources: the error goes back into the source through
    // SetPixelColor, which takes the nearest entry of the source's palette.
    struct Share {
        long dx, dy, weight;
    };
    static constexpr Share kShares[] = {{1, 0, 7}, {-1, 1, 2}, {0, 1, 4}, {1, 1, 1}};
    for (long y = 0; y < height; ++y) {
        if (GetEscape())
            break;
        info.nProgress = int32_t(y * 100 / height);
        for (long x = 0; x < width; ++x) {
            const RGBQUAD c = GetPixelColor(x, y);
            const uint8_t index = nearest.Find(c.rgbRed, c.rgbGreen, c.rgbBlue);
            result.SetPixelIndex(x, y, index);
            if (!errorDiffusion)
                continue;
            const RGBQUAD shown = resultPalette[index];
            const long er = long(c.rgbRed) - shown.rgbRed;
            const long eg = long(c.rgbGreen) - shown.rgbGreen;
            const long eb = long(c.rgbBlue) - shown.rgbBlue;
            if (er == 0 && eg == 0 && eb == 0)
                continue;
            for (const Share& s : kShares) {
                const long nx = x + s.dx;
                const long ny = y + s.dy;
                if (!IsInside(nx, ny))
                    continue;
                RGBQUAD n = GetPixelColor(nx, ny);
                n.rgbRed = ClampByte(n.rgbRed + s.weight * er / 16);
                n.rgbGreen = ClampByte(n.rgbGreen + s.weight * eg / 16);
                n.rgbBlue = ClampByte(n.rgbBlue + s.weight * eb / 16);
                SetPixelColor(nx, ny, n);
            }
        }
    }

    Transfer(result);
    return true;
}

bool CRaster::IncreaseBpp(uint32_t bpp)
{
    if (!pDib || head.biBitCount > bpp || (bpp != 4 && bpp != 8 && bpp != 24))
        return false;
    if (head.biBitCount == bpp)
        return true;

    const long width = head.biWidth;
    const long height = head.biHeight;
    CRaster result(info.dwType);
    if (!result.CreateAtDepthOf(*this, bpp))
        return false;
    if (bpp != 24)
        result.SetPalette(GetPalette(), head.biClrUsed);

    for (long y = 0; y < height; ++y) {
        if (GetEscape())
            break;
        for (long x = 0; x < width; ++x)
            result.SetPixelColor(x, y, GetPixelColor(x, y));
    }

    Transfer(result);
    return true;
}

bool CRaster::Light(long brightness, long contrast)
{
    if (!pDib)
        return false;
    const float c = float(double(contrast) * 0.01);
    const float bright = float(brightness);

    // Every channel maps through the same function, so it is worked out once.
    uint8_t map[256];
    for (int v = 0; v < 256; ++v)
        map[v] = ClampByte(long(bright + float(v - 128) * c + 128.0f));

    // An indexed picture changes its palette: every pixel keeps its index and
    // so shows exactly the colour the rule gives its old colour. Moving pixels
    // to the nearest entry of the unchanged palette instead would leave most
    // of them where they were. With a selection the unselected pixels must
    // keep their colours while sharing entries with selected ones, so there
    // each selected pixel takes the nearest entry instead.
    if (head.biClrUsed && !pSelection) {
        RGBQUAD* palette = GetPalette();
        for (uint32_t i = 0; i < head.biClrUsed; ++i) {
            palette[i].rgbRed = map[palette[i].rgbRed];
            palette[i].rgbGreen = map[palette[i].rgbGreen];
            palette[i].rgbBlue = map[palette[i].rgbBlue];
        }
        return true;
    }

    const long width = head.biWidth;
    const long height = head.biHeight;
    for (long y = 0; y < height; ++y) {
        for (long x = 0; x < width; ++x) {
            if (pSelection && !SelectionIsInside(x, y))
                continue;
            RGBQUAD p = GetPixelColor(x, y);
            p.rgbRed = map[p.rgbRed];
            p.rgbGreen = map[p.rgbGreen];
            p.rgbBlue = map[p.rgbBlue];
            SetPixelColor(x, y, p);
        }
    }
    return true;
}

bool CRaster::AlphaCompose(RGBQUAD background)
{
    if (!pDib)
        return false;
    if (!pAlpha)
        return true;
    const long width = head.biWidth;
    const long height = head.biHeight;
    CRaster result;
    result.CopyInfo(*this);
    if (!result.CreateAtDepthOf(*this, 24))
        return false;
    result.AlphaDelete();
    result.SetTransIndex(-1);

    // Rounded as libpng rounds when it composes the other transparent kinds
    // of PNG, so a picture looks the same whichever way it was stored.
    auto compose = [](uint8_t over, uint32_t alpha, uint8_t under) {
        const uint32_t sum = uint32_t(over) * alpha + uint32_t(under) * (255 - alpha) + 128;
        return uint8_t((sum + (sum >> 8)) >> 8);
    };
    const uint32_t alphaMax = uint32_t(info.nAlphaMax) + 1;
    for (long y = 0; y < height; ++y) {
        const uint8_t* alphaRow = pAlpha + size_t(y) * size_t(width);
        for (long x = 0; x < width; ++x) {
            const uint32_t alpha = uint32_t(alphaRow[x]) * alphaMax >> 8;
            const RGBQUAD c = GetPixelColor(x, y);
            result.SetPixelColor(x, y,
                                 MakeRgbQuad(compose(c.rgbRed, alpha, background.rgbRed),
                                             compose(c.rgbGreen, alpha, background.rgbGreen),
                                             compose(c.rgbBlue, alpha, background.rgbBlue)));
        }
    }
    Transfer(result);
    return true;
}

void CRaster::SetStdPalette()
{
    if (!pDib)
        return;
    RGBQUAD std[256];
    if (head.biBitCount == 4) {
        FillPalette(std, kStdPalette4, 16);
        SetPalette(std, 16);
    } else if (head.biBitCount == 8) {
        FillPalette(std, kStdPalette8, 256);
        SetPalette(std, 256);
    }
}

void CRaster::SetGrayPalette()
{
    const uint32_t colours = head.biClrUsed;
    if (!pDib || colours < 2)
        return;
    const uint32_t step = 255 / (colours - 1);
    for (uint32_t i = 0; i < colours; ++i) {
        const uint8_t g = uint8_t(i * step);
        SetPaletteIndex(uint8_t(i), g, g, g, 0);
    }
}

bool CRaster::CreateAtDepthOf(const CRaster& src, uint32_t bpp)
{
    if (!Create(src.GetWidth(), src.GetHeight(), long(bpp), long(src.info.dwType)))
        return false;
    const size_t bytes = size_t(GetWidth()) * GetHeight();
    if (src.pSelection) {
        if (!SelectionCreate())
            return false;
        std::memcpy(pSelection, src.pSelection, bytes);
        info.rSelectionBox = src.info.rSelectionBox;
    }
    if (src.pAlpha) {
        if (!AlphaCreate())
            return false;
        std::memcpy(pAlpha, src.pAlpha, bytes);
    }
    return true;
}
