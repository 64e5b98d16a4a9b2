// Test seam over CoCreateInstance: see what the library asks for, wrap or replace the object it gets.
#pragma once

#include <functional>

#include <windows.h>

namespace posix_win32 {

// The built-in class factory: DirectSound for CLSID_DirectSound, REGDB_E_CLASSNOTREG for anything else.
HRESULT CreateBuiltinInstance(REFCLSID clsid, REFIID iid, void** object);

using CreateInstanceHook =
    std::function<HRESULT(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, void** object)>;
// Replaces the factory behind CoCreateInstance; an empty hook restores the built-in one.
void SetCreateInstanceHook(CreateInstanceHook hook);

} // namespace posix_win32
