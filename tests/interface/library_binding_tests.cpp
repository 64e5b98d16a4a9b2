#include "device/startup_messages.h"
#include "device_fixture.h"
#include "platform/system_library_binding.h"

namespace {

int beginPeriodCalls;
int endPeriodCalls;
int platformCalls;

MMRESULT WINAPI CountingBeginPeriod(UINT) {
    ++beginPeriodCalls;
    return TIMERR_NOERROR;
}
MMRESULT WINAPI CountingEndPeriod(UINT) {
    ++endPeriodCalls;
    return TIMERR_NOERROR;
}
HRESULT WINAPI AlreadyInitialised(LPVOID) { return S_FALSE; }
HRESULT WINAPI RefusingInitialise(LPVOID) { return E_OUTOFMEMORY; }
void WINAPI CountingUninitialize() { ++platformCalls; }

class LibraryBindingTest : public DeviceFixture {
  protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        beginPeriodCalls = endPeriodCalls = platformCalls = 0;
        posix_win32::ReplaceEntryPoint("winmm.dll", "timeBeginPeriod", &CountingBeginPeriod);
        posix_win32::ReplaceEntryPoint("winmm.dll", "timeEndPeriod", &CountingEndPeriod);
    }
    void TearDown() override {
        while (systemLibraries.com.refCount > 0 || systemLibraries.timer.refCount > 0 ||
               systemLibraries.acm.refCount > 0)
            UnbindSystemLibraries();
        DeviceFixture::TearDown();
    }
};

} // namespace

TEST_F(LibraryBindingTest, MissingJoystickEntryFailsStartup) {
    posix_win32::HideEntryPoint("winmm.dll", "joyGetPosEx");
    EXPECT_EQ(StartDefault(), 0u);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kBindFailedMessage);
    EXPECT_TRUE(NoLibraryLoaded());
    EXPECT_EQ(beginPeriodCalls, 0);
}

TEST_F(LibraryBindingTest, ComAlreadyInitialisedOnThisThreadStillBinds) {
    posix_win32::ReplaceEntryPoint("ole32.dll", "CoInitialize", &AlreadyInitialised);
    EXPECT_EQ(BindComLibrary(), TRUE);
    EXPECT_NE(ComEntries(), nullptr);
}

TEST_F(LibraryBindingTest, ComInitialisationFailureUnloadsOle32) {
    posix_win32::ReplaceEntryPoint("ole32.dll", "CoInitialize", &RefusingInitialise);
    EXPECT_EQ(BindComLibrary(), FALSE);
    EXPECT_EQ(posix_win32::ModuleLoadCount("ole32.dll"), 0);
    EXPECT_EQ(ComEntries(), nullptr);
}

TEST_F(LibraryBindingTest, BindTwiceUnbindOnceKeepsTheLibraryAndThePeriod) {
    ASSERT_EQ(BindTimerLibrary(), TRUE);
    ASSERT_EQ(BindTimerLibrary(), TRUE);
    EXPECT_EQ(beginPeriodCalls, 1);
    EXPECT_EQ(systemLibraries.timer.refCount, 2);
    UnbindTimerLibrary();
    EXPECT_NE(TimerEntries(), nullptr);
    EXPECT_EQ(posix_win32::ModuleLoadCount("winmm.dll"), 1);
    EXPECT_EQ(endPeriodCalls, 0);
    UnbindTimerLibrary();
    EXPECT_EQ(TimerEntries(), nullptr);
    EXPECT_EQ(posix_win32::ModuleLoadCount("winmm.dll"), 0);
    EXPECT_EQ(endPeriodCalls, 1);
    UnbindTimerLibrary();
    EXPECT_EQ(systemLibraries.timer.refCount, 0);
    EXPECT_EQ(endPeriodCalls, 1);
}

TEST_F(LibraryBindingTest, WinmmFailureLeavesOle32BoundAndSkipsMsacm32) {
    posix_win32::FailModuleLoad("winmm.dll");
    EXPECT_EQ(BindSystemLibraries(), FALSE);
    EXPECT_EQ(systemLibraries.com.refCount, 1);
    EXPECT_EQ(posix_win32::ModuleLoadCount("ole32.dll"), 1);
    EXPECT_EQ(posix_win32::ModuleLoadCount("msacm32.dll"), 0);
    EXPECT_EQ(systemLibraries.acm.refCount, 0);
}

TEST_F(LibraryBindingTest, UnbindWithNothingBoundCallsNoPlatformFunction) {
    posix_win32::ReplaceEntryPoint("ole32.dll", "CoUninitialize", &CountingUninitialize);
    UnbindSystemLibraries();
    EXPECT_EQ(platformCalls, 0);
    EXPECT_EQ(endPeriodCalls, 0);
    EXPECT_TRUE(NoLibraryLoaded());
}

TEST_F(LibraryBindingTest, LastUnbindUninitialisesCom) {
    posix_win32::ReplaceEntryPoint("ole32.dll", "CoUninitialize", &CountingUninitialize);
    ASSERT_EQ(StartDefault(), 1u);
    ZRVA_Release();
    EXPECT_EQ(platformCalls, 1);
    EXPECT_EQ(endPeriodCalls, 1);
    EXPECT_TRUE(NoLibraryLoaded());
}
