#include "wave/chunk_search.h"

#include <stdlib.h>
#include <string.h>

namespace {
constexpr DWORD kSearchWindowBytes = 16384;
// Consecutive windows overlap by a tag's length, so a tag that straddles two windows is still seen whole.
constexpr LONG kTagBytes = 4;
} // namespace

BOOL FindChunk(FileHandle file, const char tag[4], ChunkHeader* header) {
    if (file == 0) return FALSE;
    BYTE window[kSearchWindowBytes];
    FileSeek(file, 0, FileFromStart);
    DWORD request = kSearchWindowBytes;
    for (;;) {
        const DWORD delivered = FileRead(file, window, request);
        // The last four positions are left for the next window, which starts at the first of them.
        for (DWORD position = 0; position + kTagBytes < delivered; ++position) {
            if (memcmp(window + position, tag, kTagBytes) != 0) continue;
            FileSeek(file, FileTell(file) - static_cast<LONG>(delivered) + static_cast<LONG>(position), FileFromStart);
            // A tag too near the end of the file to carry a whole header is no chunk.
            return FileRead(file, header, sizeof *header) == sizeof *header;
        }
        FileSeek(file, -kTagBytes, FileFromCurrent);
        if (delivered <= 8) return FALSE;
        request = delivered;
    }
}

void* ReadFormatChunk(FileHandle file) {
    ChunkHeader header;
    if (!FindChunk(file, "fmt ", &header)) return nullptr;
    // A size field that claims more than the file still holds is refused before its block is asked for: a
    // damaged file must not make the host allocate gigabytes only to fail the read.
    const LONG bodyStart = FileTell(file);
    const LONG length = FileLength(file);
    if (bodyStart < 0 || length < bodyStart || header.size > static_cast<DWORD>(length - bodyStart)) return nullptr;
    void* body = malloc(header.size);
    if (!body) return nullptr;
    if (FileRead(file, body, header.size) < header.size) {
        free(body);
        return nullptr;
    }
    return body;
}
