// A secondary buffer's playback state, as the mixer sees it.
#pragma once

#include <stdint.h>
#include <string.h>

#include "dsound/mixer/resampler.h"

namespace posix_win32 {

// The fixed fields never change after creation; the others are guarded by the mixer's state mutex.
struct Voice {
    const uint8_t* memory = nullptr;
    uint32_t frames = 0;
    uint16_t channels = 1;
    uint16_t bits = 16;

    bool playing = false;
    bool looping = false;
    uint32_t frequency = 0;
    float volumeGain = 1.0f;
    float leftPanGain = 1.0f;
    float rightPanGain = 1.0f;
    // Play position: whole frames and a 32-bit binary fraction of one.
    uint32_t frame = 0;
    uint32_t fraction = 0;
    uint64_t playedFrames = 0; // every frame the position has moved on, laps included
    // The frames before `frame`, per channel and oldest first, kept so that the host may rewrite everything behind
    // the play cursor while the resampler still reads it.
    int16_t history[2][kResamplerFramesBefore] = {};

    void ClearHistory() { memset(history, 0, sizeof history); }
};

} // namespace posix_win32
