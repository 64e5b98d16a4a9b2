#include "dsound/buffer_controls.h"

#include "dsound/direct_sound.h"

namespace posix_win32 {

HRESULT BufferControls::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDirectSoundBuffer) {
        AddRef();
        *object = static_cast<IDirectSoundBuffer*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT BufferControls::GetVolume(LPLONG out) {
    if (!out) return DSERR_INVALIDPARAM;
    if (!(flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    std::lock_guard lock(device.DeviceMixer().ControlMutex());
    *out = volume;
    return DS_OK;
}

HRESULT BufferControls::GetPan(LPLONG out) {
    if (!out) return DSERR_INVALIDPARAM;
    if (!(flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    std::lock_guard lock(device.DeviceMixer().ControlMutex());
    *out = pan;
    return DS_OK;
}

HRESULT BufferControls::SetVolume(LONG newVolume) {
    if (!(flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (newVolume < DSBVOLUME_MIN || newVolume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard lock(device.DeviceMixer().ControlMutex());
    volume = newVolume;
    ApplyGains();
    return DS_OK;
}

HRESULT BufferControls::SetPan(LONG newPan) {
    if (!(flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    if (newPan < DSBPAN_LEFT || newPan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    std::lock_guard lock(device.DeviceMixer().ControlMutex());
    pan = newPan;
    ApplyGains();
    return DS_OK;
}

HRESULT BufferControls::Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) { return DSERR_ALREADYINITIALIZED; }

HRESULT BufferControls::AnswerCaps(LPDSBCAPS caps, DWORD bufferBytes) const {
    if (!caps || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
    // A buffer that named no location is mixed in software; one that asked for hardware keeps saying so.
    caps->dwFlags = flags & (DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE) ? flags : flags | DSBCAPS_LOCSOFTWARE;
    caps->dwBufferBytes = bufferBytes;
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
}

HRESULT BufferControls::AnswerFormat(const WAVEFORMATEX& format, LPWAVEFORMATEX out, DWORD sizeAllocated,
                                     LPDWORD sizeWritten) {
    if (!out && !sizeWritten) return DSERR_INVALIDPARAM;
    if (out) {
        if (sizeAllocated < sizeof(WAVEFORMATEX)) return DSERR_INVALIDPARAM;
        *out = format;
        out->cbSize = 0;
    }
    if (sizeWritten) *sizeWritten = sizeof(WAVEFORMATEX);
    return DS_OK;
}

} // namespace posix_win32
