// Static slots on the platform's own mixer, driven by the on-demand render: the samples that come out, looping,
// pause, seek and the position that the render advances.
#include <gtest/gtest.h>

#include <vector>

#include "seams/sound_output.h"
#include "wave/wave_bytes.h"
#include "zorva_sound.h"

using namespace wave_bytes;

class StaticRenderTest : public ::testing::Test {
  protected:
    static constexpr size_t kChannels = 2;

    void SetUp() override {
        posix_win32::UseRenderOutput();
        ASSERT_EQ(ZRVA_Init(nullptr, 44100, 16, 2, 2, 0), 1u);
    }
    void TearDown() override {
        ZRVA_Release();
        posix_win32::UseEnvironmentOutput();
    }

    // Opens `frames` stereo 16-bit frames of a ramp that never repeats within the sound, into slot 0.
    std::vector<int16_t> OpenRamp(size_t frames) {
        std::vector<int16_t> samples(frames * kChannels);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>(i * 3 + 1);
        Bytes data(reinterpret_cast<const uint8_t*>(samples.data()),
                   reinterpret_cast<const uint8_t*>(samples.data() + samples.size()));
        image_ = CanonicalWave(data);
        EXPECT_EQ(ZRVA_Open(0, nullptr, image_.data(), 0), 1u);
        return samples;
    }
    static std::vector<int16_t> Render(size_t frames) {
        std::vector<int16_t> out(frames * kChannels, 0x7777);
        EXPECT_EQ(posix_win32::RenderFrames(out.data(), frames), frames);
        return out;
    }
    static std::vector<int16_t> Slice(const std::vector<int16_t>& samples, size_t firstFrame, size_t frames) {
        return {samples.begin() + firstFrame * kChannels, samples.begin() + (firstFrame + frames) * kChannels};
    }

    Bytes image_;
};

TEST_F(StaticRenderTest, PlayedSamplesEqualTheFileAndSilenceFollowsTheEnd) {
    const std::vector<int16_t> sound = OpenRamp(1000);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    const std::vector<int16_t> out = Render(1500);
    EXPECT_EQ(Slice(out, 0, 1000), sound);
    EXPECT_EQ(Slice(out, 1000, 500), std::vector<int16_t>(500 * kChannels, 0));
}

TEST_F(StaticRenderTest, LoopingWrapsWithoutAGap) {
    const std::vector<int16_t> sound = OpenRamp(100);
    ASSERT_EQ(ZRVA_Play(0, 1, 0), 1u);
    const std::vector<int16_t> out = Render(350);
    for (size_t frame = 0; frame < 350; ++frame)
        ASSERT_EQ(Slice(out, frame, 1), Slice(sound, frame % 100, 1)) << "frame " << frame;
}

TEST_F(StaticRenderTest, PositionFollowsTheRenderAndWrapsWhenLooping) {
    OpenRamp(44100);
    ASSERT_EQ(ZRVA_Play(0, 1, 0), 1u);
    Render(22050);
    EXPECT_EQ(ZRVA_GetTimePos(0), 500u);
    Render(33075);
    EXPECT_EQ(ZRVA_GetTimePos(0), 250u);
}

TEST_F(StaticRenderTest, PauseThenPlayStartsAgainFromTheBeginning) {
    const std::vector<int16_t> sound = OpenRamp(44100);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    Render(4410);
    ASSERT_EQ(ZRVA_Pause(0), 1u);
    EXPECT_EQ(ZRVA_GetTimePos(0), 100u);
    EXPECT_EQ(Render(100), std::vector<int16_t>(100 * kChannels, 0)) << "a paused sound is silent";
    EXPECT_EQ(ZRVA_GetTimePos(0), 100u);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    EXPECT_EQ(Render(200), Slice(sound, 0, 200));
}

TEST_F(StaticRenderTest, SeekWhileStoppedReadsBackButPlayStartsFromZero) {
    const std::vector<int16_t> sound = OpenRamp(44100);
    ASSERT_EQ(ZRVA_SetTimePos(0, 500), 1u);
    EXPECT_EQ(ZRVA_GetTimePos(0), 500u);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    EXPECT_EQ(Render(200), Slice(sound, 0, 200));
}

TEST_F(StaticRenderTest, SeekWhilePlayingMovesAtOnce) {
    const std::vector<int16_t> sound = OpenRamp(44100);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    Render(100);
    ASSERT_EQ(ZRVA_SetTimePos(0, 250), 1u);
    EXPECT_EQ(Render(200), Slice(sound, 11025, 200));
}

TEST_F(StaticRenderTest, StopRewindsAndSilences) {
    const std::vector<int16_t> sound = OpenRamp(44100);
    ASSERT_EQ(ZRVA_Play(0, 1, 0), 1u);
    Render(1000);
    ASSERT_EQ(ZRVA_Stop(0), 1u);
    EXPECT_EQ(ZRVA_GetTimePos(0), 0u);
    EXPECT_EQ(Render(100), std::vector<int16_t>(100 * kChannels, 0));
}
