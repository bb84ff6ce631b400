// Opening and decoding pictures: the entry points of CRaster that read a file,
// a stdio stream, a memory block or one of the program's own resources, and
// the dispatch to the codec of the caller's format code.
#include <cstdio>
#include <cstring>
#include <optional>

#include "bmp_codec.h"
#include "gif_codec.h"
#include "jpeg_codec.h"
#include "png_codec.h"
#include "raster.h"
#include "raster_file.h"
#include "raster_resource.h"

bool CRaster::Load(const char* fileName, uint32_t type, bool quiet)
{
    // The decoders' own boxes (GIF and PNG errors) are quiet too.
    std::optional<CRasterQuietScope> silence;
    if (quiet)
        silence.emplace();
    FILE* fp = fileName ? std::fopen(fileName, "rb") : nullptr;
    if (!fp) {
        RasterMessageBox("File open error", fileName ? fileName : "", RasterBoxNone);
        return false;
    }
    bool ok = false;
    {
        CRasterIOFile file(fp);
        ok = Decode(&file, type);
    }
    std::fclose(fp);
    return ok;
}

bool CRaster::Decode(FILE* stream, uint32_t type)
{
    CRasterIOFile file(stream);
    return Decode(&file, type);
}

bool CRaster::Decode(unsigned char* data, uint32_t size, uint32_t type)
{
    CRasterMemFile file(data, data ? size : 0);
    return Decode(&file, type);
}

// Each decode builds the picture inside a fresh codec and moves it here only
// when it succeeded; a failure changes nothing but the last error (and, for
// GIF, the number of frames).
bool CRaster::Decode(CRasterFile* in, uint32_t type)
{
    // No stream reads as an empty one, so each codec reports it its own way.
    CRasterMemFile nothing;
    if (!in)
        in = &nothing;

    switch (type) {
    case FormatBmp: {
        CRasterBmpCodec codec;
        codec.WatchEscape(&info.nEscape);
        if (codec.Decode(in))
            return Transfer(codec);
        SetLastError(codec.GetLastError());
        return false;
    }
    case FormatGif: {
        CRasterGifCodec codec;
        codec.SetFrame(GetFrame());
        codec.WatchEscape(&info.nEscape);
        if (codec.Decode(in))
            return Transfer(codec);
        SetNumFrames(codec.GetNumFrames());
        SetLastError(codec.GetLastError());
        RasterMessageBox(GetLastError(), "Gif error", RasterBoxError);
        return false;
    }
    case FormatJpeg: {
        CRasterJpegCodec codec;
        codec.WatchEscape(&info.nEscape);
        codec.SetDecodeMinSide(GetDecodeMinSide());
        if (codec.Decode(in))
            return Transfer(codec);
        SetLastError(codec.GetLastError());
        return false;
    }
    case FormatPng: {
        CRasterPngCodec codec;
        codec.WatchEscape(&info.nEscape);
        if (codec.Decode(in))
            return Transfer(codec);
        SetLastError(codec.GetLastError());
        RasterMessageBox(GetLastError(), "Png error", RasterBoxError);
        return false;
    }
    default:
        SetLastError("Unsupported operation for this format");
        return false;
    }
}

bool CRaster::LoadResource(const char* resourceType, int resourceId, uint32_t type)
{
    const RasterResource* resource = FindRasterResource(resourceType, resourceId);
    if (!resource) {
        SetLastError("Unable to load resource!");
        return false;
    }
    // The memory stream only reads; the resource bytes stay untouched.
    return Decode(const_cast<unsigned char*>(resource->data), resource->size, type);
}

namespace {

const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool StartsWith(const unsigned char* head, size_t size, const void* signature, size_t length)
{
    return head && size >= length && std::memcmp(head, signature, length) == 0;
}

} // namespace

uint32_t RasterFormatFromSignature(const unsigned char* head, size_t size)
{
    if (StartsWith(head, size, "BM", 2))
        return FormatBmp;
    if (StartsWith(head, size, "GIF8", 4))
        return FormatGif;
    if (StartsWith(head, size, "\xFF\xD8\xFF", 3))
        return FormatJpeg;
    if (StartsWith(head, size, kPngSignature, sizeof kPngSignature))
        return FormatPng;
    return FormatUnknown;
}

bool RasterDecoderAcceptsSignature(uint32_t format, const unsigned char* head, size_t size)
{
    switch (format) {
    case FormatBmp:
        return head && CRasterBmpCodec::AcceptsSignature(head, size);
    case FormatGif:
        return StartsWith(head, size, "GIF8", 4);
    case FormatJpeg:
        // libjpeg asks for the start-of-image marker and nothing more.
        return StartsWith(head, size, "\xFF\xD8", 2);
    case FormatPng:
        return StartsWith(head, size, kPngSignature, sizeof kPngSignature);
    default:
        return false;
    }
}
