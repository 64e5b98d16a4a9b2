// The mix through the public functions, rendered on demand: a gain that changes moves in a 6 ms ramp, a stop fades
// out and resumes where it stopped, nothing folds back from above the output's Nyquist frequency, and a voice at the
// output's rate passes bit for bit while no gain moves.
#include <math.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "dsound/mixer/mixer.h"
#include "sine_fit.h"
#include "support/render_session.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr size_t kWindow = 441;  // 10 ms
constexpr int kRampFrames = 264; // 6 ms at 44.1 kHz

// A mono tone of `seconds` at `rate`, 16000 peak.
Frames MonoTone(double hz, uint32_t rate, double seconds) {
    Frames samples(size_t(rate * seconds));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(lrint(16000 * sin(2 * M_PI * hz * double(i) / rate)));
    return samples;
}

std::vector<double> Left(const Frames& stereo) {
    std::vector<double> left(stereo.size() / 2);
    for (size_t i = 0; i < left.size(); ++i)
        left[i] = stereo[2 * i];
    return left;
}

std::vector<double> Right(const Frames& stereo) {
    std::vector<double> right(stereo.size() / 2);
    for (size_t i = 0; i < right.size(); ++i)
        right[i] = stereo[2 * i + 1];
    return right;
}

// The worst 10 ms window's energy above 5 kHz against a full-level (16000) tone, in dB: a Blackman-Harris window,
// whose own leakage lies below -90 dB, so only what a gain's change spreads counts.
double WorstSplatterDb(const std::vector<double>& signal) {
    constexpr size_t kFirstBin = 5000 * kWindow / kRate + 1, kBins = kWindow / 2 + 1 - kFirstBin;
    static std::vector<double> window, cosines, sines;
    if (window.empty()) {
        for (size_t n = 0; n < kWindow; ++n) {
            const double x = 2 * M_PI * double(n) / kWindow;
            window.push_back(0.35875 - 0.48829 * cos(x) + 0.14128 * cos(2 * x) - 0.01168 * cos(3 * x));
        }
        for (size_t k = kFirstBin; k < kFirstBin + kBins; ++k)
            for (size_t n = 0; n < kWindow; ++n) {
                cosines.push_back(cos(2 * M_PI * double(k * n % kWindow) / kWindow));
                sines.push_back(sin(2 * M_PI * double(k * n % kWindow) / kWindow));
            }
    }
    const double tone = 16000.0 * kWindow / 2 * 0.35875;
    double worst = -300;
    for (size_t start = 0; start + kWindow <= signal.size(); start += kWindow / 4) {
        double high = 0;
        for (size_t bin = 0; bin < kBins; ++bin) {
            double re = 0, im = 0;
            for (size_t n = 0; n < kWindow; ++n) {
                const double x = window[n] * signal[start + n];
                re += x * cosines[bin * kWindow + n], im -= x * sines[bin * kWindow + n];
            }
            high += re * re + im * im;
        }
        worst = std::max(worst, 10 * log10(high / (tone * tone) + 1e-30));
    }
    return worst;
}

class MixingTest : public RenderSession {
  protected:
    void SetUp() override {
        RenderSession::SetUp();
        ASSERT_EQ(Start(), 1u);
    }
    // Opens `mono` at `rate` as a static sound in `slot` and plays it looping.
    void PlayStatic(uint32_t slot, const Frames& mono, uint32_t rate) {
        files.push_back(std::make_unique<wave_bytes::TemporaryFile>(
            wave_bytes::CanonicalWave(mono.data(), mono.size() * 2, 1, rate)));
        ASSERT_EQ(ZRVA_Open(slot, files.back()->path(), nullptr, 0), 1u);
        ASSERT_EQ(ZRVA_Play(slot, 1, 0), 1u);
    }
    Frames Render(size_t frames) {
        Frames out(frames * 2);
        posix_win32::RenderFrames(out.data(), frames);
        return out;
    }
    // 100 ms of a 1 kHz tone, `change` between two blocks, 100 ms more: the splatter of the change.
    double SplatterOf(const std::function<void()>& change) {
        PlayStatic(0, MonoTone(1000, kRate, 1.0), kRate);
        Frames heard = Render(4410);
        change();
        const Frames after = Render(4410);
        heard.insert(heard.end(), after.begin(), after.end());
        return std::max(WorstSplatterDb(Left(heard)), WorstSplatterDb(Right(heard)));
    }
};

} // namespace

// The changes a host makes on a playing 1 kHz tone, each at least 70 dB below it above 5 kHz (a step: about -30).
TEST_F(MixingTest, AGainChangeOrAStopIsNoClick) {
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"volume step of -12 dB", [] { ZRVA_SetVolume(0, -1200); }},
        {"pan to -10000", [] { ZRVA_SetPan(0, -10000); }},
        {"master volume step of -6 dB", [] { ZRVA_SetDirectSoundVol(-600); }},
        {"stop mid-tone", [] { ZRVA_Stop(0); }},
    };
    for (const auto& [name, change] : changes) {
        const double splatter = SplatterOf(change);
        printf("%-28s %6.1f dB above 5 kHz\n", name, splatter);
        EXPECT_LE(splatter, -70.0) << name;
        ZRVA_SetDirectSoundVol(0);
        ZRVA_Close(0);
    }
}

