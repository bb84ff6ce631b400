// Small helpers shared by the BMP, JPEG and PNG decoders: little-endian reads
// of file fields and the cancel test.
#pragma once

#include <cstdint>

#include "raster.h"

namespace codec {

inline uint16_t Le16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

inline uint32_t Le32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// The escape flag may be set by another thread while a decode runs; read it
// atomically so the compiler cannot hoist the test out of a row loop.
inline bool EscapeSet(const int32_t* flag)
{
    return flag && EscapeFlag(*flag).load(std::memory_order_relaxed) != 0;
}

} // namespace codec
