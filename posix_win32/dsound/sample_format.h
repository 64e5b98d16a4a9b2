// Conversion between the buffers' PCM samples and the mixer's float samples (full scale ±1).
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace posix_win32 {

// Reads `count` frames from `frame` on of interleaved PCM into planar floats; `right` is used for stereo only.
void ReadPcmFrames(const uint8_t* memory, uint16_t bits, uint16_t channels, uint32_t frame, size_t count, float* left,
                   float* right);

// Writes planar floats as interleaved PCM, clipped to the format's range; `right` is used for stereo only.
void WritePcmFrames(const float* left, const float* right, size_t count, uint16_t bits, uint16_t channels, void* out);

} // namespace posix_win32
