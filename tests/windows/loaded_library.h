/* The DLL as a Windows host sees it: loaded by name, every export found with GetProcAddress. */
#ifndef LOADED_LIBRARY_H
#define LOADED_LIBRARY_H

#include "zorva_sound.h"

/* The 22 exports: the 21 entry-table positions in order, then ZRVA_GetFunction. */
#define EXPORT_COUNT (ZRVA_FUNCTION_COUNT + 1)
#define GET_FUNCTION_INDEX ZRVA_FUNCTION_COUNT

typedef struct ExportInfo {
    const char* name;
    unsigned argumentCount; /* 32-bit arguments; stdcall exports pop 4 bytes for each */
} ExportInfo;

extern const ExportInfo exportInfo[EXPORT_COUNT];

/* Loads ZORVA_Sound.dll and resolves every export into `exports`; nonzero when all 22 are found. */
int LoadSoundLibrary(void* exports[EXPORT_COUNT]);

#endif
