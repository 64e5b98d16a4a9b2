// Static slots through the exports on a recording device: the copy into the buffer, the failures that leave the
// slot all zero, the source precedence, and the exact time conversions.
#include <gtest/gtest.h>

#include <memory>

#include "interface/sound_device.h"
#include "recording_sound_device.h"
#include "seams/com_seams.h"
#include "seams/resource_seams.h"
#include "wave/wave_bytes.h"
#include "zorva_sound.h"

using namespace wave_bytes;

class StaticSlotTest : public ::testing::Test {
  protected:
    void SetUp() override {
        posix_win32::SetCreateInstanceHook([this](REFCLSID, LPUNKNOWN, DWORD, REFIID, void** object) {
            *object = static_cast<IDirectSound*>(&device);
            return S_OK;
        });
        ASSERT_EQ(ZRVA_Init(nullptr, 44100, 16, 2, 4, 0), 1u);
    }
    void TearDown() override {
        ZRVA_Release();
        posix_win32::SetCreateInstanceHook(nullptr);
        posix_win32::ClearRegisteredResourceTables();
    }

    // Opens `bytes` as a memory image into slot 0 and answers its buffer, or null when the open failed.
    RecordingBuffer* OpenImage(const Bytes& bytes) {
        image_ = bytes;
        return ZRVA_Open(0, nullptr, image_.data(), 0) == 1 ? device.LastBuffer() : nullptr;
    }
    void RegisterResource(const char* name, const Bytes& bytes) {
        resourceBytes_ = bytes;
        resources_[0] = {name, "WAVE", resourceBytes_.data(), resourceBytes_.size()};
        posix_win32::RegisterResourceTable(resources_);
    }
    static bool SlotIsAllZero(uint32_t slot) {
        static const SoundSlot zero{};
        return memcmp(&soundDevice.slots[slot], &zero, sizeof zero) == 0;
    }

    RecordingSoundDevice device;
    Bytes image_;
    Bytes resourceBytes_;
    posix_win32::ResourceEntry resources_[2] = {};
};

TEST_F(StaticSlotTest, OpenCopiesTheSamplesIntoABufferOfExactlyTheirSize) {
    const Bytes samples = Samples(1000);
    RecordingBuffer* buffer = OpenImage(CanonicalWave(samples));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->bytes, samples);
    EXPECT_EQ(buffer->locks, 1);
    EXPECT_EQ(buffer->unlocks, 1);
    EXPECT_EQ(soundDevice.slots[0].kind, Static);
    EXPECT_EQ(soundDevice.slots[0].waveHeader.dataOffset, 44u);
    EXPECT_EQ(buffer->playCursor, 0u);
    EXPECT_FALSE(buffer->playing);
}

TEST_F(StaticSlotTest, OpenFillsBothRegionsOfASplitLock) {
    device.nextBuffer.firstRegionBytes = 300;
    const Bytes samples = Samples(1000);
    RecordingBuffer* buffer = OpenImage(CanonicalWave(samples));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->bytes, samples);
}

TEST_F(StaticSlotTest, FailedLockAnswersZeroAndLeavesTheSlotAllZero) {
    device.nextBuffer.lock = DSERR_BUFFERLOST;
    EXPECT_EQ(OpenImage(CanonicalWave(Samples(16))), nullptr);
    EXPECT_TRUE(SlotIsAllZero(0));
    EXPECT_EQ(device.LastBuffer()->references, 0u) << "the buffer was not released";
}

TEST_F(StaticSlotTest, EmptyDataChunkAnswersZeroAndLeavesTheSlotAllZero) {
    const size_t buffersBefore = device.buffers.size();
    EXPECT_EQ(OpenImage(CanonicalWave({})), nullptr);
    EXPECT_TRUE(SlotIsAllZero(0));
    EXPECT_EQ(device.buffers.size(), buffersBefore);
    EXPECT_EQ(ZRVA_Open(0, nullptr, nullptr, 0), 0u);
    EXPECT_EQ(ZRVA_Open(0, "/nonexistent/zorva.wav", nullptr, 0), 0u);
    EXPECT_TRUE(SlotIsAllZero(0));
}

TEST_F(StaticSlotTest, ResourceIsReadBeforeAFileOfTheSameName) {
    TemporaryFile file(CanonicalWave(Samples(8)));
    RegisterResource(file.path(), CanonicalWave(Samples(12, 5)));
    ASSERT_EQ(ZRVA_Open(0, file.path(), nullptr, 0), 1u);
    EXPECT_EQ(device.LastBuffer()->bytes, Samples(12, 5));
}

TEST_F(StaticSlotTest, IntegerNameOfNoResourceIsNoPath) {
    EXPECT_EQ(ZRVA_Open(0, MAKEINTRESOURCEA(101), nullptr, 0), 0u);
    EXPECT_EQ(ZRVA_Open(0, MAKEINTRESOURCEA(101), nullptr, 100), 0u);
    EXPECT_TRUE(SlotIsAllZero(0));
}

TEST_F(StaticSlotTest, UnusableResourceIsNotTriedAsAFile) {
    TemporaryFile file(CanonicalWave(Samples(8)));
    RegisterResource(file.path(), Bytes(64, 'x'));
    EXPECT_EQ(ZRVA_Open(0, file.path(), nullptr, 0), 0u);
    EXPECT_TRUE(SlotIsAllZero(0));
}

