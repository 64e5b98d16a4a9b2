// The software mixer: every playing voice, resampled to the output rate, panned, summed and clipped. The output's
// thread renders without waiting on anything the host does and allocates nothing: it reads what the host asked from
// atomics once a block, and finds the voices in a table of atomic slots that the host fills and empties.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "dsound/mixer/pcm_format.h"
#include "dsound/mixer/resampler.h"
#include "dsound/mixer/voice.h"

namespace posix_win32 {

class Mixer {
  public:
    Mixer();
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // Serialises the host's calls on the device and its buffers among themselves; the mix never takes it.
    std::mutex& ControlMutex() { return controlMutex; }

    // Returns once no render that began before the call is still running: after a stop, the buffer's memory is
    // the host's again.
    void WaitForRenderInProgress() const;

    // The callers below hold ControlMutex. A voice removed is no longer read once RemoveVoice returns.
    void AddVoice(Voice* voice);
    void RemoveVoice(Voice* voice);
    // Only while no output pulls the mix: the devices stop their output around a change of format.
    void SetOutputFormat(const PcmFormat& format);
    const PcmFormat& OutputFormat() const { return outputFormat; }
    // The primary buffer's volume and pan gains, applied to the whole mix.
    void SetMasterGains(float volume, float leftPan, float rightPan);
    // Source frames the next block may read past a voice's position: what the host must not rewrite.
    uint32_t LookaheadFrames(const Voice& voice) const;
    uint64_t FramesRendered() const { return framesRendered.load(std::memory_order_relaxed); }

    // Mixes `frames` frames in the output format into `out`, on the output's thread.
    void Render(void* out, size_t frames);

  private:
    struct VoiceTable {
        size_t capacity;
        std::unique_ptr<std::atomic<Voice*>[]> slots; // null where no voice is
    };

    void MixBlock(size_t frames);
    void MixVoice(Voice& voice, size_t frames);
    // Takes what the host asked since the last block: a start, a stop, a new position.
    void ApplyHostState(Voice& voice);
    // The gains the voice should have now: its volume and pan with the master's, 0 while fading out.
    void SetGainTargets(Voice& voice);
    void AddChunk(Voice& voice, uint64_t step, size_t at, size_t count);
    void AdvanceSilently(Voice& voice, size_t frames, uint64_t step);
    // Moves the voice `total` (32.32 frames) on. With `gathered` frames of its source in the scratch, the new
    // history comes from there; otherwise it is lost, and counts as silence.
    void Advance(Voice& voice, uint64_t total, size_t gathered, size_t before);
    void Finish(Voice& voice);
    void EndFade(Voice& voice);
    void PublishPosition(Voice& voice);
    // Frames from `frame` on of the voice's buffer, as 16-bit planar samples: around the end of a looping buffer
    // from its start again, past the end of a one-shot one silence.
    static void ReadFrames(const Voice& voice, uint32_t frame, size_t count, int16_t* left, int16_t* right);
    // Keeps what a fade-out from the voice's position would play.
    void CaptureTail(Voice& voice, uint64_t step);
    // Converts `count` frames from the voice's position on into the source scratch, behind `before` history frames;
    // while it fades out, from its tail.
    void GatherSource(const Voice& voice, size_t count, size_t before);
    // Makes `count` frames of history whole, with silence where it holds less.
    static void SilenceOlderHistory(Voice& voice, size_t count);

    std::mutex controlMutex;
    PcmFormat outputFormat;
    size_t blockFrames = 0;
    uint32_t rampFrames = 0; // how long a gain takes to reach a new value
    std::atomic<float> masterVolume{1.0f};
    std::atomic<float> masterLeftPan{1.0f};
    std::atomic<float> masterRightPan{1.0f};
    std::atomic<uint64_t> framesRendered{0};
    std::atomic<VoiceTable*> voices;
    std::atomic<uint64_t> renderPasses{0}; // odd while a render runs
    // Planar block buffers and the source scratch, sized beforehand so that mixing allocates nothing.
    std::vector<float> mixLeft, mixRight, voiceLeft, voiceRight;
    std::vector<int16_t> sourceLeft, sourceRight;
};

} // namespace posix_win32
