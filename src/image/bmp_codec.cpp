#include "bmp_codec.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "codec_util.h"
#include "raster_file.h"

namespace {

constexpr uint16_t kBmpSignature = 0x4D42; // "BM" read little-endian
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kCoreHeaderBytes = 12;
// The largest header Windows knows (BITMAPV5HEADER); a bigger size field is
// not a header we can make sense of, so the extra bytes are skipped unread.
constexpr uint32_t kLargestHeaderBytes = 124;

constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionRle8 = 1;
constexpr uint32_t kCompressionRle4 = 2;
constexpr uint32_t kCompressionBitFields = 3;
constexpr uint32_t kCompressionJpeg = 4;
constexpr uint32_t kCompressionPng = 5;

struct ChannelMasks {
    uint32_t red;
    uint32_t green;
    uint32_t blue;
};
// What a file without masks of its own means: 5-5-5 for 16 bits, and blue,
// green, red in the three low bytes (the fourth dropped) for 32 bits.
constexpr ChannelMasks kMasks16{0x7C00, 0x03E0, 0x001F};
constexpr ChannelMasks kMasks32{0x00FF0000, 0x0000FF00, 0x000000FF};

// Header fields as the decoder uses them, whichever header form the file has.
struct BmpHeader {
    uint32_t size = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t imageSize = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
};

// Moves a masked channel so that its top bit lands on bit 7 and keeps 8 bits.
// Hostile masks can ask for shifts in either direction or beyond the word.
uint8_t ShiftTo8(uint32_t value, int right)
{
    if (right >= 32 || right <= -32)
        return 0;
    return uint8_t((right >= 0 ? value >> right : value << -right) & 0xFF);
}

// The channel that `mask` selects in a pixel, scaled to 8 bits: its top bit
// lands on bit 7, narrower channels keep their low bits 0, wider ones lose
// their lowest bits.
uint8_t MaskedChannel(uint32_t pixel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    const int low = std::countr_zero(mask);
    const int width = std::bit_width(mask >> low);
    const uint32_t value = (pixel & mask) >> low;
    return width >= 8 ? uint8_t(value >> (width - 8)) : uint8_t(value << (8 - width));
}

long DpiFromPelsPerMeter(int32_t ppm)
{
    return long(std::floor(double(ppm) * 0.0254 + 0.5));
}

} // namespace

bool CRasterBmpCodec::AcceptsSignature(const uint8_t* head, size_t size)
{
    if (size >= 2 && codec::Le16(head) == kBmpSignature)
        return true;
    if (size < 4)
        return false;
    switch (codec::Le32(head)) {
    case kCoreHeaderBytes:
    case 16: // OS/2 2.x, shortened
    case kInfoHeaderBytes:
    case 52: // with the three colour masks
    case 56: // with the alpha mask too
    case 64: // OS/2 2.x
    case 108: // V4
    case kLargestHeaderBytes: // V5
        return true;
    default:
        return false;
    }
}

bool CRasterBmpCodec::Cancelled() const
{
    return codec::EscapeSet(&info.nEscape) || codec::EscapeSet(m_pWatchedEscape);
}

bool CRasterBmpCodec::Decode(CRasterFile* in)
{
    try {
        if (!in)
            throw "Not a BMP";
        DecodeOrThrow(in);
        return true;
    } catch (const char* text) {
        Destroy();
        SetLastError(text);
    } catch (const std::string& text) {
        Destroy();
        SetLastError(text.c_str());
    } catch (const std::bad_alloc&) {
        Destroy();
        SetLastError("Can't allocate memory");
    }
    return false;
}

