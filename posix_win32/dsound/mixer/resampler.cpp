#include "dsound/mixer/resampler.h"

#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

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

// Kaiser-windowed sinc kernels, one per level of the ratio of the voice's rate to the output's.
//
// Level 0 serves every ratio up to 1 (the voice plays at or under the output rate): 32 taps at the source's Nyquist
// frequency put every image at least 70 dB down while passing 0.4 of the source rate. Its coefficients are kept at
// 256 phases of a sample, and an output interpolates between the sums of the two phases around it.
constexpr int kUpTaps = 32;
constexpr double kUpCutoff = 0.5; // cycles per source sample
constexpr double kUpBeta = 8.6;
constexpr int kUpPhaseBits = 8;
// Level L above 0 serves ratios up to 2^(L/16). Its kernel spans 48 output samples (so 48 times the ratio source
// samples; 52 from a ratio of 2 on) with its cutoff at 0.4525 of the output rate: the transition band ends at the
// output's Nyquist frequency 70 dB down, and 18 kHz of a 44.1 kHz output passes within 1 dB, at either end of the
// level's span of ratios. Its coefficients are kept at 4,096 phases, half as many each octave up as the cutoff
// falls, and an output takes the nearest: one sum a sample, not two, for kernels half again as wide.
constexpr int kLevelsPerOctave = 16;
constexpr int kNarrowWidth = 48; // output samples, up to a ratio of 2
constexpr double kNarrowBeta = 7.0;
constexpr int kWideWidth = 52; // beyond, where 16-bit taps leave less precision, a steeper window
constexpr double kWideBeta = 7.75;
constexpr double kDownCutoff = 0.4525;
constexpr int kDownPhaseBits = 12;
constexpr int kOctaves = 5; // up to kResamplerHighestRatio
constexpr int kLevels = 1 + kLevelsPerOctave * kOctaves;
static_assert(uint32_t(1) << kOctaves == kResamplerHighestRatio, "the levels reach the highest ratio");
static_assert(kWideWidth * kResamplerHighestRatio <= kResamplerFramesBefore + 1 + kResamplerFramesAfter,
              "the widest kernel stays within what the mixer gathers around a position");
static_assert(kUpTaps <= kResamplerFramesBefore + 1 + kResamplerFramesAfter, "level 0 fits too");

