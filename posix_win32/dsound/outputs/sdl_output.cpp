// Real sound through an SDL2 audio device: SDL's callback thread pulls the mix.
#include <SDL.h>

#include "dsound/outputs/output_device.h"

namespace posix_win32 {
namespace {

class SdlOutput final : public OutputDevice {
  public:
    explicit SdlOutput(Mixer& mixer) : mixer(mixer) {}
    ~SdlOutput() override { Close(); }

    bool Open(const PcmFormat& format) override {
        Close();
        // Only the audio subsystem: the host may use SDL for video itself, and the subsystem count is SDL's own.
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        subsystemStarted = true;
        SDL_AudioSpec wanted = {};
        wanted.freq = int(format.rate);
        wanted.format = format.bits == 8 ? AUDIO_U8 : AUDIO_S16SYS;
        wanted.channels = uint8_t(format.channels);
        wanted.samples = PeriodFrames(format);
        wanted.callback = &SdlOutput::Pull;
        wanted.userdata = this;
        blockAlign = format.BlockAlign();
        // SDL converts when the hardware wants another format, so the mix format is always the one asked for.
        SDL_AudioSpec obtained;
        device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (device == 0) {
            Close();
            return false;
        }
        return true;
    }

    bool Start() override {
        if (device == 0) return false;
        SDL_PauseAudioDevice(device, 0);
        return true;
    }

    // SDL takes the device lock to pause, so no callback runs once this returns.
    void Stop() override {
        if (device != 0) SDL_PauseAudioDevice(device, 1);
    }

  private:
    // A power of two near a mixing block, so one device period is about one block.
    static uint16_t PeriodFrames(const PcmFormat& format) {
        uint32_t frames = 64;
        while (frames < format.BlockFrames() && frames < 8192)
            frames *= 2;
        return uint16_t(frames);
    }

    static void SDLCALL Pull(void* userdata, Uint8* stream, int bytes) {
        SdlOutput* self = static_cast<SdlOutput*>(userdata);
        self->mixer.Render(stream, size_t(bytes) / self->blockAlign);
    }

    void Close() {
        if (device != 0) SDL_CloseAudioDevice(device);
        device = 0;
        if (subsystemStarted) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted = false;
    }

    Mixer& mixer;
    SDL_AudioDeviceID device = 0;
    bool subsystemStarted = false;
    uint16_t blockAlign = 1;
};

} // namespace

std::unique_ptr<OutputDevice> CreateSdlOutput(Mixer& mixer) { return std::make_unique<SdlOutput>(mixer); }

} // namespace posix_win32
