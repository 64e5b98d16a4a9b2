#include "dsound_fixture.h"
#include "dsound/mixer/resampler.h"

class BufferObjectTest : public DirectSoundFixture {
  protected:
    HRESULT TryCreate(DWORD size, DWORD flags, DWORD bytes, WAVEFORMATEX* format, IDirectSoundBuffer** out) {
        DSBUFFERDESC desc = {};
        desc.dwSize = size;
        desc.dwFlags = flags;
        desc.dwBufferBytes = bytes;
        desc.lpwfxFormat = format;
        *out = nullptr;
        HRESULT result = device->CreateSoundBuffer(&desc, out, nullptr);
        if (*out) buffers.push_back(*out);
        return result;
    }
    HRESULT TryCreateSecondary(WAVEFORMATEX format, DWORD bytes = 4000, DWORD flags = kAllControls) {
        IDirectSoundBuffer* buffer;
        return TryCreate(sizeof(DSBUFFERDESC), flags, bytes, &format, &buffer);
    }
};

TEST_F(BufferObjectTest, DescriptionSizeMustBeThePlatformsOwn) {
    WAVEFORMATEX format = PcmFormat(44100, 16, 2);
    IDirectSoundBuffer* buffer;
    for (DWORD size : {0u, DWORD(sizeof(DSBUFFERDESC) - 4), DWORD(sizeof(DSBUFFERDESC) + 4)}) {
        EXPECT_EQ(TryCreate(size, 0, 4000, &format, &buffer), DSERR_INVALIDPARAM) << size;
        EXPECT_EQ(buffer, nullptr);
    }
    EXPECT_EQ(TryCreate(sizeof(DSBUFFERDESC), 0, 4000, &format, &buffer), DS_OK);
    EXPECT_EQ(device->CreateSoundBuffer(nullptr, &buffer, nullptr), DSERR_INVALIDPARAM);
}

TEST_F(BufferObjectTest, FlagsThatContradictEachOtherAreRefused) {
    WAVEFORMATEX format = PcmFormat(44100, 16, 2);
    EXPECT_EQ(TryCreateSecondary(format, 4000, DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE), DSERR_INVALIDPARAM);
    EXPECT_EQ(TryCreateSecondary(format, 4000, DSBCAPS_LOCDEFER | DSBCAPS_LOCSOFTWARE), DSERR_INVALIDPARAM);
    EXPECT_EQ(TryCreateSecondary(format, 4000, 0x80000000u), DSERR_INVALIDPARAM);
    EXPECT_EQ(TryCreateSecondary(format, 4000, DSBCAPS_CTRLFX), DSERR_INVALIDPARAM);
    EXPECT_EQ(TryCreateSecondary(format, 4000, DSBCAPS_CTRL3D), DSERR_INVALIDPARAM);
    EXPECT_EQ(TryCreateSecondary(PcmFormat(44100, 16, 1), 4000, DSBCAPS_CTRL3D), DS_OK);
    // Hardware buffers are asked for by the core's default; they are mixed in software all the same.
    EXPECT_EQ(TryCreateSecondary(format, 4000, 0x100E4), DS_OK);
    DSBCAPS caps = {sizeof caps};
    ASSERT_EQ(buffers.back()->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwFlags, 0x100E4u);
}

TEST_F(BufferObjectTest, PrimaryDescriptionHasNoSizeNorFormatAndIsOnePerDevice) {
    WAVEFORMATEX format = PcmFormat(44100, 16, 2);
    IDirectSoundBuffer* buffer;
    EXPECT_EQ(TryCreate(sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 4000, nullptr, &buffer), DSERR_INVALIDPARAM);
    EXPECT_EQ(TryCreate(sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, &format, &buffer), DSERR_INVALIDPARAM);
    EXPECT_EQ(TryCreate(sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLFREQUENCY, 0, nullptr, &buffer),
              DSERR_INVALIDPARAM);
    ASSERT_EQ(TryCreate(sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME, 0, nullptr, &buffer), DS_OK);
    EXPECT_EQ(buffer, primary);
    EXPECT_EQ(buffer->AddRef(), 3u);
    EXPECT_EQ(buffer->Release(), 2u);
}

