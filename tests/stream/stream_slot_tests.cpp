// Stream slots on a recording device with a driven timer: what each refill writes into which half, the results of
// play, the slot events, and the host calls that meet a refill in progress on the timer thread.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <mmsystem.h>

#include "hooked_sound_device.h"
#include "interface/sound_device.h"
#include "seams/com_seams.h"
#include "seams/timer_clock.h"
#include "stream/stream_refill.h"
#include "wave/wave_bytes.h"
#include "zorva_sound.h"

using namespace wave_bytes;

namespace {

// 50 ms of 44.1 kHz 16-bit stereo, in whole frames per half.
constexpr DWORD kBufferBytes = 8816;
constexpr DWORD kHalf = kBufferBytes / 2;

// How long a hook lets a host call run ahead before the refill goes on. A host call that waits as it should is
// still waiting when this runs out, and the test passes; one that does not wait reaches the buffer well within it.
constexpr auto kRunAhead = std::chrono::milliseconds(200);

bool EventIsSet(DWORD slot) {
    char name[32];
    SlotEventName(slot, name);
    HANDLE event = OpenEventA(EVENT_ALL_ACCESS, FALSE, name);
    const bool set = WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
    CloseHandle(event);
    return set;
}

// Delivers 100 bytes of 0x22 and says the data goes on.
BOOL FillHundredBytes(BYTE* destination, DWORD* bytes, const WAVEFORMATEX*, SoundSlot*) {
    memset(destination, 0x22, 100);
    *bytes = 100;
    return TRUE;
}

// Writes exactly what is asked, in 0x11 bytes.
BOOL FillWholeRegion(BYTE* destination, DWORD* bytes, const WAVEFORMATEX*, SoundSlot*) {
    memset(destination, 0x11, *bytes);
    return TRUE;
}

// Signals once a host thread has reached the buffer.
class Arrival {
  public:
    void Signal() {
        std::lock_guard lock(mutex);
        arrived = true;
        changed.notify_all();
    }
    bool WaitFor(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [this] { return arrived; });
    }

  private:
    std::mutex mutex;
    std::condition_variable changed;
    bool arrived = false;
};

} // namespace

class StreamSlotTest : public ::testing::Test {
  protected:
    void SetUp() override {
        posix_win32::SetCreateInstanceHook([this](REFCLSID, LPUNKNOWN, DWORD, REFIID, void** object) {
            *object = static_cast<IDirectSound*>(&device);
            return S_OK;
        });
        posix_win32::UseManualTimerClock();
        ASSERT_EQ(ZRVA_Init(nullptr, 44100, 16, 2, 4, 0), 1u);
    }
    void TearDown() override {
        // The hooks hold references into the test body, which has ended; the release still stops every buffer.
        for (size_t i = 0; i < device.buffers.size(); ++i)
            device.Buffer(i)->hooks = {};
        ZRVA_Release();
        posix_win32::UseSystemTimerClock();
        posix_win32::SetCreateInstanceHook(nullptr);
    }

    // Opens `samples` in `format` as a stream of `ms` into `slot`; null when the open failed.
    HookedBuffer* OpenStream(uint32_t slot, const Bytes& samples, const PcmFormat& format = {}, uint32_t ms = 50) {
        files.push_back(std::make_unique<TemporaryFile>(CanonicalWave(samples, format)));
        return ZRVA_Open(slot, files.back()->path(), nullptr, ms) == 1 ? device.LastHookedBuffer() : nullptr;
    }
    static void Tick() { posix_win32::AdvanceTimerClock(10); }
    static Bytes Part(const HookedBuffer* buffer, size_t offset, size_t count) {
        return Bytes(buffer->bytes.begin() + offset, buffer->bytes.begin() + offset + count);
    }

    HookedSoundDevice device;
    std::vector<std::unique_ptr<TemporaryFile>> files;
};

