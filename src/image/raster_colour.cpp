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
// The colour cube is cut into cells. Only the entries whose nearest point of a
// cell is no farther than the smallest "farthest point" distance of any entry
// can be nearest to a colour inside the cell: the cell's candidates, kept in
// palette order. Coarse cells (32 values of each channel) take their
// candidates from the whole palette, fine cells (8 values) from their coarse
// cell's candidates, which hold every entry that can be nearest inside it; a
// colour is then compared with two or three entries of a 256-colour palette.
// Cells are worked out the first time one of their colours is asked for. Each
// candidate is compared by distance x 256 + index, so the smallest key is the
// nearest entry and, among equals, the lowest index. The answers for the
// colours asked last are kept in a small table by colour: flat areas and
// slow gradients ask for the same colours again and again.
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
    }

    [[gnu::always_inline]] uint8_t Find(uint8_t r, uint8_t g, uint8_t b)
    {
        if (m_palette.empty())
            return 0;
        const uint32_t rgb = uint32_t(r) << 16 | uint32_t(g) << 8 | b;
        const uint32_t slot = (rgb * 0x9E3779B1u) >> (32 - kCacheBits);
        if (m_cacheKey[slot] == rgb)
            return m_cacheIndex[slot];
        const uint8_t found = Search(r, g, b);
        m_cacheKey[slot] = rgb;
        m_cacheIndex[slot] = found;
        return found;
    }

    uint8_t Search(uint8_t r, uint8_t g, uint8_t b)
    {
        const uint32_t cell = Cell(r, g, b, kFineBits);
        if (m_fineCells[cell].start == kNotBuilt)
            BuildFine(cell, r, g, b);
        const Span& span = m_fineCells[cell];
        if (span.count <= kScalarCount) {
            const Entry* e = m_fine.data() + span.start;
            const Entry* end = e + span.count;
            uint32_t best = UINT32_MAX;
            for (; e != end; ++e) {
                const int32_t dr = int32_t(e->r) - r;
                const int32_t dg = int32_t(e->g) - g;
                const int32_t db = int32_t(e->b) - b;
                best = std::min(best, uint32_t(dr * dr + dg * dg + db * db) << 8 | e->index);
            }
            return uint8_t(best & 0xFF);
        }
        const Group* group = m_groups.data() + span.groupStart;
        const Group* end = group + (span.count + 3) / 4;
#ifdef __SSE2__
        // Four candidates at a time: (dr, dg) and (db, 0) pairs multiplied
        // and added in 32-bit lanes give the squared distances.
        const __m128i rg = _mm_set1_epi32(int32_t(uint32_t(r) | uint32_t(g) << 16));
        const __m128i b0 = _mm_set1_epi32(int32_t(b));
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
    // m_groups.
    struct Span {
        uint32_t start;
        uint32_t count;
        uint32_t groupStart;
    };
    // Up to this many candidates are compared one by one.
    static constexpr uint32_t kScalarCount = 4;

    static constexpr int kCoarseBits = 5;  // a coarse cell spans 32 values of a channel
    static constexpr int kFineBits = 3;    // a fine cell spans 8
    static constexpr uint32_t kCoarseCells = 1u << (3 * (8 - kCoarseBits));
    static constexpr uint32_t kFineCells = 1u << (3 * (8 - kFineBits));
    static constexpr uint32_t kNotBuilt = UINT32_MAX;

    static uint32_t Cell(uint8_t r, uint8_t g, uint8_t b, int bits)
    {
        const int shift = 8 - bits;
        return (uint32_t(r >> bits) << (2 * shift)) | (uint32_t(g >> bits) << shift) | uint32_t(b >> bits);
    }

    // Appends to `out` the entries of from[0..n) that can be nearest to a
    // colour of the cell whose channels start at lo and span `side` values.
    static void Candidates(const Entry* from, size_t n, const int32_t lo[3], int32_t side, std::vector<Entry>& out)
    {
        auto nearSquare = [side](int32_t v, int32_t l) {
            const int32_t d = v < l ? l - v : v > l + side - 1 ? v - (l + side - 1) : 0;
            return d * d;
        };
        auto farSquare = [side](int32_t v, int32_t l) {
            const int32_t d = std::max(v - l, l + side - 1 - v);
            return d * d;
        };
        int32_t bound = INT32_MAX;
        for (size_t i = 0; i < n; ++i)
            bound = std::min(bound, farSquare(from[i].r, lo[0]) + farSquare(from[i].g, lo[1]) +
                                        farSquare(from[i].b, lo[2]));
        for (size_t i = 0; i < n; ++i)
            if (nearSquare(from[i].r, lo[0]) + nearSquare(from[i].g, lo[1]) + nearSquare(from[i].b, lo[2]) <= bound)
                out.push_back(from[i]);
    }

    [[gnu::noinline]] void BuildFine(uint32_t cell, uint8_t r, uint8_t g, uint8_t b)
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
        for (size_t i = 0; count > kScalarCount && i < count; i += 4) {
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

    static constexpr int kCacheBits = 12;
    std::vector<uint32_t> m_cacheKey = std::vector<uint32_t>(1u << kCacheBits, UINT32_MAX);
    std::vector<uint8_t> m_cacheIndex = std::vector<uint8_t>(1u << kCacheBits, 0);
    std::vector<Entry> m_palette;
    std::vector<uint32_t> m_coarseStart;
    std::vector<uint16_t> m_coarseCount;
    std::vector<Entry> m_coarse;
    std::vector<Span> m_fineCells;
    std::vector<Entry> m_fine;
    std::vector<Group> m_groups;
};

// Error diffusion arithmetic as tables: share x error / 16 truncated toward
// zero for the four shares, and the clamp of a channel plus a share.
class DiffusionTables {
public:
    DiffusionTables()
    {
        for (int32_t e = -255; e <= 255; ++e) {
            m_share[0][e + 255] = int16_t(7 * e / 16);
            m_share[1][e + 255] = int16_t(2 * e / 16);
            m_share[2][e + 255] = int16_t(4 * e / 16);
            m_share[3][e + 255] = int16_t(1 * e / 16);
        }
        for (int32_t v = -kClampLow; v < 256 + kClampLow; ++v)
            m_clamp[v + kClampLow] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
    }

    // The shares of error e for the next pixel (7), the pixels above to the
    // left (2), straight above (4) and to the right (1).
    const int16_t* Shares(int k) const { return m_share[k] + 255; }
    uint8_t Clamp(int32_t v) const { return m_clamp[v + kClampLow]; }

private:
    static constexpr int32_t kClampLow = 256;
    int16_t m_share[4][511];
    uint8_t m_clamp[256 + 2 * kClampLow];
};

// Reduces a true-colour picture into `result`, whose palette is set.
//
// Error diffusion pushes what the chosen entry misses onto the next pixel of
// the row (7/16) and onto three pixels of the row above (2/16, 4/16, 1/16 to
// the left, straight up and to the right; y + 1 is above, as rows count from
// the bottom), each share truncated toward zero and each sum clamped to 0..255
// at once. A pixel's colour is therefore final once the pixel before it and
// the pixels below it up to one to its right are done, and the sums on a pixel
// come in the order: from below left, below, below right, then from the left.
//
// Each pixel waits for the one before it, so a single row is one long chain of
// dependent steps. Rows are therefore reduced a band at a time, each row of
// the band two pixels behind the row below it: at every step the rows' pixels
// are independent of one another and the processor works on all of them at
// once, while every pixel still receives the same sums in the same order as
// row after row would give it. The rows are worked on as copies (red, green,
// blue) with one spare pixel on each side for the shares that fall outside;
// the source itself is not changed.
void ReduceTrueColour(CRaster& source, CRaster& result, NearestFinder& nearest, bool errorDiffusion)
{
    static const DiffusionTables tables;
    const int16_t* right = tables.Shares(0);
    const int16_t* upLeft = tables.Shares(1);
    const int16_t* up = tables.Shares(2);
    const int16_t* upRight = tables.Shares(3);
    const RGBQUAD* palette = result.GetPalette();
    const bool bByteIndices = result.GetBpp() == 8;
    const long width = long(source.GetWidth());
    const long height = long(source.GetHeight());
    const size_t w = size_t(width);
    const size_t stride = (w + 2) * 3;

    constexpr int kBand = 4;
    // Rows y to y + kBand - 1 of a band, and the row above them, which takes
    // their shares and is the next band's first row.
    std::vector<uint8_t> rowData(stride * (kBand + 1));
    uint8_t* rows[kBand + 1];
    for (int j = 0; j <= kBand; ++j)
        rows[j] = rowData.data() + stride * size_t(j) + 3;
    std::vector<uint8_t> indexData(w * kBand);
    auto load = [&](uint8_t* row, long y) {
        const uint8_t* p = source.GetBits(uint32_t(y));
        for (size_t x = 0; x < w; ++x) {
            row[3 * x] = p[3 * x + 2];
            row[3 * x + 1] = p[3 * x + 1];
            row[3 * x + 2] = p[3 * x];
        }
    };

    if (!errorDiffusion) {
        for (long y = 0; y < height && !source.GetEscape(); ++y) {
            source.SetProgress(y * 100 / height);
            load(rows[0], y);
            uint8_t* out = bByteIndices ? result.GetBits(uint32_t(y)) : indexData.data();
            for (size_t x = 0; x < w; ++x)
                out[x] = nearest.Find(rows[0][3 * x], rows[0][3 * x + 1], rows[0][3 * x + 2]);
            if (!bByteIndices)
                for (size_t x = 0; x < w; ++x)
                    result.SetPixelIndex(long(x), y, out[x]);
        }
        return;
    }

    // One pixel: its entry, and its error spread to the right and above.
    auto reducePixel = [&](uint8_t* c, uint8_t* a, uint8_t* out) {
        const uint8_t index = nearest.Find(c[0], c[1], c[2]);
        *out = index;
        const RGBQUAD shown = palette[index];
        auto spread = [&](int k, int32_t e) {
            a[k - 3] = tables.Clamp(a[k - 3] + upLeft[e]);
            a[k] = tables.Clamp(a[k] + up[e]);
            a[k + 3] = tables.Clamp(a[k + 3] + upRight[e]);
            c[3 + k] = tables.Clamp(c[3 + k] + right[e]);
        };
        spread(0, int32_t(c[0]) - shown.rgbRed);
        spread(1, int32_t(c[1]) - shown.rgbGreen);
        spread(2, int32_t(c[2]) - shown.rgbBlue);
    };

    if (height > 0)
        load(rows[0], 0);
    for (long y = 0; y < height; y += kBand) {
        if (source.GetEscape())
            break;
        source.SetProgress(y * 100 / height);
        const int n = int(std::min<long>(kBand, height - y));
        for (int j = 1; j <= n; ++j) {
            if (y + j < height)
                load(rows[j], y + j);
            else
                std::memset(rows[j] - 3, 0, stride); // above the top row: shares fall away
        }
        uint8_t* outs[kBand];
        for (int j = 0; j < n; ++j)
            outs[j] = bByteIndices ? result.GetBits(uint32_t(y + j)) : indexData.data() + w * size_t(j);
        // Row j works on pixel t - 2j at step t.
        const size_t steps = w + 2 * size_t(n - 1);
        for (size_t t = 0; t < steps; ++t) {
            for (int j = 0; j < kBand; ++j) {
                const size_t x = t - 2 * size_t(j);
                if (j < n && x < w)
                    reducePixel(rows[j] + 3 * x, rows[j + 1] + 3 * x, outs[j] + x);
            }
        }
        if (!bByteIndices)
            for (int j = 0; j < n; ++j)
                for (size_t x = 0; x < w; ++x)
                    result.SetPixelIndex(long(x), y + j, outs[j][x]);
        std::swap(rows[0], rows[n]);
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
