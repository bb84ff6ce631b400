// Geometric transforms: scaling, flips, quarter turns and cropping. Each one
// builds its result in a scratch picture and moves it in with Transfer, so a
// failure leaves the picture as it was.
//
// The scaling arithmetic is pinned to single precision where the results are
// compared bit for bit; this file is compiled without floating-point
// contraction so that a * b + c is never fused into one rounding.
#include "raster.h"
#include "raster_blend.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Where a pixel of a turned picture comes from in the source.
struct SourcePoint {
    long x;
    long y;
};

// Builds src turned a quarter (height x width) in a scratch picture, pixel
// (x, y) of the result taken from source pixel sourceOf(x, y), alpha plane
// included, and moves it into target, or into src when there is none.
template <typename SourceOf>
bool TurnQuarter(CRaster& src, CRaster* target, bool hasAlpha, SourceOf sourceOf)
{
    const long width = src.Header().biWidth;
    const long height = src.Header().biHeight;
    const uint16_t bpp = src.Header().biBitCount;
    CRaster result;
    result.CopyInfo(src);
    if (!result.Create(uint32_t(height), uint32_t(width), bpp, long(src.GetType())))
        return false;
    result.SetPalette(src.GetPalette(), 256);

    for (long y = 0; y < width; ++y) {
        uint8_t* dst = result.GetBits(uint32_t(y));
        for (long x = 0; x < height; ++x) {
            const SourcePoint from = sourceOf(x, y);
            if (bpp == 24)
                std::memcpy(dst + 3 * x, src.GetBits(uint32_t(from.y)) + 3 * from.x, 3);
            else if (bpp == 8)
                dst[x] = src.GetBits(uint32_t(from.y))[from.x];
            else
                result.SetPixelIndex(x, y, src.GetPixelIndex(from.x, from.y));
        }
    }
    if (hasAlpha) {
        if (!result.AlphaCreate())
            return false;
        for (long y = 0; y < width; ++y)
            for (long x = 0; x < height; ++x) {
                const SourcePoint from = sourceOf(x, y);
                result.AlphaSet(x, y, src.AlphaGet(from.x, from.y));
            }
    }
    (target ? *target : src).Transfer(result);
    return true;
}

} // namespace