TEST_F(StreamSlotTest, OpenRefusesBuffersBelow50MsAndRoundsHalvesToWholeFrames) {
    EXPECT_EQ(OpenStream(0, Samples(40000), {}, 49), nullptr);
    EXPECT_EQ(soundDevice.slots[0].kind, Empty);
    ASSERT_NE(OpenStream(0, Samples(40000), {}, 50), nullptr);
    EXPECT_EQ(soundDevice.slots[0].bufferBytes, kBufferBytes) << "8,820 bytes rounded down to 4-byte halves";
    ASSERT_NE(OpenStream(1, Samples(40000), {}, 55), nullptr);
    EXPECT_EQ(soundDevice.slots[1].bufferBytes, 9696u) << "not 9,702, whose halves of 4,851 split a frame";
    ASSERT_NE(OpenStream(2, Samples(4000), {1, 1, 22050, 16}, 50), nullptr);
    EXPECT_EQ(soundDevice.slots[2].bufferBytes, 2204u) << "not 2,205, whose last byte would split a frame";
    EXPECT_EQ(soundDevice.slots[2].buffer, device.LastBuffer());
    EXPECT_FALSE(device.LastHookedBuffer()->playing);
    EXPECT_EQ(device.LastHookedBuffer()->locks, 0) << "nothing is written before play";
}

TEST_F(StreamSlotTest, PlayPrefillsTheFirstHalfThenTheTimerWritesTheSecond) {
    const Bytes samples = Samples(3 * kHalf);
    HookedBuffer* buffer = OpenStream(0, samples);
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    EXPECT_EQ(Bytes(samples.begin(), samples.begin() + kHalf), Part(buffer, 0, kHalf));
    EXPECT_EQ(buffer->playCursor, 0u);
    EXPECT_TRUE(buffer->playing);
    EXPECT_EQ(buffer->playFlags, DWORD{DSBPLAY_LOOPING});
    EXPECT_EQ(soundDevice.slots[0].lastFilledHalf, FALSE);

    Tick();
    EXPECT_EQ(Bytes(samples.begin() + kHalf, samples.begin() + 2 * kHalf), Part(buffer, kHalf, kHalf));
    EXPECT_EQ(soundDevice.slots[0].lastFilledHalf, TRUE);
    const int locks = buffer->locks;
    Tick();
    EXPECT_EQ(buffer->locks, locks) << "the cursor is still in the first half: nothing is due";
    buffer->playCursor = kHalf;
    Tick();
    EXPECT_EQ(Bytes(samples.begin() + 2 * kHalf, samples.end()), Part(buffer, 0, kHalf));
}

// The compression manager here always suggests 16-bit PCM, so the 8-bit case sets the slot's format by hand.
TEST_F(StreamSlotTest, SilenceIsZeroFor16BitAnd80HexFor8Bit) {
    HookedBuffer* wide = OpenStream(0, Samples(100));
    HookedBuffer* narrow = OpenStream(1, Samples(100));
    ASSERT_NE(wide, nullptr);
    ASSERT_NE(narrow, nullptr);
    soundDevice.slots[1].outputFormat.wBitsPerSample = 8;
    soundDevice.slots[1].fillCallback = &FillHundredBytes;
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    ASSERT_EQ(ZRVA_Play(1, 0, 0), 1u);
    EXPECT_EQ(Part(wide, 0, 100), Samples(100));
    EXPECT_EQ(Part(wide, 100, kHalf - 100), Bytes(kHalf - 100, 0x00));
    EXPECT_EQ(Part(narrow, 0, 100), Bytes(100, 0x22));
    EXPECT_EQ(Part(narrow, 100, kHalf - 100), Bytes(kHalf - 100, 0x80));
}

TEST_F(StreamSlotTest, DataOfExactlyAHalfFillsItWholeAndEndsAtTheNextFill) {
    const Bytes samples = Samples(kHalf);
    HookedBuffer* buffer = OpenStream(0, samples);
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    EXPECT_EQ(Part(buffer, 0, kHalf), samples);
    EXPECT_EQ(soundDevice.slots[0].endOfData, FALSE) << "a fill that delivered all it was asked for goes on";
    Tick();
    EXPECT_EQ(Part(buffer, kHalf, kHalf), Bytes(kHalf, 0x00));
    EXPECT_EQ(soundDevice.slots[0].endOfData, TRUE);
    EXPECT_NE(soundDevice.slots[0].timerId, 0u);
}

