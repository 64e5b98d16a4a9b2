/* The scenario host on Windows: the DLL through its import library, the performance counter and Sleep. */
#include "scenario_runner.h"

#include <windows.h>

void LoadSoundApi(ZRVA_FunctionTable* api) { ZRVA_GetFunction((void**)api); }

double NowMilliseconds(void) {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

void SleepMilliseconds(double milliseconds) {
    if (milliseconds >= 1.0) Sleep((DWORD)milliseconds);
}

const char* PlatformName(void) { return "windows"; }

/* The sound server records the capture: what was played last is still on its way through the output and the
 * server, and the recorder takes it in pieces of 50 ms. */
int FinishCapture(void) {
    Sleep(500);
    return 0;
}
