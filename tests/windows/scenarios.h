/* The scenarios the host runs against the loaded DLL, one per CTest test. */
#ifndef SCENARIOS_H
#define SCENARIOS_H

#include "loaded_library.h"

void RunEntryTableScenario(void* const exports[EXPORT_COUNT]);
/* 32-bit only: every export removes exactly its own arguments, ZRVA_GetFunction none. */
void RunStackBalanceScenario(void* const exports[EXPORT_COUNT]);

/* The entry table as ZRVA_GetFunction fills it, typed by the header. */
ZRVA_FunctionTable FetchFunctionTable(void* const exports[EXPORT_COUNT]);

#endif
