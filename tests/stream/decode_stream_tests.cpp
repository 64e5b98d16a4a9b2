// Decode streams over the fixtures: whole files against their reference PCM, reads of any size, the end, rewinds,
// and the open's failures.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/system_library_binding.h"
#include "seams/message_box_seams.h"
#include "seams/module_seams.h"
#include "stream/decode_stream.h"
#include "stream/decode_stream_messages.h"

namespace {

using Bytes = std::vector<BYTE>;

std::string Fixture(const char* name) { return std::string(ZORVA_FIXTURE_DIR "/") + name; }

Bytes ReadWholeFile(const std::string& path) {
    Bytes bytes;
    if (FILE* in = fopen(path.c_str(), "rb")) {
        BYTE chunk[65536];
        for (size_t got; (got = fread(chunk, 1, sizeof chunk, in)) > 0;)
            bytes.insert(bytes.end(), chunk, chunk + got);
        fclose(in);
    }
    return bytes;
}

std::vector<int16_t> Samples(const Bytes& bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Source bytes each conversion was given, recorded by a stand-in for acmStreamConvert that then converts them.
Bytes convertedSource;
MMRESULT WINAPI RecordingConvert(HACMSTREAM stream, LPACMSTREAMHEADER header, DWORD flags) {
    convertedSource.insert(convertedSource.end(), header->pbSrc, header->pbSrc + header->cbSrcLength);
    return ::acmStreamConvert(stream, header, flags);
}
MMRESULT WINAPI RefusingOpen(LPHACMSTREAM, HACMDRIVER, LPWAVEFORMATEX, LPWAVEFORMATEX, LPWAVEFILTER, DWORD_PTR,
                             DWORD_PTR, DWORD) {
    return ACMERR_NOTPOSSIBLE;
}

class DecodeStreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        posix_win32::SetMessageBoxHook([this](HWND window, const char* text, const char* caption, UINT type) {
            boxes.push_back({window, text, caption, type});
            return IDOK;
        });
        ASSERT_TRUE(BindAcmLibrary());
    }
    void TearDown() override {
        DecodeStreamClose(stream);
        UnbindAcmLibrary();
        posix_win32::ResetModuleSeams();
        posix_win32::SetMessageBoxHook({});
        if (!scratchPath.empty()) unlink(scratchPath.c_str());
    }

    // Reads in pieces of `pieceSize` until a read comes back short.
    Bytes ReadToEnd(LONG pieceSize) {
        Bytes all;
        Bytes piece(pieceSize);
        for (;;) {
            const LONG got = DecodeStreamRead(stream, piece.data(), pieceSize);
            all.insert(all.end(), piece.begin(), piece.begin() + got);
            if (got < pieceSize) return all;
        }
    }

    std::string WriteScratch(const Bytes& bytes) {
        scratchPath = ::testing::TempDir() + "decode_stream_" + std::to_string(getpid()) + ".wav";
        FILE* out = fopen(scratchPath.c_str(), "wb");
        fwrite(bytes.data(), 1, bytes.size(), out);
        fclose(out);
        return scratchPath;
    }

    struct Box {
        HWND window;
        std::string text, caption;
        UINT type;
    };
    std::vector<Box> boxes;
    DecodeStream* stream = nullptr;
    WAVEFORMATEX format = {};
    std::string scratchPath;
};

struct FixtureCase {
    const char* file;
    WORD referenceChannels;
    bool lossy;
};
// Named by its file: the default printer would dump the record's bytes, padding included.
void PrintTo(const FixtureCase& fixture, std::ostream* out) { *out << fixture.file; }

class FixtureDecodeTest : public DecodeStreamTest, public ::testing::WithParamInterface<FixtureCase> {};

