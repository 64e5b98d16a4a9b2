// The multimedia timer service of winmm.
#include <time.h>

#include <mmsystem.h>

#include "kernel32/builtin_modules.h"

namespace {
constexpr UINT kPeriodMin = 1;
constexpr UINT kPeriodMax = 1000000;
} // namespace

extern "C" DWORD WINAPI timeGetTime(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<DWORD>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

extern "C" MMRESULT WINAPI timeGetDevCaps(LPTIMECAPS caps, UINT size) {
    if (!caps || size < sizeof(TIMECAPS)) return MMSYSERR_ERROR;
    caps->wPeriodMin = kPeriodMin;
    caps->wPeriodMax = kPeriodMax;
    return TIMERR_NOERROR;
}

// Timer resolution is always the finest here; the calls only check their argument, as winmm does.
extern "C" MMRESULT WINAPI timeBeginPeriod(UINT period) {
    return period < kPeriodMin || period > kPeriodMax ? TIMERR_NOCANDO : TIMERR_NOERROR;
}
extern "C" MMRESULT WINAPI timeEndPeriod(UINT period) {
    return period < kPeriodMin || period > kPeriodMax ? TIMERR_NOCANDO : TIMERR_NOERROR;
}

// FIXME: periodic timers come with the stream slots; until then no timer can be started.
extern "C" MMRESULT WINAPI timeSetEvent(UINT, UINT, LPTIMECALLBACK, DWORD_PTR, UINT) { return 0; }
extern "C" MMRESULT WINAPI timeKillEvent(UINT) { return MMSYSERR_INVALPARAM; }
