/* The scenario host on Windows: the DLL loaded by name, the performance counter and Sleep. */
#include "scenario_runner.h"

#include <stdio.h>
#include <windows.h>

int LoadSoundApi(ZRVA_FunctionTable* api) {
    HMODULE library = LoadLibraryA("ZORVA_Sound.dll");
    if (!library) {
        printf("LoadLibraryA(ZORVA_Sound.dll) failed: error %lu\n", GetLastError());
        return 0;
    }
    typedef void(ZRVA_CDECL * GetFunctionProc)(void** table);
    /* Through an integer, since ISO C has no cast between object and function pointers. */
    GetFunctionProc getFunction = (GetFunctionProc)(uintptr_t)GetProcAddress(library, "ZRVA_GetFunction");
    if (!getFunction) {
        printf("GetProcAddress(ZRVA_GetFunction) found nothing\n");
        return 0;
    }
    getFunction((void**)api);
    return 1;
}

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
