#include "stream_file.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include <mmreg.h>

#include "stream/mpeg_frames.h"

namespace {

// The start of a file, enough for its headers and a leading tag with a picture, and what its end tells.
struct FileHead {
    std::vector<uint8_t> bytes;
    size_t fileSize = 0;
    bool endsWithId3v1 = false;
};

constexpr size_t kHeadBytes = 4 << 20;

FileHead ReadHead(const std::string& path) {
    FileHead head;
    FILE* in = fopen(path.c_str(), "rb");
    if (!in) return head;
    if (fseek(in, 0, SEEK_END) == 0) head.fileSize = static_cast<size_t>(ftell(in));
    char tag[3] = {};
    if (head.fileSize >= 128 && fseek(in, -128, SEEK_END) == 0 && fread(tag, 1, 3, in) == 3)
        head.endsWithId3v1 = memcmp(tag, "TAG", 3) == 0;
    rewind(in);
    head.bytes.resize(head.fileSize < kHeadBytes ? head.fileSize : kHeadBytes);
    head.bytes.resize(fread(head.bytes.data(), 1, head.bytes.size(), in));
    fclose(in);
    return head;
}

uint32_t LittleEndian32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

bool StartsWith(const std::vector<uint8_t>& bytes, size_t at, const char* tag) {
    return bytes.size() >= at + strlen(tag) && memcmp(bytes.data() + at, tag, strlen(tag)) == 0;
}

// Bytes of a leading ID3v2 tag (header, body and footer), 0 without one.
size_t Id3v2Size(const std::vector<uint8_t>& bytes) {
    if (!StartsWith(bytes, 0, "ID3") || bytes.size() < 10) return 0;
    const size_t body = (bytes[6] & 0x7F) << 21 | (bytes[7] & 0x7F) << 14 | (bytes[8] & 0x7F) << 7 | (bytes[9] & 0x7F);
    return 10 + body + ((bytes[5] & 0x10) ? 10 : 0);
}

bool IsFrameHeader(const uint8_t* p) {
    MpegFrameHeader header;
    return ReadMpegFrameHeader(p, &header);
}

// The audio frames from data offset `start` to `end` of the file, walked header to header as the library follows
// them: stray bytes between frames are passed over up to a header whose frame another one follows (or the data's
// end). How many frames, and the samples they decode to.
struct FrameWalk {
    uint64_t frames = 0;
    uint64_t samples = 0;
};

FrameWalk WalkFrames(const std::string& path, size_t start, size_t end) {
    FrameWalk walk;
    if (start >= end) return walk;
    std::vector<uint8_t> bytes(end - start);
    FILE* in = fopen(path.c_str(), "rb");
    const bool read = in && fseek(in, static_cast<long>(start), SEEK_SET) == 0 &&
                      fread(bytes.data(), 1, bytes.size(), in) == bytes.size();
    if (in) fclose(in);
    if (!read) return walk;
    auto frameAt = [&](size_t at, MpegFrameHeader* header) {
        return at + 4 <= bytes.size() && ReadMpegFrameHeader(&bytes[at], header);
    };
    bool between = false;
    MpegFrameHeader header, following;
    for (size_t at = 0; at + 4 <= bytes.size();) {
        const bool found = frameAt(at, &header) &&
                           (!between || at + header.bytes == bytes.size() || frameAt(at + header.bytes, &following));
        if (!found) {
            ++at, between = true;
            continue;
        }
        ++walk.frames, walk.samples += header.samples;
        at += header.bytes, between = false;
    }
    return walk;
}

// The frames the file holds, less an encoder's delay, and its padding where the information frame counts them
// right: a tag left stale by an editor, or the first of two joined files, does not end the sound early.
std::optional<double> MpegDuration(const std::string& path, const FileHead& head) {
    const std::vector<uint8_t>& bytes = head.bytes;
    size_t start = Id3v2Size(bytes);
    while (start + 4 <= bytes.size() && !IsFrameHeader(&bytes[start]))
        ++start;
    if (start + 4 > bytes.size()) return std::nullopt;
    const size_t end = head.fileSize - (head.endsWithId3v1 ? 128 : 0);
    if (end <= start) return std::nullopt;
    MpegFrameHeader first;
    ReadMpegFrameHeader(&bytes[start], &first);
    const MpegGaplessInfo info =
        ReadMpegGaplessInfo(&bytes[start], static_cast<DWORD>(std::min(bytes.size() - start, size_t(first.bytes))));
    const FrameWalk walk = WalkFrames(path, start + info.infoFrameBytes, end);
    double samples = double(walk.samples);
    if (info.trimmable) samples -= info.encoderDelay + (walk.frames == info.frameCount ? info.encoderPadding : 0);
    return samples / first.sampleRate;
}

uint16_t LittleEndian16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// From the sample count of a "fact" chunk, else the blocks of the data (whole PCM frames, or compressed blocks of
// a known sample count), else the byte rate, which encoders write only roughly for compressed formats.
std::optional<double> WaveDuration(const FileHead& head) {
    const std::vector<uint8_t>& bytes = head.bytes;
    uint32_t rate = 0, bytesPerSecond = 0, factSamples = 0, samplesPerBlock = 0;
    uint16_t formatTag = 0, blockAlign = 0;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t size = LittleEndian32(&bytes[at + 4]);
        if (StartsWith(bytes, at, "fmt ") && at + 24 <= bytes.size()) {
            formatTag = LittleEndian16(&bytes[at + 8]);
            rate = LittleEndian32(&bytes[at + 12]);
            bytesPerSecond = LittleEndian32(&bytes[at + 16]);
            blockAlign = LittleEndian16(&bytes[at + 20]);
            if (size >= 20 && at + 30 <= bytes.size() && LittleEndian16(&bytes[at + 24]) >= 2)
                samplesPerBlock = LittleEndian16(&bytes[at + 26]);
        }
        if (StartsWith(bytes, at, "fact") && at + 12 <= bytes.size()) factSamples = LittleEndian32(&bytes[at + 8]);
        if (StartsWith(bytes, at, "data") && rate && bytesPerSecond) {
            const size_t available = head.fileSize - (at + 8);
            const double data = size < available ? size : available;
            if (formatTag != WAVE_FORMAT_PCM && factSamples) return double(factSamples) / rate;
            if (formatTag == WAVE_FORMAT_PCM && blockAlign) return std::floor(data / blockAlign) / rate;
            if (samplesPerBlock && blockAlign) return std::ceil(data / blockAlign) * samplesPerBlock / rate;
            return data / bytesPerSecond;
        }
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

} // namespace

bool IsMpegAudioFile(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos) {
        const char* extension = path.c_str() + dot;
        for (const char* mpeg : {".mp3", ".mp2", ".mpg", ".mpa"})
            if (strcasecmp(extension, mpeg) == 0) return true;
    }
    uint8_t start[4] = {};
    FILE* in = fopen(path.c_str(), "rb");
    if (!in) return false;
    const size_t got = fread(start, 1, sizeof start, in);
    fclose(in);
    return got == sizeof start && (memcmp(start, "ID3", 3) == 0 || IsFrameHeader(start));
}

std::optional<double> EstimateDurationSeconds(const std::string& path) {
    const FileHead head = ReadHead(path);
    if (StartsWith(head.bytes, 0, "RIFF") && StartsWith(head.bytes, 8, "WAVE")) return WaveDuration(head);
    return MpegDuration(path, head);
}
