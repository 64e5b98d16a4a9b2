#include "dsound/mixer/mixer.h"

#include <string.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <dsound.h>

#include "dsound/mixer/sample_format.h"

namespace posix_win32 {
namespace {

// Source frames converted per pass; a voice whose step would need more is mixed in several passes.
constexpr size_t kSourceCapacity = 4096;
// The scratch holds the voice's history frames before its position and what the kernel reads past the last one.
constexpr size_t kTapsBefore = kResamplerFramesBefore;
constexpr size_t kTapsAfter = kResamplerFramesAfter;
constexpr size_t kFirstCapacity = 16;
// A gain moves to a new value over this long, and a stopped voice fades out over it: a step is heard as a click.
constexpr uint32_t kRampMs = 6;

uint64_t StepFor(uint32_t sourceRate, uint32_t outputRate) { return (uint64_t(sourceRate) << 32) / outputRate; }

uint32_t RampFramesAt(uint32_t rate) { return std::max<uint32_t>(1, rate * kRampMs / 1000); }

// A fade-out reads its ramp's frames at the highest rate a buffer plays at, and what the kernel reads past them.
size_t TailFrames(uint32_t outputRate) {
    const uint64_t fastest = (uint64_t(DSBFREQUENCY_MAX) + outputRate - 1) / outputRate;
    return size_t((RampFramesAt(outputRate) + 1) * fastest) + kTapsAfter;
}

} // namespace

Mixer::Mixer() {
    sourceLeft.resize(kTapsBefore + kSourceCapacity + kTapsAfter);
    sourceRight.resize(sourceLeft.size());
    auto table = std::make_unique<VoiceTable>();
    table->capacity = kFirstCapacity;
    table->slots = std::make_unique<std::atomic<Voice*>[]>(kFirstCapacity);
    voices.store(table.release());
    // A constructor that throws runs no destructor: the table goes with it.
    try {
        SetOutputFormat(outputFormat);
    } catch (...) {
        delete voices.load();
        throw;
    }
}

Mixer::~Mixer() { delete voices.load(); }

// A render takes the table, then each slot; both sides use sequentially consistent operations, so a render that
// saw an old table or a voice since removed had begun before the change, and shows an odd count here.
void Mixer::WaitForRenderInProgress() const {
    const uint64_t pass = renderPasses.load();
    if (pass & 1)
        while (renderPasses.load() == pass)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
}

void Mixer::AddVoice(Voice* voice) {
    PrepareResampler(StepFor(voice->frequency.load(), outputFormat.rate));
    for (std::vector<int16_t>& tail : voice->mix.tail)
        tail.assign(TailFrames(outputFormat.rate), 0);
    VoiceTable* table = voices.load();
    for (size_t i = 0; i < table->capacity; ++i) {
        if (table->slots[i].load() == nullptr) {
            table->slots[i].store(voice);
            return;
        }
    }
    // Full: a table twice the size replaces it, allocated here on the host's thread.
    auto grown = std::make_unique<VoiceTable>();
    grown->capacity = table->capacity * 2;
    grown->slots = std::make_unique<std::atomic<Voice*>[]>(grown->capacity);
    for (size_t i = 0; i < table->capacity; ++i)
        grown->slots[i].store(table->slots[i].load());
    grown->slots[table->capacity].store(voice);
    voices.store(grown.release());
    WaitForRenderInProgress();
    delete table;
}

void Mixer::RemoveVoice(Voice* voice) {
    VoiceTable* table = voices.load();
    for (size_t i = 0; i < table->capacity; ++i)
        if (table->slots[i].load() == voice) table->slots[i].store(nullptr);
    WaitForRenderInProgress();
}

void Mixer::SetOutputFormat(const PcmFormat& format) {
    // Sized before anything changes: a failed allocation leaves the old format whole.
    std::vector<float> left(format.BlockFrames(), 0.0f), right(format.BlockFrames(), 0.0f);
    std::vector<float> oneLeft(format.BlockFrames(), 0.0f), oneRight(format.BlockFrames(), 0.0f);
    VoiceTable* table = voices.load();
    for (size_t i = 0; i < table->capacity; ++i)
        if (const Voice* voice = table->slots[i].load())
            PrepareResampler(StepFor(voice->frequency.load(), format.rate));
    mixLeft.swap(left);
    mixRight.swap(right);
    voiceLeft.swap(oneLeft);
    voiceRight.swap(oneRight);
    outputFormat = format;
    blockFrames = format.BlockFrames();
    rampFrames = RampFramesAt(format.rate);
}

void Mixer::SetMasterGains(float volume, float leftPan, float rightPan) {
    masterVolume.store(volume, std::memory_order_relaxed);
    masterLeftPan.store(leftPan, std::memory_order_relaxed);
    masterRightPan.store(rightPan, std::memory_order_relaxed);
}

uint32_t Mixer::LookaheadFrames(const Voice& voice) const {
    const uint64_t step = StepFor(voice.frequency.load(std::memory_order_relaxed), outputFormat.rate);
    const uint64_t span = (((blockFrames - 1) * step) >> 32) + 1 + ChooseResampler(step).after;
    return static_cast<uint32_t>(std::min<uint64_t>(span, voice.frames - 1));
}

void Mixer::Render(void* out, size_t frames) {
    renderPasses.fetch_add(1);
    uint8_t* bytes = static_cast<uint8_t*>(out);
    const uint16_t blockAlign = outputFormat.BlockAlign();
    while (frames > 0) {
        size_t block = std::min(frames, blockFrames);
        MixBlock(block);
        WritePcmFrames(mixLeft.data(), mixRight.data(), block, outputFormat.bits, outputFormat.channels, bytes);
        framesRendered.fetch_add(block, std::memory_order_relaxed);
        bytes += block * blockAlign;
        frames -= block;
    }
    renderPasses.fetch_add(1);
}

void Mixer::MixBlock(size_t frames) {
    std::fill_n(mixLeft.begin(), frames, 0.0f);
    std::fill_n(mixRight.begin(), frames, 0.0f);
    const VoiceTable* table = voices.load();
    for (size_t i = 0; i < table->capacity; ++i)
        if (Voice* voice = table->slots[i].load()) MixVoice(*voice, frames);
}

namespace {

void SeekMix(VoiceMix& mix, uint32_t frame) {
    mix.frame = frame;
    mix.fraction = 0;
    mix.historyFrames = 0;
}

using History = int16_t[2][kTapsBefore];

// The newest `frames` frames of a history (the ones nearest the position), both channels.
void CopyNewestHistory(const History& from, History& to, size_t frames) {
    for (int channel = 0; channel < 2; ++channel)
        std::copy_n(from[channel] + kTapsBefore - frames, frames, to[channel] + kTapsBefore - frames);
}

// Where a stop leaves the voice, with its history, while the fade-out plays on from there.
void KeepStopPosition(VoiceMix& mix) {
    mix.stopFrame = mix.frame;
    mix.stopFraction = mix.fraction;
    mix.stopHistoryFrames = mix.historyFrames;
    CopyNewestHistory(mix.history, mix.stopHistory, mix.historyFrames);
}

// Back to where the stop left the voice, with the history it had there.
void ResumeAtStop(VoiceMix& mix) {
    mix.frame = mix.stopFrame;
    mix.fraction = mix.stopFraction;
    mix.historyFrames = mix.stopHistoryFrames;
    CopyNewestHistory(mix.stopHistory, mix.history, mix.historyFrames);
}

} // namespace

void Mixer::ApplyHostState(Voice& voice) {
    VoiceMix& mix = voice.mix;
    const uint64_t state = voice.state.load(std::memory_order_acquire);
    if (state == mix.applied) return;
    const bool moved = StateSeeks(state) != StateSeeks(mix.applied);
    mix.applied = state;
    if (!StatePlaying(state)) {
        if (mix.playing && !mix.fading) {
            // The position the host sees stays where it stopped; the sound fades out from there on.
            mix.fading = true;
            KeepStopPosition(mix);
        }
        // A new position while stopped (or fading) is where the next start goes.
        if (moved) {
            mix.stopFrame = StateFrame(state);
            mix.stopFraction = 0;
            mix.stopHistoryFrames = 0;
            if (!mix.playing) SeekMix(mix, StateFrame(state));
        }
        return;
    }
    if (moved) SeekMix(mix, StateFrame(state));
    if (mix.playing && !mix.fading) return;
    // A start: no fade-in, so a sound's first sample is heard as it is.
    if (mix.fading && !moved) ResumeAtStop(mix);
    mix.snapGains = true;
    mix.playing = true;
    mix.fading = false;
}

void Mixer::SetGainTargets(Voice& voice) {
    VoiceMix& mix = voice.mix;
    float left = 0.0f, right = 0.0f;
    if (!mix.fading) {
        const bool stereoOut = outputFormat.channels == 2;
        const float volume =
            voice.volumeGain.load(std::memory_order_relaxed) * masterVolume.load(std::memory_order_relaxed);
        // A mono output has nowhere to pan to: both source channels meet at the voice's volume, averaged when stereo.
        left = stereoOut ? volume * voice.leftPanGain.load(std::memory_order_relaxed) *
                               masterLeftPan.load(std::memory_order_relaxed)
                         : volume;
        right = stereoOut ? volume * voice.rightPanGain.load(std::memory_order_relaxed) *
                                masterRightPan.load(std::memory_order_relaxed)
                          : volume;
        if (!stereoOut && voice.channels == 2) left = right = volume * 0.5f;
    }
    if (mix.snapGains) {
        mix.left = mix.targetLeft = left;
        mix.right = mix.targetRight = right;
        mix.rampFrames = 0;
        mix.snapGains = false;
    } else if (left != mix.targetLeft || right != mix.targetRight) {
        mix.targetLeft = left;
        mix.targetRight = right;
        mix.rampFrames = rampFrames;
    }
}

void Mixer::MixVoice(Voice& voice, size_t frames) {
    voice.written.load(std::memory_order_acquire);
    ApplyHostState(voice);
    VoiceMix& mix = voice.mix;
    if (!mix.playing) return;
    SetGainTargets(voice);
    // The step is worked out again only when the rate changed: a 64-bit division per voice and block adds up.
    const uint32_t frequency = voice.frequency.load(std::memory_order_relaxed);
    if (frequency != mix.stepFrequency || outputFormat.rate != mix.stepRate) {
        mix.step = StepFor(frequency, outputFormat.rate);
        mix.stepFrequency = frequency;
        mix.stepRate = outputFormat.rate;
    }
    const uint64_t step = mix.step;
    // Chosen again only when the step changes, or while the kernel it needs is still being made.
    if (mix.resampler.step != step || !mix.resampler.kernel) mix.resampler = ChooseResampler(step);
    const bool silent = mix.rampFrames == 0 && mix.left == 0.0f && mix.right == 0.0f;
    if (silent && !mix.fading) {
        AdvanceSilently(voice, frames, step);
    } else {
        size_t produced = 0;
        while (produced < frames && mix.playing && !(mix.fading && mix.rampFrames == 0)) {
            size_t count = frames - produced;
            // Keep the converted source within the scratch buffers.
            if (mix.fraction + (count - 1) * step >= uint64_t(kSourceCapacity) << 32)
                count = std::min<uint64_t>(count, (((uint64_t)kSourceCapacity << 32) - 1 - mix.fraction) / step + 1);
            // A fade ends with its ramp; the voice then goes back to where the host stopped it.
            if (mix.fading) count = std::min<size_t>(count, mix.rampFrames);
            AddChunk(voice, step, produced, count);
            produced += count;
        }
    }
    if (mix.fading && mix.rampFrames == 0) EndFade(voice);
    if (mix.playing && !mix.fading) CaptureTail(voice, step);
    PublishPosition(voice);
}

void Mixer::CaptureTail(Voice& voice, uint64_t step) {
    VoiceMix& mix = voice.mix;
    const size_t after = mix.resampler.after;
    const size_t frames = std::min<size_t>(mix.tail[0].size(), ((uint64_t(rampFrames) + 1) * step >> 32) + 1 + after);
    ReadFrames(voice, mix.frame, frames, mix.tail[0].data(), mix.tail[1].data());
    mix.tailFrom = mix.frame;
}

void Mixer::AddChunk(Voice& voice, uint64_t step, size_t at, size_t count) {
    VoiceMix& mix = voice.mix;
    bool reachesEnd = false;
    if (!voice.looping.load(std::memory_order_relaxed)) {
        uint64_t untilEnd = ((uint64_t(voice.frames - mix.frame) << 32) - mix.fraction + step - 1) / step;
        if (untilEnd <= count) {
            count = untilEnd;
            reachesEnd = true;
        }
    }
    const ResamplerChoice& reach = mix.resampler;
    if (mix.historyFrames < reach.before) SilenceOlderHistory(voice, reach.before);
    const size_t sourceFrames = ((mix.fraction + (count - 1) * step) >> 32) + 1 + reach.after;
    GatherSource(voice, sourceFrames, reach.before);

    const bool stereoOut = outputFormat.channels == 2;
    float* mixA = mixLeft.data() + at;
    float* mixB = stereoOut ? mixRight.data() + at : mixA;
    if (mix.rampFrames == 0) {
        // Steady gains: straight into the mix, so a voice at the output's rate passes bit for bit.
        if (voice.channels == 1 && stereoOut) {
            ResampleAndAdd(reach, sourceLeft.data(), mix.fraction, count, mix.left, mixA, mix.right, mixB);
        } else {
            ResampleAndAdd(reach, sourceLeft.data(), mix.fraction, count, mix.left, mixA, 0.0f, nullptr);
            if (voice.channels == 2)
                ResampleAndAdd(reach, sourceRight.data(), mix.fraction, count, mix.right, mixB, 0.0f, nullptr);
        }
    } else {
        // Moving gains: the voice alone first, then into the mix with a gain that steps a little every frame.
        std::fill_n(voiceLeft.begin(), count, 0.0f);
        ResampleAndAdd(reach, sourceLeft.data(), mix.fraction, count, 1.0f, voiceLeft.data(), 0.0f, nullptr);
        const float* right = voiceLeft.data();
        if (voice.channels == 2) {
            std::fill_n(voiceRight.begin(), count, 0.0f);
            ResampleAndAdd(reach, sourceRight.data(), mix.fraction, count, 1.0f, voiceRight.data(), 0.0f, nullptr);
            right = voiceRight.data();
        }
        const bool apart = stereoOut || voice.channels == 2;
        for (size_t i = 0; i < count; ++i) {
            if (mix.rampFrames > 1) {
                mix.left += (mix.targetLeft - mix.left) / float(mix.rampFrames);
                mix.right += (mix.targetRight - mix.right) / float(mix.rampFrames);
                --mix.rampFrames;
            } else if (mix.rampFrames == 1) {
                mix.left = mix.targetLeft;
                mix.right = mix.targetRight;
                mix.rampFrames = 0;
            }
            mixA[i] += voiceLeft[i] * mix.left;
            if (apart) mixB[i] += right[i] * mix.right;
        }
    }
    const uint64_t total = mix.fraction + count * step;
    if (reachesEnd) {
        // A one-shot sound that ends while it fades out still starts again where it was stopped.
        if (mix.fading) {
            EndFade(voice);
        } else {
            Finish(voice);
        }
    } else {
        Advance(voice, total, sourceFrames, reach.before);
    }
}

void Mixer::AdvanceSilently(Voice& voice, size_t frames, uint64_t step) {
    VoiceMix& mix = voice.mix;
    uint64_t total = mix.fraction + frames * step;
    if (!voice.looping.load(std::memory_order_relaxed) && (total >> 32) >= voice.frames - mix.frame) {
        Finish(voice);
        return;
    }
    Advance(voice, total, 0, voice.mix.resampler.before);
}

void Mixer::Advance(Voice& voice, uint64_t total, size_t gathered, size_t before) {
    VoiceMix& mix = voice.mix;
    uint64_t advance = total >> 32;
    mix.fraction = static_cast<uint32_t>(total);
    // Only this thread writes it: a plain store, no locked add.
    voice.playedFrames.store(voice.playedFrames.load(std::memory_order_relaxed) + advance, std::memory_order_relaxed);
    if (advance == 0) return;
    uint64_t next = mix.frame + advance;
    if (voice.looping.load(std::memory_order_relaxed)) next %= voice.frames;
    mix.frame = static_cast<uint32_t>(next);
    if (advance > gathered) {
        mix.historyFrames = 0;
        return;
    }
    // The scratch already holds the frames behind the new position as they were mixed; the host may have
    // rewritten the buffer behind the play cursor since.
    const size_t from = kTapsBefore + advance - before;
    memcpy(mix.history[0] + kTapsBefore - before, sourceLeft.data() + from, before * sizeof(int16_t));
    if (voice.channels == 2)
        memcpy(mix.history[1] + kTapsBefore - before, sourceRight.data() + from, before * sizeof(int16_t));
    mix.historyFrames = before;
}

// Behind the play cursor the host may be writing already (a stream's refill does): what the history lacks there
// counts as silence, as before the start of a sound, and is never read from the buffer.
void Mixer::SilenceOlderHistory(Voice& voice, size_t count) {
    VoiceMix& mix = voice.mix;
    const size_t from = kTapsBefore - count, to = kTapsBefore - mix.historyFrames;
    std::fill(mix.history[0] + from, mix.history[0] + to, int16_t(0));
    std::fill(mix.history[1] + from, mix.history[1] + to, int16_t(0));
    mix.historyFrames = count;
}

// A one-shot voice that has played its last frame stops and its cursor goes back to the start, as the play cursor
// of a stopped one-shot buffer reads 0 on Windows.
void Mixer::Finish(Voice& voice) {
    VoiceMix& mix = voice.mix;
    mix.playing = false;
    mix.fading = false;
    mix.frame = 0;
    mix.fraction = 0;
    mix.historyFrames = 0;
}

void Mixer::EndFade(Voice& voice) {
    VoiceMix& mix = voice.mix;
    mix.playing = false;
    mix.fading = false;
    ResumeAtStop(mix);
}

// The host sees the position the mix reached while it plays, and 0 and stopped once a one-shot has ended; a fading
// voice shows where it was stopped. A host's change since the block began wins: the next block takes it.
void Mixer::PublishPosition(Voice& voice) {
    VoiceMix& mix = voice.mix;
    uint64_t wanted = mix.applied;
    if (mix.playing && !mix.fading) {
        wanted = (mix.applied & ~kStateFrameMask) | mix.frame;
    } else if (!mix.playing && StatePlaying(mix.applied)) {
        wanted = mix.applied & ~(kStateFrameMask | kStatePlaying);
    }
    if (wanted == mix.applied) return;
    uint64_t expected = mix.applied;
    if (voice.state.compare_exchange_strong(expected, wanted, std::memory_order_acq_rel)) mix.applied = wanted;
}

void Mixer::ReadFrames(const Voice& voice, uint32_t frame, size_t count, int16_t* left, int16_t* right) {
    size_t written = 0;
    const bool looping = voice.looping.load(std::memory_order_relaxed);
    while (written < count) {
        size_t run = std::min<size_t>(count - written, voice.frames - frame);
        ReadPcmFrames(voice.memory, voice.bits, voice.channels, frame, run, left + written, right + written);
        written += run;
        frame += static_cast<uint32_t>(run);
        if (frame < voice.frames) continue;
        if (!looping) {
            std::fill(left + written, left + count, int16_t(0));
            std::fill(right + written, right + count, int16_t(0));
            return;
        }
        frame = 0;
    }
}

void Mixer::GatherSource(const Voice& voice, size_t count, size_t before) {
    int16_t* left = sourceLeft.data();
    int16_t* right = sourceRight.data();
    const VoiceMix& mix = voice.mix;
    std::copy_n(mix.history[0] + kTapsBefore - before, before, left + kTapsBefore - before);
    if (voice.channels == 2) std::copy_n(mix.history[1] + kTapsBefore - before, before, right + kTapsBefore - before);
    if (!mix.fading) {
        ReadFrames(voice, mix.frame, count, left + kTapsBefore, right + kTapsBefore);
        return;
    }
    // What the tail does not hold counts as silence: a fade that outruns it ends the sound a little early.
    const size_t from = (size_t(mix.frame) + voice.frames - mix.tailFrom) % voice.frames;
    const size_t held = from < mix.tail[0].size() ? std::min(count, mix.tail[0].size() - from) : 0;
    for (int channel = 0; channel < 2; ++channel) {
        int16_t* out = (channel ? right : left) + kTapsBefore;
        std::copy_n(mix.tail[channel].data() + from, held, out);
        std::fill(out + held, out + count, int16_t(0));
    }
}

} // namespace posix_win32
