// Finding RIFF chunk tags in an open file by a byte-by-byte scan from its start.
#pragma once

#include "wave/file_access.h"
#include "wave/wave_image.h"

struct ChunkHeader {
    char tag[4];
    DWORD size;
};

// TRUE when `tag` was found: `header` holds the chunk header and the file stands at the chunk body.
BOOL FindChunk(FileHandle file, const char tag[4], ChunkHeader* header);
// The whole "fmt " body in a new malloc block, or null.
void* ReadFormatChunk(FileHandle file);
