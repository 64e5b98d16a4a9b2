#include "wave/wave_image.h"

#include <stdint.h>
#include <stdlib.h>

WaveImage* AllocateWaveImage(const WaveImageHeader& header) {
    // A 32-bit process cannot hold every size a "data" field can claim; refuse instead of wrapping.
    if (static_cast<uint64_t>(header.dataSize) > uint64_t(SIZE_MAX) - sizeof(WaveImage)) return nullptr;
    auto* image = static_cast<WaveImage*>(malloc(sizeof(WaveImage) + header.dataSize));
    if (!image) return nullptr;
    image->header = header;
    image->header.format.cbSize = 0;
    image->samples = reinterpret_cast<BYTE*>(image + 1);
    return image;
}

void FreeWaveImage(WaveImage* image) { free(image); }
