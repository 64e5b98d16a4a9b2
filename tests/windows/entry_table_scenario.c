#include <string.h>

#include "host_checks.h"
#include "scenarios.h"

typedef void(ZRVA_CDECL* GetFunctionProc)(void** table);

ZRVA_FunctionTable FetchFunctionTable(void* const exports[EXPORT_COUNT]) {
    GetFunctionProc getFunction = (GetFunctionProc)(uintptr_t)exports[GET_FUNCTION_INDEX];
    ZRVA_FunctionTable table;
    memset(&table, 0, sizeof table);
    getFunction((void**)&table);
    return table;
}

void RunEntryTableScenario(void* const exports[EXPORT_COUNT]) {
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
    ZRVA_FunctionTable table = FetchFunctionTable(exports);
    CHECK_EQ(table.GetVersion(), 1);
}
