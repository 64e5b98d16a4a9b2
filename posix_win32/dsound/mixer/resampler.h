// Band-limited interpolation of a source channel at fractional positions, added straight into the mix.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace posix_win32 {

// Source frames the widest kernel reads before and after the frame at a position: whoever gathers a run of source
// for the resampler puts this many around it.
constexpr size_t kResamplerFramesBefore = 51;
constexpr size_t kResamplerFramesAfter = 52;

// Adds `frames` samples, resampled from the 16-bit `source` at a 32.32 fixed-point `step` starting `fraction` past
// source[kResamplerFramesBefore], to the float mixes (full scale 1) `mixA` at `gainA` and, when `mixB` is not null,
// `mixB` at `gainB`. The kernel is a windowed sinc whose cutoff follows the lower of the two rates, so a step above 1
// is filtered before it is decimated. At step 1 with no fraction the samples pass through unchanged.
void ResampleAndAdd(const int16_t* source, uint32_t fraction, uint64_t step, size_t frames, float gainA, float* mixA,
                    float gainB, float* mixB);

} // namespace posix_win32
