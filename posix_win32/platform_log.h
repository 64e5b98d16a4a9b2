// What the platform layer tells a user who asks with ZORVA_LOG=1: the output chosen and its format, why one failed
// to open, a sound device lost and found again, a refill that came late. One line each on standard error; unset,
// nothing. The library's behaviour does not depend on it.
#pragma once

#include <stdint.h>

namespace posix_win32 {

bool PlatformLogEnabled();
// One line, printf-style, with "zorva: " before it.
void PlatformLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// At most one line per `intervalMs` for one kind of event; each line counts what it stood for.
class RateLimitedLog {
  public:
    explicit RateLimitedLog(uint32_t intervalMs) : intervalMs(intervalMs) {}
    // Counts one event; answers how many it stands for once the interval has passed since the last line, else 0.
    uint32_t Due(uint64_t nowMs);

  private:
    uint32_t intervalMs;
    uint64_t lastLineMs = 0;
    uint32_t pending = 0;
    bool logged = false;
};

} // namespace posix_win32
