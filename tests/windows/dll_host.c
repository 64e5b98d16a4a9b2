/* A Windows host of ZORVA_Sound.dll that uses only the public header, LoadLibraryA and GetProcAddress.
 * Usage: dll_host SCENARIO; answers 0 when every check of the scenario passed. */
#include <string.h>

#include "host_checks.h"
#include "scenarios.h"

int hostChecksPassed;
int hostChecksFailed;

typedef struct Scenario {
    const char* name;
    void (*run)(void* const exports[EXPORT_COUNT]);
} Scenario;

static const Scenario scenarios[] = {
    {"entry_table", RunEntryTableScenario},
#if !defined(_WIN64)
    {"stack_balance", RunStackBalanceScenario},
#endif
};

int main(int argc, char** argv) {
    void* exports[EXPORT_COUNT];
    if (argc != 2) {
        printf("usage: dll_host SCENARIO\n");
        return 2;
    }
    for (size_t i = 0; i < sizeof scenarios / sizeof scenarios[0]; ++i) {
        if (strcmp(argv[1], scenarios[i].name) != 0) continue;
        if (!LoadSoundLibrary(exports)) return 1;
        scenarios[i].run(exports);
        printf("%s: %d passed, %d failed\n", scenarios[i].name, hostChecksPassed, hostChecksFailed);
        return hostChecksFailed == 0 && hostChecksPassed > 0 ? 0 : 1;
    }
    printf("unknown scenario %s\n", argv[1]);
    return 2;
}
