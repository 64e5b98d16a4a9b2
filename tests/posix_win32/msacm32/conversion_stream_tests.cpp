// The compression manager through the core's binding: format queries, stream set-up and PCM conversions.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "platform/system_library_binding.h"

namespace {

WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits, WORD tag = WAVE_FORMAT_PCM) {
    const WORD align = static_cast<WORD>(channels * bits / 8);
    return {tag, channels, rate, rate * align, align, bits, 0};
}

class ConversionStreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(BindAcmLibrary());
        acm = AcmEntries();
    }
    void TearDown() override {
        if (stream) {
            if (header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) acm->acmStreamUnprepareHeader(stream, &header, 0);
            EXPECT_EQ(acm->acmStreamClose(stream, 0), MMSYSERR_NOERROR);
        }
        UnbindAcmLibrary();
    }

    // Opens `source` to `target` and prepares `header` over `sourceBytes` and a destination of `targetBytes`.
    void Open(WAVEFORMATEX source, WAVEFORMATEX target, DWORD sourceBytes, DWORD targetBytes) {
        ASSERT_EQ(acm->acmStreamOpen(&stream, nullptr, &source, &target, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
        sourceBuffer.assign(sourceBytes, 0);
        targetBuffer.assign(targetBytes, 0);
        header = {};
        header.cbStruct = sizeof header;
        header.pbSrc = sourceBuffer.data();
        header.cbSrcLength = sourceBytes;
        header.pbDst = targetBuffer.data();
        header.cbDstLength = targetBytes;
        ASSERT_EQ(acm->acmStreamPrepareHeader(stream, &header, 0), MMSYSERR_NOERROR);
    }

    // Converts `bytes` and answers the PCM bytes delivered.
    std::vector<BYTE> Convert(const std::vector<BYTE>& bytes) {
        if (!bytes.empty()) memcpy(sourceBuffer.data(), bytes.data(), bytes.size());
        header.cbSrcLength = static_cast<DWORD>(bytes.size());
        EXPECT_EQ(acm->acmStreamConvert(stream, &header, 0), MMSYSERR_NOERROR);
        EXPECT_EQ(header.cbSrcLengthUsed, bytes.size()) << "every source byte is consumed";
        return std::vector<BYTE>(targetBuffer.begin(), targetBuffer.begin() + header.cbDstLengthUsed);
    }

    static std::vector<BYTE> Words(std::initializer_list<int> samples) {
        std::vector<BYTE> bytes;
        for (int sample : samples)
            bytes.push_back(static_cast<BYTE>(sample)), bytes.push_back(static_cast<BYTE>(sample >> 8));
        return bytes;
    }

    const AcmEntryTable* acm = nullptr;
    HACMSTREAM stream = nullptr;
    ACMSTREAMHEADER header = {};
    std::vector<BYTE> sourceBuffer, targetBuffer;
};

TEST_F(ConversionStreamTest, LargestFormatSizePerTag) {
    const std::pair<WORD, DWORD> expected[] = {{WAVE_FORMAT_PCM, 16},       {WAVE_FORMAT_MPEGLAYER3, 30},
                                               {WAVE_FORMAT_IMA_ADPCM, 20}, {WAVE_FORMAT_ADPCM, 50},
                                               {WAVE_FORMAT_ALAW, 18},      {WAVE_FORMAT_MULAW, 18}};
    for (auto [tag, size] : expected) {
        ACMFORMATTAGDETAILSA details = {};
        details.cbStruct = sizeof details;
        details.dwFormatTag = tag;
        ASSERT_EQ(acm->acmFormatTagDetailsA(nullptr, &details, ACM_FORMATTAGDETAILSF_LARGESTSIZE), MMSYSERR_NOERROR);
        EXPECT_EQ(details.cbFormatSize, size) << "tag " << tag;
    }
    ACMFORMATTAGDETAILSA unknown = {};
    unknown.cbStruct = sizeof unknown;
    unknown.dwFormatTag = 0x1234;
    EXPECT_EQ(acm->acmFormatTagDetailsA(nullptr, &unknown, ACM_FORMATTAGDETAILSF_LARGESTSIZE), ACMERR_NOTPOSSIBLE);
    unknown.dwFormatTag = 0;
    ASSERT_EQ(acm->acmFormatTagDetailsA(nullptr, &unknown, ACM_FORMATTAGDETAILSF_LARGESTSIZE), MMSYSERR_NOERROR);
    EXPECT_EQ(unknown.cbFormatSize, 50u);
}

TEST_F(ConversionStreamTest, SuggestionHonoursTheFixedFields) {
    MPEGLAYER3WAVEFORMAT mpeg = {{WAVE_FORMAT_MPEGLAYER3, 2, 44100, 16000, 1, 0, 12}, 1, 2, 417, 1, 1393};
    WAVEFORMATEX target = {};
    target.wFormatTag = WAVE_FORMAT_PCM;
    ASSERT_EQ(acm->acmFormatSuggest(nullptr, &mpeg.wfx, &target, sizeof target, ACM_FORMATSUGGESTF_WFORMATTAG), 0u);
    EXPECT_EQ(0, memcmp(&target, &static_cast<const WAVEFORMATEX&>(Pcm(2, 44100, 16)), 16));

    target = Pcm(1, 44100, 8);
    ASSERT_EQ(acm->acmFormatSuggest(nullptr, &mpeg.wfx, &target, sizeof target,
                                    ACM_FORMATSUGGESTF_NCHANNELS | ACM_FORMATSUGGESTF_WBITSPERSAMPLE),
              0u);
    EXPECT_EQ(target.nChannels, 1);
    EXPECT_EQ(target.wBitsPerSample, 8);
    EXPECT_EQ(target.nBlockAlign, 1);
    EXPECT_EQ(target.nAvgBytesPerSec, 44100u);

    target.nSamplesPerSec = 22050;
    EXPECT_EQ(acm->acmFormatSuggest(nullptr, &mpeg.wfx, &target, sizeof target, ACM_FORMATSUGGESTF_NSAMPLESPERSEC),
              ACMERR_NOTPOSSIBLE)
        << "no resampling";
    target.wFormatTag = WAVE_FORMAT_ADPCM;
    EXPECT_EQ(acm->acmFormatSuggest(nullptr, &mpeg.wfx, &target, sizeof target, ACM_FORMATSUGGESTF_WFORMATTAG),
              ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acm->acmFormatSuggest(nullptr, &mpeg.wfx, &target, 15, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acm->acmFormatSuggest(nullptr, &mpeg.wfx, &target, sizeof target, 1), MMSYSERR_INVALFLAG);

    // A 16-byte destination, as PCM's largest size allows, gets no cbSize written behind it.
    BYTE small[18];
    memset(small, 0xAB, sizeof small);
    WAVEFORMATEX source = Pcm(1, 8000, 8);
    ASSERT_EQ(acm->acmFormatSuggest(nullptr, &source, reinterpret_cast<WAVEFORMATEX*>(small), 16, 0), 0u);
    EXPECT_EQ(small[16], 0xAB);
    EXPECT_EQ(small[17], 0xAB);
}

TEST_F(ConversionStreamTest, OpenAnswersNotPossibleOrInvalidParameter) {
    WAVEFORMATEX source = Pcm(2, 44100, 16);
    WAVEFORMATEX target = Pcm(2, 44100, 16);
    HACMSTREAM opened = nullptr;
    target.wFormatTag = WAVE_FORMAT_ALAW;
    EXPECT_EQ(acm->acmStreamOpen(&opened, nullptr, &source, &target, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
    target = Pcm(2, 48000, 16);
    EXPECT_EQ(acm->acmStreamOpen(&opened, nullptr, &source, &target, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
    WAVEFORMATEX unknown = source;
    unknown.wFormatTag = 0x1234;
    target = Pcm(2, 44100, 16);
    EXPECT_EQ(acm->acmStreamOpen(&opened, nullptr, &unknown, &target, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
    WAVEFORMATEX malformed = source;
    malformed.nBlockAlign = 3;
    EXPECT_EQ(acm->acmStreamOpen(&opened, nullptr, &malformed, &target, nullptr, 0, 0, 0), MMSYSERR_INVALPARAM);
    malformed = target;
    malformed.nChannels = 0;
    EXPECT_EQ(acm->acmStreamOpen(&opened, nullptr, &source, &malformed, nullptr, 0, 0, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acm->acmStreamOpen(nullptr, nullptr, &source, &target, nullptr, 0, 0, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acm->acmStreamOpen(nullptr, nullptr, &source, &target, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), 0u);
    EXPECT_EQ(opened, nullptr);
    EXPECT_EQ(acm->acmStreamClose(reinterpret_cast<HACMSTREAM>(&source), 0), MMSYSERR_INVALHANDLE);
}

TEST_F(ConversionStreamTest, SizesBothWays) {
    Open(Pcm(1, 8000, 8), Pcm(1, 8000, 16), 1000, 2000);
    DWORD size = 0;
    ASSERT_EQ(acm->acmStreamSize(stream, 1000, &size, ACM_STREAMSIZEF_SOURCE), 0u);
    EXPECT_EQ(size, 2000u);
    ASSERT_EQ(acm->acmStreamSize(stream, 2001, &size, ACM_STREAMSIZEF_DESTINATION), 0u);
    EXPECT_EQ(size, 1000u);
    EXPECT_EQ(acm->acmStreamSize(stream, 1, &size, ACM_STREAMSIZEF_DESTINATION), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(size, 0u);

    // IMA ADPCM, 256-byte mono blocks of 505 samples: only whole blocks count.
    BYTE imaRecord[20] = {};
    WAVEFORMATEX ima = {WAVE_FORMAT_IMA_ADPCM, 1, 22050, 11100, 256, 4, 2};
    memcpy(imaRecord, &ima, sizeof ima);
    imaRecord[18] = 505 & 0xFF, imaRecord[19] = 505 >> 8;
    WAVEFORMATEX target = Pcm(1, 22050, 16);
    HACMSTREAM imaStream = nullptr;
    ASSERT_EQ(
        acm->acmStreamOpen(&imaStream, nullptr, reinterpret_cast<WAVEFORMATEX*>(imaRecord), &target, nullptr, 0, 0, 0),
        0u);
    acm->acmStreamSize(imaStream, 255, &size, ACM_STREAMSIZEF_SOURCE);
    EXPECT_EQ(size, 0u);
    acm->acmStreamSize(imaStream, 600, &size, ACM_STREAMSIZEF_SOURCE);
    EXPECT_EQ(size, 2u * 505 * 2);
    acm->acmStreamSize(imaStream, 2u * 505 * 2 + 1, &size, ACM_STREAMSIZEF_DESTINATION);
    EXPECT_EQ(size, 512u);
    acm->acmStreamClose(imaStream, 0);
}

TEST_F(ConversionStreamTest, MpegSizeBoundsTheOutputOfAFullSourceBuffer) {
    MPEGLAYER3WAVEFORMAT mpeg = {{WAVE_FORMAT_MPEGLAYER3, 2, 44100, 16000, 1, 0, 12}, 1, 2, 417, 1, 1393};
    WAVEFORMATEX target = Pcm(2, 44100, 16);
    ASSERT_EQ(acm->acmStreamOpen(&stream, nullptr, &mpeg.wfx, &target, nullptr, 0, 0, 0), 0u);
    DWORD targetBytes = 0, sourceBytes = 0;
    acm->acmStreamSize(stream, 16000, &targetBytes, ACM_STREAMSIZEF_SOURCE);
    acm->acmStreamSize(stream, targetBytes, &sourceBytes, ACM_STREAMSIZEF_DESTINATION);
    EXPECT_EQ(sourceBytes, 16000u);
    // The smallest MPEG-1 frames (32 kbit/s) give 1152 samples per 104 bytes at 44.1 kHz.
    EXPECT_GE(targetBytes, 16000u / 104 * 1152 * 4);
    acm->acmStreamSize(stream, 0, &targetBytes, ACM_STREAMSIZEF_SOURCE);
    EXPECT_EQ(targetBytes, 0u);
}

TEST_F(ConversionStreamTest, HeaderStatusFollowsPrepareConvertUnprepare) {
    Open(Pcm(1, 8000, 16), Pcm(1, 8000, 16), 8, 8);
    EXPECT_EQ(header.fdwStatus, ACMSTREAMHEADER_STATUSF_PREPARED);
    Convert(Words({1, 2}));
    EXPECT_EQ(header.fdwStatus, ACMSTREAMHEADER_STATUSF_PREPARED | ACMSTREAMHEADER_STATUSF_DONE);
    ASSERT_EQ(acm->acmStreamUnprepareHeader(stream, &header, 0), 0u);
    EXPECT_EQ(header.fdwStatus, 0u);
    EXPECT_EQ(acm->acmStreamUnprepareHeader(stream, &header, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acm->acmStreamConvert(stream, &header, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(header.cbDstLengthUsed, 0u);
    ASSERT_EQ(acm->acmStreamPrepareHeader(stream, &header, 0), 0u);
    header.cbSrcLength = 9;
    EXPECT_EQ(acm->acmStreamConvert(stream, &header, 0), MMSYSERR_INVALPARAM) << "grown past the prepared size";
}

TEST_F(ConversionStreamTest, OutputThatDoesNotFitComesFirstNextTime) {
    Open(Pcm(1, 8000, 16), Pcm(1, 8000, 16), 16, 6);
    EXPECT_EQ(Convert(Words({1, 2, 3, 4, 5})), Words({1, 2, 3}));
    EXPECT_EQ(Convert(Words({6})), Words({4, 5, 6}));
    EXPECT_EQ(Convert({}), std::vector<BYTE>());
    // A part frame waits for its other byte.
    EXPECT_EQ(Convert({7}), std::vector<BYTE>());
    EXPECT_EQ(Convert({0, 8}), Words({7}));
    EXPECT_EQ(Convert({0}), Words({8}));
}

TEST_F(ConversionStreamTest, RepreparingDropsWhatWasKept) {
    Open(Pcm(1, 8000, 16), Pcm(1, 8000, 16), 16, 4);
    EXPECT_EQ(Convert(Words({1, 2, 3, 4})), Words({1, 2}));
    acm->acmStreamUnprepareHeader(stream, &header, 0);
    header.cbSrcLength = 16;
    acm->acmStreamPrepareHeader(stream, &header, 0);
    EXPECT_EQ(Convert(Words({9})), Words({9}));
}

TEST_F(ConversionStreamTest, WidthsAndChannelLayouts) {
    WAVEFORMATEX source = Pcm(1, 8000, 8);
    Open(source, Pcm(2, 8000, 16), 4, 64);
    EXPECT_EQ(Convert({0x80, 0xFF, 0x00}), Words({0, 0, 0x7F00, 0x7F00, -0x8000, -0x8000}));
    acm->acmStreamUnprepareHeader(stream, &header, 0);
    acm->acmStreamClose(stream, 0);

    Open(Pcm(2, 8000, 24), Pcm(1, 8000, 16), 6, 64);
    EXPECT_EQ(Convert({0x00, 0x00, 0x10, 0x00, 0x00, 0x20}), Words({0x1800}));
    acm->acmStreamUnprepareHeader(stream, &header, 0);
    acm->acmStreamClose(stream, 0);

    Open(Pcm(1, 8000, 32, WAVE_FORMAT_IEEE_FLOAT), Pcm(1, 8000, 8), 12, 64);
    std::vector<BYTE> floats(12);
    const float values[3] = {0.5f, -2.0f, 0.0f};
    memcpy(floats.data(), values, sizeof values);
    EXPECT_EQ(Convert(floats), std::vector<BYTE>({0xC0, 0x00, 0x80}));
}

TEST_F(ConversionStreamTest, G711ExpandsByItsCurves) {
    Open(Pcm(1, 8000, 8, WAVE_FORMAT_ALAW), Pcm(1, 8000, 16), 4, 64);
    EXPECT_EQ(Convert({0xD5, 0x55, 0xAA, 0x2A}), Words({8, -8, 32256, -32256}));
    acm->acmStreamUnprepareHeader(stream, &header, 0);
    acm->acmStreamClose(stream, 0);
    Open(Pcm(1, 8000, 8, WAVE_FORMAT_MULAW), Pcm(1, 8000, 16), 4, 64);
    EXPECT_EQ(Convert({0xFF, 0x7F, 0x80, 0x00}), Words({0, 0, 32124, -32124}));
}

} // namespace
