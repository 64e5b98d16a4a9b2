#include <future>
#include <thread>

#include "device/sound_buffers.h"
#include "device/startup_messages.h"
#include "interface/library_lock.h"
#include "device_fixture.h"

using StartupTest = DeviceFixture;

namespace {

// What a failed start-up must leave: nothing started, nothing bound, one box with the step's text.
void ExpectCleanFailure(const StartupTest&, uint32_t result, const std::vector<ShownMessage>& messages,
                        const char* expectedText) {
    EXPECT_EQ(result, 0u);
    SoundDevice zero{};
    EXPECT_EQ(memcmp(&soundDevice, &zero, sizeof zero), 0);
    EXPECT_EQ(posix_win32::ModuleLoadCount("ole32.dll"), 0);
    EXPECT_EQ(posix_win32::ModuleLoadCount("winmm.dll"), 0);
    EXPECT_EQ(posix_win32::ModuleLoadCount("msacm32.dll"), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].owner, reinterpret_cast<HWND>(DeviceFixture::kHostWindow));
    EXPECT_EQ(messages[0].text, expectedText);
    EXPECT_EQ(messages[0].caption, kStartupFailureCaption);
    EXPECT_EQ(messages[0].type, MB_OK);
}

} // namespace

TEST_F(StartupTest, SuccessfulStartFillsTheDeviceRecord) {
    ASSERT_EQ(ZRVA_Init(reinterpret_cast<ZRVA_WINDOW>(0x1234), 22050, 8, 1, 3, 0), 1u);
    EXPECT_EQ(soundDevice.slotCount, 3u);
    EXPECT_NE(soundDevice.slots, nullptr);
    EXPECT_NE(soundDevice.primaryBuffer, nullptr);
    EXPECT_EQ(soundDevice.window, reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(soundDevice.primaryFormat.nBlockAlign, 1);
    EXPECT_EQ(soundDevice.primaryFormat.nAvgBytesPerSec, 22050u);
    EXPECT_EQ(soundDevice.globalFocus, 0);
    EXPECT_EQ(deviceLog.cooperativeLevel, static_cast<DWORD>(DSSCL_PRIORITY));
    EXPECT_TRUE(messages.empty());
    auto* primary = static_cast<FakeSoundBuffer*>(soundDevice.primaryBuffer);
    EXPECT_EQ(primary->formatSet.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(primary->formatSet.nSamplesPerSec, 22050u);
}

TEST_F(StartupTest, PcmFormatOfTheHostsOutput) {
    WAVEFORMATEX format;
    MakePcmFormat(&format, 44100, 16, 2);
    EXPECT_EQ(format.nBlockAlign, 4);
    EXPECT_EQ(format.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(format.cbSize, 0);
}

TEST_F(StartupTest, BufferFlagsFollowLocationAndGlobalFocus) {
    const DWORD primary[] = {0x89, 0x85, 0x81};
    const DWORD secondary[] = {0x100E8, 0x100E4, 0x100E0};
    for (DWORD location = 0; location < 3; ++location) {
        for (BOOL focus : {0, 1}) {
            deviceLog = {};
            ASSERT_EQ(StartDefault(1, location), 1u);
            if (focus) ASSERT_EQ(ZRVA_SetGlobalFocus(1), 1u);
            WAVEFORMATEX format;
            MakePcmFormat(&format, 44100, 16, 2);
            IDirectSoundBuffer* buffer = CreateSecondaryBuffer(soundDevice.device, &format, 4000,
                                                               soundDevice.globalFocus, soundDevice.bufferLocation);
            ASSERT_NE(buffer, nullptr);
            buffer->Release();
            ASSERT_EQ(deviceLog.buffersCreated.size(), 2u);
            const DSBUFFERDESC& primaryDesc = deviceLog.buffersCreated[0];
            const DSBUFFERDESC& secondaryDesc = deviceLog.buffersCreated[1];
            EXPECT_EQ(primaryDesc.dwFlags, primary[location]);
            EXPECT_EQ(primaryDesc.dwSize, sizeof(DSBUFFERDESC));
            EXPECT_EQ(primaryDesc.dwBufferBytes, 0u);
            EXPECT_EQ(primaryDesc.lpwfxFormat, nullptr);
            EXPECT_EQ(secondaryDesc.dwFlags, secondary[location] | (focus ? 0x8000u : 0u));
            EXPECT_EQ(secondaryDesc.dwBufferBytes, 4000u);
            ZRVA_Release();
        }
    }
}

TEST_F(StartupTest, SecondaryBufferOfZeroBytesNeverReachesTheDevice) {
    ASSERT_EQ(StartDefault(1), 1u);
    WAVEFORMATEX format;
    MakePcmFormat(&format, 44100, 16, 2);
    EXPECT_EQ(CreateSecondaryBuffer(soundDevice.device, &format, 0, FALSE, 2), nullptr);
    EXPECT_EQ(CreateSecondaryBuffer(soundDevice.device, nullptr, 100, FALSE, 2), nullptr);
    EXPECT_EQ(CreateSecondaryBuffer(nullptr, &format, 100, FALSE, 2), nullptr);
    EXPECT_EQ(deviceLog.buffersCreated.size(), 1u); // the primary buffer only
}

TEST_F(StartupTest, BindingFailureIsReportedCleanly) {
    posix_win32::FailModuleLoad("msacm32.dll");
    ExpectCleanFailure(*this, StartDefault(), messages, kBindFailedMessage);
    EXPECT_EQ(deviceLog.devicesCreated, 0);
}

TEST_F(StartupTest, DeviceCreationFailureIsReportedCleanly) {
    posix_win32::SetCreateInstanceHook([](REFCLSID, LPUNKNOWN, DWORD, REFIID, void**) { return REGDB_E_CLASSNOTREG; });
    ExpectCleanFailure(*this, StartDefault(), messages, kDeviceFailedMessage);
}

TEST_F(StartupTest, DeviceInitializeFailureReleasesTheObject) {
    deviceResults.initialize = DSERR_NODRIVER;
    ExpectCleanFailure(*this, StartDefault(), messages, kDeviceFailedMessage);
    EXPECT_EQ(deviceLog.devicesCreated, 1);
    EXPECT_EQ(deviceLog.devicesReleased, 1);
}

TEST_F(StartupTest, CooperativeLevelSuccessCodeOtherThanZeroFails) {
    deviceResults.cooperativeLevel = S_FALSE;
    ExpectCleanFailure(*this, StartDefault(), messages, kCooperativeLevelMessage);
    EXPECT_EQ(deviceLog.devicesReleased, 1);
}

TEST_F(StartupTest, PrimaryBufferCreationFailureIsReportedCleanly) {
    deviceResults.createPrimary = DSERR_OUTOFMEMORY;
    ExpectCleanFailure(*this, StartDefault(), messages, kPrimaryBufferMessage);
    EXPECT_EQ(deviceLog.devicesReleased, 1);
}

TEST_F(StartupTest, PrimaryFormatRefusedIsReportedCleanly) {
    deviceResults.buffers.setFormat = DSERR_BADFORMAT;
    ExpectCleanFailure(*this, StartDefault(), messages, kPrimaryBufferMessage);
}

TEST_F(StartupTest, SlotTableThatCannotBeAllocatedIsReportedCleanly) {
    // No allocator can give four billion slots.
    ExpectCleanFailure(*this, StartDefault(0xFFFFFFFFu), messages, kSlotTableMessage);
    EXPECT_EQ(deviceLog.devicesReleased, 1);
}

TEST_F(StartupTest, InitTwiceClosesTheFirstDeviceAndStartsAnew) {
    ASSERT_EQ(StartDefault(2), 1u);
    ASSERT_EQ(ZRVA_SetGlobalFocus(1), 1u);
    GiveSlotABuffer(0);
    ASSERT_EQ(StartDefault(3), 1u);
    EXPECT_EQ(deviceLog.devicesCreated, 2);
    EXPECT_EQ(deviceLog.devicesReleased, 1);
    EXPECT_EQ(soundDevice.globalFocus, 0);
    EXPECT_EQ(soundDevice.slotCount, 3u);
    EXPECT_EQ(soundDevice.slots[0].kind, Empty);
    EXPECT_EQ(posix_win32::ModuleLoadCount("ole32.dll"), 1);
}

// A second start closes the slots under the lock it already has, so it waits for a call that holds it; setting the
// live lock up again would let both run at once.
TEST_F(StartupTest, SecondInitWaitsForACallThatHoldsTheLock) {
    ASSERT_EQ(StartDefault(2), 1u);
    std::promise<void> held, release;
    std::thread holder([&] {
        LibraryLockGuard lock;
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    auto restart = std::async(std::launch::async, [this] { return StartDefault(2); });
    EXPECT_EQ(restart.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    release.set_value();
    holder.join();
    EXPECT_EQ(restart.get(), 1u);
}

TEST_F(StartupTest, SlotCountZeroStartsADeviceWithNoSlots) {
    ASSERT_EQ(StartDefault(0), 1u);
    EXPECT_EQ(ZRVA_Play(0, 0, 0), 0u);
    EXPECT_EQ(ZRVA_GetVolume(0), 1);
    EXPECT_EQ(ZRVA_SetDirectSoundVol(-100), 1u);
    EXPECT_EQ(ZRVA_GetDirectSoundVol(), -100);
}

TEST_F(StartupTest, EachSlotGetsASignalledNamedEvent) {
    ASSERT_EQ(StartDefault(3), 1u);
    for (int i = 0; i < 3; ++i) {
        char name[32];
        SlotEventName(i, name);
        HANDLE event = OpenEventA(EVENT_ALL_ACCESS, FALSE, name);
        ASSERT_NE(event, nullptr) << name;
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "manual reset";
        CloseHandle(event);
    }
    EXPECT_EQ(OpenEventA(EVENT_ALL_ACCESS, FALSE, "ZORVA SoundEvent No3"), nullptr);
    ZRVA_Release();
    EXPECT_EQ(OpenEventA(EVENT_ALL_ACCESS, FALSE, "ZORVA SoundEvent No0"), nullptr);
}

TEST_F(StartupTest, GlobalFocusClosesEverySlotFirst) {
    ASSERT_EQ(StartDefault(3), 1u);
    GiveSlotABuffer(0);
    GiveSlotABuffer(2);
    EXPECT_EQ(ZRVA_SetGlobalFocus(7), 1u);
    EXPECT_EQ(soundDevice.slots[0].kind, Empty);
    EXPECT_EQ(soundDevice.slots[2].buffer, nullptr);
    EXPECT_EQ(soundDevice.globalFocus, 7);
}
