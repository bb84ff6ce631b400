#pragma once

// The bilinear blend of one colour channel that Resample uses, shared with the
// picture editor's cut-out so both round alike. Every step is rounded to single
// precision: a file that includes this must be compiled without floating-point
// contraction (-ffp-contract=off), or a * b + c may be fused into one rounding.
#include <cstdint>

inline uint8_t RasterClampByte(long v)
{
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// c00 and c10 are the upper pair, c01 and c11 the lower; dx and dy the
// position between them.
inline uint8_t RasterBlend(uint8_t c00, uint8_t c10, uint8_t c01, uint8_t c11, float dx, float dy)
{
    const float a = float(c00) * (1.0f - dy) + float(c01) * dy;
    const float b = float(c10) * (1.0f - dy) + float(c11) * dy;
    return RasterClampByte(long(a * (1.0f - dx) + b * dx));
}
