/* Start-up, master volume, global focus and release on the real DirectSound, with no window. */
#include "host_checks.h"
#include "scenarios.h"

static void CheckNothingStarted(const ZRVA_FunctionTable* api) {
    CHECK_EQ(api->GetDirectSoundVol(), 1);
    CHECK_EQ(api->SetDirectSoundVol(-100), 0);
    CHECK_EQ(api->SetGlobalFocus(1), 0);
    CHECK_EQ(api->Play(0, 0, 0), 0);
    CHECK_EQ(api->GetPan(0), ZRVA_PAN_FAILURE);
    CHECK_EQ(api->GetVolume(0), 1);
    CHECK_EQ(api->GetVersion(), 1);
}

void RunDeviceScenario(void* const exports[EXPORT_COUNT]) {
    ZRVA_FunctionTable api = FetchFunctionTable(exports);
    CheckNothingStarted(&api);

    CHECK_EQ(api.Init(NULL, 44100, 16, 2, 16, 2), 1);
    CHECK_EQ(api.SetDirectSoundVol(-1500), 1);
    CHECK_EQ(api.GetDirectSoundVol(), -1500);
    CHECK_EQ(api.SetDirectSoundVol(0), 1);
    CHECK_EQ(api.GetDirectSoundVol(), 0);

    CHECK_EQ(api.SetGlobalFocus(1), 1);
    CHECK_EQ(api.SetGlobalFocus(0), 1);

    /* A second start shuts the first down and begins again. */
    CHECK_EQ(api.Init(NULL, 22050, 8, 1, 4, 0), 1);
    CHECK_EQ(api.GetDirectSoundVol() <= 0, 1);

    api.Release();
    CheckNothingStarted(&api);
    api.Release(); /* a second release is harmless */
    CheckNothingStarted(&api);
}
