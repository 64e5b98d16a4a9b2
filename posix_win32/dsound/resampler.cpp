#include "dsound/resampler.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace posix_win32 {
namespace {

constexpr uint64_t kOne = uint64_t(1) << 32;
constexpr float kFractionScale = 1.0f / 4294967296.0f;
// The cubic kernel's coefficients come from a table of phases; 1024 phases put the timing error below -60 dB of a
// 10 kHz tone, far under the kernel's own images.
constexpr int kPhaseBits = 10;
constexpr uint32_t kPhases = 1u << kPhaseBits;

struct alignas(16) CubicPhase {
    float tap[4];
};

// Catmull-Rom spline weights: every sample is passed through (phase 0 is 0, 1, 0, 0) and images fall far below a
// straight line's for four multiply-adds more.
const CubicPhase* CubicTable() {
    static const CubicPhase* table = [] {
        static CubicPhase phases[kPhases];
        for (uint32_t p = 0; p < kPhases; ++p) {
            float t = float(p) / float(kPhases);
            phases[p].tap[0] = 0.5f * t * (-1.0f + t * (2.0f - t));
            phases[p].tap[1] = 1.0f + 0.5f * t * t * (-5.0f + 3.0f * t);
            phases[p].tap[2] = 0.5f * t * (1.0f + t * (4.0f - 3.0f * t));
            phases[p].tap[3] = 0.5f * t * t * (t - 1.0f);
        }
        return phases;
    }();
    return table;
}

inline float LinearAt(const float* source, uint64_t position) {
    const float* taps = source + 1 + (position >> 32);
    return taps[0] + (taps[1] - taps[0]) * (float(uint32_t(position)) * kFractionScale);
}

inline float CubicAt(const CubicPhase* table, const float* source, uint64_t position) {
    const float* taps = source + (position >> 32);
    const float* weights = table[uint32_t(position) >> (32 - kPhaseBits)].tap;
    return taps[0] * weights[0] + taps[1] * weights[1] + taps[2] * weights[2] + taps[3] * weights[3];
}

inline void Add(float sample, size_t i, float gainA, float* mixA, float gainB, float* mixB) {
    mixA[i] += sample * gainA;
    if (mixB) mixB[i] += sample * gainB;
}

#if defined(__SSE2__)
inline void Add4(__m128 samples, size_t i, float gainA, float* mixA, float gainB, float* mixB) {
    _mm_storeu_ps(mixA + i, _mm_add_ps(_mm_loadu_ps(mixA + i), _mm_mul_ps(samples, _mm_set1_ps(gainA))));
    if (mixB) _mm_storeu_ps(mixB + i, _mm_add_ps(_mm_loadu_ps(mixB + i), _mm_mul_ps(samples, _mm_set1_ps(gainB))));
}

// Four outputs at a time: both taps of each come in one 64-bit load.
size_t LinearBy4(const float* source, uint64_t& position, uint64_t step, size_t frames, float gainA, float* mixA,
                 float gainB, float* mixB) {
    const __m128 scale = _mm_set1_ps(1.0f / 16777216.0f);
    size_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        uint64_t p0 = position, p1 = p0 + step, p2 = p1 + step, p3 = p2 + step;
        position = p3 + step;
        auto pair = [&](uint64_t p) {
            return _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(source + 1 + (p >> 32)));
        };
        __m128 low = _mm_movelh_ps(pair(p0), pair(p1));
        __m128 high = _mm_movelh_ps(pair(p2), pair(p3));
        __m128 first = _mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0));
        __m128 second = _mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1));
        // Fractions to 24 bits, which a float holds exactly and a signed 32-bit conversion accepts.
        __m128i fractions = _mm_setr_epi32(int(uint32_t(p0) >> 8), int(uint32_t(p1) >> 8), int(uint32_t(p2) >> 8),
                                           int(uint32_t(p3) >> 8));
        __m128 t = _mm_mul_ps(_mm_cvtepi32_ps(fractions), scale);
        Add4(_mm_add_ps(first, _mm_mul_ps(_mm_sub_ps(second, first), t)), i, gainA, mixA, gainB, mixB);
    }
    return i;
}

// Four outputs at a time: each output's four taps and weights are a vector product, summed after a transpose.
size_t CubicBy4(const CubicPhase* table, const float* source, uint64_t& position, uint64_t step, size_t frames,
                float gainA, float* mixA, float gainB, float* mixB) {
    size_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        __m128 product[4];
        for (int k = 0; k < 4; ++k, position += step) {
            __m128 taps = _mm_loadu_ps(source + (position >> 32));
            __m128 weights = _mm_load_ps(table[uint32_t(position) >> (32 - kPhaseBits)].tap);
            product[k] = _mm_mul_ps(taps, weights);
        }
        _MM_TRANSPOSE4_PS(product[0], product[1], product[2], product[3]);
        __m128 sum = _mm_add_ps(_mm_add_ps(product[0], product[1]), _mm_add_ps(product[2], product[3]));
        Add4(sum, i, gainA, mixA, gainB, mixB);
    }
    return i;
}
#endif

} // namespace

void ResampleAndAdd(ResamplerKind kind, const float* source, uint32_t fraction, uint64_t step, size_t frames,
                    float gainA, float* mixA, float gainB, float* mixB) {
    if (step == kOne && fraction == 0) {
        for (size_t i = 0; i < frames; ++i)
            Add(source[1 + i], i, gainA, mixA, gainB, mixB);
        return;
    }
    uint64_t position = fraction;
    size_t i = 0;
    if (kind == ResamplerKind::Linear) {
#if defined(__SSE2__)
        i = LinearBy4(source, position, step, frames, gainA, mixA, gainB, mixB);
#endif
        for (; i < frames; ++i, position += step)
            Add(LinearAt(source, position), i, gainA, mixA, gainB, mixB);
        return;
    }
    const CubicPhase* table = CubicTable();
#if defined(__SSE2__)
    i = CubicBy4(table, source, position, step, frames, gainA, mixA, gainB, mixB);
#endif
    for (; i < frames; ++i, position += step)
        Add(CubicAt(table, source, position), i, gainA, mixA, gainB, mixB);
}

} // namespace posix_win32
