// The library started on the on-demand render with a timer clock that only the test moves, so a stream plays
// exactly what its first fill wrote.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "seams/resource_seams.h"
#include "seams/sound_output.h"
#include "seams/timer_clock.h"
#include "zorva_sound.h"

class RenderSession : public ::testing::Test {
  protected:
    static constexpr size_t kChannels = 2;
    // A one-second stream buffer: its first half (22,050 frames) is written by the play itself.
    static constexpr uint32_t kStreamMs = 1000;
    static constexpr size_t kPrefilledFrames = 20000;

    void SetUp() override {
        posix_win32::UseRenderOutput();
        posix_win32::UseManualTimerClock();
        ASSERT_EQ(ZRVA_Init(nullptr, 44100, 16, 2, 4, 0), 1u);
    }
    void TearDown() override {
        ZRVA_Release();
        posix_win32::UseSystemTimerClock();
        posix_win32::UseEnvironmentOutput();
        posix_win32::ClearRegisteredResourceTables();
    }

    static std::vector<int16_t> Render(size_t frames) {
        std::vector<int16_t> out(frames * kChannels, 0x7777);
        EXPECT_EQ(posix_win32::RenderFrames(out.data(), frames), frames);
        return out;
    }

    // Opens `path` as a stream in slot 0, plays it once and renders what the play wrote; empty when the open
    // failed. The slot is closed again either way.
    static std::vector<int16_t> PlayStreamOnce(const char* path) {
        if (!ZRVA_Open(0, path, nullptr, kStreamMs)) return {};
        EXPECT_EQ(ZRVA_Play(0, 0, 0), 1u);
        std::vector<int16_t> out = Render(kPrefilledFrames);
        ZRVA_Close(0);
        return out;
    }
};
