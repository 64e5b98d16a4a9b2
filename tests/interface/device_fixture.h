// Starts the library on a fake DirectSound device and records every message box it shows.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_direct_sound.h"
#include "interface/sound_device.h"
#include "seams/com_seams.h"
#include "seams/message_box_seams.h"
#include "seams/module_seams.h"
#include "zorva_sound.h"

struct ShownMessage {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

class DeviceFixture : public ::testing::Test {
  public:
    // The host's window, which owns any start-up message box even though the failed start has cleared it.
    static inline const ZRVA_WINDOW kHostWindow = reinterpret_cast<ZRVA_WINDOW>(0x1234);

  protected:
    FakeDeviceResults deviceResults;
    FakeDeviceLog deviceLog;
    std::vector<ShownMessage> messages;
    FakeDirectSound* lastDevice = nullptr;

    void SetUp() override {
        posix_win32::SetCreateInstanceHook([this](REFCLSID, LPUNKNOWN, DWORD, REFIID, void** object) {
            lastDevice = new FakeDirectSound(deviceResults, deviceLog);
            *object = static_cast<IDirectSound*>(lastDevice);
            return S_OK;
        });
        posix_win32::SetMessageBoxHook([this](HWND owner, const char* text, const char* caption, UINT type) {
            messages.push_back({owner, text, caption, type});
            return IDOK;
        });
    }

    void TearDown() override {
        ZRVA_Release();
        posix_win32::SetCreateInstanceHook(nullptr);
        posix_win32::SetMessageBoxHook(nullptr);
        posix_win32::ResetModuleSeams();
    }

    uint32_t StartDefault(uint32_t slotCount = 16, uint32_t bufferLocation = 2) {
        return ZRVA_Init(kHostWindow, 44100, 16, 2, slotCount, bufferLocation);
    }

    static bool DeviceRecordIsZero() {
        static const SoundDevice zero{};
        return memcmp(&soundDevice, &zero, sizeof zero) == 0;
    }

    static bool NoLibraryLoaded() {
        return posix_win32::ModuleLoadCount("ole32.dll") == 0 && posix_win32::ModuleLoadCount("winmm.dll") == 0 &&
               posix_win32::ModuleLoadCount("msacm32.dll") == 0;
    }

    // Puts a fake buffer into a slot, as an open would, so the property exports have something to act on.
    FakeSoundBuffer* GiveSlotABuffer(uint32_t slotNumber, const FakeBufferResults& results = {}) {
        DSBUFFERDESC desc{};
        auto* buffer = new FakeSoundBuffer(desc, results);
        soundDevice.slots[slotNumber].buffer = buffer;
        soundDevice.slots[slotNumber].kind = Static;
        return buffer;
    }
};
