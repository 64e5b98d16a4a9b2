// G.711 A-law and µ-law: one byte per sample, expanded to 16 bits by the companding curves of the recommendation.
#include "msacm32/block_decoder.h"
#include "immortal.h"

namespace posix_win32 {
namespace {

int16_t ExpandALaw(BYTE code) {
    code ^= 0x55;
    int magnitude = (code & 0x0F) << 4;
    const int segment = (code & 0x70) >> 4;
    magnitude += segment == 0 ? 8 : 0x108;
    if (segment > 1) magnitude <<= segment - 1;
    return static_cast<int16_t>((code & 0x80) ? magnitude : -magnitude);
}

int16_t ExpandMuLaw(BYTE code) {
    code = static_cast<BYTE>(~code);
    const int magnitude = (((code & 0x0F) << 3) + 0x84) << ((code & 0x70) >> 4);
    return static_cast<int16_t>((code & 0x80) ? 0x84 - magnitude : magnitude - 0x84);
}

struct ExpansionTable {
    explicit ExpansionTable(int16_t (*expand)(BYTE)) {
        for (int code = 0; code < 256; ++code)
            samples[code] = expand(static_cast<BYTE>(code));
    }
    int16_t samples[256];
};

class G711Decoder final : public BlockDecoder {
  public:
    G711Decoder(const ExpansionTable& table, WORD channels)
        : BlockDecoder(channels), table(table), channels(channels) {}

  protected:
    void DecodeBlocks(const BYTE* blocks, DWORD blockCount, std::vector<int16_t>& pcm) override {
        const size_t count = size_t(blockCount) * channels;
        const size_t start = pcm.size();
        pcm.resize(start + count);
        for (size_t i = 0; i < count; ++i)
            pcm[start + i] = table.samples[blocks[i]];
    }

  private:
    const ExpansionTable& table;
    WORD channels;
};

class G711Codec final : public AcmCodec {
  public:
    G711Codec(WORD tag, const char* name, int16_t (*expand)(BYTE)) : tag(tag), name(name), table(expand) {}
    WORD FormatTag() const override { return tag; }
    const char* Name() const override { return name; }
    DWORD LargestFormatSize() const override { return sizeof(WAVEFORMATEX); }
    MMRESULT CheckFormat(const WAVEFORMATEX& format) const override {
        const bool valid = format.nChannels > 0 && format.nSamplesPerSec > 0 && format.wBitsPerSample == 8 &&
                           format.nBlockAlign == format.nChannels;
        return valid ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
    }
    DWORD MaxFramesFor(const WAVEFORMATEX& format, DWORD sourceBytes) const override {
        return BlockMaxFrames(format.nBlockAlign, 1, sourceBytes);
    }
    DWORD SourceBytesFor(const WAVEFORMATEX& format, DWORD frames) const override {
        return BlockSourceBytes(format.nBlockAlign, 1, frames);
    }
    std::unique_ptr<AcmDecoder> CreateDecoder(const WAVEFORMATEX& format) const override {
        return std::make_unique<G711Decoder>(table, format.nChannels);
    }

  private:
    WORD tag;
    const char* name;
    ExpansionTable table;
};

} // namespace

const AcmCodec& ALawCodec() {
    static const Immortal<G711Codec> codec(WAVE_FORMAT_ALAW, "CCITT A-Law", ExpandALaw);
    return *codec;
}

const AcmCodec& MuLawCodec() {
    static const Immortal<G711Codec> codec(WAVE_FORMAT_MULAW, "CCITT u-Law", ExpandMuLaw);
    return *codec;
}

} // namespace posix_win32
