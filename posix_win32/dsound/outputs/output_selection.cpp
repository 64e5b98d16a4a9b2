#include <stdlib.h>
#include <string.h>

#include <atomic>

#include "dsound/outputs/output_device.h"
#include "platform_log.h"
#include "seams/sound_output.h"

namespace posix_win32 {
namespace {

std::atomic<bool> renderOnDemand{false};

} // namespace

void UseRenderOutput() { renderOnDemand = true; }

void UseEnvironmentOutput() { renderOnDemand = false; }

OutputChoice ParseOutputChoice(const char* value) {
    using Kind = OutputChoice::Kind;
    if (!value || strcmp(value, "sdl") == 0) return {Kind::Sdl, {}};
    if (strcmp(value, "null") == 0) return {Kind::Null, {}};
    if (strncmp(value, "wav:", 4) == 0 && value[4] != '\0') return {Kind::WavFile, value + 4};
    return {Kind::Invalid, {}};
}

OutputChoice CurrentOutputChoice() {
    if (renderOnDemand) return {OutputChoice::Kind::Render, {}};
    return ParseOutputChoice(getenv("ZORVA_OUTPUT"));
}

std::unique_ptr<OutputDevice> CreateOutputDevice(const OutputChoice& choice, Mixer& mixer) {
    switch (choice.kind) {
    case OutputChoice::Kind::Render: return CreateRenderOutput(mixer);
    case OutputChoice::Kind::Sdl: PlatformLog("output sdl chosen"); return CreateSdlOutput(mixer);
    case OutputChoice::Kind::Null:
        PlatformLog("output null chosen: the mix is made in real time and dropped");
        return CreateNullOutput(mixer);
    case OutputChoice::Kind::WavFile:
        PlatformLog("output wav chosen: the mix goes to %s in real time", choice.path.c_str());
        return CreateWavFileOutput(mixer, choice.path);
    case OutputChoice::Kind::Invalid: break;
    }
    PlatformLog("ZORVA_OUTPUT=%s names no output (sdl, null or wav:PATH)", getenv("ZORVA_OUTPUT"));
    return nullptr;
}

} // namespace posix_win32
