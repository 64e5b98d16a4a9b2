/* Hurried releases: start, two playing 50 ms streams, a random 0-25 ms, release, round after round. Windows may start
 * a periodic timer's callback after timeKillEvent has returned unless the timer was made to be killed
 * synchronously, and a refill started so would run on a freed slot table. Such a refill is caught by its slot
 * event: the host holds the events across the release and resets them, so a refill that enters afterwards waits on
 * one and keeps it alive by name after the host has let go.
 * Usage: release_stress SOUND ROUNDS; answers 0 when no refill ran after a release and no call hung. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "scenario/host_platform.h"

enum { kStreams = 2 };

static HANDLE OpenSlotEvent(int slot) {
    char name[64];
    snprintf(name, sizeof name, "ZORVA SoundEvent No%d", slot);
    return OpenEventA(EVENT_ALL_ACCESS, FALSE, name);
}

int main(int argc, char** argv) {
    ZRVA_FunctionTable api;
    if (argc != 3 || !LoadSoundApi(&api)) {
        printf("usage: release_stress SOUND ROUNDS\n");
        return 2;
    }
    const char* sound = argv[1];
    const int rounds = atoi(argv[2]);
    int lateRefills = 0, slowReleases = 0, failedStarts = 0;
    double slowest = 0;
    srand(20261207);
    for (int round = 0; round < rounds; ++round) {
        HANDLE held[kStreams];
        if (api.Init(NULL, 44100, 16, 2, kStreams, 2) != 1 || api.Open(0, sound, NULL, 50) != 1 ||
            api.Open(1, sound, NULL, 50) != 1) {
            ++failedStarts;
            api.Release();
            continue;
        }
        api.Play(0, 1, 0);
        api.Play(1, 0, 0);
        SleepMilliseconds((double)(rand() % 26));
        for (int slot = 0; slot < kStreams; ++slot)
            held[slot] = OpenSlotEvent(slot);
        double start = NowMilliseconds();
        api.Release();
        double took = NowMilliseconds() - start;
        slowest = took > slowest ? took : slowest;
        slowReleases += took > 1000.0;
        for (int slot = 0; slot < kStreams; ++slot)
            if (held[slot]) ResetEvent(held[slot]);
        SleepMilliseconds(12); /* longer than a timer period */
        for (int slot = 0; slot < kStreams; ++slot) {
            if (held[slot]) CloseHandle(held[slot]);
            HANDLE late = OpenSlotEvent(slot);
            if (!late) continue;
            /* Only a refill that began after the release can still hold the event. */
            ++lateRefills;
            SetEvent(late);
            CloseHandle(late);
            SleepMilliseconds(50);
        }
    }
    printf("%d rounds: %d refills after a release, %d releases over 1 s (slowest %.1f ms), %d failed starts\n", rounds,
           lateRefills, slowReleases, slowest, failedStarts);
    return lateRefills == 0 && slowReleases == 0 && failedStarts == 0 ? 0 : 1;
}
