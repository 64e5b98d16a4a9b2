#include <gtest/gtest.h>

#include <thread>

#include <windows.h>

TEST(NamedEventTest, NamedEventIsSharedByEveryHandleUntilTheLastCloses) {
    HANDLE created = CreateEventA(nullptr, TRUE, FALSE, "test event shared");
    ASSERT_NE(created, nullptr);
    HANDLE opened = OpenEventA(EVENT_ALL_ACCESS, FALSE, "test event shared");
    ASSERT_NE(opened, nullptr);
    EXPECT_NE(opened, created);
    EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(created));
    EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_OBJECT_0) << "manual reset stays signalled";
    EXPECT_TRUE(ResetEvent(opened));
    EXPECT_EQ(WaitForSingleObject(created, 0), WAIT_TIMEOUT);

    HANDLE again = CreateEventA(nullptr, TRUE, TRUE, "test event shared");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(WaitForSingleObject(again, 0), WAIT_TIMEOUT) << "an existing event keeps its state";

    EXPECT_TRUE(CloseHandle(created));
    EXPECT_TRUE(CloseHandle(again));
    EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_TIMEOUT) << "the last handle keeps the event alive";
    EXPECT_TRUE(CloseHandle(opened));
    EXPECT_EQ(OpenEventA(EVENT_ALL_ACCESS, FALSE, "test event shared"), nullptr);
}

TEST(NamedEventTest, AutoResetEventReleasesOneWaitAndClosedHandlesFail) {
    HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 1), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
}

TEST(NamedEventTest, WaiterWakesWhenAnotherThreadSets) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, "test event wake");
    std::thread setter([] {
        HANDLE mine = OpenEventA(EVENT_MODIFY_STATE, FALSE, "test event wake");
        SetEvent(mine);
        CloseHandle(mine);
    });
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    setter.join();
    CloseHandle(event);
}

TEST(CriticalSectionTest, OwnerMayEnterAgain) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    DeleteCriticalSection(&section);
}
