// RIFF/WAVE byte images for tests, and the temporary files that hold them.
#pragma once

#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dsound/outputs/wave_header.h"

namespace wave_bytes {

using Bytes = std::vector<uint8_t>;

inline void AppendU32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline Bytes Chunk(const char* tag, const Bytes& body) {
    Bytes out(tag, tag + 4);
    AppendU32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A "fmt " body: PCM of `channels` and `bits` at 44.1 kHz under `tag`, grown to `bodyBytes` with 0xEE.
inline Bytes FormatBody(uint16_t tag = 1, uint16_t channels = 2, uint16_t bits = 16, size_t bodyBytes = 16) {
    const uint16_t blockAlign = static_cast<uint16_t>(channels * bits / 8);
    Bytes body = {uint8_t(tag), uint8_t(tag >> 8), uint8_t(channels), 0};
    AppendU32(body, 44100);
    AppendU32(body, 44100u * blockAlign);
    body.insert(body.end(), {uint8_t(blockAlign), 0, uint8_t(bits), 0});
    body.resize(bodyBytes, 0xEE);
    return body;
}

// "RIFF", a size, "WAVE", then the chunks as given.
inline Bytes Riff(const std::vector<Bytes>& chunks) {
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& chunk : chunks)
        body.insert(body.end(), chunk.begin(), chunk.end());
    return Chunk("RIFF", body);
}

// The canonical file with the 44-byte header the WAV output writes.
inline Bytes CanonicalWave(const void* samples, size_t bytes, uint16_t channels = 2, uint32_t rate = 44100) {
    const WORD blockAlign = static_cast<WORD>(channels * 2);
    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, channels, rate, rate * blockAlign, blockAlign, 16, 0};
    Bytes file(posix_win32::kWaveHeaderBytes);
    posix_win32::WriteWaveHeader(format, static_cast<uint32_t>(bytes), file.data());
    file.insert(file.end(), static_cast<const uint8_t*>(samples), static_cast<const uint8_t*>(samples) + bytes);
    return file;
}

// The whole of a file; empty when it cannot be read.
inline Bytes ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(in), {}};
}

// A file in the temporary directory holding the given bytes, removed again with the object.
class TemporaryFile {
  public:
    explicit TemporaryFile(const Bytes& bytes) {
        char pattern[] = "/tmp/zorva-test-XXXXXX";
        const int fd = mkstemp(pattern);
        path_ = pattern;
        if (fd >= 0 && write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) path_.clear();
        if (fd >= 0) close(fd);
    }
    ~TemporaryFile() { unlink(path_.c_str()); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const char* path() const { return path_.c_str(); }

  private:
    std::string path_;
};

} // namespace wave_bytes
