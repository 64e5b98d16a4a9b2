// The resampler on rendered samples: what it adds to a tone, and where it puts it, for the rates game sounds come in
// and for pitch changes both ways, a tone above the output's Nyquist frequency among them.
#include <math.h>

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "dsound/mixer/mixer.h"
#include "dsound/mixer/resampler.h"

namespace {

// A rendered tone against the sine it must be: the least-squares fit of a sine of a known frequency, and what is
// left besides it (images, aliases, noise), both against a tone of 16000 peak.
struct SineFit {
    double phase;  // how far it lies behind a sine starting at sample 0, in radians
    double restDb; // everything else, the whole signal where the tone must be absent
};

// Fits a sine of `hz` at `rate` to `signal`; with `present` false the tone must be gone, and all of it counts.
SineFit FitSine(const std::vector<double>& signal, double hz, double rate, bool present = true) {
    const double step = 2 * M_PI * hz / rate;
    double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
    for (size_t i = 0; i < signal.size(); ++i) {
        const double s = sin(step * double(i)), c = cos(step * double(i));
        ss += s * s, cc += c * c, sc += s * c, ys += signal[i] * s, yc += signal[i] * c;
    }
    const double det = ss * cc - sc * sc, kept = present ? 1.0 : 0.0;
    const double a = kept * (ys * cc - yc * sc) / det, b = kept * (yc * ss - ys * sc) / det;
    double rest = 0;
    for (size_t i = 0; i < signal.size(); ++i) {
        const double error = signal[i] - a * sin(step * double(i)) - b * cos(step * double(i));
        rest += error * error;
    }
    return {present ? atan2(b, a) : 0.0, 10 * log10(rest / (16000.0 * 16000.0 / 2 * double(signal.size())))};
}

constexpr uint32_t kOutputRate = 44100;
constexpr size_t kAnalysed = 16384;
constexpr size_t kSettle = 2000; // frames past the start, where the kernel still reads the silence before it

// A looping mono voice of one second at `rate`, played at `frequency`, rendered into 16-bit stereo (left first).
std::vector<int16_t> RenderVoice(const std::vector<int16_t>& source, uint32_t frequency, size_t frames) {
    posix_win32::Voice voice;
    voice.memory = reinterpret_cast<const uint8_t*>(source.data());
    voice.frames = uint32_t(source.size());
    voice.frequency = frequency;
    voice.looping = true;
    voice.state = posix_win32::kStatePlaying;
    posix_win32::Mixer mixer;
    mixer.SetOutputFormat({kOutputRate, 2, 16});
    mixer.AddVoice(&voice);
    std::vector<int16_t> out(2 * frames);
    mixer.Render(out.data(), frames);
    return out;
}

std::vector<int16_t> Sine(uint32_t rate, double frequency) {
    std::vector<int16_t> samples(rate);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(lrint(16000 * sin(2 * M_PI * frequency * double(i) / rate)));
    return samples;
}

struct QualityCase {
    const char* name;
    uint32_t sourceRate;
    uint32_t frequency; // the voice's playback rate
    double tone;        // in the source, Hz
};

// Everything the resampler adds (images, aliases, noise), in dB against the tone: the power of the output less its
// least-squares fit of a sine at the frequency the tone must come out at. Above the output's Nyquist frequency that
// is no sine at all: the tone must be removed, so all of the output counts. In *phase*, how far the fitted sine
// lies behind the source's own (in radians): the kernel is centred on the position, so none.
double SpuriousDb(const QualityCase& c, double* phase) {
    const std::vector<int16_t> out = RenderVoice(Sine(c.sourceRate, c.tone), c.frequency, kSettle + kAnalysed);
    const double heard = c.tone * c.frequency / c.sourceRate;
    // The fit starts its own clock at the first analysed frame: the tone's phase there is the settled frames'.
    std::vector<double> left;
    for (size_t i = kSettle; i < out.size() / 2; ++i)
        left.push_back(out[2 * i]);
    const SineFit fit = FitSine(left, heard, kOutputRate, heard < kOutputRate / 2);
    *phase = remainder(fit.phase - 2 * M_PI * heard / kOutputRate * double(kSettle), 2 * M_PI);
    if (heard >= kOutputRate / 2) *phase = 0;
    return fit.restDb;
}

} // namespace

