// The scenario host on a driven clock: each sleep renders the mix 10 ms at a time and then runs 10 ms of timer
// calls, so a script's timing is exact and its capture is the mix itself, in the device's format.
#include <stdlib.h>

#include <vector>

#include "interface/sound_device.h"

#include "seams/sound_output.h"
#include "seams/timer_clock.h"

extern "C" {
#include "scenario_runner.h"
}

namespace {
double now = 0;
std::vector<uint8_t> capture; // as the device mixes; 16-bit stereo at 44.1 kHz where the audio expectations look
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
    }
}

extern "C" const char* PlatformName(void) { return "portable"; }

// Writes the capture (raw, as the sound server's) for the audio expectations.
extern "C" int FinishCapture(void) {
    const char* capturePath = getenv("ZORVA_CAPTURE");
    return capturePath && !WriteWholeFile(capturePath, capture.data(), capture.size());
}
