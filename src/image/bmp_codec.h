// The BMP decoder: Windows bitmaps with or without the 14-byte file header,
// the 40-byte information header (or the old 12-byte core header, or the
// longer V4 and V5 ones), 1, 4, 8, 16, 24 and 32 bits per pixel, RLE8 and RLE4
// compression, bit-field masks for 16 and 32 bits (any alpha is dropped, as is
// the fourth byte of every 32-bit pixel), top-down rows. Other bit counts and
// embedded JPEG or PNG data are refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "raster.h"

class CRasterFile;

class CRasterBmpCodec : public CRaster {
public:
    CRasterBmpCodec() : CRaster(FormatBmp) {}

    // Decodes the stream from its current position into this picture.
    // On failure the last error holds the reason and the picture is empty.
    bool Decode(CRasterFile* in);

    // A decode started for another picture also stops when that picture's
    // escape field is set.
    void WatchEscape(const int32_t* flag) { m_pWatchedEscape = flag; }

    // Whether a file starting with these bytes can be a BMP: the "BM" of the
    // file header, or a bare bitmap header whose size field is one Windows or
    // OS/2 defines. Other files are refused as "Not a BMP".
    static bool AcceptsSignature(const uint8_t* head, size_t size);

private:
    void DecodeOrThrow(CRasterFile* in);
    bool Cancelled() const;
    // Each returns the number of rows the data covered: the picture's height
    // unless the stream ran out before the end of the bitmap.
    uint64_t DecodeRle8(CRasterFile* in);
    uint64_t DecodeRle4(CRasterFile* in);
    void ExpandRgb16(uint32_t redMask, uint32_t greenMask, uint32_t blueMask);
    void FlipRows();

    const int32_t* m_pWatchedEscape = nullptr;
};
