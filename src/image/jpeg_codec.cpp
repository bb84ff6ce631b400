#include "jpeg_codec.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include <jerror.h>
#include <jpeglib.h>

#include "codec_util.h"
#include "raster_file.h"

namespace {

constexpr size_t kInputBufferBytes = 4096;
// An APP1 segment holds at most 65533 bytes after its length field.
constexpr size_t kMaxSegmentBytes = 65533;

// libjpeg's source manager over a CRasterFile. `pub` comes first so that the
// library's pointer to it is also a pointer to the whole record.
struct SourceManager {
    jpeg_source_mgr pub;
    CRasterFile* file;
    bool startOfFile;
    bool cutShort; // the file ended before the end-of-image marker
    JOCTET buffer[kInputBufferBytes];
    // The first APP1 segment that is an Exif block, kept for its orientation.
    size_t exifBytes;
    JOCTET exif[kMaxSegmentBytes];
};

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf landing;
    char* message; // JMSG_LENGTH_MAX bytes
};

void ErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->landing, 1);
}

// Warnings (corrupt data, premature end) are not shown to anyone.
void OutputMessage(j_common_ptr) {}

void InitSource(j_decompress_ptr cinfo)
{
    reinterpret_cast<SourceManager*>(cinfo->src)->startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    size_t n = src->file->Read(src->buffer, 1, kInputBufferBytes);
    if (n == 0) {
        if (src->startOfFile)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // A file cut short still gives a picture: warn and pretend the image
        // ends here, so the rest of it decodes as grey blocks.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->cutShort = true;
        src->buffer[0] = JOCTET(0xFF);
        src->buffer[1] = JOCTET(JPEG_EOI);
        n = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    src->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    if (count <= 0)
        return;
    while (count > long(src->pub.bytes_in_buffer)) {
        count -= long(src->pub.bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

int NextByte(j_decompress_ptr cinfo)
{
    jpeg_source_mgr* src = cinfo->src;
    if (src->bytes_in_buffer == 0)
        (*src->fill_input_buffer)(cinfo); // never suspends: a file that ends gives an end marker
    --src->bytes_in_buffer;
    return *src->next_input_byte++;
}

// Reads an APP1 segment and keeps it when it is the first Exif block; XMP and
// other APP1 users are passed over.
boolean ReadApp1(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    const int high = NextByte(cinfo);
    const int low = NextByte(cinfo);
    const long length = ((high << 8) | low) - 2;
    const bool keep = src->exifBytes == 0;
    size_t kept = 0;
    for (long i = 0; i < length; ++i) {
        const int b = NextByte(cinfo);
        if (keep)
            src->exif[kept++] = JOCTET(b);
    }
    if (keep && kept >= 6 && std::memcmp(src->exif, "Exif\0\0", 6) == 0)
        src->exifBytes = kept;
    return TRUE;
}

// The orientation (tag 0x0112) in the first image directory of an Exif block:
// 1 to 8, or 1 when there is none or the block cannot be read. Every offset
// is checked against the block, in either byte order.
int ExifOrientation(const uint8_t* block, size_t size)
{
    constexpr size_t kExifHeaderBytes = 6; // "Exif" and two zero bytes
    if (size < kExifHeaderBytes + 8)
        return 1;
    const uint8_t* tiff = block + kExifHeaderBytes;
    const size_t n = size - kExifHeaderBytes;
    bool little = false;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        little = true;
    else if (!(tiff[0] == 'M' && tiff[1] == 'M'))
        return 1;
    auto u16 = [&](size_t at) {
        return little ? uint32_t(tiff[at] | (tiff[at + 1] << 8)) : uint32_t((tiff[at] << 8) | tiff[at + 1]);
    };
    auto u32 = [&](size_t at) {
        return little ? (u16(at) | (u16(at + 2) << 16)) : ((u16(at) << 16) | u16(at + 2));
    };
    if (u16(2) != 42)
        return 1;
    const uint64_t directory = u32(4);
    if (directory + 2 > n)
        return 1;
    constexpr uint32_t kOrientationTag = 0x0112;
    constexpr uint32_t kShortType = 3;
    // A directory that announces more entries than the block holds is broken
    // as a whole.
    const uint32_t entries = u16(size_t(directory));
    if (directory + 2 + 12 * uint64_t(entries) > n)
        return 1;
    for (uint32_t i = 0; i < entries; ++i) {
        const uint64_t entry = directory + 2 + 12 * uint64_t(i);
        if (u16(size_t(entry)) != kOrientationTag)
            continue;
        if (u16(size_t(entry) + 2) != kShortType || u32(size_t(entry) + 4) != 1)
            return 1;
        const uint32_t value = u16(size_t(entry) + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

// Asks libjpeg for the smallest of the scales 1/8, 1/4 and 1/2 that keeps
// the picture's shorter side at least `minSide` pixels (these three have fast
// reduced inverse transforms); a picture that no scale keeps large enough is
// read whole. The output sizes are libjpeg's own, rounded up.
void ChooseScaleFor(jpeg_decompress_struct* cinfo, uint32_t minSide)
{
    cinfo->scale_num = 1;
    cinfo->scale_denom = 1;
    if (minSide == 0)
        return;
    for (unsigned denom : {8u, 4u, 2u}) {
        cinfo->scale_num = 1;
        cinfo->scale_denom = denom;
        jpeg_calc_output_dimensions(cinfo);
        if (cinfo->output_width >= minSide && cinfo->output_height >= minSide)
            return;
    }
    cinfo->scale_num = 1;
    cinfo->scale_denom = 1;
}

void CopyMessage(char* message, const char* text)
{
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", text);
}

} // namespace

void CRasterJpegCodec::ChooseScale(jpeg_decompress_struct* cinfo) const
{
    ChooseScaleFor(cinfo, GetDecodeMinSide());
}

bool CRasterJpegCodec::Cancelled() const
{
    return codec::EscapeSet(&info.nEscape) || codec::EscapeSet(m_pWatchedEscape);
}

bool CRasterJpegCodec::Decode(CRasterFile* in)
{
    char message[JMSG_LENGTH_MAX] = {};
    if (!in) {
        SetLastError("Empty input file");
        return false;
    }
    Notes notes;
    if (!Decompress(in, message, &notes)) {
        Destroy();
        SetLastError(message);
        return false;
    }
    if (notes.cutShort)
        SetTruncation("the image data stops before the end of the picture");
    if (!TurnUpright(notes.orientation)) {
        Destroy();
        SetLastError("Can't allocate memory");
        return false;
    }
    return true;
}

// Cameras store the picture as the sensor saw it and say in the Exif
// orientation how it is to be shown: 2 mirrored, 3 turned half round,
// 4 flipped, 5 mirrored across the main diagonal, 6 turned a quarter
// clockwise to be shown, 7 mirrored across the other diagonal, 8 turned a
// quarter counter-clockwise.
bool CRasterJpegCodec::TurnUpright(int orientation)
{
    bool ok = true;
    switch (orientation) {
    case 2:
        ok = Mirror();
        break;
    case 3:
        ok = Mirror() && Flip();
        break;
    case 4:
        ok = Flip();
        break;
    case 5:
        ok = RotateRight() && Mirror();
        break;
    case 6:
        ok = RotateRight();
        break;
    case 7:
        ok = RotateLeft() && Mirror();
        break;
    case 8:
        ok = RotateLeft();
        break;
    default:
        return true;
    }
    if (ok && orientation >= 5) {
        const long xDpi = GetXDPI();
        SetXDPI(GetYDPI());
        SetYDPI(xDpi);
    }
    return ok;
}

// libjpeg reports errors by longjmp back into this function, so everything
// here is a plain C record or a scalar: no destructor may be skipped.
bool CRasterJpegCodec::Decompress(CRasterFile* in, char* message, Notes* notes)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    SourceManager src;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = OutputMessage;
    err.message = message;

    if (setjmp(err.landing)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    jpeg_create_decompress(&cinfo);
    // Without a backing store, libjpeg refuses whole-image buffers (as for
    // progressive files) beyond this instead of allocating without bound.
    cinfo.mem->max_memory_to_use = long(kMaxRasterBlockBytes);

    src.pub.init_source = InitSource;
    src.pub.fill_input_buffer = FillInputBuffer;
    src.pub.skip_input_data = SkipInputData;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = TermSource;
    src.pub.bytes_in_buffer = 0;
    src.pub.next_input_byte = nullptr;
    src.file = in;
    src.startOfFile = true;
    src.cutShort = false;
    src.exifBytes = 0;
    cinfo.src = &src.pub;
    jpeg_set_marker_processor(&cinfo, JPEG_APP0 + 1, ReadApp1);

    jpeg_read_header(&cinfo, TRUE);
    if (!RasterBlockBytes(cinfo.image_width, cinfo.image_height, cinfo.num_components == 1 ? 8 : 24, nullptr)) {
        CopyMessage(message, "Image too large");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    ChooseScale(&cinfo);
    jpeg_start_decompress(&cinfo);

    const int components = cinfo.output_components;
    if (!Create(cinfo.output_width, cinfo.output_height, 8 * components, FormatJpeg)) {
        CopyMessage(message, "Can't allocate memory");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    if (cinfo.density_unit == 2) {
        // Dots per centimetre.
        SetXDPI(long(cinfo.X_density * 2.54));
        SetYDPI(long(cinfo.Y_density * 2.54));
    } else {
        SetXDPI(cinfo.X_density);
        SetYDPI(cinfo.Y_density);
    }

    const bool quantised = cinfo.quantize_colors;
    if (quantised) {
        RGBQUAD entries[256] = {};
        const int colours = cinfo.actual_number_of_colors < 256 ? cinfo.actual_number_of_colors : 256;
        for (int i = 0; i < colours; ++i) {
            const uint8_t r = cinfo.colormap[0][i];
            const uint8_t g = cinfo.out_color_components > 1 ? cinfo.colormap[1][i] : r;
            const uint8_t b = cinfo.out_color_components > 2 ? cinfo.colormap[2][i] : r;
            entries[i] = MakeRgbQuad(r, g, b);
        }
        SetPalette(entries, uint32_t(colours));
    } else if (components == 1) {
        for (int i = 0; i < 256; ++i)
            SetPaletteIndex(uint8_t(i), uint8_t(i), uint8_t(i), uint8_t(i), 0);
    }

    const size_t stride = size_t(cinfo.output_width) * size_t(components);
    JSAMPARRAY line = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                 JDIMENSION(stride), 1);
    const size_t eff = GetEffWidth();
    const uint32_t width = cinfo.output_width;
    while (cinfo.output_scanline < cinfo.output_height) {
        if (Cancelled()) {
            CopyMessage(message, "Cancelled");
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
        // The first scanline is the top row, the model's last.
        uint8_t* dst = GetBits(cinfo.output_height - 1 - cinfo.output_scanline);
        jpeg_read_scanlines(&cinfo, line, 1);
        const uint8_t* s = line[0];
        if (components == 4 && !quantised) {
            // Adobe writes CMYK inverted: each stored value is 255 minus the ink.
            for (uint32_t x = 0; x < width; ++x, s += 4, dst += 3) {
                const unsigned k = s[3];
                dst[0] = uint8_t(s[2] * k / 255);
                dst[1] = uint8_t(s[1] * k / 255);
                dst[2] = uint8_t(s[0] * k / 255);
            }
        } else {
            std::memcpy(dst, s, stride < eff ? stride : eff);
        }
    }

    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    notes->cutShort = src.cutShort;
    notes->orientation = ExifOrientation(src.exif, src.exifBytes);

    if (components == 3 && !quantised) {
        for (uint32_t y = 0; y < GetHeight(); ++y) {
            uint8_t* p = GetBits(y);
            for (uint32_t x = 0; x < width; ++x, p += 3) {
                const uint8_t red = p[0];
                p[0] = p[2];
                p[2] = red;
            }
        }
    }
    return true;
}
