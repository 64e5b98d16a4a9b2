#include "dsound/primary_buffer.h"

#include "dsound/buffer_description.h"
#include "dsound/mixer/control_gains.h"
#include "dsound/direct_sound.h"
#include "failure_value.h"

namespace posix_win32 {
namespace {

// The primary buffer is not memory the caller sees; it reports a ring of this many mixing blocks.
constexpr DWORD kPrimaryBlocks = 4;

} // namespace

PrimaryBuffer::PrimaryBuffer(DirectSoundDevice& device, DWORD flags) : BufferControls(device, flags) {}

void PrimaryBuffer::HandOut() { AddRef(); }

ULONG PrimaryBuffer::AddRef() {
    ULONG count = ++refCount;
    if (count == 1) device.AddRef();
    return count;
}

// The object itself belongs to the device; the last caller's release only lets go of the device.
ULONG PrimaryBuffer::Release() {
    ULONG count = --refCount;
    if (count == 0) device.Release();
    return count;
}

DWORD PrimaryBuffer::BufferBytes() const {
    const PcmFormat& format = device.DeviceMixer().OutputFormat();
    return kPrimaryBlocks * format.BlockFrames() * format.BlockAlign();
}

HRESULT PrimaryBuffer::GetCaps(LPDSBCAPS caps) {
    std::lock_guard lock(device.DeviceMixer().ControlMutex());
    return AnswerCaps(caps, BufferBytes());
}

HRESULT PrimaryBuffer::GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) {
    Mixer& mixer = device.DeviceMixer();
    std::lock_guard lock(mixer.ControlMutex());
    DWORD bytes = BufferBytes();
    DWORD play = DWORD(mixer.FramesRendered() * mixer.OutputFormat().BlockAlign() % bytes);
    if (playCursor) *playCursor = play;
    if (writeCursor) *writeCursor = (play + bytes / kPrimaryBlocks) % bytes;
    return DS_OK;
}

HRESULT PrimaryBuffer::GetFormat(LPWAVEFORMATEX out, DWORD sizeAllocated, LPDWORD sizeWritten) {
    std::lock_guard lock(device.DeviceMixer().ControlMutex());
    return AnswerFormat(WaveFormatOf(device.DeviceMixer().OutputFormat()), out, sizeAllocated, sizeWritten);
}

HRESULT PrimaryBuffer::GetFrequency(LPDWORD out) {
    if (!out) return DSERR_INVALIDPARAM;
    return DSERR_CONTROLUNAVAIL;
}

HRESULT PrimaryBuffer::GetStatus(LPDWORD status) {
    if (!status) return DSERR_INVALIDPARAM;
    *status = playing ? DSBSTATUS_PLAYING | DSBSTATUS_LOOPING : 0;
    return DS_OK;
}

// FIXME: writing the primary buffer directly (DSSCL_WRITEPRIMARY) is not served; the mix always owns it.
HRESULT PrimaryBuffer::Lock(DWORD, DWORD, LPVOID* audio1, LPDWORD audioBytes1, LPVOID*, LPDWORD, DWORD) {
    if (!audio1 || !audioBytes1) return DSERR_INVALIDPARAM;
    if (device.CooperativeLevel() != DSSCL_WRITEPRIMARY) return DSERR_PRIOLEVELNEEDED;
    return DSERR_UNSUPPORTED;
}

// The mix runs whenever the device does; playing the primary buffer only shows in its status.
HRESULT PrimaryBuffer::Play(DWORD reserved, DWORD, DWORD playFlags) {
    if (reserved != 0 || !(playFlags & DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
    playing = true;
    return DS_OK;
}

HRESULT PrimaryBuffer::SetCurrentPosition(DWORD) { return DSERR_INVALIDCALL; }

HRESULT PrimaryBuffer::SetFormat(LPCWAVEFORMATEX format) {
    return AnswerOr<HRESULT>(DSERR_OUTOFMEMORY, [&]() -> HRESULT {
        if (!format) return DSERR_INVALIDPARAM;
        DWORD level = device.CooperativeLevel();
        if (level != DSSCL_PRIORITY && level != DSSCL_EXCLUSIVE && level != DSSCL_WRITEPRIMARY)
            return DSERR_PRIOLEVELNEEDED;
        if (HRESULT result = CheckPcmFormat(format); FAILED(result)) return result;
        return device.ChangeMixFormat(PcmFormatOf(*format));
    });
}

void PrimaryBuffer::ApplyGains() {
    float left, right;
    PanToGains(pan, &left, &right);
    device.DeviceMixer().SetMasterGains(VolumeToGain(volume), left, right);
}

HRESULT PrimaryBuffer::SetFrequency(DWORD) { return DSERR_CONTROLUNAVAIL; }

HRESULT PrimaryBuffer::Stop() {
    playing = false;
    return DS_OK;
}

HRESULT PrimaryBuffer::Unlock(LPVOID, DWORD, LPVOID, DWORD) { return DSERR_INVALIDCALL; }

HRESULT PrimaryBuffer::Restore() { return DS_OK; }

} // namespace posix_win32
