#define _POSIX_C_SOURCE 200809L
#include "host_platform.h"

#include <time.h>

int LoadSoundApi(ZRVA_FunctionTable* api) {
    ZRVA_GetFunction((void**)api);
    return 1;
}

double NowMilliseconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec * 1000.0 + (double)now.tv_nsec / 1e6;
}

void SleepMilliseconds(double milliseconds) {
    if (milliseconds <= 0) return;
    struct timespec wait;
    wait.tv_sec = (time_t)(milliseconds / 1000.0);
    wait.tv_nsec = (long)((milliseconds - (double)wait.tv_sec * 1000.0) * 1e6);
    while (nanosleep(&wait, &wait) != 0) {
    }
}

const char* PlatformName(void) { return "portable"; }
