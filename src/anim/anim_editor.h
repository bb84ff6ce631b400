// The arithmetic of the animation editor page, without a window: where the
// duration cursor sits, which delay a slider position gives, how a delay is
// shown, which frame is selected and how the playback preview advances.
#pragma once

#include <cstdint>
#include <string>

class CAnimDoc;

// The duration slider's track is 120 pixels long; the movie places the cursor
// at 133 + position.
inline constexpr int32_t kDurationTrackLength = 120;
inline constexpr int32_t kDurationTrackLeft = 133;

// Position of the duration cursor (0 to 120) for a frame delay: the delay's
// place between the two limits, (delay - min) x 120 / (max - min), clamped to
// the track and rounded to the nearest pixel. 0 when max <= min, where no
// place can be had.
int32_t DurationCursorPosition(uint32_t delay, uint32_t minDelay, uint32_t maxDelay);

// The slider position a "duration" command carries: a decimal integer as C's
// atoi reads it (leading blanks and a sign allowed, anything else ends the
// number), clamped to the track 0..120.
int32_t DurationSliderPosition(const std::string& text);

// The delay a slider position asks for: min + (max - min) x position / 120,
// truncated, with the position clamped to 0..120. Crossed limits (max < min)
// give the minimum. The document still substitutes a delay of 0 and clamps.
uint32_t DelayFromSlider(int32_t position, uint32_t minDelay, uint32_t maxDelay);

// A delay in hundredths of a second as seconds with two decimals ("0.50"),
// with a point whatever the process locale.
std::string FormatDelaySeconds(uint32_t delay);

// The selection brought inside 0..count-1 (0 when there are no frames).
int32_t ClampSelection(int32_t selection, int32_t count);

// The playback preview: which frame is on show and for how long.
struct PlaybackClock {
    uint32_t elapsedMs = 0;  // how long the frame has been on show
    uint32_t frameTimeMs = 1; // how long it stays: its delay x 10
    int32_t index = 0;       // the frame on show

    // One timer tick of `stepMs` milliseconds over an animation of the
    // document's frames. True when the preview moved on to the next frame (the
    // one after the last is the first), which then stays for its delay x 10
    // milliseconds; a frame is thus shown for its delay raised to the next
    // multiple of the tick. An index left outside the frames (the document
    // shrank meanwhile) moves on to frame 0.
    bool Tick(uint32_t stepMs, const CAnimDoc& doc);

    // Makes the next tick show frame 0: the last frame, at once expired.
    void Reset(int32_t frameCount);
};
