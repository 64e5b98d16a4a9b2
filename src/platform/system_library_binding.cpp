#include "platform/system_library_binding.h"

SystemLibraryBinding systemLibraries;

namespace {

#define ZORVA_BIND_ENTRY(name)                                                                                         \
    if (!BindEntryPoint(module, #name, &table.name)) return FALSE;

BOOL BindEntries(HMODULE module, ComEntryTable& table) {
    ZORVA_COM_ENTRY_POINTS(ZORVA_BIND_ENTRY)
    return TRUE;
}
BOOL BindEntries(HMODULE module, TimerEntryTable& table) {
    ZORVA_TIMER_ENTRY_POINTS(ZORVA_BIND_ENTRY)
    return TRUE;
}
BOOL BindEntries(HMODULE module, AcmEntryTable& table) {
    ZORVA_ACM_ENTRY_POINTS(ZORVA_BIND_ENTRY)
    return TRUE;
}
#undef ZORVA_BIND_ENTRY

// The shared first-bind path: load, bind every entry, let `ready` finish the job; any failure unloads again.
template <typename Table, typename Ready>
BOOL BindLibrary(LibraryBinding<Table>& binding, const char* dllName, Ready ready) {
    if (binding.module) {
        ++binding.refCount;
        return TRUE;
    }
    HMODULE module = LoadLibraryA(dllName);
    if (!module) return FALSE;
    if (!BindEntries(module, binding.table) || !ready(binding.table)) {
        FreeLibrary(module);
        return FALSE;
    }
    binding.module = module;
    binding.refCount = 1;
    return TRUE;
}

// Only the unbind that brings the count to 0 runs `beforeUnload` and unloads the module.
template <typename Table, typename BeforeUnload>
void UnbindLibrary(LibraryBinding<Table>& binding, BeforeUnload beforeUnload) {
    if (binding.refCount <= 0) return;
    if (--binding.refCount > 0) return;
    beforeUnload(binding.table);
    FreeLibrary(binding.module);
    binding.module = nullptr;
}

template <typename Table> const Table* EntriesOf(const LibraryBinding<Table>& binding) {
    return binding.module ? &binding.table : nullptr;
}

} // namespace

BOOL BindComLibrary() {
    // S_FALSE (this thread already initialised) is a success like any other non-negative code.
    return BindLibrary(systemLibraries.com, "ole32.dll",
                       [](const ComEntryTable& table) { return SUCCEEDED(table.CoInitialize(nullptr)); });
}

BOOL BindTimerLibrary() {
    TimerBinding& timer = systemLibraries.timer;
    const bool firstBind = timer.module == nullptr;
    if (!BindLibrary(timer, "winmm.dll", [](const TimerEntryTable&) { return true; })) return FALSE;
    if (firstBind) {
        timer.periodSet = FALSE;
        if (timer.table.timeGetDevCaps(&timer.caps, sizeof(TIMECAPS)) == TIMERR_NOERROR)
            timer.periodSet = timer.table.timeBeginPeriod(timer.caps.wPeriodMin) == TIMERR_NOERROR;
    }
    return TRUE;
}

BOOL BindAcmLibrary() {
    return BindLibrary(systemLibraries.acm, "msacm32.dll", [](const AcmEntryTable&) { return true; });
}

void UnbindComLibrary() {
    UnbindLibrary(systemLibraries.com, [](const ComEntryTable& table) { table.CoUninitialize(); });
}

void UnbindTimerLibrary() {
    UnbindLibrary(systemLibraries.timer, [](const TimerEntryTable& table) {
        TimerBinding& timer = systemLibraries.timer;
        if (timer.periodSet) {
            table.timeEndPeriod(timer.caps.wPeriodMin);
            timer.periodSet = FALSE;
        }
    });
}

void UnbindAcmLibrary() {
    UnbindLibrary(systemLibraries.acm, [](const AcmEntryTable&) {});
}

BOOL BindSystemLibraries() { return BindComLibrary() && BindTimerLibrary() && BindAcmLibrary(); }

void UnbindSystemLibraries() {
    UnbindAcmLibrary();
    UnbindTimerLibrary();
    UnbindComLibrary();
}

const ComEntryTable* ComEntries() { return EntriesOf(systemLibraries.com); }
const TimerEntryTable* TimerEntries() { return EntriesOf(systemLibraries.timer); }
const AcmEntryTable* AcmEntries() { return EntriesOf(systemLibraries.acm); }
