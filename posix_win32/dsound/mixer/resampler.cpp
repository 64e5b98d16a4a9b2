#include "dsound/mixer/resampler.h"

#include <math.h>
#include <stdlib.h>

#include <vector>

#include "immortal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && defined(__GNUC__)
#include <immintrin.h>
#define ZORVA_RESAMPLER_AVX2 1
#endif

namespace posix_win32 {
namespace {

constexpr uint64_t kOne = uint64_t(1) << 32;
constexpr float kSampleScale = 1.0f / 32768.0f;

// Kaiser-windowed sinc kernels. At a ratio of 1 or below (the voice plays at or under the output rate) 24 taps put
// every image of the source at least 70 dB down while passing 0.4 of the source rate. Above 1 the cutoff follows the
// output's Nyquist frequency, so nothing folds back into the passband; the kernel keeps 24 taps up to a ratio of
// 1.25 and then stretches with the ratio, so the passband does not shrink.
constexpr int kBaseTaps = 32;
constexpr double kCutoff = 0.5 * 1.0; // cycles per source sample at a ratio of 1
constexpr double kKaiserBeta = 8.6;   // about 76 dB of stopband
constexpr double kUnstretchedRatio = 1.25;
// A ratio r above 1 uses the cutoff of the next power of 2^(1/8) at or above it, up to 4; beyond, the lowest one.
constexpr int kLevelsPerOctave = 8;
constexpr int kLevels = 2 * kLevelsPerOctave + 1;
// Coefficients at 256 phases of a sample; an output interpolates between the sums of the two phases around it.
constexpr int kPhaseBits = 8;
constexpr int kPhases = 1 << kPhaseBits;
constexpr float kBetweenScale = 1.0f / float(1u << (32 - kPhaseBits));

// Taps are 16-bit fixed point and multiplied with the 16-bit source in pairs (pmaddwd), eight taps an instruction.
// A phase's row holds its taps and the next phase's, eight and eight: [0-7 here][0-7 next][8-15 here]...
struct Kernel {
    int taps = 0;          // a multiple of eight, at most kResamplerFramesBefore + 1 + kResamplerFramesAfter
    const int16_t* phases; // kPhases rows of 2 * `taps` coefficients
    float scale = 0;       // from a sum of products to a float sample
};

double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 50 && term > 1e-12 * sum; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
    }
    return sum;
}

// The kernel of `taps` taps at `cutoff`, for a position `fraction` past the frame under tap taps/2 - 1, normalised
// so that a constant passes unchanged.
void KernelAt(int taps, double cutoff, double fraction, double* weights) {
    const double halfWidth = taps / 2.0;
    double sum = 0.0;
    for (int k = 0; k < taps; ++k) {
        const double x = (k - (taps / 2 - 1)) - fraction;
        const double u = x / halfWidth;
        const double window = u * u >= 1.0 ? 0.0 : BesselI0(kKaiserBeta * sqrt(1.0 - u * u)) / BesselI0(kKaiserBeta);
        const double arg = 2.0 * cutoff * x;
        const double sinc = arg == 0.0 ? 1.0 : sin(M_PI * arg) / (M_PI * arg);
        weights[k] = window * sinc;
        sum += weights[k];
    }
    for (int k = 0; k < taps; ++k)
        weights[k] /= sum;
}

class KernelTables {
  public:
    KernelTables() {
        size_t offsets[kLevels];
        size_t total = 0;
        for (int level = 0; level < kLevels; ++level) {
            const double ratio = pow(2.0, double(level) / kLevelsPerOctave);
            const double stretch = ratio > kUnstretchedRatio ? ratio / kUnstretchedRatio : 1.0;
            kernels[level].taps = (int(ceil(kBaseTaps * stretch)) + 7) / 8 * 8;
            offsets[level] = total;
            total += size_t(kPhases) * 2 * kernels[level].taps;
        }
        // The widest kernel must stay within what the mixer gathers around a position.
        if (size_t(kernels[kLevels - 1].taps) > kResamplerFramesBefore + 1 + kResamplerFramesAfter) abort();
        storage.resize(total);
        for (int level = 0; level < kLevels; ++level)
            Build(level, storage.data() + offsets[level]);
    }

    const Kernel& ForStep(uint64_t step) const {
        if (step <= kOne) return kernels[0];
        const int level = int(ceil(kLevelsPerOctave * log2(double(step) / double(kOne)) - 1e-9));
        return kernels[level < kLevels ? level : kLevels - 1];
    }

