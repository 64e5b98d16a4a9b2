#include "dsound/direct_sound.h"

#include <new>

#include "dsound/buffer_description.h"
#include "dsound/direct_sound_factory.h"
#include "dsound/primary_buffer.h"
#include "dsound/secondary_buffer.h"
#include "failure_value.h"

namespace posix_win32 {
namespace {

// DSCAPS flags and speaker configurations, with their Windows values.
constexpr DWORD kCapsPrimaryMono = 0x1, kCapsPrimaryStereo = 0x2, kCapsPrimary8Bit = 0x4, kCapsPrimary16Bit = 0x8;
constexpr DWORD kCapsContinuousRate = 0x10;
constexpr DWORD kCapsSecondaryMono = 0x100, kCapsSecondaryStereo = 0x200, kCapsSecondary8Bit = 0x400,
                kCapsSecondary16Bit = 0x800;
constexpr DWORD kSpeakerStereo = 4;
// DSDEVID_DefaultPlayback: the one device here, like the null GUID.
constexpr GUID kDefaultPlayback = {0xDEF00000, 0x9C6D, 0x47ED, {0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03}};

} // namespace

DirectSoundDevice::DirectSoundDevice(OutputChoice outputChoice)
    : speakerConfig(kSpeakerStereo), outputChoice(std::move(outputChoice)) {}

DirectSoundDevice::~DirectSoundDevice() {
    if (output) output->Stop();
}

HRESULT DirectSoundDevice::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDirectSound) {
        AddRef();
        *object = static_cast<IDirectSound*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG DirectSoundDevice::AddRef() { return ++refCount; }

// Buffers hold a reference each, so the mixer outlives every voice it reads.
ULONG DirectSoundDevice::Release() {
    ULONG count = --refCount;
    if (count == 0) delete this;
    return count;
}

HRESULT DirectSoundDevice::Initialize(LPCGUID deviceId) {
    return AnswerOr<HRESULT>(DSERR_OUTOFMEMORY, [&]() -> HRESULT {
        std::lock_guard lock(deviceMutex);
        if (initialized) return DSERR_ALREADYINITIALIZED;
        if (deviceId && *deviceId != GUID_NULL && *deviceId != kDefaultPlayback) return DSERR_NODRIVER;
        // The output is chosen and opened now, so a machine without sound fails here and not at the first Play.
        std::unique_ptr<OutputDevice> opened = CreateOutputDevice(outputChoice, mixer);
        if (!opened || !opened->Open(mixer.OutputFormat()) || !opened->Start()) return DSERR_NODRIVER;
        output = std::move(opened);
        initialized = true;
        return DS_OK;
    });
}

HRESULT DirectSoundDevice::SetCooperativeLevel(HWND, DWORD level) {
    if (!initialized) return DSERR_UNINITIALIZED;
    if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
    cooperativeLevel = level;
    return DS_OK;
}

HRESULT DirectSoundDevice::CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, LPUNKNOWN outer) {
    return AnswerOr<HRESULT>(DSERR_OUTOFMEMORY, [&]() -> HRESULT {
        if (!initialized) return DSERR_UNINITIALIZED;
        if (!buffer) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (outer) return DSERR_NOAGGREGATION;
        DWORD bufferBytes = 0;
        if (HRESULT result = CheckBufferDescription(desc, &bufferBytes); FAILED(result)) return result;

        if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
            // One primary buffer per device: every request gets the same object.
            std::lock_guard lock(deviceMutex);
            if (!primary) primary = std::make_unique<PrimaryBuffer>(*this, desc->dwFlags);
            primary->HandOut();
            *buffer = primary.get();
            return DS_OK;
        }
        SecondaryBuffer* created = new (std::nothrow) SecondaryBuffer(*this, *desc, bufferBytes);
        if (!created) return DSERR_OUTOFMEMORY;
        *buffer = created;
        return DS_OK;
    });
}

HRESULT DirectSoundDevice::GetCaps(LPDSCAPS caps) {
    if (!initialized) return DSERR_UNINITIALIZED;
    if (!caps || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
    caps->dwFlags = kCapsPrimaryMono | kCapsPrimaryStereo | kCapsPrimary8Bit | kCapsPrimary16Bit | kCapsContinuousRate |
                    kCapsSecondaryMono | kCapsSecondaryStereo | kCapsSecondary8Bit | kCapsSecondary16Bit;
    for (DWORD& field : caps->reserved)
        field = 0;
    // dwMinSecondarySampleRate and dwMaxSecondarySampleRate; no hardware buffers or memory to report.
    caps->reserved[0] = DSBFREQUENCY_MIN;
    caps->reserved[1] = DSBFREQUENCY_MAX;
    return DS_OK;
}

// FIXME: duplicates sharing one buffer's memory are not made yet.
HRESULT DirectSoundDevice::DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER* duplicate) {
    if (!initialized) return DSERR_UNINITIALIZED;
    if (!original || !duplicate) return DSERR_INVALIDPARAM;
    *duplicate = nullptr;
    return DSERR_UNSUPPORTED;
}

HRESULT DirectSoundDevice::Compact() { return initialized ? DS_OK : DSERR_UNINITIALIZED; }

HRESULT DirectSoundDevice::GetSpeakerConfig(LPDWORD config) {
    if (!initialized) return DSERR_UNINITIALIZED;
    if (!config) return DSERR_INVALIDPARAM;
    *config = speakerConfig;
    return DS_OK;
}

HRESULT DirectSoundDevice::SetSpeakerConfig(DWORD config) {
    if (!initialized) return DSERR_UNINITIALIZED;
    speakerConfig = config;
    return DS_OK;
}

HRESULT DirectSoundDevice::ChangeMixFormat(const PcmFormat& format) {
    std::lock_guard lock(deviceMutex);
    PcmFormat previous;
    {
        std::lock_guard state(mixer.ControlMutex());
        previous = mixer.OutputFormat();
    }
    if (format.rate == previous.rate && format.bits == previous.bits && format.channels == previous.channels)
        return DS_OK;
    output->Stop();
    {
        std::lock_guard state(mixer.ControlMutex());
        mixer.SetOutputFormat(format);
    }
    if (output->Open(format) && output->Start()) return DS_OK;
    // The output refused the format: keep playing the old one.
    {
        std::lock_guard state(mixer.ControlMutex());
        mixer.SetOutputFormat(previous);
    }
    if (output->Open(previous)) output->Start();
    return DSERR_BADFORMAT;
}

HRESULT CreateDirectSound(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    DirectSoundDevice* device = new (std::nothrow) DirectSoundDevice(CurrentOutputChoice());
    if (!device) return E_OUTOFMEMORY;
    HRESULT result = device->QueryInterface(iid, object);
    device->Release();
    return result;
}

} // namespace posix_win32
