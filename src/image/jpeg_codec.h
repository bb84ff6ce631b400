// The JPEG decoder: a thin wrapper around libjpeg that reads through a
// CRasterFile and delivers grey pictures as 8-bit with a grey palette and
// colour (RGB or CMYK) pictures as 24-bit, turned upright as their Exif
// orientation asks. With a decode-min-side set (CRaster::SetDecodeMinSide)
// it may deliver the picture reduced by 2, 4 or 8.
#pragma once

#include <cstdint>

#include "raster.h"

class CRasterFile;
struct jpeg_decompress_struct;

class CRasterJpegCodec : public CRaster {
public:
    CRasterJpegCodec() : CRaster(FormatJpeg) {}

    // Decodes the stream from its current position into this picture. On
    // failure the last error holds libjpeg's message (or our own reason for
    // refusing) and the picture is empty.
    bool Decode(CRasterFile* in);

    // A decode started for another picture also stops when that picture's
    // escape field is set.
    void WatchEscape(const int32_t* flag) { m_pWatchedEscape = flag; }

private:
    // What a decode learns besides the pixels.
    struct Notes {
        bool cutShort = false; // the file ended before the end-of-image marker
        int orientation = 1;   // Exif orientation, 1 to 8
    };
    bool Decompress(CRasterFile* in, char* message, Notes* notes);
    bool TurnUpright(int orientation);
    // Picks the DCT scale for the picture's decode-min-side setting.
    void ChooseScale(jpeg_decompress_struct* cinfo) const;
    bool Cancelled() const;

    const int32_t* m_pWatchedEscape = nullptr;
};
