#include "dsound/buffer_description.h"

namespace posix_win32 {
namespace {

constexpr DWORD kKnownFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_STATIC | DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE |
                              DSBCAPS_CTRL3D | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                              DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLFX | DSBCAPS_STICKYFOCUS | DSBCAPS_GLOBALFOCUS |
                              DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_MUTE3DATMAXDISTANCE | DSBCAPS_LOCDEFER;
constexpr DWORD kLocationFlags = DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE;

HRESULT CheckFlags(DWORD flags) {
    if (flags & ~kKnownFlags) return DSERR_INVALIDPARAM;
    if ((flags & kLocationFlags) == kLocationFlags) return DSERR_INVALIDPARAM;
    if ((flags & DSBCAPS_LOCDEFER) && (flags & kLocationFlags)) return DSERR_INVALIDPARAM;
    // Effects need the IDirectSound8 device, which this one is not.
    if (flags & DSBCAPS_CTRLFX) return DSERR_INVALIDPARAM;
    // The primary buffer's rate is the device's: it has no frequency control and takes no notifications.
    if ((flags & DSBCAPS_PRIMARYBUFFER) && (flags & (DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPOSITIONNOTIFY)))
        return DSERR_INVALIDPARAM;
    return DS_OK;
}

} // namespace

// Inconsistent block sizes are a bad parameter; a well-formed encoding the mixer cannot play is a bad format.
HRESULT CheckPcmFormat(const WAVEFORMATEX* format) {
    if (!format) return DSERR_INVALIDPARAM;
    if (format->wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
    if (format->wBitsPerSample != 8 && format->wBitsPerSample != 16) return DSERR_BADFORMAT;
    if (format->nChannels != 1 && format->nChannels != 2) return DSERR_BADFORMAT;
    if (format->nSamplesPerSec < DSBFREQUENCY_MIN || format->nSamplesPerSec > DSBFREQUENCY_MAX)
        return DSERR_INVALIDPARAM;
    if (format->nBlockAlign != format->nChannels * format->wBitsPerSample / 8) return DSERR_INVALIDPARAM;
    if (format->nAvgBytesPerSec != format->nSamplesPerSec * format->nBlockAlign) return DSERR_INVALIDPARAM;
    return DS_OK;
}

HRESULT CheckBufferDescription(const DSBUFFERDESC* desc, DWORD* bufferBytes) {
    if (!desc || desc->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
    if (HRESULT result = CheckFlags(desc->dwFlags); FAILED(result)) return result;
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
        if (desc->dwBufferBytes != 0 || desc->lpwfxFormat) return DSERR_INVALIDPARAM;
        *bufferBytes = 0;
        return DS_OK;
    }
    if (!desc->lpwfxFormat) return DSERR_INVALIDPARAM;
    if (HRESULT result = CheckPcmFormat(desc->lpwfxFormat); FAILED(result)) return result;
    if ((desc->dwFlags & DSBCAPS_CTRL3D) && desc->lpwfxFormat->nChannels != 1) return DSERR_INVALIDPARAM;
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
    DWORD align = desc->lpwfxFormat->nBlockAlign;
    *bufferBytes = (desc->dwBufferBytes + align - 1) / align * align;
    return DS_OK;
}

} // namespace posix_win32
