#include "platform_log.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace posix_win32 {

bool PlatformLogEnabled() {
    const char* value = getenv("ZORVA_LOG");
    return value && strcmp(value, "1") == 0;
}

void PlatformLog(const char* format, ...) {
    if (!PlatformLogEnabled()) return;
    // Built whole first, so lines from two threads do not interleave.
    char line[512] = "zorva: ";
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line + 7, sizeof line - 8, format, arguments);
    va_end(arguments);
    strcat(line, "\n");
    fputs(line, stderr);
}

uint32_t RateLimitedLog::Due(uint64_t nowMs) {
    ++pending;
    if (logged && nowMs - lastLineMs < intervalMs) return 0;
    const uint32_t events = pending;
    pending = 0;
    lastLineMs = nowMs;
    logged = true;
    return events;
}

} // namespace posix_win32
