// zorva-play: plays one WAVE file as a static sound, or streams a WAVE or MPEG audio file, through ZORVA_Sound's
// exported functions.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <thread>

#include "output_choice.h"
#include "play_options.h"
#include "progress_line.h"
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

// Without a sound card there is nothing to play on; unless the user chose an output, the sound is rendered into a
// WAV file instead, so it can still be heard elsewhere. A machine with neither a card nor a sound server is not
// probed at all; a device that is there but fails to start is fallen back from.
constexpr char kFallbackOutput[] = "zorva-play.wav";

bool StartDeviceOrFallBack(const PlayOptions& options) {
    const bool userChose = !options.output.empty() || getenv("ZORVA_OUTPUT");
    if (!userChose && ChooseFileOutputWithoutSoundDevice(kFallbackOutput)) {
        fprintf(stderr, "zorva-play: no sound device; rendering to %s instead\n", kFallbackOutput);
        return StartDevice() != 0;
    }
    if (StartDevice()) return true;
    if (userChose) return false;
    fprintf(stderr, "zorva-play: the sound device could not be opened; rendering to %s instead\n", kFallbackOutput);
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
    ProgressLine progress;
    const auto start = std::chrono::steady_clock::now();
    uint32_t lastPosition = UINT32_MAX;
    while (!interrupted) {
        std::this_thread::sleep_for(kPollInterval);
        const uint32_t position = ZRVA_GetTimePos(kSlot);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        // A one-shot buffer that has played out reads 0 again: it has been heard whole.
        const bool over = !options.loop && elapsed.count() * 1000 >= length && position == lastPosition;
        progress.Show((over ? length : position) / 1000.0, length / 1000.0, options.loop);
        if (options.seconds && elapsed.count() >= *options.seconds) break;
        if (over) break;
        lastPosition = position;
    }
    progress.Finish();
}

// A stream has no position or length to ask for: the time since play stands against the length the file tells,
// and a stream that does not loop ends once that has been heard, with a little more for the output's latency.
constexpr double kPlayOutSeconds = 0.25;

void WaitWhileStreaming(const PlayOptions& options, std::optional<double> length) {
    ProgressLine progress;
    const auto start = std::chrono::steady_clock::now();
    std::optional<double> limit = options.seconds;
    if (!limit && !options.loop && length) limit = *length + kPlayOutSeconds;
    while (!interrupted) {
        std::this_thread::sleep_for(kPollInterval);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        progress.Show(elapsed.count(), length, options.loop);
        if (limit && elapsed.count() >= *limit) break;
    }
    progress.Finish();
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
    WaitWhileStreaming(options, estimate);
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
