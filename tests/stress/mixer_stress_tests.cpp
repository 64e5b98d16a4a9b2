// The output's thread against the host's: host threads hammer every control of static sounds while a thread renders
// the mix (run under ThreadSanitizer, a race fails it), and in steady play the rendering thread allocates nothing,
// counted by this executable's own operator new.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include "seams/sound_output.h"
#include "seams/timer_clock.h"
#include "support/wave_bytes.h"
#include "zorva_sound.h"

namespace {

std::atomic<long> outputThreadAllocations{0};
thread_local bool onOutputThread = false;

constexpr uint32_t kSlots = 8;

} // namespace

// Every form of new and delete, so that none is paired with another allocator's.
namespace {
void* CountedAllocate(size_t size) noexcept {
    if (onOutputThread) ++outputThreadAllocations;
    return malloc(size ? size : 1);
}
} // namespace

void* operator new(size_t size) {
    if (void* block = CountedAllocate(size)) return block;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    if (void* block = CountedAllocate(size)) return block;
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept { return CountedAllocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return CountedAllocate(size); }
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { free(block); }

class MixerStressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        posix_win32::UseRenderOutput();
        ASSERT_EQ(ZRVA_Init(nullptr, 44100, 16, 2, kSlots, 0), 1u);
        // One second of a ramp at 22,050 Hz (resampled) and one at 44,100 Hz, stereo, in every slot, looping.
        std::vector<int16_t> samples(2 * 22050);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = int16_t(i * 7 % 20000 - 10000);
        for (uint32_t rate : {22050u, 44100u})
            files.emplace_back(std::make_unique<wave_bytes::TemporaryFile>(
                wave_bytes::CanonicalWave(samples.data(), samples.size() * 2, 2, rate)));
        for (uint32_t slot = 0; slot < kSlots; ++slot) {
            ASSERT_EQ(ZRVA_Open(slot, files[slot % 2]->path(), nullptr, 0), 1u);
            ASSERT_EQ(ZRVA_Play(slot, 1, 0), 1u);
        }
    }
    void TearDown() override {
        stop = true;
        if (output.joinable()) output.join();
        ZRVA_Release();
        posix_win32::UseEnvironmentOutput();
    }
    // Renders 10 ms blocks until told to stop, counting what the thread allocates.
    void StartOutput() {
        output = std::thread([this] {
            std::vector<int16_t> block(441 * 2);
            onOutputThread = true;
            while (!stop) {
                posix_win32::RenderFrames(block.data(), 441);
                ++blocks;
            }
            onOutputThread = false;
        });
    }

    std::vector<std::unique_ptr<wave_bytes::TemporaryFile>> files;
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::thread output;
};

TEST_F(MixerStressTest, HostThreadsChangeEveryControlWhileTheOutputRenders) {
    StartOutput();
    std::vector<std::thread> hosts;
    for (int t = 0; t < 3; ++t) {
        hosts.emplace_back([t] {
            std::mt19937 random(99u + t);
            for (int i = 0; i < 4000; ++i) {
                const uint32_t slot = random() % kSlots;
                switch (random() % 10) {
                case 0: ZRVA_SetVolume(slot, -int32_t(random() % 3000)); break;
                case 1: ZRVA_SetPan(slot, int32_t(random() % 20001) - 10000); break;
                case 2: ZRVA_SetFrequency(slot, 8000 + random() % 80000); break;
                case 3: ZRVA_Play(slot, random() % 2, 0); break;
                case 4: ZRVA_Pause(slot); break;
                case 5: ZRVA_Stop(slot); break;
                case 6: ZRVA_SetTimePos(slot, random() % 900); break;
                case 7: ZRVA_SetDirectSoundVol(-int32_t(random() % 2000)); break;
                case 8: ZRVA_GetTimePos(slot), ZRVA_GetFrequency(slot), ZRVA_GetVolume(slot); break;
                case 9: ZRVA_GetPan(slot), ZRVA_GetDirectSoundVol(); break;
                }
            }
        });
    }
    for (std::thread& host : hosts)
        host.join();
    EXPECT_GT(blocks.load(), 0);
}

// Steady play, and gains that move, of resampled and unresampled voices: not one allocation on the output's thread.
TEST_F(MixerStressTest, TheOutputThreadAllocatesNothingInSteadyPlay) {
    outputThreadAllocations = 0;
    StartOutput();
    for (int i = 0; i < 200; ++i) {
        ZRVA_SetVolume(i % kSlots, -(i * 10 % 2000));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    while (blocks < 200)
        std::this_thread::yield();
    stop = true;
    output.join();
    EXPECT_EQ(outputThreadAllocations.load(), 0);
}