void CRasterBmpCodec::DecodeOrThrow(CRasterFile* in)
{
    const long start = in->Tell();

    uint8_t fileHeader[kFileHeaderBytes];
    if (in->Read(fileHeader, sizeof fileHeader, 1) != 1)
        throw "Not a BMP";
    if (!AcceptsSignature(fileHeader, sizeof fileHeader))
        throw "Not a BMP";
    uint32_t dataOffset = 0;
    if (codec::Le16(fileHeader) == kBmpSignature) {
        dataOffset = codec::Le32(fileHeader + 10);
    } else {
        // No file header: the stream starts with the bitmap header itself.
        in->Seek(start, 0);
    }

    uint8_t raw[kInfoHeaderBytes];
    const size_t got = in->Read(raw, 1, sizeof raw);
    BmpHeader h;
    bool core = false;
    if (got >= kCoreHeaderBytes && codec::Le32(raw) == kCoreHeaderBytes) {
        // The old OS/2 core header: 16-bit width, height, planes and bit count,
        // nothing else. Step back over whatever was read past it, so a tiny
        // core file that holds fewer than 40 bytes still decodes.
        core = true;
        h.size = kCoreHeaderBytes;
        h.width = codec::Le16(raw + 4);
        h.height = codec::Le16(raw + 6);
        h.bitCount = codec::Le16(raw + 10);
        in->Seek(-long(got - kCoreHeaderBytes), 1);
    } else if (got < sizeof raw) {
        throw "Error reading BMP info";
    } else {
        h.size = codec::Le32(raw);
        h.width = int32_t(codec::Le32(raw + 4));
        h.height = int32_t(codec::Le32(raw + 8));
        h.bitCount = codec::Le16(raw + 14);
        h.compression = codec::Le32(raw + 16);
        h.imageSize = codec::Le32(raw + 20);
        h.xPelsPerMeter = int32_t(codec::Le32(raw + 24));
        h.yPelsPerMeter = int32_t(codec::Le32(raw + 28));
    }

    // Later header versions (V4, V5) are longer; their first 40 bytes are the
    // same. The colour masks of a bit-field file sit right after those 40 bytes,
    // inside the longer header or following the short one.
    ChannelMasks masks = h.bitCount == 32 ? kMasks32 : kMasks16;
    const bool bitFields = !core && (h.bitCount == 16 || h.bitCount == 32) && h.compression == kCompressionBitFields;
    uint8_t extra[kLargestHeaderBytes - kInfoHeaderBytes] = {};
    size_t have = 0;
    if (!core && h.size > kInfoHeaderBytes)
        have = in->Read(extra, 1, std::min<size_t>(h.size, kLargestHeaderBytes) - kInfoHeaderBytes);
    else if (bitFields)
        have = in->Read(extra, 1, 12);
    if (bitFields && have >= 12) {
        const ChannelMasks read{codec::Le32(extra), codec::Le32(extra + 4), codec::Le32(extra + 8)};
        // Writers that leave every mask 0 mean the usual layout.
        if (read.red || read.green || read.blue)
            masks = read;
    }

    // Refused before anything is allocated: a picture we cannot read must not
    // come out blank and be taken for a success.
    if (h.compression == kCompressionJpeg)
        throw "BMP with embedded JPEG data is not supported";
    if (h.compression == kCompressionPng)
        throw "BMP with embedded PNG data is not supported";
    switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
        if (h.compression != kCompressionNone && h.compression != kCompressionRle8 &&
            h.compression != kCompressionRle4)
            throw "compression type not supported";
        break;
    case 24:
        if (h.compression != kCompressionNone)
            throw "unknown compression";
        break;
    case 16:
    case 32:
        if (h.compression != kCompressionNone && h.compression != kCompressionBitFields)
            throw "unknown compression";
        break;
    default:
        throw std::string("BMP with ") + std::to_string(h.bitCount) + " bits per pixel is not supported";
    }

    // A negative height means the rows are stored top-down.
    const bool topDown = h.height < 0;
    const int64_t height = topDown ? -int64_t(h.height) : int64_t(h.height);
    if (h.width <= 0 || height == 0 || height > INT32_MAX)
        throw "Can't allocate memory";
    const uint32_t width = uint32_t(h.width);

    uint64_t fileImageSize = h.imageSize;
    if (fileImageSize == 0)
        fileImageSize = ((uint64_t(h.bitCount) * width + 31) / 32) * 4 * uint64_t(height);

    if (!Create(width, uint32_t(height), h.bitCount, 0))
        throw "Can't allocate memory";
    // Rows the file does not fill (short data, RLE deltas, odd bit counts)
    // must not show whatever the heap held before.
    Clear(0);
    SetXDPI(DpiFromPelsPerMeter(h.xPelsPerMeter));
    SetYDPI(DpiFromPelsPerMeter(h.yPelsPerMeter));

    if (Cancelled())
        throw "Cancelled";

    if (h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8) {
        // The palette always fills the picture's table, whatever the file's
        // colour count says.
        const uint32_t colours = GetNumColors();
        RGBQUAD entries[256] = {};
        if (core) {
            uint8_t triples[256 * 3] = {};
            in->Read(triples, 1, colours * 3);
            for (uint32_t i = 0; i < colours; ++i)
                entries[i] = RGBQUAD{triples[3 * i], triples[3 * i + 1], triples[3 * i + 2], 0};
        } else {
            in->Read(entries, 1, colours * sizeof(RGBQUAD));
        }
        SetPalette(entries, colours);
    }

    if (Cancelled())
        throw "Cancelled";

    if (dataOffset != 0)
        in->Seek(start + long(dataOffset), 0);

    uint8_t* bits = GetBits();
    const uint64_t imageBytes = head.biSizeImage;
    // Rows the file holds in full; a file that ends early keeps what it has
    // and says how much of it there was.
    uint64_t rowsRead = uint64_t(height);
    auto readRows = [&](uint8_t* dst, uint64_t bytes, uint64_t rowBytes) {
        const size_t got = in->Read(dst, 1, size_t(bytes));
        if (got < bytes)
            rowsRead = got / rowBytes;
    };
    switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
        if (h.compression == kCompressionRle8)
            rowsRead = DecodeRle8(in);
        else if (h.compression == kCompressionRle4)
            rowsRead = DecodeRle4(in);
        else
            readRows(bits, std::min(fileImageSize, imageBytes), GetEffWidth());
        break;
    case 16: {
        const uint64_t srcEff = ((uint64_t(width) + 1) / 2) * 4;
        readRows(bits, std::min(srcEff * uint64_t(height), imageBytes), srcEff);
        ExpandRgb16(masks.red, masks.green, masks.blue);
        break;
    }
    case 24:
        readRows(bits, std::min(fileImageSize, imageBytes), GetEffWidth());
        break;
    case 32: {
        uint64_t srcBytes = 0;
        if (!RasterBlockBytes(width, uint64_t(height), 32, &srcBytes))
            throw "can't allocate memory";
        std::vector<uint8_t> src;
        try {
            src.assign(size_t(srcBytes), 0);
        } catch (const std::bad_alloc&) {
            throw "can't allocate memory";
        }
        readRows(src.data(), src.size(), uint64_t(width) * 4);
        const uint32_t eff = GetEffWidth();
        for (uint64_t y = 0; y < uint64_t(height); ++y) {
            const uint8_t* s = src.data() + y * width * 4;
            uint8_t* d = bits + y * eff;
            for (uint32_t x = 0; x < width; ++x, s += 4, d += 3) {
                const uint32_t w = codec::Le32(s);
                d[0] = MaskedChannel(w, masks.blue);
                d[1] = MaskedChannel(w, masks.green);
                d[2] = MaskedChannel(w, masks.red);
            }
        }
        break;
    }
    }
    if (rowsRead < uint64_t(height)) {
        const std::string note = "the pixel data stops after " + std::to_string(rowsRead) + " of " +
                                 std::to_string(height) + " rows";
        SetTruncation(note.c_str());
    }

    if (topDown)
        FlipRows();
}

