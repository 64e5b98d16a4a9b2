// The library on the platform's mixer rendered on demand, with a timer clock that only the test moves, a script
// over the DirectSound it creates, and the message boxes it shows collected. Tick() is the lock-step of a real
// output: 10 ms of render, then 10 ms of timer calls, so every refill sees the play cursor the render left.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "interface/sound_device.h"
#include "scripted_device.h"
#include "seams/message_box_seams.h"
#include "seams/module_seams.h"
#include "seams/sound_output.h"
#include "seams/timer_clock.h"
#include "wave_bytes.h"
#include "zorva_sound.h"

using Frames = std::vector<int16_t>; // interleaved 16-bit stereo at 44.1 kHz

inline std::string Fixture(const char* name) { return std::string(ZORVA_FIXTURE_DIR "/") + name; }

class RenderSession : public ::testing::Test {
  protected:
    static inline const ZRVA_WINDOW kHostWindow = reinterpret_cast<ZRVA_WINDOW>(0x1234);
    DeviceScript script;
    std::vector<std::string> messages; // "caption: text", as the library passed them
    std::vector<HWND> messageOwners;

    void SetUp() override {
        posix_win32::UseRenderOutput();
        posix_win32::UseManualTimerClock();
        ScriptDevices(script);
        posix_win32::SetMessageBoxHook([this](HWND owner, const char* text, const char* caption, UINT) {
            messages.push_back(std::string(caption) + ": " + text);
            messageOwners.push_back(owner);
            return IDOK;
        });
    }
    void TearDown() override {
        ZRVA_Release();
        posix_win32::SetCreateInstanceHook(nullptr);
        posix_win32::SetMessageBoxHook(nullptr);
        posix_win32::ResetModuleSeams();
        posix_win32::UseSystemTimerClock();
        posix_win32::UseEnvironmentOutput();
    }

    static uint32_t Start(uint32_t slots = 8) { return ZRVA_Init(kHostWindow, 44100, 16, 2, slots, 2); }

    Frames Ticks(size_t count) {
        Frames out(count * 441 * 2);
        for (size_t i = 0; i < count; ++i) {
            EXPECT_EQ(posix_win32::RenderFrames(out.data() + i * 882, 441), 441u);
            posix_win32::AdvanceTimerClock(10);
        }
        return out;
    }

    // Opens `samples` (stereo at 44.1 kHz) as a stream of `ms` in `slot`, from a file kept for the test.
    void OpenStream(uint32_t slot, const Frames& samples, uint32_t ms) {
        files.push_back(
            std::make_unique<wave_bytes::TemporaryFile>(wave_bytes::CanonicalWave(samples.data(), samples.size() * 2)));
        ASSERT_EQ(ZRVA_Open(slot, files.back()->path(), nullptr, ms), 1u);
    }

    // Whether the slot's event exists and is set (no refill holds it).
    static bool EventIsSet(int slot) {
        char name[32];
        SlotEventName(slot, name);
        HANDLE event = OpenEventA(EVENT_ALL_ACCESS, FALSE, name);
        const bool set = event && WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
        if (event) CloseHandle(event);
        return set;
    }

    std::vector<std::unique_ptr<wave_bytes::TemporaryFile>> files;
};

// A stereo ramp whose left channel never repeats within 32,000 frames and is never zero.
inline Frames Ramp(size_t frames) {
    Frames samples(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        samples[2 * i] = static_cast<int16_t>(1 + i % 32000);
        samples[2 * i + 1] = static_cast<int16_t>(-1 - static_cast<int>(i / 32000));
    }
    return samples;
}
