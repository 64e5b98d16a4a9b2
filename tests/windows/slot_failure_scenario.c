/* Every slot operation answers its failure value on slot numbers out of range and on empty slots. */
#include "host_checks.h"
#include "scenarios.h"

enum { kSlotCount = 16 };

static void CheckSlotFails(const ZRVA_FunctionTable* api, uint32_t slot) {
    CHECK_EQ(api->Open(slot, NULL, NULL, 0), 0);
    CHECK_EQ(api->Play(slot, 1, 0), 0);
    CHECK_EQ(api->Pause(slot), 0);
    CHECK_EQ(api->Stop(slot), 0);
    CHECK_EQ(api->GetPan(slot), ZRVA_PAN_FAILURE);
    CHECK_EQ(api->SetPan(slot, 0), 0);
    CHECK_EQ(api->GetFrequency(slot), 0);
    CHECK_EQ(api->SetFrequency(slot, 22050), 0);
    CHECK_EQ(api->GetVolume(slot), 1);
    CHECK_EQ(api->SetVolume(slot, 0), 0);
    CHECK_EQ(api->GetTimePos(slot), 0);
    CHECK_EQ(api->SetTimePos(slot, 10), 0);
    CHECK_EQ(api->GetWaveTime(slot), 0);
    api->Close(slot);
}

void RunSlotFailureScenario(void* const exports[EXPORT_COUNT]) {
    ZRVA_FunctionTable api = FetchFunctionTable(exports);
    CheckSlotFails(&api, 0); /* before start-up there is no slot at all */

    CHECK_EQ(api.Init(NULL, 44100, 16, 2, kSlotCount, 2), 1);
    CheckSlotFails(&api, kSlotCount);
    CheckSlotFails(&api, 0xFFFFFFFFu);
    CheckSlotFails(&api, 0x80000000u);
    CheckSlotFails(&api, kSlotCount - 1); /* in range, but empty */

    CHECK_EQ(api.Open(kSlotCount - 1, "no such sound.wav", NULL, 0), 0);
    CHECK_EQ(api.Open(kSlotCount - 1, "no such stream.mp3", NULL, 30), 0); /* below the shortest stream buffer */
    CHECK_EQ(api.Open(kSlotCount, "no such sound.wav", NULL, 0), 0);
    /* An integer resource name that names no "WAVE" resource is no path: reading one would fault. */
    CHECK_EQ(api.Open(kSlotCount - 1, (const char*)(uintptr_t)101, NULL, 0), 0);
    CHECK_EQ(api.Open(kSlotCount - 1, (const char*)(uintptr_t)101, NULL, 100), 0);
    CheckSlotFails(&api, kSlotCount - 1);

    api.CloseAll();
    api.Release();
    CheckSlotFails(&api, 0);
}
