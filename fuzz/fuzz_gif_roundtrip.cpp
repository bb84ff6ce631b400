// Round trip of the GIF writer: pictures made from the input are written and
// read back, and every pixel must come back as it went in.
//
// Input layout: byte 0 chooses the colour depth (1 to 8 bits) and the writer's
// options, byte 1 the width and byte 3 the height (1 to 256 each), byte 5 the
// number of frames (1 to 4); from byte 6 on, pixel indices, repeated as needed.
//
// Two paths are checked: the LZW coder alone at the depth's code size, read by
// our decoder from a one-image file; and the whole writer (1, 4 or 8 bits per
// pixel, with the run coder, LZW, or LZW with frame differencing), every frame
// read back with one walk of our decoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "gif_codec.h"
#include "raster_file.h"

namespace {

[[noreturn]] void Mismatch()
{
    std::abort();
}

void Word(std::vector<uint8_t>& f, uint32_t v)
{
    f.push_back(uint8_t(v & 0xFF));
    f.push_back(uint8_t(v >> 8));
}

// The LZW coder alone: one image with a global table of 2^depth entries.
void CheckLzwCoder(const std::vector<uint8_t>& pixels, uint32_t w, uint32_t h, int depth)
{
    const int codeSize = depth < 2 ? 2 : depth;
    const std::vector<uint8_t> data = GifLzwImageData(pixels.data(), pixels.size(), codeSize);
    std::vector<uint8_t> f = {'G', 'I', 'F', '8', '9', 'a'};
    Word(f, w);
    Word(f, h);
    f.push_back(uint8_t(0x80 | (depth - 1)));
    f.push_back(0);
    f.push_back(0);
    for (uint32_t i = 0; i < (1u << depth); ++i) {
        f.push_back(uint8_t(i));
        f.push_back(uint8_t(255 - i));
        f.push_back(uint8_t(i * 7));
    }
    f.push_back(0x2C);
    Word(f, 0);
    Word(f, 0);
    Word(f, w);
    Word(f, h);
    f.push_back(0);
    f.push_back(uint8_t(codeSize));
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(0x3B);

    CRasterMemFile in(f.data(), unsigned(f.size()));
    CRasterGifCodec codec;
    if (!codec.Decode(&in) || codec.GetWidth() != w || codec.GetHeight() != h || codec.GetBadCodeCount() != 0)
        Mismatch();
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            if (codec.GetPixelIndex(long(x), long(h - 1 - y)) != pixels[size_t(y) * w + x])
                Mismatch();
}

// The whole writer: frames with one shared palette of distinct colours, so a
// shown colour names its index.
void CheckWriter(const std::vector<uint8_t>& pixels, uint32_t w, uint32_t h, int depth, int frameCount,
                 const GifWriteOptions& options)
{
    const long bpp = depth == 1 ? 1 : depth <= 4 ? 4 : 8;
    const uint32_t mask = (1u << depth) - 1;
    std::vector<std::unique_ptr<CRaster>> frames;
    std::vector<CRaster*> ptrs;
    size_t next = 0;
    for (int k = 0; k < frameCount; ++k) {
        auto frame = std::make_unique<CRaster>(w, h, bpp, FormatGif);
        if (!frame->IsValid())
            return;
        for (uint32_t i = 0; i < frame->GetNumColors(); ++i)
            frame->SetPaletteIndex(uint8_t(i), uint8_t(i), uint8_t(255 - i), uint8_t(i * 7));
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                // Later frames repeat most of the one before, as animations do.
                uint8_t v = pixels[next++ % pixels.size()] & mask;
                if (k > 0 && (v & 3) != 0)
                    v = uint8_t(frames.back()->GetPixelIndex(long(x), long(y)));
                frame->SetPixelIndex(long(x), long(y), v);
            }
        frame->SetFrameDelay(uint32_t(k + 1));
        ptrs.push_back(frame.get());
        frames.push_back(std::move(frame));
    }

    CRasterMemFile out;
    out.Open();
    CRasterGifCodec writer;
    writer.SetWriteOptions(options);
    if (!writer.Encode(&out, ptrs.data(), frameCount))
        Mismatch();
    const long size = out.Size();
    unsigned char* buffer = out.GetBuffer();
    std::vector<uint8_t> file(buffer, buffer + size);
    std::free(buffer);

    CRasterMemFile in(file.data(), unsigned(file.size()));
    CRasterGifCodec reader;
    int seen = 0;
    const bool ok = reader.DecodeAllFrames(&in, [&](CRaster& shown, int index) {
        const CRaster& want = *frames[size_t(index)];
        if (shown.GetWidth() != w || shown.GetHeight() != h || shown.GetFrameDelay() != uint32_t(index + 1))
            Mismatch();
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const RGBQUAD a = shown.GetPixelColor(long(x), long(y));
                const RGBQUAD b = want.GetPixelColor(long(x), long(y));
                if (a.rgbRed != b.rgbRed || a.rgbGreen != b.rgbGreen || a.rgbBlue != b.rgbBlue)
                    Mismatch();
            }
        ++seen;
        return true;
    });
    if (!ok || seen != frameCount)
        Mismatch();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 7)
        return 0;
    const int depth = 1 + (data[0] & 7);
    GifWriteOptions options;
    options.bLzw = (data[0] & 0x18) != 0;
    options.bDifferencing = (data[0] & 0x10) != 0;
    const uint32_t w = 1 + uint32_t(data[1]);
    const uint32_t h = 1 + uint32_t(data[3]);
    const int frameCount = 1 + (data[5] & 3);
    const uint32_t mask = (1u << depth) - 1;
    std::vector<uint8_t> pixels;
    pixels.reserve(size_t(w) * h);
    for (size_t i = 0; i < size_t(w) * h; ++i)
        pixels.push_back(data[6 + i % (size - 6)] & mask);

    CheckLzwCoder(pixels, w, h, depth);
    CheckWriter(pixels, w, h, depth, frameCount, options);
    return 0;
}
