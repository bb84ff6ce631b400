#include "fit_animation.h"

#include <algorithm>
#include <map>
#include <memory>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "anim_doc.h"
#include "picture_holder.h"
#include "raster_file.h"

namespace {

// The colour counts tried, fewest changes first.
constexpr uint32_t kColourSteps[] = {128, 64, 32, kFitFewestColours};

// A write-only stream into memory.
class ByteCollector : public CRasterFile {
public:
    bool Close() override { return true; }
    size_t Read(void*, size_t, size_t) override { return 0; }
    size_t Write(const void* data, size_t size, size_t count) override
    {
        const auto* bytes = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), bytes, bytes + size * count);
        return count;
    }
    bool Seek(long, int) override { return false; }
    long Tell() override { return long(m_bytes.size()); }
    long Size() override { return long(m_bytes.size()); }
    bool Flush() override { return true; }
    bool Eof() override { return true; }
    long Error() override { return 0; }
    long GetC() override { return -1; }
    std::vector<uint8_t>& Bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// Puts `frames` into the document in place of all its frames.
void PutFrames(CAnimDoc& doc, std::vector<std::unique_ptr<CRaster>> frames)
{
    for (int32_t i = 0; i < doc.m_nFrames; ++i) {
        delete doc.m_frames[i];
        doc.m_frames[i] = nullptr;
    }
    doc.m_nFrames = int32_t(std::min<size_t>(frames.size(), CAnimDoc::kMaxFrames));
    for (int32_t i = 0; i < doc.m_nFrames; ++i)
        doc.m_frames[i] = frames[size_t(i)].release();
}

bool SameOptions(const GifWriteOptions& a, const GifWriteOptions& b)
{
    return a.bLzw == b.bLzw && a.bDifferencing == b.bDifferencing;
}

// The frames of the document as they were before the fitting, and the
// animations made of them for the trials: `frames` of them kept evenly, in
// `colours` colours (0: their own).
class FitTrials {
public:
    explicit FitTrials(CAnimDoc& doc) : m_maxDelay(doc.GetMaxDelay())
    {
        m_scratch.SetDelayLimits(doc.GetMinDelay(), doc.GetMaxDelay(), doc.GetDefaultDelay());
        for (int32_t i = 0; i < doc.GetFrameCount(); ++i)
            m_originals.emplace_back(doc.CopyFrame(i));
        m_reduced.resize(m_originals.size());
    }

    int32_t FrameCount() const { return int32_t(m_originals.size()); }
    int Trials() const { return m_nTrials; }

    // The size of the animation written with `options`; -1 when the writer refuses.
    int64_t Size(uint32_t colours, int32_t frames, const GifWriteOptions& options)
    {
        const Key key = std::make_tuple(colours, frames, options.bLzw, options.bDifferencing);
        const auto known = m_sizes.find(key);
        if (known != m_sizes.end())
            return known->second;
        PutFrames(m_scratch, Build(colours, frames));
        ++m_nTrials;
        ByteCollector file;
        const int64_t bytes = m_scratch.SaveGif(&file, options) ? int64_t(file.Bytes().size()) : -1;
        if (bytes >= 0)
            m_files[key] = std::move(file.Bytes());
        m_sizes[key] = bytes;
        return bytes;
    }

    void Apply(CAnimDoc& doc, uint32_t colours, int32_t frames) { PutFrames(doc, Build(colours, frames)); }

    // The file of a trial made before.
    std::vector<uint8_t> File(uint32_t colours, int32_t frames, const GifWriteOptions& options)
    {
        const auto found = m_files.find(std::make_tuple(colours, frames, options.bLzw, options.bDifferencing));
        return found != m_files.end() ? found->second : std::vector<uint8_t>();
    }

private:
    std::vector<std::unique_ptr<CRaster>> Build(uint32_t colours, int32_t frames)
    {
        const int32_t count = FrameCount();
        // Frame i of the result is frame i * count / frames: frame 0 stays, and
        // the dropped ones are spread evenly.
        std::vector<int32_t> kept(static_cast<size_t>(frames));
        for (int32_t i = 0; i < frames; ++i)
            kept[size_t(i)] = int32_t(int64_t(i) * count / frames);
        std::vector<std::unique_ptr<CRaster>> out;
        for (int32_t i = 0; i < frames; ++i) {
            const int32_t first = kept[size_t(i)];
            const int32_t end = i + 1 < frames ? kept[size_t(i) + 1] : count;
            auto frame = std::make_unique<CRaster>(colours ? Reduced(first, colours) : *m_originals[size_t(first)]);
            if (end - first > 1) {
                // A kept frame also shows for the frames dropped after it.
                uint64_t delay = 0;
                for (int32_t k = first; k < end; ++k)
                    delay += m_originals[size_t(k)]->GetFrameDelay();
                frame->SetFrameDelay(uint32_t(std::min<uint64_t>({delay, m_maxDelay, 0xFFFF})));
            }
            out.push_back(std::move(frame));
        }
        return out;
    }

