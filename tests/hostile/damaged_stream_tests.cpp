// A stream whose file turns into 40 MB without a frame sync: each refill gives up on the damage after a bounded
// stretch, so the timer thread is never held, a stream beside it plays on exactly, and a looping one goes round.
#include <chrono>
#include <memory>

#include <fstream>
#include <iterator>

#include "stream/decode_stream.h"
#include "support/render_session.h"

namespace {

constexpr size_t kDamagedBytes = 40u << 20;

// A second of a 128 kbit/s MP3 (its ID3v2 tag and frames, without the closing ID3v1 tag), then bytes that never
// hold 0xFF, so no decoder finds a frame in them.
wave_bytes::Bytes DamagedMp3() {
    std::ifstream in(Fixture("mp3_cbr128_44k_stereo_tagged.mp3"), std::ios::binary);
    wave_bytes::Bytes bytes{std::istreambuf_iterator<char>(in), {}};
    bytes.resize(bytes.size() - 128);
    uint8_t pattern[255];
    for (size_t i = 0; i < sizeof pattern; ++i)
        pattern[i] = static_cast<uint8_t>(i * 131 % 255);
    const size_t good = bytes.size();
    bytes.resize(good + kDamagedBytes);
    for (size_t at = 0; at < kDamagedBytes; at += sizeof pattern)
        memcpy(bytes.data() + good + at, pattern, std::min(sizeof pattern, kDamagedBytes - at));
    return bytes;
}

class DamagedStreamTest : public RenderSession {
  protected:
    static void SetUpTestSuite() { damaged = std::make_unique<wave_bytes::TemporaryFile>(DamagedMp3()); }
    static void TearDownTestSuite() { damaged.reset(); }

    // One lock-step tick, answering how long the refills of its 10 ms took on the wall clock.
    double TimedTick(Frames& out) {
        const auto start = std::chrono::steady_clock::now();
        const Frames block = Ticks(1);
        out.insert(out.end(), block.begin(), block.end());
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }

    static std::unique_ptr<wave_bytes::TemporaryFile> damaged;
};

std::unique_ptr<wave_bytes::TemporaryFile> DamagedStreamTest::damaged;

TEST_F(DamagedStreamTest, RefillsGiveUpOnTheDamageWhileAnotherStreamPlaysExactly) {
    ASSERT_EQ(Start(), 1u);
    const Frames ramp = Ramp(44100);
    OpenStream(1, ramp, 50);
    ASSERT_EQ(ZRVA_Open(0, damaged->path(), nullptr, 50), 1u);
    // The damaged stream is silenced, so the mix is the ramp alone; its refills still run.
    ASSERT_EQ(ZRVA_SetVolume(0, -10000), 1u);
    ASSERT_EQ(ZRVA_Play(1, 1, 0), 1u);
    ASSERT_EQ(ZRVA_Play(0, 1, 0), 1u);

    Frames out;
    double slowest = 0;
    for (int tick = 0; tick < 300; ++tick)
        slowest = std::max(slowest, TimedTick(out));
    // Reading the whole tail took 425 ms; a bounded stretch takes about one.
    EXPECT_LT(slowest, 100.0);
    Frames expected;
    while (expected.size() < out.size())
        expected.insert(expected.end(), ramp.begin(), ramp.end());
    expected.resize(out.size());
    EXPECT_TRUE(out == expected);
    // Three seconds in, the looping stream has gone round past the damage and still plays.
    EXPECT_TRUE(Playing(0));
    EXPECT_LT(soundDevice.slots[0].decodeStream->sourceRead, 20000);

    const auto start = std::chrono::steady_clock::now();
    ZRVA_Stop(0);
    ZRVA_Close(0);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took.count(), 100.0);
}

TEST_F(DamagedStreamTest, AStreamThatEndsInTheDamagePlaysItsGoodFramesAndStops) {
    ASSERT_EQ(Start(), 1u);
    ASSERT_EQ(ZRVA_Open(0, damaged->path(), nullptr, 100), 1u);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    Frames out;
    for (int tick = 0; tick < 200 && Playing(0); ++tick)
        EXPECT_LT(TimedTick(out), 100.0);
    EXPECT_FALSE(Playing(0));
    // About a second of the good frames was heard before the end.
    EXPECT_GT(out.size(), 44100u * 2 * 9 / 10);
}

} // namespace
