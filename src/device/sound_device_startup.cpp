#include "device/sound_device_startup.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "device/sound_buffers.h"
#include "device/startup_messages.h"
#include "interface/slot_dispatch.h"
#include "interface/sound_device.h"
#include "platform/system_library_binding.h"

namespace {

const CLSID kClsidDirectSound = {0x47D4D946, 0x62E8, 0x11CF, {0x93, 0xBC, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kIidDirectSound = {0x279AFA83, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
constexpr DWORD kDeviceContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

// The window passed to the start-up in progress; the failure report's box belongs to it after the shutdown.
HWND startingWindow = nullptr;

void CreateSlotEvents(DWORD slotCount) {
    for (DWORD i = 0; i < slotCount; ++i) {
        char name[32];
        SlotEventName(i, name);
        soundDevice.slotEvents[i] = CreateEventA(nullptr, TRUE, TRUE, name);
    }
}

} // namespace

BOOL StartDevice(HWND window, DWORD sampleRate, DWORD bitsPerSample, DWORD channels, DWORD slotCount,
                 DWORD bufferLocation) {
    ShutDownDevice();
    startingWindow = window;
    soundDevice.window = window;
    if (!BindSystemLibraries()) return ReportStartupFailure(kBindFailedMessage);

    soundDevice.device = CreateSoundDevice(nullptr);
    if (!soundDevice.device) return ReportStartupFailure(kDeviceFailedMessage);
    if (soundDevice.device->SetCooperativeLevel(window, DSSCL_PRIORITY) != DS_OK)
        return ReportStartupFailure(kCooperativeLevelMessage);

    MakePcmFormat(&soundDevice.primaryFormat, sampleRate, bitsPerSample, channels);
    soundDevice.sampleRate = sampleRate;
    soundDevice.bitsPerSample = bitsPerSample;
    soundDevice.channels = channels;
    soundDevice.bufferLocation = bufferLocation;
    soundDevice.primaryBuffer = CreatePrimaryBuffer(soundDevice.device, &soundDevice.primaryFormat, bufferLocation);
    if (!soundDevice.primaryBuffer) return ReportStartupFailure(kPrimaryBufferMessage);

    soundDevice.slots = static_cast<SoundSlot*>(calloc(slotCount, sizeof(SoundSlot)));
    if (!soundDevice.slots && slotCount) return ReportStartupFailure(kSlotTableMessage);
    soundDevice.slotEvents = static_cast<HANDLE*>(calloc(slotCount, sizeof(HANDLE)));
    if (!soundDevice.slotEvents && slotCount) return ReportStartupFailure(kEventArrayMessage);
    CreateSlotEvents(slotCount);

    soundDevice.slotCount = slotCount;
    return TRUE;
}

BOOL ReportStartupFailure(const char* message) {
    char text[128];
    snprintf(text, sizeof text, "%s", message);
    const HWND owner = startingWindow;
    ShutDownDevice();
    MessageBoxA(owner, text, kStartupFailureCaption, MB_OK);
    return FALSE;
}

void ShutDownDevice() {
    soundDevice.window = nullptr;
    CloseAllSlots();
    free(soundDevice.slots);
    for (DWORD i = 0; soundDevice.slotEvents && i < soundDevice.slotCount; ++i)
        if (soundDevice.slotEvents[i]) CloseHandle(soundDevice.slotEvents[i]);
    free(soundDevice.slotEvents);
    if (soundDevice.primaryBuffer) {
        soundDevice.primaryBuffer->Release();
        soundDevice.primaryBuffer = nullptr;
    }
    if (soundDevice.device) soundDevice.device->Release();
    memset(&soundDevice, 0, sizeof soundDevice);
    UnbindSystemLibraries();
}

IDirectSound* CreateSoundDevice(LPCGUID deviceId) {
    const ComEntryTable* com = ComEntries();
    if (!com) return nullptr;
    IDirectSound* device = nullptr;
    if (FAILED(com->CoCreateInstance(kClsidDirectSound, nullptr, kDeviceContext, kIidDirectSound,
                                     reinterpret_cast<void**>(&device))))
        return nullptr;
    if (FAILED(device->Initialize(deviceId))) {
        device->Release();
        return nullptr;
    }
    return device;
}

IDirectSoundBuffer* CreatePrimaryBuffer(IDirectSound* device, const WAVEFORMATEX* format, DWORD bufferLocation) {
    if (!device || !format) return nullptr;
    DSBUFFERDESC desc;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = PrimaryBufferFlags(bufferLocation);
    IDirectSoundBuffer* buffer = nullptr;
    if (FAILED(device->CreateSoundBuffer(&desc, &buffer, nullptr))) return nullptr;
    if (FAILED(buffer->SetFormat(format))) {
        buffer->Release();
        return nullptr;
    }
    return buffer;
}
