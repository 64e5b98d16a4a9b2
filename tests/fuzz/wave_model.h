// What the three WAVE readers answer for a byte image, worked out independently of them from the byte layout.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

namespace fuzz {

inline uint32_t LoadU32(const uint8_t* at) { return at[0] | at[1] << 8 | at[2] << 16 | uint32_t(at[3]) << 24; }
inline uint16_t LoadU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

// The first offset in [first, last] where `tag` starts, or SIZE_MAX; every compared byte lies below `size`.
inline size_t FindTagModel(const uint8_t* bytes, size_t size, size_t first, size_t last, const char* tag) {
    for (size_t at = first; at <= last && at + 4 <= size; ++at)
        if (memcmp(bytes + at, tag, 4) == 0) return at;
    return SIZE_MAX;
}

struct WaveModel {
    bool accepted = false;
    uint32_t dataOffset = 0;
    uint32_t dataSize = 0;
    const uint8_t* format = nullptr; // the 16 PCM bytes
    uint8_t formatCopy[16] = {};     // for a file: the bytes read, zeros where the file ended
};

// FindChunk: the first tag at 0 .. L-5 counts when its whole 8-byte header is in the file.
inline size_t FindChunkModel(const uint8_t* bytes, size_t size, const char* tag) {
    const size_t at = size >= 5 ? FindTagModel(bytes, size, 0, size - 5, tag) : SIZE_MAX;
    return at != SIZE_MAX && at + 8 <= size ? at : SIZE_MAX;
}

inline WaveModel FileModel(const uint8_t* bytes, size_t size) {
    WaveModel model;
    if (size < 12 || memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0) return model;
    const size_t format = FindChunkModel(bytes, size, "fmt ");
    if (format == SIZE_MAX) return model;
    const size_t body = format + 8;
    const size_t present = size - body < 16 ? size - body : 16;
    memcpy(model.formatCopy, bytes + body, present);
    if (LoadU32(bytes + format + 4) < 16 || LoadU16(model.formatCopy) != 1) return model;
    const size_t data = FindChunkModel(bytes, size, "data");
    if (data == SIZE_MAX) return model;
    model.dataOffset = static_cast<uint32_t>(data + 8);
    model.dataSize = LoadU32(bytes + data + 4);
    model.format = model.formatCopy;
    model.accepted = true;
    return model;
}

inline WaveModel ResourceModel(const uint8_t* bytes, size_t size) {
    WaveModel model;
    if (size < 39 || memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0) return model;
    const size_t format = FindTagModel(bytes, size, 12, size - 27, "fmt ");
    if (format == SIZE_MAX || LoadU16(bytes + format + 8) != 1) return model;
    const size_t data = FindTagModel(bytes, size, format + 8, size - 8, "data");
    if (data == SIZE_MAX) return model;
    model.dataOffset = static_cast<uint32_t>(data + 8);
    const uint32_t claimed = LoadU32(bytes + data + 4);
    model.dataSize = claimed < size - model.dataOffset ? claimed : static_cast<uint32_t>(size - model.dataOffset);
    model.format = bytes + format + 8;
    model.accepted = true;
    return model;
}

} // namespace fuzz
