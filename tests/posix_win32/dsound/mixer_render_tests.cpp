#include "dsound_fixture.h"

using MixerRenderTest = DirectSoundFixture;

TEST_F(MixerRenderTest, SameRateStereoPassesThroughSampleExact) {
    std::vector<int16_t> samples(2 * 3000);
    uint32_t seed = 12345;
    for (int16_t& sample : samples) {
        seed = seed * 1664525u + 1013904223u;
        sample = int16_t(seed >> 16);
    }
    IDirectSoundBuffer* buffer = CreateBuffer16(44100, 2, samples);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = Render16(3000);
    EXPECT_EQ(out, samples);
}

TEST_F(MixerRenderTest, HalfRateLastsTwiceAsLongAtHalfThePitch) {
    IDirectSoundBuffer* buffer = CreateBuffer16(44100, 1, Tone(1000, 44100, 4410, 16000));
    ASSERT_EQ(buffer->SetFrequency(22050), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = Render16(10000);
    std::vector<double> left = Channel(out, 2, 0);
    EXPECT_NEAR(MeasureFrequency(Channel(out, 2, 0, 0, 8800), 44100), 500.0, 1.0);
    // Sound up to the 8820th frame, silence after it.
    EXPECT_GT(Rms(Channel(out, 2, 0, 8700, 100)), 1000);
    for (size_t i = 8820; i < 10000; ++i)
        ASSERT_EQ(left[i], 0) << i;
}

TEST_F(MixerRenderTest, VolumeMinus600HalvesTheAmplitude) {
    IDirectSoundBuffer* buffer = CreateBuffer16(44100, 1, Tone(441, 44100, 44100, 20000));
    ASSERT_EQ(buffer->SetVolume(-600), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    double gain = Rms(Channel(Render16(4410), 2, 0)) / Rms(Channel(Tone(441, 44100, 4410, 20000), 1, 0));
    EXPECT_NEAR(gain, 0.501, 0.005);
}

TEST_F(MixerRenderTest, FullLeftPanSilencesTheRightChannel) {
    std::vector<int16_t> tone = Tone(441, 44100, 4410, 20000);
    IDirectSoundBuffer* buffer = CreateBuffer16(44100, 1, tone);
    ASSERT_EQ(buffer->SetPan(DSBPAN_LEFT), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = Render16(4410);
    EXPECT_EQ(Channel(out, 2, 0), Channel(tone, 1, 0));
    EXPECT_EQ(Rms(Channel(out, 2, 1)), 0.0);
}

TEST_F(MixerRenderTest, PanAttenuatesOnlyTheFarSide) {
    IDirectSoundBuffer* buffer = CreateBuffer16(44100, 1, std::vector<int16_t>(441, 10000));
    ASSERT_EQ(buffer->SetPan(600), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::vector<int16_t> out = Render16(10);
    EXPECT_EQ(out[1], 10000);
    EXPECT_NEAR(out[0], 5012, 2);
}

TEST_F(MixerRenderTest, LoopingBufferWrapsWithoutAGapOrARepeatedFrame) {
    std::vector<int16_t> ramp(1000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = int16_t(i + 1);
    IDirectSoundBuffer* buffer = CreateBuffer16(44100, 1, ramp);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::vector<double> left = Channel(Render16(3500), 2, 0);
    for (size_t i = 0; i < left.size(); ++i)
        ASSERT_EQ(left[i], ramp[i % ramp.size()]) << i;
    DWORD status = 0;
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
}

// A finished one-shot buffer reports its play cursor back at 0, as Windows does.
TEST_F(MixerRenderTest, OneShotBufferStopsAtItsEndAndReportsNotPlaying) {
    IDirectSoundBuffer* buffer = CreateBuffer16(44100, 1, std::vector<int16_t>(500, 7000));
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    std::vector<double> left = Channel(Render16(800), 2, 0);
    for (size_t i = 0; i < 500; ++i)
        ASSERT_EQ(left[i], 7000) << i;
    for (size_t i = 500; i < 800; ++i)
        ASSERT_EQ(left[i], 0) << i;
    DWORD status = 99, play = 99, write = 99;
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    ASSERT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 0u);
    EXPECT_EQ(write, 0u);
}

TEST_F(MixerRenderTest, LoopingMadeOneShotWhilePlayingEndsAtItsEnd) {
    IDirectSoundBuffer* buffer = CreateBuffer16(44100, 1, std::vector<int16_t>(1000, 3000));
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    Render16(1500);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    std::vector<double> left = Channel(Render16(1000), 2, 0);
    for (size_t i = 0; i < 500; ++i)
        ASSERT_EQ(left[i], 3000) << i;
    for (size_t i = 500; i < 1000; ++i)
        ASSERT_EQ(left[i], 0) << i;
    DWORD status = 99;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, 0u);
}

TEST_F(MixerRenderTest, StopKeepsThePositionAndPlayResumesThere) {
    std::vector<int16_t> ramp(1000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = int16_t(i + 1);
    IDirectSoundBuffer* buffer = CreateBuffer16(44100, 1, ramp);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    Render16(300);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    EXPECT_EQ(Rms(Channel(Render16(100), 2, 0)), 0.0);
    DWORD play = 0;
    buffer->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 600u);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Render16(1)[0], 301);
}

TEST_F(MixerRenderTest, LockAtTheWrapGivesTwoRegionsAndTheSecondPlaysAfterTheEnd) {
    IDirectSoundBuffer* buffer = CreateBuffer(PcmFormat(44100, 16, 1), 2000);
    void* region1 = nullptr;
    void* region2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    ASSERT_EQ(buffer->Lock(1800, 400, &region1, &bytes1, &region2, &bytes2, 0), DS_OK);
    ASSERT_EQ(bytes1, 200u);
    ASSERT_EQ(bytes2, 200u);
    std::vector<int16_t> before(100, 1111), after(100, 2222);
    memcpy(region1, before.data(), bytes1);
    memcpy(region2, after.data(), bytes2);
    ASSERT_EQ(buffer->Unlock(region1, bytes1, region2, bytes2), DS_OK);
    ASSERT_EQ(buffer->SetCurrentPosition(1800), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::vector<double> left = Channel(Render16(200), 2, 0);
    for (size_t i = 0; i < 100; ++i)
        ASSERT_EQ(left[i], 1111) << i;
    for (size_t i = 100; i < 200; ++i)
        ASSERT_EQ(left[i], 2222) << i;
}

TEST_F(MixerRenderTest, TwoBuffersAddAndClip) {
    IDirectSoundBuffer* a = CreateBuffer16(44100, 1, {20000, -20000, 1000, 32767});
    IDirectSoundBuffer* b = CreateBuffer16(44100, 1, {20000, -20000, 2000, 32767});
    ASSERT_EQ(a->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    std::vector<double> left = Channel(Render16(4), 2, 0);
    EXPECT_EQ(left, (std::vector<double>{32767, -32768, 3000, 32767}));
}

TEST_F(MixerRenderTest, EightBitMonoComesOutCentredOnBothChannelsOfA16BitMix) {
    IDirectSoundBuffer* buffer = CreateBuffer(PcmFormat(44100, 8, 1), 4);
    const uint8_t samples[4] = {0, 128, 255, 64};
    Write(buffer, 0, samples, 4);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = Render16(4);
    EXPECT_EQ(out, (std::vector<int16_t>{-32768, -32768, 0, 0, 32512, 32512, -16384, -16384}));
}

TEST_F(MixerRenderTest, EightBitMonoMixPassesEightBitSamplesThrough) {
    SetMixFormat(22050, 8, 1);
    IDirectSoundBuffer* buffer = CreateBuffer(PcmFormat(22050, 8, 1), 4);
    const uint8_t samples[4] = {0, 128, 255, 64};
    Write(buffer, 0, samples, 4);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    uint8_t out[6] = {};
    ASSERT_EQ(posix_win32::RenderFrames(out, 6), 6u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 6), (std::vector<uint8_t>{0, 128, 255, 64, 128, 128}));
}

TEST_F(MixerRenderTest, FrequencyChangeIsHeardFromTheNextBlock) {
    IDirectSoundBuffer* buffer = CreateBuffer16(44100, 1, Tone(1000, 44100, 44100, 16000));
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    Render16(441);
    ASSERT_EQ(buffer->SetFrequency(88200), DS_OK);
    EXPECT_NEAR(MeasureFrequency(Channel(Render16(441), 2, 0), 44100), 2000.0, 5.0);
    DWORD play = 0;
    buffer->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, (441u + 882u) * 2);
}

TEST_F(MixerRenderTest, PrimaryVolumeScalesTheWholeMix) {
    IDirectSoundBuffer* buffer = CreateBuffer16(44100, 1, std::vector<int16_t>(441, 20000));
    ASSERT_EQ(primary->SetVolume(-600), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::vector<int16_t> out = Render16(2);
    EXPECT_NEAR(out[0], 10024, 2);
    EXPECT_NEAR(out[1], 10024, 2);
    ASSERT_EQ(primary->SetVolume(DSBVOLUME_MIN), DS_OK);
    EXPECT_EQ(Render16(1), (std::vector<int16_t>{0, 0}));
}

TEST_F(MixerRenderTest, StereoSourceIntoMonoMixIsTheAverageOfItsChannels) {
    SetMixFormat(44100, 16, 1);
    IDirectSoundBuffer* buffer = CreateBuffer16(44100, 2, {1000, 3000, -4000, 0});
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Render16(2), (std::vector<int16_t>{2000, -2000}));
}

TEST_F(MixerRenderTest, SilentVoiceStillAdvances) {
    IDirectSoundBuffer* buffer = CreateBuffer16(44100, 1, std::vector<int16_t>(1000, 5000));
    ASSERT_EQ(buffer->SetVolume(DSBVOLUME_MIN), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Rms(Channel(Render16(600), 2, 0)), 0.0);
    ASSERT_EQ(buffer->SetVolume(0), DS_OK);
    std::vector<double> left = Channel(Render16(600), 2, 0);
    EXPECT_EQ(left[399], 5000);
    EXPECT_EQ(left[400], 0);
}