// Every decode has the reference's length. Two MPEG decoders differ only in their rounding: the error must stay
// 80 dB below the signal (about 1.5 LSB RMS at these levels). The other formats decode exactly, or within one
// LSB where a reference rounds differently.
TEST_P(FixtureDecodeTest, DecodesToTheReference) {
    const FixtureCase& fixture = GetParam();
    stream = DecodeStreamOpen(Fixture(fixture.file).c_str(), 500, &format);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format.wBitsPerSample, 16);
    const std::vector<int16_t> decoded = Samples(ReadToEnd(65536));

    std::string referenceName = fixture.file;
    referenceName = referenceName.substr(0, referenceName.rfind('.')) + ".ref";
    std::vector<int16_t> reference = Samples(ReadWholeFile(Fixture(referenceName.c_str())));
    ASSERT_FALSE(reference.empty());
    // MPEG files come out as stereo whatever they hold; the reference keeps the file's own channels.
    if (fixture.referenceChannels == 1 && format.nChannels == 2) {
        std::vector<int16_t> stereo;
        for (int16_t sample : reference)
            stereo.push_back(sample), stereo.push_back(sample);
        reference.swap(stereo);
    }
    ASSERT_EQ(decoded.size(), reference.size());
    if (!fixture.lossy) {
        for (size_t i = 0; i < decoded.size(); ++i)
            ASSERT_LE(abs(decoded[i] - reference[i]), 1) << "sample " << i;
        return;
    }
    double signal = 0, noise = 0;
    for (size_t i = 0; i < decoded.size(); ++i) {
        const double error = decoded[i] - reference[i];
        signal += double(reference[i]) * reference[i], noise += error * error;
    }
    EXPECT_GT(10 * log10(signal / (noise + 1e-9)), 80.0);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, FixtureDecodeTest,
    ::testing::Values(FixtureCase{"mp3_cbr128_44k_stereo_tagged.mp3", 2, true},
                      FixtureCase{"mp3_vbr_48k_mono.mp3", 1, true}, FixtureCase{"mp3_cbr96_32k_stereo.mp3", 2, true},
                      FixtureCase{"mp3_mpeg2_22k_stereo_tagged.mp3", 2, true},
                      FixtureCase{"mp2_192_44k_stereo.mp2", 2, true}, FixtureCase{"wav_pcm8_22k_mono.wav", 1, false},
                      FixtureCase{"wav_pcm16_22k_stereo.wav", 2, false},
                      FixtureCase{"wav_ima_22k_stereo.wav", 2, false},
                      FixtureCase{"wav_msadpcm_22k_mono.wav", 1, false}, FixtureCase{"wav_alaw_22k_mono.wav", 1, false},
                      FixtureCase{"wav_mulaw_22k_mono.wav", 1, false}));

// The ID3 tags and the encoder's information frame (417 bytes at 128 kbit/s) are not audio: the codec never sees them.
TEST_F(DecodeStreamTest, OnlyTheAudioBetweenTheTagsIsConverted) {
    UnbindAcmLibrary();
    posix_win32::ReplaceEntryPoint("msacm32.dll", "acmStreamConvert", RecordingConvert);
    ASSERT_TRUE(BindAcmLibrary());
    convertedSource.clear();
    const std::string path = Fixture("mp3_cbr128_44k_stereo_tagged.mp3");
    const Bytes file = ReadWholeFile(path);
    stream = DecodeStreamOpen(path.c_str(), 250, nullptr);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->dataStart, 311u);
    EXPECT_EQ(stream->dataLength, file.size() - 311 - 128);
    ReadToEnd(4096);
    EXPECT_EQ(DecodeStreamRead(stream, nullptr, 0), 0);
    EXPECT_TRUE(convertedSource == Bytes(file.begin() + 311 + 417, file.end() - 128));
}

TEST_F(DecodeStreamTest, ReadsOfAnySizeConcatenateToTheSamePcm) {
    const std::string path = Fixture("mp3_vbr_48k_mono.mp3");
    stream = DecodeStreamOpen(path.c_str(), 100, nullptr);
    ASSERT_NE(stream, nullptr);
    const Bytes whole = ReadToEnd(1 << 22);
    ASSERT_GT(whole.size(), 100000u);
    for (LONG piece : {1, 7, 4095, 10000}) {
        DecodeStreamRewind(stream, 0);
        EXPECT_TRUE(ReadToEnd(piece) == whole) << "pieces of " << piece;
    }
}

TEST_F(DecodeStreamTest, ConversionThatYieldsNothingYetIsNotTheEnd) {
    // 50 ms of this file is less than two frames, and its first frame is an encoder's info frame with no audio.
    stream = DecodeStreamOpen(Fixture("mp3_cbr128_44k_stereo_tagged.mp3").c_str(), 50, nullptr);
    ASSERT_NE(stream, nullptr);
    Bytes pcm(4408);
    EXPECT_EQ(DecodeStreamRead(stream, pcm.data(), static_cast<LONG>(pcm.size())), static_cast<LONG>(pcm.size()));
}