    // Frame `index` in the shared palette of `colours` colours: every pixel
    // takes the entry nearest to its colour. No error diffusion: the dither it
    // leaves would change from frame to frame and cost more bytes than the
    // colours save.
    const CRaster& Reduced(int32_t index, uint32_t colours)
    {
        auto& byColours = m_reduced[size_t(index)];
        auto found = byColours.find(colours);
        if (found != byColours.end())
            return *found->second;
        const std::vector<RGBQUAD>& palette = Palette(colours);
        const CRaster& source = *m_originals[size_t(index)];
        const uint32_t bpp = colours <= 16 ? 4 : 8;
        const uint32_t entries = 1u << bpp;
        // Entries past the palette repeat its first one: the nearest entry is
        // the lowest index among equals, so they stay unused.
        std::vector<RGBQUAD> table(entries);
        for (size_t i = 0; i < entries; ++i)
            table[i] = palette[i < palette.size() ? i : 0];
        const uint32_t w = source.GetWidth();
        const uint32_t h = source.GetHeight();
        auto frame = std::make_unique<CRaster>(w, h, long(bpp), long(source.GetType()));
        frame->SetPalette(table.data(), entries);
        if (source.IsIndexed()) {
            // One search per entry of the source's palette.
            uint8_t nearest[256] = {};
            for (uint32_t i = 0; i < source.GetNumColors() && i < 256; ++i)
                nearest[i] = frame->GetNearestIndex(source.GetPaletteColor(uint8_t(i)));
            for (uint32_t y = 0; y < h; ++y)
                for (uint32_t x = 0; x < w; ++x)
                    frame->SetPixelIndex(long(x), long(y), nearest[source.GetPixelIndex(long(x), long(y))]);
        } else {
            for (uint32_t y = 0; y < h; ++y)
                for (uint32_t x = 0; x < w; ++x)
                    frame->SetPixelIndex(long(x), long(y),
                                         frame->GetNearestIndex(source.GetPixelColor(long(x), long(y))));
        }
        frame->SetFrameDelay(source.GetFrameDelay());
        frame->SetTransIndex(-1);
        return *(byColours[colours] = std::move(frame));
    }

    // One palette for every frame, from the colours of all of them.
    const std::vector<RGBQUAD>& Palette(uint32_t colours)
    {
        auto found = m_palettes.find(colours);
        if (found != m_palettes.end())
            return found->second;
        std::unordered_map<uint32_t, uint64_t> counts;
        for (const auto& frame : m_originals) {
            const long w = long(frame->GetWidth());
            const long h = long(frame->GetHeight());
            if (frame->IsIndexed()) {
                uint64_t uses[256] = {};
                for (long y = 0; y < h; ++y) {
                    if (frame->GetBpp() == 8) {
                        const uint8_t* row = frame->GetBits(uint32_t(y));
                        for (long x = 0; x < w; ++x)
                            ++uses[row[x]];
                    } else {
                        for (long x = 0; x < w; ++x)
                            ++uses[frame->GetPixelIndex(x, y)];
                    }
                }
                for (uint32_t i = 0; i < 256; ++i)
                    if (uses[i]) {
                        const RGBQUAD c = frame->GetPaletteColor(uint8_t(i));
                        counts[uint32_t(c.rgbRed) << 16 | uint32_t(c.rgbGreen) << 8 | c.rgbBlue] += uses[i];
                    }
            } else {
                for (long y = 0; y < h; ++y)
                    for (long x = 0; x < w; ++x) {
                        const RGBQUAD c = frame->GetPixelColor(x, y);
                        ++counts[uint32_t(c.rgbRed) << 16 | uint32_t(c.rgbGreen) << 8 | c.rgbBlue];
                    }
            }
        }
        // In the order of the colours, so the palette does not depend on the
        // order of the hash table.
        std::vector<ColourCount> list;
        list.reserve(counts.size());
        for (const auto& [rgb, n] : counts)
            list.push_back(ColourCount{rgb, uint32_t(std::min<uint64_t>(n, UINT32_MAX))});
        std::sort(list.begin(), list.end(), [](const ColourCount& a, const ColourCount& b) { return a.rgb < b.rgb; });
        std::vector<RGBQUAD> palette = OctreePalette(list, colours);
        if (palette.empty())
            palette.push_back(RGBQUAD{0, 0, 0, 0});
        return m_palettes[colours] = std::move(palette);
    }