TEST_F(StreamSlotTest, ACallbackThatDeliversExactlyTheRegionLeavesNoSilence) {
    HookedBuffer* buffer = OpenStream(0, Samples(100));
    ASSERT_NE(buffer, nullptr);
    soundDevice.slots[0].fillCallback = &FillWholeRegion;
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    Tick();
    EXPECT_EQ(Part(buffer, 0, kBufferBytes), Bytes(kBufferBytes, 0x11));
}

TEST_F(StreamSlotTest, AFailedLockIsTriedAgainAtTheNextCall) {
    const Bytes samples = Samples(3 * kHalf);
    HookedBuffer* buffer = OpenStream(0, samples);
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    buffer->settings.lock = DSERR_BUFFERLOST;
    Tick();
    EXPECT_EQ(soundDevice.slots[0].lastFilledHalf, FALSE);
    EXPECT_EQ(buffer->unlocks, 1) << "only the prefill's";
    buffer->settings.lock = DS_OK;
    Tick();
    EXPECT_EQ(soundDevice.slots[0].lastFilledHalf, TRUE);
    EXPECT_EQ(Bytes(samples.begin() + kHalf, samples.begin() + 2 * kHalf), Part(buffer, kHalf, kHalf));
}

TEST_F(StreamSlotTest, TwoStreamsEachHoldOnlyTheirOwnEventWhileTheyRefill) {
    HookedBuffer* first = OpenStream(1, Samples(3 * kHalf));
    HookedBuffer* second = OpenStream(2, Samples(3 * kHalf));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    std::vector<std::pair<bool, bool>> seenByFirst, seenBySecond; // events 1 and 2 set, at each Lock
    first->hooks.onLock = [&] { seenByFirst.emplace_back(EventIsSet(1), EventIsSet(2)); };
    second->hooks.onLock = [&] { seenBySecond.emplace_back(EventIsSet(1), EventIsSet(2)); };
    ASSERT_EQ(ZRVA_Play(1, 0, 0), 1u);
    ASSERT_EQ(ZRVA_Play(2, 0, 0), 1u);
    Tick(); // timer calls: each writes its second half
    const std::vector<std::pair<bool, bool>> firstExpected{{false, true}, {false, true}};
    const std::vector<std::pair<bool, bool>> secondExpected{{true, false}, {true, false}};
    EXPECT_EQ(seenByFirst, firstExpected) << "prefill, then the timer call";
    EXPECT_EQ(seenBySecond, secondExpected) << "prefill, then the timer call";
    EXPECT_TRUE(EventIsSet(1) && EventIsSet(2));
}

TEST_F(StreamSlotTest, PlayAnswersZeroOnlyForTheFourRefusals) {
    device.nextBuffer.play = DSERR_OTHERAPPHASPRIO;
    ASSERT_NE(OpenStream(0, Samples(3 * kHalf)), nullptr);
    EXPECT_EQ(ZRVA_Play(0, 0, 0), 1u);
    device.nextBuffer.play = DSERR_BUFFERLOST;
    ASSERT_NE(OpenStream(1, Samples(3 * kHalf)), nullptr);
    EXPECT_EQ(ZRVA_Play(1, 0, 0), 0u);
}

TEST_F(StreamSlotTest, ARefusedPlayKillsItsTimerSoTheNextPlayPlays) {
    device.nextBuffer.play = DSERR_BUFFERLOST;
    HookedBuffer* buffer = OpenStream(0, Samples(3 * kHalf));
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 0u);
    EXPECT_EQ(soundDevice.slots[0].timerId, 0u);
    const int locks = buffer->locks;
    Tick();
    EXPECT_EQ(buffer->locks, locks) << "no timer refills the refused stream";
    buffer->settings.play = DS_OK;
    EXPECT_EQ(ZRVA_Play(0, 0, 0), 1u);
    EXPECT_TRUE(buffer->playing);
}

