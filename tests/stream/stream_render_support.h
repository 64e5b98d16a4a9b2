// Streams on the platform's own mixer, driven in lock-step: 10 ms of on-demand render, then 10 ms of the manual
// timer clock, so every refill sees the play cursor exactly where the rendered frames put it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interface/sound_device.h"
#include "seams/sound_output.h"
#include "seams/timer_clock.h"
#include "wave/wave_bytes.h"
#include "zorva_sound.h"

namespace stream_render {

using wave_bytes::Bytes;
using Frames = std::vector<int16_t>; // interleaved 16-bit stereo

constexpr size_t kChannels = 2;
constexpr size_t kBytesPerFrame = 4;
constexpr size_t kFramesPerTick = 441; // 10 ms at 44.1 kHz

// A stereo ramp whose left channel never repeats within 32,000 frames and which is never zero, so silence and any
// shift of the frame grid both show.
inline Frames Ramp(size_t frames) {
    Frames samples(frames * kChannels);
    for (size_t frame = 0; frame < frames; ++frame) {
        samples[frame * 2] = static_cast<int16_t>(1 + frame % 32000);
        samples[frame * 2 + 1] = static_cast<int16_t>(-1 - static_cast<int>(frame / 32000));
    }
    return samples;
}

inline Bytes AsBytes(const Frames& samples) {
    const auto* first = reinterpret_cast<const uint8_t*>(samples.data());
    return Bytes(first, first + samples.size() * sizeof(int16_t));
}

inline Frames Slice(const Frames& samples, size_t firstFrame, size_t frames) {
    return Frames(samples.begin() + firstFrame * kChannels, samples.begin() + (firstFrame + frames) * kChannels);
}

inline void Append(Frames& out, const Frames& more) { out.insert(out.end(), more.begin(), more.end()); }

// The first frame at which `actual` and `expected` differ over the frames both hold, or -1.
inline long FirstDifference(const Frames& actual, const Frames& expected) {
    const size_t samples = std::min(actual.size(), expected.size());
    for (size_t i = 0; i < samples; ++i)
        if (actual[i] != expected[i]) return static_cast<long>(i / kChannels);
    return -1;
}

inline bool AllSilent(const Frames& samples) {
    for (int16_t sample : samples)
        if (sample != 0) return false;
    return true;
}

// Buffer frames of a stream buffer of `ms` at 44.1 kHz stereo: whole frames in each half.
inline size_t BufferFrames(unsigned ms) { return (44100u * 4u * ms / 1000u) / 8u * 2u; }

class StreamRenderFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        posix_win32::UseRenderOutput();
        posix_win32::UseManualTimerClock();
        ASSERT_EQ(ZRVA_Init(nullptr, 44100, 16, 2, 4, 0), 1u);
    }
    void TearDown() override {
        ZRVA_Release();
        posix_win32::UseSystemTimerClock();
        posix_win32::UseEnvironmentOutput();
    }

    // Writes `samples` as a 44.1 kHz stereo WAVE file and opens it as a stream of `ms` into `slot`.
    void OpenPcm(uint32_t slot, const Frames& samples, unsigned ms) {
        files_.push_back(std::make_unique<wave_bytes::TemporaryFile>(wave_bytes::CanonicalWave(AsBytes(samples))));
        ASSERT_EQ(ZRVA_Open(slot, files_.back()->path(), nullptr, ms), 1u);
    }

    // One step of the lock-step: render 10 ms into `out`, then let 10 ms of timer calls run.
    void Tick(Frames& out) {
        Frames block(kFramesPerTick * kChannels, 0x7777);
        ASSERT_EQ(posix_win32::RenderFrames(block.data(), kFramesPerTick), kFramesPerTick);
        Append(out, block);
        posix_win32::AdvanceTimerClock(10);
    }
    Frames Ticks(size_t count) {
        Frames out;
        for (size_t i = 0; i < count; ++i)
            Tick(out);
        return out;
    }

    static bool Playing(uint32_t slot) {
        DWORD status = 0;
        soundDevice.slots[slot].buffer->GetStatus(&status);
        return (status & DSBSTATUS_PLAYING) != 0;
    }
    static DWORD Cursor(uint32_t slot) {
        DWORD cursor = 0;
        soundDevice.slots[slot].buffer->GetCurrentPosition(&cursor, nullptr);
        return cursor;
    }

    std::vector<std::unique_ptr<wave_bytes::TemporaryFile>> files_;
};

} // namespace stream_render
