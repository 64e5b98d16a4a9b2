// The three WAVE readers on every input, each checked against the model of the byte layout.
#include <stdio.h>
#include <stdlib.h>

#include "fuzz_file.h"
#include "wave_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemoryFile file;
    // A search over the whole megabyte costs two scans of it, so such inputs are kept rare.
    for (const char* failed :
         {wave_checks::CheckFile(file.Hold(data, size), data, size), wave_checks::CheckResource(data, size),
          wave_checks::CheckMemory(data, size, size % 128 == 0)})
        if (failed) fprintf(stderr, "check failed: %s\n", failed), abort();
    return 0;
}
