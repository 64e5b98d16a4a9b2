// Uncompressed sources: 8-bit unsigned, 16/24/32-bit signed integer and 32-bit float samples to 16 bits.
#include <math.h>
#include <string.h>

#include "msacm32/block_decoder.h"
#include "immortal.h"

namespace posix_win32 {
namespace {

int16_t FloatToSample(float value) {
    const float scaled = nearbyintf(value * 32768.0f);
    return static_cast<int16_t>(scaled >= 32767.0f ? 32767 : scaled <= -32768.0f ? -32768 : scaled);
}

class PcmDecoder final : public BlockDecoder {
  public:
    PcmDecoder(WORD formatTag, const WAVEFORMATEX& format)
        : BlockDecoder(format.nBlockAlign), isFloat(formatTag == WAVE_FORMAT_IEEE_FLOAT),
          sampleBytes(format.wBitsPerSample / 8), samplesPerBlock(format.nChannels) {}

  protected:
    void DecodeBlocks(const BYTE* blocks, DWORD blockCount, std::vector<int16_t>& pcm) override {
        const size_t count = size_t(blockCount) * samplesPerBlock;
        const size_t start = pcm.size();
        pcm.resize(start + count);
        int16_t* out = pcm.data() + start;
        // Wider integers keep their top 16 bits, as a plain truncation of the low bits does.
        for (size_t i = 0; i < count; ++i, blocks += sampleBytes) {
            if (isFloat) {
                float value;
                memcpy(&value, blocks, sizeof value);
                out[i] = FloatToSample(value);
                continue;
            }
            switch (sampleBytes) {
            case 1: out[i] = static_cast<int16_t>((blocks[0] - 128) * 256); break;
            case 2: out[i] = static_cast<int16_t>(blocks[0] | blocks[1] << 8); break;
            default: out[i] = static_cast<int16_t>(blocks[sampleBytes - 2] | blocks[sampleBytes - 1] << 8); break;
            }
        }
    }

  private:
    bool isFloat;
    DWORD sampleBytes;
    DWORD samplesPerBlock;
};

class UncompressedCodec final : public AcmCodec {
  public:
    explicit UncompressedCodec(WORD tag) : tag(tag) {}
    WORD FormatTag() const override { return tag; }
    const char* Name() const override { return tag == WAVE_FORMAT_PCM ? "PCM" : "IEEE Float"; }
    // PCM's record is the 16-byte one without cbSize.
    DWORD LargestFormatSize() const override { return tag == WAVE_FORMAT_PCM ? 16 : sizeof(WAVEFORMATEX); }
    MMRESULT CheckFormat(const WAVEFORMATEX& format) const override {
        const WORD bits = format.wBitsPerSample;
        const bool bitsKnown =
            tag == WAVE_FORMAT_PCM ? bits == 8 || bits == 16 || bits == 24 || bits == 32 : bits == 32;
        if (!bitsKnown || format.nChannels == 0 || format.nSamplesPerSec == 0) return MMSYSERR_INVALPARAM;
        return format.nBlockAlign == format.nChannels * bits / 8 ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
    }
    DWORD MaxFramesFor(const WAVEFORMATEX& format, DWORD sourceBytes) const override {
        return BlockMaxFrames(format.nBlockAlign, 1, sourceBytes);
    }
    DWORD SourceBytesFor(const WAVEFORMATEX& format, DWORD frames) const override {
        return BlockSourceBytes(format.nBlockAlign, 1, frames);
    }
    std::unique_ptr<AcmDecoder> CreateDecoder(const WAVEFORMATEX& format) const override {
        return std::make_unique<PcmDecoder>(tag, format);
    }

  private:
    WORD tag;
};

} // namespace

const AcmCodec& PcmCodec() {
    static const Immortal<UncompressedCodec> codec(WAVE_FORMAT_PCM);
    return *codec;
}

const AcmCodec& IeeeFloatCodec() {
    static const Immortal<UncompressedCodec> codec(WAVE_FORMAT_IEEE_FLOAT);
    return *codec;
}

} // namespace posix_win32