TEST(ResamplerQualityTest, WhatTheResamplerAddsIsAtLeast70dBBelowTheTone) {
    const QualityCase cases[] = {
        {"22,050 Hz source, 9 kHz (image at 13,050 Hz)", 22050, 22050, 9000},
        {"11,025 Hz source, 4 kHz", 11025, 11025, 4000},
        {"10 kHz at pitch 1.5 (alias at 7,050 Hz)", 44100, 66150, 10000},
        {"10 kHz at pitch 2/3", 44100, 29400, 10000},
        {"22,050 Hz source, 1 kHz", 22050, 22050, 1000},
        {"22,050 Hz source, 4 kHz at 1.9 times the output rate", 22050, 83790, 4000},
        {"22,050 Hz source, 10 kHz at 3 times: heard at 30 kHz, removed, not folded", 22050, 66150, 10000},
    };
    for (const QualityCase& c : cases) {
        double phase = 0;
        const double spurious = SpuriousDb(c, &phase);
        printf("%-55s spurious %6.1f dB, phase %+.4f rad\n", c.name, spurious, phase);
        EXPECT_LE(spurious, -70.0) << c.name;
        // A kernel a source frame off would put the tone 2 pi f / rate behind: 0.6 rad at the least here.
        EXPECT_LE(fabs(phase), 0.01) << c.name;
    }
}

// Above a ratio of 1, at the bottom and the top of a level, up to the highest a buffer reaches into a 44.1 kHz
// output (200,000 Hz): every tone the output cannot hold (from its Nyquist frequency to where the source's own ends)
// is 70 dB down, and 18,141 Hz of a 44.1 kHz output passes within 1 dB. The kernel alone, on a 16-bit sine.
TEST(ResamplerQualityTest, EveryRatioStopsAboveTheOutputsNyquistFrequencyAndPasses18kHz) {
    auto levelDb = [](double ratio, double outputCycles) {
        const uint64_t step = uint64_t(ratio * 4294967296.0);
        posix_win32::PrepareResampler(step);
        const posix_win32::ResamplerChoice choice = posix_win32::ChooseResampler(step);
        std::vector<float> out(4000, 0.0f);
        std::vector<int16_t> source(posix_win32::kResamplerFramesBefore + size_t(double(out.size()) * ratio) + 1 +
                                    posix_win32::kResamplerFramesAfter);
        for (size_t i = 0; i < source.size(); ++i)
            source[i] = int16_t(lrint(16000 * sin(2 * M_PI * outputCycles / ratio * double(i))));
        posix_win32::ResampleAndAdd(choice, source.data(), 0, out.size(), 1.0f, out.data(), 0.0f, nullptr);
        double power = 0;
        for (float sample : out)
            power += double(sample) * sample;
        return 10 * log10(power / (0.5 * (16000.0 / 32768) * (16000.0 / 32768) * double(out.size())));
    };
    for (double ratio : {1.1, 1.5, 1.96, 2.0, 2.05, 4.535}) {
        double worst = -300;
        for (double cycles = 0.5; cycles < std::min(0.75, 0.49 * ratio); cycles += 0.005)
            worst = std::max(worst, levelDb(ratio, cycles));
        const double passband = levelDb(ratio, 18141.0 / kOutputRate);
        printf("ratio %5.3f: 18,141 Hz at %+.2f dB, above Nyquist at most %.1f dB\n", ratio, passband, worst);
        EXPECT_LE(worst, -70.0) << ratio;
        EXPECT_GE(passband, -1.0) << ratio;
    }
}
