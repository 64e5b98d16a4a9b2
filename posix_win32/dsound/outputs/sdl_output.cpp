// Real sound through an SDL2 audio device: SDL's callback thread pulls the mix. A watcher follows the device as a
// desktop player does: when the sound server goes away, the mix goes on at the real-time pace and is dropped, so
// cursors, loops and refills carry on; the default device is tried again every 250 ms and the mix continues there.
#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "dsound/outputs/output_device.h"
#include "dsound/outputs/paced_render_thread.h"
#include "platform_log.h"

namespace posix_win32 {
namespace {

constexpr auto kWatchInterval = std::chrono::milliseconds(50);
constexpr auto kReopenInterval = std::chrono::milliseconds(250);

class SdlOutput final : public OutputDevice {
  public:
    explicit SdlOutput(Mixer& mixer) : mixer(mixer), standIn(mixer, [](const void*, size_t) {}) {}
    ~SdlOutput() override {
        Stop();
        Close();
    }

    bool Open(const PcmFormat& opened) override {
        Stop();
        Close();
        // Only the audio subsystem: the host may use SDL for video itself, and the subsystem count is SDL's own.
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            PlatformLog("output sdl: no audio driver could be started: %s", SDL_GetError());
            return false;
        }
        subsystemStarted = true;
        format = opened;
        if (!OpenDevice()) {
            PlatformLog("output sdl (driver %s): the default device could not be opened: %s", DriverName(),
                        SDL_GetError());
            Close();
            return false;
        }
        return true;
    }

    bool Start() override {
        if (device == 0) return false;
        SDL_PauseAudioDevice(device, 0);
        {
            std::lock_guard lock(watchMutex);
            stopping = false;
        }
        watcher = std::thread([this] { Watch(); });
        return true;
    }

    // SDL takes the device lock to pause, and the stand-in's thread is joined, so no pull runs once this returns.
    void Stop() override {
        if (watcher.joinable()) {
            {
                std::lock_guard lock(watchMutex);
                stopping = true;
            }
            wake.notify_all();
            watcher.join();
        }
        standIn.Stop();
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

    static const char* DriverName() {
        const char* driver = SDL_GetCurrentAudioDriver();
        return driver ? driver : "none";
    }

    static void SDLCALL Pull(void* userdata, Uint8* stream, int bytes) {
        SdlOutput* self = static_cast<SdlOutput*>(userdata);
        self->mixer.Render(stream, size_t(bytes) / self->blockAlign);
    }

    // Opens the default device, paused, for the format; SDL converts when the hardware wants another one, so the
    // mix format is always the one asked for.
    bool OpenDevice() {
        SDL_AudioSpec wanted = {};
        wanted.freq = int(format.rate);
        wanted.format = format.bits == 8 ? AUDIO_U8 : AUDIO_S16SYS;
        wanted.channels = uint8_t(format.channels);
        wanted.samples = PeriodFrames(format);
        wanted.callback = &SdlOutput::Pull;
        wanted.userdata = this;
        blockAlign = format.BlockAlign();
        SDL_AudioSpec obtained;
        device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (device == 0) return false;
        PlatformLog("output sdl (driver %s): %u Hz, %u-bit, %u channels mixed; the device runs %d Hz, %u channels, "
                    "%u frames a period",
                    DriverName(), format.rate, format.bits, format.channels, obtained.freq, obtained.channels,
                    obtained.samples);
        return true;
    }

    void CloseDevice() {
        if (device != 0) SDL_CloseAudioDevice(device);
        device = 0;
    }

    // SDL's PulseAudio driver keeps one connection to the server for the subsystem's life: a new server is reached
    // only through a new subsystem.
    bool RestartSubsystem() {
        if (subsystemStarted) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        return subsystemStarted;
    }

    void Close() {
        CloseDevice();
        if (subsystemStarted) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted = false;
    }

    // The watcher's thread: a lost device is closed and the stand-in takes over the mix until a device opens again.
    void Watch() {
        using Clock = std::chrono::steady_clock;
        Clock::time_point lostAt, nextTry;
        std::unique_lock lock(watchMutex);
        while (!wake.wait_for(lock, kWatchInterval, [this] { return stopping; })) {
            if (device != 0) {
                if (SDL_GetAudioDeviceStatus(device) != SDL_AUDIO_STOPPED) continue;
                CloseDevice();
                standIn.Start(format);
                lostAt = Clock::now();
                nextTry = lostAt + kReopenInterval;
                PlatformLog("output sdl: the sound device was lost; mixing on without it");
                continue;
            }
            if (Clock::now() < nextTry) continue;
            nextTry = Clock::now() + kReopenInterval;
            if (!RestartSubsystem() || !OpenDevice()) continue;
            standIn.Stop();
            SDL_PauseAudioDevice(device, 0);
            const std::chrono::duration<double> away = Clock::now() - lostAt;
            PlatformLog("output sdl: a sound device was found again after %.2f s", away.count());
        }
    }

    Mixer& mixer;
    PacedRenderThread standIn; // mixes at the real-time pace while no device is open
    PcmFormat format;
    SDL_AudioDeviceID device = 0;
    bool subsystemStarted = false;
    uint16_t blockAlign = 1;
    std::mutex watchMutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread watcher;
};

} // namespace

std::unique_ptr<OutputDevice> CreateSdlOutput(Mixer& mixer) { return std::make_unique<SdlOutput>(mixer); }

} // namespace posix_win32