  private:
    void Build(int level, int16_t* rows) {
        Kernel& kernel = kernels[level];
        const int taps = kernel.taps;
        const double cutoff = kCutoff / pow(2.0, double(level) / kLevelsPerOctave);
        std::vector<double> weights(taps);
        // The most a sum may reach, full-scale source against every tap's sign, must stay within 32 bits.
        double widest = 0;
        for (int phase = 0; phase <= kPhases; ++phase) {
            KernelAt(taps, cutoff, double(phase) / kPhases, weights.data());
            double magnitude = 0;
            for (double weight : weights)
                magnitude += fabs(weight);
            widest = magnitude > widest ? magnitude : widest;
        }
        int bits = 15;
        while (widest * 32768.0 * double(1 << bits) >= 2147483647.0 * 0.98)
            --bits;
        const double one = double(1 << bits);
        kernel.scale = float(1.0 / (one * 32768.0));
        std::vector<int16_t> fixed(size_t(kPhases + 1) * taps);
        for (int phase = 0; phase <= kPhases; ++phase) {
            KernelAt(taps, cutoff, double(phase) / kPhases, weights.data());
            int16_t* row = fixed.data() + size_t(phase) * taps;
            // Rounded taps that miss a sum of exactly one by n units move by one unit each at the n taps that
            // rounding moved furthest, so a constant passes unchanged and no tap is off by more than one unit.
            long sum = 0;
            for (int k = 0; k < taps; ++k) {
                row[k] = int16_t(lrint(weights[k] * one));
                sum += row[k];
            }
            for (long missing = long(one) - sum; missing != 0; missing += missing > 0 ? -1 : 1) {
                const int direction = missing > 0 ? 1 : -1;
                int pick = 0;
                double furthest = -1;
                for (int k = 0; k < taps; ++k) {
                    const double moved = (weights[k] * one - row[k]) * direction;
                    if (moved > furthest) furthest = moved, pick = k;
                }
                row[pick] = int16_t(row[pick] + direction);
            }
        }
        for (int phase = 0; phase < kPhases; ++phase)
            for (int k = 0; k < taps; ++k) {
                int16_t* group = rows + size_t(phase) * 2 * taps + (k / 8) * 16 + k % 8;
                group[0] = fixed[size_t(phase) * taps + k];
                group[8] = fixed[size_t(phase + 1) * taps + k];
            }
        kernel.phases = rows;
    }

    Kernel kernels[kLevels];
    std::vector<int16_t> storage;
};

// Built once when the library loads, so that mixing never allocates or computes a table.
const Immortal<KernelTables> tables;

inline void Add(float sample, size_t i, float gainA, float* mixA, float gainB, float* mixB) {
    mixA[i] += sample * gainA;
    if (mixB) mixB[i] += sample * gainB;
}

// Where the kernel for `position` starts in the source, its phase row, and how far the position lies towards the
// next phase.
struct Placement {
    const int16_t* taps;
    const int16_t* row;
    float between;
};

inline Placement Place(const int16_t* source, const Kernel& kernel, uint64_t position) {
    const uint32_t fraction = uint32_t(position);
    return {source + kResamplerFramesBefore + (position >> 32) - (kernel.taps / 2 - 1),
            kernel.phases + size_t(fraction >> (32 - kPhaseBits)) * 2 * kernel.taps,
            float(fraction & ((1u << (32 - kPhaseBits)) - 1)) * kBetweenScale};
}

inline float SampleAt(const Kernel& kernel, const int16_t* source, uint64_t position) {
    const Placement at = Place(source, kernel, position);
    int32_t here = 0, next = 0;
    for (int k = 0; k < kernel.taps; ++k) {
        const int16_t* group = at.row + (k / 8) * 16 + k % 8;
        here += int32_t(at.taps[k]) * group[0];
        next += int32_t(at.taps[k]) * group[8];
    }
    return (float(here) + at.between * float(next - here)) * kernel.scale;
}

#if defined(__SSE2__)
inline void Add4(__m128 samples, size_t i, float gainA, float* mixA, float gainB, float* mixB) {
    _mm_storeu_ps(mixA + i, _mm_add_ps(_mm_loadu_ps(mixA + i), _mm_mul_ps(samples, _mm_set1_ps(gainA))));
    if (mixB) _mm_storeu_ps(mixB + i, _mm_add_ps(_mm_loadu_ps(mixB + i), _mm_mul_ps(samples, _mm_set1_ps(gainB))));
}

// The four lane sums of each of four outputs, added across into one vector of four.
inline __m128i SumAcross(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i abLow = _mm_unpacklo_epi32(a, b), abHigh = _mm_unpackhi_epi32(a, b);
    const __m128i cdLow = _mm_unpacklo_epi32(c, d), cdHigh = _mm_unpackhi_epi32(c, d);
    return _mm_add_epi32(_mm_add_epi32(_mm_unpacklo_epi64(abLow, cdLow), _mm_unpackhi_epi64(abLow, cdLow)),
                         _mm_add_epi32(_mm_unpacklo_epi64(abHigh, cdHigh), _mm_unpackhi_epi64(abHigh, cdHigh)));
}

