// The animation editor's arithmetic without a window: duration cursor and
// slider, the delay text, the selection and the playback preview's clock.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <vector>

#include "anim_doc.h"
#include "anim_editor.h"
#include "anim_test_support.h"

using animtest::MakeIndexed;

namespace {

// A document of 2 x 2 frames with the given delays (limits 1..1000).
void FillWithDelays(CAnimDoc& doc, const std::vector<uint32_t>& delays)
{
    doc.SetDelayLimits(1, 1000, 50);
    for (size_t i = 0; i < delays.size(); ++i)
        doc.InsertFrame(int32_t(i), MakeIndexed(2, 2, delays[i]));
}

} // namespace

struct CursorCase {
    uint32_t delay, min, max;
    int32_t want;
};

TEST(DurationCursor, PlacesTheDelayBetweenTheLimitsOnTheTrack)
{
    const CursorCase cases[] = {
        {130, 10, 250, 60},         // the slider's 60 comes back as 60
        {60, 0, 120, 60},           // minimum 0: the delay itself
        {50, 50, 50, 0},            // equal limits: no place, the start
        {7, 10, 5, 0},              // crossed limits
        {500, 10, 500, 120},        // the maximum sits at the end, not past it
        {10, 10, 500, 0},           // the minimum at the start
        {5, 10, 500, 0},            // below the minimum: clamped
        {9000, 10, 500, 120},       // above the maximum: clamped
        {0xFFFFFFFFu, 0, 0xFFFFFFFFu, 120},
        {259, 10, 500, 61},         // 60.98 rounds to the nearest pixel
    };
    for (const CursorCase& c : cases)
        EXPECT_EQ(DurationCursorPosition(c.delay, c.min, c.max), c.want)
            << "delay " << c.delay << " limits " << c.min << ".." << c.max;
}

TEST(DurationCursor, ADelaySetFromTheSliderPutsTheCursorBackWhereTheUserLeftIt)
{
    // The installer's limits and a few others at least 240 apart.
    const std::pair<uint32_t, uint32_t> limits[] = {{10, 500}, {5, 500}, {0, 240}, {10, 250}, {100, 65535}};
    for (const auto& [min, max] : limits)
        for (int32_t v = 0; v <= kDurationTrackLength; ++v)
            ASSERT_EQ(DurationCursorPosition(DelayFromSlider(v, min, max), min, max), v)
                << "limits " << min << ".." << max;
}

struct SliderCase {
    int32_t position;
    uint32_t min, max, want;
};

TEST(DurationSlider, GivesTheDelayBetweenTheLimitsAndNeverLeavesThem)
{
    const SliderCase cases[] = {
        {60, 10, 250, 130},
        {0, 10, 250, 10},
        {120, 10, 250, 250},
        {121, 10, 250, 250},  // past the track: clamped
        {-40, 10, 250, 10},
        {1000000, 10, 250, 250},
        {60, 250, 10, 250},   // crossed limits give the minimum
        {60, 7, 7, 7},
        {60, 0, 0xFFFFFFFFu, 2147483647u},
        {120, 0, 0xFFFFFFFFu, 0xFFFFFFFFu},
        {1, 0, 100, 0},       // 0.83 truncated; the document then substitutes its default
    };
    for (const SliderCase& c : cases)
        EXPECT_EQ(DelayFromSlider(c.position, c.min, c.max), c.want)
            << "position " << c.position << " limits " << c.min << ".." << c.max;
}

TEST(DurationSlider, ReadsTheCommandLikeAtoiAndClampsToTheTrack)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"60", 60},  {" 45", 45}, {"+7", 7},   {"-3", 0},   {"121", 120},      {"500", 120},
        {"abc", 0},  {"12abc", 12}, {"", 0},   {"0", 0},    {"99999999999999999999999", 120},
        {"\t120", 120}, {"- 5", 0},
    };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(DurationSliderPosition(text), want) << "\"" << text << "\"";
}

TEST(DelayText, IsPrintfOfTheDelayInSecondsWithAPointWhateverTheLocale)
{
    // The oracle: "%1.2f" of delay x 0.01 in the C locale.
    std::vector<uint32_t> delays;
    for (uint32_t d = 0; d < 2000; ++d)
        delays.push_back(d);
    for (uint32_t d : {65535u, 99999u, 123456789u, 4294967295u})
        delays.push_back(d);
    for (uint32_t d : delays) {
        char want[64];
        std::snprintf(want, sizeof want, "%1.2f", d * 0.01);
        ASSERT_EQ(FormatDelaySeconds(d), want) << "delay " << d;
    }
    // A locale with a decimal comma changes printf, not the movie's text.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        EXPECT_EQ(FormatDelaySeconds(130), "1.30");
        std::setlocale(LC_NUMERIC, "C");
    }
}

TEST(Selection, StaysInsideTheFrames)
{
    const struct {
        int32_t selection, count, want;
    } cases[] = {{0, 5, 0}, {4, 5, 4}, {5, 5, 4}, {9, 5, 4}, {-1, 5, 0}, {3, 0, 0}, {-2, 0, 0}, {0, 1, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(ClampSelection(c.selection, c.count), c.want) << c.selection << " of " << c.count;
}

TEST(PlaybackClock, ShowsEachFrameForItsDelayRaisedToWholeTicksThenWraps)
{
    CAnimDoc doc;
    const std::vector<uint32_t> delays = {7, 10, 5, 13, 1, 50};
    FillWithDelays(doc, delays);
    PlaybackClock clock;
    clock.Reset(doc.GetFrameCount());

    // Which frame is on show after each 50 ms tick, over two rounds.
    std::vector<int32_t> shown;
    for (int tick = 0; tick < 80; ++tick) {
        clock.Tick(50, doc);
        shown.push_back(clock.index);
    }
    std::vector<int32_t> want;
    while (want.size() < shown.size()) {
        for (size_t i = 0; i < delays.size(); ++i) {
            // delay x 10 ms, up to the next multiple of 50 ms (at least one tick)
            const uint32_t ticks = std::max<uint32_t>(1, (delays[i] * 10 + 49) / 50);
            for (uint32_t t = 0; t < ticks; ++t)
                want.push_back(int32_t(i));
        }
    }
    want.resize(shown.size());
    EXPECT_EQ(shown, want);
}

TEST(PlaybackClock, AnIndexLeftPastTheEndMovesOnToTheFirstFrame)
{
    CAnimDoc doc;
    FillWithDelays(doc, {20, 20, 20});
    for (int32_t left : {3, 9, 255, -5}) {
        PlaybackClock clock;
        clock.index = left; // from an earlier animation with more frames
        clock.frameTimeMs = 1;
        EXPECT_TRUE(clock.Tick(50, doc)) << "left at " << left;
        EXPECT_EQ(clock.index, 0) << "left at " << left;
        EXPECT_EQ(clock.frameTimeMs, 200u) << "frame 0's own delay, not an absent frame's";
    }
}

TEST(PlaybackClock, HasNothingToShowWithoutFrames)
{
    CAnimDoc doc;
    PlaybackClock clock;
    clock.Reset(0);
    EXPECT_FALSE(clock.Tick(50, doc));
    EXPECT_FALSE(clock.Tick(50, doc));
}
