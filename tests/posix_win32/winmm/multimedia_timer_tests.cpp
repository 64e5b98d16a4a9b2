#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <mmsystem.h>

#include "seams/timer_clock.h"

namespace {

struct CallbackLog {
    std::mutex mutex;
    std::vector<DWORD> times;
    std::vector<UINT> ids;
    std::thread::id thread;
    UINT killAfter = 0; // the callback kills its own timer on this call
};

void CALLBACK RecordCall(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* log = reinterpret_cast<CallbackLog*>(user);
    std::lock_guard lock(log->mutex);
    log->times.push_back(timeGetTime());
    log->ids.push_back(id);
    log->thread = std::this_thread::get_id();
    if (log->killAfter && log->times.size() == log->killAfter) EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
}

class MultimediaTimerTest : public ::testing::Test {
  protected:
    void SetUp() override { posix_win32::UseManualTimerClock(); }
    void TearDown() override { posix_win32::UseSystemTimerClock(); }
};

} // namespace

TEST_F(MultimediaTimerTest, PeriodicCallbacksRunAtAbsoluteDeadlinesOnTheTimerThread) {
    CallbackLog log;
    const UINT id = timeSetEvent(10, 0, &RecordCall, reinterpret_cast<DWORD_PTR>(&log), TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    for (int step = 0; step < 7; ++step)
        posix_win32::AdvanceTimerClock(3); // 21 ms in uneven steps
    posix_win32::AdvanceTimerClock(19);    // 40 ms
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    posix_win32::AdvanceTimerClock(100);
    // Each callback sees the clock at or after its deadline, but the deadlines themselves never drift.
    ASSERT_EQ(log.times.size(), 4u);
    EXPECT_EQ(log.times[0], 12u);
    EXPECT_EQ(log.times[1], 21u);
    EXPECT_EQ(log.times[2], 40u);
    EXPECT_EQ(log.times[3], 40u);
    EXPECT_EQ(log.ids[0], id);
    EXPECT_NE(log.thread, std::this_thread::get_id());
}

TEST_F(MultimediaTimerTest, CallbackMayKillItsOwnTimer) {
    CallbackLog log;
    log.killAfter = 3;
    const UINT id = timeSetEvent(10, 0, &RecordCall, reinterpret_cast<DWORD_PTR>(&log), TIME_PERIODIC);
    posix_win32::AdvanceTimerClock(100);
    EXPECT_EQ(log.times.size(), 3u);
    EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);
}

namespace {
struct BlockingCallback {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;
};

void CALLBACK BlockUntilReleased(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* state = reinterpret_cast<BlockingCallback*>(user);
    std::unique_lock lock(state->mutex);
    state->entered = true;
    state->changed.notify_all();
    state->changed.wait(lock, [&] { return state->released; });
}
} // namespace

TEST_F(MultimediaTimerTest, KillWaitsForARunningCallback) {
    BlockingCallback state;
    const UINT id = timeSetEvent(10, 0, &BlockUntilReleased, reinterpret_cast<DWORD_PTR>(&state), TIME_PERIODIC);
    std::thread advancer([] { posix_win32::AdvanceTimerClock(10); });
    {
        std::unique_lock lock(state.mutex);
        state.changed.wait(lock, [&] { return state.entered; });
    }
    std::atomic<bool> killed = false;
    std::thread killer([&] {
        EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
        killed = true;
    });
    EXPECT_FALSE(killed); // the callback is still inside, so the kill cannot have returned
    {
        std::lock_guard lock(state.mutex);
        state.released = true;
    }
    state.changed.notify_all();
    killer.join();
    advancer.join();
    EXPECT_TRUE(killed);
}
