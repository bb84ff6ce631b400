// Round trip of the GIF writer: pictures made from the input are written and
// read back, and every pixel must come back as it went in.
//
// Input layout: byte 0 chooses the colour depth (1 to 8 bits) and the writer's
// options, byte 1 the width and byte 3 the height (1 to 256 each), byte 5 the
// number of frames (1 to 4); from byte 6 on, pixel indices, repeated as needed.
//
// Two paths are checked: the LZW coder alone at the depth's code size, read by
// our decoder from a one-image file; and the whole writer (1, 4 or 8 bits per
// pixel, with the run coder, LZW, or LZW with frame differencing). Whole
// frames are read back with one walk of our decoder; differenced frames are
// decoded block by block and composed here, so that what is checked is the
// writer's choice of rectangles and transparency.
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

void CheckSameColours(const CRaster& shown, const CRaster& want, uint32_t w, uint32_t h)
{
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const RGBQUAD a = shown.GetPixelColor(long(x), long(y));
            const RGBQUAD b = want.GetPixelColor(long(x), long(y));
            if (a.rgbRed != b.rgbRed || a.rgbGreen != b.rgbGreen || a.rgbBlue != b.rgbBlue)
                Mismatch();
        }
}

// Whole frames: every frame as our decoder shows it.
void CheckDecodedFrames(std::vector<uint8_t>& file, const std::vector<std::unique_ptr<CRaster>>& frames, uint32_t w,
                        uint32_t h)
{
    CRasterMemFile in(file.data(), unsigned(file.size()));
    CRasterGifCodec reader;
    size_t seen = 0;
    const bool ok = reader.DecodeAllFrames(&in, [&](CRaster& shown, int index) {
        if (shown.GetWidth() != w || shown.GetHeight() != h || shown.GetFrameDelay() != uint32_t(index + 1))
            Mismatch();
        CheckSameColours(shown, *frames[size_t(index)], w, h);
        ++seen;
        return true;
    });
    if (!ok || seen != frames.size())
        Mismatch();
}

size_t SkipSubBlocks(const std::vector<uint8_t>& f, size_t pos)
{
    while (pos < f.size() && f[pos] != 0)
        pos += 1 + f[pos];
    if (pos >= f.size())
        Mismatch();
    return pos + 1;
}

// Differenced frames: each image block is cut out into a file of its own,
// decoded alone (its indices and transparency), and drawn over the picture
// shown so far, as a decoder composes frames that are not disposed of; the
// result must be each frame as it was given.
void CheckComposedFrames(const std::vector<uint8_t>& f, const std::vector<std::unique_ptr<CRaster>>& frames,
                         uint32_t w, uint32_t h)
{
    const size_t globalBytes = (f[10] & 0x80) ? size_t(3) << ((f[10] & 7) + 1) : 0;
    const std::vector<uint8_t> globalTable(f.begin() + 13, f.begin() + 13 + long(globalBytes));
    CRaster shown(w, h, 24);
    size_t pos = 13 + globalBytes;
    std::vector<uint8_t> gce;
    size_t index = 0;
    while (pos < f.size() && f[pos] != 0x3B) {
        if (f[pos] == 0x21) {
            if (f[pos + 1] == 0xF9)
                gce.assign(f.begin() + long(pos), f.begin() + long(pos) + 8);
            pos = SkipSubBlocks(f, pos + 2);
            continue;
        }
        if (f[pos] != 0x2C || index >= frames.size() || gce.size() != 8)
            Mismatch();
        const uint32_t left = f[pos + 1] | f[pos + 2] << 8, top = f[pos + 3] | f[pos + 4] << 8;
        const uint32_t iw = f[pos + 5] | f[pos + 6] << 8, ih = f[pos + 7] | f[pos + 8] << 8;
        const uint8_t packed = f[pos + 9];
        const size_t localBytes = (packed & 0x80) ? size_t(3) << ((packed & 7) + 1) : 0;
        const size_t end = SkipSubBlocks(f, pos + 10 + localBytes + 1);
        if (((gce[3] >> 2) & 7) != 1 || left + iw > w || top + ih > h)
            Mismatch();

        // The block alone, on a screen of its own size at (0, 0).
        std::vector<uint8_t> one = {'G', 'I', 'F', '8', '9', 'a'};
        Word(one, iw);
        Word(one, ih);
        one.insert(one.end(), f.begin() + 10, f.begin() + 13);
        one.insert(one.end(), globalTable.begin(), globalTable.end());
        one.insert(one.end(), gce.begin(), gce.end());
        one.push_back(0x2C);
        Word(one, 0);
        Word(one, 0);
        one.insert(one.end(), f.begin() + long(pos) + 5, f.begin() + long(end));
        one.push_back(0x3B);
        CRasterMemFile in(one.data(), unsigned(one.size()));
        CRasterGifCodec block;
        if (!block.Decode(&in) || block.GetWidth() != iw || block.GetHeight() != ih)
            Mismatch();
        const bool bTrans = (gce[3] & 1) != 0;
        const uint8_t* table = localBytes ? &f[pos + 10] : globalTable.data();
        for (uint32_t y = 0; y < ih; ++y)
            for (uint32_t x = 0; x < iw; ++x) {
                const uint8_t p = block.GetPixelIndex(long(x), long(ih - 1 - y));
                if (bTrans && p == gce[6])
                    continue;
                shown.SetPixelColor(long(left + x), long(h - 1 - top - y),
                                    MakeRgbQuad(table[3 * p], table[3 * p + 1], table[3 * p + 2]));
            }
        if ((gce[4] | gce[5] << 8) != int(index + 1))
            Mismatch();
        CheckSameColours(shown, *frames[index], w, h);
        ++index;
        pos = end;
    }
    if (index != frames.size())
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
                // Later frames repeat most of the one before, as animations
                // do, and change the rest.
                uint8_t v = pixels[next++ % pixels.size()] & mask;
                if (k > 0)
                    v = (v & 3) != 0 ? uint8_t(frames.back()->GetPixelIndex(long(x), long(y)))
                                     : uint8_t((v ^ (37 * k)) & mask);
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

    if (options.bDifferencing)
        CheckComposedFrames(file, frames, w, h);
    else
        CheckDecodedFrames(file, frames, w, h);
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
