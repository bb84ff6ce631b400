// The PNG decoder: a thin wrapper around libpng. Transparency is composited
// onto a background except in 8-bit RGBA (and 16-bit grey with alpha), which
// keep an alpha plane; 16-bit channels are cut to 8 bits; palettes and grey
// levels give indexed pictures.
#pragma once

#include <cstdint>

#include "raster.h"

class CRasterFile;

class CRasterPngCodec : public CRaster {
public:
    CRasterPngCodec() : CRaster(FormatPng) {}

    // Decodes the stream from its current position into this picture. On
    // failure the last error holds the reason and the picture is empty.
    bool Decode(CRasterFile* in);

    // A decode started for another picture also stops when that picture's
    // escape field is set.
    void WatchEscape(const int32_t* flag) { m_pWatchedEscape = flag; }

    // The grey that shows through transparent pixels of files without a
    // background colour of their own.
    static constexpr uint8_t kDefaultBackground = 192;

private:
    struct Buffers;
    bool ReadPng(CRasterFile* in, char* message, Buffers* buffers);
    void StoreRow(const uint8_t* src, uint32_t y, int fileBitDepth, size_t rowBytes);
    bool Cancelled() const;

    const int32_t* m_pWatchedEscape = nullptr;
};
