#include "device_fixture.h"

using EntryTest = DeviceFixture;

TEST_F(EntryTest, BeforeInitEverySlotOperationAnswersItsFailureValue) {
    EXPECT_EQ(ZRVA_Open(0, "x.wav", nullptr, 0), 0u);
    EXPECT_EQ(ZRVA_Play(0, 0, 0), 0u);
    EXPECT_EQ(ZRVA_Pause(0), 0u);
    EXPECT_EQ(ZRVA_Stop(0), 0u);
    EXPECT_EQ(ZRVA_GetPan(0), ZRVA_PAN_FAILURE);
    EXPECT_EQ(ZRVA_GetPan(0), static_cast<int32_t>(-2147483647 - 1));
    EXPECT_EQ(ZRVA_SetPan(0, 0), 0u);
    EXPECT_EQ(ZRVA_GetFrequency(0), 0u);
    EXPECT_EQ(ZRVA_SetFrequency(0, 22050), 0u);
    EXPECT_EQ(ZRVA_GetVolume(0), 1);
    EXPECT_EQ(ZRVA_SetVolume(0, 0), 0u);
    EXPECT_EQ(ZRVA_GetDirectSoundVol(), 1);
    EXPECT_EQ(ZRVA_SetDirectSoundVol(0), 0u);
    EXPECT_EQ(ZRVA_GetTimePos(0), 0u);
    EXPECT_EQ(ZRVA_SetTimePos(0, 10), 0u);
    EXPECT_EQ(ZRVA_GetWaveTime(0), 0u);
    EXPECT_EQ(ZRVA_SetGlobalFocus(1), 0u);
    EXPECT_EQ(soundDevice.globalFocus, 0);
    ZRVA_Close(0);
    ZRVA_CloseAll();
}

TEST_F(EntryTest, ReleaseWithoutInitOrTwiceIsHarmless) {
    ZRVA_Release();
    ZRVA_Release();
    ASSERT_EQ(StartDefault(), 1u);
    ZRVA_Release();
    ZRVA_Release();
    EXPECT_TRUE(DeviceRecordIsZero());
    EXPECT_TRUE(NoLibraryLoaded());
}

TEST_F(EntryTest, SlotNumberAtSlotCountFailsAndTheLastSlotPasses) {
    ASSERT_EQ(StartDefault(16), 1u);
    GiveSlotABuffer(15)->pan = 1234;
    EXPECT_EQ(ZRVA_GetPan(15), 1234);
    EXPECT_EQ(ZRVA_SetPan(15, -50), 1u);

    for (uint32_t slot : {16u, 17u, 0xFFFFFFFFu}) {
        EXPECT_EQ(ZRVA_Open(slot, nullptr, nullptr, 0), 0u);
        EXPECT_EQ(ZRVA_Play(slot, 1, 0), 0u);
        EXPECT_EQ(ZRVA_Pause(slot), 0u);
        EXPECT_EQ(ZRVA_Stop(slot), 0u);
        EXPECT_EQ(ZRVA_GetPan(slot), ZRVA_PAN_FAILURE);
        EXPECT_EQ(ZRVA_SetPan(slot, 0), 0u);
        EXPECT_EQ(ZRVA_GetFrequency(slot), 0u);
        EXPECT_EQ(ZRVA_SetFrequency(slot, 1000), 0u);
        EXPECT_EQ(ZRVA_GetVolume(slot), 1);
        EXPECT_EQ(ZRVA_SetVolume(slot, 0), 0u);
        EXPECT_EQ(ZRVA_GetTimePos(slot), 0u);
        EXPECT_EQ(ZRVA_SetTimePos(slot, 0), 0u);
        EXPECT_EQ(ZRVA_GetWaveTime(slot), 0u);
        ZRVA_Close(slot);
    }
}

TEST_F(EntryTest, EmptySlotAnswersFailureValuesAndCloseDoesNothing) {
    ASSERT_EQ(StartDefault(4), 1u);
    EXPECT_EQ(ZRVA_Play(1, 0, 0), 0u);
    EXPECT_EQ(ZRVA_Pause(1), 0u);
    EXPECT_EQ(ZRVA_Stop(1), 0u);
    EXPECT_EQ(ZRVA_GetPan(1), ZRVA_PAN_FAILURE);
    EXPECT_EQ(ZRVA_SetVolume(1, -100), 0u);
    EXPECT_EQ(ZRVA_GetVolume(1), 1);
    EXPECT_EQ(ZRVA_GetFrequency(1), 0u);
    EXPECT_EQ(ZRVA_GetTimePos(1), 0u);
    EXPECT_EQ(ZRVA_GetWaveTime(1), 0u);
    ZRVA_Close(1);
    EXPECT_EQ(soundDevice.slots[1].kind, Empty);
}

TEST_F(EntryTest, OpenOnAnOccupiedSlotAnswersZeroAndKeepsTheSound) {
    ASSERT_EQ(StartDefault(4), 1u);
    FakeSoundBuffer* buffer = GiveSlotABuffer(2);
    EXPECT_EQ(ZRVA_Open(2, nullptr, nullptr, 0), 0u);
    EXPECT_EQ(soundDevice.slots[2].kind, Static);
    EXPECT_EQ(soundDevice.slots[2].buffer, buffer);
}

TEST_F(EntryTest, StreamLengthBelowFiftyMillisecondsLeavesTheSlotEmpty) {
    static const char image[] = "RIFF....WAVEfmt ";
    ASSERT_EQ(StartDefault(4), 1u);
    EXPECT_EQ(ZRVA_Open(0, "missing.mp3", image, 30), 0u);
    EXPECT_EQ(soundDevice.slots[0].kind, Empty);
}

TEST(EntryTableTest, GetFunctionWritesExactlyTwentyOneEntriesInOrder) {
    void* table[ZRVA_FUNCTION_COUNT + 1];
    void* const sentinel = reinterpret_cast<void*>(0x5A5A5A5A);
    for (void*& entry : table)
        entry = sentinel;
    ZRVA_GetFunction(table);
    EXPECT_EQ(table[ZRVA_FUNCTION_COUNT], sentinel);
    EXPECT_EQ(table[0], reinterpret_cast<void*>(&ZRVA_GetVersion));
    EXPECT_EQ(table[1], reinterpret_cast<void*>(&ZRVA_Init));
    EXPECT_EQ(table[3], reinterpret_cast<void*>(&ZRVA_Open));
    EXPECT_EQ(table[9], reinterpret_cast<void*>(&ZRVA_GetPan));
    EXPECT_EQ(table[15], reinterpret_cast<void*>(&ZRVA_GetDirectSoundVol));
    EXPECT_EQ(table[20], reinterpret_cast<void*>(&ZRVA_SetGlobalFocus));
    ZRVA_FunctionTable named;
    ZRVA_GetFunction(reinterpret_cast<void**>(&named));
    EXPECT_EQ(named.SetTimePos, &ZRVA_SetTimePos);
    EXPECT_EQ(named.GetWaveTime, &ZRVA_GetWaveTime);
    EXPECT_EQ(named.GetVersion(), 1u);
}
