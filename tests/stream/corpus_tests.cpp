// The real-world corpus (tests/corpus/make_corpus.sh): files from several encoders, joined, re-tagged, padded and
// with stray bytes between frames, each a 2 s sine. Each decodes whole, to within one frame of libmpg123's own
// gapless decode (sox's for GSM); loops from its start and from inside its data with no gap; and after a stop in
// mid-play starts again from its first sample.
#include <math.h>
#include <mpg123.h>

#include <algorithm>

#include "decode_session.h"

namespace {

using Samples = std::vector<int16_t>;

struct CorpusFile {
    const char* name;
    DWORD frameSamples; // samples a frame (or a GSM block) decodes to: the length's tolerance
    // The file whose libmpg123 decode this one's sound begins with: for the two whose tag disagrees with the data
    // (libmpg123 cuts an announced end's padding out of the middle of them), and for stray bytes that must not be
    // heard. Null: this file's own decode.
    const char* soundOf;
};

constexpr CorpusFile kCorpus[] = {
    {"lame_cbr.mp3", 1152, nullptr},
    {"lame_vbr.mp3", 1152, nullptr},
    {"untagged.mp3", 1152, nullptr},
    {"mpeg2_22k.mp3", 576, nullptr},
    {"ffmpeg.mp3", 1152, nullptr},
    {"twolame.mp2", 1152, nullptr},
    {"joined.mp3", 1152, "lame_1s.mp3"},
    {"stale_tag.mp3", 1152, "lame_cbr.mp3"},
    {"apev2.mp3", 1152, nullptr},
    {"id3v24.mp3", 1152, nullptr},
    {"zero_padded.mp3", 1152, nullptr},
    {"lyrics3.mp3", 1152, nullptr},
    {"stray_bytes.mp3", 1152, "lame_cbr.mp3"},
    {"gsm.wav", 320, nullptr},
    {"mp3_in_wave.wav", 576, nullptr},
    {"ffmpeg_ima.wav", 1017, nullptr},
    {"ffmpeg_msadpcm.wav", 1012, nullptr},
};

std::string CorpusPath(const char* name) { return std::string(ZORVA_CORPUS_DIR "/") + name; }

struct Decode {
    Samples pcm;
    WORD channels;
};

// libmpg123's decode as its own front end plays a file: gapless, in the file's own channel count.
Decode Mpg123Decode(const std::string& path) {
    mpg123_init();
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    Decode decode = {{}, 0};
    if (!handle) return decode;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    if (mpg123_open(handle, path.c_str()) == MPG123_OK) {
        unsigned char block[16384];
        size_t done = 0;
        int answer;
        do {
            answer = mpg123_read(handle, block, sizeof block, &done);
            decode.pcm.insert(decode.pcm.end(), reinterpret_cast<int16_t*>(block),
                              reinterpret_cast<int16_t*>(block + done));
        } while (answer == MPG123_OK || answer == MPG123_NEW_FORMAT);
        long rate = 0;
        int channels = 0, encoding = 0;
        mpg123_getformat(handle, &rate, &channels, &encoding);
        decode.channels = static_cast<WORD>(channels);
        mpg123_close(handle);
    }
    mpg123_delete(handle);
    return decode;
}

// The other decoder's output, in `channels` channels: a mono decode is compared as two equal channels with the
// library's MPEG output, which is always stereo.
Samples Reference(const char* name, WORD channels) {
    // A WAVE codec's reference was made by sox beside the file, in the file's own channels.
    const std::string path = CorpusPath(name);
    const wave_bytes::Bytes raw = wave_bytes::ReadWholeFile(path.substr(0, path.rfind('.')) + ".ref");
    Decode decode = raw.empty() ? Mpg123Decode(path) : Decode{Samples(raw.size() / 2), channels};
    if (!raw.empty()) memcpy(decode.pcm.data(), raw.data(), raw.size());
    if (decode.channels == channels) return decode.pcm;
    Samples stereo;
    for (int16_t sample : decode.pcm)
        stereo.insert(stereo.end(), {sample, sample});
    return stereo;
}

class CorpusTest : public DecodeSession {
  protected:
    void Open(const CorpusFile& file) {
        DecodeStreamClose(stream);
        DecodeSession::Open(CorpusPath(file.name), 500);
    }
    // `bytes` of PCM at most, fewer when the data ends; a loop's reads are the refill's: 4096 bytes at a time.
    Samples Read(size_t bytes = SIZE_MAX) {
        Samples pcm;
        int16_t piece[2048];
        while (pcm.size() * 2 < bytes) {
            const LONG wanted = static_cast<LONG>(std::min(sizeof piece, bytes - pcm.size() * 2));
            const LONG got = DecodeStreamRead(stream, piece, wanted);
            pcm.insert(pcm.end(), piece, piece + got / 2);
            if (got < wanted) break;
        }
        return pcm;
    }
};

// How far apart two decodes of one file are: the error of the worse channel against the reference's level.
double ErrorDb(const Samples& decoded, const Samples& reference) {
    const size_t count = std::min(decoded.size(), reference.size());
    double signal = 0, noise = 0;
    for (size_t i = 0; i < count; ++i) {
        const double error = double(decoded[i]) - reference[i];
        signal += double(reference[i]) * reference[i], noise += error * error;
    }
    return 10 * log10((noise + 1e-9) / (signal + 1e-9));
}

} // namespace

