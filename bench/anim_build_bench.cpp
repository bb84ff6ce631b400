// Building the animation document from a 256-frame 320 x 240 animated GIF:
// one walk over the file against loading the file once per frame (each load
// decodes every frame before the one it delivers).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "anim_doc.h"

namespace {

const std::string& Source()
{
    static const std::string path = [] {
        const std::string p = (std::filesystem::temp_directory_path() / "tessary-bench-256x320x240.gif").string();
        if (!std::filesystem::exists(p)) {
            const std::string cmd = "/usr/bin/python3 " TESSARY_SOURCE_DIR "/tests/anim/anim_fixtures.py gif " + p +
                                    " 256 320 240 4,8,12";
            if (std::system(cmd.c_str()) != 0)
                std::abort();
        }
        return p;
    }();
    return path;
}

void Build(benchmark::State& state, CAnimDoc::GifReading reading)
{
    const std::string& path = Source();
    for (auto _ : state) {
        CAnimDoc doc;
        doc.SetDelayLimits(10, 250, 50);
        if (!doc.Load(path, kAllowAll, 0) || !doc.BuildFrames(reading) || doc.GetFrameCount() != 256)
            state.SkipWithError("the document was not built");
        benchmark::DoNotOptimize(doc.GetFrame(255));
    }
    state.counters["frames"] = 256;
}

void BM_BuildFramesOnePass(benchmark::State& state)
{
    Build(state, CAnimDoc::GifReading::OnePass);
}

void BM_BuildFramesFrameByFrame(benchmark::State& state)
{
    Build(state, CAnimDoc::GifReading::FrameByFrame);
}

} // namespace

BENCHMARK(BM_BuildFramesOnePass)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BuildFramesFrameByFrame)->Unit(benchmark::kMillisecond)->Iterations(1);
