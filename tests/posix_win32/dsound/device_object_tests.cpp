#include <stdio.h>
#include <stdlib.h>

#include <objbase.h>

#include "dsound/outputs/output_device.h"
#include "dsound_fixture.h"

class DeviceObjectTest : public ::testing::Test {
  protected:
    void SetUp() override { posix_win32::UseRenderOutput(); }
    void TearDown() override {
        if (device) EXPECT_EQ(device->Release(), 0u);
        posix_win32::UseRenderOutput();
        unsetenv("ZORVA_OUTPUT");
    }
    void Create() {
        ASSERT_EQ(posix_win32::CreateDirectSound(IID_IDirectSound, reinterpret_cast<void**>(&device)), S_OK);
    }
    IDirectSound* device = nullptr;
};

TEST_F(DeviceObjectTest, EveryMethodWaitsForInitialize) {
    Create();
    DSBUFFERDESC desc = {sizeof desc, DSBCAPS_PRIMARYBUFFER};
    IDirectSoundBuffer* buffer = nullptr;
    DSCAPS caps = {sizeof caps};
    DWORD config = 0;
    EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_UNINITIALIZED);
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DSERR_UNINITIALIZED);
    EXPECT_EQ(device->GetCaps(&caps), DSERR_UNINITIALIZED);
    EXPECT_EQ(device->Compact(), DSERR_UNINITIALIZED);
    EXPECT_EQ(device->GetSpeakerConfig(&config), DSERR_UNINITIALIZED);
    EXPECT_EQ(device->Initialize(nullptr), DS_OK);
    EXPECT_EQ(device->Initialize(nullptr), DSERR_ALREADYINITIALIZED);
    EXPECT_EQ(device->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.reserved[0], DWORD(DSBFREQUENCY_MIN));
    caps.dwSize = 0;
    EXPECT_EQ(device->GetCaps(&caps), DSERR_INVALIDPARAM);
    EXPECT_EQ(device->GetSpeakerConfig(&config), DS_OK);
    EXPECT_EQ(device->Compact(), DS_OK);
}

TEST_F(DeviceObjectTest, InitializeTakesTheDefaultDeviceOnly) {
    Create();
    EXPECT_EQ(device->Initialize(&IID_IDirectSound), DSERR_NODRIVER);
    EXPECT_EQ(device->Initialize(&GUID_NULL), DS_OK);
}

TEST_F(DeviceObjectTest, CooperativeLevelTakesAnyWindowAndTheFourLevels) {
    Create();
    ASSERT_EQ(device->Initialize(nullptr), DS_OK);
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, 5), DSERR_INVALIDPARAM);
    for (DWORD level = DSSCL_NORMAL; level <= DSSCL_WRITEPRIMARY; ++level)
        EXPECT_EQ(device->SetCooperativeLevel(reinterpret_cast<HWND>(0x1234), level), DS_OK);
}

TEST_F(DeviceObjectTest, PlayNeedsACooperativeLevel) {
    Create();
    ASSERT_EQ(device->Initialize(nullptr), DS_OK);
    WAVEFORMATEX format = PcmFormat(22050, 8, 1);
    DSBUFFERDESC desc = {sizeof desc, 0, 100, 0, &format};
    IDirectSoundBuffer* buffer = nullptr;
    ASSERT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
    EXPECT_EQ(buffer->Play(0, 0, 0), DSERR_PRIOLEVELNEEDED);
    // The buffer holds the device, so releasing the device first is safe.
    EXPECT_EQ(device->Release(), 1u);
    device = nullptr;
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST_F(DeviceObjectTest, CreateSoundBufferChecksItsPointersAndRefusesAggregation) {
    Create();
    ASSERT_EQ(device->Initialize(nullptr), DS_OK);
    DSBUFFERDESC desc = {sizeof desc, DSBCAPS_PRIMARYBUFFER};
    IDirectSoundBuffer* buffer = reinterpret_cast<IDirectSoundBuffer*>(1);
    EXPECT_EQ(device->CreateSoundBuffer(&desc, nullptr, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, device), DSERR_NOAGGREGATION);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(device->DuplicateSoundBuffer(nullptr, &buffer), DSERR_INVALIDPARAM);
}

TEST_F(DeviceObjectTest, QueryInterfaceAnswersOnlyItsOwnInterfaces) {
    Create();
    void* object = nullptr;
    EXPECT_EQ(device->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, device);
    EXPECT_EQ(device->Release(), 1u);
    EXPECT_EQ(device->QueryInterface(IID_IDirectSoundBuffer, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(posix_win32::CreateDirectSound(IID_IDirectSoundBuffer, &object), E_NOINTERFACE);
}

TEST_F(DeviceObjectTest, CoCreateInstanceMakesTheDevice) {
    ASSERT_GE(CoInitialize(nullptr), 0);
    EXPECT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, 7, IID_IDirectSound, reinterpret_cast<void**>(&device)),
              S_OK);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->Initialize(nullptr), DS_OK);
    CoUninitialize();
}

