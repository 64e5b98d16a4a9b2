// The decoding benchmarks' baseline: libmpg123's feed interface decoding a whole file, nothing else.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Decodes the MP3 at `path` to 16-bit stereo, fed in `readBytes` pieces; answers the PCM bytes produced.
int64_t RawFeedDecode(const char* path, size_t readBytes);
