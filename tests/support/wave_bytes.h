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

// The canonical file with the 44-byte header the WAV output writes.
inline Bytes CanonicalWave(const void* samples, size_t bytes, uint16_t channels = 2, uint32_t rate = 44100,
                           uint16_t bits = 16) {
    const WORD blockAlign = static_cast<WORD>(channels * bits / 8);
    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, channels, rate, rate * blockAlign, blockAlign, bits, 0};
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
