// Pictures for the tests made in memory, and their colours read with rows
// counted from the top, as people describe pictures.
#pragma once

#include <cstdint>

#include "raster.h"

namespace testsupport {

// A 24-bit picture of w x h whose pixel (x, y), y from the top, is colour(x, y).
CRaster* MakeTrueColour(uint32_t w, uint32_t h, RGBQUAD (*colour)(uint32_t x, uint32_t y));

// The colour seen at (x, y) counted from the top row, with the reserved byte cleared.
RGBQUAD ColourAtTop(const CRaster& picture, long x, long y);

// Both pictures exist, have the same size and show the same colour at every
// pixel (whatever their depths and palettes).
bool SameColours(const CRaster* a, const CRaster* b);

} // namespace testsupport
