// Writes the mix into a RIFF/WAVE file at the real-time pace, for machines without sound hardware.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "dsound/outputs/output_device.h"
#include "dsound/outputs/paced_render_thread.h"
#include "dsound/outputs/wave_header.h"
#include "platform_log.h"

namespace posix_win32 {
namespace {

// RIFF sizes are 32-bit: past this the file keeps its length and the rest of the mix is dropped.
constexpr uint32_t kMaxDataBytes = 0xFFFFFFFFu - kWaveHeaderBytes;

class WavFileOutput final : public OutputDevice {
  public:
    WavFileOutput(Mixer& mixer, std::string path)
        : path(std::move(path)), pacer(mixer, [this](const void* frames, size_t bytes) { Append(frames, bytes); }) {}
    ~WavFileOutput() override { Close(); }

    // Each open starts the file afresh, so a format change leaves one consistent file.
    bool Open(const PcmFormat& opened) override {
        Close();
        file = fopen(path.c_str(), "wb");
        if (!file) {
            PlatformLog("output wav: %s could not be written: %s", path.c_str(), strerror(errno));
            return false;
        }
        format = opened;
        dataBytes = 0;
        WriteHeader();
        return true;
    }

    bool Start() override {
        if (!file) return false;
        pacer.Start(format);
        return true;
    }

    void Stop() override { pacer.Stop(); }

  private:
    void Append(const void* frames, size_t bytes) {
        if (bytes > kMaxDataBytes - dataBytes) bytes = kMaxDataBytes - dataBytes;
        dataBytes += uint32_t(fwrite(frames, 1, bytes, file));
    }

    void WriteHeader() {
        uint8_t header[kWaveHeaderBytes];
        WriteWaveHeader(WaveFormatOf(format), dataBytes, header);
        fseek(file, 0, SEEK_SET);
        fwrite(header, 1, sizeof header, file);
        fseek(file, 0, SEEK_END);
    }

    // The sizes in the header are only right once the last block is in.
    void Close() {
        pacer.Stop();
        if (!file) return;
        WriteHeader();
        fclose(file);
        file = nullptr;
    }

    std::string path;
    FILE* file = nullptr;
    PcmFormat format;
    uint32_t dataBytes = 0;
    PacedRenderThread pacer;
};

} // namespace

std::unique_ptr<OutputDevice> CreateWavFileOutput(Mixer& mixer, const std::string& path) {
    return std::make_unique<WavFileOutput>(mixer, path);
}

} // namespace posix_win32
