#include <string.h>

#include "wave/wave_image.h"

namespace {
constexpr DWORD kRiffHeaderBytes = 12;
constexpr DWORD kChunkHeaderBytes = 8;

const BYTE* FindTagFrom(const BYTE* bytes, DWORD first, DWORD last, const char tag[4]) {
    for (DWORD position = first; position <= last; ++position)
        if (memcmp(bytes + position, tag, 4) == 0) return bytes + position;
    return nullptr;
}
} // namespace

WaveImage* WaveImageFromResource(HMODULE module, LPCSTR name) {
    DWORD size = 0;
    const auto* bytes = static_cast<const BYTE*>(LockModuleResource(module, name, "WAVE", &size));
    if (!bytes || size < 20) return nullptr;
    if (memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0) return nullptr;
    // Room for the "fmt " header and 18 format bytes after the tag, with one byte to spare.
    if (size - 20 < 19) return nullptr;
    const BYTE* format = FindTagFrom(bytes, kRiffHeaderBytes, size - 27, "fmt ");
    if (!format) return nullptr;

    WaveImageHeader header;
    memset(&header, 0, sizeof header);
    memcpy(&header.format, format + kChunkHeaderBytes, kPcmFormatBytes);
    if (header.format.wFormatTag != WAVE_FORMAT_PCM) return nullptr;
    // The "data" tag and its size field must lie wholly inside the resource.
    const DWORD formatStart = static_cast<DWORD>(format + kChunkHeaderBytes - bytes);
    const BYTE* data = FindTagFrom(bytes, formatStart, size - kChunkHeaderBytes, "data");
    if (!data) return nullptr;

    memcpy(&header.dataSize, data + 4, sizeof header.dataSize);
    header.dataOffset = static_cast<DWORD>(data + kChunkHeaderBytes - bytes);
    // A size field that claims more than the resource holds is cut to what it holds.
    if (header.dataSize > size - header.dataOffset) header.dataSize = size - header.dataOffset;
    WaveImage* image = AllocateWaveImage(header);
    if (image) memcpy(image->samples, bytes + header.dataOffset, header.dataSize);
    return image;
}
