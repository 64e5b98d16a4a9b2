#include "dsound/mixer/mixer.h"

#include <string.h>

#include <algorithm>

#include "dsound/mixer/sample_format.h"

namespace posix_win32 {
namespace {

// Source frames converted per pass; a voice whose step would need more is mixed in several passes.
constexpr size_t kSourceCapacity = 4096;
// The scratch holds the voice's history frames before its position and what the kernel reads past the last one.
constexpr size_t kTapsBefore = kResamplerFramesBefore;
constexpr size_t kTapsAfter = kResamplerFramesAfter;

uint64_t StepFor(uint32_t sourceRate, uint32_t outputRate) { return (uint64_t(sourceRate) << 32) / outputRate; }

} // namespace

Mixer::Mixer() {
    sourceLeft.resize(kTapsBefore + kSourceCapacity + kTapsAfter);
    sourceRight.resize(sourceLeft.size());
    SetOutputFormat(outputFormat);
}

void Mixer::AddVoice(Voice* voice) { voices.push_back(voice); }

void Mixer::RemoveVoice(Voice* voice) { voices.erase(std::remove(voices.begin(), voices.end(), voice), voices.end()); }

void Mixer::SetOutputFormat(const PcmFormat& format) {
    // Sized before anything changes: a failed allocation leaves the old format whole.
    std::vector<float> left(format.BlockFrames(), 0.0f), right(format.BlockFrames(), 0.0f);
    mixLeft.swap(left);
    mixRight.swap(right);
    outputFormat = format;
    blockFrames = format.BlockFrames();
}

void Mixer::SetMasterGains(float volume, float leftPan, float rightPan) {
    masterVolume = volume;
    masterLeftPan = leftPan;
    masterRightPan = rightPan;
}

uint32_t Mixer::LookaheadFrames(const Voice& voice) const {
    uint64_t step = StepFor(voice.frequency, outputFormat.rate);
    uint64_t span = ((voice.fraction + (blockFrames - 1) * step) >> 32) + 1 + kTapsAfter;
    return static_cast<uint32_t>(std::min<uint64_t>(span, voice.frames - 1));
}

void Mixer::Render(void* out, size_t frames) {
    uint8_t* bytes = static_cast<uint8_t*>(out);
    uint16_t blockAlign = 0;
    while (frames > 0) {
        std::lock_guard lock(stateMutex);
        if (blockAlign == 0) blockAlign = outputFormat.BlockAlign();
        if (blockAlign != outputFormat.BlockAlign()) {
            // The format changed under a caller whose buffer was sized for the old one: fill it with zeros.
            memset(bytes, 0, frames * blockAlign);
            return;
        }
        size_t block = std::min(frames, blockFrames);
        MixBlock(block);
        WritePcmFrames(mixLeft.data(), mixRight.data(), block, outputFormat.bits, outputFormat.channels, bytes);
        framesRendered += block;
        bytes += block * outputFormat.BlockAlign();
        frames -= block;
    }
}

void Mixer::MixBlock(size_t frames) {
    std::fill_n(mixLeft.begin(), frames, 0.0f);
    std::fill_n(mixRight.begin(), frames, 0.0f);
    for (Voice* voice : voices)
        if (voice->playing) MixVoice(*voice, frames);
}

void Mixer::MixVoice(Voice& voice, size_t frames) {
    const uint64_t step = StepFor(voice.frequency, outputFormat.rate);
    const bool stereoOut = outputFormat.channels == 2;
    const float volume = voice.volumeGain * masterVolume;
    // A mono output has nowhere to pan to: both source channels meet at the voice's volume, averaged when stereo.
    float leftGain = stereoOut ? volume * voice.leftPanGain * masterLeftPan : volume;
    float rightGain = stereoOut ? volume * voice.rightPanGain * masterRightPan : volume;
    if (!stereoOut && voice.channels == 2) leftGain = rightGain = volume * 0.5f;
    if (leftGain == 0.0f && rightGain == 0.0f) {
        AdvanceSilently(voice, frames, step);
        return;
    }

    size_t produced = 0;
    while (produced < frames && voice.playing) {
        size_t count = frames - produced;
        // Keep the converted source within the scratch buffers.
        count = std::min<uint64_t>(count, (((uint64_t)kSourceCapacity << 32) - 1 - voice.fraction) / step + 1);
        bool reachesEnd = false;
        if (!voice.looping) {
            uint64_t untilEnd = ((uint64_t(voice.frames - voice.frame) << 32) - voice.fraction + step - 1) / step;
            if (untilEnd <= count) {
                count = untilEnd;
                reachesEnd = true;
            }
        }
        size_t sourceFrames = ((voice.fraction + (count - 1) * step) >> 32) + 1 + kTapsAfter;
        GatherSource(voice, sourceFrames);

        float* mixA = mixLeft.data() + produced;
        float* mixB = stereoOut ? mixRight.data() + produced : mixA;
        if (voice.channels == 1 && stereoOut) {
            ResampleAndAdd(sourceLeft.data(), voice.fraction, step, count, leftGain, mixA, rightGain, mixB);
        } else {
            ResampleAndAdd(sourceLeft.data(), voice.fraction, step, count, leftGain, mixA, 0.0f, nullptr);
            if (voice.channels == 2)
                ResampleAndAdd(sourceRight.data(), voice.fraction, step, count, rightGain, mixB, 0.0f, nullptr);
        }

        uint64_t total = voice.fraction + count * step;
        if (reachesEnd) {
            Finish(voice);
        } else {
            Advance(voice, total, sourceFrames);
        }
        produced += count;
    }
}

void Mixer::AdvanceSilently(Voice& voice, size_t frames, uint64_t step) {
    uint64_t total = voice.fraction + frames * step;
    if (!voice.looping && (total >> 32) >= voice.frames - voice.frame) {
        Finish(voice);
        return;
    }
    Advance(voice, total, 0);
}

void Mixer::Advance(Voice& voice, uint64_t total, size_t gathered) {
    uint64_t advance = total >> 32;
    voice.fraction = static_cast<uint32_t>(total);
    voice.playedFrames += advance;
    if (advance == 0) return;
    uint64_t next = voice.frame + advance;
    if (voice.looping) next %= voice.frames;
    voice.frame = static_cast<uint32_t>(next);
    if (advance > gathered) {
        ReloadHistory(voice);
        return;
    }
    // The scratch already holds the frames behind the new position as they were mixed; the host may have
    // rewritten the buffer behind the play cursor since.
    memcpy(voice.history[0], sourceLeft.data() + advance, sizeof voice.history[0]);
    if (voice.channels == 2) memcpy(voice.history[1], sourceRight.data() + advance, sizeof voice.history[1]);
}

void Mixer::ReloadHistory(Voice& voice) {
    // Before the start of a one-shot buffer there is silence; a looping one goes on from its end.
    size_t written = 0;
    int64_t first = int64_t(voice.frame) - int64_t(kTapsBefore);
    if (!voice.looping && first < 0) {
        written = size_t(-first);
        std::fill_n(voice.history[0], written, int16_t(0));
        std::fill_n(voice.history[1], written, int16_t(0));
        first = 0;
    }
    while (first < 0)
        first += voice.frames;
    uint32_t frame = uint32_t(first);
    while (written < kTapsBefore) {
        size_t run = std::min<size_t>(kTapsBefore - written, voice.frames - frame);
        ReadPcmFrames(voice.memory, voice.bits, voice.channels, frame, run, voice.history[0] + written,
                      voice.history[1] + written);
        written += run;
        frame = 0;
    }
}

// A one-shot voice that has played its last frame stops and its cursor goes back to the start, as the play cursor
// of a stopped one-shot buffer reads 0 on Windows.
void Mixer::Finish(Voice& voice) {
    voice.playing = false;
    voice.frame = 0;
    voice.fraction = 0;
    voice.ClearHistory();
}

void Mixer::GatherSource(const Voice& voice, size_t count) {
    int16_t* left = sourceLeft.data();
    int16_t* right = sourceRight.data();
    std::copy_n(voice.history[0], kTapsBefore, left);
    if (voice.channels == 2) std::copy_n(voice.history[1], kTapsBefore, right);
    size_t written = 0;
    uint32_t frame = voice.frame;
    while (written < count) {
        size_t run = std::min<size_t>(count - written, voice.frames - frame);
        ReadPcmFrames(voice.memory, voice.bits, voice.channels, frame, run, left + kTapsBefore + written,
                      right + kTapsBefore + written);
        written += run;
        frame += static_cast<uint32_t>(run);
        if (frame < voice.frames) continue;
        if (!voice.looping) {
            // Past the end of a one-shot buffer there is silence.
            std::fill(left + kTapsBefore + written, left + kTapsBefore + count, int16_t(0));
            std::fill(right + kTapsBefore + written, right + kTapsBefore + count, int16_t(0));
            return;
        }
        frame = 0;
    }
}
} // namespace posix_win32