TEST_F(BufferObjectTest, FormatsOutsideWhatTheMixerPlaysAreRefused) {
    WAVEFORMATEX format = PcmFormat(44100, 16, 2);
    format.wFormatTag = WAVE_FORMAT_ADPCM;
    EXPECT_EQ(TryCreateSecondary(format), DSERR_BADFORMAT);
    EXPECT_EQ(TryCreateSecondary(PcmFormat(44100, 24, 2), 6000), DSERR_BADFORMAT);
    EXPECT_EQ(TryCreateSecondary(PcmFormat(44100, 16, 3), 6000), DSERR_BADFORMAT);
    EXPECT_EQ(TryCreateSecondary(PcmFormat(99, 16, 2)), DSERR_INVALIDPARAM);
    EXPECT_EQ(TryCreateSecondary(PcmFormat(200001, 16, 2)), DSERR_INVALIDPARAM);
    EXPECT_EQ(TryCreateSecondary(PcmFormat(100, 8, 1)), DS_OK);
    EXPECT_EQ(TryCreateSecondary(PcmFormat(200000, 16, 2)), DS_OK);
    format = PcmFormat(44100, 16, 2);
    format.nBlockAlign = 2;
    EXPECT_EQ(TryCreateSecondary(format), DSERR_INVALIDPARAM);
    format = PcmFormat(44100, 16, 2);
    format.nAvgBytesPerSec = 44100;
    EXPECT_EQ(TryCreateSecondary(format), DSERR_INVALIDPARAM);
    IDirectSoundBuffer* buffer;
    EXPECT_EQ(TryCreate(sizeof(DSBUFFERDESC), 0, 4000, nullptr, &buffer), DSERR_INVALIDPARAM);
}

TEST_F(BufferObjectTest, SizeIsBoundedAndRoundedUpToAWholeFrame) {
    WAVEFORMATEX format = PcmFormat(44100, 16, 2);
    EXPECT_EQ(TryCreateSecondary(format, DSBSIZE_MIN - 1), DSERR_INVALIDPARAM);
    EXPECT_EQ(TryCreateSecondary(format, DSBSIZE_MAX + 1), DSERR_INVALIDPARAM);
    ASSERT_EQ(TryCreateSecondary(format, 4411), DS_OK);
    DSBCAPS caps = {};
    EXPECT_EQ(buffers.back()->GetCaps(&caps), DSERR_INVALIDPARAM);
    caps.dwSize = sizeof caps;
    ASSERT_EQ(buffers.back()->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, 4412u);
}

