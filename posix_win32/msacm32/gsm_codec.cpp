// GSM 06.10 full rate as WAVE files hold it (Microsoft's layout): mono blocks of 65 bytes, two frames of 160
// samples packed into 33 and 32 bytes, decoded by libgsm.
#include <gsm.h>
#include <string.h>

#include "msacm32/block_decoder.h"
#include "immortal.h"

namespace posix_win32 {
namespace {

constexpr DWORD kBlockBytes = 65;
constexpr WORD kSamplesPerBlock = 320;
constexpr DWORD kFirstFrameBytes = 33;

WORD SamplesPerBlock(const WAVEFORMATEX& format) {
    WORD samples;
    memcpy(&samples, reinterpret_cast<const BYTE*>(&format) + sizeof(WAVEFORMATEX), sizeof samples);
    return samples;
}

class GsmDecoder final : public BlockDecoder {
  public:
    explicit GsmDecoder(gsm state) : BlockDecoder(kBlockBytes), state(state) {}
    ~GsmDecoder() override { gsm_destroy(state); }

    // The synthesis filter's history carries from frame to frame; a start clears it with the rest.
    void Reset() override {
        BlockDecoder::Reset();
        gsm fresh = CreateState();
        if (!fresh) return;
        gsm_destroy(state);
        state = fresh;
    }

    static gsm CreateState() {
        gsm created = gsm_create();
        int wav49 = 1;
        if (created) gsm_option(created, GSM_OPT_WAV49, &wav49);
        return created;
    }

  protected:
    void DecodeBlocks(const BYTE* blocks, DWORD blockCount, std::vector<int16_t>& pcm) override {
        for (DWORD block = 0; block < blockCount; ++block, blocks += kBlockBytes) {
            const size_t start = pcm.size();
            pcm.resize(start + kSamplesPerBlock);
            // libgsm alternates the two frame layouts itself, starting with the 33-byte one after a reset.
            BYTE* frames = const_cast<BYTE*>(blocks);
            if (gsm_decode(state, frames, pcm.data() + start) != 0 ||
                gsm_decode(state, frames + kFirstFrameBytes, pcm.data() + start + kSamplesPerBlock / 2) != 0)
                memset(pcm.data() + start, 0, kSamplesPerBlock * sizeof(int16_t));
        }
    }

  private:
    gsm state;
};

class GsmCodecImpl final : public AcmCodec {
  public:
    WORD FormatTag() const override { return WAVE_FORMAT_GSM610; }
    const char* Name() const override { return "GSM 6.10"; }
    DWORD LargestFormatSize() const override { return sizeof(WAVEFORMATEX) + 2; }
    MMRESULT CheckFormat(const WAVEFORMATEX& format) const override {
        const bool usable = format.nChannels == 1 && format.nSamplesPerSec != 0 && format.nBlockAlign == kBlockBytes &&
                            format.cbSize >= 2 && SamplesPerBlock(format) == kSamplesPerBlock;
        return usable ? MMSYSERR_NOERROR : MMSYSERR_INVALPARAM;
    }
    DWORD MaxFramesFor(const WAVEFORMATEX&, DWORD sourceBytes) const override {
        return BlockMaxFrames(kBlockBytes, kSamplesPerBlock, sourceBytes);
    }
    DWORD SourceBytesFor(const WAVEFORMATEX&, DWORD frames) const override {
        return BlockSourceBytes(kBlockBytes, kSamplesPerBlock, frames);
    }
    std::unique_ptr<AcmDecoder> CreateDecoder(const WAVEFORMATEX&) const override {
        // Destroyed here until the decoder owns it, a failed allocation of the decoder included.
        std::unique_ptr<gsm_state, void (*)(gsm)> state(GsmDecoder::CreateState(), gsm_destroy);
        if (!state) return nullptr;
        auto decoder = std::make_unique<GsmDecoder>(state.get());
        state.release();
        return decoder;
    }
};

} // namespace

const AcmCodec& GsmCodec() {
    static const Immortal<GsmCodecImpl> codec;
    return *codec;
}

} // namespace posix_win32
