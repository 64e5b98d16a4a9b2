#include <string.h>

#include "wave/wave_image.h"

namespace {
// The tags are looked for in 16,384-byte windows that start 16,380 bytes apart while a start stays below
// 1,000,000: every offset up to the end of the last window's compared positions is examined.
constexpr DWORD kWindowStride = 16380;
constexpr DWORD kLastWindowStart = (1000000 - 1) / kWindowStride * kWindowStride;
constexpr DWORD kSearchEnd = kLastWindowStart + kWindowStride;

// Compares only the bytes at each position, never a whole window ahead: the image has no length.
const BYTE* FindTag(const BYTE* image, const char tag[4]) {
    for (DWORD offset = 0; offset < kSearchEnd; ++offset)
        if (memcmp(image + offset, tag, 4) == 0) return image + offset;
    return nullptr;
}
} // namespace

WaveImage* WaveImageFromMemory(const void* image) {
    if (!image) return nullptr;
    const auto* bytes = static_cast<const BYTE*>(image);
    const BYTE* format = FindTag(bytes, "fmt ");
    if (!format) return nullptr;
    WaveImageHeader header;
    memset(&header, 0, sizeof header);
    memcpy(&header.format, format + 8, kPcmFormatBytes);
    if (header.format.wFormatTag != WAVE_FORMAT_PCM) return nullptr;
    const BYTE* data = FindTag(bytes, "data");
    if (!data) return nullptr;
    memcpy(&header.dataSize, data + 4, sizeof header.dataSize);
    header.dataOffset = static_cast<DWORD>(data + 8 - bytes);
    WaveImage* wave = AllocateWaveImage(header);
    if (wave) memcpy(wave->samples, data + 8, header.dataSize);
    return wave;
}