bool CRaster::Resample(long newWidth, long newHeight, int mode)
{
    // A size the picture header cannot hold is refused here, before it could
    // be cut down to 32 bits on its way to Create.
    if (newWidth <= 0 || newHeight <= 0 || newWidth > INT32_MAX || newHeight > INT32_MAX)
        return false;
    const long width = head.biWidth;
    const long height = head.biHeight;
    if (newWidth == width && newHeight == height)
        return true;
    if (!pDib)
        return false;

    const float xScale = float(width) / float(newWidth);
    const float yScale = float(height) / float(newHeight);

    CRaster result;
    result.CopyInfo(*this);
    if (!result.Create(uint32_t(newWidth), uint32_t(newHeight), head.biBitCount, long(info.dwType)))
        return false;
    result.SetPalette(GetPalette(), 256);

    // The truncated products can only reach the picture's edge through
    // rounding of enormous sizes; the clamp keeps every read inside.
    auto srcX = [&](long x) { return std::min(long(float(x) * xScale), width - 1); };
    auto srcY = [&](long y) { return std::min(long(float(y) * yScale), height - 1); };

    if (mode != 0) {
        for (long y = 0; y < newHeight; ++y) {
            info.nProgress = int32_t(100 * y / newHeight);
            if (GetEscape())
                break;
            const long sy = srcY(y);
            for (long x = 0; x < newWidth; ++x)
                result.SetPixelColor(x, y, GetPixelColor(srcX(x), sy));
        }
    } else if (newWidth < width && newHeight < height && head.biBitCount == 24) {
        // Area averaging with integer weights in thousandths of a source
        // pixel. accu gathers result row v; the parts of a source row that
        // belong to row v + 1 go to carry, and the two swap when the row ends.
        // The sums are 64-bit: a large shrink factor overflows 32 bits.
        const long scale = long(double(yScale) * double(xScale) * 1000.0);
        const size_t slots = size_t(3 * newWidth + 6);
        std::vector<int64_t> bufA(slots, 0);
        std::vector<int64_t> bufB(slots, 0);
        int64_t* accu = bufA.data();
        int64_t* carry = bufB.data();

        long v = 0;
        uint8_t* out = result.GetBits(0);
        uint8_t* outEnd = out + 3 * newWidth;
        auto emit = [&](int64_t sum) {
            if (out && out < outEnd)
                *out++ = RasterClampByte(long(sum / scale));
        };

        double yEnd = double(yScale) - 1.0;
        for (long y = 0; y < height; ++y) {
            const uint8_t* src = info.pImage + size_t(y) * info.dwEffWidth;
            size_t i = 0;
            long u = 0;
            double xEnd = double(xScale) - 1.0;
            if (double(y) < yEnd) {
                for (long x = 0; x < width; ++x, src += 3) {
                    if (double(x) < xEnd) {
                        for (int j = 0; j < 3; ++j)
                            accu[i + j] += 1000 * int64_t(src[j]);
                    } else {
                        const int64_t wx = int64_t((double(x) - xEnd) * 1000.0);
                        for (int j = 0; j < 3; ++j, ++i) {
                            accu[i] += (1000 - wx) * src[j];
                            if (i + 3 < slots)
                                accu[i + 3] += wx * src[j];
                        }
                        xEnd += double(xScale);
                        ++u;
                    }
                }
            } else {
                const int64_t wy = int64_t((double(y) - yEnd) * 1000.0);
                for (long x = 0; x < width; ++x, src += 3) {
                    if (double(x) < xEnd) {
                        for (int j = 0; j < 3; ++j) {
                            accu[i + j] += (1000 - wy) * src[j];
                            carry[i + j] += wy * src[j];
                        }
                    } else {
                        const int64_t wx = int64_t((double(x) - xEnd) * 1000.0);
                        for (int j = 0; j < 3; ++j, ++i) {
                            const int64_t value = src[j];
                            accu[i] += (1000 - wy) * (1000 - wx) * value / 1000;
                            emit(accu[i]);
                            carry[i] += wy * (1000 - wx) * value / 1000;
                            if (i + 3 < slots) {
                                accu[i + 3] += (1000 - wy) * wx * value / 1000;
                                carry[i + 3] = wy * wx * value / 1000;
                            }
                        }
                        xEnd += double(xScale);
                        ++u;
                    }
                }
                if (u < newWidth) {
                    emit(accu[i]);
                    emit(accu[i + 1]);
                    emit(accu[i + 2]);
                }
                std::swap(accu, carry);
                std::fill(carry, carry + 3, 0);
                ++v;
                out = v < newHeight ? result.GetBits(uint32_t(v)) : nullptr;
                outEnd = out ? out + 3 * newWidth : nullptr;
                yEnd += double(yScale);
            }
        }
        if (v < newHeight) {
            for (size_t k = 0; k < size_t(3 * newWidth); ++k)
                emit(accu[k]);
        }
    } else {
        for (long y = 0; y < newHeight; ++y) {
            info.nProgress = int32_t(100 * y / newHeight);
            if (GetEscape())
                break;
            const float fy = float(y) * yScale;
            const long y0 = std::min(long(fy), height - 1);
            const long y1 = std::min(y0 + 1, height - 1);
            const float dy = fy - float(y0);
            for (long x = 0; x < newWidth; ++x) {
                const float fx = float(x) * xScale;
                const long x0 = std::min(long(fx), width - 1);
                const long x1 = std::min(x0 + 1, width - 1);
                const float dx = fx - float(x0);
                const RGBQUAD c00 = GetPixelColor(x0, y0);
                const RGBQUAD c10 = GetPixelColor(x1, y0);
                const RGBQUAD c01 = GetPixelColor(x0, y1);
                const RGBQUAD c11 = GetPixelColor(x1, y1);
                RGBQUAD c;
                c.rgbBlue = RasterBlend(c00.rgbBlue, c10.rgbBlue, c01.rgbBlue, c11.rgbBlue, dx, dy);
                c.rgbGreen = RasterBlend(c00.rgbGreen, c10.rgbGreen, c01.rgbGreen, c11.rgbGreen, dx, dy);
                c.rgbRed = RasterBlend(c00.rgbRed, c10.rgbRed, c01.rgbRed, c11.rgbRed, dx, dy);
                c.rgbReserved = 0;
                result.SetPixelColor(x, y, c);
            }
        }
    }

    if (pAlpha) {
        if (!result.AlphaCreate())
            return false;
        for (long y = 0; y < newHeight; ++y) {
            const long sy = srcY(y);
            for (long x = 0; x < newWidth; ++x)
                result.AlphaSet(x, y, AlphaGet(srcX(x), sy));
        }
    }

    Transfer(result);
    return true;
}

