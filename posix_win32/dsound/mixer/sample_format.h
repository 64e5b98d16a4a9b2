// Conversion between the buffers' PCM samples, the resampler's 16-bit source and the mixer's float samples
// (full scale ±1).
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace posix_win32 {

// Reads `count` frames from `frame` on of interleaved PCM into planar 16-bit samples (8-bit ones scaled up, so both
// have full scale 32768); `right` is used for stereo only.
void ReadPcmFrames(const uint8_t* memory, uint16_t bits, uint16_t channels, uint32_t frame, size_t count, int16_t* left,
                   int16_t* right);

// Writes planar floats as interleaved PCM, clipped to the format's range; `right` is used for stereo only.
void WritePcmFrames(const float* left, const float* right, size_t count, uint16_t bits, uint16_t channels, void* out);

} // namespace posix_win32
