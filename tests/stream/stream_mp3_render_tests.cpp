// An MP3 file through the whole stream path: open, play looping, 10 s of lock-step render, close; the samples equal
// a decode stream of the same file read half by half the way a looping slot's fills read it.
#include <string>

#include "stream/decode_stream.h"
#include "stream_render_support.h"

using namespace stream_render;

class StreamMp3RenderTest : public StreamRenderFixture {
  protected:
    // What a looping slot's fills deliver: halves read one after the other, each completed from the loop offset when
    // the data runs out.
    static Frames LoopingReference(const char* path, unsigned ms, DWORD loopOffset, size_t frames) {
        WAVEFORMATEX format{};
        DecodeStream* stream = DecodeStreamOpen(path, ms, &format);
        EXPECT_NE(stream, nullptr);
        if (!stream) return {};
        EXPECT_EQ(format.nSamplesPerSec, 44100u);
        EXPECT_EQ(format.nChannels, 2u);
        const size_t halfFrames = BufferFrames(ms) / 2;
        Frames out;
        Frames half(halfFrames * kChannels);
        while (out.size() < frames * kChannels) {
            const LONG wanted = static_cast<LONG>(halfFrames * kBytesPerFrame);
            LONG got = DecodeStreamRead(stream, half.data(), wanted);
            if (got < wanted) {
                DecodeStreamRewind(stream, loopOffset);
                got += DecodeStreamRead(stream, reinterpret_cast<uint8_t*>(half.data()) + got, wanted - got);
            }
            EXPECT_EQ(got, wanted);
            Append(out, half);
        }
        DecodeStreamClose(stream);
        out.resize(frames * kChannels);
        return out;
    }
};

class StreamMp3LoopTest : public StreamMp3RenderTest, public ::testing::WithParamInterface<DWORD> {};

// Offset 8,000 restarts inside a frame, half a second into the data: the decoder must find the next frame again.
TEST_P(StreamMp3LoopTest, TenSecondsOfALoopingMp3EqualTheDecodeStream) {
    const DWORD loopOffset = GetParam();
    const std::string path = ZORVA_FIXTURE_DIR "/mp3_cbr128_44k_stereo_tagged.mp3"; // 1 s
    ASSERT_EQ(ZRVA_Open(1, path.c_str(), nullptr, 200), 1u);
    ASSERT_EQ(ZRVA_Play(1, 1, loopOffset), 1u);
    const Frames out = Ticks(1000);
    EXPECT_TRUE(Playing(1));
    ZRVA_Close(1);
    EXPECT_EQ(soundDevice.slots[1].kind, Empty);

    const Frames expected = LoopingReference(path.c_str(), 200, loopOffset, out.size() / kChannels);
    EXPECT_EQ(FirstDifference(out, expected), -1);
    EXPECT_FALSE(AllSilent(Slice(out, 9 * 44100, 44100))) << "still sounding in the tenth second";
}

INSTANTIATE_TEST_SUITE_P(LoopOffsets, StreamMp3LoopTest, ::testing::Values(0u, 8000u));
