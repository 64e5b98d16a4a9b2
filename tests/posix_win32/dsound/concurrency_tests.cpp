#include <barrier>
#include <thread>

#include "dsound_fixture.h"

using ConcurrencyTest = DirectSoundFixture;

// The host refills the half of a looping buffer that is not playing, re-pitches it, and makes and drops other
// buffers while another thread pulls the mix. The threads meet once per mixing block so the play cursor moves at
// most one block per round, which keeps the refilled half clear of what the mixer reads (run under TSan).
TEST_F(ConcurrencyTest, HostCallsAndRenderingRunTogether) {
    constexpr DWORD kFrames = 44100;
    constexpr DWORD kBytes = kFrames * 2;
    constexpr int kRounds = 300;
    constexpr DWORD kMargin = 2 * (2 * 441 + 3) * 2;
    IDirectSoundBuffer* buffer = CreateBuffer(PcmFormat(44100, 16, 1), kBytes);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::barrier round(3);

    std::thread renderer([&] {
        std::vector<int16_t> out(441 * 2);
        for (int i = 0; i < kRounds; ++i) {
            posix_win32::RenderFrames(out.data(), 441);
            round.arrive_and_wait();
        }
    });
    std::thread churner([&] {
        WAVEFORMATEX format = PcmFormat(22050, 8, 2);
        DSBUFFERDESC desc = {sizeof desc, kAllControls, 2000, 0, &format};
        for (int i = 0; i < kRounds; ++i) {
            IDirectSoundBuffer* other = nullptr;
            if (device->CreateSoundBuffer(&desc, &other, nullptr) == DS_OK) {
                other->SetPan(i * 10 - 1500);
                other->Play(0, 0, i % 2 ? DSBPLAY_LOOPING : 0);
                if (i % 3)
                    other->Release();
                else
                    buffers.push_back(other);
            }
            round.arrive_and_wait();
        }
    });

    std::vector<int16_t> fill(kBytes / 4, 1000);
    int refills = 0;
    for (int i = 0; i < kRounds; ++i) {
        DWORD play = 0, write = 0, status = 0;
        buffer->GetCurrentPosition(&play, &write);
        DWORD half = play < kBytes / 2 ? kBytes / 2 : 0;
        DWORD untilHalf = (half + kBytes - play) % kBytes;
        if (untilHalf > kMargin) {
            void* region1 = nullptr;
            DWORD bytes1 = 0;
            if (buffer->Lock(half, kBytes / 2, &region1, &bytes1, nullptr, nullptr, 0) == DS_OK) {
                memcpy(region1, fill.data(), bytes1);
                buffer->Unlock(region1, bytes1, nullptr, 0);
                ++refills;
            }
        }
        buffer->SetFrequency(i % 2 ? 88200 : 44100);
        buffer->SetVolume(-(i % 100));
        buffer->GetStatus(&status);
        EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
        round.arrive_and_wait();
    }
    renderer.join();
    churner.join();
    EXPECT_GT(refills, kRounds / 2);
}
