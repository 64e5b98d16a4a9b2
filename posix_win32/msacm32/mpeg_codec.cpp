// MPEG audio (layers I, II and III) through libmpg123's feed interface.
#include <mpg123.h>

#include <algorithm>
#include <mutex>

#include "msacm32/acm_codec.h"
#include "immortal.h"

namespace posix_win32 {
namespace {

constexpr DWORD kMaxFrameSamples = 1152;
// libmpg123 searches this far for the next frame after a rewind into the middle of a frame.
constexpr long kResyncLimit = 16384;

// The fewest bytes per sample frame any frame of the given rate can have (the lowest bit rate, no padding):
// MPEG-1 rates carry at least 32 kbit/s, the low sampling frequencies at least 8 kbit/s.
DWORD SampleRateDivisor(DWORD sampleRate) { return sampleRate >= 32000 ? 4000 : 1000; }

class MpegDecoder final : public AcmDecoder {
  public:
    MpegDecoder(mpg123_handle* handle, WORD channels) : handle(handle), channels(channels) {}
    ~MpegDecoder() override { mpg123_delete(handle); }

    void Decode(const BYTE* source, DWORD size, std::vector<int16_t>& pcm) override {
        const unsigned char* input = size ? source : nullptr;
        size_t inputSize = size;
        for (;;) {
            const size_t start = pcm.size();
            pcm.resize(start + kMaxFrameSamples * channels);
            size_t done = 0;
            const int answer =
                mpg123_decode(handle, input, inputSize, reinterpret_cast<unsigned char*>(pcm.data() + start),
                              kMaxFrameSamples * channels * sizeof(int16_t), &done);
            pcm.resize(start + done / sizeof(int16_t));
            input = nullptr, inputSize = 0;
            // NEED_MORE: everything fed is used; any other error is damaged data, which the next bytes resync past.
            if (answer == MPG123_NEED_MORE || answer == MPG123_DONE) return;
            if (answer != MPG123_OK && answer != MPG123_NEW_FORMAT && done == 0) return;
        }
    }

    void Reset() override {
        mpg123_close(handle);
        mpg123_open_feed(handle);
    }

  private:
    mpg123_handle* handle;
    WORD channels;
};

class MpegLayer3CodecImpl final : public AcmCodec {
  public:
    WORD FormatTag() const override { return WAVE_FORMAT_MPEGLAYER3; }
    const char* Name() const override { return "MPEG Layer-3"; }
    DWORD LargestFormatSize() const override { return sizeof(MPEGLAYER3WAVEFORMAT); }
    MMRESULT CheckFormat(const WAVEFORMATEX& format) const override {
        static const DWORD rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
        const bool rateKnown = std::find(std::begin(rates), std::end(rates), format.nSamplesPerSec) != std::end(rates);
        const bool channelsKnown = format.nChannels == 1 || format.nChannels == 2;
        return rateKnown && channelsKnown && format.cbSize >= MPEGLAYER3_WFX_EXTRA_BYTES ? MMSYSERR_NOERROR
                                                                                         : MMSYSERR_INVALPARAM;
    }
    // One frame more than the bytes can hold, for the frame the decoder may still be holding back.
    DWORD MaxFramesFor(const WAVEFORMATEX& format, DWORD sourceBytes) const override {
        if (sourceBytes == 0) return 0;
        const DWORD divisor = SampleRateDivisor(format.nSamplesPerSec);
        const uint64_t frames =
            (uint64_t(sourceBytes) * format.nSamplesPerSec + divisor - 1) / divisor + kMaxFrameSamples;
        return static_cast<DWORD>(std::min<uint64_t>(frames, 0xFFFFFFFFu));
    }
    DWORD SourceBytesFor(const WAVEFORMATEX& format, DWORD frames) const override {
        if (frames <= kMaxFrameSamples) return 0;
        const uint64_t bytes =
            uint64_t(frames - kMaxFrameSamples) * SampleRateDivisor(format.nSamplesPerSec) / format.nSamplesPerSec;
        return static_cast<DWORD>(std::min<uint64_t>(bytes, 0xFFFFFFFFu));
    }
    std::unique_ptr<AcmDecoder> CreateDecoder(const WAVEFORMATEX& format) const override {
        static std::once_flag initialised;
        std::call_once(initialised, [] { mpg123_init(); });
        // Deleted here until the decoder owns it, a failed allocation of the decoder included.
        std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> handle(mpg123_new(nullptr, nullptr), mpg123_delete);
        if (!handle) return nullptr;
        // The output is forced to the format's channel count: a mono file described as stereo comes out as stereo.
        const int encoding = format.nChannels == 1 ? MPG123_MONO : MPG123_STEREO;
        mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
        // Plain frames, as the Windows codecs decode them: trimming an encoder's delay and padding is the caller's.
        mpg123_param(handle.get(), MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
        mpg123_param(handle.get(), MPG123_RESYNC_LIMIT, kResyncLimit, 0);
        if (mpg123_format_none(handle.get()) != MPG123_OK ||
            mpg123_format(handle.get(), format.nSamplesPerSec, encoding, MPG123_ENC_SIGNED_16) != MPG123_OK ||
            mpg123_open_feed(handle.get()) != MPG123_OK)
            return nullptr;
        auto decoder = std::make_unique<MpegDecoder>(handle.get(), format.nChannels);
        handle.release();
        return decoder;
    }
};

} // namespace

const AcmCodec& MpegLayer3Codec() {
    static const Immortal<MpegLayer3CodecImpl> codec;
    return *codec;
}

} // namespace posix_win32