TEST_F(DecodeStreamTest, TheReadThatMeetsTheEndIsShortAndLaterReadsTakeNothing) {
    stream = DecodeStreamOpen(Fixture("wav_pcm16_22k_stereo.wav").c_str(), 100, nullptr);
    ASSERT_NE(stream, nullptr);
    Bytes buffer(50000);
    EXPECT_EQ(DecodeStreamRead(stream, buffer.data(), 50000), 50000);
    EXPECT_EQ(DecodeStreamRead(stream, buffer.data(), 50000), 88200 - 50000);
    EXPECT_EQ(DecodeStreamRead(stream, buffer.data(), 50000), 0);
    EXPECT_EQ(stream->sourceRead, 88200);
    EXPECT_EQ(DecodeStreamRead(stream, buffer.data(), -1), 0);
}

TEST_F(DecodeStreamTest, RewindRestartsAtTheOffsetAlignedToABlock) {
    const Bytes reference = ReadWholeFile(Fixture("wav_pcm16_22k_stereo.ref"));
    stream = DecodeStreamOpen(Fixture("wav_pcm16_22k_stereo.wav").c_str(), 100, nullptr);
    ASSERT_NE(stream, nullptr);
    Bytes buffer(3000);
    DecodeStreamRead(stream, buffer.data(), 3000); // leaves output carried over
    ASSERT_TRUE(DecodeStreamRewind(stream, 0));
    EXPECT_TRUE(ReadToEnd(1000) == reference);
    ASSERT_TRUE(DecodeStreamRewind(stream, 40003));
    EXPECT_EQ(stream->sourceRead, 40000);
    EXPECT_TRUE(ReadToEnd(777) == Bytes(reference.begin() + 40000, reference.end()));
    ASSERT_TRUE(DecodeStreamRewind(stream, 88200));
    EXPECT_EQ(DecodeStreamRead(stream, buffer.data(), 3000), 0);
    EXPECT_FALSE(DecodeStreamRewind(nullptr, 0));
}

TEST_F(DecodeStreamTest, MpegRewindReplaysNoStaleAudio) {
    stream = DecodeStreamOpen(Fixture("mp3_cbr96_32k_stereo.mp3").c_str(), 300, nullptr);
    ASSERT_NE(stream, nullptr);
    const Bytes first = ReadToEnd(4096);
    Bytes buffer(5000);
    DecodeStreamRewind(stream, 0);
    DecodeStreamRead(stream, buffer.data(), 5000);
    DecodeStreamRewind(stream, 0);
    EXPECT_TRUE(ReadToEnd(4096) == first);

    // Halfway into the data the decoder finds the next frame; a few frames on (once its filter history has
    // filled again) the output is the first pass's, to the bit.
    DecodeStreamRewind(stream, stream->dataLength / 2);
    const Bytes second = ReadToEnd(4096);
    ASSERT_GT(second.size(), first.size() / 3);
    ASSERT_LT(second.size(), first.size() * 2 / 3);
    const Bytes settled(second.begin() + 20000, second.begin() + 28000);
    EXPECT_NE(std::search(first.begin(), first.end(), settled.begin(), settled.end()), first.end());
}

TEST_F(DecodeStreamTest, FormatChunkAfterTheDataChunk) {
    const BYTE samples[8] = {1, 0, 2, 0, 3, 0, 4, 0};
    Bytes file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 8, 0, 0, 0};
    file.insert(file.end(), samples, samples + 8);
    const BYTE fmt[24] = {'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0};
    file.insert(file.end(), fmt, fmt + sizeof fmt);
    stream = DecodeStreamOpen(WriteScratch(file).c_str(), 100, &format);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(format.nSamplesPerSec, 8000u);
    EXPECT_EQ(format.nChannels, 1);
    EXPECT_EQ(stream->dataStart, 20u);
    EXPECT_TRUE(ReadToEnd(100) == Bytes(samples, samples + 8));
}

