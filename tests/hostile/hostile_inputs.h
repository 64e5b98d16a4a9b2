// Hostile inputs: whole and cut-down sound files, scratch files and memory that ends at an unreadable page.
#pragma once

#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "wave/wave_bytes.h"

namespace hostile {

using wave_bytes::Bytes;

inline std::string Fixture(const char* name) { return std::string(ZORVA_FIXTURE_DIR "/") + name; }

inline Bytes ReadWholeFile(const std::string& path) {
    Bytes bytes;
    if (FILE* in = fopen(path.c_str(), "rb")) {
        uint8_t chunk[65536];
        for (size_t got; (got = fread(chunk, 1, sizeof chunk, in)) > 0;)
            bytes.insert(bytes.end(), chunk, chunk + got);
        fclose(in);
    }
    return bytes;
}

inline Bytes Prefix(const Bytes& bytes, size_t length) { return Bytes(bytes.begin(), bytes.begin() + length); }

// Every offset up to `dense`, then every `stride`-th one, then the whole length: the headers are cut at each
// byte, the body at a sample of places that still meets every frame and block boundary class.
inline std::vector<size_t> CutOffsets(size_t length, size_t dense, size_t stride) {
    std::vector<size_t> offsets;
    for (size_t n = 0; n <= length; n += n < dense ? 1 : stride)
        offsets.push_back(n);
    if (offsets.back() != length) offsets.push_back(length);
    return offsets;
}

// `readable` bytes that end directly at a page mapped without access: a read past them faults at once.
class GuardedMemory {
  public:
    explicit GuardedMemory(size_t readable) : readable_(readable) {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const size_t pages = (readable + page - 1) / page + 1;
        mappedBytes_ = pages * page;
        void* mapped = mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        mapped_ = mapped == MAP_FAILED ? nullptr : static_cast<uint8_t*>(mapped);
        if (mapped_) mprotect(mapped_ + mappedBytes_ - page, page, PROT_NONE);
    }
    ~GuardedMemory() {
        if (mapped_) munmap(mapped_, mappedBytes_);
    }
    GuardedMemory(const GuardedMemory&) = delete;
    GuardedMemory& operator=(const GuardedMemory&) = delete;

    bool valid() const { return mapped_ != nullptr; }
    // The first readable byte; the region is `readable` bytes long.
    uint8_t* begin() const { return mapped_ + mappedBytes_ - static_cast<size_t>(sysconf(_SC_PAGESIZE)) - readable_; }
    // Copies `bytes` to the very end of the region, so the last one is followed by the unreadable page.
    const uint8_t* PlaceAtEnd(const Bytes& bytes) const {
        uint8_t* at = begin() + readable_ - bytes.size();
        if (!bytes.empty()) memcpy(at, bytes.data(), bytes.size());
        return at;
    }
    // Zeroes the region and copies `bytes` to its start.
    const uint8_t* PlaceAtStart(const Bytes& bytes) const {
        memset(begin(), 0, readable_);
        if (!bytes.empty()) memcpy(begin(), bytes.data(), bytes.size());
        return begin();
    }

  private:
    size_t readable_;
    size_t mappedBytes_ = 0;
    uint8_t* mapped_ = nullptr;
};

// The memory reader compares four bytes at every offset below 1,015,560: this many bytes are all it may touch
// in an image that lacks a tag.
constexpr size_t kMemorySearchBytes = 1015560 + 3;

} // namespace hostile
