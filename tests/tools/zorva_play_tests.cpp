// The player's command line, and its length of a stream, which decides when it stops: every corpus file holds
// 2.000 s of sine, and its estimate may add no more than the encoder's delay and padding, or the silence where two
// files were joined.
#include <gtest/gtest.h>

#include "play_options.h"
#include "stream_file.h"

TEST(PlayOptionsTest, EachOptionTakesItsOwnValue) {
    const char* argv[] = {"zorva-play", "--volume", "-600", "--pan", "300", "--frequency", "22050", "--loop", "a.wav"};
    std::string error;
    const std::optional<PlayOptions> options = ParsePlayOptions(9, const_cast<char**>(argv), error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->volume, -600);
    EXPECT_EQ(options->pan, 300);
    EXPECT_EQ(options->frequency, 22050u);
    EXPECT_TRUE(options->loop);
    EXPECT_EQ(options->file, "a.wav");
}

TEST(StreamFileTest, EveryCorpusFileLastsItsSoundNotItsHeaderOrTag) {
    for (const char* name :
         {"lame_cbr.mp3", "lame_vbr.mp3", "untagged.mp3", "mpeg2_22k.mp3", "ffmpeg.mp3", "twolame.mp2", "joined.mp3",
          "stale_tag.mp3", "apev2.mp3", "id3v24.mp3", "zero_padded.mp3", "lyrics3.mp3", "stray_bytes.mp3", "gsm.wav",
          "ffmpeg_ima.wav", "ffmpeg_msadpcm.wav", "mp3_in_wave.wav"}) {
        const std::optional<double> seconds = EstimateDurationSeconds(std::string(ZORVA_CORPUS_DIR "/") + name);
        ASSERT_TRUE(seconds) << name;
        EXPECT_NEAR(*seconds, 2.0, 0.15) << name;
    }
}
