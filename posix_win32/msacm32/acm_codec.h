// The codecs of the compression manager: each turns one source format tag into 16-bit PCM.
#pragma once

#include <stdint.h>

#include <memory>
#include <vector>

#include <msacm.h>

namespace posix_win32 {

// One conversion's decoding state: interleaved 16-bit samples at the source's rate and channel count.
class AcmDecoder {
  public:
    virtual ~AcmDecoder() = default;
    // Takes every byte given; what does not yet make a whole block is kept for the next call.
    virtual void Decode(const BYTE* source, DWORD size, std::vector<int16_t>& pcm) = 0;
    // Forgets kept bytes and history, so the next bytes may come from anywhere in the data.
    virtual void Reset() = 0;
};

class AcmCodec {
  public:
    virtual ~AcmCodec() = default;
    virtual WORD FormatTag() const = 0;
    virtual const char* Name() const = 0;
    // The size of the largest format record of this tag.
    virtual DWORD LargestFormatSize() const = 0;
    // MMSYSERR_NOERROR for a well-formed record of this tag, MMSYSERR_INVALPARAM otherwise. The record holds at
    // least the 18 bytes of a WAVEFORMATEX and, for tags other than PCM, the cbSize bytes behind them.
    virtual MMRESULT CheckFormat(const WAVEFORMATEX& format) const = 0;
    // At most how many sample frames `sourceBytes` bytes decode to, counted from a fresh decoder.
    virtual DWORD MaxFramesFor(const WAVEFORMATEX& format, DWORD sourceBytes) const = 0;
    // How many source bytes decode to no more than `frames` sample frames.
    virtual DWORD SourceBytesFor(const WAVEFORMATEX& format, DWORD frames) const = 0;
    // Null when the decoder cannot be set up.
    virtual std::unique_ptr<AcmDecoder> CreateDecoder(const WAVEFORMATEX& format) const = 0;
};

// The codec for a tag, or null when none converts it.
const AcmCodec* FindAcmCodec(WORD formatTag);
// The codecs in a fixed order, for enumeration by index; null past the last.
const AcmCodec* AcmCodecAt(DWORD index);

} // namespace posix_win32

namespace posix_win32 {

// One instance per codec, each in its own file.
const AcmCodec& PcmCodec();
const AcmCodec& IeeeFloatCodec();
const AcmCodec& MpegLayer3Codec();
const AcmCodec& ImaAdpcmCodec();
const AcmCodec& MsAdpcmCodec();
const AcmCodec& GsmCodec();
const AcmCodec& ALawCodec();
const AcmCodec& MuLawCodec();

} // namespace posix_win32
