// The file side of the WAVE readers on an input held as a file: FindChunk, ReadFormatChunk, ReadWaveFileHeader and
// WaveImageFromFile, each checked against the byte layout.
#include <stdlib.h>

#include "fuzz_file.h"
#include "wave/chunk_search.h"
#include "wave/wave_image.h"
#include "wave_model.h"

namespace {

void CheckFindChunk(FileHandle file, const uint8_t* data, size_t size, const char* tag) {
    ChunkHeader header;
    const size_t expected = fuzz::FindChunkModel(data, size, tag);
    const BOOL found = FindChunk(file, tag, &header);
    FUZZ_CHECK(static_cast<bool>(found) == (expected != SIZE_MAX));
    if (!found) return;
    FUZZ_CHECK(memcmp(header.tag, tag, 4) == 0);
    FUZZ_CHECK(header.size == fuzz::LoadU32(data + expected + 4));
    FUZZ_CHECK(FileTell(file) == static_cast<LONG>(expected + 8));
}

void CheckFormatChunk(FileHandle file, const uint8_t* data, size_t size) {
    const size_t at = fuzz::FindChunkModel(data, size, "fmt ");
    void* body = ReadFormatChunk(file);
    const bool whole = at != SIZE_MAX && fuzz::LoadU32(data + at + 4) <= size - at - 8;
    FUZZ_CHECK((body != nullptr) == whole);
    if (body) FUZZ_CHECK(memcmp(body, data + at + 8, fuzz::LoadU32(data + at + 4)) == 0);
    free(body);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemoryFile memoryFile;
    const char* path = memoryFile.Hold(data, size);

    const FileHandle file = FileOpen(path);
    FUZZ_CHECK(file != 0);
    CheckFindChunk(file, data, size, "data");
    CheckFindChunk(file, data, size, "fmt ");
    // A tag chosen by the input itself, so the search meets matches at every offset class.
    if (size >= 4) CheckFindChunk(file, data, size, reinterpret_cast<const char*>(data + size - 4));
    CheckFormatChunk(file, data, size);

    const fuzz::WaveModel model = fuzz::FileModel(data, size);
    WaveImageHeader header;
    const BOOL read = ReadWaveFileHeader(file, &header);
    FUZZ_CHECK(static_cast<bool>(read) == model.accepted);
    if (read) {
        FUZZ_CHECK(header.dataOffset == model.dataOffset && header.dataSize == model.dataSize);
        FUZZ_CHECK(memcmp(&header.format, model.format, 16) == 0 && header.format.cbSize == 0);
    }
    FUZZ_CHECK(FileClose(file));

    WaveImage* image = WaveImageFromFile(path);
    const bool complete = model.accepted && model.dataSize <= size - model.dataOffset;
    FUZZ_CHECK((image != nullptr) == complete);
    if (image) {
        FUZZ_CHECK(image->header.dataOffset == model.dataOffset && image->header.dataSize == model.dataSize);
        FUZZ_CHECK(memcmp(image->samples, data + model.dataOffset, model.dataSize) == 0);
        FreeWaveImage(image);
    }
    return 0;
}
