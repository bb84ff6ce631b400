#include "png_codec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <png.h>

#include "codec_util.h"
#include "raster_file.h"

namespace {

constexpr size_t kMessageBytes = 256;

// Limits that keep a hostile file from making libpng allocate without bound;
// the picture's own size is checked against kMaxRasterBlockBytes as well.
constexpr png_uint_32 kMaxSide = 1000000;
constexpr png_uint_32 kMaxCachedChunks = 1000;
constexpr png_alloc_size_t kMaxChunkBytes = 8000000;

void CopyMessage(char* message, const char* text)
{
    std::snprintf(message, kMessageBytes, "%s", text ? text : "");
}

void ErrorFn(png_structp png, png_const_charp text)
{
    CopyMessage(static_cast<char*>(png_get_error_ptr(png)), text);
    png_longjmp(png, 1);
}

void WarningFn(png_structp, png_const_charp) {}

void ReadFn(png_structp png, png_bytep data, size_t length)
{
    auto* file = static_cast<CRasterFile*>(png_get_io_ptr(png));
    if (file->Read(data, 1, length) != length)
        png_error(png, "Read Error");
}

// The default background, in the sample scale of a grey file of that depth
// (libpng compares and stores it without scaling).
png_uint_16 DefaultGrey(int bitDepth)
{
    if (bitDepth >= 8)
        return CRasterPngCodec::kDefaultBackground;
    const unsigned top = (1u << bitDepth) - 1;
    return png_uint_16((CRasterPngCodec::kDefaultBackground * top + 127) / 255);
}

} // namespace

// Memory that must outlive the longjmp of ReadPng; freed by Decode.
struct CRasterPngCodec::Buffers {
    uint8_t* rows = nullptr;
};

bool CRasterPngCodec::Cancelled() const
{
    return codec::EscapeSet(&info.nEscape) || codec::EscapeSet(m_pWatchedEscape);
}

bool CRasterPngCodec::Decode(CRasterFile* in)
{
    char message[kMessageBytes] = {};
    if (!in) {
        SetLastError("Read Error");
        return false;
    }
    Buffers buffers;
    const bool ok = ReadPng(in, message, &buffers);
    std::free(buffers.rows);
    if (ok)
        return true;
    Destroy();
    SetLastError(message);
    return false;
}

// libpng reports errors by longjmp back into this function, so only plain
// pointers and scalars live here, and what must be freed sits in *buffers.
bool CRasterPngCodec::ReadPng(CRasterFile* in, char* message, Buffers* buffers)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, message, ErrorFn, WarningFn);
    if (!png) {
        CopyMessage(message, "Failed to create PNG structure");
        return false;
    }
    png_infop pinfo = png_create_info_struct(png);
    if (!pinfo) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        CopyMessage(message, "Failed to initialize PNG info structure");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &pinfo, nullptr);
        return false;
    }

    png_set_read_fn(png, in, ReadFn);
