// The capture analysis the scenario scripts rely on, on synthetic captures whose answers are known: a tone's onset,
// end, level and frequency, and the seams of a loop (a gap, a phase jump).
#include <math.h>

#include <vector>

#include <gtest/gtest.h>

extern "C" {
#include "capture_features.h"
}

// Reading a capture file is the scenario host's; these captures are made in memory.
extern "C" char* ReadWholeFile(const char*, size_t*) { return nullptr; }

namespace {

constexpr double kRate = kCaptureRate;

// A stereo capture: silence until `onMs`, then a sine of `hz` at `amplitude` until `offMs`, silence after.
std::vector<float> Tone(double totalMs, double onMs, double offMs, double hz, double amplitude) {
    std::vector<float> samples(size_t(totalMs * kRate / 1000) * kCaptureChannels, 0.0f);
    for (size_t frame = size_t(onMs * kRate / 1000); frame < size_t(offMs * kRate / 1000); ++frame)
        samples[2 * frame] = samples[2 * frame + 1] = float(amplitude * sin(2 * M_PI * hz * double(frame) / kRate));
    return samples;
}

Capture Of(std::vector<float>& samples) { return {samples.data(), samples.size() / kCaptureChannels}; }

} // namespace

TEST(CaptureFeaturesTest, ATonesOnsetEndLevelAndFrequency) {
    std::vector<float> samples = Tone(1000, 200, 700, 441, 0.5);
    const Capture capture = Of(samples);
    EXPECT_NEAR(FindOnsetMs(&capture, 0), 200, 0.1);
    EXPECT_LT(FindOnsetMs(&capture, 750), 0) << "no sound after the tone";
    EXPECT_NEAR(FindEndMs(&capture, 200, 60), 700, 1.2);
    EXPECT_NEAR(PeakAmplitude(&capture, 300, 400), 0.5, 0.001);
    EXPECT_LE(PeakAmplitude(&capture, 750, 1000), SILENCE_AMPLITUDE);
    // A sine of peak 0.5 is 0.354 RMS: -9.03 dBFS.
    EXPECT_NEAR(LevelDb(&capture, 300, 600, 0), 20 * log10(0.5 / sqrt(2.0)), 0.05);
    EXPECT_NEAR(ToneFrequency(&capture, 300, 600, 0), 441, 441 * 0.001);
    EXPECT_NEAR(CaptureLengthMs(&capture), 1000, 0.1);
}

// A quiet stretch shorter than the quiet a sound's end needs is no end: a loop's seam in a fading sound.
TEST(CaptureFeaturesTest, AShortGapIsNoEnd) {
    std::vector<float> samples = Tone(1000, 100, 900, 441, 0.5);
    for (size_t frame = size_t(0.4 * kRate); frame < size_t(0.44 * kRate); ++frame)
        samples[2 * frame] = samples[2 * frame + 1] = 0;
    const Capture capture = Of(samples);
    EXPECT_NEAR(FindEndMs(&capture, 100, 60), 900, 1.2);
    EXPECT_NEAR(FindEndMs(&capture, 100, 30), 400, 1.2);
}

// A loop's seams: a gap of 5 ms and, elsewhere, a jump of half a period, each found where it is; a steady tone has
// none.
TEST(CaptureFeaturesTest, ALoopsGapAndPhaseJumpAreFound) {
    std::vector<float> steady = Tone(1000, 0, 1000, 441, 0.5);
    Capture capture = Of(steady);
    ToneSeams seams;
    FindToneSeams(&capture, 50, 950, 0, 0.005, &seams);
    EXPECT_EQ(seams.gaps, 0);
    EXPECT_EQ(seams.count, 0);

    std::vector<float> seamed(steady.size());
    const size_t jumpAt = size_t(0.6 * kRate), gapAt = size_t(0.3 * kRate);
    for (size_t frame = 0; frame < seamed.size() / 2; ++frame) {
        const double phase = frame < jumpAt ? 0.0 : M_PI;
        const bool inGap = frame >= gapAt && frame < gapAt + size_t(0.005 * kRate);
        seamed[2 * frame] = seamed[2 * frame + 1] =
            inGap ? 0.0f : float(0.5 * sin(2 * M_PI * 441 * double(frame) / kRate + phase));
    }
    capture = Of(seamed);
    FindToneSeams(&capture, 50, 950, 0, 0.005, &seams);
    EXPECT_EQ(seams.gaps, 1);
    EXPECT_NEAR(seams.longestSilenceMs, 5, 0.5);
    EXPECT_NEAR(seams.longestSilenceAtMs, 300, 1);
    ASSERT_GE(seams.count, 1);
    bool jumpFound = false;
    for (int i = 0; i < seams.count; ++i)
        jumpFound = jumpFound || fabs(seams.atMs[i] - 600) < 3;
    EXPECT_TRUE(jumpFound) << "the phase jump at 600 ms";
}
