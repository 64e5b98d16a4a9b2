// The scenario host on a driven clock: each sleep renders the mix 10 ms at a time and then runs 10 ms of timer
// calls, so a script's timing is exact and its capture is the mix itself. Each 100 ms of the capture is summed up
// in a render transcript (extremes per channel and a CRC of the samples) that can be held against a stored one.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "seams/sound_output.h"
#include "seams/timer_clock.h"

extern "C" {
#include "host_platform.h"
}

namespace {
constexpr size_t kFramesPerStep = 441; // 10 ms of the scripts' 44.1 kHz stereo output
constexpr size_t kStepsPerWindow = 10;

double now = 0;
std::vector<int16_t> capture;
std::string renders;

uint32_t Crc32(const int16_t* samples, size_t count) {
    uint32_t crc = 0xFFFFFFFFu;
    const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
    for (size_t i = 0; i < count * 2; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void SummariseWindow(size_t firstFrame, size_t frames) {
    const int16_t* samples = capture.data() + firstFrame * 2;
    int low[2] = {0, 0}, high[2] = {0, 0};
    for (size_t i = 0; i < frames * 2; ++i) {
        low[i % 2] = samples[i] < low[i % 2] ? samples[i] : low[i % 2];
        high[i % 2] = samples[i] > high[i % 2] ? samples[i] : high[i % 2];
    }
    char line[96];
    snprintf(line, sizeof line, "%6zu ms  L %6d..%-6d R %6d..%-6d crc %08x\n", firstFrame / 441 * 10, low[0], high[0],
             low[1], high[1], static_cast<unsigned>(Crc32(samples, frames * 2)));
    renders += line;
}

bool WriteFile(const char* path, const void* bytes, size_t size) {
    FILE* file = fopen(path, "wb");
    if (!file) return false;
    const bool written = fwrite(bytes, 1, size, file) == size;
    return fclose(file) == 0 && written;
}

std::string ReadFile(const char* path) {
    std::string text;
    if (FILE* file = fopen(path, "rb")) {
        char chunk[4096];
        for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;)
            text.append(chunk, got);
        fclose(file);
    }
    return text;
}
} // namespace

extern "C" int LoadSoundApi(ZRVA_FunctionTable* api) {
    posix_win32::UseRenderOutput();
    posix_win32::UseManualTimerClock();
    ZRVA_GetFunction(reinterpret_cast<void**>(api));
    return 1;
}

extern "C" double NowMilliseconds(void) { return now; }

extern "C" void SleepMilliseconds(double milliseconds) {
    for (; milliseconds >= 10; milliseconds -= 10, now += 10) {
        const size_t first = capture.size() / 2;
        capture.resize(capture.size() + kFramesPerStep * 2, 0);
        // Before start-up and after release nothing renders: the capture keeps its silence.
        posix_win32::RenderFrames(capture.data() + first * 2, kFramesPerStep);
        posix_win32::AdvanceTimerClock(10);
        const size_t windowFrames = kFramesPerStep * kStepsPerWindow;
        if ((first / kFramesPerStep + 1) % kStepsPerWindow == 0)
            SummariseWindow(first + kFramesPerStep - windowFrames, windowFrames);
    }
}

extern "C" const char* PlatformName(void) { return "portable"; }

// Writes the capture (raw, as the sound server's) for the audio expectations, and the render transcript; a difference
// from the stored transcript (ZORVA_RENDERS_EXPECTED) counts as one failure.
extern "C" int FinishCapture(void) {
    const char* capturePath = getenv("ZORVA_CAPTURE");
    const char* rendersPath = getenv("ZORVA_RENDERS");
    const char* expectedPath = getenv("ZORVA_RENDERS_EXPECTED");
    int failures = 0;
    if (capturePath) failures += !WriteFile(capturePath, capture.data(), capture.size() * 2);
    if (rendersPath) failures += !WriteFile(rendersPath, renders.data(), renders.size());
    if (expectedPath) {
        const std::string expected = ReadFile(expectedPath);
        size_t at = 0, lineStart = 0, line = 1;
        for (; at < renders.size() && at < expected.size() && renders[at] == expected[at]; ++at)
            if (renders[at] == '\n') lineStart = at + 1, ++line;
        if (at < renders.size() || at < expected.size()) {
            auto lineOf = [lineStart](const std::string& text) {
                return lineStart < text.size() ? text.substr(lineStart, text.find('\n', lineStart) - lineStart) : "";
            };
            printf("render transcript line %zu differs:\n  here:     %s\n  expected: %s\n", line,
                   lineOf(renders).c_str(), lineOf(expected).c_str());
            ++failures;
        }
    }
    return failures;
}
