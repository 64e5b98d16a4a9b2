// Time positions of a static sound are byte offsets worked out in single precision and truncated, not rounded: at
// 176.4 bytes a millisecond (16-bit stereo at 44.1 kHz), 9 ms is byte 1,587.6, which truncates to 1,587 and falls to
// the frame at 1,584, read back as 8 ms; rounding would give byte 1,588 and 9 ms. The device takes the frame's start.
#include "support/render_session.h"

using StaticTimeTest = RenderSession;

TEST_F(StaticTimeTest, ASeekInsideAFrameTruncatesToTheFrameBefore) {
    ASSERT_EQ(Start(), 1u);
    const Frames second = Ramp(44100);
    files.push_back(
        std::make_unique<wave_bytes::TemporaryFile>(wave_bytes::CanonicalWave(second.data(), second.size() * 2)));
    ASSERT_EQ(ZRVA_Open(0, files.back()->path(), nullptr, 0), 1u);
    for (auto [set, read] : {std::pair{9u, 8u}, std::pair{3u, 2u}, std::pair{10u, 10u}}) {
        ASSERT_EQ(ZRVA_SetTimePos(0, set), 1u);
        EXPECT_EQ(ZRVA_GetTimePos(0), read) << set << " ms";
    }
}
