// The three WAVE readers on every input (file with its chunk search, resource, memory), each held against a model of
// what it must answer for the byte image, worked out from the byte layout independently of them.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#include "fuzz_file.h"
#include "seams/resource_seams.h"
#include "wave/chunk_search.h"
#include "wave/wave_image.h"

namespace {

uint32_t LoadU32(const uint8_t* at) { return at[0] | at[1] << 8 | at[2] << 16 | uint32_t(at[3]) << 24; }
uint16_t LoadU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

// The first offset in [first, last] where `tag` starts, or SIZE_MAX; every compared byte lies below `size`.
size_t FindTag(const uint8_t* bytes, size_t size, size_t first, size_t last, const char* tag) {
    for (size_t at = first; at <= last && at + 4 <= size; ++at)
        if (memcmp(bytes + at, tag, 4) == 0) return at;
    return SIZE_MAX;
}

// A file's chunk: the first tag at 0 .. size-5 whose whole 8-byte header is in the file.
size_t FindChunkModel(const uint8_t* bytes, size_t size, const char* tag) {
    const size_t at = size >= 5 ? FindTag(bytes, size, 0, size - 5, tag) : SIZE_MAX;
    return at != SIZE_MAX && at + 8 <= size ? at : SIZE_MAX;
}

struct Model {
    bool accepted = false;
    uint32_t dataOffset = 0, dataSize = 0;
    uint8_t format[16] = {}; // the PCM bytes as read; zeros where a file ended
};

Model FileModel(const uint8_t* bytes, size_t size) {
    Model model;
    if (size < 12 || memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0) return model;
    const size_t format = FindChunkModel(bytes, size, "fmt ");
    if (format == SIZE_MAX) return model;
    memcpy(model.format, bytes + format + 8, size - format - 8 < 16 ? size - format - 8 : 16);
    const size_t data = FindChunkModel(bytes, size, "data");
    if (LoadU32(bytes + format + 4) < 16 || LoadU16(model.format) != 1 || data == SIZE_MAX) return model;
    model.dataOffset = static_cast<uint32_t>(data + 8);
    model.dataSize = LoadU32(bytes + data + 4);
    model.accepted = true;
    return model;
}

Model ResourceModel(const uint8_t* bytes, size_t size) {
    Model model;
    if (size < 39 || memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0) return model;
    const size_t format = FindTag(bytes, size, 12, size - 27, "fmt ");
    if (format == SIZE_MAX || LoadU16(bytes + format + 8) != 1) return model;
    const size_t data = FindTag(bytes, size, format + 8, size - 8, "data");
    if (data == SIZE_MAX) return model;
    memcpy(model.format, bytes + format + 8, 16);
    model.dataOffset = static_cast<uint32_t>(data + 8);
    const uint32_t claimed = LoadU32(bytes + data + 4);
    model.dataSize = claimed < size - model.dataOffset ? claimed : static_cast<uint32_t>(size - model.dataOffset);
    model.accepted = true;
    return model;
}

// A memory image has no length: its tags are looked for up to offset 1,015,562.
constexpr size_t kMemorySearchBytes = 1015560 + 3;

Model MemoryModel(const uint8_t* bytes, size_t size) {
    Model model;
    const size_t last = (size < kMemorySearchBytes ? size : kMemorySearchBytes) - 4;
    const size_t format = FindTag(bytes, size, 0, last, "fmt ");
    if (format == SIZE_MAX || LoadU16(bytes + format + 8) != 1) return model;
    const size_t data = FindTag(bytes, size, 0, last, "data");
    if (data == SIZE_MAX) return model;
    memcpy(model.format, bytes + format + 8, 16);
    model.dataOffset = static_cast<uint32_t>(data + 8);
    model.dataSize = LoadU32(bytes + data + 4);
    model.accepted = true;
    return model;
}

void CheckImage(WaveImage* image, const Model& model, const uint8_t* bytes, bool accepted) {
    const bool got = image != nullptr;
    if (image) {
        FUZZ_CHECK(image->header.dataOffset == model.dataOffset && image->header.dataSize == model.dataSize);
        FUZZ_CHECK(memcmp(&image->header.format, model.format, 16) == 0 && image->header.format.cbSize == 0);
        FUZZ_CHECK(memcmp(image->samples, bytes + model.dataOffset, model.dataSize) == 0);
        FreeWaveImage(image);
    }
    FUZZ_CHECK(got == accepted);
}

// The file reader and its chunk search, on `path` holding exactly `bytes`.
void CheckFile(const char* path, const uint8_t* bytes, size_t size) {
    const FileHandle file = FileOpen(path);
    FUZZ_CHECK(file != 0);
    for (const char* tag : {"fmt ", "data"}) {
        ChunkHeader header;
        const size_t at = FindChunkModel(bytes, size, tag);
        const bool found = FindChunk(file, tag, &header);
        FUZZ_CHECK(found == (at != SIZE_MAX));
        FUZZ_CHECK(!found || (header.size == LoadU32(bytes + at + 4) && FileTell(file) == LONG(at + 8)));
    }
    const size_t format = FindChunkModel(bytes, size, "fmt ");
    void* body = ReadFormatChunk(file);
    const bool whole = format != SIZE_MAX && LoadU32(bytes + format + 4) <= size - format - 8;
    FUZZ_CHECK((body != nullptr) == whole);
    FUZZ_CHECK(!body || memcmp(body, bytes + format + 8, LoadU32(bytes + format + 4)) == 0);
    free(body);
    FileClose(file);
    const Model model = FileModel(bytes, size);
    CheckImage(WaveImageFromFile(path), model, bytes, model.accepted && model.dataSize <= size - model.dataOffset);
}

// The resource reader, on an exact-size heap copy so that a read past the resource is out of bounds.
void CheckResource(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    const posix_win32::ResourceEntry table[] = {{"CHECKED", "WAVE", bytes.data(), size}, {}};
    posix_win32::RegisterResourceTable(table);
    WaveImage* image = WaveImageFromResource(nullptr, "CHECKED");
    posix_win32::ClearRegisteredResourceTables();
    const Model model = ResourceModel(bytes.data(), size);
    CheckImage(image, model, bytes.data(), model.accepted);
}

// The memory reader reads whatever its search and copy reach, so it is handed only images that are complete in that
// sense: the bytes followed by chunks of their own (their "data" size cut to what follows it), or, for `wholeSearch`,
// at the start of zeros that span the whole search. Either way an unreadable page lies right behind.
void CheckMemory(const uint8_t* data, size_t size, bool wholeSearch) {
    static const uint8_t kTerminator[] = {0, 0, 0,  0, 'f',  'm',  't', ' ', 16,   0,    0, 0,
                                          1, 0, 1,  0, 0x44, 0xAC, 0,   0,   0x88, 0x58, 1, 0,
                                          2, 0, 16, 0, 'd',  'a',  't', 'a', 0,    0,    0, 0};
    static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    static const size_t mapped = ((kMemorySearchBytes + page - 1) / page + 1) * page;
    static uint8_t* const base = [] {
        auto* at =
            static_cast<uint8_t*>(mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (at == MAP_FAILED || mprotect(at + mapped - page, page, PROT_NONE) != 0) abort();
        return at;
    }();
    if (size > kMemorySearchBytes - sizeof kTerminator) return;
    const size_t bytes = wholeSearch ? kMemorySearchBytes : size + sizeof kTerminator;
    uint8_t* buffer = base + mapped - page - bytes;
    memset(buffer, 0, bytes);
    if (!wholeSearch) memcpy(buffer + size, kTerminator, sizeof kTerminator);
    if (size) memcpy(buffer, data, size);
    const size_t dataTag = FindTag(buffer, bytes, 0, bytes - 4, "data");
    if (dataTag != SIZE_MAX && dataTag + 8 <= bytes && LoadU32(buffer + dataTag + 4) > bytes - dataTag - 8) {
        const uint32_t cut = static_cast<uint32_t>(bytes - dataTag - 8);
        memcpy(buffer + dataTag + 4, &cut, sizeof cut);
    }
    const Model model = MemoryModel(buffer, bytes);
    CheckImage(WaveImageFromMemory(buffer), model, buffer, model.accepted);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemoryFile file;
    CheckFile(file.Hold(data, size), data, size);
    CheckResource(data, size);
    // A search over the whole megabyte costs two scans of it, so such inputs are kept rare.
    CheckMemory(data, size, size % 128 == 0);
    return 0;
}
