// Time per static open of a large WAVE file already in the page cache, against the floor of reading the same file
// into a fresh block and copying it once into another: what any open must do at least.
//   static_open_bench [--megabytes N] [--rounds N] [--directory DIR]
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "seams/sound_output.h"
#include "zorva_sound.h"

namespace {

using Clock = std::chrono::steady_clock;

struct BenchOptions {
    size_t megabytes = 100;
    int rounds = 15;
    std::string directory = "/tmp";
};

BenchOptions ParseOptions(int argc, char** argv) {
    BenchOptions options;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--megabytes")) options.megabytes = strtoul(argv[i + 1], nullptr, 10);
        if (!strcmp(argv[i], "--rounds")) options.rounds = atoi(argv[i + 1]);
        if (!strcmp(argv[i], "--directory")) options.directory = argv[i + 1];
    }
    return options;
}

void AppendU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A canonical 16-bit stereo 44.1 kHz WAVE of `dataBytes` sample bytes.
bool WriteWave(const std::string& path, uint32_t dataBytes) {
    std::vector<uint8_t> header;
    const uint8_t format[16] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
    header.insert(header.end(), {'R', 'I', 'F', 'F'});
    AppendU32(header, 36 + dataBytes);
    header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    AppendU32(header, 16);
    header.insert(header.end(), format, format + 16);
    header.insert(header.end(), {'d', 'a', 't', 'a'});
    AppendU32(header, dataBytes);
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = fwrite(header.data(), 1, header.size(), file) == header.size();
    std::vector<uint8_t> block(1 << 20);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(i * 31 + 7);
    for (uint32_t left = dataBytes; written && left;) {
        const uint32_t now = std::min<uint32_t>(left, block.size());
        written = fwrite(block.data(), 1, now, file) == now;
        left -= now;
    }
    return fclose(file) == 0 && written;
}

// The floor: read the whole file into a fresh block, copy it once into another, give the first block back.
// The copy stays alive past the timing, as a slot's buffer does.
double TimeReadAndCopy(const std::string& path, size_t fileBytes, std::vector<uint8_t*>& keep) {
    const auto start = Clock::now();
    const int fd = open(path.c_str(), O_RDONLY);
    auto* image = static_cast<uint8_t*>(malloc(fileBytes));
    size_t total = 0;
    for (ssize_t got; total < fileBytes && (got = read(fd, image + total, fileBytes - total)) > 0;)
        total += got;
    close(fd);
    auto* copy = static_cast<uint8_t*>(malloc(fileBytes));
    memcpy(copy, image, total);
    free(image);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    keep.push_back(copy);
    return seconds;
}

double TimeOpen(const std::string& path) {
    const auto start = Clock::now();
    const uint32_t opened = ZRVA_Open(0, path.c_str(), nullptr, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!opened) {
        fprintf(stderr, "static_open_bench: the library refused %s\n", path.c_str());
        exit(1);
    }
    return seconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const BenchOptions options = ParseOptions(argc, argv);
    const std::string path = options.directory + "/zorva_static_open_bench.wav";
    const uint32_t dataBytes = static_cast<uint32_t>(options.megabytes << 20);
    if (!WriteWave(path, dataBytes)) {
        fprintf(stderr, "static_open_bench: cannot write %s\n", path.c_str());
        return 1;
    }
    posix_win32::UseRenderOutput(); // no device thread competes with the timing
    if (!ZRVA_Init(nullptr, 44100, 16, 2, 1, 0)) return 1;

    std::vector<double> floor, opens;
    std::vector<uint8_t*> keep;
    TimeReadAndCopy(path, dataBytes + 44, keep); // warms the page cache
    for (int round = 0; round < options.rounds; ++round) {
        // Alternating the two keeps drifts in the machine's load from favouring either.
        floor.push_back(TimeReadAndCopy(path, dataBytes + 44, keep));
        free(keep.back());
        keep.clear();
        opens.push_back(TimeOpen(path));
        ZRVA_Close(0);
    }
    ZRVA_Release();
    unlink(path.c_str());

    const double floorMs = Median(floor) * 1000, openMs = Median(opens) * 1000;
    printf("static open of %zu MB from the page cache, median of %d rounds\n", options.megabytes, options.rounds);
    printf("  read + copy once (floor): %8.2f ms\n", floorMs);
    printf("  ZRVA_Open:                %8.2f ms\n", openMs);
    printf("  ratio open / floor:       %8.2f\n", openMs / floorMs);
    return 0;
}
