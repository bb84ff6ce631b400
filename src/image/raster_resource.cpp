#include "raster_resource.h"

#include <strings.h>

#include <iterator>

// Generated at build time from resources/fallback_thumbnail.png.
extern const unsigned char kFallbackThumbnailPng[];
extern const uint32_t kFallbackThumbnailPngSize;

namespace {

const RasterResource* Table(size_t* count)
{
    static const RasterResource table[] = {
        {kFallbackThumbnailType, kFallbackThumbnailId, kFallbackThumbnailPng, kFallbackThumbnailPngSize},
    };
    *count = std::size(table);
    return table;
}

} // namespace

const RasterResource* FindRasterResource(const char* type, int id)
{
    if (!type)
        return nullptr;
    size_t count = 0;
    const RasterResource* table = Table(&count);
    for (size_t i = 0; i < count; ++i) {
        if (table[i].id == id && strcasecmp(table[i].type, type) == 0)
            return &table[i];
    }
    return nullptr;
}