    CAnimDoc m_scratch;
    uint32_t m_maxDelay;
    std::vector<std::unique_ptr<CRaster>> m_originals;
    std::vector<std::map<uint32_t, std::unique_ptr<CRaster>>> m_reduced;
    std::map<uint32_t, std::vector<RGBQUAD>> m_palettes;
    using Key = std::tuple<uint32_t, int32_t, bool, bool>;
    std::map<Key, int64_t> m_sizes;
    std::map<Key, std::vector<uint8_t>> m_files;
    int m_nTrials = 0;
};

// The largest frame count from 1 to `count` - 1 for which `size` is under
// `limit`, where `count` frames are known to take `countBytes` (not under the
// limit); 0 when not even one frame fits. The sizes grow nearly in proportion
// to the frames kept, so the next count tried is where the line through the
// nearest known sizes on either side crosses the limit (no frames taking no
// bytes); after three moves of the same end of the range, one bisection step.
// An answer other than 0 has been tried and found to fit.
template <class Size>
int32_t MostFramesUnder(int32_t count, int64_t countBytes, int64_t limit, Size size)
{
    int32_t fitting = 0, tooBig = count; // the answer lies in [fitting, tooBig)
    int64_t fittingBytes = 0, tooBigBytes = countBytes;
    int sameSide = 0;
    bool bLastFitted = false;
    while (tooBig - fitting > 1) {
        int32_t next = fitting + (tooBig - fitting) / 2;
        if (sameSide < 3 && tooBigBytes > fittingBytes) {
            // In floating point: the limit may be any size the caller gives.
            const double at = fitting + double(limit - 1 - fittingBytes) * (tooBig - fitting) /
                                            double(tooBigBytes - fittingBytes);
            next = int32_t(std::clamp<double>(at, fitting + 1, tooBig - 1));
        }
        const int64_t bytes = size(next);
        const bool bFitted = bytes >= 0 && bytes < limit;
        if (bFitted) {
            fitting = next;
            fittingBytes = bytes;
        } else {
            tooBig = next;
            tooBigBytes = bytes < 0 ? INT64_MAX : bytes;
        }
        sameSide = bFitted == bLastFitted && sameSide < 3 ? sameSide + 1 : 1;
        bLastFitted = bFitted;
    }
    return fitting;
}

} // namespace

GifWriteOptions GifWriteOptionsForCompression(uint32_t setting)
{
    GifWriteOptions options;
    options.bLzw = setting == 1 || setting == 2;
    options.bDifferencing = setting == 2;
    return options;
}

