// Test seams over the built-in modules that LoadLibraryA serves: fail a load, hide or replace an entry point.
#pragma once

#include <windows.h>

namespace posix_win32 {

void FailModuleLoad(const char* module);
void HideEntryPoint(const char* module, const char* name);
void ReplaceEntryPoint(const char* module, const char* name, FARPROC replacement);
template <typename Function> void ReplaceEntryPoint(const char* module, const char* name, Function replacement) {
    ReplaceEntryPoint(module, name, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(replacement)));
}
// Loads not yet matched by a FreeLibrary.
int ModuleLoadCount(const char* module);
// Undoes every failure, hiding and replacement.
void ResetModuleSeams();

} // namespace posix_win32
