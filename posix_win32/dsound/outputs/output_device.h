// Where the mix goes: a small contract that every output implements, and the factory that picks one.
#pragma once

#include <memory>
#include <string>

#include "dsound/mixer/mixer.h"
#include "dsound/mixer/pcm_format.h"

namespace posix_win32 {

// Outputs only move frames: they pull them from the mixer in its output format.
class OutputDevice {
  public:
    virtual ~OutputDevice() = default;
    // Opens for `format`, closing whatever was open; false when the output cannot be opened.
    virtual bool Open(const PcmFormat& format) = 0;
    // Starts pulling frames; Stop returns only once no pull is in progress.
    virtual bool Start() = 0;
    virtual void Stop() = 0;
};

struct OutputChoice {
    enum class Kind { Render, Sdl, Null, WavFile, Invalid };
    Kind kind = Kind::Sdl;
    std::string path;
};

// Reads a ZORVA_OUTPUT value: null or "sdl", "null", "wav:PATH"; anything else is Invalid.
OutputChoice ParseOutputChoice(const char* value);
// The choice for a device created now: the on-demand render after UseRenderOutput, else the environment's.
OutputChoice CurrentOutputChoice();

// Null for an Invalid choice.
std::unique_ptr<OutputDevice> CreateOutputDevice(const OutputChoice& choice, Mixer& mixer);

std::unique_ptr<OutputDevice> CreateRenderOutput(Mixer& mixer);
std::unique_ptr<OutputDevice> CreateSdlOutput(Mixer& mixer);
std::unique_ptr<OutputDevice> CreateNullOutput(Mixer& mixer);
std::unique_ptr<OutputDevice> CreateWavFileOutput(Mixer& mixer, const std::string& path);

} // namespace posix_win32
