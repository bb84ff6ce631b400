#include "picture_cut.h"
#include "raster_blend.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

// The smoothing below must round exactly as Resample does: this file is
// compiled without floating-point contraction, as the library's transforms are.

namespace {

// The palette entry nearest to a colour (squared distance over red, green and
// blue; the lowest index among equals), found without trying every entry:
// entries are kept in order of r + g + b, and a search that walks away from
// the colour's own sum stops once the sums differ by so much that the entry
// cannot be nearer: (dr + dg + db)^2 <= 3 (dr^2 + dg^2 + db^2).
class PaletteSearch {
public:
    PaletteSearch(const RGBQUAD* palette, uint32_t count)
    {
        m_entries.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            const RGBQUAD& c = palette[i];
            m_entries.push_back(Entry{c.rgbRed + c.rgbGreen + c.rgbBlue, c.rgbRed, c.rgbGreen, c.rgbBlue, int(i)});
        }
        std::sort(m_entries.begin(), m_entries.end(),
                  [](const Entry& a, const Entry& b) { return a.sum != b.sum ? a.sum < b.sum : a.index < b.index; });
    }

    uint8_t Nearest(int r, int g, int b)
    {
        // Neighbouring result pixels often have the same colour.
        const uint32_t colour = uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
        if (colour == m_lastColour)
            return m_lastIndex;
        const int sum = r + g + b;
        const auto first = std::lower_bound(m_entries.begin(), m_entries.end(), sum,
                                            [](const Entry& e, int s) { return e.sum < s; });
        long up = long(first - m_entries.begin());
        long down = up - 1;
        const long count = long(m_entries.size());
        int64_t best = std::numeric_limits<int32_t>::max();
        int bestIndex = 0;
        auto consider = [&](const Entry& e) {
            const int dr = e.r - r;
            const int dg = e.g - g;
            const int db = e.b - b;
            const int64_t d = int64_t(dr) * dr + int64_t(dg) * dg + int64_t(db) * db;
            if (d < best || (d == best && e.index < bestIndex)) {
                best = d;
                bestIndex = e.index;
            }
        };
        auto tooFar = [&](const Entry& e) {
            const int64_t ds = e.sum - sum;
            return ds * ds > 3 * best;
        };
        while (up < count || down >= 0) {
            if (up < count) {
                if (tooFar(m_entries[size_t(up)]))
                    up = count;
                else
                    consider(m_entries[size_t(up++)]);
            }
            if (down >= 0) {
                if (tooFar(m_entries[size_t(down)]))
                    down = -1;
                else
                    consider(m_entries[size_t(down--)]);
            }
        }
        m_lastColour = colour;
        m_lastIndex = uint8_t(bestIndex);
        return m_lastIndex;
    }

private:
    struct Entry {
        int sum;
        int r, g, b;
        int index;
    };
    std::vector<Entry> m_entries;
    uint32_t m_lastColour = 0xFFFFFFFFu;
    uint8_t m_lastIndex = 0;
};

CRaster* CropThenResample(CRaster& source, long left, long top, long right, long bottom, long width, long height)
{
    auto cut = std::make_unique<CRaster>();
    if (!source.Crop(left, top, right, bottom, cut.get()))
        return nullptr;
    cut->Resample(width, height, 0);
    return cut.release();
}

} // namespace

