// A small command-line driver around the GIF codec, for whole-process timing
// against other tools (bench/gif_compare.py).
//
//   gif_driver each FILE              decode every frame the way the wizard
//                                     loads an animation: one decode per frame
//   gif_driver walk FILE              decode every frame in one walk
//   gif_driver write N SIZE OUT [lzw|optimize]
//                                     write N synthetic SIZE x SIZE 8-bit frames
//                                     with the run coder (default), the LZW
//                                     coder, or LZW with frame differencing
//
// The decoders print the number of frames and a checksum of all pixels, so the
// work cannot be skipped and two runs can be compared.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "gif_codec.h"
#include "raster_file.h"

namespace {

uint64_t Checksum(const CRaster& p, uint64_t sum)
{
    const uint8_t* bits = p.GetBits();
    const size_t n = size_t(p.GetEffWidth()) * p.GetHeight();
    for (size_t i = 0; i < n; ++i)
        sum = sum * 31 + bits[i];
    return sum;
}

int DecodeEach(const char* path)
{
    long count = 1;
    uint64_t sum = 0;
    for (long k = 0; k < count; ++k) {
        CRasterIOFile file;
        if (!file.Open(path, "rb")) {
            std::fprintf(stderr, "cannot open %s\n", path);
            return 1;
        }
        CRasterGifCodec codec;
        codec.SetFrame(k);
        if (!codec.Decode(&file)) {
            std::fprintf(stderr, "frame %ld: %s\n", k, codec.GetLastError());
            return 1;
        }
        count = codec.GetNumFrames();
        sum = Checksum(codec, sum);
    }
    std::printf("%ld frames, checksum %016llx\n", count, static_cast<unsigned long long>(sum));
    return 0;
}

int DecodeWalk(const char* path)
{
    CRasterIOFile file;
    if (!file.Open(path, "rb")) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return 1;
    }
    CRasterGifCodec codec;
    uint64_t sum = 0;
    long count = 0;
    const bool ok = codec.DecodeAllFrames(&file, [&](CRaster& frame, int) {
        sum = Checksum(frame, sum);
        ++count;
        return true;
    });
    if (!ok) {
        std::fprintf(stderr, "frame %d: %s\n", codec.GetFailedFrame(), codec.GetLastError());
        return 1;
    }
    std::printf("%ld frames, checksum %016llx\n", count, static_cast<unsigned long long>(sum));
    return 0;
}

// Frames like a phone animation made from a photo: smooth gradients that move
// from frame to frame, a moving block, and a little noise.
int Write(int count, int size, const char* out, const GifWriteOptions& options)
{
    std::vector<std::unique_ptr<CRaster>> frames;
    std::vector<CRaster*> ptrs;
    uint32_t seed = 12345;
    for (int f = 0; f < count; ++f) {
        auto p = std::make_unique<CRaster>(uint32_t(size), uint32_t(size), 8, FormatGif);
        for (int i = 0; i < 256; ++i)
            p->SetPaletteIndex(uint8_t(i), uint8_t(i), uint8_t((i * 3) & 0xFF), uint8_t(255 - i));
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                seed = seed * 1103515245 + 12345;
                int v = (x + y + 2 * f) / 2;
                if (x > f % size && x < f % size + size / 4 && y > size / 3 && y < size / 2)
                    v = 200;
                if ((seed >> 16) % 16 == 0)
                    v += int((seed >> 8) % 3);
                p->SetPixelIndex(x, y, uint8_t(v));
            }
        p->SetFrameDelay(10);
        ptrs.push_back(p.get());
        frames.push_back(std::move(p));
    }
    CRasterIOFile file;
    if (!file.Open(out, "wb")) {
        std::fprintf(stderr, "cannot create %s\n", out);
        return 1;
    }
    CRasterGifCodec writer;
    writer.SetWriteOptions(options);
    if (!writer.Encode(&file, ptrs.data(), count)) {
        std::fprintf(stderr, "%s\n", writer.GetLastError());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "each") == 0)
        return DecodeEach(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "walk") == 0)
        return DecodeWalk(argv[2]);
    if ((argc == 5 || argc == 6) && std::strcmp(argv[1], "write") == 0 && std::atoi(argv[2]) > 0 &&
        std::atoi(argv[3]) > 0) {
        GifWriteOptions options;
        if (argc == 6) {
            options.bLzw = std::strcmp(argv[5], "lzw") == 0 || std::strcmp(argv[5], "optimize") == 0;
            options.bDifferencing = std::strcmp(argv[5], "optimize") == 0;
            if (!options.bLzw) {
                std::fprintf(stderr, "gif_driver: unknown coder '%s'\n", argv[5]);
                return 2;
            }
        }
        return Write(std::atoi(argv[2]), std::atoi(argv[3]), argv[4], options);
    }
    std::fprintf(stderr, "usage: gif_driver each FILE | walk FILE | write N SIZE OUT [lzw|optimize]\n");
    return 2;
}
