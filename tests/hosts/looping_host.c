/* A game as many are: it loads the library at run time, starts it, and plays a resampled static sound (22,050 Hz
 * into a 44,100 Hz mix) and a stream, both looping, for MILLISECONDS; meanwhile the static's position must keep
 * moving. Then it either releases the library, or quits as many games do: returns from main without ZRVA_Release,
 * so the process ends while the library's threads run, with ("handler") or without ("quit") an exit handler of its
 * own, registered before the library is loaded, which runs after the library's static destructors.
 *   looping_host LIBRARY STATIC-22KHZ-WAVE STREAM MILLISECONDS release|quit|handler
 * Answers 0 once everything answered as it should and the process ended cleanly; a crash at exit shows in its
 * status. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zorva_sound.h"

typedef void(ZRVA_CDECL* GetFunction)(void**);

#if defined(_WIN32)
#include <windows.h>
static GetFunction FindGetFunction(const char* path) {
    HMODULE library = LoadLibraryA(path);
    /* Through the generic function pointer type, the sanctioned way between two function types. */
    return library ? (GetFunction)(void (*)(void))GetProcAddress(library, "ZRVA_GetFunction") : NULL;
}
static void Pause(unsigned ms) { Sleep(ms); }
#else
#include <dlfcn.h>
#include <unistd.h>
static GetFunction FindGetFunction(const char* path) {
    void* library = dlopen(path, RTLD_NOW);
    GetFunction found = NULL;
    /* POSIX's way from dlsym's object pointer to a function pointer. */
    if (library) *(void**)&found = dlsym(library, "ZRVA_GetFunction");
    return found;
}
static void Pause(unsigned ms) { usleep(ms * 1000); }
#endif

/* A game's own handler takes its time (saving its settings, say), while the library's threads still run. */
static void OwnExitHandler(void) {
    Pause(100);
    fputs("looping_host: the host's exit handler ran\n", stdout);
}

int main(int argc, char** argv) {
    if (argc != 6) return 2;
    const char* ending = argv[5];
    if (strcmp(ending, "handler") == 0) atexit(OwnExitHandler);
    GetFunction getFunction = FindGetFunction(argv[1]);
    if (!getFunction) return 3;
    ZRVA_FunctionTable api;
    getFunction((void**)&api);
    if (api.Init(NULL, 44100, 16, 2, 4, 2) != 1) return 4;
    if (api.Open(0, argv[2], NULL, 0) != 1 || api.Play(0, 1, 0) != 1) return 5;
    if (api.Open(1, argv[3], NULL, 500) != 1 || api.Play(1, 1, 0) != 1) return 6;
    /* Whatever happens to the output meanwhile, the position goes on as time does. */
    unsigned stuck = 0, last = api.GetTimePos(0);
    for (long waited = 0; waited < atol(argv[4]); waited += 100) {
        Pause(100);
        unsigned position = api.GetTimePos(0);
        stuck = position == last ? stuck + 1 : 0;
        last = position;
        if (stuck > 2) {
            printf("looping_host: the static sound's position stands at %u ms\n", position);
            return 7;
        }
    }
    if (strcmp(ending, "release") == 0) {
        api.Release();
        puts("looping_host: released");
        return 0;
    }
    puts("looping_host: returning from main while the sounds play");
    return 0;
}
