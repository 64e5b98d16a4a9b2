#include "device_fixture.h"

using PropertyTest = DeviceFixture;

TEST_F(PropertyTest, SettersAnswerOneWhenTheDeviceRefusesTheValue) {
    ASSERT_EQ(StartDefault(2), 1u);
    FakeBufferResults refusing;
    refusing.setVolume = DSERR_INVALIDPARAM;
    GiveSlotABuffer(0, refusing);
    EXPECT_EQ(ZRVA_SetVolume(0, 5000), 1u);
    EXPECT_EQ(ZRVA_GetVolume(0), 0);
}

TEST_F(PropertyTest, ValuesPassToTheBufferUnchanged) {
    ASSERT_EQ(StartDefault(2), 1u);
    FakeSoundBuffer* buffer = GiveSlotABuffer(1);
    EXPECT_EQ(ZRVA_SetPan(1, -20000), 1u);
    EXPECT_EQ(buffer->pan, -20000);
    EXPECT_EQ(ZRVA_GetPan(1), -20000);
    EXPECT_EQ(ZRVA_SetFrequency(1, 300000), 1u);
    EXPECT_EQ(ZRVA_GetFrequency(1), 300000u);
    EXPECT_EQ(ZRVA_SetVolume(1, -600), 1u);
    EXPECT_EQ(ZRVA_GetVolume(1), -600);
}

TEST_F(PropertyTest, GetterAnswersItsFailureValueWhenTheDeviceWritesNothing) {
    ASSERT_EQ(StartDefault(2), 1u);
    FakeBufferResults failing;
    failing.getVolume = DSERR_CONTROLUNAVAIL;
    GiveSlotABuffer(0, failing);
    EXPECT_EQ(ZRVA_GetVolume(0), 1);
}

TEST_F(PropertyTest, MasterVolumeRoundTripsAndAnswersOneWhenRefused) {
    deviceResults.buffers.setVolume = DSERR_INVALIDPARAM;
    ASSERT_EQ(StartDefault(0), 1u);
    EXPECT_EQ(ZRVA_SetDirectSoundVol(-700), 1u);
    EXPECT_EQ(ZRVA_GetDirectSoundVol(), 0);
    ZRVA_Release();

    deviceResults.buffers.setVolume = DS_OK;
    ASSERT_EQ(StartDefault(0), 1u);
    EXPECT_EQ(ZRVA_SetDirectSoundVol(-700), 1u);
    EXPECT_EQ(ZRVA_GetDirectSoundVol(), -700);
}

TEST_F(PropertyTest, TimeOperationsOnAStreamSlotAnswerZeroAndLeaveItAlone) {
    ASSERT_EQ(StartDefault(2), 1u);
    GiveSlotABuffer(0);
    soundDevice.slots[0].kind = Stream;
    const SoundSlot before = soundDevice.slots[0];
    EXPECT_EQ(ZRVA_GetTimePos(0), 0u);
    EXPECT_EQ(ZRVA_SetTimePos(0, 100), 0u);
    EXPECT_EQ(ZRVA_GetWaveTime(0), 0u);
    EXPECT_EQ(memcmp(&before, &soundDevice.slots[0], sizeof before), 0);
    soundDevice.slots[0].kind = Static; // so the release closes it as what it really is
}
