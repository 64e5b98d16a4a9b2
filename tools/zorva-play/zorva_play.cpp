// zorva-play: plays one WAVE file as a static sound, or streams a WAVE or MPEG audio file, through ZORVA_Sound's
// exported functions.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "play_options.h"
#include "stream_file.h"
#include "zorva_sound.h"

namespace {

constexpr uint32_t kSlot = 0;
constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr uint32_t kDefaultStreamMs = 2000;

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

int Fail(const std::string& reason) {
    fprintf(stderr, "zorva-play: %s\n", reason.c_str());
    ZRVA_Release();
    return 1;
}

// The mix format of the device; the library converts every sound to it.
uint32_t StartDevice() { return ZRVA_Init(nullptr, 44100, 16, 2, 1, 0); }

// Without a sound card the device cannot start; unless the user chose an output, render the sound into a WAV
// file instead, so it can still be heard elsewhere.
constexpr char kFallbackOutput[] = "zorva-play.wav";

bool StartDeviceOrFallBack(const PlayOptions& options) {
    if (StartDevice()) return true;
    if (!options.output.empty() || getenv("ZORVA_OUTPUT")) return false;
    fprintf(stderr, "zorva-play: no sound device could be opened; rendering to %s instead\n", kFallbackOutput);
    setenv("ZORVA_OUTPUT", (std::string("wav:") + kFallbackOutput).c_str(), 1);
    return StartDevice() != 0;
}

bool ApplyControls(const PlayOptions& options) {
    if (options.volume && !ZRVA_SetVolume(kSlot, *options.volume)) return false;
    if (options.pan && !ZRVA_SetPan(kSlot, *options.pan)) return false;
    if (options.frequency && !ZRVA_SetFrequency(kSlot, *options.frequency)) return false;
    return true;
}

// Waits until the sound is over (its length has passed and the position stands still), Ctrl-C or --seconds.
void WaitWhilePlaying(const PlayOptions& options, uint32_t length) {
    const bool showProgress = isatty(STDOUT_FILENO);
    const auto start = std::chrono::steady_clock::now();
    uint32_t lastPosition = UINT32_MAX;
    while (!interrupted) {
        std::this_thread::sleep_for(kPollInterval);
        const uint32_t position = ZRVA_GetTimePos(kSlot);
        if (showProgress) {
            printf("\r%8u / %u ms ", position, length);
            fflush(stdout);
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (options.seconds && elapsed.count() >= *options.seconds) break;
        if (!options.loop && elapsed.count() * 1000 >= length && position == lastPosition) break;
        lastPosition = position;
    }
    if (showProgress) printf("\n");
}

// A stream has no position or length to ask for: show the time since play, and end a stream that does not loop
// once its estimated length and one buffer more (what the buffer still held, then at most one silent half) passed.
void WaitWhileStreaming(const PlayOptions& options, std::optional<double> estimate, uint32_t bufferMs) {
    const bool showProgress = isatty(STDOUT_FILENO);
    const auto start = std::chrono::steady_clock::now();
    std::optional<double> limit = options.seconds;
    if (!limit && !options.loop && estimate) limit = *estimate + bufferMs / 1000.0;
    while (!interrupted) {
        std::this_thread::sleep_for(kPollInterval);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (showProgress) {
            if (estimate)
                printf("\r%8.1f s (about %.1f s) ", elapsed.count(), *estimate);
            else
                printf("\r%8.1f s ", elapsed.count());
            fflush(stdout);
        }
        if (limit && elapsed.count() >= *limit) break;
    }
    if (showProgress) printf("\n");
}

int PlayStream(const PlayOptions& options, uint32_t bufferMs) {
    const std::optional<double> estimate = EstimateDurationSeconds(options.file);
    if (!options.loop && !options.seconds && !estimate)
        return Fail(options.file + ": its length cannot be estimated; give --seconds or --loop");
    if (!ZRVA_Open(kSlot, options.file.c_str(), nullptr, bufferMs))
        return Fail(options.file + ": not a WAVE or MPEG audio file that could be streamed through " +
                    std::to_string(bufferMs) + " ms (50 or more)");
    if (!ApplyControls(options)) return Fail("the stream's volume, pan or frequency could not be set");
    signal(SIGINT, OnInterrupt);
    if (!ZRVA_Play(kSlot, options.loop, options.loopOffset.value_or(0)))
        return Fail(options.file + ": the device would not play it");
    WaitWhileStreaming(options, estimate, bufferMs);
    ZRVA_Stop(kSlot);
    ZRVA_Close(kSlot);
    ZRVA_Release();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const std::optional<PlayOptions> options = ParsePlayOptions(argc, argv, error);
    if (!options) {
        fprintf(stderr, "zorva-play: %s\n%s", error.c_str(), kPlayUsage);
        return 2;
    }
    if (options->help) {
        fputs(kPlayUsage, stdout);
        return 0;
    }
    if (!options->output.empty()) setenv("ZORVA_OUTPUT", ("wav:" + options->output).c_str(), 1);

    const bool stream = options->streamMs || IsMpegAudioFile(options->file);
    if (options->loopOffset && !stream) return Fail("--loop-offset needs a stream (--stream MS)");

    if (!StartDeviceOrFallBack(*options)) return Fail("the sound device could not be started");
    if (stream) return PlayStream(*options, options->streamMs.value_or(kDefaultStreamMs));
    if (!ZRVA_Open(kSlot, options->file.c_str(), nullptr, 0))
        return Fail(options->file + ": not a PCM WAVE file that could be opened");
    if (!ApplyControls(*options)) return Fail("the sound's volume, pan or frequency could not be set");
    const uint32_t length = ZRVA_GetWaveTime(kSlot);

    signal(SIGINT, OnInterrupt);
    if (!ZRVA_Play(kSlot, options->loop, 0)) return Fail(options->file + ": the device would not play it");
    WaitWhilePlaying(*options, length);

    ZRVA_Stop(kSlot);
    ZRVA_Close(kSlot);
    ZRVA_Release();
    return 0;
}
