// Microsoft ADPCM: 4-bit codes against a two-tap predictor whose coefficients the format record carries.
#include <limits.h>
#include <string.h>

#include "msacm32/block_decoder.h"
#include "immortal.h"

namespace posix_win32 {
namespace {

constexpr int kAdaptationTable[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
constexpr WORD kStandardCoefficientCount = 7;
constexpr DWORD kHeaderBytesPerChannel = 7;
// Damaged blocks can grow the step by up to three times a sample; held here, no product below overflows an int.
constexpr int kLargestDelta = INT_MAX / 768;

struct Coefficients {
    int first;
    int second;
};

struct ChannelState {
    Coefficients coefficients;
    int delta;
    int sample1; // the newer of the two past samples
    int sample2;
};

int16_t ReadInt16(const BYTE* bytes) { return static_cast<int16_t>(bytes[0] | bytes[1] << 8); }

// The record's extra bytes: samples per block, coefficient count, then the coefficient pairs.
WORD ExtraWord(const WAVEFORMATEX& format, size_t index) {
    WORD value;
    memcpy(&value, reinterpret_cast<const BYTE*>(&format) + sizeof(WAVEFORMATEX) + 2 * index, sizeof value);
    return value;
}

int16_t ExpandCode(ChannelState& state, int code) {
    const int signedCode = code >= 8 ? code - 16 : code;
    int predicted = (state.sample1 * state.coefficients.first + state.sample2 * state.coefficients.second) >> 8;
    predicted += signedCode * state.delta;
    predicted = predicted > 32767 ? 32767 : predicted < -32768 ? -32768 : predicted;
    state.sample2 = state.sample1;
    state.sample1 = predicted;
    state.delta = (kAdaptationTable[code] * state.delta) >> 8;
    if (state.delta < 16) state.delta = 16;
    if (state.delta > kLargestDelta) state.delta = kLargestDelta;
    return static_cast<int16_t>(predicted);
}

class MsAdpcmDecoder final : public BlockDecoder {
  public:
    explicit MsAdpcmDecoder(const WAVEFORMATEX& format)
        : BlockDecoder(format.nBlockAlign), blockBytes(format.nBlockAlign), channels(format.nChannels),
          samplesPerBlock(ExtraWord(format, 0)) {
        for (WORD i = 0; i < ExtraWord(format, 1); ++i)
            coefficients.push_back({static_cast<int16_t>(ExtraWord(format, 2 + 2 * i)),
                                    static_cast<int16_t>(ExtraWord(format, 3 + 2 * i))});
    }

  protected:
    void DecodeBlocks(const BYTE* blocks, DWORD blockCount, std::vector<int16_t>& pcm) override {
        for (DWORD block = 0; block < blockCount; ++block, blocks += blockBytes) {
            const size_t start = pcm.size();
            pcm.resize(start + size_t(samplesPerBlock) * channels);
            int16_t* out = pcm.data() + start;
            // The header holds each field for all channels in turn: predictor, delta, newer sample, older sample.
            ChannelState states[2];
            for (WORD c = 0; c < channels; ++c) {
                const BYTE predictor = blocks[c];
                states[c].coefficients = coefficients[predictor < coefficients.size() ? predictor : 0];
                states[c].delta = ReadInt16(blocks + channels + 2 * c);
                states[c].sample1 = ReadInt16(blocks + 3 * channels + 2 * c);
                states[c].sample2 = ReadInt16(blocks + 5 * channels + 2 * c);
                out[c] = static_cast<int16_t>(states[c].sample2);
                out[channels + c] = static_cast<int16_t>(states[c].sample1);
            }
            // Codes run through the channels in turn, high nibble first.
            const BYTE* codes = blocks + kHeaderBytesPerChannel * channels;
            const size_t codeCount = size_t(samplesPerBlock - 2) * channels;
            for (size_t i = 0; i < codeCount; ++i) {
                const int code = (codes[i / 2] >> ((i & 1) ? 0 : 4)) & 15;
                out[2 * channels + i] = ExpandCode(states[i % channels], code);
            }
        }
    }

  private:
    DWORD blockBytes;
    WORD channels;
    DWORD samplesPerBlock;
    std::vector<Coefficients> coefficients;
};

class MsAdpcmCodecImpl final : public AcmCodec {
  public:
    WORD FormatTag() const override { return WAVE_FORMAT_ADPCM; }
    const char* Name() const override { return "Microsoft ADPCM"; }
    DWORD LargestFormatSize() const override { return sizeof(WAVEFORMATEX) + 4 + 4 * kStandardCoefficientCount; }
    MMRESULT CheckFormat(const WAVEFORMATEX& format) const override {
        const WORD channels = format.nChannels;
        if (channels < 1 || channels > 2 || format.wBitsPerSample != 4 || format.nSamplesPerSec == 0 ||
            format.cbSize < 4 || format.nBlockAlign < kHeaderBytesPerChannel * channels)
            return MMSYSERR_INVALPARAM;
        const WORD coefficientCount = ExtraWord(format, 1);
        if (coefficientCount < 1 || format.cbSize < 4 + 4 * coefficientCount) return MMSYSERR_INVALPARAM;
        const DWORD most = (format.nBlockAlign - kHeaderBytesPerChannel * channels) * 2 / channels + 2;
        const WORD samples = ExtraWord(format, 0);
        return samples >= 2 && samples <= most ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
    }
    DWORD MaxFramesFor(const WAVEFORMATEX& format, DWORD sourceBytes) const override {
        return BlockMaxFrames(format.nBlockAlign, ExtraWord(format, 0), sourceBytes);
    }
    DWORD SourceBytesFor(const WAVEFORMATEX& format, DWORD frames) const override {
        return BlockSourceBytes(format.nBlockAlign, ExtraWord(format, 0), frames);
    }
    std::unique_ptr<AcmDecoder> CreateDecoder(const WAVEFORMATEX& format) const override {
        return std::make_unique<MsAdpcmDecoder>(format);
    }
};

} // namespace

const AcmCodec& MsAdpcmCodec() {
    static const Immortal<MsAdpcmCodecImpl> codec;
    return *codec;
}

} // namespace posix_win32
