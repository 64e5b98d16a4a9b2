#include "loaded_library.h"

#include <stdio.h>
#include <windows.h>

/* Made from the DLL's export list by the build: each name with its 32-bit argument count. */
const ExportInfo exportInfo[EXPORT_COUNT] = {
#include "export_table.inc"
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