TEST_F(DeviceObjectTest, InitializeFailsWhenTheChosenOutputCannotOpen) {
    posix_win32::UseEnvironmentOutput();
    setenv("ZORVA_OUTPUT", "speakers", 1);
    Create();
    EXPECT_EQ(device->Initialize(nullptr), DSERR_NODRIVER);
    device->Release();
    setenv("ZORVA_OUTPUT", "wav:/nonexistent-directory/out.wav", 1);
    Create();
    EXPECT_EQ(device->Initialize(nullptr), DSERR_NODRIVER);
}

TEST_F(DeviceObjectTest, OutputChoiceIsReadFromItsVariable) {
    using Kind = posix_win32::OutputChoice::Kind;
    EXPECT_EQ(posix_win32::ParseOutputChoice(nullptr).kind, Kind::Sdl);
    EXPECT_EQ(posix_win32::ParseOutputChoice("sdl").kind, Kind::Sdl);
    EXPECT_EQ(posix_win32::ParseOutputChoice("null").kind, Kind::Null);
    EXPECT_EQ(posix_win32::ParseOutputChoice("wav:").kind, Kind::Invalid);
    EXPECT_EQ(posix_win32::ParseOutputChoice("").kind, Kind::Invalid);
    posix_win32::OutputChoice wav = posix_win32::ParseOutputChoice("wav:/tmp/a b.wav");
    EXPECT_EQ(wav.kind, Kind::WavFile);
    EXPECT_EQ(wav.path, "/tmp/a b.wav");
}

TEST_F(DeviceObjectTest, WavFileHeaderIsFinalisedWhenTheDeviceGoes) {
    std::string path = ::testing::TempDir() + "dsound_wav_output.wav";
    posix_win32::UseEnvironmentOutput();
    setenv("ZORVA_OUTPUT", ("wav:" + path).c_str(), 1);
    Create();
    ASSERT_EQ(device->Initialize(nullptr), DS_OK);
    ASSERT_EQ(device->Release(), 0u);
    device = nullptr;

    FILE* file = fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    uint8_t header[44];
    ASSERT_EQ(fread(header, 1, 44, file), 44u);
    fseek(file, 0, SEEK_END);
    long length = ftell(file);
    fclose(file);
    remove(path.c_str());
    auto read32 = [&](int at) {
        return uint32_t(header[at] | header[at + 1] << 8 | header[at + 2] << 16 | header[at + 3] << 24);
    };
    EXPECT_EQ(memcmp(header, "RIFF", 4), 0);
    EXPECT_EQ(memcmp(header + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(read32(24), 22050u);
    EXPECT_EQ(read32(40), uint32_t(length - 44));
    EXPECT_EQ(read32(4), uint32_t(length - 8));
    // Whole mixing blocks of the default 22050 Hz 8-bit stereo mix.
    EXPECT_EQ(read32(40) % (220 * 2), 0u);
}
