// The mix through the public functions, rendered on demand: a gain that changes is no click, a stop fades out and
// resumes where it stopped, a one-shot ends on the last frame it reaches, and each format and gain mixes to the
// value worked out for it.
#include <math.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "dsound/mixer/mixer.h"
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

// Constant sounds through the library, each output's steady frame against a value worked out by hand: a mono output
// averages a stereo sound; 8-bit sounds are centred on the 16-bit mix, and an 8-bit output on 128; voices add and
// clip; volume, pan (the far side only) and the master volume weigh by 10^(hundredths of a dB / 2000).
using MixFormatTest = RenderSession;

TEST_F(MixFormatTest, EachFormatAndGainMixesToItsWorkedOutValue) {
    struct Sound {
        uint16_t bits, channels;
        std::vector<int> frame;
        int32_t volume = 0, pan = 0;
    };
    struct Case {
        uint32_t rate;
        uint16_t bits, channels;
        std::vector<Sound> sounds;
        int32_t master;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {44100, 16, 1, {{16, 2, {10000, 2000}}}, 0, {6000}},
        {22050, 8, 1, {{8, 1, {0xC0}}}, 0, {0xC0}},
        {44100, 16, 2, {{8, 1, {0x40}}}, 0, {-16384, -16384}},
        {44100, 16, 2, {{16, 2, {30000, -30000}}, {16, 2, {10000, -10000}}}, 0, {32767, -32768}},
        {44100, 16, 2, {{16, 1, {10000}, -600, 0}}, 0, {5012, 5012}},       // 10000 * 10^-0.3
        {44100, 16, 2, {{16, 1, {10000}, 0, 600}}, 0, {5012, 10000}},       // pan right: the left weighed
        {44100, 16, 2, {{16, 1, {10000}, 0, -10000}}, 0, {10000, 0}},       // 10000 * 10^-5 rounds to 0
        {44100, 16, 2, {{16, 1, {10000}, -600, -600}}, -600, {2512, 1259}}, // 10^-0.6 and 10^-0.9
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.rate << " Hz " << c.bits << "-bit, " << c.channels << " channels, "
                                          << c.sounds.size() << " sounds, master " << c.master);
        ASSERT_EQ(ZRVA_Init(kHostWindow, c.rate, c.bits, c.channels, 4, 2), 1u);
        std::vector<wave_bytes::Bytes> images;
        for (const Sound& sound : c.sounds) {
            std::vector<uint8_t> samples;
            for (int frame = 0; frame < 100; ++frame)
                for (int value : sound.frame)
                    for (int byte = 0; byte < sound.bits / 8; ++byte)
                        samples.push_back(uint8_t(value >> (8 * byte)));
            images.push_back(
                wave_bytes::CanonicalWave(samples.data(), samples.size(), sound.channels, c.rate, sound.bits));
            const uint32_t slot = uint32_t(images.size() - 1);
            ASSERT_EQ(ZRVA_Open(slot, nullptr, images.back().data(), 0), 1u);
            ZRVA_SetVolume(slot, sound.volume);
            ZRVA_SetPan(slot, sound.pan);
            ASSERT_EQ(ZRVA_Play(slot, 1, 0), 1u);
        }
        ZRVA_SetDirectSoundVol(c.master);
        std::vector<uint8_t> out(size_t(c.bits / 8) * c.channels * 1000);
        posix_win32::RenderFrames(out.data(), 1000);
        const uint8_t* last = out.data() + out.size() - c.expected.size() * (c.bits / 8);
        for (size_t channel = 0; channel < c.expected.size(); ++channel)
            EXPECT_EQ(c.bits == 8 ? last[channel] : int16_t(last[2 * channel] | last[2 * channel + 1] << 8),
                      c.expected[channel])
                << "channel " << channel;
    }
}

// A one-shot sound of 100 frames at 32 kHz reaches 100 * 44100 / 32000 = 137.8 output frames: frame 137 (source
// position 99.4) still sounds, and from frame 138 on the voice has ended.
TEST_F(MixFormatTest, AOneShotEndsOnTheLastOutputFrameItReaches) {
    ASSERT_EQ(Start(), 1u);
    const Frames hundred(100, 10000);
    const wave_bytes::Bytes image = wave_bytes::CanonicalWave(hundred.data(), hundred.size() * 2, 1, 32000);
    ASSERT_EQ(ZRVA_Open(0, nullptr, image.data(), 0), 1u);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    Frames out(2 * 200);
    posix_win32::RenderFrames(out.data(), 200);
    EXPECT_NE(out[2 * 137], 0);
    EXPECT_TRUE(std::all_of(out.begin() + 2 * 138, out.end(), [](int16_t s) { return s == 0; }));
}
