#include "msacm32/acm_codec.h"

namespace posix_win32 {
namespace {

const AcmCodec* const* Codecs() {
    static const AcmCodec* const codecs[] = {&PcmCodec(),      &IeeeFloatCodec(), &MpegLayer3Codec(),
                                             &ImaAdpcmCodec(), &MsAdpcmCodec(),   &GsmCodec(),
                                             &ALawCodec(),     &MuLawCodec(),     nullptr};
    return codecs;
}

} // namespace

const AcmCodec* FindAcmCodec(WORD formatTag) {
    for (const AcmCodec* const* codec = Codecs(); *codec; ++codec)
        if ((*codec)->FormatTag() == formatTag) return *codec;
    return nullptr;
}

const AcmCodec* AcmCodecAt(DWORD index) {
    const AcmCodec* const* codecs = Codecs();
    for (DWORD i = 0; i < index; ++i)
        if (!codecs[i]) return nullptr;
    return codecs[index];
}

} // namespace posix_win32
