// The entry points that "winmm.dll" offers to LoadLibraryA.
#include <mmsystem.h>

#include "kernel32/builtin_modules.h"

namespace posix_win32 {
namespace {
const ModuleExport winmmExports[] = {
    POSIX_WIN32_EXPORT(timeGetTime),    POSIX_WIN32_EXPORT(timeBeginPeriod), POSIX_WIN32_EXPORT(timeEndPeriod),
    POSIX_WIN32_EXPORT(timeGetDevCaps), POSIX_WIN32_EXPORT(timeSetEvent),    POSIX_WIN32_EXPORT(timeKillEvent),
    POSIX_WIN32_EXPORT(joyGetNumDevs),  POSIX_WIN32_EXPORT(joyGetPos),       POSIX_WIN32_EXPORT(joyGetPosEx),
};
} // namespace

const BuiltinModule& WinmmModule() {
    static const BuiltinModule module = {"winmm.dll", winmmExports, sizeof winmmExports / sizeof *winmmExports};
    return module;
}
} // namespace posix_win32