bool CRaster::Flip()
{
    if (!pDib)
        return false;
    CRaster result(*this, false, false, true);
    if (!result.IsValid())
        return false;
    const uint32_t height = GetHeight();
    const size_t rowBytes = info.dwEffWidth;
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(result.GetBits(height - 1 - y), GetBits(y), rowBytes);
    if (pAlpha && result.pAlpha) {
        const size_t width = GetWidth();
        for (uint32_t y = 0; y < height; ++y)
            std::memcpy(result.pAlpha + (height - 1 - y) * width, pAlpha + y * width, width);
    }
    Transfer(result);
    return true;
}

bool CRaster::Mirror()
{
    if (!pDib)
        return false;
    CRaster result(*this, false, false, true);
    if (!result.IsValid())
        return false;
    const long width = head.biWidth;
    const long height = head.biHeight;
    for (long y = 0; y < height; ++y) {
        const uint8_t* src = GetBits(uint32_t(y));
        uint8_t* dst = result.GetBits(uint32_t(y));
        switch (head.biBitCount) {
        case 24:
            for (long x = 0; x < width; ++x)
                std::memcpy(dst + 3 * (width - 1 - x), src + 3 * x, 3);
            break;
        case 8:
            for (long x = 0; x < width; ++x)
                dst[width - 1 - x] = src[x];
            break;
        default:
            for (long x = 0; x < width; ++x)
                result.SetPixelIndex(width - 1 - x, y, GetPixelIndex(x, y));
            break;
        }
    }
    if (pAlpha && result.pAlpha) {
        for (long y = 0; y < height; ++y) {
            const uint8_t* src = pAlpha + size_t(y) * size_t(width);
            uint8_t* dst = result.pAlpha + size_t(y) * size_t(width);
            for (long x = 0; x < width; ++x)
                dst[width - 1 - x] = src[x];
        }
    }
    Transfer(result);
    return true;
}

bool CRaster::RotateLeft(CRaster* target)
{
    if (!pDib)
        return false;
    // The source's top row becomes the result's left column.
    const long height = head.biHeight;
    return TurnQuarter(*this, target, pAlpha != nullptr,
                       [height](long x, long y) { return SourcePoint{y, height - 1 - x}; });
}

bool CRaster::RotateRight(CRaster* target)
{
    if (!pDib)
        return false;
    // The source's top row becomes the result's right column.
    const long width = head.biWidth;
    return TurnQuarter(*this, target, pAlpha != nullptr,
                       [width](long x, long y) { return SourcePoint{width - 1 - y, x}; });
}

bool CRaster::Crop(long left, long top, long right, long bottom, CRaster* target)
{
    if (!pDib)
        return false;
    const long width = head.biWidth;
    const long height = head.biHeight;
    left = std::clamp(left, 0L, width);
    right = std::clamp(right, 0L, width);
    top = std::clamp(top, 0L, height);
    bottom = std::clamp(bottom, 0L, height);
    if (left == right || top == bottom)
        return false;
    if (left > right)
        std::swap(left, right);
    // top and bottom count from the top of the picture; rows count from the bottom.
    long start = height - top;
    long end = height - bottom;
    if (start > end)
        std::swap(start, end);

    CRaster result(info.dwType);
    if (!result.Create(uint32_t(right - left), uint32_t(end - start), head.biBitCount, long(info.dwType)))
        return false;
    result.SetPalette(GetPalette(), head.biClrUsed);
    result.SetTransIndex(info.nBkgndIndex);
    result.SetTransColor(info.nBkgndColor);
    result.SetFrameDelay(info.dwFrameDelay);

    const long rows = end - start;
    const long cols = right - left;
    if (head.biBitCount == 8 || head.biBitCount == 24) {
        const size_t bytesPerPixel = head.biBitCount / 8;
        for (long r = 0; r < rows; ++r)
            std::memcpy(result.GetBits(uint32_t(r)), GetBits(uint32_t(start + r)) + size_t(left) * bytesPerPixel,
                        size_t(cols) * bytesPerPixel);
    } else {
        for (long r = 0; r < rows; ++r)
            for (long x = 0; x < cols; ++x)
                result.SetPixelIndex(x, r, GetPixelIndex(left + x, start + r));
    }
    (target ? *target : *this).Transfer(result);
    return true;
}
