#include <math.h>

#include <vector>

#include <gtest/gtest.h>

#include "dsound/mixer.h"

namespace {

// Power of everything but the expected tone, relative to the tone, in dB: aliases and noise together.
double ResidualBelowTone(const std::vector<int16_t>& stereo, double frequency, double rate) {
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
    double tone = a * xc + b * xs;
    return 10 * log10((total - tone) / tone);
}

// A 10 kHz tone played at 1.5 times its rate into a 44.1 kHz mix: the 15 kHz tone and its images.
double AliasingOf(posix_win32::ResamplerKind kind) {
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
    return ResidualBelowTone(std::vector<int16_t>(out.begin() + 200, out.end()), 15000, kRate);
}

} // namespace

TEST(ResamplerQualityTest, CubicKeepsImagesOfA10kHzToneAtOneAndAHalfFarBelowLinear) {
    double linear = AliasingOf(posix_win32::ResamplerKind::Linear);
    double cubic = AliasingOf(posix_win32::ResamplerKind::Cubic);
    RecordProperty("linear_dB", std::to_string(linear));
    RecordProperty("cubic_dB", std::to_string(cubic));
    printf("aliasing below the tone: linear %.1f dB, cubic %.1f dB\n", linear, cubic);
    EXPECT_LT(cubic, linear - 6.0);
}
