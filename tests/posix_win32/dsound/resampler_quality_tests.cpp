#include <math.h>

#include <vector>

#include <gtest/gtest.h>

#include "dsound/mixer.h"

namespace {

struct ToneFit {
    double tone;  // power of the fitted sinusoid
    double total; // power of the whole signal
};

// Least-squares fit of one sinusoid at `frequency` to the left channel.
ToneFit FitTone(const std::vector<int16_t>& stereo, double frequency, double rate) {
    size_t frames = stereo.size() / 2;
    double cc = 0, ss = 0, cs = 0, xc = 0, xs = 0, total = 0;
    for (size_t i = 0; i < frames; ++i) {
        double x = stereo[2 * i];
        double c = cos(2 * M_PI * frequency * double(i) / rate), s = sin(2 * M_PI * frequency * double(i) / rate);
        cc += c * c;
        ss += s * s;
        cs += c * s;
        xc += x * c;
        xs += x * s;
        total += x * x;
    }
    double det = cc * ss - cs * cs;
    double a = (xc * ss - xs * cs) / det, b = (xs * cc - xc * cs) / det;
    return {a * xc + b * xs, total};
}

struct Aliasing {
    double residual; // everything but the tone, relative to it, in dB
    double image;    // the strongest image (34.1 kHz played at 1.5x folds to 7.05 kHz), relative to the tone, in dB
};

// A 10 kHz tone played at 1.5 times its rate into a 44.1 kHz mix: the 15 kHz tone and its images.
Aliasing AliasingOf(posix_win32::ResamplerKind kind) {
    constexpr uint32_t kRate = 44100;
    std::vector<int16_t> source(kRate);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = int16_t(lrint(16000 * sin(2 * M_PI * 10000.0 * i / kRate)));
    posix_win32::Voice voice;
    voice.memory = reinterpret_cast<const uint8_t*>(source.data());
    voice.frames = uint32_t(source.size());
    voice.frequency = kRate * 3 / 2;
    voice.playing = voice.looping = true;
    posix_win32::Mixer mixer(kind);
    mixer.SetOutputFormat({kRate, 2, 16});
    mixer.AddVoice(&voice);
    std::vector<int16_t> out(2 * 20000);
    mixer.Render(out.data(), 20000);
    std::vector<int16_t> settled(out.begin() + 200, out.end());
    ToneFit tone = FitTone(settled, 15000, kRate);
    ToneFit image = FitTone(settled, 7050, kRate);
    return {10 * log10((tone.total - tone.tone) / tone.tone), 10 * log10(image.tone / tone.tone)};
}

} // namespace

TEST(ResamplerQualityTest, CubicKeepsImagesOfA10kHzToneAtOneAndAHalfFarBelowLinear) {
    Aliasing linear = AliasingOf(posix_win32::ResamplerKind::Linear);
    Aliasing cubic = AliasingOf(posix_win32::ResamplerKind::Cubic);
    printf("below the tone: linear residual %.1f dB, image %.1f dB; cubic residual %.1f dB, image %.1f dB\n",
           linear.residual, linear.image, cubic.residual, cubic.image);
    EXPECT_LT(cubic.residual, linear.residual - 6.0);
    EXPECT_LT(cubic.image, linear.image - 6.0);
}
