// Run-time binding of ole32, winmm and msacm32: one entry table per library, bound all or nothing.
#pragma once

#include <stdint.h>

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>
#include <objbase.h>

// Each list gives a library's entry points in table order; every one must be present for the library to bind.
#define ZORVA_COM_ENTRY_POINTS(X)                                                                                      \
    X(CoInitialize)                                                                                                    \
    X(CoUninitialize)                                                                                                  \
    X(CoCreateInstance)                                                                                                \
    X(CoTaskMemFree)                                                                                                   \
    X(CoLoadLibrary)                                                                                                   \
    X(CoFreeLibrary)

#define ZORVA_TIMER_ENTRY_POINTS(X)                                                                                    \
    X(timeGetTime)                                                                                                     \
    X(timeBeginPeriod)                                                                                                 \
    X(timeEndPeriod)                                                                                                   \
    X(timeGetDevCaps)                                                                                                  \
    X(timeSetEvent)                                                                                                    \
    X(timeKillEvent)                                                                                                   \
    X(joyGetNumDevs)                                                                                                   \
    X(joyGetPos)                                                                                                       \
    X(joyGetPosEx)

#define ZORVA_ACM_ENTRY_POINTS(X)                                                                                      \
    X(acmMetrics)                                                                                                      \
    X(acmFormatChooseA)                                                                                                \
    X(acmFormatDetailsA)                                                                                               \
    X(acmFormatSuggest)                                                                                                \
    X(acmFormatTagDetailsA)                                                                                            \
    X(acmFormatTagEnumA)                                                                                               \
    X(acmStreamOpen)                                                                                                   \
    X(acmStreamClose)                                                                                                  \
    X(acmStreamConvert)                                                                                                \
    X(acmStreamPrepareHeader)                                                                                          \
    X(acmStreamUnprepareHeader)                                                                                        \
    X(acmStreamSize)                                                                                                   \
    X(acmStreamMessage)

#define ZORVA_DECLARE_ENTRY(name) decltype(&::name) name;
struct ComEntryTable {
    ZORVA_COM_ENTRY_POINTS(ZORVA_DECLARE_ENTRY)
};
struct TimerEntryTable {
    ZORVA_TIMER_ENTRY_POINTS(ZORVA_DECLARE_ENTRY)
};
struct AcmEntryTable {
    ZORVA_ACM_ENTRY_POINTS(ZORVA_DECLARE_ENTRY)
};
#undef ZORVA_DECLARE_ENTRY

template <typename Table> struct LibraryBinding {
    Table table;      // not cleared on unbind; reached only through the accessor
    HMODULE module;   // non-null exactly while every entry of `table` is present
    int32_t refCount; // binds not yet matched by an unbind
};

struct TimerBinding : LibraryBinding<TimerEntryTable> {
    TIMECAPS caps;
    BOOL periodSet; // the first bind raised the resolution, so the last unbind owes timeEndPeriod
};

struct SystemLibraryBinding {
    LibraryBinding<ComEntryTable> com;
    TimerBinding timer;
    LibraryBinding<AcmEntryTable> acm;
};

extern SystemLibraryBinding systemLibraries;

BOOL BindSystemLibraries();
void UnbindSystemLibraries();

BOOL BindComLibrary();
BOOL BindTimerLibrary();
BOOL BindAcmLibrary();
void UnbindComLibrary();
void UnbindTimerLibrary();
void UnbindAcmLibrary();

// The entry tables while bound, null otherwise; fetch them anew at each use.
const ComEntryTable* ComEntries();
const TimerEntryTable* TimerEntries();
const AcmEntryTable* AcmEntries();

// Looks `name` up in `module` into `slot` (null when absent); TRUE when found.
template <typename Function> BOOL BindEntryPoint(HMODULE module, const char* name, Function* slot) {
    FARPROC found = GetProcAddress(module, name);
    // Through void(*)(void), the generic function pointer type, so the cast is not taken for a mistake.
    *slot = reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(found));
    return found != nullptr;
}
