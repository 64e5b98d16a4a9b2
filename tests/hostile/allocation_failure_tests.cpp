// The platform layer builds its Windows objects from C++ containers and threads, which fail by throwing. Every
// allocation of a full session is made to fail in turn (the timer thread's start among them): each export must
// answer, nothing may escape as an exception, and the next session must run whole.
#include <stdlib.h>

#include <new>

#include <gtest/gtest.h>

#include "seams/message_box_seams.h"
#include "seams/sound_output.h"
#include "seams/timer_clock.h"
#include "support/wave_bytes.h"
#include "zorva_sound.h"

namespace {

// Allocations left before the one that fails; negative when none is to fail.
thread_local long allocationsBeforeFailure = -1;
bool failureHappened = false;

void* Allocate(size_t size) {
    if (allocationsBeforeFailure == 0) {
        allocationsBeforeFailure = -1;
        failureHappened = true;
        throw std::bad_alloc();
    }
    if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
    if (void* memory = malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}

} // namespace

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t& nothrow) noexcept { return operator new(size, nothrow); }
void operator delete(void* memory) noexcept { free(memory); }
void operator delete[](void* memory) noexcept { free(memory); }
void operator delete(void* memory, size_t) noexcept { free(memory); }
void operator delete[](void* memory, size_t) noexcept { free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { free(memory); }

namespace {

class AllocationFailureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        posix_win32::UseRenderOutput();
        posix_win32::UseManualTimerClock();
        // A conversion stream refused for want of memory is shown to the user; here it is only counted.
        posix_win32::SetMessageBoxHook([](HWND, const char*, const char*, UINT) { return IDOK; });
    }
    void TearDown() override {
        posix_win32::SetMessageBoxHook(nullptr);
        posix_win32::UseSystemTimerClock();
        posix_win32::UseEnvironmentOutput();
    }

    // One whole session; answers how many of its calls succeeded.
    int Session() {
        int succeeded = 0;
        succeeded += ZRVA_Init(nullptr, 44100, 16, 2, 4, 0) == 1;
        succeeded += ZRVA_Open(0, nullptr, image.data(), 0) == 1;
        succeeded += ZRVA_Open(1, kSound, nullptr, 100) == 1;
        succeeded += ZRVA_Play(0, 1, 0) == 1;
        succeeded += ZRVA_Play(1, 1, 0) == 1;
        posix_win32::AdvanceTimerClock(60);
        succeeded += ZRVA_SetPan(1, 500) == 1;
        succeeded += ZRVA_Stop(1) == 1;
        ZRVA_Close(1);
        ZRVA_Release();
        return succeeded;
    }

    // One sound, opened from memory as a static sound and by name as a stream.
    static constexpr const char* kSound = ZORVA_FIXTURE_DIR "/wav_pcm16_22k_stereo.wav";
    wave_bytes::Bytes image = wave_bytes::ReadWholeFile(kSound);
};

TEST_F(AllocationFailureTest, EveryFailedAllocationOfASessionIsAnsweredAndTheNextSessionRunsWhole) {
    constexpr int kCalls = 7;
    long failedAt = 0;
    for (;; ++failedAt) {
        failureHappened = false;
        allocationsBeforeFailure = failedAt;
        Session();
        allocationsBeforeFailure = -1;
        if (!failureHappened) break;
        ASSERT_EQ(Session(), kCalls) << "after the allocation " << failedAt << " failed";
    }
    // The session allocates: the timer thread, the events, the device, its buffers and the conversion stream.
    EXPECT_GT(failedAt, 10);
}

} // namespace
