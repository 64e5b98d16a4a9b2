// The scenario host on a driven clock: each sleep renders the mix 10 ms at a time and then runs 10 ms of timer
// calls, so a script's timing is exact and its capture is the mix itself, in the device's format. Each 100 ms of it
// is summed up in a render transcript (the extremes of each channel, levels a reader can work out) held against a
// stored one.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "interface/sound_device.h"

#include "seams/sound_output.h"
#include "seams/timer_clock.h"

extern "C" {
#include "scenario_runner.h"
}

namespace {
constexpr int kStepsPerWindow = 10;

double now = 0;
int steps = 0;
std::vector<uint8_t> capture; // as the device mixes; 16-bit stereo at 44.1 kHz where the audio expectations look
size_t windowStart = 0;
std::string renders;

// Extremes of each channel of a window mixed as `format` (the last step's).
void SummariseWindow(const WAVEFORMATEX& format) {
    const uint8_t* bytes = capture.data() + windowStart;
    const size_t size = capture.size() - windowStart, width = format.wBitsPerSample / 8;
    int low[2] = {INT_MAX, INT_MAX}, high[2] = {INT_MIN, INT_MIN};
    for (size_t at = 0, channel = 0; at + width <= size; at += width, channel = (channel + 1) % format.nChannels) {
        const int sample = width == 2 ? int16_t(bytes[at] | bytes[at + 1] << 8) : bytes[at];
        low[channel] = std::min(low[channel], sample), high[channel] = std::max(high[channel], sample);
    }
    char line[128];
    int used = snprintf(line, sizeof line, "%6d ms  %5lu/%d/%d  L %6d..%-6d", steps * 10 - 100,
                        static_cast<unsigned long>(format.nSamplesPerSec), format.wBitsPerSample, format.nChannels,
                        low[0], high[0]);
    if (format.nChannels == 2) used += snprintf(line + used, sizeof line - used, " R %6d..%-6d", low[1], high[1]);
    snprintf(line + used, sizeof line - used, "\n");
    renders += line;
    windowStart = capture.size();
}

} // namespace

extern "C" void LoadSoundApi(ZRVA_FunctionTable* api) {
    posix_win32::UseRenderOutput();
    posix_win32::UseManualTimerClock();
    ZRVA_GetFunction(reinterpret_cast<void**>(api));
}

extern "C" double NowMilliseconds(void) { return now; }

extern "C" void SleepMilliseconds(double milliseconds) {
    for (; milliseconds >= 10; milliseconds -= 10, now += 10) {
        // Before start-up and after release nothing renders: the capture keeps its silence.
        static const WAVEFORMATEX kSilence = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
        const WAVEFORMATEX& format = soundDevice.device ? soundDevice.primaryFormat : kSilence;
        const size_t frames = format.nSamplesPerSec / 100, first = capture.size();
        capture.resize(first + frames * format.nBlockAlign, format.wBitsPerSample == 8 ? 0x80 : 0);
        posix_win32::RenderFrames(capture.data() + first, frames);
        posix_win32::AdvanceTimerClock(10);
        if (++steps % kStepsPerWindow == 0) SummariseWindow(format);
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
    if (capturePath) failures += !WriteWholeFile(capturePath, capture.data(), capture.size());
    if (rendersPath) failures += !WriteWholeFile(rendersPath, renders.data(), renders.size());
    if (expectedPath) {
        char* expected = ReadWholeFile(expectedPath, nullptr);
        failures += !expected || !CompareTranscript("render transcript", renders.c_str(), expected);
        free(expected);
    }
    return failures;
}
