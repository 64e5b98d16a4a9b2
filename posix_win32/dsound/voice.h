// A secondary buffer's playback state, as the mixer sees it.
#pragma once

#include <stdint.h>

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
    // The frame before `frame`, per channel, kept so that the host may rewrite everything behind the play cursor
    // while the interpolator still needs it.
    float history[2] = {};
};

} // namespace posix_win32