// Four outputs summed at their phases and the next ones (`here`, `next`), scaled, interpolated and added.
inline void Finish4(const Kernel& kernel, const __m128i here[4], const __m128i next[4], const float between[4],
                    size_t i, float gainA, float* mixA, float gainB, float* mixB) {
    const __m128 atHere = _mm_cvtepi32_ps(SumAcross(here[0], here[1], here[2], here[3]));
    const __m128 atNext = _mm_cvtepi32_ps(SumAcross(next[0], next[1], next[2], next[3]));
    const __m128 t = _mm_loadu_ps(between);
    const __m128 samples =
        _mm_mul_ps(_mm_add_ps(atHere, _mm_mul_ps(t, _mm_sub_ps(atNext, atHere))), _mm_set1_ps(kernel.scale));
    Add4(samples, i, gainA, mixA, gainB, mixB);
}

// Four outputs at a time, eight taps of one phase an instruction. A kernel width known when compiling (`kTaps`,
// else 0) lets the inner loop unroll.
template <int kTaps>
size_t SincBy4(const Kernel& kernel, const int16_t* source, uint64_t& position, uint64_t step, size_t frames,
               float gainA, float* mixA, float gainB, float* mixB) {
    const int taps = kTaps ? kTaps : kernel.taps;
    size_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        __m128i here[4], next[4];
        float between[4];
        for (int k = 0; k < 4; ++k, position += step) {
            const Placement at = Place(source, kernel, position);
            __m128i sumHere = _mm_setzero_si128(), sumNext = _mm_setzero_si128();
            for (int m = 0; m < taps; m += 8) {
                const __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at.taps + m));
                const __m128i rowHere = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at.row + 2 * m));
                const __m128i rowNext = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at.row + 2 * m + 8));
                sumHere = _mm_add_epi32(sumHere, _mm_madd_epi16(samples, rowHere));
                sumNext = _mm_add_epi32(sumNext, _mm_madd_epi16(samples, rowNext));
            }
            here[k] = sumHere;
            next[k] = sumNext;
            between[k] = at.between;
        }
        Finish4(kernel, here, next, between, i, gainA, mixA, gainB, mixB);
    }
    return i;
}

#if defined(ZORVA_RESAMPLER_AVX2)
// The same with AVX2, where the processor has it: eight taps at both phases in one instruction.
template <int kTaps>
__attribute__((target("avx2"))) size_t SincBy4Avx2(const Kernel& kernel, const int16_t* source, uint64_t& position,
                                                   uint64_t step, size_t frames, float gainA, float* mixA, float gainB,
                                                   float* mixB) {
    const int taps = kTaps ? kTaps : kernel.taps;
    size_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        __m128i here[4], next[4];
        float between[4];
        for (int k = 0; k < 4; ++k, position += step) {
            const Placement at = Place(source, kernel, position);
            __m256i sum = _mm256_setzero_si256();
            for (int m = 0; m < taps; m += 8) {
                const __m256i samples =
                    _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at.taps + m)));
                const __m256i rows = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at.row + 2 * m));
                sum = _mm256_add_epi32(sum, _mm256_madd_epi16(samples, rows));
            }
            here[k] = _mm256_castsi256_si128(sum);
            next[k] = _mm256_extracti128_si256(sum, 1);
            between[k] = at.between;
        }
        Finish4(kernel, here, next, between, i, gainA, mixA, gainB, mixB);
    }
    return i;
}

const bool hasAvx2 = __builtin_cpu_supports("avx2");
#endif

size_t ResampleBy4(const Kernel& kernel, const int16_t* source, uint64_t& position, uint64_t step, size_t frames,
                   float gainA, float* mixA, float gainB, float* mixB) {
#if defined(ZORVA_RESAMPLER_AVX2)
    if (hasAvx2)
        return kernel.taps == kBaseTaps
                   ? SincBy4Avx2<kBaseTaps>(kernel, source, position, step, frames, gainA, mixA, gainB, mixB)
                   : SincBy4Avx2<0>(kernel, source, position, step, frames, gainA, mixA, gainB, mixB);
#endif
    return kernel.taps == kBaseTaps
               ? SincBy4<kBaseTaps>(kernel, source, position, step, frames, gainA, mixA, gainB, mixB)
               : SincBy4<0>(kernel, source, position, step, frames, gainA, mixA, gainB, mixB);
}
#endif

} // namespace

void ResampleAndAdd(const int16_t* source, uint32_t fraction, uint64_t step, size_t frames, float gainA, float* mixA,
                    float gainB, float* mixB) {
    if (step == kOne && fraction == 0) {
        for (size_t i = 0; i < frames; ++i)
            Add(source[kResamplerFramesBefore + i] * kSampleScale, i, gainA, mixA, gainB, mixB);
        return;
    }
    const Kernel& kernel = tables->ForStep(step);
    uint64_t position = fraction;
    size_t i = 0;
#if defined(__SSE2__)
    i = ResampleBy4(kernel, source, position, step, frames, gainA, mixA, gainB, mixB);
#endif
    for (; i < frames; ++i, position += step)
        Add(SampleAt(kernel, source, position), i, gainA, mixA, gainB, mixB);
}

} // namespace posix_win32
