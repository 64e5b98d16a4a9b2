/* Windows may start a periodic timer's callback after timeKillEvent has returned unless the timer was made to be
 * killed synchronously; a refill started so would run on a freed slot table. A refill that enters after the
 * release is caught by its slot event: the host holds the events across the release and resets them, so such a
 * refill waits on one and keeps it alive by name after the host has let go. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "../scenario/host_platform.h"
#include "stream_hold.h"

#define STREAMS 2

static void EventName(char* name, size_t size, int slot) { snprintf(name, size, "ZORVA SoundEvent No%d", slot); }

/* A stream that runs out kills its own timer from inside its refill; a synchronous kill there must not wait on
 * itself, or the close after it would wait out its 5 s. */
static int EndOfStreamKillsItsOwnTimer(const ZRVA_FunctionTable* api, const char* good) {
    double start, took;
    if (api->Init(NULL, 44100, 16, 2, STREAMS, 2) != 1 || api->Open(0, good, NULL, 50) != 1) return 0;
    api->Play(0, 0, 0);
    SleepMilliseconds(1500);
    start = NowMilliseconds();
    api->Close(0);
    took = NowMilliseconds() - start;
    api->Release();
    printf("close after the stream ran out took %.1f ms\n", took);
    return took < 100.0;
}

int RunReleaseStress(const ZRVA_FunctionTable* api, const char* good, int rounds) {
    int lateRefills = 0, slowReleases = 0, failedStarts = 0;
    double slowest = 0;
    if (!EndOfStreamKillsItsOwnTimer(api, good)) {
        printf("  FAILED: a stream that ran out held its close\n");
        return 0;
    }
    srand(20261207);
    for (int round = 0; round < rounds; ++round) {
        HANDLE held[STREAMS];
        char name[64];
        double start, took;
        if (api->Init(NULL, 44100, 16, 2, STREAMS, 2) != 1 || api->Open(0, good, NULL, 50) != 1 ||
            api->Open(1, good, NULL, 50) != 1) {
            ++failedStarts;
            api->Release();
            continue;
        }
        api->Play(0, 1, 0);
        api->Play(1, 0, 0);
        SleepMilliseconds((double)(rand() % 26));
        for (int slot = 0; slot < STREAMS; ++slot) {
            EventName(name, sizeof name, slot);
            held[slot] = OpenEventA(EVENT_ALL_ACCESS, FALSE, name);
        }
        start = NowMilliseconds();
        api->Release();
        took = NowMilliseconds() - start;
        if (took > slowest) slowest = took;
        if (took > 1000.0) ++slowReleases;
        for (int slot = 0; slot < STREAMS; ++slot)
            if (held[slot]) ResetEvent(held[slot]);
        SleepMilliseconds(12); /* longer than a timer period */
        for (int slot = 0; slot < STREAMS; ++slot) {
            HANDLE late;
            if (held[slot]) CloseHandle(held[slot]);
            EventName(name, sizeof name, slot);
            late = OpenEventA(EVENT_ALL_ACCESS, FALSE, name);
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
    return lateRefills == 0 && slowReleases == 0 && failedStarts == 0;
}
