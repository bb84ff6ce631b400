// The body shared by the fuzz targets: decode the input as one format and, on
// success, touch every pixel so that a picture whose header and block
// disagree shows up under the address sanitizer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "raster.h"

inline void FuzzDecode(const uint8_t* data, size_t size, uint32_t type, long frame = 0)
{
    // Decode takes a writable pointer; give it a copy of exactly the input.
    std::vector<unsigned char> bytes(data, data + size);
    CRaster img(type);
    img.SetFrame(frame);
    if (!img.Decode(bytes.data(), uint32_t(bytes.size()), type))
        return;
    volatile uint32_t sum = 0;
    for (uint32_t y = 0; y < img.GetHeight(); ++y) {
        const uint8_t* row = img.GetBits(y);
        for (uint32_t x = 0; x < img.GetEffWidth(); ++x)
            sum = sum + row[x];
    }
    if (img.HasAlpha())
        sum = sum + img.AlphaGet(long(img.GetWidth()) - 1, long(img.GetHeight()) - 1);
}
