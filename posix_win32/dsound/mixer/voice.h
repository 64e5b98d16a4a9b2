// A secondary buffer's playback, as the host asks for it and as the mixer plays it. The two sides meet without a
// lock: the host stores what it asks in atomics, and the mixer reads them once a block and publishes where it got to.
#pragma once

#include <stdint.h>

#include <atomic>
#include <vector>

#include "dsound/mixer/resampler.h"

namespace posix_win32 {

// The state word: the play position in frames (bits 0-31), whether the host has it playing (bit 32), and how many
// times the host has moved the position (bits 33-63), so that a move is told from the mixer's own progress.
constexpr uint64_t kStateFrameMask = 0xFFFFFFFFu;
constexpr uint64_t kStatePlaying = uint64_t(1) << 32;
constexpr uint64_t kStateSeek = uint64_t(1) << 33;

inline uint32_t StateFrame(uint64_t state) { return uint32_t(state & kStateFrameMask); }
inline bool StatePlaying(uint64_t state) { return (state & kStatePlaying) != 0; }
inline uint64_t StateSeeks(uint64_t state) { return state >> 33; }

// What only the mixer's thread touches.
struct VoiceMix {
    uint64_t applied = 0; // the state word the mix follows
    bool playing = false;
    bool fading = false;    // stopped by the host: fading out from where the mix is, then back to the stop position
    bool snapGains = false; // a start: the gains take their targets at once, with no fade-in
    uint32_t frame = 0;
    uint32_t fraction = 0;     // a 32-bit binary fraction of a frame
    float left = 0, right = 0; // the gains reached
    float targetLeft = 0, targetRight = 0;
    uint32_t rampFrames = 0;                        // frames left until the gains reach their targets
    ResamplerChoice resampler = {0, 0, 0, nullptr}; // for the last step mixed
    uint64_t step = 0;                              // the voice's rate over the output's, 32.32, for these two rates
    uint32_t stepFrequency = 0;
    uint32_t stepRate = 0;
    size_t historyFrames = 0; // how many of the frames before `frame` the history holds, newest last
    // The frames before `frame`, per channel and oldest first, kept so that the host may rewrite everything behind
    // the play cursor while the resampler still reads it.
    int16_t history[2][kResamplerFramesBefore] = {};
    // The sound after `frame`, copied at the end of each block: a stop's fade-out plays it, since the host may write
    // the buffer as soon as its Stop has returned. Sized by the mixer when it takes the voice.
    std::vector<int16_t> tail[2];
    uint32_t tailFrom = 0; // the frame tail[.][0] holds
    // Where a stop left the voice, taken up again once its fade-out has played, or at a start before that.
    uint32_t stopFrame = 0;
    uint32_t stopFraction = 0;
    size_t stopHistoryFrames = 0;
    int16_t stopHistory[2][kResamplerFramesBefore] = {};
};

struct Voice {
    // Fixed from creation.
    const uint8_t* memory = nullptr;
    uint32_t frames = 0;
    uint16_t channels = 1;
    uint16_t bits = 16;

    // Asked by the host; each block of the mix takes what they hold then.
    std::atomic<uint32_t> frequency{0};
    std::atomic<bool> looping{false};
    std::atomic<float> volumeGain{1.0f};
    std::atomic<float> leftPanGain{1.0f};
    std::atomic<float> rightPanGain{1.0f};
    // Set by the host (play, stop, a new position) and by the mixer (the position it reached, a one-shot's end),
    // each by compare-and-swap from the word it last saw, so neither overwrites the other.
    std::atomic<uint64_t> state{0};
    // Bumped by the host once it has written the memory, loaded by the mixer before it reads: orders the two.
    std::atomic<uint32_t> written{0};
    // Every frame the position has moved on, laps included.
    std::atomic<uint64_t> playedFrames{0};

    VoiceMix mix;
};

// The host's changes to the state word.
inline void ChangeVoiceState(Voice& voice, uint64_t (*change)(uint64_t)) {
    uint64_t seen = voice.state.load(std::memory_order_acquire);
    while (!voice.state.compare_exchange_weak(seen, change(seen), std::memory_order_acq_rel)) {
    }
}
inline void PlayVoice(Voice& voice) {
    ChangeVoiceState(voice, [](uint64_t state) { return state | kStatePlaying; });
}
inline void StopVoice(Voice& voice) {
    ChangeVoiceState(voice, [](uint64_t state) { return state & ~kStatePlaying; });
}
inline void SeekVoice(Voice& voice, uint32_t frame) {
    uint64_t seen = voice.state.load(std::memory_order_acquire);
    while (!voice.state.compare_exchange_weak(seen, ((seen & ~kStateFrameMask) + kStateSeek) | frame,
                                              std::memory_order_acq_rel)) {
    }
}

} // namespace posix_win32
