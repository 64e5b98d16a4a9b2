// The software mixer: every playing voice, resampled to the output rate, panned, summed and clipped.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <mutex>
#include <vector>

#include "dsound/mixer/pcm_format.h"
#include "dsound/mixer/resampler.h"
#include "dsound/mixer/voice.h"

namespace posix_win32 {

class Mixer {
  public:
    Mixer();

    // Guards the voice list, every voice's control state and the output format. Render holds it for one block at a
    // time (at most 10 ms of audio), so a control change takes effect from the next block on.
    std::mutex& StateMutex() { return stateMutex; }

    // The callers below hold StateMutex.
    void AddVoice(Voice* voice);
    void RemoveVoice(Voice* voice);
    void SetOutputFormat(const PcmFormat& format);
    const PcmFormat& OutputFormat() const { return outputFormat; }
    // The primary buffer's volume and pan gains, applied to the whole mix.
    void SetMasterGains(float volume, float leftPan, float rightPan);
    // Source frames the next block may read past a voice's position: what the host must not rewrite.
    uint32_t LookaheadFrames(const Voice& voice) const;
    uint64_t FramesRendered() const { return framesRendered; }

    // Mixes `frames` frames in the output format into `out`; takes StateMutex block by block.
    void Render(void* out, size_t frames);

  private:
    void MixBlock(size_t frames);
    void MixVoice(Voice& voice, size_t frames);
    void AdvanceSilently(Voice& voice, size_t frames, uint64_t step);
    // Moves the voice `total` (32.32 frames) on. With `gathered` frames of its source in the scratch, the new
    // history comes from there; otherwise it is read again from the buffer.
    void Advance(Voice& voice, uint64_t total, size_t gathered);
    void Finish(Voice& voice);
    // Converts `count` frames from the voice's position on into the source scratch, behind its history frames.
    void GatherSource(const Voice& voice, size_t count);
    // Reads the frames behind the voice's position from its buffer into its history.
    static void ReloadHistory(Voice& voice);

    std::mutex stateMutex;
    PcmFormat outputFormat;
    size_t blockFrames = 0;
    float masterVolume = 1.0f;
    float masterLeftPan = 1.0f;
    float masterRightPan = 1.0f;
    uint64_t framesRendered = 0;
    std::vector<Voice*> voices;
    // Planar block buffers, sized by SetOutputFormat so that mixing allocates nothing.
    std::vector<float> mixLeft, mixRight;
    std::vector<int16_t> sourceLeft, sourceRight;
};

} // namespace posix_win32
