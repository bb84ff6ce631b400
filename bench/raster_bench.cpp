// Throughput of scaling (each path) and of reduction to 256 colours with error
// diffusion, on a 1024 x 768 photo-like picture. Reports source megapixels per
// second as "Mpx=.../s". The reduction also runs through its earlier
// implementation (tests/image/decrease_bpp_reference.h), so one run shows how
// many times faster the library's is.
#include "raster.h"

#include "../tests/image/decrease_bpp_reference.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr uint32_t kWidth = 1024;
constexpr uint32_t kHeight = 768;

// Smooth gradients, a few hard edges and a little deterministic noise: close
// enough to a photograph for the nearest-colour search and the error
// diffusion to do realistic work.
const CRaster& Photo()
{
    static const CRaster photo = [] {
        CRaster img(kWidth, kHeight, 24);
        uint32_t seed = 12345;
        for (long y = 0; y < long(kHeight); ++y) {
            uint8_t* row = img.GetBits(uint32_t(y));
            for (long x = 0; x < long(kWidth); ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int noise = int(seed >> 28) - 8;
                const double fx = double(x) / kWidth;
                const double fy = double(y) / kHeight;
                int r = int(255 * fx * fy) + noise;
                int g = int(128 + 100 * std::sin(fx * 9.0 + fy * 4.0)) + noise;
                int b = int(255 * (1.0 - fy)) + noise;
                if ((x / 128 + y / 96) % 5 == 0) // blocks of flat colour with sharp edges
                    r = 230, g = 40, b = 60;
                row[3 * x] = uint8_t(std::clamp(b, 0, 255));
                row[3 * x + 1] = uint8_t(std::clamp(g, 0, 255));
                row[3 * x + 2] = uint8_t(std::clamp(r, 0, 255));
            }
        }
        return img;
    }();
    return photo;
}

void Report(benchmark::State& state)
{
    state.counters["Mpx"] = benchmark::Counter(double(kWidth) * kHeight * double(state.iterations()) / 1e6,
                                                benchmark::Counter::kIsRate);
}

void Resample(benchmark::State& state, long w, long h, int mode)
{
    for (auto _ : state) {
        state.PauseTiming();
        CRaster img(Photo());
        state.ResumeTiming();
        if (!img.Resample(w, h, mode))
            state.SkipWithError("Resample failed");
        benchmark::DoNotOptimize(img.GetBits());
    }
    Report(state);
}

void BM_ResampleNearest(benchmark::State& state)
{
    Resample(state, 128, 128, 1);
}

void BM_ResampleBilinear(benchmark::State& state)
{
    Resample(state, 1280, 960, 0); // enlarging takes the bilinear path
}

void BM_ResampleAreaAverage(benchmark::State& state)
{
    Resample(state, 128, 128, 0); // shrinking a true-colour picture averages areas
}

// A 6 x 7 x 6 colour cube plus a grey ramp, as a caller-computed palette.
const RGBQUAD* CubePalette()
{
    static RGBQUAD palette[256] = {};
    int n = 0;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 7; ++g)
            for (int b = 0; b < 6; ++b)
                palette[n++] = MakeRgbQuad(uint8_t(r * 51), uint8_t(g * 42), uint8_t(b * 51));
    for (; n < 256; ++n) {
        const uint8_t v = uint8_t((n - 252) * 64 + 20);
        palette[n] = MakeRgbQuad(v, v, v);
    }
    return palette;
}

// 256 colours of the photo itself, as an optimised palette has them: dense
// where the picture's colours are.
const RGBQUAD* SampledPalette()
{
    static RGBQUAD palette[256] = {};
    const CRaster& photo = Photo();
    for (uint32_t i = 0; i < 256; ++i)
        palette[i] = photo.GetPixelColor(long((i * 97 + 13) % kWidth), long((i * 61 + 7) % kHeight));
    return palette;
}

// bReference: the earlier implementation instead of the library's.
void Reduce(benchmark::State& state, const RGBQUAD* palette, bool bReference)
{
    for (auto _ : state) {
        state.PauseTiming();
        CRaster img(Photo());
        state.ResumeTiming();
        const bool ok =
            bReference ? reference::DecreaseBpp(img, 8, true, palette) : img.DecreaseBpp(8, true, palette);
        if (!ok)
            state.SkipWithError("DecreaseBpp failed");
        benchmark::DoNotOptimize(img.GetBits());
    }
    Report(state);
}

void BM_DecreaseBpp8Diffused(benchmark::State& state)
{
    Reduce(state, CubePalette(), false);
}

void BM_DecreaseBpp8DiffusedReference(benchmark::State& state)
{
    Reduce(state, CubePalette(), true);
}

void BM_DecreaseBpp8DiffusedSampledPalette(benchmark::State& state)
{
    Reduce(state, SampledPalette(), false);
}

void BM_DecreaseBpp8DiffusedSampledPaletteReference(benchmark::State& state)
{
    Reduce(state, SampledPalette(), true);
}

void BM_DecreaseBpp8DiffusedStdPalette(benchmark::State& state)
{
    Reduce(state, nullptr, false);
}

void BM_DecreaseBpp8DiffusedStdPaletteReference(benchmark::State& state)
{
    Reduce(state, nullptr, true);
}

} // namespace

BENCHMARK(BM_ResampleNearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResampleBilinear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResampleAreaAverage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecreaseBpp8Diffused)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecreaseBpp8DiffusedReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecreaseBpp8DiffusedSampledPalette)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecreaseBpp8DiffusedSampledPaletteReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecreaseBpp8DiffusedStdPalette)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecreaseBpp8DiffusedStdPaletteReference)->Unit(benchmark::kMillisecond);
