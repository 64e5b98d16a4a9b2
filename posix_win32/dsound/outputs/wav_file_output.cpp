// Writes the mix into a RIFF/WAVE file at the real-time pace, for machines without sound hardware.
#include <stdio.h>
#include <string.h>

#include "dsound/outputs/output_device.h"
#include "dsound/outputs/paced_render_thread.h"

namespace posix_win32 {
namespace {

constexpr uint32_t kHeaderBytes = 44;
// RIFF sizes are 32-bit: past this the file keeps its length and the rest of the mix is dropped.
constexpr uint32_t kMaxDataBytes = 0xFFFFFFFFu - kHeaderBytes;

void PutLittleEndian(uint8_t* out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[i] = uint8_t(value >> (8 * i));
}

class WavFileOutput final : public OutputDevice {
  public:
    WavFileOutput(Mixer& mixer, std::string path)
        : path(std::move(path)), pacer(mixer, [this](const void* frames, size_t bytes) { Append(frames, bytes); }) {}
    ~WavFileOutput() override { Close(); }

    // Each open starts the file afresh, so a format change leaves one consistent file.
    bool Open(const PcmFormat& opened) override {
        Close();
        file = fopen(path.c_str(), "wb");
        if (!file) return false;
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
        uint8_t header[kHeaderBytes];
        memcpy(header, "RIFF", 4);
        PutLittleEndian(header + 4, kHeaderBytes - 8 + dataBytes, 4);
        memcpy(header + 8, "WAVEfmt ", 8);
        PutLittleEndian(header + 16, 16, 4);
        PutLittleEndian(header + 20, WAVE_FORMAT_PCM, 2);
        PutLittleEndian(header + 22, format.channels, 2);
        PutLittleEndian(header + 24, format.rate, 4);
        PutLittleEndian(header + 28, format.rate * format.BlockAlign(), 4);
        PutLittleEndian(header + 32, format.BlockAlign(), 2);
        PutLittleEndian(header + 34, format.bits, 2);
        memcpy(header + 36, "data", 4);
        PutLittleEndian(header + 40, dataBytes, 4);
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
