// Colour depth and colour operations: reduction to 1, 4 or 8 bits with
// optional error diffusion, widening to 4, 8 or 24 bits, lightness and
// contrast, and the standard and grey palettes.
#include "raster.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

// Finds the nearest palette entry as GetNearestIndex does (least squared
// distance, the lowest index among equals) but faster: the entries are sorted
// by green and the search walks outward from the colour's green, stopping on
// each side once the green difference alone exceeds the best distance; and
// answers for colours already seen are remembered.
class NearestFinder {
public:
    explicit NearestFinder(const CRaster& target) : m_keys(kSlots, 0), m_values(kSlots, 0)
    {
        const RGBQUAD* pal = target.GetPalette();
        for (uint32_t i = 0; pal && i < target.GetNumColors(); ++i)
            m_entries.push_back(Entry{pal[i].rgbGreen, pal[i].rgbRed, pal[i].rgbBlue, uint8_t(i)});
        std::stable_sort(m_entries.begin(), m_entries.end(),
                         [](const Entry& a, const Entry& b) { return a.g < b.g; });
    }

    uint8_t Find(RGBQUAD c)
    {
        const uint32_t rgb = (uint32_t(c.rgbRed) << 16) | (uint32_t(c.rgbGreen) << 8) | c.rgbBlue;
        const uint32_t key = rgb | kUsed;
        const size_t slot = (rgb * 2654435761u) >> (32 - kSlotBits);
        if (m_keys[slot] != key) {
            m_keys[slot] = key;
            m_values[slot] = Search(c);
        }
        return m_values[slot];
    }

private:
    struct Entry {
        uint8_t g, r, b, index;
    };

    uint8_t Search(RGBQUAD c) const
    {
        if (m_entries.empty())
            return 0;
        long best = 200000;
        uint8_t bestIndex = 0;
        auto consider = [&](const Entry& e) {
            const long dr = long(e.r) - c.rgbRed;
            const long dg = long(e.g) - c.rgbGreen;
            const long db = long(e.b) - c.rgbBlue;
            const long d = dr * dr + dg * dg + db * db;
            if (d < best || (d == best && e.index < bestIndex)) {
                best = d;
                bestIndex = e.index;
            }
        };
        const auto start = std::lower_bound(m_entries.begin(), m_entries.end(), c.rgbGreen,
                                            [](const Entry& e, uint8_t g) { return e.g < g; });
        // Upward from the first entry whose green is not below the colour's.
        for (auto it = start; it != m_entries.end(); ++it) {
            const long dg = long(it->g) - c.rgbGreen;
            if (dg * dg > best)
                break;
            consider(*it);
        }
        for (auto it = start; it != m_entries.begin();) {
            --it;
            const long dg = long(c.rgbGreen) - it->g;
            if (dg * dg > best)
                break;
            consider(*it);
        }
        return bestIndex;
    }

    static constexpr int kSlotBits = 16;
    static constexpr size_t kSlots = size_t(1) << kSlotBits;
    static constexpr uint32_t kUsed = 0x01000000;
    std::vector<Entry> m_entries;
    std::vector<uint32_t> m_keys;
    std::vector<uint8_t> m_values;
};

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
    struct Share {
        long dx, dy, weight;
    };
    static constexpr Share kShares[] = {{1, 0, 7}, {-1, 1, 2}, {0, 1, 4}, {1, 1, 1}};

    NearestFinder nearest(result);
    const RGBQUAD* resultPalette = result.GetPalette();
    for (long y = 0; y < height; ++y) {
        if (GetEscape())
            break;
        info.nProgress = int32_t(y * 100 / height);
        for (long x = 0; x < width; ++x) {
            const RGBQUAD c = GetPixelColor(x, y);
            const uint8_t index = nearest.Find(c);
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
