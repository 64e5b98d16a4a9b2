// The MPEG probe on hand-made files: tags, header fields and the formats they give.
#include <gtest/gtest.h>

#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "stream/mpeg_format_probe.h"

namespace {

using Bytes = std::vector<BYTE>;

class MpegFormatProbeTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (file) FileClose(file);
        unlink(path.c_str());
    }

    // Writes `bytes` to a scratch file, probes it and keeps the answer in `result`.
    BOOL Probe(const Bytes& bytes) {
        if (file) FileClose(file);
        FILE* out = fopen(path.c_str(), "wb");
        if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), out);
        fclose(out);
        file = FileOpen(path.c_str());
        return MpegFormatProbe(file, &result);
    }

    // One frame header followed by zero bytes up to `size`.
    static Bytes Frame(BYTE b0, BYTE b1, BYTE b2, BYTE b3, size_t size = 600) {
        Bytes bytes(size, 0);
        bytes[0] = b0, bytes[1] = b1, bytes[2] = b2, bytes[3] = b3;
        return bytes;
    }

    static Bytes LeadingTag(BYTE s6, BYTE s7, BYTE s8, BYTE s9, size_t bodySize) {
        Bytes tag = {'I', 'D', '3', 4, 0, 0, s6, s7, s8, s9};
        tag.resize(10 + bodySize, 0);
        return tag;
    }

    static Bytes Concat(Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    std::string path = ::testing::TempDir() + "mpeg_probe_" + std::to_string(getpid()) + ".bin";
    FileHandle file = 0;
    MpegProbeResult result = {};
};

TEST_F(MpegFormatProbeTest, Mpeg1LayerIIIAt128kbit) {
    const Bytes bytes = Frame(0xFF, 0xFB, 0x90, 0x04, 1000);
    ASSERT_TRUE(Probe(bytes));
    EXPECT_EQ(result.audioStart, 0u);
    EXPECT_EQ(result.leadingTagSize, 0u);
    EXPECT_EQ(result.audioLength, 1000u);
    EXPECT_EQ(result.tailTagSize, 0u);
    EXPECT_EQ(result.headerWord, 0x0490FBFFu);
    const MPEGLAYER3WAVEFORMAT& f = result.format;
    EXPECT_EQ(f.wfx.wFormatTag, WAVE_FORMAT_MPEGLAYER3);
    EXPECT_EQ(f.wfx.nChannels, 2);
    EXPECT_EQ(f.wfx.nSamplesPerSec, 44100u);
    EXPECT_EQ(f.wfx.nAvgBytesPerSec, 16000u);
    EXPECT_EQ(f.wfx.nBlockAlign, 1);
    EXPECT_EQ(f.wfx.wBitsPerSample, 0);
    EXPECT_EQ(f.wfx.cbSize, 12);
    EXPECT_EQ(f.wID, MPEGLAYER3_ID_MPEG);
    EXPECT_EQ(f.fdwFlags, 2u);
    EXPECT_EQ(f.nBlockSize, 417);
    EXPECT_EQ(f.nFramesPerBlock, 1);
    EXPECT_EQ(f.nCodecDelay, 1393);
}

TEST_F(MpegFormatProbeTest, LeadingTagSizesAreSynchsafe) {
    ASSERT_TRUE(Probe(Concat(LeadingTag(0, 0, 2, 1, 257), Frame(0xFF, 0xFB, 0x90, 0x04))));
    EXPECT_EQ(result.leadingTagSize, 267u);
    EXPECT_EQ(result.audioStart, 267u);
    EXPECT_EQ(result.audioLength, 600u);
    EXPECT_EQ(result.format.wfx.nSamplesPerSec, 44100u);

    ASSERT_TRUE(Probe(Concat(LeadingTag(0, 0, 1, 0x7F, 255), Frame(0xFF, 0xFB, 0x90, 0x04))));
    EXPECT_EQ(result.leadingTagSize, 265u);
}

TEST_F(MpegFormatProbeTest, LeadingTagFollowedByNoFrameIsRefused) {
    result.audioStart = 0xDEADBEEF;
    EXPECT_FALSE(Probe(Concat(LeadingTag(0, 0, 0, 20, 20), Bytes(600, 0))));
    EXPECT_FALSE(Probe(Concat(LeadingTag(0, 0, 0, 10, 10), LeadingTag(0, 0, 0, 0, 600))));
    EXPECT_EQ(result.audioStart, 0xDEADBEEFu) << "a refusal writes nothing";
}

