#include "raster_test_support.h"

namespace testsupport {

CRaster* MakeTrueColour(uint32_t w, uint32_t h, RGBQUAD (*colour)(uint32_t x, uint32_t y))
{
    auto* picture = new CRaster(w, h, 24, 0);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            picture->SetPixelColor(long(x), long(h - 1 - y), colour(x, y));
    return picture;
}

RGBQUAD ColourAtTop(const CRaster& picture, long x, long y)
{
    RGBQUAD c = picture.GetPixelColor(x, long(picture.GetHeight()) - 1 - y);
    c.rgbReserved = 0;
    return c;
}

bool SameColours(const CRaster* a, const CRaster* b)
{
    if (!a || !b || a->GetWidth() != b->GetWidth() || a->GetHeight() != b->GetHeight())
        return false;
    for (long y = 0; y < long(a->GetHeight()); ++y)
        for (long x = 0; x < long(a->GetWidth()); ++x)
            if (!(a->GetPixelColor(x, y) == b->GetPixelColor(x, y)))
                return false;
    return true;
}

} // namespace testsupport