TEST_F(BufferObjectTest, ControlsCheckTheirRangeAndTheirFlag) {
    IDirectSoundBuffer* buffer = CreateBuffer(PcmFormat(22050, 16, 1), 4000);
    EXPECT_EQ(buffer->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetVolume(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetPan(10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetPan(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetFrequency(99), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetFrequency(200001), DSERR_INVALIDPARAM);
    ASSERT_EQ(buffer->SetVolume(-1234), DS_OK);
    ASSERT_EQ(buffer->SetPan(4321), DS_OK);
    ASSERT_EQ(buffer->SetFrequency(100), DS_OK);
    LONG volume = 0, pan = 0;
    DWORD frequency = 0;
    EXPECT_EQ(buffer->GetVolume(&volume), DS_OK);
    EXPECT_EQ(buffer->GetPan(&pan), DS_OK);
    EXPECT_EQ(buffer->GetFrequency(&frequency), DS_OK);
    EXPECT_EQ(volume, -1234);
    EXPECT_EQ(pan, 4321);
    EXPECT_EQ(frequency, 100u);
    // 0 means the format's own rate.
    ASSERT_EQ(buffer->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
    buffer->GetFrequency(&frequency);
    EXPECT_EQ(frequency, 22050u);
    EXPECT_EQ(buffer->GetVolume(nullptr), DSERR_INVALIDPARAM);

    IDirectSoundBuffer* bare = CreateBuffer(PcmFormat(22050, 16, 1), 4000, 0);
    EXPECT_EQ(bare->SetVolume(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(bare->SetPan(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(bare->SetFrequency(22050), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(bare->GetVolume(&volume), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(bare->GetPan(&pan), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(bare->GetFrequency(&frequency), DSERR_CONTROLUNAVAIL);
}

TEST_F(BufferObjectTest, LockChecksItsRangeAndFollowsItsFlags) {
    IDirectSoundBuffer* buffer = CreateBuffer(PcmFormat(44100, 16, 1), 2000);
    void* region1 = nullptr;
    void* region2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    EXPECT_EQ(buffer->Lock(0, 2001, &region1, &bytes1, &region2, &bytes2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(2000, 2, &region1, &bytes1, &region2, &bytes2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 2, nullptr, &bytes1, &region2, &bytes2, 0), DSERR_INVALIDPARAM);

    ASSERT_EQ(buffer->Lock(600, 0, &region1, &bytes1, &region2, &bytes2, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(bytes1, 1400u);
    EXPECT_EQ(bytes2, 600u);
    EXPECT_EQ(static_cast<uint8_t*>(region1) - static_cast<uint8_t*>(region2), 600);
    EXPECT_EQ(buffer->Unlock(region1, bytes1, region2, bytes2), DS_OK);

    // Stopped, the write cursor is the play cursor; playing, it leads by what the mixer reads next.
    ASSERT_EQ(buffer->SetCurrentPosition(100), DS_OK);
    ASSERT_EQ(buffer->Lock(0, 10, &region1, &bytes1, nullptr, nullptr, DSBLOCK_FROMWRITECURSOR), DS_OK);
    EXPECT_EQ(static_cast<uint8_t*>(region1) - static_cast<uint8_t*>(region2), 100);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    DWORD play = 0, write = 0;
    ASSERT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 100u);
    const size_t lead = (441 + posix_win32::kResamplerFramesAfter) * 2; // a block and what the kernel reads past it
    EXPECT_EQ(write, 100u + lead);
    ASSERT_EQ(buffer->Lock(0, 10, &region1, &bytes1, nullptr, nullptr, DSBLOCK_FROMWRITECURSOR), DS_OK);
    EXPECT_EQ(static_cast<size_t>(static_cast<uint8_t*>(region1) - static_cast<uint8_t*>(region2)), 100 + lead);

    int16_t elsewhere[4];
    EXPECT_EQ(buffer->Unlock(elsewhere, 8, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Unlock(region2, 2001, nullptr, 0), DSERR_INVALIDPARAM);
}

TEST_F(BufferObjectTest, SetCurrentPositionAlignsDownAndStaysInside) {
    IDirectSoundBuffer* buffer = CreateBuffer(PcmFormat(44100, 16, 2), 4000);
    EXPECT_EQ(buffer->SetCurrentPosition(4000), DSERR_INVALIDPARAM);
    ASSERT_EQ(buffer->SetCurrentPosition(3999), DS_OK);
    DWORD play = 0;
    ASSERT_EQ(buffer->GetCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 3996u);
    EXPECT_EQ(buffer->GetCurrentPosition(nullptr, nullptr), DS_OK);
}

TEST_F(BufferObjectTest, PlayChecksItsArgumentsAndStatusFollowsIt) {
    IDirectSoundBuffer* buffer = CreateBuffer(PcmFormat(44100, 16, 2), 4000);
    EXPECT_EQ(buffer->Play(1, 0, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Play(0, 1, 0), DSERR_INVALIDPARAM);
    DWORD status = 99;
    EXPECT_EQ(buffer->GetStatus(nullptr), DSERR_INVALIDPARAM);
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(buffer->Restore(), DS_OK);
    EXPECT_EQ(buffer->SetFormat(&mixFormat), DSERR_INVALIDCALL);
    EXPECT_EQ(buffer->Initialize(device, nullptr), DSERR_ALREADYINITIALIZED);
}

TEST_F(BufferObjectTest, FormatIsReadBackWithItsSize) {
    IDirectSoundBuffer* buffer = CreateBuffer(PcmFormat(22050, 8, 1), 4000);
    WAVEFORMATEX format = {};
    DWORD written = 0;
    EXPECT_EQ(buffer->GetFormat(nullptr, 0, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->GetFormat(&format, sizeof format - 1, &written), DSERR_INVALIDPARAM);
    ASSERT_EQ(buffer->GetFormat(nullptr, 0, &written), DS_OK);
    EXPECT_EQ(written, sizeof(WAVEFORMATEX));
    ASSERT_EQ(buffer->GetFormat(&format, sizeof format, &written), DS_OK);
    EXPECT_EQ(format.nSamplesPerSec, 22050u);
    EXPECT_EQ(format.wBitsPerSample, 8);
    ASSERT_EQ(primary->GetFormat(&format, sizeof format, nullptr), DS_OK);
    EXPECT_EQ(format.nSamplesPerSec, 44100u);
    EXPECT_EQ(format.nAvgBytesPerSec, 176400u);
}

TEST_F(BufferObjectTest, PrimaryBufferTakesTheMixFormatAndAVolume) {
    WAVEFORMATEX format = PcmFormat(44100, 24, 2);
    EXPECT_EQ(primary->SetFormat(&format), DSERR_BADFORMAT);
    EXPECT_EQ(primary->SetFormat(nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(primary->SetVolume(1), DSERR_INVALIDPARAM);
    ASSERT_EQ(primary->SetVolume(-500), DS_OK);
    LONG volume = 0;
    ASSERT_EQ(primary->GetVolume(&volume), DS_OK);
    EXPECT_EQ(volume, -500);
    EXPECT_EQ(primary->SetPan(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(primary->SetFrequency(22050), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(primary->Play(0, 0, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(primary->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    void* region = nullptr;
    DWORD bytes = 0;
    EXPECT_EQ(primary->Lock(0, 4, &region, &bytes, nullptr, nullptr, 0), DSERR_PRIOLEVELNEEDED);
    // Below the priority level the mix format cannot change.
    ASSERT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DS_OK);
    format = PcmFormat(22050, 16, 2);
    EXPECT_EQ(primary->SetFormat(&format), DSERR_PRIOLEVELNEEDED);
}
