// The entry points of the Audio Compression Manager.
#include <msacm.h>

#include "kernel32/builtin_modules.h"

// FIXME: conversions come with the codecs; until then every request answers that it is not possible.
extern "C" MMRESULT WINAPI acmMetrics(HACMOBJ, UINT, LPVOID) { return MMSYSERR_NOTSUPPORTED; }
extern "C" MMRESULT WINAPI acmFormatChooseA(LPACMFORMATCHOOSEA) { return MMSYSERR_NOTSUPPORTED; }
extern "C" MMRESULT WINAPI acmFormatDetailsA(HACMDRIVER, LPACMFORMATDETAILSA, DWORD) { return ACMERR_NOTPOSSIBLE; }
extern "C" MMRESULT WINAPI acmFormatSuggest(HACMDRIVER, LPWAVEFORMATEX, LPWAVEFORMATEX, DWORD, DWORD) {
    return ACMERR_NOTPOSSIBLE;
}
extern "C" MMRESULT WINAPI acmFormatTagDetailsA(HACMDRIVER, LPACMFORMATTAGDETAILSA, DWORD) {
    return ACMERR_NOTPOSSIBLE;
}
extern "C" MMRESULT WINAPI acmFormatTagEnumA(HACMDRIVER, LPACMFORMATTAGDETAILSA, ACMFORMATTAGENUMCBA, DWORD_PTR,
                                             DWORD) {
    return MMSYSERR_NOERROR;
}
extern "C" MMRESULT WINAPI acmStreamOpen(LPHACMSTREAM stream, HACMDRIVER, LPWAVEFORMATEX, LPWAVEFORMATEX,
                                         LPWAVEFILTER, DWORD_PTR, DWORD_PTR, DWORD) {
    if (stream) *stream = nullptr;
    return ACMERR_NOTPOSSIBLE;
}
extern "C" MMRESULT WINAPI acmStreamClose(HACMSTREAM, DWORD) { return MMSYSERR_INVALHANDLE; }
extern "C" MMRESULT WINAPI acmStreamConvert(HACMSTREAM, LPACMSTREAMHEADER, DWORD) { return MMSYSERR_INVALHANDLE; }
extern "C" MMRESULT WINAPI acmStreamPrepareHeader(HACMSTREAM, LPACMSTREAMHEADER, DWORD) {
    return MMSYSERR_INVALHANDLE;
}
extern "C" MMRESULT WINAPI acmStreamUnprepareHeader(HACMSTREAM, LPACMSTREAMHEADER, DWORD) {
    return MMSYSERR_INVALHANDLE;
}
extern "C" MMRESULT WINAPI acmStreamSize(HACMSTREAM, DWORD, LPDWORD, DWORD) { return MMSYSERR_INVALHANDLE; }
extern "C" LRESULT WINAPI acmStreamMessage(HACMSTREAM, UINT, LPARAM, LPARAM) { return MMSYSERR_INVALHANDLE; }

namespace posix_win32 {
namespace {
const ModuleExport msacm32Exports[] = {
    POSIX_WIN32_EXPORT(acmMetrics),           POSIX_WIN32_EXPORT(acmFormatChooseA),
    POSIX_WIN32_EXPORT(acmFormatDetailsA),    POSIX_WIN32_EXPORT(acmFormatSuggest),
    POSIX_WIN32_EXPORT(acmFormatTagDetailsA), POSIX_WIN32_EXPORT(acmFormatTagEnumA),
    POSIX_WIN32_EXPORT(acmStreamOpen),        POSIX_WIN32_EXPORT(acmStreamClose),
    POSIX_WIN32_EXPORT(acmStreamConvert),     POSIX_WIN32_EXPORT(acmStreamPrepareHeader),
    POSIX_WIN32_EXPORT(acmStreamUnprepareHeader), POSIX_WIN32_EXPORT(acmStreamSize),
    POSIX_WIN32_EXPORT(acmStreamMessage),
};
} // namespace

const BuiltinModule& Msacm32Module() {
    static const BuiltinModule module = {"msacm32.dll", msacm32Exports, sizeof msacm32Exports / sizeof *msacm32Exports};
    return module;
}
} // namespace posix_win32