void CRasterBmpCodec::ExpandRgb16(uint32_t redMask, uint32_t greenMask, uint32_t blueMask)
{
    const int r = std::popcount(redMask);
    const int g = std::popcount(greenMask);
    const int b = std::popcount(blueMask);
    const uint64_t width = GetWidth();
    const uint64_t height = GetHeight();
    const uint64_t srcEff = ((width + 1) / 2) * 4;
    const uint64_t dstEff = GetEffWidth();
    uint8_t* bits = GetBits();
    // The 24-bit rows are wider than the 16-bit ones, so working from the last
    // pixel backwards never overwrites a 16-bit pixel that is still to be read.
    for (uint64_t y = height; y-- > 0;) {
        for (uint64_t x = width; x-- > 0;) {
            const uint32_t w = codec::Le16(bits + y * srcEff + 2 * x);
            uint8_t* d = bits + y * dstEff + 3 * x;
            d[0] = ShiftTo8(w & blueMask, r - 8);
            d[1] = ShiftTo8(w & greenMask, r + g - 8);
            d[2] = ShiftTo8(w & redMask, r + g + b - 8);
        }
    }
}

void CRasterBmpCodec::FlipRows()
{
    const uint32_t eff = GetEffWidth();
    const uint32_t height = GetHeight();
    uint8_t* bits = GetBits();
    std::vector<uint8_t> tmp(eff);
    for (uint32_t y = 0; y < height / 2; ++y) {
        uint8_t* a = bits + uint64_t(y) * eff;
        uint8_t* z = bits + uint64_t(height - 1 - y) * eff;
        std::memcpy(tmp.data(), a, eff);
        std::memcpy(a, z, eff);
        std::memcpy(z, tmp.data(), eff);
    }
}

