// The clock behind the multimedia timers: the system's monotonic clock, or one that only a test moves.
#pragma once

#include <windows.h>

namespace posix_win32 {

// Timers from now on run on a manual clock that stands still until AdvanceTimerClock moves it.
void UseManualTimerClock();
// Back to the monotonic system clock.
void UseSystemTimerClock();
// Moves the manual clock on and returns once every callback due by the new time has run, in deadline order,
// on the timer thread.
void AdvanceTimerClock(DWORD milliseconds);

} // namespace posix_win32