TEST_F(MpegFormatProbeTest, RefusedHeaders) {
    Bytes riff = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    riff.resize(200, 0);
    EXPECT_FALSE(Probe(riff));
    EXPECT_FALSE(Probe(Frame(0xFF, 0xE3, 0x90, 0x04))) << "MPEG 2.5";
    EXPECT_FALSE(Probe(Frame(0xFF, 0xF9, 0x90, 0x04))) << "layer field 0";
    EXPECT_FALSE(Probe(Frame(0xFF, 0xF8, 0x90, 0x04))) << "layer field 0";
    EXPECT_FALSE(Probe(Frame(0xFF, 0xFB, 0x9C, 0x04))) << "sample-rate index 3";
    EXPECT_FALSE(Probe(Frame(0xFF, 0xF3, 0x9C, 0x04))) << "MPEG-2 sample-rate index 3";
}

TEST_F(MpegFormatProbeTest, Mpeg2LayerIIIAt22050Hz) {
    // Bit-rate index 8 of the low-sampling-frequency Layer III row is 64 kbit/s.
    ASSERT_TRUE(Probe(Frame(0xFF, 0xF3, 0x80, 0xC4)));
    EXPECT_EQ(result.format.wfx.nSamplesPerSec, 22050u);
    EXPECT_EQ(result.format.wfx.nAvgBytesPerSec, 8000u);
    EXPECT_EQ(result.format.nBlockSize, 72000u * 64 / 22050);
    EXPECT_EQ(result.format.wfx.nChannels, 2);
}

TEST_F(MpegFormatProbeTest, LayersIAndIIUseTheirBitRates) {
    // Bit-rate index 9: Layer I 288 kbit/s, Layer II 160 kbit/s.
    ASSERT_TRUE(Probe(Frame(0xFF, 0xFF, 0x90, 0x04)));
    EXPECT_EQ(result.format.wfx.wFormatTag, WAVE_FORMAT_MPEGLAYER3);
    EXPECT_EQ(result.format.wfx.nAvgBytesPerSec, 36000u);
    EXPECT_EQ(result.format.nBlockSize, 288u * 144000 / 44100);
    ASSERT_TRUE(Probe(Frame(0xFF, 0xFD, 0x90, 0x04)));
    EXPECT_EQ(result.format.wfx.nAvgBytesPerSec, 20000u);
    EXPECT_EQ(result.format.nBlockSize, 160u * 144000 / 44100);
}

TEST_F(MpegFormatProbeTest, FreeAndForbiddenBitRatesGiveZero) {
    ASSERT_TRUE(Probe(Frame(0xFF, 0xFB, 0x00, 0x04)));
    EXPECT_EQ(result.format.wfx.nAvgBytesPerSec, 0u);
    EXPECT_EQ(result.format.nBlockSize, 0);
    ASSERT_TRUE(Probe(Frame(0xFF, 0xFB, 0xF0, 0x04)));
    EXPECT_EQ(result.format.wfx.nAvgBytesPerSec, 0u);
    EXPECT_EQ(result.format.nBlockSize, 0);
}

TEST_F(MpegFormatProbeTest, HighestBitRateAt32kHz) {
    ASSERT_TRUE(Probe(Frame(0xFF, 0xFB, 0xE8, 0x04)));
    EXPECT_EQ(result.format.wfx.nSamplesPerSec, 32000u);
    EXPECT_EQ(result.format.wfx.nAvgBytesPerSec, 40000u);
    EXPECT_EQ(result.format.nBlockSize, 1440);
}

TEST_F(MpegFormatProbeTest, MonoIsStillDescribedWithTwoChannels) {
    ASSERT_TRUE(Probe(Frame(0xFF, 0xFB, 0x90, 0xC4)));
    EXPECT_EQ(result.format.wfx.nChannels, 2);
}

