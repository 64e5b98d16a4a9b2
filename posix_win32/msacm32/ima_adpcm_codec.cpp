// IMA ADPCM (the DVI variant of WAVE files): 4-bit codes with an adaptive step, one header per channel and block.
#include <string.h>

#include "msacm32/block_decoder.h"
#include "immortal.h"

namespace posix_win32 {
namespace {

constexpr int16_t kStepTable[89] = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int kIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

struct ChannelState {
    int predictor;
    int index;
};

// The reference decoder's sum of shifted steps, not a multiplication: the rounding differs and would drift.
int16_t ExpandCode(ChannelState& state, int code) {
    const int step = kStepTable[state.index];
    int difference = step >> 3;
    if (code & 4) difference += step;
    if (code & 2) difference += step >> 1;
    if (code & 1) difference += step >> 2;
    state.predictor += (code & 8) ? -difference : difference;
    state.predictor = state.predictor > 32767 ? 32767 : state.predictor < -32768 ? -32768 : state.predictor;
    state.index += kIndexTable[code];
    state.index = state.index < 0 ? 0 : state.index > 88 ? 88 : state.index;
    return static_cast<int16_t>(state.predictor);
}

WORD SamplesPerBlock(const WAVEFORMATEX& format) {
    WORD samples;
    memcpy(&samples, reinterpret_cast<const BYTE*>(&format) + sizeof(WAVEFORMATEX), sizeof samples);
    return samples;
}

DWORD MostSamplesPerBlock(const WAVEFORMATEX& format) {
    return (format.nBlockAlign - 4u * format.nChannels) * 2 / format.nChannels + 1;
}

class ImaAdpcmDecoder final : public BlockDecoder {
  public:
    explicit ImaAdpcmDecoder(const WAVEFORMATEX& format)
        : BlockDecoder(format.nBlockAlign), blockBytes(format.nBlockAlign), channels(format.nChannels),
          samplesPerBlock(SamplesPerBlock(format)) {}

  protected:
    void DecodeBlocks(const BYTE* blocks, DWORD blockCount, std::vector<int16_t>& pcm) override {
        for (DWORD block = 0; block < blockCount; ++block, blocks += blockBytes) {
            const size_t start = pcm.size();
            pcm.resize(start + size_t(samplesPerBlock) * channels);
            int16_t* out = pcm.data() + start;
            ChannelState states[2];
            for (WORD channel = 0; channel < channels; ++channel) {
                const BYTE* header = blocks + 4 * channel;
                states[channel].predictor = static_cast<int16_t>(header[0] | header[1] << 8);
                states[channel].index = header[2] > 88 ? 88 : header[2];
                out[channel] = static_cast<int16_t>(states[channel].predictor);
            }
            // After the headers each channel takes turns with 4 bytes, 8 codes, low nibble first.
            const BYTE* codes = blocks + 4 * channels;
            for (DWORD first = 1; first < samplesPerBlock; first += 8, codes += 4 * channels) {
                for (WORD channel = 0; channel < channels; ++channel) {
                    const BYTE* group = codes + 4 * channel;
                    for (DWORD k = 0; k < 8 && first + k < samplesPerBlock; ++k) {
                        const int code = (group[k / 2] >> ((k & 1) * 4)) & 15;
                        out[(first + k) * channels + channel] = ExpandCode(states[channel], code);
                    }
                }
            }
        }
    }

  private:
    DWORD blockBytes;
    WORD channels;
    DWORD samplesPerBlock;
};

class ImaAdpcmCodecImpl final : public AcmCodec {
  public:
    WORD FormatTag() const override { return WAVE_FORMAT_IMA_ADPCM; }
    const char* Name() const override { return "IMA ADPCM"; }
    DWORD LargestFormatSize() const override { return sizeof(WAVEFORMATEX) + 2; }
    MMRESULT CheckFormat(const WAVEFORMATEX& format) const override {
        const WORD channels = format.nChannels;
        if (channels < 1 || channels > 2 || format.wBitsPerSample != 4 || format.nSamplesPerSec == 0 ||
            format.cbSize < 2 || format.nBlockAlign <= 4 * channels || format.nBlockAlign % (4 * channels) != 0)
            return MMSYSERR_INVALPARAM;
        const WORD samples = SamplesPerBlock(format);
        return samples >= 1 && samples <= MostSamplesPerBlock(format) ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
    }
    DWORD MaxFramesFor(const WAVEFORMATEX& format, DWORD sourceBytes) const override {
        return BlockMaxFrames(format.nBlockAlign, SamplesPerBlock(format), sourceBytes);
    }
    DWORD SourceBytesFor(const WAVEFORMATEX& format, DWORD frames) const override {
        return BlockSourceBytes(format.nBlockAlign, SamplesPerBlock(format), frames);
    }
    std::unique_ptr<AcmDecoder> CreateDecoder(const WAVEFORMATEX& format) const override {
        return std::make_unique<ImaAdpcmDecoder>(format);
    }
};

} // namespace

const AcmCodec& ImaAdpcmCodec() {
    static const Immortal<ImaAdpcmCodecImpl> codec;
    return *codec;
}

} // namespace posix_win32
