// FitAnimationToSize: each way of making an animation smaller is reached when
// the ones before it are not enough, the result is under the limit and is the
// file SaveGif writes, frames are dropped evenly with their time kept, and an
// animation that cannot fit or already fits is left as it is.
#include "anim_doc.h"
#include "anim_test_support.h"
#include "fit_animation.h"
#include "settings_defaults.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace {

// 256 grey-blue shades; frame k shows diagonal bands that move by k pixels
// and a white square at (4k, 20): the LZW coder finds the repeated bands, and
// differencing finds the rows the square did not touch.
void BuildDoc(CAnimDoc& doc, int frames, const std::vector<uint32_t>& delays, uint32_t maxDelay = 500)
{
    doc.SetDelayLimits(1, maxDelay, 50);
    RGBQUAD palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = MakeRgbQuad(uint8_t(i), uint8_t(255 - i / 2), uint8_t(i / 3 * 2));
    palette[255] = MakeRgbQuad(255, 255, 255);
    for (int k = 0; k < frames; ++k) {
        auto frame = std::make_unique<CRaster>(64, 64, 8);
        frame->SetPalette(palette, 256);
        for (long y = 0; y < 64; ++y)
            for (long x = 0; x < 64; ++x) {
                const bool bSquare = x >= 4 * k % 56 && x < 4 * k % 56 + 8 && y >= 20 && y < 28;
                frame->SetPixelIndex(x, y, bSquare ? 255 : uint8_t((x + y + (y / 8) * 37) % 250));
            }
        frame->SetTransIndex(-1);
        doc.m_frames[k] = frame.release();
        doc.m_nFrames = k + 1;
        doc.SetDelay(k, delays[size_t(k) % delays.size()]);
    }
}

std::vector<uint8_t> Encode(CAnimDoc& doc, const GifWriteOptions& options)
{
    CRasterMemFile file;
    file.Open();
    EXPECT_TRUE(doc.SaveGif(&file, options));
    const uint8_t* bytes = file.GetBuffer();
    std::vector<uint8_t> out(bytes, bytes + file.Size());
    std::free(file.GetBuffer());
    return out;
}

int64_t SizeWith(int frames, uint32_t compression)
{
    CAnimDoc doc;
    BuildDoc(doc, frames, {10});
    return int64_t(Encode(doc, GifWriteOptionsForCompression(compression)).size());
}

std::vector<uint32_t> Delays(const CAnimDoc& doc)
{
    std::vector<uint32_t> delays;
    for (int32_t i = 0; i < doc.GetFrameCount(); ++i)
        delays.push_back(doc.GetDelay(i));
    return delays;
}

TEST(FitAnimation, CompressionSettingChoosesTheWriterOptions)
{
    struct Case {
        uint32_t setting;
        bool bLzw, bDifferencing;
    } cases[] = {{0, false, false}, {1, true, false}, {2, true, true}, {3, false, false}, {0xFFFFFFFF, false, false}};
    for (const Case& c : cases) {
        const GifWriteOptions o = GifWriteOptionsForCompression(c.setting);
        EXPECT_EQ(o.bLzw, c.bLzw) << c.setting;
        EXPECT_EQ(o.bDifferencing, c.bDifferencing) << c.setting;
    }
    EXPECT_EQ(DefaultDword("Customization Wizards\\user", "AnimCompression"), 0u) << "the default table's value";
}

