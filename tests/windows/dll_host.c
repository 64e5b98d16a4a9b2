/* A Windows host of ZORVA_Sound.dll that uses only the public header, LoadLibraryA and GetProcAddress: the entry
 * table that ZRVA_GetFunction fills holds the exports in the header's order, and on 32 bits every export takes
 * exactly its own arguments off the stack. Answers 0 when every check passed. */
#include <stdio.h>

#include "host_checks.h"
#include "loaded_library.h"

int hostChecksPassed;
int hostChecksFailed;

typedef void(ZRVA_CDECL* GetFunctionProc)(void** table);

/* 32-bit only: every export removes exactly its own arguments, ZRVA_GetFunction none. */
void RunStackBalanceScenario(void* const exports[EXPORT_COUNT]);

static void CheckEntryTable(void* const exports[EXPORT_COUNT]) {
    GetFunctionProc getFunction = (GetFunctionProc)(uintptr_t)exports[GET_FUNCTION_INDEX];
    /* One more entry than the table holds, to see that the 22nd stays as the host left it. */
    void* entries[ZRVA_FUNCTION_COUNT + 1];
    void* const untouched = (void*)(uintptr_t)0x5A5A5A5Au;
    for (int i = 0; i <= ZRVA_FUNCTION_COUNT; ++i)
        entries[i] = untouched;
    getFunction(entries);
    for (int i = 0; i < ZRVA_FUNCTION_COUNT; ++i) {
        if (entries[i] != exports[i]) printf("entry %d is not %s\n", i, exportInfo[i].name);
        CHECK(entries[i] == exports[i]);
    }
    CHECK(entries[ZRVA_FUNCTION_COUNT] == untouched);
    getFunction(NULL); /* harmless */
    CHECK(sizeof(ZRVA_FunctionTable) == ZRVA_FUNCTION_COUNT * sizeof(void*));
    ZRVA_FunctionTable table;
    getFunction((void**)&table);
    CHECK_EQ(table.GetVersion(), 1);
}

int main(void) {
    void* exports[EXPORT_COUNT];
    if (!LoadSoundLibrary(exports)) return 1;
    CheckEntryTable(exports);
#if !defined(_WIN64)
    RunStackBalanceScenario(exports);
#endif
    printf("dll_host: %d passed, %d failed\n", hostChecksPassed, hostChecksFailed);
    return hostChecksFailed == 0 && hostChecksPassed > 0 ? 0 : 1;
}
