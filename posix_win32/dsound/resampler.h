// Interpolation of a source channel at fractional positions, added straight into the mix.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace posix_win32 {

enum class ResamplerKind { Linear, Cubic };

// Adds `frames` samples, resampled from `source` at a 32.32 fixed-point `step` starting `fraction` past source[1]
// (source[0] is the frame before), to `mixA` at `gainA` and, when `mixB` is not null, to `mixB` at `gainB`. The
// source holds two frames past the last position for the cubic kernel. At step 1 with no fraction the samples pass
// through unchanged.
void ResampleAndAdd(ResamplerKind kind, const float* source, uint32_t fraction, uint64_t step, size_t frames,
                    float gainA, float* mixA, float gainB, float* mixB);

} // namespace posix_win32
