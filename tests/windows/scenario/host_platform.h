/* What the scenario host needs from the system it runs on: the library's entry table, a wall clock and a sleep.
 * One implementation per platform: the DLL through LoadLibraryA/GetProcAddress, or libzorva_sound linked directly. */
#ifndef HOST_PLATFORM_H
#define HOST_PLATFORM_H

#include "zorva_sound.h"

/* Fills `api` with the library's 21 entry points; nonzero on success. */
int LoadSoundApi(ZRVA_FunctionTable* api);
/* Milliseconds on a monotonic clock, with sub-millisecond resolution. */
double NowMilliseconds(void);
void SleepMilliseconds(double milliseconds);
/* The platform's name as transcripts and messages show it ("windows" or "portable"). */
const char* PlatformName(void);
/* Completes the capture once the script has run, where the host makes it itself; answers the failures found. */
int FinishCapture(void);

#endif
