#include "dsound/mixer.h"

#include <string.h>

#include <algorithm>

#include "dsound/sample_format.h"

namespace posix_win32 {
namespace {

// Source frames converted per pass; a voice whose step would need more is mixed in several passes.
constexpr size_t kSourceCapacity = 4096;
// Scratch slot 0 holds the frame before the position, and the cubic kernel reads two frames past the last one.
constexpr size_t kTapsBefore = 1;
constexpr size_t kTapsAfter = 2;

uint64_t StepFor(uint32_t sourceRate, uint32_t outputRate) { return (uint64_t(sourceRate) << 32) / outputRate; }

} // namespace

Mixer::Mixer(ResamplerKind resampler) : resampler(resampler) {
    sourceLeft.resize(kTapsBefore + kSourceCapacity + kTapsAfter);
    sourceRight.resize(sourceLeft.size());
    SetOutputFormat(outputFormat);
}

void Mixer::AddVoice(Voice* voice) { voices.push_back(voice); }

void Mixer::RemoveVoice(Voice* voice) { voices.erase(std::remove(voices.begin(), voices.end(), voice), voices.end()); }

void Mixer::SetOutputFormat(const PcmFormat& format) {
    outputFormat = format;
    // Blocks of at most 10 ms bound how late a control change is heard.
    blockFrames = std::max<size_t>(1, format.rate / 100);
    mixLeft.assign(blockFrames, 0.0f);
    mixRight.assign(blockFrames, 0.0f);
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
            AddChannel(sourceLeft.data(), voice.fraction, step, count, leftGain, mixA, rightGain, mixB);
        } else {
            AddChannel(sourceLeft.data(), voice.fraction, step, count, leftGain, mixA, 0.0f, nullptr);
            if (voice.channels == 2)
                AddChannel(sourceRight.data(), voice.fraction, step, count, rightGain, mixB, 0.0f, nullptr);
        }

        uint64_t total = voice.fraction + count * step;
        if (reachesEnd) {
            Finish(voice);
        } else {
            Advance(voice, total);
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
    Advance(voice, total);
}

void Mixer::Advance(Voice& voice, uint64_t total) {
    uint64_t advance = total >> 32;
    voice.fraction = static_cast<uint32_t>(total);
    if (advance == 0) return;
    uint64_t next = voice.frame + advance;
    if (voice.looping) next %= voice.frames;
    voice.frame = static_cast<uint32_t>(next);
    // The frame just behind the new position lies at or past the old one, where the host does not write.
    uint32_t behind = voice.frame == 0 ? voice.frames - 1 : voice.frame - 1;
    if (voice.looping || voice.frame > 0) {
        float right = 0.0f;
        ReadPcmFrames(voice.memory, voice.bits, voice.channels, behind, 1, &voice.history[0], &right);
        voice.history[1] = right;
    } else {
        voice.history[0] = voice.history[1] = 0.0f;
    }
}

// A one-shot voice that has played its last frame stops and its cursor goes back to the start, as the play cursor
// of a stopped one-shot buffer reads 0 on Windows.
void Mixer::Finish(Voice& voice) {
    voice.playing = false;
    voice.frame = 0;
    voice.fraction = 0;
    voice.history[0] = voice.history[1] = 0.0f;
}

void Mixer::GatherSource(const Voice& voice, size_t count) {
    float* left = sourceLeft.data();
    float* right = sourceRight.data();
    left[0] = voice.history[0];
    right[0] = voice.history[1];
    size_t written = 0;
    uint32_t frame = voice.frame;
    while (written < count) {
        size_t run = std::min<size_t>(count - written, voice.frames - frame);
        ReadPcmFrames(voice.memory, voice.bits, voice.channels, frame, run, left + 1 + written, right + 1 + written);
        written += run;
        frame += static_cast<uint32_t>(run);
        if (frame < voice.frames) continue;
        if (!voice.looping) {
            // Past the end of a one-shot buffer there is silence.
            std::fill(left + 1 + written, left + 1 + count, 0.0f);
            std::fill(right + 1 + written, right + 1 + count, 0.0f);
            return;
        }
        frame = 0;
    }
}

void Mixer::AddChannel(const float* source, uint32_t fraction, uint64_t step, size_t frames, float gainA, float* mixA,
                       float gainB, float* mixB) const {
    ResampleAndAdd(resampler, source, fraction, step, frames, gainA, mixA, gainB, mixB);
}

} // namespace posix_win32
