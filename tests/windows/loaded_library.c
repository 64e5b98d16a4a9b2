#include "loaded_library.h"

#include <stdio.h>
#include <windows.h>

const ExportInfo exportInfo[EXPORT_COUNT] = {
    {"ZRVA_GetVersion", 0},
    {"ZRVA_Init", 6},
    {"ZRVA_Release", 0},
    {"ZRVA_Open", 4},
    {"ZRVA_Close", 1},
    {"ZRVA_CloseAll", 0},
    {"ZRVA_Play", 3},
    {"ZRVA_Pause", 1},
    {"ZRVA_Stop", 1},
    {"ZRVA_GetPan", 1},
    {"ZRVA_SetPan", 2},
    {"ZRVA_GetFrequency", 1},
    {"ZRVA_SetFrequency", 2},
    {"ZRVA_GetVolume", 1},
    {"ZRVA_SetVolume", 2},
    {"ZRVA_GetDirectSoundVol", 0},
    {"ZRVA_SetDirectSoundVol", 1},
    {"ZRVA_GetTimePos", 1},
    {"ZRVA_SetTimePos", 2},
    {"ZRVA_GetWaveTime", 1},
    {"ZRVA_SetGlobalFocus", 1},
    {"ZRVA_GetFunction", 1},
};

int LoadSoundLibrary(void* exports[EXPORT_COUNT]) {
    HMODULE library = LoadLibraryA("ZORVA_Sound.dll");
    if (!library) {
        printf("LoadLibraryA(ZORVA_Sound.dll) failed: error %lu\n", GetLastError());
        return 0;
    }
    int found = 1;
    for (int i = 0; i < EXPORT_COUNT; ++i) {
        /* Through an integer, since ISO C has no cast between object and function pointers. */
        exports[i] = (void*)(uintptr_t)GetProcAddress(library, exportInfo[i].name);
        if (!exports[i]) {
            printf("GetProcAddress(%s) found nothing\n", exportInfo[i].name);
            found = 0;
        }
    }
    return found;
}
