#include "stream/mpeg_format_probe.h"

#include <string.h>

#include "stream/mpeg_frames.h"

namespace {

constexpr DWORD kTailTagBytes = 128;
constexpr WORD kCodecDelay = 1393;
// The largest Layer III frame: 320 kbit/s at 32 kHz.
constexpr DWORD kLargestInfoFrame = 1441;

DWORD ReadLeadingTagSize(const BYTE h[10]) {
    return ((h[6] & 0x7Fu) << 21 | (h[7] & 0x7Fu) << 14 | (h[8] & 0x7Fu) << 7 | (h[9] & 0x7Fu)) + 10;
}

// The trailing tag counts only when the file really has its last 128 bytes and they lie behind the first frame.
DWORD ReadTailTag(FileHandle file, DWORD fileLength, DWORD audioStart, BYTE tailBytes[kTailTagBytes]) {
    memset(tailBytes, 0, kTailTagBytes);
    if (fileLength < kTailTagBytes || FileSeek(file, -static_cast<LONG>(kTailTagBytes), FileFromEnd) == -1) return 0;
    const DWORD got = FileRead(file, tailBytes, kTailTagBytes);
    const bool isTag = got == kTailTagBytes && memcmp(tailBytes, "TAG", 3) == 0;
    return isTag && fileLength - kTailTagBytes > audioStart ? kTailTagBytes : 0;
}

} // namespace

MpegGaplessInfo ReadFirstFrameGaplessInfo(FileHandle file, DWORD audioStart, DWORD audioLength, const BYTE header[4]) {
    BYTE bytes[kLargestInfoFrame];
    MpegFrameHeader frame;
    if (!ReadMpegFrameHeader(header, &frame) || frame.bytes > sizeof bytes || frame.bytes > audioLength) return {};
    if (FileSeek(file, static_cast<LONG>(audioStart), FileFromStart) == -1) return {};
    if (FileRead(file, bytes, frame.bytes) < frame.bytes) return {};
    return ReadMpegGaplessInfo(bytes, frame.bytes);
}

BOOL MpegFormatProbe(FileHandle file, MpegProbeResult* result) {
    if (FileSeek(file, 0, FileFromStart) == -1) return FALSE;
    MpegProbeResult probe = {};
    BYTE head[10] = {};
    const DWORD headRead = FileRead(file, head, sizeof head);

    BYTE frame[4] = {};
    if (headRead >= 3 && memcmp(head, "ID3", 3) == 0) {
        if (headRead < sizeof head) return FALSE;
        probe.leadingTagSize = ReadLeadingTagSize(head);
        if (FileSeek(file, static_cast<LONG>(probe.leadingTagSize), FileFromStart) == -1) return FALSE;
        if (FileRead(file, frame, sizeof frame) < sizeof frame) return FALSE;
    } else {
        if (headRead < sizeof frame) return FALSE;
        memcpy(frame, head, sizeof frame);
    }
    probe.headerWord = frame[0] | frame[1] << 8 | frame[2] << 16 | static_cast<DWORD>(frame[3]) << 24;
    if ((probe.headerWord & 0xF0FF) != 0xF0FF) return FALSE;

    const LONG fileLength = FileLength(file);
    if (fileLength < 0) return FALSE;
    probe.audioStart = probe.leadingTagSize;
    probe.tailTagSize = ReadTailTag(file, static_cast<DWORD>(fileLength), probe.audioStart, probe.tailBytes);
    probe.audioLength = static_cast<DWORD>(fileLength) - probe.tailTagSize - probe.audioStart;

    // ID bit 0 is MPEG-2 (the low sampling frequencies); MPEG 2.5 already failed the 12-bit sync above.
    const int version = (probe.headerWord >> 11 & 1) ? 0 : 1;
    const DWORD layerField = probe.headerWord >> 9 & 3;
    if (layerField == 0) return FALSE;
    const DWORD layer = 4 - layerField;
    const DWORD sampleRate = MpegSampleRate(version, probe.headerWord >> 18);
    if (sampleRate == 0) return FALSE;
    const DWORD bitRate = MpegBitRate(version, layer, probe.headerWord >> 20);
    // An MPEG-2 Layer III frame holds 576 samples, half of MPEG-1's 1152, so its block is half as long.
    const DWORD blockFactor = version == 0 ? 144000 : 72000;

    MPEGLAYER3WAVEFORMAT& format = probe.format;
    format.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    format.wfx.nChannels = 2;
    format.wfx.nSamplesPerSec = sampleRate;
    format.wfx.nAvgBytesPerSec = bitRate * 1000 / 8;
    format.wfx.nBlockAlign = 1;
    format.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    format.wID = MPEGLAYER3_ID_MPEG;
    format.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    format.nBlockSize = static_cast<WORD>(bitRate * blockFactor / sampleRate);
    format.nFramesPerBlock = 1;
    format.nCodecDelay = kCodecDelay;
    probe.gapless = ReadFirstFrameGaplessInfo(file, probe.audioStart, probe.audioLength, frame);

    if (result) *result = probe;
    return TRUE;
}
