#include "underrun_count.h"

#include <string.h>

namespace {

constexpr size_t kChannels = 2;
constexpr size_t kMatchFrames = 256;

size_t FirstSoundingFrame(const std::vector<int16_t>& samples) {
    for (size_t i = 0; i < samples.size(); ++i)
        if (samples[i] != 0) return i / kChannels;
    return samples.size() / kChannels;
}

bool Equal(const std::vector<int16_t>& a, size_t aFrame, const std::vector<int16_t>& b, size_t bFrame, size_t frames) {
    if ((aFrame + frames) * kChannels > a.size() || (bFrame + frames) * kChannels > b.size()) return false;
    return memcmp(&a[aFrame * kChannels], &b[bFrame * kChannels], frames * kChannels * sizeof(int16_t)) == 0;
}

} // namespace

UnderrunCount CountUnderruns(const std::vector<int16_t>& recorded, const std::vector<int16_t>& expected,
                             size_t halfFrames) {
    UnderrunCount count;
    const size_t expectedFrames = expected.size() / kChannels;
    const size_t firstRecorded = FirstSoundingFrame(recorded);
    const size_t firstExpected = FirstSoundingFrame(expected);
    if (firstRecorded < firstExpected) return count.lostTrack = true, count;
    size_t at = firstRecorded - firstExpected; // the recorded frame where the data begins
    for (size_t next = 0; next + halfFrames <= expectedFrames; ++count.comparedHalves) {
        if (Equal(recorded, at, expected, next, halfFrames)) {
            at += halfFrames, next += halfFrames;
            continue;
        }
        // Either this half is damaged in place (its start or its end is right), or old content played in between and
        // the data goes on later.
        const size_t tail = halfFrames - kMatchFrames;
        if (Equal(recorded, at, expected, next, kMatchFrames) ||
            Equal(recorded, at + tail, expected, next + tail, kMatchFrames)) {
            ++count.damagedHalves;
            at += halfFrames, next += halfFrames;
            continue;
        }
        size_t resumed = at + 1;
        while (resumed < at + 8 * halfFrames && !Equal(recorded, resumed, expected, next, kMatchFrames))
            ++resumed;
        if (resumed == at + 8 * halfFrames) return count.lostTrack = true, count;
        count.staleHalves += (resumed - at + halfFrames - 1) / halfFrames;
        at = resumed;
    }
    return count;
}