TEST_F(MpegFormatProbeTest, TrailingTagOnlyAtTheLast128Bytes) {
    Bytes tail(128, 'x');
    tail[0] = 'T', tail[1] = 'A', tail[2] = 'G';
    ASSERT_TRUE(Probe(Concat(Frame(0xFF, 0xFB, 0x90, 0x04, 1000), tail)));
    EXPECT_EQ(result.tailTagSize, 128u);
    EXPECT_EQ(result.audioLength, 1000u);
    EXPECT_EQ(0, memcmp(result.tailBytes, tail.data(), 128));

    Bytes late = Concat(Frame(0xFF, 0xFB, 0x90, 0x04, 1000), tail);
    late.push_back(0);
    ASSERT_TRUE(Probe(late));
    EXPECT_EQ(result.tailTagSize, 0u);
    EXPECT_EQ(result.audioLength, 1129u);
}

TEST_F(MpegFormatProbeTest, ShortFilesAreProbedOnTheirOwnBytes) {
    EXPECT_FALSE(Probe({}));
    EXPECT_FALSE(Probe({0xFF, 0xFB, 0x90}));
    EXPECT_FALSE(Probe({'I', 'D', '3', 4, 0, 0, 0, 0})) << "tag header cut short";

    ASSERT_TRUE(Probe({0xFF, 0xFB, 0x90, 0x04, 'T', 'A', 'G'}));
    EXPECT_EQ(result.tailTagSize, 0u);
    EXPECT_EQ(result.audioLength, 7u);
    const BYTE zeros[128] = {};
    EXPECT_EQ(0, memcmp(result.tailBytes, zeros, sizeof zeros));
}

TEST_F(MpegFormatProbeTest, NoResultStillAnswers) {
    const Bytes bytes = Frame(0xFF, 0xFB, 0x90, 0x04);
    Probe(bytes);
    EXPECT_TRUE(MpegFormatProbe(file, nullptr));
}

} // namespace

// lame's information frame at 128 kbit/s: 417 bytes, "Info" after the side information, 78 frames, and a LAME tag of
// 576 samples of delay and 1,080 of padding.
TEST_F(MpegFormatProbeTest, AnInformationFrameAndItsLameTagAreReadAndImplausibleOnesAreNotTrusted) {
    Bytes info = Frame(0xFF, 0xFB, 0x90, 0x64, 417);
    const BYTE tag[] = {'I', 'n', 'f', 'o', 0, 0, 0, 1, 0, 0, 0, 78};
    std::copy(std::begin(tag), std::end(tag), info.begin() + 36);
    const BYTE lame[] = {'L', 'A', 'M', 'E', '3', '.', '1', '0', '0'};
    std::copy(std::begin(lame), std::end(lame), info.begin() + 48);
    info[48 + 21] = 576 >> 4, info[48 + 22] = (576 & 15) << 4 | 1080 >> 8, info[48 + 23] = 1080 & 255;
    ASSERT_TRUE(Probe(Concat(info, Frame(0xFF, 0xFB, 0x90, 0x64, 418))));
    EXPECT_EQ(result.gapless.infoFrameBytes, 417u);
    EXPECT_EQ(result.gapless.frameCount, 78u);
    EXPECT_EQ(result.gapless.encoderDelay, 576u);
    EXPECT_EQ(result.gapless.encoderPadding, 1080u);
    EXPECT_TRUE(result.gapless.trimmable);
    EXPECT_EQ(result.audioStart, 0u) << "the probe's answers stay as they were";

    info[47] = 1; // one frame cannot hold 1,656 samples of delay and padding
    ASSERT_TRUE(Probe(Concat(info, Frame(0xFF, 0xFB, 0x90, 0x64, 418))));
    EXPECT_EQ(result.gapless.infoFrameBytes, 417u);
    EXPECT_FALSE(result.gapless.trimmable);

    info[48] = 'X'; // no LAME tag: the frame is still no sound, but nothing says what to trim
    ASSERT_TRUE(Probe(Concat(info, Frame(0xFF, 0xFB, 0x90, 0x64, 418))));
    EXPECT_EQ(result.gapless.infoFrameBytes, 417u);
    EXPECT_FALSE(result.gapless.trimmable);

    ASSERT_TRUE(Probe(Frame(0xFF, 0xFB, 0x90, 0x64, 1000)));
    EXPECT_EQ(result.gapless.infoFrameBytes, 0u);
}
