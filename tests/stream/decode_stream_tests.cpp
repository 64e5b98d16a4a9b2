// Decode streams over the fixtures: each whole file against its reference PCM (made by other decoders), in reads
// of any size; rewinds; the open's arithmetic and failures; every layer III rate and bit rate.
#include <math.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

#include "decode_session.h"
#include "stream/decode_stream_messages.h"
#include "stream/mpeg_frames.h"

namespace {

using Bytes = std::vector<uint8_t>;

using wave_bytes::ReadWholeFile;

MMRESULT WINAPI RefusingOpen(LPHACMSTREAM, HACMDRIVER, LPWAVEFORMATEX, LPWAVEFORMATEX, LPWAVEFILTER, DWORD_PTR,
                             DWORD_PTR, DWORD) {
    return ACMERR_NOTPOSSIBLE;
}

class DecodeStreamTest : public DecodeSession {
  protected:
    // Reads in pieces of `piece` bytes until a read comes back short.
    Bytes ReadToEnd(LONG piece) {
        Bytes all(piece);
        for (size_t at = 0;; all.resize(at + piece)) {
            const LONG got = DecodeStreamRead(stream, all.data() + at, piece);
            at += got;
            if (got < piece) return all.resize(at), all;
        }
    }
};

// The bit rates of the frames in turn, a run of one rate once; each frame's length, worked out from its header, must
// land on the next frame's sync through to the end of the audio, and a 0 ends the list where it does not.
std::vector<DWORD> FrameBitRates(const std::string& path, const DecodeStream* stream) {
    const Bytes bytes = ReadWholeFile(path);
    const DWORD end = stream->dataStart + stream->dataLength;
    std::vector<DWORD> rates;
    MpegFrameHeader header;
    DWORD at = stream->dataStart;
    for (; at + 4 <= end && ReadMpegFrameHeader(&bytes[at], &header); at += header.bytes)
        if (rates.empty() || rates.back() != header.bitRate) rates.push_back(header.bitRate);
    if (at != end) rates.push_back(0);
    return rates;
}

} // namespace

// Every fixture with a reference: lossless formats decode within one LSB of it; two MPEG decoders differ only in
// rounding, 80 dB down.
TEST_F(DecodeStreamTest, EveryFixtureDecodesToItsReferenceInReadsOfAnySize) {
    for (const char* file : {"mp3_cbr128_44k_stereo_tagged.mp3", "mp3_vbr_48k_mono.mp3", "mp3_cbr96_32k_stereo.mp3",
                             "mp3_mpeg2_22k_stereo_tagged.mp3", "mp2_192_44k_stereo.mp2", "wav_pcm8_22k_mono.wav",
                             "wav_pcm16_22k_stereo.wav", "wav_ima_22k_stereo.wav", "wav_ima_loud.wav",
                             "wav_msadpcm_22k_mono.wav", "wav_alaw_22k_mono.wav", "wav_mulaw_22k_mono.wav"}) {
        const bool lossy = strstr(file, ".mp") != nullptr;
        SCOPED_TRACE(file);
        Open(Fixture(file), 500);
        const Bytes pcm = ReadToEnd(65536);
        std::string name = file;
        const Bytes file16 = ReadWholeFile(Fixture((name.substr(0, name.rfind('.')) + ".ref").c_str()));
        std::vector<int16_t> reference(file16.size() / 2), decoded(pcm.size() / 2);
        memcpy(reference.data(), file16.data(), file16.size());
        memcpy(decoded.data(), pcm.data(), pcm.size());
        if (format.nChannels == 2 && name.find("mono") != std::string::npos) { // MPEG always comes out stereo
            std::vector<int16_t> stereo;
            for (int16_t sample : reference)
                stereo.insert(stereo.end(), {sample, sample});
            reference.swap(stereo);
        }
        ASSERT_EQ(decoded.size(), reference.size());
        double signal = 0, noise = 0, largest = 0;
        for (size_t i = 0; i < decoded.size(); ++i) {
            const double error = decoded[i] - reference[i];
            signal += double(reference[i]) * reference[i], noise += error * error,
                largest = std::max(largest, fabs(error));
        }
        if (lossy)
            EXPECT_GT(10 * log10(signal / (noise + 1e-9)), 80.0);
        else
            EXPECT_LE(largest, 1.0);
        DecodeStreamRewind(stream, 0);
        EXPECT_TRUE(ReadToEnd(lossy ? 4095 : 7) == pcm) << "read in small pieces";
        DecodeStreamClose(stream), stream = nullptr;
    }
}

