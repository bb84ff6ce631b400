// The program's own resources: pictures compiled into the library and found by
// resource type and number, as a Windows program finds the resources of its
// own executable.
#pragma once

#include <cstdint>

struct RasterResource {
    const char* type;           // resource type name, e.g. "PNG"
    int id;                     // resource number
    const unsigned char* data;
    uint32_t size;
};

// The 28 x 28 picture with alpha that stands in for a thumbnail or a picture
// that cannot be read: resource "PNG" number 165.
inline constexpr const char* kFallbackThumbnailType = "PNG";
inline constexpr int kFallbackThumbnailId = 165;

// The resource of that type and number, or null when the program has none.
// Type names compare without regard to case, as Windows compares them.
const RasterResource* FindRasterResource(const char* type, int id);
