#include "dsound/outputs/wave_header.h"

#include <string.h>

namespace posix_win32 {
namespace {

void PutLittleEndian(uint8_t* out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[i] = uint8_t(value >> (8 * i));
}

} // namespace

void WriteWaveHeader(const WAVEFORMATEX& format, uint32_t dataBytes, uint8_t out[kWaveHeaderBytes]) {
    memcpy(out, "RIFF", 4);
    PutLittleEndian(out + 4, uint32_t(kWaveHeaderBytes - 8) + dataBytes, 4);
    memcpy(out + 8, "WAVEfmt ", 8);
    PutLittleEndian(out + 16, 16, 4);
    PutLittleEndian(out + 20, format.wFormatTag, 2);
    PutLittleEndian(out + 22, format.nChannels, 2);
    PutLittleEndian(out + 24, format.nSamplesPerSec, 4);
    PutLittleEndian(out + 28, format.nAvgBytesPerSec, 4);
    PutLittleEndian(out + 32, format.nBlockAlign, 2);
    PutLittleEndian(out + 34, format.wBitsPerSample, 2);
    memcpy(out + 36, "data", 4);
    PutLittleEndian(out + 40, dataBytes, 4);
}

} // namespace posix_win32
