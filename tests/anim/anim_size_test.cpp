// The size meter's model: the bytes it counts are the bytes the editor's Next
// writes, a snapshot keeps its own frames, and the reading against the
// phone's limit uses the same rule as Next.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "anim_doc.h"
#include "anim_size.h"
#include "anim_test_support.h"
#include "edit_result.h"

using animtest::MakeIndexed;
using animtest::ScratchDir;

namespace {

// A document with `count` w x h frames; frame i is the test pattern with its
// colours shifted by i, so frames differ and compress differently.
void Fill(CAnimDoc& doc, int32_t count, uint32_t w, uint32_t h)
{
    doc.SetDelayLimits(1, 500, 50);
    for (int32_t i = 0; i < count; ++i) {
        CRaster* frame = MakeIndexed(w, h, uint32_t(5 + i));
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                frame->SetPixelIndex(long(x), long(y), uint8_t((frame->GetPixelIndex(long(x), long(y)) + i) % 8));
        doc.InsertFrame(i, frame);
    }
}

} // namespace

TEST(SizeMeter, CountsExactlyTheBytesNextWrites)
{
    const struct {
        int32_t frames;
        uint32_t w, h;
    } shapes[] = {{1, 1, 1}, {1, 128, 128}, {5, 16, 9}, {3, 64, 64}, {40, 128, 128}, {256, 8, 8}};
    ScratchDir dir;
    for (const auto& s : shapes) {
        SCOPED_TRACE(std::to_string(s.frames) + " frames of " + std::to_string(s.w) + " x " + std::to_string(s.h));
        CAnimDoc doc;
        Fill(doc, s.frames, s.w, s.h);
        const int64_t counted = AnimationFileBytes(doc);
        const std::string path = dir.File("written.gif");
        int64_t written = 0;
        ASSERT_NE(SaveAndCheckAnimation(doc, path, 1 << 30, &written), AnimationCheck::SaveFailed);
        EXPECT_EQ(counted, int64_t(std::filesystem::file_size(path)));
        EXPECT_EQ(counted, written);
    }
}

TEST(SizeMeter, CannotMeasureWhatTheWriterRefuses)
{
    CAnimDoc empty;
    EXPECT_EQ(AnimationFileBytes(empty), -1);
    EXPECT_EQ(CAnimSnapshot::Take(empty, 1 << 20), nullptr);

    CRaster trueColour(4, 4, 24);
    CRaster* frames[] = {&trueColour};
    EXPECT_EQ(AnimationFileBytes(frames, 1), -1) << "a frame without a palette is not a GIF frame";
}

TEST(SizeMeter, ASnapshotKeepsTheFramesItWasTakenFrom)
{
    CAnimDoc doc;
    Fill(doc, 6, 32, 32);
    const int64_t before = AnimationFileBytes(doc);
    auto snapshot = CAnimSnapshot::Take(doc, 1 << 20);
    ASSERT_NE(snapshot, nullptr);
    EXPECT_EQ(snapshot->FrameCount(), 6);

    // The user goes on: frames deleted and replaced after the copy was taken.
    doc.DeleteFrame(5);
    doc.DeleteFrame(0);
    doc.ReplaceFrame(0, MakeIndexed(3, 3));
    EXPECT_NE(AnimationFileBytes(doc), before);
    EXPECT_EQ(snapshot->FileBytes(), before);
}

TEST(SizeMeter, ASnapshotNeverCopiesMoreThanItIsAllowed)
{
    CAnimDoc doc;
    Fill(doc, 4, 128, 128); // 4 x 128 x 128 pixel bytes
    EXPECT_NE(CAnimSnapshot::Take(doc, 4 * 128 * 128), nullptr);
    EXPECT_EQ(CAnimSnapshot::Take(doc, 4 * 128 * 128 - 1), nullptr);
}

TEST(SizeMeter, ReadsFitsWithNextsRuleStrictlySmallerThanTheLimit)
{
    const struct {
        int64_t bytes;
        uint32_t limit;
        int32_t percent;
        bool fits;
    } cases[] = {
        {-1, 100, 0, false},  // not known yet
        {0, 100, 0, true},
        {50, 100, 50, true},
        {99, 100, 99, true},
        {100, 100, 100, false}, // equal to the limit: refused
        {101, 100, 100, false},
        {5000, 100, 100, false},
        {10, 0, 100, false},
        {1, 0xFFFFFFFFu, 0, true}, // a limit above 2 GiB is a limit, not a negative number
        {4294967294LL, 0xFFFFFFFFu, 99, true},
        {4294967295LL, 0xFFFFFFFFu, 100, false},
    };
    for (const auto& c : cases) {
        const SizeMeterReading r = ReadSizeMeter(c.bytes, c.limit);
        EXPECT_EQ(r.percent, c.percent) << c.bytes << " of " << c.limit;
        EXPECT_EQ(r.fits, c.fits) << c.bytes << " of " << c.limit;
        EXPECT_EQ(r.limit, c.limit);
    }
}