// Limits just above each size reach the step that makes it; the result is
// always under the limit, and its file is what SaveGif writes.
TEST(FitAnimation, EachStepIsReachedOnlyWhenTheOnesBeforeDoNotFit)
{
    constexpr int kFrames = 24;
    const int64_t plain = SizeWith(kFrames, 0);
    const int64_t lzw = SizeWith(kFrames, 1);
    const int64_t differenced = SizeWith(kFrames, 2);
    ASSERT_LT(lzw, plain) << "the fixture must let LZW win";
    ASSERT_LT(differenced, lzw) << "the fixture must let differencing win";

    using Outcome = FitResult::Outcome;
    struct Case {
        const char* what;
        int64_t limit;
        Outcome outcome;
        uint32_t compression; // the coder of the result
        bool bFewerColours, bFewerFrames;
    } cases[] = {
        {"as it is", plain + 1, Outcome::AlreadyFits, 0, false, false},
        {"LZW", plain, Outcome::Fitted, 1, false, false},
        {"LZW and differencing", lzw, Outcome::Fitted, 2, false, false},
        {"fewer colours", differenced, Outcome::Fitted, 2, true, false},
        {"fewer frames", differenced / 3, Outcome::Fitted, 2, true, true},
        {"impossible", 100, Outcome::Impossible, 2, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAnimDoc doc;
        BuildDoc(doc, kFrames, {10});
        const std::vector<uint8_t> before = Encode(doc, GifWriteOptions{});
        const FitResult r = FitAnimationToSize(doc, c.limit);
        ASSERT_EQ(int(r.outcome), int(c.outcome)) << DescribeFit(r, c.limit);
        EXPECT_EQ(r.framesBefore, kFrames);
        if (c.outcome == Outcome::Impossible) {
            EXPECT_GE(r.bytes, c.limit);
            EXPECT_EQ(Encode(doc, GifWriteOptions{}), before) << "nothing may change";
            continue;
        }
        const GifWriteOptions want = GifWriteOptionsForCompression(c.compression);
        EXPECT_EQ(r.options.bLzw, want.bLzw);
        EXPECT_EQ(r.options.bDifferencing, want.bDifferencing);
        EXPECT_EQ(r.colours != 0, c.bFewerColours);
        EXPECT_EQ(r.framesAfter < kFrames, c.bFewerFrames);
        EXPECT_EQ(doc.GetFrameCount(), r.framesAfter);
        const std::vector<uint8_t> file = Encode(doc, r.options);
        EXPECT_LT(int64_t(file.size()), c.limit);
        EXPECT_EQ(int64_t(file.size()), r.bytes);
        EXPECT_EQ(file, r.file) << "the fitting's file is the document's";
        EXPECT_LE(r.trials, 12) << "a search, not every combination";
        if (r.colours) {
            EXPECT_GE(r.colours, kFitFewestColours);
            for (int32_t i = 0; i < doc.GetFrameCount(); ++i) {
                const CRaster* f = doc.GetFrame(i);
                for (long y = 0; y < 64; ++y)
                    for (long x = 0; x < 64; ++x)
                        ASSERT_LT(f->GetPixelIndex(x, y), r.colours) << "frame " << i;
            }
        }
        if (c.outcome == Outcome::AlreadyFits) {
            EXPECT_EQ(file, before);
        }
    }
}

// Frame i of k kept is frame i * n / k; each keeps the time of the frames
// dropped after it, up to the longest delay.
TEST(FitAnimation, DroppedFramesGiveTheirTimeToTheFrameBefore)
{
    struct Case {
        uint32_t maxDelay;
    } cases[] = {{500}, {25}};
    const std::vector<uint32_t> delays = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maxDelay);
        CAnimDoc doc;
        BuildDoc(doc, 10, delays, c.maxDelay);
        // The smallest frame and a little more: room for a few more frames.
        CAnimDoc probe;
        BuildDoc(probe, 10, delays, c.maxDelay);
        const FitResult one = FitAnimationToSize(probe, 1);
        ASSERT_EQ(int(one.outcome), int(FitResult::Outcome::Impossible));
        const int64_t limit = one.bytes + 100;
        const FitResult r = FitAnimationToSize(doc, limit);
        ASSERT_EQ(int(r.outcome), int(FitResult::Outcome::Fitted)) << DescribeFit(r, limit);
        const int32_t k = doc.GetFrameCount();
        ASSERT_LT(k, 10);
        ASSERT_GE(k, 1);
        std::vector<uint32_t> want;
        for (int32_t i = 0; i < k; ++i) {
            const int32_t first = i * 10 / k;
            const int32_t end = (i + 1) * 10 / k;
            uint32_t sum = 0;
            for (int32_t j = first; j < end; ++j)
                sum += delays[size_t(j)];
            want.push_back(std::min(sum, c.maxDelay));
        }
        EXPECT_EQ(Delays(doc), want);
        if (c.maxDelay == 500) {
            EXPECT_EQ(std::accumulate(want.begin(), want.end(), 0u), 145u) << "plays as long as before";
        }
        EXPECT_EQ(DescribeFit(r, limit), "fitted under " + std::to_string(limit) +
                                             " bytes: LZW and frame differencing, 16 colours, " +
                                             std::to_string(k) + " of 10 frames");
    }
}

} // namespace
