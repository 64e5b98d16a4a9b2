// Interpolation of a source frame stream at a fractional position.
#pragma once

namespace posix_win32 {

enum class ResamplerKind { Linear, Cubic };

// Taps at -1, 0, +1, +2 around the position; `t` is the fraction past tap 0, in [0, 1).
inline float InterpolateLinear(const float* taps, float t) { return taps[1] + (taps[2] - taps[1]) * t; }

// Catmull-Rom spline: passes through every sample (t = 0 gives tap 0 exactly) and rolls off images far better than
// a straight line for the cost of four multiply-adds more.
inline float InterpolateCubic(const float* taps, float t) {
    float a = taps[2] - taps[0];
    float b = 2.0f * taps[0] - 5.0f * taps[1] + 4.0f * taps[2] - taps[3];
    float c = 3.0f * (taps[1] - taps[2]) + taps[3] - taps[0];
    return taps[1] + 0.5f * t * (a + t * (b + t * c));
}

} // namespace posix_win32
