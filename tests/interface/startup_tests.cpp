// Start-up: each step that can fail leaves nothing started and nothing bound, and shows the step's own box, owned
// by the host's window; a second start waits for a call in progress and starts anew.
#include <future>
#include <thread>

#include <mmsystem.h>

#include "device/startup_messages.h"
#include "interface/library_lock.h"
#include "support/render_session.h"

using StartupTest = RenderSession;

namespace {

HRESULT WINAPI AlreadyInitialised(LPVOID) { return S_FALSE; }

std::vector<std::string> periodCalls;
MMRESULT WINAPI RecordBeginPeriod(UINT period) {
    periodCalls.push_back("begin " + std::to_string(period));
    return TIMERR_NOERROR;
}
MMRESULT WINAPI RecordEndPeriod(UINT period) {
    periodCalls.push_back("end " + std::to_string(period));
    return TIMERR_NOERROR;
}
HRESULT WINAPI RefusingInitialise(LPVOID) { return E_OUTOFMEMORY; }

struct StartupFailure {
    const char* what;
    void (*arrange)(DeviceScript&);
    const char* message;
    uint32_t slots;
};

const StartupFailure kFailures[] = {
    {"msacm32 missing", [](DeviceScript&) { posix_win32::FailModuleLoad("msacm32.dll"); }, kBindFailedMessage, 8},
    {"COM refused",
     [](DeviceScript&) { posix_win32::ReplaceEntryPoint("ole32.dll", "CoInitialize", &RefusingInitialise); },
     kBindFailedMessage, 8},
    {"no joystick entry", [](DeviceScript&) { posix_win32::HideEntryPoint("winmm.dll", "joyGetPosEx"); },
     kBindFailedMessage, 8},
    {"no device class", [](DeviceScript& s) { s.answers["CoCreateInstance"] = REGDB_E_CLASSNOTREG; },
     kDeviceFailedMessage, 8},
    {"no driver", [](DeviceScript& s) { s.answers["Initialize"] = DSERR_NODRIVER; }, kDeviceFailedMessage, 8},
    {"level answered S_FALSE", [](DeviceScript& s) { s.answers["SetCooperativeLevel"] = S_FALSE; },
     kCooperativeLevelMessage, 8},
    {"no primary buffer", [](DeviceScript& s) { s.answers["CreateSoundBuffer"] = DSERR_OUTOFMEMORY; },
     kPrimaryBufferMessage, 8},
    {"format refused", [](DeviceScript& s) { s.answers["SetFormat"] = DSERR_BADFORMAT; }, kPrimaryBufferMessage, 8},
    {"four billion slots", [](DeviceScript&) {}, kSlotTableMessage, 0xFFFFFFFFu},
};

} // namespace

TEST_F(StartupTest, EachFailedStepLeavesNothingAndShowsItsBox) {
    for (const StartupFailure& failure : kFailures) {
        SCOPED_TRACE(failure.what);
        script = {};
        messages.clear();
        messageOwners.clear();
        posix_win32::ResetModuleSeams();
        failure.arrange(script);
        EXPECT_EQ(Start(failure.slots), 0u);
        const SoundDevice zero{};
        EXPECT_EQ(memcmp(&soundDevice, &zero, sizeof zero), 0);
        for (const char* module : {"ole32.dll", "winmm.dll", "msacm32.dll"})
            EXPECT_EQ(posix_win32::ModuleLoadCount(module), 0) << module;
        EXPECT_EQ(messages, std::vector<std::string>{std::string(kStartupFailureCaption) + ": " + failure.message});
        EXPECT_EQ(messageOwners, std::vector<HWND>{reinterpret_cast<HWND>(kHostWindow)});
        EXPECT_EQ(ZRVA_Play(0, 0, 0), 0u);
    }
}

// Each slot gets its own event, created signalled, and none beyond; COM already initialised on this thread is no
// failure, and the release lets the events go. (A focus change or a second start closing the slots is the
// scenarios'.)
TEST_F(StartupTest, EachSlotGetsASignalledEventThatTheReleaseLetsGo) {
    posix_win32::ReplaceEntryPoint("ole32.dll", "CoInitialize", &AlreadyInitialised);
    ASSERT_EQ(Start(3), 1u);
    for (int i = 0; i <= 3; ++i)
        EXPECT_EQ(EventIsSet(i), i < 3) << i;
    EXPECT_EQ(posix_win32::ModuleLoadCount("ole32.dll"), 1);
    ZRVA_Release();
    EXPECT_FALSE(EventIsSet(0));
}

TEST_F(StartupTest, BufferFlagsFollowTheLocationAndGlobalFocus) {
    const DWORD primary[] = {0x89, 0x85, 0x81}, secondary[] = {0x100E8, 0x100E4, 0x100E0};
    for (uint32_t location = 0; location < 3; ++location) {
        for (uint32_t focus : {0, 1}) {
            script.bufferFlags.clear();
            ASSERT_EQ(ZRVA_Init(kHostWindow, 44100, 16, 2, 1, location), 1u);
            ASSERT_EQ(ZRVA_SetGlobalFocus(focus), 1u);
            OpenStream(0, Ramp(4410), 100);
            EXPECT_EQ(script.bufferFlags, (std::vector<DWORD>{primary[location], secondary[location] | focus << 15}));
        }
    }
}

// A second start closes the slots under the lock it already has, so it waits for a call that holds it.
TEST_F(StartupTest, SecondInitWaitsForACallThatHoldsTheLock) {
    ASSERT_EQ(Start(2), 1u);
    std::promise<void> held, release;
    std::thread holder([&] {
        LibraryLockGuard lock;
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    auto restart = std::async(std::launch::async, [] { return Start(2); });
    EXPECT_EQ(restart.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    release.set_value();
    holder.join();
    EXPECT_EQ(restart.get(), 1u);
}

// The timer runs at the finest period the system offers (here 1 ms) from start-up to the release, which ends that
// same period once: a period left begun keeps the whole system's timer fast.
TEST_F(StartupTest, TheFinestTimerPeriodIsBegunAtStartAndEndedAtRelease) {
    periodCalls.clear();
    posix_win32::ReplaceEntryPoint("winmm.dll", "timeBeginPeriod", &RecordBeginPeriod);
    posix_win32::ReplaceEntryPoint("winmm.dll", "timeEndPeriod", &RecordEndPeriod);
    ASSERT_EQ(Start(), 1u);
    EXPECT_EQ(periodCalls, std::vector<std::string>{"begin 1"});
    ZRVA_Release();
    EXPECT_EQ(periodCalls, (std::vector<std::string>{"begin 1", "end 1"}));
}
