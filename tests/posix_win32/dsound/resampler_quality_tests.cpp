// The resampler on rendered samples: the strongest spurious component of a tone (Blackman-Harris window, the worst
// bin outside the tone's main lobe) for the rates game sounds come in and for pitch changes both ways, a tone above
// the output's Nyquist frequency among them; a slow tone keeps its timing at any ratio.
#include <math.h>

#include <algorithm>
#include <complex>
#include <vector>

#include <gtest/gtest.h>

#include "dsound/mixer/mixer.h"

namespace {

constexpr uint32_t kOutputRate = 44100;
constexpr size_t kAnalysed = 16384;
constexpr size_t kSettle = 2000; // frames past the start, where the kernel still reads the silence before it

// A looping mono voice of one second at `rate`, played at `frequency`, rendered into 16-bit stereo.
std::vector<int16_t> RenderVoice(const std::vector<int16_t>& source, uint32_t frequency, size_t frames) {
    posix_win32::Voice voice;
    voice.memory = reinterpret_cast<const uint8_t*>(source.data());
    voice.frames = uint32_t(source.size());
    voice.frequency = frequency;
    voice.playing = voice.looping = true;
    posix_win32::Mixer mixer;
    mixer.SetOutputFormat({kOutputRate, 2, 16});
    mixer.AddVoice(&voice);
    std::vector<int16_t> out(2 * frames);
    mixer.Render(out.data(), frames);
    std::vector<int16_t> left(frames);
    for (size_t i = 0; i < frames; ++i)
        left[i] = out[2 * i];
    return left;
}

std::vector<int16_t> Sine(uint32_t rate, double frequency, double amplitude = 16000) {
    std::vector<int16_t> samples(rate);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(lrint(amplitude * sin(2 * M_PI * frequency * double(i) / rate)));
    return samples;
}

// Magnitudes of the Blackman-Harris-windowed spectrum of kAnalysed samples.
std::vector<double> Spectrum(const std::vector<int16_t>& samples, size_t first) {
    std::vector<std::complex<double>> bins(kAnalysed);
    for (size_t i = 0; i < kAnalysed; ++i) {
        const double phase = 2 * M_PI * double(i) / kAnalysed;
        const double window = 0.35875 - 0.48829 * cos(phase) + 0.14128 * cos(2 * phase) - 0.01168 * cos(3 * phase);
        bins[i] = samples[first + i] * window;
    }
    for (size_t i = 1, j = 0; i < kAnalysed; ++i) {
        size_t bit = kAnalysed >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j) std::swap(bins[i], bins[j]);
    }
    for (size_t length = 2; length <= kAnalysed; length <<= 1) {
        const std::complex<double> turn = std::polar(1.0, -2 * M_PI / double(length));
        for (size_t start = 0; start < kAnalysed; start += length) {
            std::complex<double> w = 1;
            for (size_t k = 0; k < length / 2; ++k, w *= turn) {
                const std::complex<double> a = bins[start + k], b = bins[start + k + length / 2] * w;
                bins[start + k] = a + b;
                bins[start + k + length / 2] = a - b;
            }
        }
    }
    std::vector<double> magnitudes(kAnalysed / 2);
    for (size_t i = 0; i < magnitudes.size(); ++i)
        magnitudes[i] = std::abs(bins[i]);
    return magnitudes;
}

struct QualityCase {
    const char* name;
    uint32_t sourceRate;
    uint32_t frequency; // the voice's playback rate
    double tone;        // in the source, Hz
};

// The strongest component outside the tone's main lobe (if it lies below the output's Nyquist frequency at all), in
// dB against a tone of the same amplitude at the output's rate.
double WorstSpuriousDb(const QualityCase& c) {
    const std::vector<int16_t> source = Sine(c.sourceRate, c.tone);
    const std::vector<double> spectrum = Spectrum(RenderVoice(source, c.frequency, kSettle + kAnalysed), kSettle);
    const std::vector<double> original = Spectrum(Sine(kOutputRate, 1000), 0);
    const long toneBin = lrint(c.tone * c.frequency / c.sourceRate * kAnalysed / kOutputRate);
    double worst = 0;
    for (long bin = 0; bin < long(spectrum.size()); ++bin)
        if (labs(bin - toneBin) > 5) worst = std::max(worst, spectrum[bin]);
    return 20 * log10(worst / *std::max_element(original.begin(), original.end()));
}

} // namespace

TEST(ResamplerQualityTest, EverySpuriousComponentIsAtLeast70dBBelowTheTone) {
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
        const double worst = WorstSpuriousDb(c);
        printf("%-55s worst spurious %6.1f dB\n", c.name, worst);
        EXPECT_LE(worst, -70.0) << c.name;
    }
}

// A slow tone lands where it should at any ratio: the kernel is centred on the position, as the pass-through at 1 is.
TEST(ResamplerQualityTest, ASlowToneKeepsItsTimingAtAnyRatio) {
    const std::vector<int16_t> source = Sine(kOutputRate, 100, 16000);
    for (uint32_t frequency : {29400u, 48510u, 66150u}) {
        const std::vector<int16_t> out = RenderVoice(source, frequency, 3000);
        double worst = 0;
        for (size_t i = 200; i < out.size(); ++i) {
            const double at = double(i) * frequency / kOutputRate;
            worst = std::max(worst, fabs(out[i] - 16000 * sin(2 * M_PI * 100 * at / kOutputRate)));
        }
        EXPECT_LT(worst, 3.0) << frequency << " Hz";
    }
}
