// The hand-shake between host calls and the refills on the timer thread: a refill holds only its own slot's
// event, one whose timer was killed touches nothing, and a host call waits for the refill that ends a sound.
#include <future>
#include <thread>

#include <mmsystem.h>

#include "stream/stream_refill.h"
#include "support/render_session.h"

using StreamHandshakeTest = RenderSession;

TEST_F(StreamHandshakeTest, EachRefillHoldsOnlyItsOwnSlotsEventAndTriesAFailedLockAgain) {
    ASSERT_EQ(Start(), 1u);
    OpenStream(1, Ramp(44100), 100);
    OpenStream(2, Ramp(44100), 100);
    std::vector<std::pair<bool, bool>> seen; // events 1 and 2 set, at each Lock
    script.hooks["Lock"] = [&] { seen.emplace_back(EventIsSet(1), EventIsSet(2)); };
    ASSERT_EQ(ZRVA_Play(1, 0, 0), 1u);
    ASSERT_EQ(ZRVA_Play(2, 0, 0), 1u);
    Ticks(1); // each timer writes its second half
    const std::vector<std::pair<bool, bool>> expected{{false, true}, {true, false}, {false, true}, {true, false}};
    EXPECT_EQ(seen, expected) << "the prefills, then one timer call each";
    EXPECT_TRUE(EventIsSet(1) && EventIsSet(2));
    // The first halves fall due at 50 ms, while the device refuses every lock: the next call writes them.
    script.answers["Lock"] = DSERR_BUFFERLOST;
    Ticks(5);
    script.answers.clear();
    seen.clear();
    Ticks(1);
    script.hooks.clear();
    EXPECT_EQ(seen.size(), 2u);
}

// Stop, Pause and Close each kill the slot's timer, so no refill outlives the slot it fills; and a refill that a
// killed timer had already begun leaves the slot alone.
TEST_F(StreamHandshakeTest, StopPauseAndCloseKillTheTimerAndItsRefillTouchesNothing) {
    ASSERT_EQ(Start(), 1u);
    for (auto end : {+[] { ZRVA_Stop(0); }, +[] { ZRVA_Pause(0); }, +[] { ZRVA_Close(0); }}) {
        OpenStream(0, Ramp(44100), 100);
        ASSERT_EQ(ZRVA_Play(0, 1, 0), 1u);
        const UINT timerId = soundDevice.slots[0].timerId;
        end();
        EXPECT_EQ(timeKillEvent(timerId), MMSYSERR_INVALPARAM);
        int locks = 0;
        script.hooks["Lock"] = [&] { ++locks; };
        StreamRefill(timerId, 0, reinterpret_cast<DWORD_PTR>(&soundDevice.slots[0]), 0, 0);
        script.hooks.clear();
        EXPECT_EQ(locks, 0);
        EXPECT_TRUE(EventIsSet(0));
        ZRVA_Close(0);
    }
}

// The refill that finds the data ended stops the buffer and kills its own timer; a Stop, a Play or the release
// arriving meanwhile must wait for it rather than act on a slot half way through that (the release closes the slots
// before their events, so its close waits like any other).
TEST_F(StreamHandshakeTest, StopPlayAndReleaseWaitForTheRefillThatEndsTheSound) {
    ASSERT_EQ(Start(), 1u);
    for (auto hostCall : {+[] { ZRVA_Stop(0); }, +[] { ZRVA_Play(0, 1, 0); }, +[] { ZRVA_Release(); }}) {
        OpenStream(0, Ramp(100), 100); // shorter than a half: the prefill already ends the data
        ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
        ASSERT_TRUE(soundDevice.slots[0].endOfData);
        std::promise<void> stopReached;
        std::atomic<bool> refillWorking{false}, stoppedWhileWorking{false};
        int stops = 0;
        script.hooks["Stop"] = [&] {
            stoppedWhileWorking = stoppedWhileWorking || refillWorking;
            if (++stops == 1) stopReached.set_value();
        };
        std::thread host;
        script.hooks["Unlock"] = [&] {
            if (host.joinable()) return;
            refillWorking = true;
            host = std::thread(hostCall);
            stopReached.get_future().wait_for(std::chrono::milliseconds(200));
            refillWorking = false;
        };
        // Only until the refill has started the host's call: after a release there is nothing left to render.
        for (int tick = 0; tick < 6 && !host.joinable(); ++tick)
            Ticks(1);
        ASSERT_TRUE(host.joinable());
        host.join();
        script.hooks.clear();
        EXPECT_FALSE(stoppedWhileWorking);
        EXPECT_GE(stops, 1);
        ZRVA_Close(0);
    }
}

TEST_F(StreamHandshakeTest, PlayAnswersZeroOnlyForTheFourRefusalsAndSettersOneWhateverTheDeviceSays) {
    ASSERT_EQ(Start(), 1u);
    const HRESULT refusals[] = {DSERR_INVALIDPARAM, DSERR_INVALIDCALL, DSERR_PRIOLEVELNEEDED, DSERR_BUFFERLOST};
    for (HRESULT answer : {DS_OK, DSERR_OTHERAPPHASPRIO, refusals[0], refusals[1], refusals[2], refusals[3]}) {
        const bool refused = std::find(std::begin(refusals), std::end(refusals), answer) != std::end(refusals);
        OpenStream(0, Ramp(44100), 100);
        ASSERT_EQ(ZRVA_Open(1, files.back()->path(), nullptr, 0), 1u);
        script.answers["Play"] = answer;
        EXPECT_EQ(ZRVA_Play(0, 1, 0), refused ? 0u : 1u) << std::hex << answer;
        EXPECT_EQ(ZRVA_Play(1, 0, 0), answer == DS_OK ? 1u : 0u) << "static " << std::hex << answer;
        // A setter answers 1 whatever the device made of the value; a getter the device refused, its failure value.
        for (const char* call : {"SetVolume", "SetPan", "SetFrequency", "GetVolume", "GetPan", "GetFrequency"})
            script.answers[call] = answer == DS_OK ? DSERR_INVALIDPARAM : answer;
        EXPECT_EQ(ZRVA_SetVolume(1, -100) + ZRVA_SetPan(1, 100) + ZRVA_SetFrequency(1, 8000), 3u);
        EXPECT_EQ(ZRVA_GetVolume(1), 1);
        EXPECT_EQ(ZRVA_GetPan(1), ZRVA_PAN_FAILURE);
        EXPECT_EQ(ZRVA_GetFrequency(1), 0u);
        script.answers.clear();
        // A refused stream play leaves no timer behind, so the next play plays.
        EXPECT_EQ(soundDevice.slots[0].timerId != 0, !refused);
        EXPECT_EQ(ZRVA_Play(0, 1, 0), 1u);
        ZRVA_CloseAll();
    }
}

// A buffer of an odd length in milliseconds (55 ms of 16-bit stereo is 9,702 bytes) is cut to halves of whole
// frames, so the stream plays every frame in order across every seam between the halves.
TEST_F(StreamHandshakeTest, AnOddLengthBufferPlaysEveryFrameInOrder) {
    ASSERT_EQ(Start(), 1u);
    const Frames ramp = Ramp(8000);
    OpenStream(0, ramp, 55);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    const Frames heard = Ticks(19);
    EXPECT_TRUE(std::equal(ramp.begin(), ramp.end(), heard.begin()));
}
