/* Hosts that hurry: a stream into a file whose tail holds no frame sync must not hold Stop, Close or Release, with
 * a second stream playing beside it; on Windows, the release must also leave no refill behind (release_stress).
 * Usage: stream_hold_host damaged GOOD.mp3 | release_stress GOOD.mp3 ROUNDS (Windows only); answers 0 when every
 * check passed. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../scenario/host_platform.h"
#include "stream_hold.h"

#define DAMAGED_FILE "damaged-tail.mp3"
#define DAMAGED_BYTES (40L << 20)
#define LONGEST_CALL_MS 100.0

int holdChecksFailed;

/* The good file without its closing ID3v1 tag, then bytes that never hold 0xFF, so no decoder finds a frame. */
static int WriteDamagedCopy(const char* good) {
    FILE* in = fopen(good, "rb");
    FILE* out = fopen(DAMAGED_FILE, "wb");
    static unsigned char chunk[1 << 16];
    long length = 0;
    if (!in || !out) return 0;
    fseek(in, 0, SEEK_END);
    length = ftell(in) - 128;
    fseek(in, 0, SEEK_SET);
    while (length > 0) {
        size_t want = length < (long)sizeof chunk ? (size_t)length : sizeof chunk;
        size_t got = fread(chunk, 1, want, in);
        if (got == 0) break;
        fwrite(chunk, 1, got, out);
        length -= (long)got;
    }
    for (long written = 0; written < DAMAGED_BYTES; written += (long)sizeof chunk) {
        for (size_t i = 0; i < sizeof chunk; ++i)
            chunk[i] = (unsigned char)((size_t)(written + (long)i) * 131u % 255u);
        fwrite(chunk, 1, sizeof chunk, out);
    }
    fclose(in);
    return fclose(out) == 0;
}

static void CheckQuick(const char* what, double startMs) {
    double took = NowMilliseconds() - startMs;
    printf("%s took %.1f ms\n", what, took);
    if (took >= LONGEST_CALL_MS) {
        printf("  FAILED: %s held the host for %.1f ms\n", what, took);
        ++holdChecksFailed;
    }
}

static void Expect(int condition, const char* what) {
    if (condition) return;
    printf("  FAILED: %s\n", what);
    ++holdChecksFailed;
}

/* Both streams play, looping, until the damaged one has just met its tail (its good part lasts one second). */
static void PlayBoth(const ZRVA_FunctionTable* api, const char* good) {
    Expect(api->Open(0, DAMAGED_FILE, NULL, 50) == 1, "open of the damaged stream");
    Expect(api->Open(1, good, NULL, 50) == 1, "open of the good stream");
    Expect(api->Play(1, 1, 0) == 1, "play of the good stream");
    Expect(api->Play(0, 1, 0) == 1, "play of the damaged stream");
    SleepMilliseconds(1300);
}

static void RunDamaged(const ZRVA_FunctionTable* api, const char* good) {
    double start;
    if (!WriteDamagedCopy(good)) {
        Expect(0, "writing the damaged file");
        return;
    }
    Expect(api->Init(NULL, 44100, 16, 2, 4, 2) == 1, "init");
    PlayBoth(api, good);
    start = NowMilliseconds();
    api->Stop(0);
    CheckQuick("Stop", start);
    api->Close(0);
    api->Close(1);

    PlayBoth(api, good);
    start = NowMilliseconds();
    api->Close(0);
    CheckQuick("Close", start);
    api->Close(1);

    PlayBoth(api, good);
    start = NowMilliseconds();
    api->Release();
    CheckQuick("Release", start);
    remove(DAMAGED_FILE);
}

int main(int argc, char** argv) {
    ZRVA_FunctionTable api;
    if (argc < 3 || !LoadSoundApi(&api)) {
        printf("usage: stream_hold_host damaged GOOD.mp3 | release_stress GOOD.mp3 ROUNDS\n");
        return 2;
    }
    if (strcmp(argv[1], "damaged") == 0) {
        RunDamaged(&api, argv[2]);
#if defined(_WIN32)
    } else if (strcmp(argv[1], "release_stress") == 0 && argc == 4) {
        if (!RunReleaseStress(&api, argv[2], atoi(argv[3]))) ++holdChecksFailed;
#endif
    } else {
        printf("unknown scenario %s\n", argv[1]);
        return 2;
    }
    printf("%s: %s\n", argv[1], holdChecksFailed ? "FAILED" : "passed");
    return holdChecksFailed ? 1 : 0;
}