TEST_F(StreamSlotTest, CloseWhilePlayingKillsTheTimerBeforeItStopsTheBuffer) {
    HookedBuffer* buffer = OpenStream(0, Samples(3 * kHalf));
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(ZRVA_Play(0, 1, 0), 1u);
    const UINT timerId = soundDevice.slots[0].timerId;
    ASSERT_NE(timerId, 0u);
    MMRESULT killAtStop = TIMERR_NOERROR;
    buffer->hooks.onStop = [&] { killAtStop = timeKillEvent(timerId); };
    ZRVA_Close(0);
    EXPECT_EQ(killAtStop, MMSYSERR_INVALPARAM) << "the timer was dead before the buffer stopped";
    EXPECT_EQ(buffer->references, 0u);
    static const SoundSlot zero{};
    EXPECT_EQ(memcmp(&soundDevice.slots[0], &zero, sizeof zero), 0);
    EXPECT_TRUE(EventIsSet(0));
}

// A refill that the timer dispatched before a closer killed it, but that reaches the event only after the closer's
// wait, finds the timer id cleared and leaves the stopped slot alone.
TEST_F(StreamSlotTest, ARefillOfAKilledTimerLeavesTheSlotAlone) {
    HookedBuffer* buffer = OpenStream(0, Samples(3 * kHalf));
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(ZRVA_Play(0, 1, 0), 1u);
    const UINT timerId = soundDevice.slots[0].timerId;
    ASSERT_EQ(ZRVA_Stop(0), 1u);
    const int locks = buffer->locks;
    StreamRefill(timerId, 0, reinterpret_cast<DWORD_PTR>(&soundDevice.slots[0]), 0, 0);
    EXPECT_EQ(buffer->locks, locks);
    EXPECT_TRUE(EventIsSet(0));
}

// The refill that ends the sound clears the timer id itself while it still works; a stop, or a play that restarts
// the sound, that came then must wait for it all the same.
TEST_F(StreamSlotTest, StopAndPlayWaitForTheRefillThatEndsTheSound) {
    const std::function<void()> hostCalls[] = {[] { ZRVA_Stop(0); }, [] { ZRVA_Play(0, 1, 0); }};
    for (const auto& hostCall : hostCalls) {
        HookedBuffer* buffer = OpenStream(0, Samples(100)); // shorter than a half: the prefill already ends the data
        ASSERT_NE(buffer, nullptr);
        ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
        ASSERT_EQ(soundDevice.slots[0].endOfData, TRUE);
        Arrival stopReached;
        std::atomic<bool> refillWorking{false}, stoppedWhileWorking{false};
        buffer->hooks.onStop = [&] {
            stoppedWhileWorking = stoppedWhileWorking || refillWorking;
            stopReached.Signal();
        };
        std::thread host;
        buffer->hooks.onUnlock = [&] {
            if (host.joinable()) return;
            ASSERT_EQ(soundDevice.slots[0].timerId, 0u) << "the ending refill has cleared its timer id";
            refillWorking = true;
            host = std::thread(hostCall);
            stopReached.WaitFor(kRunAhead);
            refillWorking = false;
        };
        Tick();
        if (host.joinable()) host.join();
        EXPECT_FALSE(stoppedWhileWorking);
        EXPECT_EQ(buffer->stops.load(), 2) << "play's stop, then the host's";
        buffer->hooks = {};
        ZRVA_Close(0);
    }
}

TEST_F(StreamSlotTest, BufferLengthIsComputedInDoublePrecision) {
    // 16,400 bytes a second for 50 ms is 820 in integers but 819.99... in doubles: 819, then whole pairs of frames.
    ASSERT_NE(OpenStream(0, Samples(1000), {1, 1, 8200, 16}), nullptr);
    EXPECT_EQ(soundDevice.slots[0].bufferBytes, 816u);
}

// At the end of the data a refill turns play to one-shot; a pause that came during that refill must not be undone.
TEST_F(StreamSlotTest, PauseWaitsForARefillSoTheBufferStaysStopped) {
    HookedBuffer* buffer = OpenStream(0, Samples(100));
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    Arrival stopReached;
    buffer->hooks.onStop = [&] { stopReached.Signal(); };
    std::thread host;
    buffer->hooks.onLock = [&] {
        if (host.joinable()) return;
        host = std::thread([] { ZRVA_Pause(0); });
        stopReached.WaitFor(kRunAhead);
    };
    Tick(); // the ending refill: silences the second half and plays on without looping
    if (host.joinable()) host.join();
    EXPECT_FALSE(buffer->playingNow);
    EXPECT_EQ(soundDevice.slots[0].timerId, 0u);
}
