// The multimedia timer: a periodic timer keeps its period, and a kill waits for a callback of the timer that is
// running, so nothing the callback uses may be freed under it. (A callback that kills its own timer is met by the
// stream scenarios.)
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include <mmsystem.h>

#include "seams/timer_clock.h"

namespace {

struct BlockingCallback {
    std::promise<void> entered, release;
};

void CALLBACK BlockUntilReleased(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* callback = reinterpret_cast<BlockingCallback*>(user);
    callback->entered.set_value();
    callback->release.get_future().wait();
}

void CALLBACK Count(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) { ++*reinterpret_cast<std::atomic<int>*>(user); }

} // namespace

TEST(MultimediaTimerTest, APeriodicTimerFiresOnceAPeriod) {
    posix_win32::UseManualTimerClock();
    std::atomic<int> calls{0};
    const UINT id = timeSetEvent(10, 0, &Count, reinterpret_cast<DWORD_PTR>(&calls), TIME_PERIODIC);
    for (int step = 0; step < 100; ++step)
        posix_win32::AdvanceTimerClock(5);
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    EXPECT_EQ(calls.load(), 50);
    posix_win32::UseSystemTimerClock();
}

TEST(MultimediaTimerTest, KillWaitsForARunningCallback) {
    posix_win32::UseManualTimerClock();
    BlockingCallback callback;
    const UINT id = timeSetEvent(10, 0, &BlockUntilReleased, reinterpret_cast<DWORD_PTR>(&callback), TIME_PERIODIC);
    std::thread advancer([] { posix_win32::AdvanceTimerClock(10); });
    callback.entered.get_future().wait();
    auto kill = std::async(std::launch::async, [id] { return timeKillEvent(id); });
    EXPECT_EQ(kill.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    callback.release.set_value();
    EXPECT_EQ(kill.get(), TIMERR_NOERROR);
    advancer.join();
    posix_win32::UseSystemTimerClock();
}
