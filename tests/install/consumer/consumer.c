/* A host built against the installed tree (or, on Windows, the import library) only. Usage: consumer [RESOURCE];
 * with a resource name it also opens that embedded "WAVE" resource into a slot. Answers 0 when every call answered
 * as expected. */
#include <stdio.h>

#include <zorva_sound.h>

int main(int argc, char** argv) {
    ZRVA_FunctionTable api;
    ZRVA_GetFunction((void**)&api);
    int failed = 0;
    if (api.GetVersion() != 1) failed |= 1;
    if (ZRVA_Init(NULL, 44100, 16, 2, 4, 2) != 1) failed |= 2;
    if (ZRVA_GetPan(4) != ZRVA_PAN_FAILURE) failed |= 4;
    if (argc > 1) {
        if (ZRVA_Open(0, argv[1], NULL, 0) != 1) failed |= 8;
        if (ZRVA_GetWaveTime(0) == 0) failed |= 16;
    }
    ZRVA_Release();
    printf("consumer: %s (%d)\n", failed ? "failed" : "passed", failed);
    return failed;
}