TEST_F(DecodeStreamTest, RewindsRestartAtTheBlockOrFrameWithNoStaleAudio) {
    const Bytes reference = ReadWholeFile(Fixture("wav_pcm16_22k_stereo.ref"));
    Open(Fixture("wav_pcm16_22k_stereo.wav"), 100);
    Bytes some(3000);
    DecodeStreamRead(stream, some.data(), 3000); // leaves output carried over
    ASSERT_TRUE(DecodeStreamRewind(stream, 40003));
    EXPECT_TRUE(ReadToEnd(777) == Bytes(reference.begin() + 40000, reference.end()));
    DecodeStreamClose(stream);
    // Into an MP3 the stream restarts on a frame, and just past the 64th it primes the decoder with the frames before
    // that checkpoint: after it, the output is the first pass's to the bit.
    Open(Fixture("sine441_tagged.mp3"), 300);
    const Bytes first = ReadToEnd(4096);
    for (DWORD offset : {stream->dataLength / 2, 27200u}) {
        DecodeStreamRewind(stream, offset);
        const Bytes again = ReadToEnd(4096);
        EXPECT_NEAR(double(again.size()) / double(first.size()), 1 - double(offset) / stream->dataLength, 0.05);
        EXPECT_TRUE(std::equal(again.begin(), again.end(), first.end() - again.size())) << offset;
    }
}

// The open's arithmetic and failures: the codec reads a whole WAVEFORMATEX and then cbSize bytes, so a 16-byte body
// is handed over grown, with no extra bytes, and a cbSize that claims more than the body holds (0xEEEE in a 40-byte
// body) is cut to what it holds; the source request wraps at 32 bits (88,200 bytes a second times 48,698 ms is
// 196,304, which scales to 196 bytes of source); a refused codec shows its box.
TEST_F(DecodeStreamTest, TheOpenReadsAWholeFormatRecordWrapsItsRequestAndShowsARefusal) {
    for (auto [image, extra] : {std::pair{"canonical", 0}, std::pair{"extended-format", 22}}) {
        Open(std::string(ZORVA_FIXTURE_DIR "/../fuzz/cases/wave_fuzzer/") + image, 100);
        EXPECT_EQ(stream->sourceFormat->cbSize, extra) << image;
        DecodeStreamClose(stream);
    }
    Open(Fixture("wav_pcm16_22k_stereo.wav"), 48698);
    EXPECT_EQ(stream->sourceCapacity, 196u);
    EXPECT_TRUE(messages.empty());
    UnbindAcmLibrary();
    posix_win32::ReplaceEntryPoint("msacm32.dll", "acmStreamOpen", RefusingOpen);
    ASSERT_TRUE(BindAcmLibrary());
    EXPECT_EQ(DecodeStreamOpen(Fixture("mp3_cbr96_32k_stereo.mp3").c_str(), 500, &format), nullptr);
    EXPECT_EQ(messages, std::vector<std::string>{std::string(kAcmStreamErrorCaption) + ": " +
                                                 "\x97v\x8b\x81\x82\xb3\x82\xea\x82\xbd\x91\x80\x8d\xec\x82\xcd\x8e"
                                                 "\xc0\x8ds\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1"});
}

// Every layer III sample rate and bit rate lame makes: the probe reads the first frame's rate and bit rate, and the
// frames chain to the end; and every layer II bit rate, a frame of each in one file per channel mode.
TEST_F(DecodeStreamTest, EveryLayer2And3RateAndBitRateIsReadAndChained) {
    for (auto [file, rates] :
         {std::pair{"mp2_rates_44k_stereo.mp2", std::vector<DWORD>{64, 96, 112, 128, 160, 192, 224, 256, 320, 384}},
          std::pair{"mp2_rates_48k_mono.mp2", std::vector<DWORD>{32, 48, 56, 64, 80, 96, 112, 128, 160, 192}}}) {
        Open(Fixture(file), 500);
        EXPECT_EQ(FrameBitRates(Fixture(file), stream), rates) << file;
        DecodeStreamClose(stream), stream = nullptr;
    }
    const std::pair<std::vector<DWORD>, std::vector<int>> kinds[] = {
        {{44100, 48000, 32000}, {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{22050, 24000, 16000}, {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    for (const auto& [rates, bitRates] : kinds) {
        for (DWORD rate : rates) {
            const Frames silence(rate / 5 * 2, 0);
            wave_bytes::TemporaryFile wav(wave_bytes::CanonicalWave(silence.data(), silence.size() * 2, 2, rate));
            for (int bitRate : bitRates) {
                SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(bitRate) + " kbit/s");
                const std::string mp3 = std::string(wav.path()) + ".mp3";
                const std::string command = std::string(ZORVA_LAME) + " --quiet --cbr -b " + std::to_string(bitRate) +
                                            " --resample " + std::to_string(rate / 1000.0) + " " + wav.path() + " " +
                                            mp3;
                ASSERT_EQ(system(command.c_str()), 0);
                Open(mp3, 500);
                EXPECT_EQ(format.nSamplesPerSec, rate);
                EXPECT_EQ(stream->sourceFormat->nAvgBytesPerSec, DWORD(bitRate) * 125);
                EXPECT_EQ(FrameBitRates(mp3, stream), std::vector<DWORD>{DWORD(bitRate)});
                DecodeStreamClose(stream), stream = nullptr;
                unlink(mp3.c_str());
            }
        }
    }
}
