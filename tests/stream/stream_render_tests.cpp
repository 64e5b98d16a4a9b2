// PCM streams on the platform's mixer in lock-step with the timer: the samples that come out across every half and
// wrap, the end of the data, loops from an offset, and play, pause and stop in the middle.
#include "stream_render_support.h"

using namespace stream_render;

class StreamRenderTest : public StreamRenderFixture {};

TEST_F(StreamRenderTest, APlayedFileComesOutWholeThenAtMostOneSilentHalfThenTheBufferStops) {
    struct Case {
        unsigned ms;
        size_t frames;
    };
    // 55 ms gives halves of 1,212 frames that 441-frame steps cross at ever other points; the two 50 ms cases end
    // the data in the first and in the second half of the buffer.
    for (const Case& c : {Case{50, 20001}, Case{50, 21000}, Case{55, 20001}, Case{1000, 100001}}) {
        SCOPED_TRACE(testing::Message() << c.ms << " ms, " << c.frames << " frames");
        const Frames data = Ramp(c.frames);
        OpenPcm(0, data, c.ms);
        ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
        const size_t bufferFrames = BufferFrames(c.ms);
        Frames out;
        while (Playing(0) && out.size() / kChannels < c.frames + 3 * bufferFrames)
            Tick(out);
        ASSERT_FALSE(Playing(0));
        const size_t stoppedBy = out.size() / kChannels;
        // The device stops a one-shot buffer at its end: the first buffer end after the last data, which leaves the
        // rest of the last data's half silent and, when that was the first half, the whole second half too.
        const size_t stopFrame = (c.frames + bufferFrames - 1) / bufferFrames * bufferFrames;
        EXPECT_GT(stopFrame, stoppedBy - kFramesPerTick);
        EXPECT_LE(stopFrame, stoppedBy);
        EXPECT_EQ(FirstDifference(out, data), -1);
        EXPECT_TRUE(AllSilent(Slice(out, c.frames, stoppedBy - c.frames)));
        EXPECT_EQ(soundDevice.slots[0].timerId, 0u);
        EXPECT_TRUE(AllSilent(Ticks(3)));
        ZRVA_Close(0);
    }
}

TEST_F(StreamRenderTest, ALoopStartsAgainAtItsOffsetWithNoGapOrRepeat) {
    const Frames data = Ramp(10000);
    const size_t loopFrame = 3000;
    OpenPcm(0, data, 50);
    ASSERT_EQ(ZRVA_Play(0, 1, loopFrame * kBytesPerFrame), 1u);
    const Frames out = Ticks(60);
    Frames expected = data;
    while (expected.size() < out.size())
        Append(expected, Slice(data, loopFrame, 10000 - loopFrame));
    EXPECT_EQ(FirstDifference(out, expected), -1);
    EXPECT_TRUE(Playing(0));
    EXPECT_EQ(soundDevice.slots[0].endOfData, FALSE);
}

TEST_F(StreamRenderTest, ALoopPartShorterThanAHalfIsFollowedBySilenceToTheHalfsEnd) {
    const size_t half = BufferFrames(50) / 2; // 1,102
    const Frames data = Ramp(1500);
    const size_t loopFrame = 1300; // 200 frames from the offset on
    OpenPcm(0, data, 50);
    ASSERT_EQ(ZRVA_Play(0, 1, loopFrame * kBytesPerFrame), 1u);
    const Frames out = Ticks(20);
    const Frames part = Slice(data, loopFrame, 200);
    // Each fill rewinds once when the data runs out; what the second read cannot fill is silence.
    Frames expected = data;
    Append(expected, part);
    expected.resize(2 * half * kChannels, 0);
    while (expected.size() < out.size()) {
        Append(expected, part);
        expected.resize(expected.size() + (half - 200) * kChannels, 0);
    }
    EXPECT_EQ(FirstDifference(out, expected), -1);
}

TEST_F(StreamRenderTest, PlayWhilePlayingChangesOnlyTheLoopAndItsOffset) {
    const Frames data = Ramp(10000);
    const size_t loopFrame = 2500;
    OpenPcm(0, data, 50);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    Frames out = Ticks(3);
    const SoundSlot before = soundDevice.slots[0];
    const DWORD cursor = Cursor(0);
    ASSERT_EQ(ZRVA_Play(0, 1, loopFrame * kBytesPerFrame), 1u);
    const SoundSlot& after = soundDevice.slots[0];
    EXPECT_EQ(after.timerId, before.timerId);
    EXPECT_EQ(after.lastFilledHalf, before.lastFilledHalf);
    EXPECT_EQ(after.endOfData, before.endOfData);
    EXPECT_EQ(after.loop, TRUE);
    EXPECT_EQ(after.loopOffset, loopFrame * kBytesPerFrame);
    EXPECT_EQ(Cursor(0), cursor);
    for (size_t i = 0; i < 60; ++i)
        Tick(out);
    Frames expected = data;
    while (expected.size() < out.size())
        Append(expected, Slice(data, loopFrame, 10000 - loopFrame));
    EXPECT_EQ(FirstDifference(out, expected), -1);
}

TEST_F(StreamRenderTest, PauseThenPlayResumesWithoutAGap) {
    const Frames data = Ramp(20000);
    OpenPcm(0, data, 50);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    Frames out = Ticks(7);
    ASSERT_EQ(ZRVA_Pause(0), 1u);
    EXPECT_EQ(soundDevice.slots[0].timerId, 0u);
    EXPECT_TRUE(AllSilent(Ticks(5))) << "a paused stream is silent and its buffer is not rewritten";
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    for (size_t i = 0; i < 30; ++i)
        Tick(out);
    EXPECT_EQ(FirstDifference(out, data), -1);
}

TEST_F(StreamRenderTest, StopThenPlayRestartsTheDataAfterWhatTheBufferStillHolds) {
    const Frames data = Ramp(20000);
    const size_t half = BufferFrames(50) / 2;
    OpenPcm(0, data, 50);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    Frames out = Ticks(7);
    ASSERT_EQ(ZRVA_Stop(0), 1u);
    // 3,087 frames played: the cursor stands in the first half, and the second half already holds what follows.
    const size_t cursorFrame = Cursor(0) / kBytesPerFrame;
    ASSERT_LT(cursorFrame, half);
    ASSERT_EQ(soundDevice.slots[0].lastFilledHalf, TRUE);
    const size_t heldUpTo = out.size() / kChannels - cursorFrame + 2 * half;
    EXPECT_TRUE(AllSilent(Ticks(2)));
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    for (size_t i = 0; i < 30; ++i)
        Tick(out);
    Frames expected = Slice(data, 0, heldUpTo);
    Append(expected, data);
    EXPECT_EQ(FirstDifference(out, expected), -1);
}