// A constant sound shows the ramp sample for sample: from 10000 to 10000 * 10^(-600/2000) = 5011.9 in 264 steps of
// a 264th of what is left each, starting with the first frame after the call; before it, and after it, the sound
// passes unchanged (a voice at the output's rate is copied, not interpolated).
TEST_F(MixingTest, AVolumeChangeRampsOver6ms) {
    PlayStatic(0, Frames(kRate, 10000), kRate);
    const Frames before = Render(441);
    EXPECT_TRUE(std::all_of(before.begin(), before.end(), [](int16_t s) { return s == 10000; }));
    ASSERT_EQ(ZRVA_SetVolume(0, -600), 1u);
    const Frames ramp = Render(441);
    double gain = 1.0;
    const double target = pow(10.0, -600 / 2000.0);
    for (int i = 0; i < kRampFrames; ++i) {
        gain += (target - gain) / double(kRampFrames - i);
        ASSERT_NEAR(ramp[2 * i], 10000 * gain, 1.0) << "frame " << i;
        ASSERT_EQ(ramp[2 * i + 1], ramp[2 * i]);
    }
    for (size_t i = kRampFrames; i < 441; ++i)
        ASSERT_EQ(ramp[2 * i], 5012) << "frame " << i;
}

// Paused, the tone fades out in 6 ms after the call, while the position the host reads stays where it paused.
TEST_F(MixingTest, APauseFadesOutWhileThePositionStays) {
    PlayStatic(0, MonoTone(1000, kRate, 1.0), kRate);
    Render(4410);
    const uint32_t pausedAt = ZRVA_GetTimePos(0);
    ASSERT_EQ(ZRVA_Pause(0), 1u);
    EXPECT_EQ(ZRVA_GetTimePos(0), pausedAt);
    const std::vector<double> fade = Left(Render(441));
    EXPECT_GT(fabs(fade[10]), 1000.0) << "still sounding just after the call";
    EXPECT_TRUE(std::all_of(fade.begin() + kRampFrames, fade.end(), [](double s) { return s == 0; }));
    EXPECT_EQ(ZRVA_GetTimePos(0), pausedAt);
}

// A buffer played again resumes where it was stopped, whether its fade-out is over or still going, with no fade-in:
// the tone goes on with its phase as if the fade had not been heard. (The mixer itself: a static slot's play starts
// from 0, and a stream's buffer is rewritten behind its cursor.)
TEST(MixerResumeTest, APlayResumesAtTheStopPositionDuringOrAfterTheFade) {
    const Frames tone = MonoTone(1000, kRate, 1.0);
    posix_win32::Voice voice;
    voice.memory = reinterpret_cast<const uint8_t*>(tone.data());
    voice.frames = uint32_t(tone.size());
    voice.frequency = kRate;
    voice.looping = true;
    posix_win32::Mixer mixer;
    mixer.SetOutputFormat({kRate, 1, 16});
    mixer.AddVoice(&voice);
    posix_win32::PlayVoice(voice);
    std::vector<int16_t> out(4533);
    mixer.Render(out.data(), out.size()); // stopped off a period's boundary
    size_t position = out.size();
    for (size_t fadeHeard : {size_t(100), size_t(441)}) {
        posix_win32::StopVoice(voice);
        mixer.Render(out.data(), fadeHeard);
        EXPECT_EQ(posix_win32::StateFrame(voice.state.load()), position);
        posix_win32::PlayVoice(voice);
        mixer.Render(out.data(), 441);
        for (size_t i = 0; i < 441; ++i)
            ASSERT_EQ(out[i], tone[position + i]) << "frame " << i << " after a fade of " << fadeHeard;
        position += 441;
    }
    mixer.RemoveVoice(&voice);
}

// Played faster than the output rate, a tone above its Nyquist frequency is removed, not folded back, at any ratio
// up to the highest frequency a buffer takes; one below 18 kHz passes within 1 dB.
TEST_F(MixingTest, NothingFoldsBackAndTheBandPassesTo18kHz) {
    struct Case {
        double tone;
        uint32_t frequency;
        bool heard;
    };
    for (const Case& c : {Case{12000, 88200, false}, Case{11500, 88200, false}, Case{5000, 200000, false},
                          Case{9000, 88200, true}, Case{4000, 200000, true}}) {
        const double landsAt = c.tone * c.frequency / kRate;
        SCOPED_TRACE(std::to_string(c.tone) + " Hz at " + std::to_string(c.frequency) + " lands at " +
                     std::to_string(landsAt));
        PlayStatic(0, MonoTone(c.tone, kRate, 1.0), kRate);
        ASSERT_EQ(ZRVA_SetFrequency(0, c.frequency), 1u);
        Render(4410);
        const std::vector<double> heard = Left(Render(16384));
        const SineFit fit = FitSine(heard, c.heard ? landsAt : 1000.0, kRate, c.heard);
        const double level = fit.levelDb, rest = fit.restDb;
        printf("%5.0f Hz at %6u: lands at %7.1f Hz; level %6.2f dB, what else is heard %6.1f dB\n", c.tone, c.frequency,
               landsAt, c.heard ? level : -INFINITY, rest);
        if (c.heard) {
            EXPECT_NEAR(level, 0.0, 1.0);
            EXPECT_LE(rest, -70.0);
        } else {
            EXPECT_LE(rest, -70.0) << "folded back";
        }
        ZRVA_Close(0);
    }
}
