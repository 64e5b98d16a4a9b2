// A stream whose file turns into 40 MB without a frame sync: each refill gives up on the damage after a bounded
// stretch, so the timer thread is never held, a stream beside it plays on exactly, and a looping one goes round.
#include <chrono>

#include "stream/decode_stream.h"
#include "support/render_session.h"

namespace {

class DamagedStreamTest : public RenderSession {
  protected:
    // A second of a 128 kbit/s MP3 (without its closing ID3v1 tag), then 40 MB that never hold 0xFF.
    void SetUp() override {
        RenderSession::SetUp();
        wave_bytes::Bytes bytes = wave_bytes::ReadWholeFile(Fixture("mp3_cbr128_44k_stereo_tagged.mp3"));
        bytes.resize(bytes.size() - 128 + (40u << 20), 0x5A);
        damaged = std::make_unique<wave_bytes::TemporaryFile>(bytes);
        ASSERT_EQ(Start(), 1u);
    }
    // Lock-step ticks while `more` holds, answering the longest any tick's refills took on the wall clock.
    template <typename More> double TimedTicks(Frames& out, More more) {
        double slowest = 0;
        while (more()) {
            const auto start = std::chrono::steady_clock::now();
            const Frames block = Ticks(1);
            out.insert(out.end(), block.begin(), block.end());
            slowest = std::max(
                slowest, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        return slowest;
    }
    std::unique_ptr<wave_bytes::TemporaryFile> damaged;
};

} // namespace

TEST_F(DamagedStreamTest, RefillsGiveUpOnTheDamageWhileAnotherStreamPlaysExactly) {
    const Frames ramp = Ramp(44100);
    OpenStream(1, ramp, 50);
    ASSERT_EQ(ZRVA_Open(0, damaged->path(), nullptr, 50), 1u);
    // The damaged stream is silenced, so the mix is the ramp alone; its refills still run.
    ASSERT_EQ(ZRVA_SetVolume(0, -10000), 1u);
    ASSERT_EQ(ZRVA_Play(1, 1, 0), 1u);
    ASSERT_EQ(ZRVA_Play(0, 1, 0), 1u);
    Frames out, expected;
    int ticks = 0;
    // Reading the whole tail took 425 ms; a bounded stretch takes about one.
    EXPECT_LT(TimedTicks(out, [&] { return ticks++ < 300; }), 100.0);
    while (expected.size() < out.size())
        expected.insert(expected.end(), ramp.begin(), ramp.end());
    expected.resize(out.size());
    EXPECT_TRUE(out == expected);
    // Three seconds in, the looping stream has gone round past the damage and still plays.
    EXPECT_TRUE(Playing(0));
    EXPECT_LT(soundDevice.slots[0].decodeStream->sourceRead, 20000);
}

TEST_F(DamagedStreamTest, AStreamThatEndsInTheDamagePlaysItsGoodFramesAndStops) {
    ASSERT_EQ(ZRVA_Open(0, damaged->path(), nullptr, 100), 1u);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    Frames out;
    int ticks = 0;
    EXPECT_LT(TimedTicks(out, [&] { return ticks++ < 200 && Playing(0); }), 100.0);
    EXPECT_FALSE(Playing(0));
    // About a second of the good frames was heard before the end.
    EXPECT_GT(out.size(), 44100u * 2 * 9 / 10);
}