// Taps are 16-bit fixed point and multiplied with the 16-bit source in pairs (pmaddwd).
struct Kernel {
    int taps = 0;              // a multiple of eight
    int phaseBits = 0;         // 2^phaseBits phases a sample
    bool interpolated = false; // level 0: a row holds its phase's taps and the next one's, eight and eight
    const int16_t* rows = nullptr;
    float scale = 0; // from a sum of products to a float sample
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
void KernelAt(int taps, double cutoff, double beta, double fraction, double* weights) {
    const double halfWidth = taps / 2.0;
    double sum = 0.0;
    for (int k = 0; k < taps; ++k) {
        const double x = (k - (taps / 2 - 1)) - fraction;
        const double u = x / halfWidth;
        const double window = u * u >= 1.0 ? 0.0 : BesselI0(beta * sqrt(1.0 - u * u)) / BesselI0(beta);
        const double arg = 2.0 * cutoff * x;
        const double sinc = arg == 0.0 ? 1.0 : sin(M_PI * arg) / (M_PI * arg);
        weights[k] = window * sinc;
        sum += weights[k];
    }
    for (int k = 0; k < taps; ++k)
        weights[k] /= sum;
}

// The coefficients of every phase from 0 to 2^phaseBits (a whole sample on) rounded to 16 bits at the largest
// scale whose sums stay within 32 bits: of all the taps, or with `lanes`, of each half of them that the vector sums
// add up apart (taps 0 to 3 of every eight, and 4 to 7), the halves then meeting in floating point. Rounded taps that
// miss a sum of exactly one by n units move by one unit each at the n taps that rounding moved furthest, so a
// constant passes unchanged and no tap is off by more than one.
std::vector<int16_t> FixedPhases(int taps, double cutoff, double beta, int phaseBits, bool lanes, float* scale) {
    const int phases = 1 << phaseBits;
    std::vector<double> weights(size_t(phases + 1) * taps);
    double widest = 0, largest = 0;
    for (int phase = 0; phase <= phases; ++phase) {
        double* row = weights.data() + size_t(phase) * taps;
        KernelAt(taps, cutoff, beta, double(phase) / phases, row);
        double magnitude[4] = {};
        for (int k = 0; k < taps; ++k) {
            magnitude[lanes ? (k % 8) / 4 : 0] += fabs(row[k]);
            largest = fabs(row[k]) > largest ? fabs(row[k]) : largest;
        }
        for (double lane : magnitude)
            widest = lane > widest ? lane : widest;
    }
    // Wide kernels have small taps: the scale grows as far as both bounds allow, for the precision of their stopband.
    int bits = 0;
    while (bits < 20 && widest * 32768.0 * double(1 << (bits + 1)) < 2147483647.0 * 0.98 &&
           largest * double(1 << (bits + 1)) < 32767.0)
        ++bits;
    const double one = double(1 << bits);
    *scale = float(1.0 / (one * 32768.0));
    std::vector<int16_t> fixed(weights.size());
    for (int phase = 0; phase <= phases; ++phase) {
        const double* exact = weights.data() + size_t(phase) * taps;
        int16_t* row = fixed.data() + size_t(phase) * taps;
        long sum = 0;
        for (int k = 0; k < taps; ++k) {
            row[k] = int16_t(lrint(exact[k] * one));
            sum += row[k];
        }
        for (long missing = long(one) - sum; missing != 0; missing += missing > 0 ? -1 : 1) {
            const int direction = missing > 0 ? 1 : -1;
            int pick = 0;
            double furthest = -1;
            for (int k = 0; k < taps; ++k) {
                const double moved = (exact[k] * one - row[k]) * direction;
                if (moved > furthest) furthest = moved, pick = k;
            }
            row[pick] = int16_t(row[pick] + direction);
        }
    }
    return fixed;
}

bool IsWideLevel(int level) { return level >= kLevelsPerOctave; }

int TapsOfLevel(int level) {
    if (level == 0) return kUpTaps;
    const int width = IsWideLevel(level) ? kWideWidth : kNarrowWidth;
    return (int(ceil(width * pow(2.0, double(level) / kLevelsPerOctave) - 1e-9)) + 7) / 8 * 8;
}

int LevelFor(uint64_t step) {
    if (step <= kOne) return 0;
    const int level = int(ceil(kLevelsPerOctave * log2(double(step) / double(kOne)) - 1e-9));
    return level < kLevels ? level : kLevels - 1;
}

// The kernel of a level, in memory that is never given back: the mixer may read it until the process ends.
const Kernel* BuildLevel(int level) {
    Kernel* kernel = new Kernel;
    if (level == 0) {
        kernel->taps = kUpTaps;
        kernel->phaseBits = kUpPhaseBits;
        kernel->interpolated = true;
        const int phases = 1 << kUpPhaseBits;
        const std::vector<int16_t> fixed =
            FixedPhases(kUpTaps, kUpCutoff, kUpBeta, kUpPhaseBits, false, &kernel->scale);
        int16_t* rows = new int16_t[size_t(phases) * 2 * kUpTaps];
        for (int phase = 0; phase < phases; ++phase)
            for (int k = 0; k < kUpTaps; ++k) {
                int16_t* group = rows + size_t(phase) * 2 * kUpTaps + (k / 8) * 16 + k % 8;
                group[0] = fixed[size_t(phase) * kUpTaps + k];
                group[8] = fixed[size_t(phase + 1) * kUpTaps + k];
            }
        kernel->rows = rows;
        return kernel;
    }
    const double ratio = pow(2.0, double(level) / kLevelsPerOctave);
    kernel->taps = TapsOfLevel(level);
    kernel->phaseBits = kDownPhaseBits - (level - 1) / kLevelsPerOctave;
    const std::vector<int16_t> fixed =
        FixedPhases(kernel->taps, kDownCutoff / ratio, IsWideLevel(level) ? kWideBeta : kNarrowBeta, kernel->phaseBits,
                    true, &kernel->scale);
    int16_t* rows = new int16_t[fixed.size()];
    std::copy(fixed.begin(), fixed.end(), rows);
    kernel->rows = rows;
    return kernel;
}

// Built on first need by a caller's thread; the mixer only loads them.
std::atomic<const Kernel*> levels[kLevels];
std::mutex buildMutex;

inline void Add(float sample, size_t i, float gainA, float* mixA, float gainB, float* mixB) {
    mixA[i] += sample * gainA;
    if (mixB) mixB[i] += sample * gainB;
}

// Where the kernel for `position` starts in the source, and its phase row: for level 0 the phase below the position
// and how far the position lies towards the next one, otherwise the nearest phase.
struct Placement {
    const int16_t* taps;
    const int16_t* row;
    float between;
};

inline Placement Place(const int16_t* source, const Kernel& kernel, uint64_t position) {
    const int16_t* taps = source + kResamplerFramesBefore + (position >> 32) - (kernel.taps / 2 - 1);
    const uint32_t fraction = uint32_t(position), shift = 32 - kernel.phaseBits;
    if (kernel.interpolated)
        return {taps, kernel.rows + size_t(fraction >> shift) * 2 * kernel.taps,
                float(fraction & ((1u << shift) - 1)) * (1.0f / float(1u << shift))};
    const uint64_t nearest = (uint64_t(fraction) + (uint64_t(1) << (shift - 1))) >> shift;
    return {taps, kernel.rows + size_t(nearest) * kernel.taps, 0.0f};
}

// The same for a level above 0, without asking which kind of kernel it is.
inline Placement PlaceNearest(const int16_t* source, const Kernel& kernel, uint64_t position) {
    const uint32_t shift = 32 - kernel.phaseBits;
    const uint64_t nearest = (uint64_t(uint32_t(position)) + (uint64_t(1) << (shift - 1))) >> shift;
    return {source + kResamplerFramesBefore + (position >> 32) - (kernel.taps / 2 - 1),
            kernel.rows + size_t(nearest) * kernel.taps, 0.0f};
}

inline float SampleAt(const Kernel& kernel, const int16_t* source, uint64_t position) {
    const Placement at = Place(source, kernel, position);
    int64_t here = 0, next = 0;
    for (int k = 0; k < kernel.taps; ++k) {
        if (!kernel.interpolated) {
            here += int32_t(at.taps[k]) * at.row[k];
            continue;
        }
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

// Four level-0 outputs summed at their phases and the next ones (`here`, `next`), scaled, interpolated and added.
inline void Finish4(const Kernel& kernel, const __m128i here[4], const __m128i next[4], const float between[4],
                    size_t i, float gainA, float* mixA, float gainB, float* mixB) {
    const __m128 atHere = _mm_cvtepi32_ps(SumAcross(here[0], here[1], here[2], here[3]));
    const __m128 atNext = _mm_cvtepi32_ps(SumAcross(next[0], next[1], next[2], next[3]));
    const __m128 t = _mm_loadu_ps(between);
    const __m128 samples =
        _mm_mul_ps(_mm_add_ps(atHere, _mm_mul_ps(t, _mm_sub_ps(atNext, atHere))), _mm_set1_ps(kernel.scale));
    Add4(samples, i, gainA, mixA, gainB, mixB);
}

// The same, but the two halves of each output (its lanes 0 and 1, and 2 and 3) meet in floating point: the whole
// sum of a wide kernel may not fit 32 bits.
inline __m128 SumAcrossFloat(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i abLow = _mm_unpacklo_epi32(a, b), abHigh = _mm_unpackhi_epi32(a, b);
    const __m128i cdLow = _mm_unpacklo_epi32(c, d), cdHigh = _mm_unpackhi_epi32(c, d);
    const __m128i low = _mm_add_epi32(_mm_unpacklo_epi64(abLow, cdLow), _mm_unpackhi_epi64(abLow, cdLow));
    const __m128i high = _mm_add_epi32(_mm_unpacklo_epi64(abHigh, cdHigh), _mm_unpackhi_epi64(abHigh, cdHigh));
    return _mm_add_ps(_mm_cvtepi32_ps(low), _mm_cvtepi32_ps(high));
}

// Four nearest-phase outputs, summed, scaled and added.
inline void FinishNearest4(const Kernel& kernel, const __m128i sums[4], size_t i, float gainA, float* mixA, float gainB,
                           float* mixB) {
    const __m128 samples = _mm_mul_ps(SumAcrossFloat(sums[0], sums[1], sums[2], sums[3]), _mm_set1_ps(kernel.scale));
    Add4(samples, i, gainA, mixA, gainB, mixB);
}

// Level 0, four outputs at a time, eight taps of one phase an instruction.
size_t InterpolatedBy4(const Kernel& kernel, const int16_t* source, uint64_t& position, uint64_t step, size_t frames,
                       float gainA, float* mixA, float gainB, float* mixB) {
    size_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        __m128i here[4], next[4];
        float between[4];
        for (int k = 0; k < 4; ++k, position += step) {
            const Placement at = Place(source, kernel, position);
            __m128i sumHere = _mm_setzero_si128(), sumNext = _mm_setzero_si128();
            for (int m = 0; m < kUpTaps; m += 8) {
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

// Levels above 0, four outputs at a time, eight taps an instruction.
size_t NearestBy4(const Kernel& kernel, const int16_t* source, uint64_t& position, uint64_t step, size_t frames,
                  float gainA, float* mixA, float gainB, float* mixB) {
    size_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        __m128i sums[4];
        for (int k = 0; k < 4; ++k, position += step) {
            const Placement at = PlaceNearest(source, kernel, position);
            __m128i sum = _mm_setzero_si128();
            for (int m = 0; m < kernel.taps; m += 8) {
                const __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at.taps + m));
                const __m128i row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at.row + m));
                sum = _mm_add_epi32(sum, _mm_madd_epi16(samples, row));
            }
            sums[k] = sum;
        }
        FinishNearest4(kernel, sums, i, gainA, mixA, gainB, mixB);
    }
    return i;
}

#if defined(ZORVA_RESAMPLER_AVX2)
// Level 0 with AVX2, where the processor has it: eight taps at both phases in one instruction.
__attribute__((target("avx2"))) size_t InterpolatedBy4Avx2(const Kernel& kernel, const int16_t* source,
                                                           uint64_t& position, uint64_t step, size_t frames,
                                                           float gainA, float* mixA, float gainB, float* mixB) {
    size_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        __m128i here[4], next[4];
        float between[4];
        for (int k = 0; k < 4; ++k, position += step) {
            const Placement at = Place(source, kernel, position);
            __m256i sum = _mm256_setzero_si256();
            for (int m = 0; m < kUpTaps; m += 8) {
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

// Levels above 0 with AVX2: sixteen taps an instruction, and the last eight with SSE2 where the width leaves them.
template <int kTaps>
__attribute__((target("avx2"))) size_t NearestBy4Avx2(const Kernel& kernel, const int16_t* source, uint64_t& position,
                                                      uint64_t step, size_t frames, float gainA, float* mixA,
                                                      float gainB, float* mixB) {
    const int taps = kTaps ? kTaps : kernel.taps;
    const int wide = taps / 16 * 16;
    size_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        __m128i sums[4];
        for (int k = 0; k < 4; ++k, position += step) {
            const Placement at = PlaceNearest(source, kernel, position);
            __m256i sum = _mm256_setzero_si256();
            for (int m = 0; m < wide; m += 16) {
                const __m256i samples = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at.taps + m));
                const __m256i row = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at.row + m));
                sum = _mm256_add_epi32(sum, _mm256_madd_epi16(samples, row));
            }
            __m128i folded = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
            if (wide < taps) {
                const __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at.taps + wide));
                const __m128i row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at.row + wide));
                folded = _mm_add_epi32(folded, _mm_madd_epi16(samples, row));
            }
            sums[k] = folded;
        }
        FinishNearest4(kernel, sums, i, gainA, mixA, gainB, mixB);
    }
    return i;
}

