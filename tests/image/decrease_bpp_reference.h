// DecreaseBpp as it was before its true-colour path was rewritten for speed:
// every pixel read and written through GetPixelColor and SetPixelColor, the
// nearest entry found by a search over the palette sorted by green, and the
// error pushed back into the picture itself. The tests hold the library to
// its results byte for byte, and bench/raster_bench.cpp measures the library
// against it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "raster.h"

namespace reference {

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


inline uint8_t ClampByte(long v)
{
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// The palette DecreaseBpp gives the result when the caller gives none.
inline std::vector<RGBQUAD> StandardPalette(uint32_t bpp)
{
    if (bpp == 1)
        return {MakeRgbQuad(0, 0, 0), MakeRgbQuad(255, 255, 255)};
    CRaster p(1, 1, long(bpp));
    p.SetStdPalette();
    return std::vector<RGBQUAD>(p.GetPalette(), p.GetPalette() + p.GetNumColors());
}

// Reduces `img` (more than bpp bits) to bpp bits; the reduced picture replaces it.
inline bool DecreaseBpp(CRaster& img, uint32_t bpp, bool errorDiffusion, const RGBQUAD* palette)
{
    if (!img.IsValid() || img.GetBpp() <= bpp)
        return false;
    const long width = long(img.GetWidth());
    const long height = long(img.GetHeight());
    CRaster result(img.GetWidth(), img.GetHeight(), long(bpp), long(img.GetType()));
    if (palette) {
        result.SetPalette(palette, bpp == 8 ? 256 : 16);
    } else {
        const std::vector<RGBQUAD> std = StandardPalette(bpp);
        result.SetPalette(std.data(), uint32_t(std.size()));
    }

    struct Share {
        long dx, dy, weight;
    };
    static constexpr Share kShares[] = {{1, 0, 7}, {-1, 1, 2}, {0, 1, 4}, {1, 1, 1}};

    NearestFinder nearest(result);
    const RGBQUAD* resultPalette = result.GetPalette();
    for (long y = 0; y < height; ++y) {
        for (long x = 0; x < width; ++x) {
            const RGBQUAD c = img.GetPixelColor(x, y);
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
                if (!img.IsInside(nx, ny))
                    continue;
                RGBQUAD n = img.GetPixelColor(nx, ny);
                n.rgbRed = ClampByte(n.rgbRed + s.weight * er / 16);
                n.rgbGreen = ClampByte(n.rgbGreen + s.weight * eg / 16);
                n.rgbBlue = ClampByte(n.rgbBlue + s.weight * eb / 16);
                img.SetPixelColor(nx, ny, n);
            }
        }
    }
    img.Transfer(result);
    return true;
}

} // namespace reference