FitResult FitAnimationToSize(CAnimDoc& doc, int64_t limit, const FitOptions& options)
{
    FitResult result;
    result.framesBefore = result.framesAfter = doc.GetFrameCount();
    if (doc.GetFrameCount() < 1)
        return result;
    FitTrials trials(doc);
    const int32_t frames = trials.FrameCount();
    uint32_t colours = 0;
    int32_t kept = frames;
    auto finish = [&](FitResult::Outcome outcome) {
        result.outcome = outcome;
        if (outcome == FitResult::Outcome::AlreadyFits || outcome == FitResult::Outcome::Fitted)
            result.file = trials.File(colours, kept, result.options);
        result.trials = trials.Trials();
        return result;
    };

    // (a) as it is.
    auto tryCoder = [&](const GifWriteOptions& coder) {
        result.options = coder;
        result.bytes = trials.Size(0, frames, coder);
        return result.bytes;
    };
    if (tryCoder(options.start) < 0)
        return finish(FitResult::Outcome::Failed);
    if (result.bytes < limit)
        return finish(FitResult::Outcome::AlreadyFits);
    // (b) the coders that lose nothing. Differencing never makes the file
    // larger, so LZW alone is worth a trial only when LZW with differencing
    // fits.
    const GifWriteOptions coder = GifWriteOptionsForCompression(2);
    if (!SameOptions(options.start, coder)) {
        if (tryCoder(coder) < 0)
            return finish(FitResult::Outcome::Failed);
        if (result.bytes < limit) {
            const GifWriteOptions lzw = GifWriteOptionsForCompression(1);
            if (!options.start.bLzw && tryCoder(lzw) >= 0 && result.bytes < limit)
                return finish(FitResult::Outcome::Fitted);
            tryCoder(coder);
            return finish(FitResult::Outcome::Fitted);
        }
    }
    const int64_t allFrames = result.bytes;

    // (c) and (d), written with the smallest coder.
    int64_t smallest = allFrames;
    auto size = [&](uint32_t colours, int32_t kept) {
        const int64_t bytes = trials.Size(colours, kept, coder);
        if (bytes >= 0)
            smallest = std::min(smallest, bytes);
        return bytes;
    };
    auto fits = [&](uint32_t colours, int32_t kept) {
        const int64_t bytes = size(colours, kept);
        return bytes >= 0 && bytes < limit;
    };
    // The most colours that fit, 0 when none does: the least change and the
    // fewest colours are tried first, then the others by bisection.
    auto fewerColours = [&](int32_t kept) -> uint32_t {
        constexpr size_t last = std::size(kColourSteps) - 1;
        if (fits(kColourSteps[0], kept))
            return kColourSteps[0];
        if (!fits(kColourSteps[last], kept))
            return 0;
        size_t lo = 1, hi = last; // kColourSteps[hi] fits
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (fits(kColourSteps[mid], kept))
                hi = mid;
            else
                lo = mid + 1;
        }
        return kColourSteps[hi];
    };
    auto fewerFrames = [&](uint32_t colours) {
        return MostFramesUnder(frames, size(colours, frames), limit,
                               [&](int32_t kept) { return size(colours, kept); });
    };
    if (options.order == FitOrder::ColoursFirst) {
        colours = fewerColours(frames);
        if (colours == 0) {
            colours = kFitFewestColours;
            kept = fewerFrames(colours);
        }
    } else {
        kept = fewerFrames(0);
        if (kept == 0) {
            kept = 1;
            colours = fewerColours(1);
            if (colours == 0)
                kept = 0;
        }
    }
    // Both searches end by trying one frame in the fewest colours.
    if (kept == 0) {
        result.bytes = smallest;
        return finish(FitResult::Outcome::Impossible);
    }
    trials.Apply(doc, colours, kept);
    result.options = coder;
    result.colours = colours;
    result.framesAfter = kept;
    result.bytes = trials.Size(colours, kept, coder);
    return finish(FitResult::Outcome::Fitted);
}

std::string DescribeFit(const FitResult& result, int64_t limit)
{
    const std::string under = std::to_string(limit) + " bytes";
    switch (result.outcome) {
    case FitResult::Outcome::AlreadyFits:
        return "already under " + under + ": nothing changed";
    case FitResult::Outcome::Impossible:
        return "cannot fit under " + under + ": one frame in " + std::to_string(kFitFewestColours) +
               " colours takes " + std::to_string(result.bytes) + " bytes";
    case FitResult::Outcome::Failed:
        return "cannot fit under " + under + ": the frames cannot be written";
    case FitResult::Outcome::Fitted:
        break;
    }
    std::vector<std::string> steps;
    if (result.options.bLzw)
        steps.push_back(result.options.bDifferencing ? "LZW and frame differencing" : "LZW");
    if (result.colours)
        steps.push_back(std::to_string(result.colours) + " colours");
    if (result.framesAfter != result.framesBefore)
        steps.push_back(std::to_string(result.framesAfter) + " of " + std::to_string(result.framesBefore) +
                        " frames");
    std::string text = "fitted under " + under + ":";
    for (size_t i = 0; i < steps.size(); ++i)
        text += (i ? ", " : " ") + steps[i];
    return text;
}
