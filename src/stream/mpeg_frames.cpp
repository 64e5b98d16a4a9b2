#include "stream/mpeg_frames.h"

#include <string.h>

namespace {

// Indexed by [MPEG-1 = 0, MPEG-2 = 1, MPEG 2.5 = 2][sample-rate index]; index 3 is reserved.
constexpr DWORD kSampleRateTable[3][4] = {{44100, 48000, 32000, 0}, {22050, 24000, 16000, 0}, {11025, 12000, 8000, 0}};

// kbit/s, indexed by [MPEG-1 = 0, MPEG-2 = 1][layer - 1][bit-rate index]; index 0 (free format) and 15 give 0.
constexpr WORD kBitRateTable[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};

DWORD BigEndian32(const BYTE* bytes) {
    return DWORD(bytes[0]) << 24 | DWORD(bytes[1]) << 16 | DWORD(bytes[2]) << 8 | bytes[3];
}

// Where "Xing" or "Info" stands in a Layer III frame: after the header and the side information.
DWORD InfoTagOffset(const MpegFrameHeader& header) {
    if (header.version == 0) return header.channels == 1 ? 21 : 36;
    return header.channels == 1 ? 13 : 21;
}

} // namespace

DWORD MpegSampleRate(int version, DWORD index) { return kSampleRateTable[version][index & 3]; }
DWORD MpegBitRate(int version, DWORD layer, DWORD index) {
    return kBitRateTable[version ? 1 : 0][layer - 1][index & 15];
}

BOOL ReadMpegFrameHeader(const BYTE header[4], MpegFrameHeader* out) {
    // Sync, then the version bits: 11 is MPEG-1, 10 MPEG-2, 00 MPEG 2.5; 01 is reserved.
    const DWORD versionField = header[1] >> 3 & 3;
    if (header[0] != 0xFF || (header[1] & 0xE0) != 0xE0 || versionField == 1) return FALSE;
    MpegFrameHeader h = {};
    h.version = versionField == 3 ? 0 : versionField == 2 ? 1 : 2;
    const DWORD layerField = header[1] >> 1 & 3;
    if (layerField == 0) return FALSE;
    h.layer = 4 - layerField;
    h.sampleRate = MpegSampleRate(h.version, header[2] >> 2);
    h.bitRate = MpegBitRate(h.version, h.layer, header[2] >> 4);
    if (h.sampleRate == 0 || h.bitRate == 0) return FALSE;
    const DWORD padding = header[2] >> 1 & 1;
    h.channels = (header[3] >> 6) == 3 ? 1 : 2;
    if (h.layer == 1) {
        h.samples = 384;
        h.bytes = (12000 * h.bitRate / h.sampleRate + padding) * 4;
    } else {
        // An MPEG-2 or 2.5 Layer III frame holds 576 samples, half of the 1152 of the others.
        h.samples = h.layer == 3 && h.version != 0 ? 576 : 1152;
        h.bytes = (h.samples / 8) * 1000 * h.bitRate / h.sampleRate + padding;
    }
    *out = h;
    return TRUE;
}

BOOL SameMpegStream(const MpegFrameHeader& a, const MpegFrameHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate && a.channels == b.channels;
}

MpegGaplessInfo ReadMpegGaplessInfo(const BYTE* frame, DWORD size) {
    MpegGaplessInfo info = {};
    MpegFrameHeader header;
    if (size < 4 || !ReadMpegFrameHeader(frame, &header) || header.layer != 3 || size < header.bytes) return info;
    DWORD at = InfoTagOffset(header);
    if (at + 8 > header.bytes) return info;
    if (memcmp(frame + at, "Xing", 4) != 0 && memcmp(frame + at, "Info", 4) != 0) return info;
    info.infoFrameBytes = header.bytes;
    const DWORD flags = BigEndian32(frame + at + 4);
    at += 8;
    // Each field is there only when its flag is: frames, bytes, a 100-byte table of contents, a quality.
    if (flags & 1) {
        if (at + 4 > header.bytes) return info;
        info.frameCount = BigEndian32(frame + at);
        at += 4;
    }
    at += (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
    // The LAME tag: a 9-byte encoder name, and 12 bits of delay and 12 of padding 21 bytes in.
    if (at + 24 > header.bytes) return info;
    const BYTE* tag = frame + at;
    if (memcmp(tag, "LAME", 4) != 0 && memcmp(tag, "Lavc", 4) != 0 && memcmp(tag, "Lavf", 4) != 0) return info;
    info.encoderDelay = DWORD(tag[21]) << 4 | tag[22] >> 4;
    info.encoderPadding = DWORD(tag[22] & 15) << 8 | tag[23];
    // Fields that claim more than the frames hold are someone else's bytes: the file keeps untrimmed timing.
    const unsigned long long samples = static_cast<unsigned long long>(info.frameCount) * header.samples;
    info.trimmable = info.frameCount > 0 && info.encoderDelay + info.encoderPadding < samples;
    return info;
}
