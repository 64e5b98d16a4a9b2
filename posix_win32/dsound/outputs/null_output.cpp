// Discards the mix at the real-time pace, so cursors move as on a machine with sound.
#include "dsound/outputs/output_device.h"
#include "dsound/outputs/paced_render_thread.h"

namespace posix_win32 {
namespace {

class NullOutput final : public OutputDevice {
  public:
    explicit NullOutput(Mixer& mixer) : pacer(mixer, [](const void*, size_t) {}) {}
    bool Open(const PcmFormat& opened) override {
        pacer.Stop();
        format = opened;
        return true;
    }
    bool Start() override {
        pacer.Start(format);
        return true;
    }
    void Stop() override { pacer.Stop(); }

  private:
    PacedRenderThread pacer;
    PcmFormat format;
};

} // namespace

std::unique_ptr<OutputDevice> CreateNullOutput(Mixer& mixer) { return std::make_unique<NullOutput>(mixer); }

} // namespace posix_win32
