// The header of a canonical RIFF/WAVE file, as the WAV output writes it and tests build their files with.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <mmreg.h>

namespace posix_win32 {

constexpr size_t kWaveHeaderBytes = 44;

// "RIFF", "WAVE", a 16-byte "fmt " chunk of `format` (without cbSize), and a "data" chunk header of `dataBytes`.
void WriteWaveHeader(const WAVEFORMATEX& format, uint32_t dataBytes, uint8_t out[kWaveHeaderBytes]);

} // namespace posix_win32
