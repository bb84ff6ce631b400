#include "anim_editor.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "anim_doc.h"

int32_t DurationCursorPosition(uint32_t delay, uint32_t minDelay, uint32_t maxDelay)
{
    if (maxDelay <= minDelay)
        return 0;
    // In double: the unsigned difference of a delay below the minimum would wrap.
    const double place =
        (double(delay) - double(minDelay)) * kDurationTrackLength / (double(maxDelay) - double(minDelay));
    // To the nearest pixel, so that a delay set from the slider puts the cursor
    // back where the user left it whenever a pixel is worth less than two
    // hundredths (limits at least 240 apart), instead of a pixel to its left.
    return int32_t(std::floor(std::clamp(place, 0.0, double(kDurationTrackLength)) + 0.5));
}

int32_t DurationSliderPosition(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool bNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        bNegative = text[i] == '-';
        ++i;
    }
    // Digits past the track's end cannot change the clamped result, so the
    // value stops growing there and never overflows.
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), 1000);
    if (bNegative)
        value = -value;
    return int32_t(std::clamp<int64_t>(value, 0, kDurationTrackLength));
}

uint32_t DelayFromSlider(int32_t position, uint32_t minDelay, uint32_t maxDelay)
{
    const int32_t v = std::clamp(position, 0, kDurationTrackLength);
    const double span = maxDelay > minDelay ? double(maxDelay) - double(minDelay) : 0.0;
    // At most maxDelay, so it always fits the unsigned result.
    return uint32_t(double(minDelay) + span * v / kDurationTrackLength);
}

std::string FormatDelaySeconds(uint32_t delay)
{
    // Whole hundredths: the same text as "%1.2f" of delay x 0.01, without the
    // locale's decimal comma.
    const uint32_t cents = delay % 100;
    std::string text = std::to_string(delay / 100) + '.';
    text += char('0' + cents / 10);
    text += char('0' + cents % 10);
    return text;
}

int32_t ClampSelection(int32_t selection, int32_t count)
{
    if (count <= 0 || selection < 0)
        return 0;
    return std::min(selection, count - 1);
}

bool PlaybackClock::Tick(uint32_t stepMs, const CAnimDoc& doc)
{
    const int32_t count = doc.GetFrameCount();
    if (count <= 0)
        return false;
    elapsedMs = elapsedMs > std::numeric_limits<uint32_t>::max() - stepMs ? std::numeric_limits<uint32_t>::max()
                                                                           : elapsedMs + stepMs;
    if (elapsedMs < frameTimeMs)
        return false;
    ++index;
    if (index >= count || index < 0)
        index = 0;
    const uint64_t frameTime = uint64_t(doc.GetDelay(index)) * 10;
    frameTimeMs = uint32_t(std::min<uint64_t>(frameTime, std::numeric_limits<uint32_t>::max()));
    elapsedMs = 0;
    return true;
}

void PlaybackClock::Reset(int32_t frameCount)
{
    elapsedMs = 0;
    index = frameCount - 1;
    frameTimeMs = 1;
}
