// Host threads against the timer's refills and the output's thread, meant for the ThreadSanitizer build (a race
// fails the run, a deadlock its timeout): streams opened, played, paused, stopped and closed on half the slots
// while every control of looping static sounds changes on the other half; a stream left behind shows as an open
// file after the release. In steady play the output's thread allocates nothing, counted by this executable's own
// operator new.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <dirent.h>

#include <atomic>
#include <chrono>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include "seams/sound_output.h"
#include "support/wave_bytes.h"
#include "zorva_sound.h"

namespace {

constexpr uint32_t kStaticSlots = 8, kSlots = 16; // static sounds below kStaticSlots, streams from there
constexpr int kHostThreads = 4;

std::atomic<long> outputThreadAllocations{0};
thread_local bool onOutputThread = false;

void* CountedAllocate(size_t size) noexcept {
    if (onOutputThread) ++outputThreadAllocations;
    return malloc(size ? size : 1);
}

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

// Every form of new and delete, so that none is paired with another allocator's.
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

class StressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        posix_win32::UseRenderOutput();
        ASSERT_EQ(ZRVA_Init(nullptr, 44100, 16, 2, kSlots, 0), 1u);
        // One second of a ramp at 22,050 Hz (resampled) and one at 44,100 Hz, stereo, looping in every static slot.
        std::vector<int16_t> samples(2 * 22050);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = int16_t(i * 7 % 20000 - 10000);
        for (uint32_t rate : {22050u, 44100u})
            files.emplace_back(std::make_unique<wave_bytes::TemporaryFile>(
                wave_bytes::CanonicalWave(samples.data(), samples.size() * 2, 2, rate)));
        for (uint32_t slot = 0; slot < kStaticSlots; ++slot) {
            ASSERT_EQ(ZRVA_Open(slot, files[slot % 2]->path(), nullptr, 0), 1u);
            ASSERT_EQ(ZRVA_Play(slot, 1, 0), 1u);
        }
    }
    void TearDown() override {
        StopOutput();
        ZRVA_Release();
        posix_win32::UseEnvironmentOutput();
    }
    // Renders 10 ms blocks until stopped, at most at the real rate when `paced`: a stream's refill then always has
    // its half written before the mix comes back to it (faster is an underrun, not a fault of the hand-shake).
    void StartOutput(bool paced) {
        output = std::thread([this, paced] {
            std::vector<int16_t> block(441 * 2);
            onOutputThread = true;
            while (!stop) {
                posix_win32::RenderFrames(block.data(), 441);
                ++blocks;
                if (paced) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            onOutputThread = false;
        });
    }
    void StopOutput() {
        stop = true;
        if (output.joinable()) output.join();
    }

    std::vector<std::unique_ptr<wave_bytes::TemporaryFile>> files;
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::thread output;
};

TEST_F(StressTest, HostThreadsMeetRefillsAndTheOutputWithoutRaceOrLeak) {
    const char* paths[] = {ZORVA_FIXTURE_DIR "/wav_pcm16_22k_stereo.wav",
                           ZORVA_FIXTURE_DIR "/mp3_cbr128_44k_stereo_tagged.mp3"};
    const size_t filesBefore = OpenFileCount();
    StartOutput(true);
    std::atomic<long> next{0}, opened{0}, played{0};
    std::vector<std::thread> hosts;
    for (int t = 0; t < kHostThreads; ++t) {
        hosts.emplace_back([&, t] {
            std::mt19937 random(1234u + t);
            while (next++ < 12000) {
                // A host opens and closes only its own stream slots (two opens of one slot at once are the host's
                // fault), but plays, pauses, stops and changes any.
                const uint32_t anySlot = random() % kSlots;
                const uint32_t ownStream = kStaticSlots + (anySlot - anySlot % kHostThreads + t) % kStaticSlots;
                switch (random() % 12) {
                case 0:
                case 1:
                    if (ZRVA_Open(ownStream, paths[random() % 2], nullptr, 100 + random() % 200)) ++opened;
                    break;
                case 2:
                    if (ZRVA_Play(anySlot, random() % 2, (random() % 4) * 4096)) ++played;
                    break;
                case 3: ZRVA_Pause(anySlot); break;
                case 4: ZRVA_Stop(anySlot); break;
                case 5: ZRVA_Close(ownStream); break;
                case 6: ZRVA_SetVolume(anySlot, -int32_t(random() % 3000)); break;
                case 7: ZRVA_SetPan(anySlot, int32_t(random() % 20001) - 10000); break;
                case 8: ZRVA_SetFrequency(anySlot, 8000 + random() % 80000); break;
                case 9: ZRVA_SetTimePos(anySlot, random() % 900); break;
                case 10: ZRVA_SetDirectSoundVol(-int32_t(random() % 2000)); break;
                case 11: ZRVA_GetTimePos(anySlot), ZRVA_GetPan(anySlot), ZRVA_GetDirectSoundVol(); break;
                }
                // Spread the calls over a few seconds, so that playing streams meet hundreds of timer rounds.
                std::this_thread::sleep_for(std::chrono::microseconds(random() % 1000));
            }
        });
    }
    for (std::thread& host : hosts)
        host.join();
    EXPECT_GT(opened.load(), 12000 / 40);
    EXPECT_GT(played.load(), 12000 / 40);
    StopOutput();
    ZRVA_Release();
    EXPECT_EQ(OpenFileCount(), filesBefore) << "every stream's file is closed by the release";
}

// Steady play, and gains that move, of resampled and unresampled voices: not one allocation on the output's thread.
TEST_F(StressTest, TheOutputThreadAllocatesNothingInSteadyPlay) {
    outputThreadAllocations = 0;
    StartOutput(false);
    for (int i = 0; i < 200; ++i) {
        ZRVA_SetVolume(i % kStaticSlots, -(i * 10 % 2000));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    while (blocks < 200)
        std::this_thread::yield();
    StopOutput();
    EXPECT_EQ(outputThreadAllocations.load(), 0);
}
