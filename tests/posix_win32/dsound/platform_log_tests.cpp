// What ZORVA_LOG=1 tells, and that without it nothing more is printed: an output that cannot be opened and why, and
// a stream refill that came after the play cursor had entered its half, once a second however often it happens.
#include <stdlib.h>

#include "platform_log.h"
#include "support/render_session.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

class PlatformLogTest : public RenderSession {
  protected:
    void TearDown() override {
        unsetenv("ZORVA_LOG");
        unsetenv("ZORVA_OUTPUT");
        RenderSession::TearDown();
    }
    // Plays a stream through a 100 ms buffer; starved, it mixes 100 ms without a timer call, so the cursor comes
    // round into the first half before the refill has rewritten it, and the next refill finds that out.
    std::string RefillLog(bool logging, bool starved) {
        if (logging) setenv("ZORVA_LOG", "1", 1);
        EXPECT_EQ(Start(), 1u);
        OpenStream(1, Ramp(44100), 100);
        EXPECT_EQ(ZRVA_Play(1, 1, 0), 1u);
        CaptureStderr();
        Ticks(1);
        Frames mix(2 * 4410);
        if (starved) posix_win32::RenderFrames(mix.data(), 4410);
        Ticks(20);
        return GetCapturedStderr();
    }
};

TEST_F(PlatformLogTest, ALateRefillIsToldOnlyWhenAskedFor) {
    EXPECT_EQ(RefillLog(false, true), "");
    ZRVA_Release();
    EXPECT_EQ(RefillLog(true, false), "") << "refills on time";
    ZRVA_Release();
    EXPECT_NE(RefillLog(true, true).find("zorva: a stream refill came late: the play cursor had entered the half"),
              std::string::npos);
}

TEST_F(PlatformLogTest, AnOutputThatCannotOpenSaysWhy) {
    posix_win32::UseEnvironmentOutput();
    setenv("ZORVA_LOG", "1", 1);
    setenv("ZORVA_OUTPUT", "wav:/nonexistent-folder/mix.wav", 1);
    CaptureStderr();
    EXPECT_EQ(Start(), 0u);
    const std::string log = GetCapturedStderr();
    EXPECT_NE(log.find("zorva: output wav chosen"), std::string::npos) << log;
    EXPECT_NE(
        log.find("zorva: output wav: /nonexistent-folder/mix.wav could not be written: No such file or directory"),
        std::string::npos)
        << log;
}

// One line for the first event, none within the interval, then one that counts all the events it stood for.
TEST(RateLimitedLogTest, OneLineAnIntervalCountingTheEventsBetween) {
    posix_win32::RateLimitedLog log(1000);
    EXPECT_EQ(log.Due(5000), 1u);
    EXPECT_EQ(log.Due(5500), 0u);
    EXPECT_EQ(log.Due(5999), 0u);
    EXPECT_EQ(log.Due(6000), 3u);
    EXPECT_EQ(log.Due(6001), 0u);
}
