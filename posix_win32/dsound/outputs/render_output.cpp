// The on-demand render: nothing runs by itself; RenderFrames pulls the newest such device's mix.
#include <algorithm>
#include <mutex>
#include <vector>

#include "dsound/outputs/output_device.h"
#include "seams/sound_output.h"

namespace posix_win32 {
namespace {

// Held across a whole RenderFrames, so a device cannot go away while its mix is pulled.
std::mutex registryMutex;
std::vector<Mixer*> renderMixers;

class RenderOutput final : public OutputDevice {
  public:
    explicit RenderOutput(Mixer& mixer) : mixer(mixer) {
        std::lock_guard lock(registryMutex);
        renderMixers.push_back(&mixer);
    }
    ~RenderOutput() override {
        std::lock_guard lock(registryMutex);
        renderMixers.erase(std::remove(renderMixers.begin(), renderMixers.end(), &mixer), renderMixers.end());
    }
    bool Open(const PcmFormat&) override { return true; }
    bool Start() override { return true; }
    void Stop() override {}

  private:
    Mixer& mixer;
};

} // namespace

std::unique_ptr<OutputDevice> CreateRenderOutput(Mixer& mixer) { return std::make_unique<RenderOutput>(mixer); }

size_t RenderFrames(void* out, size_t frames) {
    std::lock_guard lock(registryMutex);
    if (renderMixers.empty() || !out) return 0;
    renderMixers.back()->Render(out, frames);
    return frames;
}

} // namespace posix_win32
