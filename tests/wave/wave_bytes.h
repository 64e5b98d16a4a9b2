// Builders for RIFF/WAVE byte images and the temporary files that hold them.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "dsound/outputs/wave_header.h"

namespace wave_bytes {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
inline void AppendTag(Bytes& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }
inline void AppendU16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
inline void AppendU32(Bytes& out, uint32_t value) {
    AppendU16(out, static_cast<uint16_t>(value));
    AppendU16(out, static_cast<uint16_t>(value >> 16));
}

inline Bytes Chunk(const char* tag, const Bytes& body) {
    Bytes out;
    AppendTag(out, tag);
    AppendU32(out, static_cast<uint32_t>(body.size()));
    Append(out, body);
    return out;
}

struct PcmFormat {
    uint16_t formatTag = 1;
    uint16_t channels = 2;
    uint32_t samplesPerSec = 44100;
    uint16_t bitsPerSample = 16;
};

// A "fmt " body of `bodyBytes` bytes (16, 18, 40 ...); bytes past the 16 PCM ones are filled with 0xEE.
inline Bytes FormatBody(const PcmFormat& format = {}, size_t bodyBytes = 16) {
    Bytes body;
    const uint16_t blockAlign = static_cast<uint16_t>(format.channels * format.bitsPerSample / 8);
    AppendU16(body, format.formatTag);
    AppendU16(body, format.channels);
    AppendU32(body, format.samplesPerSec);
    AppendU32(body, format.samplesPerSec * blockAlign);
    AppendU16(body, blockAlign);
    AppendU16(body, format.bitsPerSample);
    body.resize(bodyBytes, 0xEE);
    return body;
}

// Distinct, recognisable sample bytes.
inline Bytes Samples(size_t count, uint8_t seed = 1) {
    Bytes samples(count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = static_cast<uint8_t>(seed + i * 7);
    return samples;
}

// "RIFF", a size, "WAVE", then the chunks as given.
inline Bytes Riff(const std::vector<Bytes>& chunks) {
    Bytes body;
    AppendTag(body, "WAVE");
    for (const Bytes& chunk : chunks)
        Append(body, chunk);
    return Chunk("RIFF", body);
}

// The canonical 44-byte-header file: RIFF, "fmt " of 16 bytes, "data", with the header the WAV output writes.
inline Bytes CanonicalWave(const Bytes& samples, const PcmFormat& format = {}) {
    WAVEFORMATEX wave = {};
    wave.wFormatTag = format.formatTag;
    wave.nChannels = format.channels;
    wave.nSamplesPerSec = format.samplesPerSec;
    wave.nBlockAlign = static_cast<WORD>(format.channels * format.bitsPerSample / 8);
    wave.nAvgBytesPerSec = format.samplesPerSec * wave.nBlockAlign;
    wave.wBitsPerSample = format.bitsPerSample;
    Bytes file(posix_win32::kWaveHeaderBytes);
    posix_win32::WriteWaveHeader(wave, static_cast<uint32_t>(samples.size()), file.data());
    Append(file, samples);
    return file;
}

// A file in the temporary directory holding the given bytes, removed again with the object.
class TemporaryFile {
  public:
    explicit TemporaryFile(const Bytes& bytes) {
        char pattern[] = "/tmp/zorva-wave-XXXXXX";
        const int fd = mkstemp(pattern);
        path_ = pattern;
        if (fd >= 0) {
            if (!bytes.empty() && write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
                path_.clear();
            close(fd);
        }
    }
    ~TemporaryFile() {
        if (!path_.empty()) unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const char* path() const { return path_.c_str(); }

  private:
    std::string path_;
};

} // namespace wave_bytes
