// The multimedia timer service: every callback runs on one timer thread, at absolute deadlines.
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include <mmsystem.h>

#include "failure_value.h"
#include "seams/timer_clock.h"
#include "immortal.h"

namespace {

constexpr UINT kPeriodMin = 1;
constexpr UINT kPeriodMax = 1000000;

uint64_t SystemMilliseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

struct Timer {
    uint64_t deadline;
    UINT period;
    bool periodic;
    LPTIMECALLBACK callback;
    DWORD_PTR user;
};

// Never destroyed (see Immortal): a host that quits without a release leaves its thread running to the end. The
// last end-period call (a release) ends the thread once no timer is left.
class TimerService {
  public:
    UINT Start(UINT delay, LPTIMECALLBACK callback, DWORD_PTR user, bool periodic) {
        std::lock_guard lock(mutex);
        if (!thread.joinable()) thread = std::thread([this] { Run(); });
        UINT id = nextId++;
        if (id == 0) id = nextId++; // 0 means failure to the caller
        timers[id] = Timer{NowLocked() + delay, delay, periodic, callback, user};
        wake.notify_all();
        return id;
    }

    // A timer is dead once no further callback of it will start; from its own callback it dies at once.
    MMRESULT Kill(UINT id) {
        std::unique_lock lock(mutex);
        if (!timers.erase(id)) return MMSYSERR_INVALPARAM;
        if (std::this_thread::get_id() != thread.get_id()) callbackDone.wait(lock, [&] { return runningId != id; });
        wake.notify_all();
        return TIMERR_NOERROR;
    }

    // Ends the thread when no timer is left, unless called from it; the next timer starts it again.
    void StopIfIdle() {
        std::unique_lock lock(mutex);
        if (!timers.empty() || !thread.joinable() || std::this_thread::get_id() == thread.get_id()) return;
        stopping = true;
        wake.notify_all();
        lock.unlock();
        thread.join();
        lock.lock();
        stopping = false;
    }

    DWORD Now() {
        std::lock_guard lock(mutex);
        return static_cast<DWORD>(NowLocked());
    }

    void UseManualClock(bool manual) {
        std::lock_guard lock(mutex);
        manualClock = manual;
        manualNow = 0;
        wake.notify_all();
    }

    void Advance(DWORD milliseconds) {
        std::unique_lock lock(mutex);
        manualNow += milliseconds;
        wake.notify_all();
        callbackDone.wait(lock, [&] { return runningId == 0 && !HasDueTimerLocked(); });
    }

  private:
    std::mutex mutex;
    std::condition_variable wake;         // the timer thread: timers changed, the clock moved, or stopping
    std::condition_variable callbackDone; // killers and the manual clock: a callback returned or none is due
    std::map<UINT, Timer> timers;
    std::thread thread;
    UINT nextId = 1;
    UINT runningId = 0;
    bool stopping = false;
    bool manualClock = false;
    uint64_t manualNow = 0;

    // Windows runs timer callbacks at time-critical priority, and a late refill is heard. Real-time scheduling is
    // asked for; a process that may not have it keeps the ordinary one.
    static void RaisePriority() {
        sched_param param{};
        param.sched_priority = sched_get_priority_min(SCHED_FIFO);
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    }

    uint64_t NowLocked() const { return manualClock ? manualNow : SystemMilliseconds(); }

    std::map<UINT, Timer>::iterator EarliestLocked() {
        auto earliest = timers.begin();
        for (auto it = timers.begin(); it != timers.end(); ++it)
            if (it->second.deadline < earliest->second.deadline) earliest = it;
        return earliest;
    }

    bool HasDueTimerLocked() { return !timers.empty() && EarliestLocked()->second.deadline <= NowLocked(); }

    void Run() {
        RaisePriority();
        std::unique_lock lock(mutex);
        while (!stopping) {
            if (timers.empty()) {
                callbackDone.notify_all();
                wake.wait(lock);
                continue;
            }
            auto earliest = EarliestLocked();
            const uint64_t now = NowLocked();
            if (earliest->second.deadline > now) {
                callbackDone.notify_all();
                if (manualClock)
                    wake.wait(lock);
                else
                    wake.wait_for(lock, std::chrono::milliseconds(earliest->second.deadline - now));
                continue;
            }
            const UINT id = earliest->first;
            Timer& timer = earliest->second;
            const Timer fired = timer;
            if (timer.periodic) {
                timer.deadline += timer.period;
                // A system clock that fell far behind skips the missed periods instead of bursting them.
                if (!manualClock && timer.deadline + timer.period < now) timer.deadline = now + timer.period;
            } else {
                timers.erase(earliest);
            }
            runningId = id;
            lock.unlock();
            fired.callback(id, 0, fired.user, 0, 0);
            lock.lock();
            runningId = 0;
            callbackDone.notify_all();
        }
    }
};

TimerService& Timers() {
    static posix_win32::Immortal<TimerService> service;
    return *service;
}

} // namespace

void posix_win32::UseManualTimerClock() { Timers().UseManualClock(true); }
void posix_win32::UseSystemTimerClock() { Timers().UseManualClock(false); }
void posix_win32::AdvanceTimerClock(DWORD milliseconds) { Timers().Advance(milliseconds); }

extern "C" DWORD WINAPI timeGetTime(void) { return Timers().Now(); }

extern "C" MMRESULT WINAPI timeGetDevCaps(LPTIMECAPS caps, UINT size) {
    if (!caps || size < sizeof(TIMECAPS)) return MMSYSERR_ERROR;
    caps->wPeriodMin = kPeriodMin;
    caps->wPeriodMax = kPeriodMax;
    return TIMERR_NOERROR;
}

// The timer thread always runs at the finest resolution; the calls check their argument, as winmm does.
extern "C" MMRESULT WINAPI timeBeginPeriod(UINT period) {
    return period < kPeriodMin || period > kPeriodMax ? TIMERR_NOCANDO : TIMERR_NOERROR;
}
extern "C" MMRESULT WINAPI timeEndPeriod(UINT period) {
    if (period < kPeriodMin || period > kPeriodMax) return TIMERR_NOCANDO;
    // The library's release ends its period: with no timer left, the thread goes too, so a host that releases
    // leaves none running behind it.
    return posix_win32::AnswerOr<MMRESULT>(TIMERR_NOERROR, [] {
        Timers().StopIfIdle();
        return TIMERR_NOERROR;
    });
}

extern "C" MMRESULT WINAPI timeSetEvent(UINT delay, UINT, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
    if (!callback || delay < kPeriodMin || delay > kPeriodMax) return 0;
    // Only function callbacks are served; every kill here waits for a running callback, as TIME_KILL_SYNCHRONOUS asks.
    if (flags & ~(TIME_PERIODIC | TIME_KILL_SYNCHRONOUS)) return 0;
    // A timer thread that cannot start, or a timer that cannot be stored, is a timer not made.
    return posix_win32::AnswerOr<MMRESULT>(
        0, [&] { return Timers().Start(delay, callback, user, flags & TIME_PERIODIC); });
}

extern "C" MMRESULT WINAPI timeKillEvent(UINT timerId) {
    return posix_win32::AnswerOr<MMRESULT>(MMSYSERR_ERROR, [&] { return Timers().Kill(timerId); });
}