TEST_F(CorpusTest, EveryFilePlaysWholeAsAnotherDecoderPlaysIt) {
    for (const CorpusFile& file : kCorpus) {
        SCOPED_TRACE(file.name);
        Open(file);
        const Samples decoded = Read(), reference = Reference(file.name, format.nChannels);
        const long frames = long(decoded.size() / format.nChannels),
                   expected = long(reference.size() / format.nChannels);
        EXPECT_LE(labs(frames - expected), long(file.frameSamples)) << frames << " frames against " << expected;
        const Samples sound = file.soundOf ? Reference(file.soundOf, format.nChannels) : reference;
        EXPECT_LT(ErrorDb(decoded, sound), -60.0);
    }
}

// The largest difference between two runs of samples of one length.
int LargestDifference(const Samples& a, const Samples& b) {
    int largest = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        largest = std::max(largest, abs(a[i] - b[i]));
    return largest;
}

// A loop from the start is the first pass again to the bit, and so is a start after a stop in mid-play: the codec
// forgets what it held. A loop from inside the data is the first pass's tail with nothing lost at the seam: MPEG
// primed on the frames before its restart, within the rounding of a synthesis filter that took another road there
// (one LSB); GSM from the block's start, its predictor settling within two blocks.
TEST_F(CorpusTest, EveryFileLoopsAndRestartsWithoutAGap) {
    for (const CorpusFile& file : kCorpus) {
        SCOPED_TRACE(file.name);
        Open(file);
        const Samples first = Read();
        DecodeStreamRewind(stream, 0);
        EXPECT_TRUE(Read() == first) << "looped from the start";
        const DWORD inside = stream->dataLength / 2;
        DecodeStreamRewind(stream, inside);
        const Samples tail = Read();
        ASSERT_GT(tail.size(), first.size() / 4);
        ASSERT_LT(tail.size(), first.size() * 3 / 4);
        const Samples firstTail(first.end() - tail.size(), first.end());
        if (stream->isMpeg) {
            EXPECT_LE(LargestDifference(tail, firstTail), 1) << "looped from byte " << inside;
        } else {
            const DWORD block = stream->sourceFormat->nBlockAlign, settled = 2 * file.frameSamples;
            EXPECT_EQ(tail.size(),
                      (stream->dataLength - inside + inside % block) / block * file.frameSamples * format.nChannels);
            EXPECT_LT(ErrorDb(Samples(tail.begin() + settled, tail.end()),
                              Samples(firstTail.begin() + settled, firstTail.end())),
                      -30.0);
        }
        Open(file);
        Read(first.size() / 3 * 2);
        DecodeStreamRewind(stream, 0);
        EXPECT_TRUE(Read() == first) << "started again after a stop";
    }
}
