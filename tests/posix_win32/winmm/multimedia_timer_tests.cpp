// The multimedia timer on the manual clock: periodic callbacks keep their absolute deadlines on the timer thread, a
// callback may kill its own timer, and a kill waits for a callback that is running.
#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include <mmsystem.h>

#include "seams/timer_clock.h"

namespace {

struct CallbackLog {
    std::vector<DWORD> times;
    std::thread::id thread;
    size_t killAfter = 0; // the callback kills its own timer on this call
    std::promise<void> entered, release;
};

void CALLBACK RecordCall(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* log = reinterpret_cast<CallbackLog*>(user);
    log->times.push_back(timeGetTime());
    log->thread = std::this_thread::get_id();
    if (log->times.size() == log->killAfter) EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
}

void CALLBACK BlockUntilReleased(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* log = reinterpret_cast<CallbackLog*>(user);
    log->entered.set_value();
    log->release.get_future().wait();
}

class MultimediaTimerTest : public ::testing::Test {
  protected:
    void SetUp() override { posix_win32::UseManualTimerClock(); }
    void TearDown() override { posix_win32::UseSystemTimerClock(); }
};

} // namespace

TEST_F(MultimediaTimerTest, PeriodicCallbacksKeepTheirDeadlinesAndMayKillTheirOwnTimer) {
    CallbackLog log;
    const UINT id = timeSetEvent(10, 0, &RecordCall, reinterpret_cast<DWORD_PTR>(&log), TIME_PERIODIC);
    for (int step = 0; step < 7; ++step)
        posix_win32::AdvanceTimerClock(3); // 21 ms in uneven steps
    posix_win32::AdvanceTimerClock(19);    // 40 ms: two deadlines passed at once
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    posix_win32::AdvanceTimerClock(100);
    // Each callback sees the clock at or after its deadline, but the deadlines themselves never drift.
    EXPECT_EQ(log.times, (std::vector<DWORD>{12, 21, 40, 40}));
    EXPECT_NE(log.thread, std::this_thread::get_id());
    CallbackLog killing;
    killing.killAfter = 3;
    const UINT own = timeSetEvent(10, 0, &RecordCall, reinterpret_cast<DWORD_PTR>(&killing), TIME_PERIODIC);
    posix_win32::AdvanceTimerClock(100);
    EXPECT_EQ(killing.times.size(), 3u);
    EXPECT_EQ(timeKillEvent(own), MMSYSERR_INVALPARAM);
}

TEST_F(MultimediaTimerTest, KillWaitsForARunningCallback) {
    CallbackLog log;
    const UINT id = timeSetEvent(10, 0, &BlockUntilReleased, reinterpret_cast<DWORD_PTR>(&log), TIME_PERIODIC);
    std::thread advancer([] { posix_win32::AdvanceTimerClock(10); });
    log.entered.get_future().wait();
    auto kill = std::async(std::launch::async, [id] { return timeKillEvent(id); });
    EXPECT_EQ(kill.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    log.release.set_value();
    EXPECT_EQ(kill.get(), TIMERR_NOERROR);
    advancer.join();
}
