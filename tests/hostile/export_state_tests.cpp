// Every export on a real device and mixer: after ZRVA_Release, twice in a row with sounds open, and with slot
// numbers just past the table.
#include <algorithm>
#include <vector>

#include "hostile_inputs.h"
#include "render_session.h"

using namespace hostile;
using namespace wave_bytes;

namespace {

class ExportStateTest : public RenderSession {
  protected:
    void SetUp() override {
        RenderSession::SetUp();
        wave_ = CanonicalWave(Samples(4000, 1));
        mp3_ = Fixture("mp3_cbr128_44k_stereo_tagged.mp3");
    }
    // A static sound in slot 0 and a stream in slot 1.
    void OpenBoth() {
        ASSERT_EQ(ZRVA_Open(0, nullptr, wave_.data(), 0), 1u);
        ASSERT_EQ(ZRVA_Open(1, mp3_.c_str(), nullptr, kStreamMs), 1u);
    }

    // The answers an export gives when it cannot act on `slot`.
    static void ExpectSlotFailureValues(uint32_t slot) {
        SCOPED_TRACE(testing::Message() << "slot " << slot);
        EXPECT_EQ(ZRVA_Play(slot, 1, 0), 0u);
        EXPECT_EQ(ZRVA_Pause(slot), 0u);
        EXPECT_EQ(ZRVA_Stop(slot), 0u);
        EXPECT_EQ(ZRVA_GetPan(slot), ZRVA_PAN_FAILURE);
        EXPECT_EQ(ZRVA_SetPan(slot, 100), 0u);
        EXPECT_EQ(ZRVA_GetFrequency(slot), 0u);
        EXPECT_EQ(ZRVA_SetFrequency(slot, 22050), 0u);
        EXPECT_EQ(ZRVA_GetVolume(slot), 1);
        EXPECT_EQ(ZRVA_SetVolume(slot, -100), 0u);
        EXPECT_EQ(ZRVA_GetTimePos(slot), 0u);
        EXPECT_EQ(ZRVA_SetTimePos(slot, 10), 0u);
        EXPECT_EQ(ZRVA_GetWaveTime(slot), 0u);
        ZRVA_Close(slot);
    }

    Bytes wave_;
    std::string mp3_;
};

TEST_F(ExportStateTest, AfterReleaseEveryExportAnswersItsFailureValue) {
    OpenBoth();
    ASSERT_EQ(ZRVA_Play(0, 1, 0), 1u);
    ASSERT_EQ(ZRVA_Play(1, 1, 0), 1u);
    ZRVA_Release();
    for (uint32_t slot : {0u, 1u, 3u})
        ExpectSlotFailureValues(slot);
    EXPECT_EQ(ZRVA_Open(0, nullptr, wave_.data(), 0), 0u);
    EXPECT_EQ(ZRVA_Open(1, mp3_.c_str(), nullptr, kStreamMs), 0u);
    EXPECT_EQ(ZRVA_GetDirectSoundVol(), 1);
    EXPECT_EQ(ZRVA_SetDirectSoundVol(-500), 0u);
    EXPECT_EQ(ZRVA_SetGlobalFocus(1), 0u);
    ZRVA_CloseAll();
    EXPECT_EQ(posix_win32::RenderFrames(std::vector<int16_t>(64).data(), 32), 0u) << "the device is gone";
}

TEST_F(ExportStateTest, EveryExportTwiceInARow) {
    OpenBoth();
    EXPECT_EQ(ZRVA_Open(0, nullptr, wave_.data(), 0), 0u) << "the slot is taken";
    EXPECT_EQ(ZRVA_Open(1, mp3_.c_str(), nullptr, kStreamMs), 0u) << "the slot is taken";
    for (uint32_t slot : {0u, 1u}) {
        SCOPED_TRACE(testing::Message() << "slot " << slot);
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(ZRVA_SetPan(slot, 500), 1u);
            EXPECT_EQ(ZRVA_GetPan(slot), 500);
            EXPECT_EQ(ZRVA_SetVolume(slot, -600), 1u);
            EXPECT_EQ(ZRVA_GetVolume(slot), -600);
            EXPECT_EQ(ZRVA_SetFrequency(slot, 22050), 1u);
            EXPECT_EQ(ZRVA_GetFrequency(slot), 22050u);
        }
        for (int round = 0; round < 2; ++round)
            EXPECT_EQ(ZRVA_Play(slot, 1, 0), 1u);
        Render(1000);
        for (int round = 0; round < 2; ++round)
            EXPECT_EQ(ZRVA_Pause(slot), 1u);
        for (int round = 0; round < 2; ++round)
            EXPECT_EQ(ZRVA_Stop(slot), 1u);
    }
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(ZRVA_SetDirectSoundVol(-300), 1u);
        EXPECT_EQ(ZRVA_GetDirectSoundVol(), -300);
    }
    ZRVA_Close(0);
    ZRVA_Close(0);
    EXPECT_EQ(ZRVA_GetFrequency(0), 0u) << "closed";
    ZRVA_CloseAll();
    ZRVA_CloseAll();
    EXPECT_EQ(ZRVA_GetFrequency(1), 0u) << "closed";
    EXPECT_EQ(ZRVA_SetGlobalFocus(1), 1u);
    EXPECT_EQ(ZRVA_SetGlobalFocus(1), 1u);

    // A second start-up over a running one shuts the first down and starts afresh.
    OpenBoth();
    ASSERT_EQ(ZRVA_Play(1, 1, 0), 1u);
    ASSERT_EQ(ZRVA_Init(nullptr, 44100, 16, 2, 4, 0), 1u);
    EXPECT_EQ(ZRVA_GetFrequency(0), 0u);
    EXPECT_EQ(ZRVA_GetFrequency(1), 0u);
    OpenBoth();
    ZRVA_Release();
    ZRVA_Release();
    ExpectSlotFailureValues(0);
}

TEST_F(ExportStateTest, SlotNumbersAtAndFarPastTheTableAreRefusedAndTouchNothing) {
    OpenBoth();
    ASSERT_EQ(ZRVA_SetPan(0, 700), 1u);
    for (uint32_t slot : {4u, 5u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        ExpectSlotFailureValues(slot);
        EXPECT_EQ(ZRVA_Open(slot, nullptr, wave_.data(), 0), 0u);
        EXPECT_EQ(ZRVA_Open(slot, mp3_.c_str(), nullptr, kStreamMs), 0u);
    }
    EXPECT_EQ(ZRVA_GetPan(0), 700);
    EXPECT_EQ(ZRVA_GetFrequency(1), 44100u);
    ASSERT_EQ(ZRVA_Play(0, 0, 0), 1u);
    const std::vector<int16_t> out = Render(10);
    EXPECT_TRUE(std::any_of(out.begin(), out.end(), [](int16_t s) { return s != 0; })) << "slot 0 still plays";
}

} // namespace
