// Small drawing helpers for a page's drawing surface: solid fills and the
// inverting rectangle that the selection frame is drawn with. Both keep to the
// surface's clip box and ignore whatever lies outside it.
#pragma once

#include <algorithm>
#include <cstdint>

#include "raster_types.h"

namespace surface {

// The part of [left, right) x [top, bottom) that lies inside the surface and its
// clip box; false when nothing is left.
inline bool ClipToSurface(const RasterSurface& s, RECT& r)
{
    r.left = std::max({r.left, s.clip.left, int32_t(0)});
    r.top = std::max({r.top, s.clip.top, int32_t(0)});
    r.right = std::min({r.right, s.clip.right, s.width});
    r.bottom = std::min({r.bottom, s.clip.bottom, s.height});
    return s.pixels != nullptr && r.left < r.right && r.top < r.bottom;
}

// Paints the rectangle opaque in `rgb` (0xRRGGBB).
inline void FillRect(RasterSurface* s, RECT r, uint32_t rgb)
{
    if (!s || !ClipToSurface(*s, r))
        return;
    const uint32_t pixel = 0xFF000000u | (rgb & 0xFFFFFFu);
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::fill(s->pixels + size_t(y) * size_t(s->stride) + r.left,
                  s->pixels + size_t(y) * size_t(s->stride) + r.right, pixel);
}

// Inverts the colour of every pixel of the rectangle, outline and inside alike.
// An inverted pixel counts as drawn on, so it is made opaque.
inline void InvertRect(RasterSurface* s, RECT r)
{
    if (!s || !ClipToSurface(*s, r))
        return;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint32_t* row = s->pixels + size_t(y) * size_t(s->stride);
        for (int32_t x = r.left; x < r.right; ++x)
            row[x] = 0xFF000000u | (~row[x] & 0xFFFFFFu);
    }
}

} // namespace surface