CRaster* CutAndScale(CRaster& source, long left, long top, long right, long bottom, long width, long height)
{
    if (!source.IsValid() || source.GetBpp() != 8 || !source.IsIndexed() || source.HasAlpha() || width <= 0 ||
        height <= 0 || width > std::numeric_limits<int32_t>::max() || height > std::numeric_limits<int32_t>::max())
        return CropThenResample(source, left, top, right, bottom, width, height);

    // The rectangle as Crop takes it: clamped, reversed edges swapped, rows
    // counted from the bottom row.
    const long pictureWidth = long(source.GetWidth());
    const long pictureHeight = long(source.GetHeight());
    left = std::clamp(left, 0L, pictureWidth);
    right = std::clamp(right, 0L, pictureWidth);
    top = std::clamp(top, 0L, pictureHeight);
    bottom = std::clamp(bottom, 0L, pictureHeight);
    if (left == right || top == bottom)
        return nullptr;
    if (left > right)
        std::swap(left, right);
    const long firstRow = std::min(pictureHeight - top, pictureHeight - bottom);
    const long cutWidth = right - left;
    const long cutHeight = std::max(pictureHeight - top, pictureHeight - bottom) - firstRow;
    // A cut of the target size is not scaled: the crop alone is the result.
    if (cutWidth == width && cutHeight == height)
        return CropThenResample(source, left, top, right, bottom, width, height);

    // The picture Crop would make, without its pixels, then the picture
    // Resample makes from it: the same header, palette and information.
    CRaster cropShape(source.GetType());
    if (!cropShape.Create(1, 1, 8, long(source.GetType())))
        return CropThenResample(source, left, top, right, bottom, width, height);
    cropShape.SetPalette(source.GetPalette(), source.GetNumColors());
    cropShape.SetTransIndex(source.GetTransIndex());
    cropShape.SetTransColor(source.Info().nBkgndColor);
    cropShape.SetFrameDelay(source.GetFrameDelay());
    auto result = std::make_unique<CRaster>();
    result->CopyInfo(cropShape);
    if (!result->Create(uint32_t(width), uint32_t(height), 8, long(cropShape.GetType())))
        return CropThenResample(source, left, top, right, bottom, width, height);
    result->SetPalette(cropShape.GetPalette(), 256);

    // Resample's bilinear smoothing over the cut, reading the picture in place.
    const RGBQUAD* palette = cropShape.GetPalette();
    PaletteSearch nearest(result->GetPalette(), result->GetNumColors());
    const float xScale = float(cutWidth) / float(width);
    const float yScale = float(cutHeight) / float(height);
    std::vector<long> column0(static_cast<size_t>(width));
    std::vector<long> column1(static_cast<size_t>(width));
    std::vector<float> columnFraction(static_cast<size_t>(width));
    for (long x = 0; x < width; ++x) {
        const float fx = float(x) * xScale;
        const long x0 = std::min(long(fx), cutWidth - 1);
        column0[size_t(x)] = left + x0;
        column1[size_t(x)] = left + std::min(x0 + 1, cutWidth - 1);
        columnFraction[size_t(x)] = fx - float(x0);
    }
    for (long y = 0; y < height; ++y) {
        const float fy = float(y) * yScale;
        const long y0 = std::min(long(fy), cutHeight - 1);
        const long y1 = std::min(y0 + 1, cutHeight - 1);
        const float dy = fy - float(y0);
        const uint8_t* row0 = source.GetBits(uint32_t(firstRow + y0));
        const uint8_t* row1 = source.GetBits(uint32_t(firstRow + y1));
        uint8_t* out = result->GetBits(uint32_t(y));
        for (long x = 0; x < width; ++x) {
            const RGBQUAD& c00 = palette[row0[column0[size_t(x)]]];
            const RGBQUAD& c10 = palette[row0[column1[size_t(x)]]];
            const RGBQUAD& c01 = palette[row1[column0[size_t(x)]]];
            const RGBQUAD& c11 = palette[row1[column1[size_t(x)]]];
            const float dx = columnFraction[size_t(x)];
            const uint8_t red = RasterBlend(c00.rgbRed, c10.rgbRed, c01.rgbRed, c11.rgbRed, dx, dy);
            const uint8_t green = RasterBlend(c00.rgbGreen, c10.rgbGreen, c01.rgbGreen, c11.rgbGreen, dx, dy);
            const uint8_t blue = RasterBlend(c00.rgbBlue, c10.rgbBlue, c01.rgbBlue, c11.rgbBlue, dx, dy);
            out[x] = nearest.Nearest(red, green, blue);
        }
    }
    return result.release();
}
