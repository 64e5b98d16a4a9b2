/* The far end of the ALSA file plugin's pipe in the Wine tests: copies the WAVE stream it reads to the capture file
 * at the pace of its own byte rate. ALSA's "null" device takes any amount at once, so without this Wine would mix
 * as fast as it can and the capture would not follow the host's clock; a blocked pipe holds Wine's writes back to
 * real time instead.
 *
 * Usage (from .asoundrc): file "|paced_capture DEFAULT.wav"; writes to $ZORVA_CAPTURE, else DEFAULT.wav. Makes the
 * file only once sound data arrives, so the device probes that open and close ALSA leave no empty capture behind. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum { kHeaderBytes = 44 };

static double NowSeconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

static void SleepSeconds(double seconds) {
    if (seconds <= 0) return;
    struct timespec wait = {(time_t)seconds, (long)((seconds - (double)(time_t)seconds) * 1e9)};
    nanosleep(&wait, NULL);
}

int main(int argc, char** argv) {
    const char* path = getenv("ZORVA_CAPTURE");
    if (!path || !*path) path = argc > 1 ? argv[1] : "capture.wav";
    /* The smallest pipe keeps the latency the pacing adds to a few milliseconds. */
    fcntl(0, F_SETPIPE_SZ, 4096);

    unsigned char header[kHeaderBytes];
    size_t got = 0;
    while (got < sizeof header) {
        ssize_t n = read(0, header + got, sizeof header - got);
        if (n <= 0) return 0;
        got += (size_t)n;
    }
    uint32_t byteRate = header[28] | header[29] << 8 | header[30] << 16 | (uint32_t)header[31] << 24;
    if (memcmp(header, "RIFF", 4) != 0 || byteRate == 0) return 1;

    FILE* out = NULL;
    unsigned char block[4096];
    double start = 0;
    uint64_t copied = 0;
    for (;;) {
        /* A few milliseconds at a time, so the pace is even. */
        size_t want = byteRate / 200 < sizeof block ? byteRate / 200 : sizeof block;
        ssize_t n = read(0, block, want ? want : 1);
        if (n <= 0) break;
        if (!out) {
            out = fopen(path, "wb");
            if (!out) return 1;
            fwrite(header, 1, sizeof header, out);
            start = NowSeconds();
        }
        fwrite(block, 1, (size_t)n, out);
        copied += (uint64_t)n;
        SleepSeconds(start + (double)copied / byteRate - NowSeconds());
    }
    if (out) fclose(out);
    return 0;
}