TEST_F(StaticSlotTest, PlayAnswersOneOnlyForExactlyDsOk) {
    RecordingBuffer* buffer = OpenImage(CanonicalWave(Samples(400)));
    ASSERT_NE(buffer, nullptr);
    buffer->playCursor = 100;
    EXPECT_EQ(ZRVA_Play(0, 1, 0), 1u);
    EXPECT_EQ(buffer->playFlags, DSBPLAY_LOOPING);
    EXPECT_EQ(buffer->playCursor, 0u);
    buffer->settings.play = S_FALSE;
    EXPECT_EQ(ZRVA_Play(0, 0, 0), 0u);
    EXPECT_EQ(buffer->playFlags, 0u);
}

TEST_F(StaticSlotTest, PauseKeepsThePositionAndStopRewinds) {
    RecordingBuffer* buffer = OpenImage(CanonicalWave(Samples(176400)));
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    buffer->playCursor = 88200;
    EXPECT_EQ(ZRVA_Pause(0), 1u);
    EXPECT_FALSE(buffer->playing);
    EXPECT_EQ(ZRVA_GetTimePos(0), 500u);
    EXPECT_EQ(ZRVA_Stop(0), 1u);
    EXPECT_EQ(ZRVA_GetTimePos(0), 0u);
}

TEST_F(StaticSlotTest, TimeConversionsGiveTheWorkedValuesAt44100HzStereo) {
    RecordingBuffer* buffer = OpenImage(CanonicalWave(Samples(176400)));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(ZRVA_GetWaveTime(0), 1000u);
    for (auto [cursor, milliseconds] : {std::pair{88200u, 500u}, {176u, 0u}, {177u, 1u}, {1000u, 5u}}) {
        buffer->playCursor = cursor;
        EXPECT_EQ(ZRVA_GetTimePos(0), milliseconds) << "cursor " << cursor;
    }
    for (auto [milliseconds, offset] : {std::pair{1u, 176u}, {3u, 529u}, {500u, 88200u}, {2000u, 352800u}}) {
        EXPECT_EQ(ZRVA_SetTimePos(0, milliseconds), 1u);
        EXPECT_EQ(buffer->playCursor, offset) << milliseconds << " ms";
    }
    ASSERT_EQ(ZRVA_SetFrequency(0, 88200), 1u);
    EXPECT_EQ(ZRVA_GetWaveTime(0), 500u);
    ASSERT_EQ(ZRVA_SetFrequency(0, 22050), 1u);
    EXPECT_EQ(ZRVA_GetWaveTime(0), 2000u);
}

TEST_F(StaticSlotTest, TimeConversionsGiveTheWorkedValuesAt22050HzMono8Bit) {
    RecordingBuffer* buffer = OpenImage(CanonicalWave(Samples(22050), {1, 1, 22050, 8}));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(ZRVA_SetTimePos(0, 1), 1u);
    EXPECT_EQ(buffer->playCursor, 22u);
    buffer->playCursor = 22050;
    EXPECT_EQ(ZRVA_GetTimePos(0), 1000u);
    EXPECT_EQ(ZRVA_GetWaveTime(0), 1000u);
}

// Cursors, times and sizes pass through single precision, which holds every integer only below 2^24.
TEST_F(StaticSlotTest, TimeConversionsRoundThroughSinglePrecisionAtAndAbove2To24) {
    RecordingBuffer* buffer = OpenImage(CanonicalWave(Samples(176400)));
    ASSERT_NE(buffer, nullptr);
    buffer->playCursor = 16777227; // 95,108.9 ms exactly, 95,109.0 after rounding to 16,777,228
    EXPECT_EQ(ZRVA_GetTimePos(0), 95109u);
    soundDevice.slots[0].waveHeader.dataSize = 16777227;
    EXPECT_EQ(ZRVA_GetWaveTime(0), 95109u);
    EXPECT_EQ(ZRVA_SetTimePos(0, 16777217), 1u); // taken as 16,777,216 ms
    EXPECT_EQ(buffer->playCursor, 2959500902u);
}

TEST_F(StaticSlotTest, ZeroFrequencyAnswersZeroTimes) {
    RecordingBuffer* buffer = OpenImage(CanonicalWave(Samples(400)));
    ASSERT_NE(buffer, nullptr);
    buffer->frequency = 0;
    buffer->playCursor = 8;
    EXPECT_EQ(ZRVA_GetWaveTime(0), 0u);
    EXPECT_EQ(ZRVA_GetTimePos(0), 0u);
}

TEST_F(StaticSlotTest, CloseStopsReleasesAndEmptiesTheSlot) {
    RecordingBuffer* buffer = OpenImage(CanonicalWave(Samples(400)));
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(ZRVA_Play(0, 1, 0), 1u);
    ZRVA_Close(0);
    EXPECT_FALSE(buffer->playing);
    EXPECT_EQ(buffer->references, 0u);
    EXPECT_TRUE(SlotIsAllZero(0));
}

TEST_F(StaticSlotTest, ResourceEmbeddedInTheProgramOpensByNameInAnyCase) {
    Bytes tone(176444);
    FILE* file = fopen(ZORVA_TONE_WAV, "rb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(fread(tone.data(), 1, tone.size(), file), tone.size());
    fclose(file);

    ASSERT_EQ(ZRVA_Open(0, "SAMPLE_TONE", nullptr, 0), 1u);
    EXPECT_EQ(device.LastBuffer()->bytes, Bytes(tone.begin() + 44, tone.end()));
    EXPECT_EQ(ZRVA_GetWaveTime(0), 1000u);
    EXPECT_NE(FindResourceA(nullptr, "sample_tone", "WAVE"), nullptr);
}
