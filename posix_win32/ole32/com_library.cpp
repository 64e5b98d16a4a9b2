// The COM library: per-thread initialisation and the class factory behind CoCreateInstance.
#include <stdlib.h>

#include <mutex>

#include <objbase.h>

#include "dsound/direct_sound_factory.h"
#include "kernel32/builtin_modules.h"
#include "seams/com_seams.h"
#include "failure_value.h"

namespace posix_win32 {
namespace {

thread_local int comInitCount = 0;
std::mutex hookMutex;
CreateInstanceHook createInstanceHook;

} // namespace

HRESULT CreateBuiltinInstance(REFCLSID clsid, REFIID iid, void** object) {
    if (clsid == CLSID_DirectSound) return CreateDirectSound(iid, object);
    return REGDB_E_CLASSNOTREG;
}

void SetCreateInstanceHook(CreateInstanceHook hook) {
    std::lock_guard lock(hookMutex);
    createInstanceHook = std::move(hook);
}

} // namespace posix_win32

extern "C" HRESULT WINAPI CoInitialize(LPVOID) { return posix_win32::comInitCount++ == 0 ? S_OK : S_FALSE; }

extern "C" void WINAPI CoUninitialize(void) {
    if (posix_win32::comInitCount > 0) --posix_win32::comInitCount;
}

extern "C" HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object) {
    return posix_win32::AnswerOr<HRESULT>(E_OUTOFMEMORY, [&]() -> HRESULT {
        if (!object) return E_POINTER;
        *object = nullptr;
        posix_win32::CreateInstanceHook hook;
        {
            std::lock_guard lock(posix_win32::hookMutex);
            hook = posix_win32::createInstanceHook;
        }
        if (hook) return hook(clsid, outer, context, iid, object);
        if (posix_win32::comInitCount == 0) return CO_E_NOTINITIALIZED;
        if (outer) return CLASS_E_NOAGGREGATION;
        return posix_win32::CreateBuiltinInstance(clsid, iid, object);
    });
}

extern "C" void WINAPI CoTaskMemFree(LPVOID memory) { free(memory); }

// No in-process servers exist here beyond the built-in classes.
extern "C" HINSTANCE WINAPI CoLoadLibrary(LPSTR, BOOL) { return nullptr; }
extern "C" void WINAPI CoFreeLibrary(HINSTANCE) {}

namespace posix_win32 {
namespace {
const ModuleExport ole32Exports[] = {
    POSIX_WIN32_EXPORT(CoInitialize),  POSIX_WIN32_EXPORT(CoUninitialize), POSIX_WIN32_EXPORT(CoCreateInstance),
    POSIX_WIN32_EXPORT(CoTaskMemFree), POSIX_WIN32_EXPORT(CoLoadLibrary),  POSIX_WIN32_EXPORT(CoFreeLibrary),
};
} // namespace

const BuiltinModule& Ole32Module() {
    static const BuiltinModule module = {"ole32.dll", ole32Exports, sizeof ole32Exports / sizeof *ole32Exports};
    return module;
}
} // namespace posix_win32
