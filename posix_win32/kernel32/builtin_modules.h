// The modules LoadLibraryA can load here: each a name and its entry points under their Windows names.
#pragma once

#include <windows.h>

namespace posix_win32 {

struct ModuleExport {
    const char* name;
    FARPROC address;
};

struct BuiltinModule {
    const char* name;
    const ModuleExport* exports;
    size_t exportCount;
};

const BuiltinModule& Ole32Module();
const BuiltinModule& WinmmModule();
const BuiltinModule& Msacm32Module();

} // namespace posix_win32

#define POSIX_WIN32_EXPORT(name)                                                                                       \
    { #name, reinterpret_cast < FARPROC>(reinterpret_cast <void (*)(void)>(&::name)) }
