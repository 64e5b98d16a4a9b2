// The mix, sample for sample, for what the scenario renders do not reach: mono and 8-bit outputs, 8-bit sources,
// voices that add past full scale, and the weights of volume and pan.
#include "support/render_session.h"

using MixerTest = RenderSession;

namespace {

// Opens `samples` of `channels` and `bits` at the output's rate as a static sound in `slot` and plays it once.
void PlayStatic(uint32_t slot, const std::vector<uint8_t>& samples, uint16_t channels, uint16_t bits, uint32_t rate) {
    const WORD blockAlign = WORD(channels * bits / 8);
    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, channels, rate, rate * blockAlign, blockAlign, bits, 0};
    static std::vector<wave_bytes::Bytes> images; // a memory image must outlive nothing, but is kept simple here
    images.emplace_back(posix_win32::kWaveHeaderBytes);
    posix_win32::WriteWaveHeader(format, uint32_t(samples.size()), images.back().data());
    images.back().insert(images.back().end(), samples.begin(), samples.end());
    ASSERT_EQ(ZRVA_Open(slot, nullptr, images.back().data(), 0), 1u);
    ASSERT_EQ(ZRVA_Play(slot, 0, 0), 1u);
}

std::vector<uint8_t> Pcm16(std::initializer_list<int16_t> values) {
    std::vector<uint8_t> bytes;
    for (int16_t value : values)
        bytes.insert(bytes.end(), {uint8_t(value), uint8_t(uint16_t(value) >> 8)});
    return bytes;
}

template <typename Sample> std::vector<Sample> Render(size_t samples) {
    std::vector<Sample> out(samples);
    posix_win32::RenderFrames(out.data(), samples / (soundDevice.channels == 2 ? 2 : 1));
    return out;
}

} // namespace

TEST_F(MixerTest, MonoAndEightBitOutputsTakeAverageAndCentre) {
    ASSERT_EQ(ZRVA_Init(kHostWindow, 44100, 16, 1, 2, 0), 1u);
    PlayStatic(0, Pcm16({1000, 3000, -4000, 0}), 2, 16, 44100);
    EXPECT_EQ(Render<int16_t>(3), (std::vector<int16_t>{2000, -2000, 0}));
    ASSERT_EQ(ZRVA_Init(kHostWindow, 22050, 8, 1, 2, 0), 1u);
    PlayStatic(0, {0, 128, 255, 64}, 1, 8, 22050);
    EXPECT_EQ(Render<uint8_t>(6), (std::vector<uint8_t>{0, 128, 255, 64, 128, 128}));
    ASSERT_EQ(Start(), 1u);
    PlayStatic(0, {0, 128, 255, 64}, 1, 8, 44100);
    EXPECT_EQ(Render<int16_t>(8), (std::vector<int16_t>{-32768, -32768, 0, 0, 32512, 32512, -16384, -16384}));
}

TEST_F(MixerTest, VoicesAddAndClip) {
    ASSERT_EQ(Start(), 1u);
    PlayStatic(0, Pcm16({20000, -20000, 1000, 32767}), 1, 16, 44100);
    PlayStatic(1, Pcm16({20000, -20000, 2000, 32767}), 1, 16, 44100);
    EXPECT_EQ(Render<int16_t>(8), (std::vector<int16_t>{32767, 32767, -32768, -32768, 3000, 3000, 32767, 32767}));
}

// Volume and pan are hundredths of a decibel; pan attenuates only the far side; the master volume scales all.
TEST_F(MixerTest, VolumePanAndMasterVolumeWeighTheChannels) {
    ASSERT_EQ(Start(), 1u);
    const struct {
        int32_t volume, pan, master;
        int16_t left, right;
    } cases[] = {{0, 0, 0, 10000, 10000},  {-600, 0, 0, 5012, 5012},       {0, 600, 0, 5012, 10000},
                 {0, -10000, 0, 10000, 0}, {-600, -600, -600, 2512, 1259}, {-10000, 0, 0, 0, 0}};
    for (const auto& c : cases) {
        PlayStatic(0, Pcm16({10000, 10000}), 1, 16, 44100);
        ASSERT_EQ(ZRVA_SetVolume(0, c.volume), 1u);
        ASSERT_EQ(ZRVA_SetPan(0, c.pan), 1u);
        ASSERT_EQ(ZRVA_SetDirectSoundVol(c.master), 1u);
        const std::vector<int16_t> out = Render<int16_t>(2);
        EXPECT_NEAR(out[0], c.left, 1) << c.volume << " " << c.pan << " " << c.master;
        EXPECT_NEAR(out[1], c.right, 1) << c.volume << " " << c.pan << " " << c.master;
        ZRVA_Close(0);
    }
}