// RLE8: runs of one colour byte, absolute runs of literal bytes, and escapes
// for end of line, end of bitmap and a jump (delta). Rows go from the bottom
// up. Anything a run would write outside a row is dropped.
uint64_t CRasterBmpCodec::DecodeRle8(CRasterFile* in)
{
    uint8_t* bits = GetBits();
    const uint64_t eff = GetEffWidth();
    const uint64_t height = GetHeight();
    const uint64_t width = GetWidth();
    uint64_t row = 0;
    uint64_t col = 0;
    auto put = [&](uint64_t c, uint8_t v) {
        if (row < height && c < eff)
            bits[row * eff + c] = v;
    };
    // Where the rows stand when the data run out: a last row the runs filled
    // is whole, even without its end-of-bitmap escape.
    auto cutAt = [&] { return row + 1 == height && col >= width ? height : row; };
    // A real stream needs far fewer codes than this; a hostile or endless one
    // (a device that never reports the end) stops here.
    uint64_t budget = 2 * eff * height + 2 * height + 1024;
    while (row < height && budget-- > 0) {
        const long n = in->GetC();
        if (n < 0)
            return cutAt();
        if (n > 0) {
            const long colour = in->GetC();
            if (colour < 0)
                return cutAt();
            for (long i = 0; i < n; ++i)
                put(col + i, uint8_t(colour));
            col += n;
            continue;
        }
        const long m = in->GetC();
        if (m < 0)
            return cutAt();
        if (m == 1)
            return height;
        if (m == 0) {
            col = 0;
            ++row;
        } else if (m == 2) {
            const long dx = in->GetC();
            const long dy = in->GetC();
            if (dx < 0 || dy < 0)
                return cutAt();
            col += dx;
            row += dy;
        } else {
            for (long i = 0; i < m; ++i) {
                const long v = in->GetC();
                if (v < 0)
                    return cutAt();
                put(col + i, uint8_t(v));
            }
            col += m;
            if (m & 1)
                in->GetC();
        }
    }
    return height;
}

// RLE4: as RLE8, but each pixel is half a byte and the column counts pixels.
// An encoded run alternates the two halves of its colour byte from the run's
// first pixel on (high half first), wherever the run starts in the row; an
// absolute run takes its pixels high half first from bytes read in turn, and
// is padded to a whole number of 16-bit words. Deltas move by whole pixels.
// The picture's rows are written as packed half bytes, the even column in the
// high half, whatever its bit count (the compression decides, not the bits).
uint64_t CRasterBmpCodec::DecodeRle4(CRasterFile* in)
{
    uint8_t* bits = GetBits();
    const uint64_t eff = GetEffWidth();
    const uint64_t height = GetHeight();
    const uint64_t width = GetWidth();
    uint64_t row = 0;
    uint64_t col = 0;
    auto put = [&](uint64_t x, uint8_t nibble) {
        if (row >= height || x / 2 >= eff)
            return;
        uint8_t& b = bits[row * eff + x / 2];
        b = (x & 1) ? uint8_t((b & 0xF0) | nibble) : uint8_t((b & 0x0F) | (nibble << 4));
    };
    // Where the rows stand when the data run out: a last row the runs filled
    // is whole, even without its end-of-bitmap escape.
    auto cutAt = [&] { return row + 1 == height && col >= width ? height : row; };
    uint64_t budget = 2 * eff * height + 2 * height + 1024;
    while (row < height && budget-- > 0) {
        const long n = in->GetC();
        if (n < 0)
            return cutAt();
        if (n > 0) {
            const long colour = in->GetC();
            if (colour < 0)
                return cutAt();
            for (long i = 0; i < n; ++i)
                put(col + i, (i & 1) ? uint8_t(colour & 0x0F) : uint8_t(colour >> 4));
            col += n;
            continue;
        }
        const long m = in->GetC();
        if (m < 0)
            return cutAt();
        if (m == 1)
            return height;
        if (m == 0) {
            col = 0;
            ++row;
        } else if (m == 2) {
            const long dx = in->GetC();
            const long dy = in->GetC();
            if (dx < 0 || dy < 0)
                return cutAt();
            col += dx;
            row += dy;
        } else {
            const long bytes = (m + 1) / 2;
            for (long i = 0; i < bytes; ++i) {
                const long data = in->GetC();
                if (data < 0)
                    return cutAt();
                put(col + 2 * i, uint8_t(data >> 4));
                if (2 * i + 1 < m)
                    put(col + 2 * i + 1, uint8_t(data & 0x0F));
            }
            col += m;
            if (bytes & 1)
                in->GetC();
        }
    }
    return height;
}