// A width known when compiling unrolls the loop, which more than halves its cost: every width up to a ratio of 2.
// The rest, for voices far above the output rate, take the loop as it comes.
size_t NearestAvx2(const Kernel& kernel, const int16_t* source, uint64_t& position, uint64_t step, size_t frames,
                   float gainA, float* mixA, float gainB, float* mixB) {
    switch (kernel.taps) {
#define ZORVA_NEAREST_WIDTH(taps)                                                                                      \
    case taps: return NearestBy4Avx2<taps>(kernel, source, position, step, frames, gainA, mixA, gainB, mixB);
        ZORVA_NEAREST_WIDTH(56)
        ZORVA_NEAREST_WIDTH(64)
        ZORVA_NEAREST_WIDTH(72)
        ZORVA_NEAREST_WIDTH(80)
        ZORVA_NEAREST_WIDTH(88)
        ZORVA_NEAREST_WIDTH(96)
        ZORVA_NEAREST_WIDTH(104)
#undef ZORVA_NEAREST_WIDTH
    default: return NearestBy4Avx2<0>(kernel, source, position, step, frames, gainA, mixA, gainB, mixB);
    }
}

const bool hasAvx2 = __builtin_cpu_supports("avx2");
#endif

size_t ResampleBy4(const Kernel& kernel, const int16_t* source, uint64_t& position, uint64_t step, size_t frames,
                   float gainA, float* mixA, float gainB, float* mixB) {
#if defined(ZORVA_RESAMPLER_AVX2)
    if (hasAvx2)
        return kernel.interpolated
                   ? InterpolatedBy4Avx2(kernel, source, position, step, frames, gainA, mixA, gainB, mixB)
                   : NearestAvx2(kernel, source, position, step, frames, gainA, mixA, gainB, mixB);
#endif
    return kernel.interpolated ? InterpolatedBy4(kernel, source, position, step, frames, gainA, mixA, gainB, mixB)
                               : NearestBy4(kernel, source, position, step, frames, gainA, mixA, gainB, mixB);
}
#endif

} // namespace

