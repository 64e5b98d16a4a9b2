// WaveImageFromMemory on images that end at an unreadable page.
//
// The image carries no length, and the reader may read everything its tag search and copy reach: a missing tag
// is looked for up to offset 1,015,562, and the copy takes as many bytes as "data" claims. The harness hands it
// only images that are complete in that sense, and puts the unreadable page right behind what the reader may
// touch, so a read past that bound faults:
// - most inputs are followed by a "fmt " and a "data" chunk of their own, so both tags are always found within
//   the buffer, and the input's "data" size is cut to the bytes behind it;
// - one input in 128 (by length) lies at the start of zeroed memory that spans exactly the whole tag search,
//   so the refusals for missing tags, and the search's last offset, are reached too.
// Either way the answer is checked against the byte layout.
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#include "fuzz_file.h"
#include "wave/wave_image.h"
#include "wave_model.h"

namespace {

constexpr size_t kSearchBytes = 1015560 + 3;
// Four zero bytes first: a "data" tag at the input's very end then has its size field there, so cutting that size
// never touches the tags behind it.
constexpr uint8_t kTerminator[] = {0, 0, 0,    0,    'f', 'm', 't', ' ', 16, 0, 0,   0,   1,   0,   1, 0, 0x44, 0xAC,
                                   0, 0, 0x88, 0x58, 1,   0,   2,   0,   16, 0, 'd', 'a', 't', 'a', 0, 0, 0,    0};

// A writable window of `bytes` bytes whose end touches a page without access.
struct GuardedWindow {
    uint8_t* base = nullptr;
    size_t mapped = 0;
    size_t page = 0;

    GuardedWindow() {
        page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        mapped = ((kSearchBytes + page - 1) / page + 1) * page;
        void* at = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (at == MAP_FAILED) abort();
        base = static_cast<uint8_t*>(at);
        if (mprotect(base + mapped - page, page, PROT_NONE) != 0) abort();
    }
    uint8_t* EndingAt(size_t bytes) const { return base + mapped - page - bytes; }
};

// The first "fmt " and "data" of the buffer, as the reader finds them.
fuzz::WaveModel MemoryModel(const uint8_t* bytes, size_t size) {
    fuzz::WaveModel model;
    const size_t last = (size < kSearchBytes ? size : kSearchBytes) - 4;
    const size_t format = fuzz::FindTagModel(bytes, size, 0, last, "fmt ");
    if (format == SIZE_MAX || fuzz::LoadU16(bytes + format + 8) != 1) return model;
    const size_t data = fuzz::FindTagModel(bytes, size, 0, last, "data");
    if (data == SIZE_MAX) return model;
    model.dataOffset = static_cast<uint32_t>(data + 8);
    model.dataSize = fuzz::LoadU32(bytes + data + 4);
    model.format = bytes + format + 8;
    model.accepted = true;
    return model;
}

// Cuts the first "data" chunk's size to the bytes that follow it in the buffer.
void CutDataToBuffer(uint8_t* bytes, size_t size) {
    const size_t data = fuzz::FindTagModel(bytes, size, 0, size - 4, "data");
    if (data == SIZE_MAX || data + 8 > size) return;
    const size_t available = size - data - 8;
    if (fuzz::LoadU32(bytes + data + 4) <= available) return;
    const uint32_t cut = static_cast<uint32_t>(available);
    memcpy(bytes + data + 4, &cut, sizeof cut);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GuardedWindow window;
    if (size > kSearchBytes - sizeof kTerminator) return -1;
    // Each such input costs two scans of a megabyte, so they are kept rare.
    const bool wholeSearch = size % 128 == 0;
    const size_t bufferBytes = wholeSearch ? kSearchBytes : size + sizeof kTerminator;
    uint8_t* buffer = window.EndingAt(bufferBytes);
    if (wholeSearch) {
        memset(buffer, 0, bufferBytes);
    } else {
        memcpy(buffer + size, kTerminator, sizeof kTerminator);
    }
    if (size) memcpy(buffer, data, size);
    CutDataToBuffer(buffer, bufferBytes);

    const fuzz::WaveModel model = MemoryModel(buffer, bufferBytes);
    WaveImage* image = WaveImageFromMemory(buffer);
    FUZZ_CHECK((image != nullptr) == model.accepted);
    if (image) {
        FUZZ_CHECK(image->header.dataOffset == model.dataOffset);
        FUZZ_CHECK(image->header.dataSize == model.dataSize);
        FUZZ_CHECK(memcmp(&image->header.format, model.format, 16) == 0);
        FUZZ_CHECK(image->header.format.cbSize == 0);
        FUZZ_CHECK(image->samples == reinterpret_cast<BYTE*>(image + 1));
        FUZZ_CHECK(memcmp(image->samples, buffer + model.dataOffset, model.dataSize) == 0);
        FreeWaveImage(image);
    }
    return 0;
}
