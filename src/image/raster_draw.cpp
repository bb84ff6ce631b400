// Putting a picture on a drawing surface.
//
// The surface is a 32-bit buffer, top row first; the picture is stored
// bottom-up. Only the part of the destination rectangle inside the surface's
// clip box (narrowed by the caller's clip rectangle) is computed.
//
// Three ways of drawing:
//  - plain and unscaled: every pixel copied as it is;
//  - plain and scaled: nearest-neighbour sampling with the row and column rule
//    below;
//  - with transparency (transparent index, alpha plane or alpha palette): each
//    sampled pixel is composited over what the surface already shows.
// Every pixel the picture paints gets alpha 0xFF on the surface; pixels the
// picture leaves out keep what they had, so the page behind stays visible.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "raster.h"

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

inline uint32_t PackRgb(uint8_t r, uint8_t g, uint8_t b)
{
    return kOpaque | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

// Reads pixels straight from the packed rows: the library's per-pixel
// accessors re-check bounds on every call, which the drawing loops do not need.
class CRowReader {
public:
    explicit CRowReader(const CRaster& image)
        : m_bits(image.GetBits()), m_effWidth(image.GetEffWidth()), m_bpp(image.GetBpp()),
          m_palette(image.GetPalette()), m_numColors(image.GetNumColors())
    {
    }

    const uint8_t* Row(long y) const { return m_bits + size_t(y) * m_effWidth; }

    uint8_t Index(const uint8_t* row, long x) const
    {
        switch (m_bpp) {
        case 8:
            return row[x];
        case 4:
            return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
        default:
            return 0;
        }
    }

    // The pixel's blue, green, red and (for palette pictures) the reserved
    // byte of its palette entry; 0 in the reserved byte for 24-bit pixels.
    RGBQUAD Color(const uint8_t* row, long x) const
    {
        if (m_bpp == 24) {
            const uint8_t* p = row + 3 * x;
            return RGBQUAD{p[0], p[1], p[2], 0};
        }
        const uint8_t index = Index(row, x);
        if (m_palette && index < m_numColors)
            return m_palette[index];
        return RGBQUAD{0, 0, 0, 0};
    }

private:
    const uint8_t* m_bits;
    size_t m_effWidth;
    uint32_t m_bpp;
    const RGBQUAD* m_palette;
    uint32_t m_numColors;
};

inline long Clamp(long v, long lo, long hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

} // namespace

long CRaster::Draw(RasterSurface* surface, long x, long y, long cx, long cy, const RECT* clip)
{
    if (!pDib || !surface || !surface->pixels || cx == 0 || cy == 0 || !info.bEnabled)
        return 0;

    const long width = long(head.biWidth);
    const long height = long(head.biHeight);
    if (cx < 0)
        cx = width;
    if (cy < 0)
        cy = height;
    if (width <= 0 || height <= 0)
        return 1;

    // The surface's clip box, narrowed by the caller's clip rectangle for this
    // call only, and never beyond the surface itself.
    RECT box = IntersectRects(surface->clip, RECT{0, 0, surface->width, surface->height});
    if (clip)
        box = IntersectRects(box, *clip);

    // Destination rectangle in 64 bits so that huge positions cannot overflow.
    const int64_t destRight = int64_t(x) + cx;
    const int64_t destBottom = int64_t(y) + cy;
    const long left = long(std::max<int64_t>(x, box.left));
    const long top = long(std::max<int64_t>(y, box.top));
    const long right = long(std::min<int64_t>(destRight, box.right));
    const long bottom = long(std::min<int64_t>(destBottom, box.bottom));
    if (left >= right || top >= bottom)
        return 1;

    const bool scaled = cx != width || cy != height;
    const bool transparent = info.nBkgndIndex != -1 || pAlpha != nullptr || info.bAlphaPaletteEnabled;

    const CRowReader reader(*this);

    // Source column for each visible destination column, source row (bottom-up)
    // for each visible destination row. Unscaled pictures map one to one.
    // Scaled: column c takes floor(c * width / cx) and row r (0 at the top)
    // takes height - ceil((r + 1) * height / cy), with single-precision factors.
    std::vector<long> srcCol(size_t(right - left));
    std::vector<long> srcRow(size_t(bottom - top));
    const float fx = float(width) / float(cx);
    const float fy = float(height) / float(cy);
    for (long px = left; px < right; ++px) {
        const long c = px - x;
        const long s = scaled ? long(std::floor(float(c) * fx)) : c;
        srcCol[size_t(px - left)] = Clamp(s, 0, width - 1);
    }
    for (long py = top; py < bottom; ++py) {
        const long r = py - y;
        long s = scaled ? height - long(std::ceil(float(r + 1) * fy)) : height - 1 - r;
        if (s < 0)
            s = 0;
        srcRow[size_t(py - top)] = Clamp(s, 0, height - 1);
    }

    if (!transparent) {
        for (long py = top; py < bottom; ++py) {
            uint32_t* dst = surface->pixels + size_t(py) * size_t(surface->stride);
            const uint8_t* row = reader.Row(srcRow[size_t(py - top)]);
            for (long px = left; px < right; ++px) {
                const RGBQUAD c = reader.Color(row, srcCol[size_t(px - left)]);
                dst[px] = PackRgb(c.rgbRed, c.rgbGreen, c.rgbBlue);
            }
        }
        return 1;
    }

    const bool useTransColor = info.nBkgndIndex != -1;
    const RGBQUAD transColor = GetTransColor();
    const uint32_t alphaMax = uint32_t(info.nAlphaMax) + 1;
    for (long py = top; py < bottom; ++py) {
        uint32_t* dst = surface->pixels + size_t(py) * size_t(surface->stride);
        const long sy = srcRow[size_t(py - top)];
        const uint8_t* row = reader.Row(sy);
        const uint8_t* alphaRow = pAlpha ? pAlpha + size_t(sy) * size_t(width) : nullptr;
        for (long px = left; px < right; ++px) {
            const long sx = srcCol[size_t(px - left)];
            const RGBQUAD c = reader.Color(row, sx);
            if (useTransColor && c == transColor)
                continue;
            uint32_t a = (alphaRow ? uint32_t(alphaRow[sx]) : 255u) * alphaMax >> 8;
            if (info.bAlphaPaletteEnabled)
                a = a * (uint32_t(c.rgbReserved) + 1) >> 8;
            if (a == 0)
                continue;
            if (a == 255) {
                dst[px] = PackRgb(c.rgbRed, c.rgbGreen, c.rgbBlue);
                continue;
            }
            const uint32_t bg = dst[px];
            const uint32_t bgR = (bg >> 16) & 0xFF, bgG = (bg >> 8) & 0xFF, bgB = bg & 0xFF;
            const uint32_t inv = 255 - a;
            dst[px] = PackRgb(uint8_t((bgR * inv + c.rgbRed * a) >> 8), uint8_t((bgG * inv + c.rgbGreen * a) >> 8),
                              uint8_t((bgB * inv + c.rgbBlue * a) >> 8));
        }
    }
    return 1;
}

RasterBitmap* CRaster::MakeBitmap() const
{
    if (!pDib)
        return nullptr;
    const long width = long(head.biWidth);
    const long height = long(head.biHeight);
    auto* bitmap = new RasterBitmap;
    bitmap->width = int32_t(width);
    bitmap->height = int32_t(height);
    if (width <= 0 || height <= 0)
        return bitmap;
    bitmap->pixels = new uint32_t[size_t(width) * size_t(height)];
    const CRowReader reader(*this);
    for (long r = 0; r < height; ++r) {
        const uint8_t* row = reader.Row(height - 1 - r);
        uint32_t* dst = bitmap->pixels + size_t(r) * size_t(width);
        for (long c = 0; c < width; ++c) {
            const RGBQUAD q = reader.Color(row, c);
            dst[c] = PackRgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
        }
    }
    return bitmap;
}
