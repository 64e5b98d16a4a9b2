// A looping MP3 through the whole stream path against libmpg123's own gapless decode of the same file: 2.000 s of a
// 441 Hz sine (882 whole periods) encoded by lame with its information frame and LAME tag (a fixture), so a perfect
// loop is one continuous sine. Looping from 0 plays the file's 88,200 samples again and again; looping from inside the data
// goes on, after the first pass, with the gapless decode from the first frame at or after the offset.
#include <math.h>
#include <stdlib.h>

#include <mpg123.h>

#include <algorithm>
#include <string>

#include "support/render_session.h"

namespace {

constexpr size_t kSoundFrames = 88200;
// lame's delay before the sound (576) and every decoder's (529): the frame grid of the gapless decode is shifted so.
constexpr size_t kGridShift = 576 + 529;
constexpr size_t kFrameSamples = 1152;
constexpr size_t kChannels = 2;

Frames Slice(const Frames& samples, size_t firstFrame, size_t frames) {
    return Frames(samples.begin() + firstFrame * kChannels, samples.begin() + (firstFrame + frames) * kChannels);
}
void Append(Frames& out, const Frames& more) { out.insert(out.end(), more.begin(), more.end()); }

// libmpg123's decode of the whole file with its gapless trimming: the sound and nothing else.
Frames GaplessDecode(const std::string& path) {
    const wave_bytes::Bytes file = wave_bytes::ReadWholeFile(path);
    mpg123_init();
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_format_none(handle);
    mpg123_format(handle, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_open_feed(handle);
    Frames pcm;
    int16_t block[4608];
    size_t done = 0;
    int answer =
        mpg123_decode(handle, file.data(), file.size(), reinterpret_cast<unsigned char*>(block), sizeof block, &done);
    for (;;) {
        pcm.insert(pcm.end(), block, block + done / sizeof(int16_t));
        if (answer != MPG123_OK && answer != MPG123_NEW_FORMAT) break;
        answer = mpg123_decode(handle, nullptr, 0, reinterpret_cast<unsigned char*>(block), sizeof block, &done);
    }
    mpg123_delete(handle);
    return pcm;
}

// The largest difference of any sample of `actual` from `expected` over the frames both hold.
int LargestDifference(const Frames& actual, const Frames& expected) {
    int largest = 0;
    for (size_t i = 0; i < std::min(actual.size(), expected.size()); ++i)
        largest = std::max(largest, abs(actual[i] - expected[i]));
    return largest;
}

class StreamMp3LoopTest : public RenderSession {
  protected:
    Frames PlayLooping(DWORD loopOffset, size_t ticks) {
        EXPECT_EQ(Start(), 1u);
        EXPECT_EQ(ZRVA_Open(1, Fixture("sine441_tagged.mp3").c_str(), nullptr, 500), 1u);
        EXPECT_EQ(ZRVA_Play(1, 1, loopOffset), 1u);
        Frames out = Ticks(ticks);
        ZRVA_Close(1);
        return out;
    }
};

} // namespace

TEST_F(StreamMp3LoopTest, ALoopFromTheStartIsTheSoundAgainAndAgainWithNoGap) {
    const Frames sound = GaplessDecode(Fixture("sine441_tagged.mp3"));
    ASSERT_EQ(sound.size(), kSoundFrames * kChannels);
    const Frames out = PlayLooping(0, 700); // three and a half passes
    Frames expected;
    while (expected.size() < out.size())
        Append(expected, sound);
    EXPECT_LE(LargestDifference(out, expected), 2);
}

// Byte 8,192 lies within the first 64 frames; byte 27,200 just past the 64th, where a restart primes the decoder
// with the frames before that checkpoint.
TEST_F(StreamMp3LoopTest, ALoopFromInsideTheDataGoesOnFromTheNextFrameAsAStraightPlayWould) {
    const Frames sound = GaplessDecode(Fixture("sine441_tagged.mp3"));
    for (DWORD offset : {8192u, 27200u}) {
        SCOPED_TRACE(offset);
        const Frames out = PlayLooping(offset, 700);
        EXPECT_LE(LargestDifference(Slice(out, 0, kSoundFrames), sound), 2);
        // After the first pass: the sound from a frame boundary of the decode, a little past the offset at 128 kbit/s.
        // A steady sine decodes alike every 25 frames, so the search starts a frame before the offset's.
        const Frames afterSeam = Slice(out, kSoundFrames, 2000);
        const size_t earliest = ((offset - 417) / 418 - 1) * kFrameSamples - kGridShift;
        const auto found =
            std::search(sound.begin() + earliest * kChannels, sound.end(), afterSeam.begin(), afterSeam.end());
        ASSERT_NE(found, sound.end()) << "the loop does not go on with the sound";
        const size_t restart = static_cast<size_t>(found - sound.begin()) / kChannels;
        EXPECT_EQ((restart + kGridShift) % kFrameSamples, 0u) << restart;
        EXPECT_GT(restart + kGridShift, (offset - 417) / 418 * kFrameSamples);
        EXPECT_LT(restart + kGridShift, (offset - 417) / 417 * kFrameSamples + 2 * kFrameSamples);
        const Frames loop = Slice(sound, restart, kSoundFrames - restart);
        Frames expected = Slice(sound, 0, kSoundFrames);
        while (expected.size() < out.size())
            Append(expected, loop);
        EXPECT_LE(LargestDifference(out, expected), 2);
        ZRVA_Release();
    }
}