ResamplerChoice ChooseResampler(uint64_t step) {
    const int level = LevelFor(step);
    const int taps = TapsOfLevel(level);
    return {step, size_t(taps / 2 - 1), size_t(taps / 2), levels[level].load(std::memory_order_acquire)};
}

void PrepareResampler(uint64_t step) {
    const int level = LevelFor(step);
    if (levels[level].load(std::memory_order_acquire)) return;
    std::lock_guard lock(buildMutex);
    if (!levels[level].load(std::memory_order_relaxed))
        levels[level].store(BuildLevel(level), std::memory_order_release);
}

void ResampleAndAdd(const ResamplerChoice& choice, const int16_t* source, uint32_t fraction, size_t frames, float gainA,
                    float* mixA, float gainB, float* mixB) {
    const uint64_t step = choice.step;
    if (step == kOne && fraction == 0) {
        for (size_t i = 0; i < frames; ++i)
            Add(source[kResamplerFramesBefore + i] * kSampleScale, i, gainA, mixA, gainB, mixB);
        return;
    }
    if (!choice.kernel) return;
    const Kernel& kernel = *static_cast<const Kernel*>(choice.kernel);
    uint64_t position = fraction;
    size_t i = 0;
#if defined(__SSE2__)
    i = ResampleBy4(kernel, source, position, step, frames, gainA, mixA, gainB, mixB);
#endif
    for (; i < frames; ++i, position += step)
        Add(SampleAt(kernel, source, position), i, gainA, mixA, gainB, mixB);
}

} // namespace posix_win32
