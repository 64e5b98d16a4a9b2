// Several host threads open, play, pause, stop and close streams on 16 slots while the real timer refills them and
// a render thread pulls the mix. Run under ThreadSanitizer: a race fails the run, a deadlock its timeout, and a
// stream left behind shows as an open file after the release.
#include <gtest/gtest.h>

#include <dirent.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "interface/sound_device.h"
#include "seams/sound_output.h"
#include "zorva_sound.h"

namespace {

constexpr uint32_t kSlots = 16;
constexpr int kHostThreads = 4;
constexpr long kOperations = 10000;

size_t OpenFileCount() {
    size_t count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

} // namespace

class StreamStressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        posix_win32::UseRenderOutput();
        ASSERT_EQ(ZRVA_Init(nullptr, 44100, 16, 2, kSlots, 0), 1u);
        // Nothing consumes the render output by itself: pull it at no more than the real rate, so the play cursors
        // move and the refills have halves to write, but never outrun a refill (which would be an underrun, the
        // mixer reading a half while it is rewritten, not a fault of the hand-shake).
        render = std::thread([this] {
            std::vector<int16_t> block(441 * 2);
            while (!stopRendering) {
                posix_win32::RenderFrames(block.data(), 441);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    void TearDown() override {
        stopRendering = true;
        if (render.joinable()) render.join();
        ZRVA_Release();
        posix_win32::UseEnvironmentOutput();
    }

    std::atomic<bool> stopRendering{false};
    std::thread render;
};

TEST_F(StreamStressTest, HostCallsOnSixteenStreamSlotsMeetRefillsWithoutRaceOrLeak) {
    const char* paths[] = {ZORVA_FIXTURE_DIR "/wav_pcm16_22k_stereo.wav",
                           ZORVA_FIXTURE_DIR "/mp3_cbr128_44k_stereo_tagged.mp3"};
    const size_t filesBefore = OpenFileCount();

    std::atomic<long> next{0};
    std::atomic<long> opened{0}, played{0};
    std::vector<std::thread> hosts;
    for (int t = 0; t < kHostThreads; ++t) {
        hosts.emplace_back([&, t] {
            std::mt19937 random(1234u + t);
            while (next++ < kOperations) {
                // A host opens and closes only its own slots (two opens of one slot at once are the host's fault),
                // but plays, pauses and stops any.
                const uint32_t anySlot = random() % kSlots;
                const uint32_t ownSlot = anySlot - anySlot % kHostThreads + t;
                switch (random() % 6) {
                case 0:
                case 1:
                    if (ZRVA_Open(ownSlot, paths[random() % 2], nullptr, 100 + random() % 200)) ++opened;
                    break;
                case 2:
                    if (ZRVA_Play(anySlot, random() % 2, (random() % 4) * 4096)) ++played;
                    break;
                case 3: ZRVA_Pause(anySlot); break;
                case 4: ZRVA_Stop(anySlot); break;
                case 5: ZRVA_Close(ownSlot); break;
                }
                // Spread the calls over a few seconds, so that playing streams meet hundreds of timer rounds.
                std::this_thread::sleep_for(std::chrono::microseconds(random() % 1500));
            }
        });
    }
    for (std::thread& host : hosts)
        host.join();
    EXPECT_GT(opened.load(), kOperations / 20);
    EXPECT_GT(played.load(), kOperations / 40);

    ZRVA_Release();
    EXPECT_EQ(OpenFileCount(), filesBefore) << "every stream's file is closed by the release";
}