// The compression manager reads a whole WAVEFORMATEX and then cbSize bytes: a 16-byte body is handed over grown,
// with no extra bytes, and a cbSize that claims more than the body holds is cut to what it holds.
TEST_F(DecodeStreamTest, SourceFormatIsAWholeRecordWhoseExtraBytesLieInTheBody) {
    for (BYTE bodyBytes : {16, 20}) {
        Bytes file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', bodyBytes, 0, 0, 0};
        const BYTE pcm[16] = {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0};
        file.insert(file.end(), pcm, pcm + 16);
        file.insert(file.end(), bodyBytes - 16, 0xEE); // a cbSize of 0xEEEE, then one byte
        const BYTE data[12] = {'d', 'a', 't', 'a', 4, 0, 0, 0, 1, 0, 2, 0};
        file.insert(file.end(), data, data + sizeof data);
        stream = DecodeStreamOpen(WriteScratch(file).c_str(), 100, &format);
        ASSERT_NE(stream, nullptr) << int(bodyBytes) << "-byte body";
        EXPECT_EQ(stream->sourceFormat->cbSize, bodyBytes - 16 < 2 ? 0 : bodyBytes - 18) << int(bodyBytes);
        DecodeStreamClose(stream);
        stream = nullptr;
    }
}

TEST_F(DecodeStreamTest, RequestWrapsAt32BitsBeforeItIsScaled) {
    // 88,200 bytes a second times 48,698 ms wraps at 32 bits to 196,304, which scales to 196 bytes of source.
    stream = DecodeStreamOpen(Fixture("wav_pcm16_22k_stereo.wav").c_str(), 48698, &format);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->sourceCapacity, 196u);
}

TEST_F(DecodeStreamTest, LengthThatSizesToNothingFailsSilently) {
    EXPECT_EQ(DecodeStreamOpen(Fixture("mp3_cbr96_32k_stereo.mp3").c_str(), 0, &format), nullptr);
    // Less than one 2048-byte block of IMA ADPCM source.
    EXPECT_EQ(DecodeStreamOpen(Fixture("wav_ima_22k_stereo.wav").c_str(), 10, &format), nullptr);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(format.nSamplesPerSec, 0u) << "outFormat is not written on failure";
}

TEST_F(DecodeStreamTest, RefusedConversionStreamShowsItsMessage) {
    UnbindAcmLibrary();
    posix_win32::ReplaceEntryPoint("msacm32.dll", "acmStreamOpen", RefusingOpen);
    ASSERT_TRUE(BindAcmLibrary());
    EXPECT_EQ(DecodeStreamOpen(Fixture("mp3_cbr96_32k_stereo.mp3").c_str(), 500, &format), nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].window, nullptr);
    EXPECT_EQ(boxes[0].type, MB_OK);
    EXPECT_EQ(boxes[0].caption, kAcmStreamErrorCaption);
    EXPECT_EQ(boxes[0].text, kAcmNotPossibleMessage);
    EXPECT_EQ(boxes[0].text,
              "\x97v\x8b\x81\x82\xb3\x82\xea\x82\xbd\x91\x80\x8d\xec\x82\xcd\x8e\xc0\x8ds\x82\xc5\x82\xab"
              "\x82\xdc\x82\xb9\x82\xf1");
}

TEST_F(DecodeStreamTest, OutFormatReceivesExactly18Bytes) {
    BYTE out[20];
    memset(out, 0xCD, sizeof out);
    stream = DecodeStreamOpen(Fixture("mp3_cbr128_44k_stereo_tagged.mp3").c_str(), 500,
                              reinterpret_cast<WAVEFORMATEX*>(out));
    ASSERT_NE(stream, nullptr);
    const WAVEFORMATEX expected = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    EXPECT_EQ(0, memcmp(out, &expected, 18));
    EXPECT_EQ(out[18], 0xCD);
    EXPECT_EQ(out[19], 0xCD);
    DecodeStreamClose(stream);
    stream = DecodeStreamOpen(Fixture("mp3_cbr128_44k_stereo_tagged.mp3").c_str(), 500, nullptr);
    EXPECT_NE(stream, nullptr);
}

TEST_F(DecodeStreamTest, FailuresWithoutAFileOrBinding) {
    EXPECT_EQ(DecodeStreamOpen(Fixture("no_such_file.mp3").c_str(), 500, &format), nullptr);
    UnbindAcmLibrary();
    EXPECT_EQ(DecodeStreamOpen(Fixture("mp3_cbr96_32k_stereo.mp3").c_str(), 500, &format), nullptr);
    EXPECT_EQ(SuggestPcmFormat(&format, WAVE_FORMAT_PCM, 0, 0, 0), nullptr);
    ASSERT_TRUE(BindAcmLibrary());
    EXPECT_TRUE(boxes.empty());
    DecodeStreamClose(nullptr);
}

} // namespace
