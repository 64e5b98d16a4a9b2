// A fuzz input as a file the library can open by name: one in-memory file, rewritten for every input.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <stddef.h>
#include <stdint.h>

namespace fuzz {

class MemoryFile {
  public:
    MemoryFile() {
        descriptor_ = memfd_create("zorva-fuzz", MFD_CLOEXEC);
        if (descriptor_ < 0) abort();
        snprintf(path_, sizeof path_, "/proc/self/fd/%d", descriptor_);
    }
    // The library opens its own descriptor on the path, so it reads from offset 0 whatever this one did.
    const char* Hold(const uint8_t* data, size_t size) {
        if (ftruncate(descriptor_, 0) != 0) abort();
        for (size_t written = 0; written < size;) {
            const ssize_t now = pwrite(descriptor_, data + written, size - written, static_cast<off_t>(written));
            if (now <= 0) abort();
            written += static_cast<size_t>(now);
        }
        return path_;
    }

  private:
    int descriptor_ = -1;
    char path_[64] = {};
};

// A disagreement with the model is a finding like a crash.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                             \
            abort();                                                                                                   \
        }                                                                                                              \
    } while (0)

} // namespace fuzz