#ifdef TESSARY_FUZZING
    // Mutated inputs almost never carry valid checksums; without this the
    // fuzzer would hardly get past the first chunk.
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
#endif
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_set_chunk_cache_max(png, kMaxCachedChunks);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);

    png_read_info(png, pinfo);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, pinfo, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    const int pixelDepth = bitDepth * png_get_channels(png, pinfo);
    // Four bytes a pixel is the widest row we ask libpng for.
    if (!RasterBlockBytes(width, height, 32, nullptr))
        png_error(png, "Image too large");

    // The palette's transparency values, taken before compositing makes
    // libpng drop them from the info structure.
    png_byte transAlpha[256] = {};
    int transCount = 0;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_bytep trans = nullptr;
        png_color_16p transColour = nullptr;
        if (png_get_tRNS(png, pinfo, &trans, &transCount, &transColour) && trans && transCount > 0) {
            transCount = transCount > 256 ? 256 : transCount;
            std::memcpy(transAlpha, trans, size_t(transCount));
        } else {
            transCount = 0;
        }
    }

    png_color_16p fileBackground = nullptr;
    const bool hasBackground = png_get_bKGD(png, pinfo, &fileBackground) != 0 && fileBackground;
    const bool keepAlpha = pixelDepth == 32 && (colorType & PNG_COLOR_MASK_ALPHA) != 0;
    if (pixelDepth != 32) {
        if (hasBackground) {
            png_set_background(png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
        } else {
            png_color_16 grey{};
            grey.red = grey.green = grey.blue = kDefaultBackground;
            grey.gray = DefaultGrey(bitDepth);
            png_set_background(png, &grey, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
        }
    }
    if (bitDepth == 16)
        png_set_strip_16(png);
    if (keepAlpha && colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    if ((colorType & PNG_COLOR_MASK_COLOR) != 0 || keepAlpha)
        png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, pinfo);

    const int bpp = pixelDepth == 16 ? 8 : pixelDepth < 16 ? pixelDepth : 24;
    const size_t rowBytes = png_get_rowbytes(png, pinfo);
    const int outChannels = png_get_channels(png, pinfo);
    const int outDepth = png_get_bit_depth(png, pinfo);
    // What libpng will hand over must fit what the rows and planes hold.
    const bool layoutOk = keepAlpha ? (outChannels == 4 && outDepth == 8)
                          : bpp == 24 ? (outChannels == 3 && outDepth == 8)
                                      : (outChannels == 1 && outDepth == (bpp == 8 ? 8 : pixelDepth));
    if (!layoutOk)
        png_error(png, "Unsupported PNG pixel layout");

    if (!Create(width, height, bpp, FormatPng))
        png_error(png, "Can't allocate memory");

    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(png, pinfo, &palette, &count) && palette) {
            RGBQUAD entries[256] = {};
            for (int i = 0; i < count && i < 256; ++i)
                entries[i] = MakeRgbQuad(palette[i].red, palette[i].green, palette[i].blue);
            SetPalette(entries, uint32_t(count));
        }
    } else if (bpp <= 8) {
        const uint32_t colours = GetNumColors();
        if (bitDepth == 2) {
            static const uint8_t kGreys[4] = {0, 85, 170, 255};
            for (uint8_t i = 0; i < 4; ++i)
                SetPaletteIndex(i, kGreys[i], kGreys[i], kGreys[i], 0);
        } else {
            const uint32_t step = 255 / (colours - 1);
            for (uint32_t i = 0; i < colours; ++i)
                SetPaletteIndex(uint8_t(i), uint8_t(i * step), uint8_t(i * step), uint8_t(i * step), 0);
        }
    }

    if (transCount > 0) {
        RGBQUAD* entries = GetPalette();
        const int colours = int(GetNumColors());
        for (int i = 0; i < transCount && i < colours; ++i)
            entries[i].rgbReserved = transAlpha[i];
        if (transCount == 1 && transAlpha[0] == 0) {
            SetTransIndex(0);
        } else {
            AlphaPaletteEnable(true);
            for (int i = transCount; i < colours; ++i)
                entries[i].rgbReserved = 255;
        }
    }

    if (pixelDepth == 32 && hasBackground) {
        SetTransColor(MakeRgbQuad(uint8_t(fileBackground->red), uint8_t(fileBackground->green),
                                  uint8_t(fileBackground->blue)));
        // The kinds composed above get the background at the file's depth and
        // then lose the low byte of 16-bit samples; a grey file's colour is its grey.
        const bool grey = (colorType & PNG_COLOR_MASK_COLOR) == 0;
        const int shift = bitDepth == 16 ? 8 : 0;
        auto level = [&](png_uint_16 v) { return uint8_t((grey ? fileBackground->gray : v) >> shift); };
        SetFileBackground(
            MakeRgbQuad(level(fileBackground->red), level(fileBackground->green), level(fileBackground->blue)));
    }

    if (keepAlpha && !AlphaCreate())
        png_error(png, "Can't allocate memory");

    // An interlaced file is read pass by pass into one buffer for the whole
    // picture, because every pass adds pixels to rows the earlier ones began.
    const bool interlaced = passes > 1;
    buffers->rows = static_cast<uint8_t*>(std::calloc(interlaced ? height : 1, rowBytes));
    if (!buffers->rows)
        png_error(png, "Can't allocate memory");
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            if (Cancelled())
                png_error(png, "Cancelled");
            uint8_t* row = buffers->rows + (interlaced ? size_t(y) * rowBytes : 0);
            png_read_row(png, row, nullptr);
            if (pass == passes - 1)
                StoreRow(row, height - 1 - y, bitDepth, rowBytes);
        }
    }

    png_destroy_read_struct(&png, &pinfo, nullptr);
    return true;
}

void CRasterPngCodec::StoreRow(const uint8_t* src, uint32_t y, int fileBitDepth, size_t rowBytes)
{
    uint8_t* dst = GetBits(y);
    const uint32_t width = GetWidth();
    if (HasAlpha()) {
        uint8_t* alpha = AlphaGetPointer(0, long(y));
        for (uint32_t x = 0; x < width; ++x, src += 4, dst += 3) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            alpha[x] = src[3];
        }
    } else if (GetBpp() == 4 && fileBitDepth == 2) {
        // Two-bit samples become nibbles: four pixels a byte become two.
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t v = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3;
            if (x & 1)
                dst[x >> 1] |= v;
            else
                dst[x >> 1] = uint8_t(v << 4);
        }
    } else {
        const size_t eff = GetEffWidth();
        std::memcpy(dst, src, rowBytes < eff ? rowBytes : eff);
    }
}
