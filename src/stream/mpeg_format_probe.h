// Recognising an MPEG audio file by its tags and first frame header, and describing it for the compression manager.
#pragma once

#include <windows.h>
#include <mmreg.h>

#include "stream/mpeg_frames.h"
#include "wave/file_access.h"

struct MpegProbeResult {
    DWORD audioStart;    // offset of the first frame header, the same as leadingTagSize
    DWORD audioLength;   // file length without the leading and trailing tags
    DWORD headerWord;    // the four header bytes in file order, taken as a little-endian word
    DWORD tailTagSize;   // 128 when the file ends with a "TAG" block, else 0
    BYTE tailBytes[128]; // the last 128 bytes as read (zero where the file had none)
    DWORD leadingTagSize;
    MPEGLAYER3WAVEFORMAT format;
    MpegGaplessInfo gapless; // the encoder's information frame at audioStart, if the first frame is one
};

// TRUE when the file starts (after an optional leading tag) with an accepted frame header; `result` may be null.
// Writes nothing to `result` when it answers FALSE.
BOOL MpegFormatProbe(FileHandle file, MpegProbeResult* result);

// The first frame (header bytes `header`, at `audioStart` of `audioLength` bytes of audio) read whole when it is
// small enough to be an information frame, as its gapless information; all zero otherwise.
MpegGaplessInfo ReadFirstFrameGaplessInfo(FileHandle file, DWORD audioStart, DWORD audioLength, const BYTE header[4]);
