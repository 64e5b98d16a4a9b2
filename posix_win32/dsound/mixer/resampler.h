// Band-limited interpolation of a source channel at fractional positions, added straight into the mix.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace posix_win32 {

// The highest ratio of a voice's rate to the output's that is filtered as it should be (a 200,000 Hz voice into a
// 6,250 Hz mix); above it the widest kernel serves, and what lies above its cutoff may fold back.
constexpr uint32_t kResamplerHighestRatio = 32;
// Source frames the widest kernel reads before and after the frame at a position: whoever gathers a run of source
// for the resampler puts this many around it.
constexpr size_t kResamplerFramesBefore = 895;
constexpr size_t kResamplerFramesAfter = 896;

// The kernel for a step, chosen once: how many source frames it reads before and after the frame at a position
// (within the constants above), and the kernel itself, null while no caller has prepared it.
struct ResamplerChoice {
    uint64_t step;
    size_t before;
    size_t after;
    const void* kernel;
};
ResamplerChoice ChooseResampler(uint64_t step);

// Makes the kernel a `step` (a 32.32 fixed-point ratio of the voice's rate to the output's) needs, if it is not
// there yet: a table built once, on the calling thread, so that mixing never builds, allocates or waits. Every
// caller that gives a voice a new rate or the output a new one calls it before the mixer can see the change.
void PrepareResampler(uint64_t step);

// Adds `frames` samples, resampled from the 16-bit `source` at `choice.step` starting `fraction` past
// source[kResamplerFramesBefore], to the float mixes (full scale 1) `mixA` at `gainA` and, when `mixB` is not null,
// `mixB` at `gainB`. At step 1 with no fraction the samples pass through unchanged. Below it, a windowed sinc at
// the source's Nyquist frequency removes the images; above it, one whose transition band ends at the output's
// Nyquist frequency removes what would fold back, and passes 0.41 of the output rate (18 kHz at 44.1 kHz). A kernel
// not prepared adds nothing: the output never waits for one.
void ResampleAndAdd(const ResamplerChoice& choice, const int16_t* source, uint32_t fraction, size_t frames, float gainA,
                    float* mixA, float gainB, float* mixB);

} // namespace posix_win32
