// MPEG audio frames as the file holds them: header fields, frame sizes, and the encoder's information frame.
#pragma once

#include <windows.h>

// What one four-byte frame header says; `bytes` is 0 for a header this library does not play (a reserved version,
// layer or rate, free-format or forbidden bit rates).
struct MpegFrameHeader {
    int version;      // 0 for MPEG-1, 1 for MPEG-2 (the low sampling frequencies), 2 for MPEG 2.5 (the lowest)
    DWORD layer;      // 1, 2 or 3
    DWORD sampleRate; // Hz, 0 when reserved
    DWORD bitRate;    // kbit/s, 0 for free format or forbidden
    DWORD bytes;      // the whole frame with its header
    DWORD samples;    // samples per channel the frame decodes to
    DWORD channels;   // 1 or 2
};

// The tables: sampling frequency by [MPEG-1 = 0, MPEG-2 = 1, MPEG 2.5 = 2][rate index] (0 for the reserved index
// 3), bit rate in kbit/s by [version][layer - 1][bit-rate index] (0 for free format and the forbidden index 15);
// MPEG 2.5 has MPEG-2's bit rates.
DWORD MpegSampleRate(int version, DWORD index);
DWORD MpegBitRate(int version, DWORD layer, DWORD index);

// The fields of the header at `header[0..3]`; FALSE when it is no header of a playable frame. MPEG 2.5 frames are
// read (a WAVE file may hold them), though a file of them alone is not taken for MPEG audio.
BOOL ReadMpegFrameHeader(const BYTE header[4], MpegFrameHeader* out);

// Two headers of the same stream: version, layer, rate and channel mode agree.
BOOL SameMpegStream(const MpegFrameHeader& a, const MpegFrameHeader& b);

// The encoder's information frame ("Xing" or "Info"), which carries no sound, and the LAME tag inside it, whose
// delay and padding say how many decoded samples at the start and the end are not the sound.
struct MpegGaplessInfo {
    DWORD infoFrameBytes; // 0 when the first frame is audio
    DWORD frameCount;     // audio frames after the information frame; 0 when not given
    DWORD encoderDelay;   // samples
    DWORD encoderPadding; // samples
    BOOL trimmable;       // a LAME tag whose delay and padding fit in the frames
};

// Reads `frame` (`size` bytes from its header on) as an information frame; all zero when it is none.
MpegGaplessInfo ReadMpegGaplessInfo(const BYTE* frame, DWORD size);
