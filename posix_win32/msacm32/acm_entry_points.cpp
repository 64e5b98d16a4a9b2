// The entry points of the Audio Compression Manager, over the built-in codecs; there are no installable drivers.
#include <string.h>

#include <algorithm>

#include "kernel32/builtin_modules.h"
#include "msacm32/acm_stream.h"
#include "msacm32/pcm_target.h"
#include "failure_value.h"

namespace {

using posix_win32::AcmStream;

constexpr DWORD kKnownConvertFlags = ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END;

// The prepared lengths live in the driver's reserved words: a conversion may not grow the buffers past them.
DWORD& PreparedSourceLength(ACMSTREAMHEADER& header) { return header.dwReservedDriver[0]; }
DWORD& PreparedTargetLength(ACMSTREAMHEADER& header) { return header.dwReservedDriver[1]; }

bool HeaderUsable(const ACMSTREAMHEADER* header) { return header && header->cbStruct >= sizeof(ACMSTREAMHEADER); }

void FillTagDetails(const posix_win32::AcmCodec& codec, DWORD index, ACMFORMATTAGDETAILSA* details) {
    details->dwFormatTagIndex = index;
    details->dwFormatTag = codec.FormatTag();
    details->cbFormatSize = codec.LargestFormatSize();
    details->fdwSupport =
        codec.FormatTag() == WAVE_FORMAT_PCM ? ACMDRIVERDETAILS_SUPPORTF_CONVERTER : ACMDRIVERDETAILS_SUPPORTF_CODEC;
    details->cStandardFormats = 0;
    strncpy(details->szFormatTag, codec.Name(), sizeof details->szFormatTag - 1);
    details->szFormatTag[sizeof details->szFormatTag - 1] = '\0';
}

DWORD CodecIndex(const posix_win32::AcmCodec* codec) {
    DWORD index = 0;
    while (posix_win32::AcmCodecAt(index) != codec)
        ++index;
    return index;
}

} // namespace

// FIXME: metrics, format details and the chooser dialog are not offered; nothing here calls them.
extern "C" MMRESULT WINAPI acmMetrics(HACMOBJ, UINT, LPVOID) { return MMSYSERR_NOTSUPPORTED; }
extern "C" MMRESULT WINAPI acmFormatChooseA(LPACMFORMATCHOOSEA) { return MMSYSERR_NOTSUPPORTED; }
extern "C" MMRESULT WINAPI acmFormatDetailsA(HACMDRIVER, LPACMFORMATDETAILSA, DWORD) { return MMSYSERR_NOTSUPPORTED; }

extern "C" MMRESULT WINAPI acmFormatTagDetailsA(HACMDRIVER driver, LPACMFORMATTAGDETAILSA details, DWORD flags) {
    if (driver) return MMSYSERR_INVALHANDLE;
    if (!details || details->cbStruct < sizeof(ACMFORMATTAGDETAILSA)) return MMSYSERR_INVALPARAM;
    const posix_win32::AcmCodec* codec = nullptr;
    switch (flags) {
    case ACM_FORMATTAGDETAILSF_INDEX: codec = posix_win32::AcmCodecAt(details->dwFormatTagIndex); break;
    case ACM_FORMATTAGDETAILSF_FORMATTAG:
        codec = posix_win32::FindAcmCodec(static_cast<WORD>(details->dwFormatTag));
        break;
    case ACM_FORMATTAGDETAILSF_LARGESTSIZE:
        // WAVE_FORMAT_UNKNOWN asks for the largest record of any tag.
        if (details->dwFormatTag == 0) {
            for (DWORD index = 0; const posix_win32::AcmCodec* each = posix_win32::AcmCodecAt(index); ++index)
                if (!codec || each->LargestFormatSize() > codec->LargestFormatSize()) codec = each;
        } else {
            codec = posix_win32::FindAcmCodec(static_cast<WORD>(details->dwFormatTag));
        }
        break;
    default: return MMSYSERR_INVALFLAG;
    }
    if (!codec) return ACMERR_NOTPOSSIBLE;
    FillTagDetails(*codec, CodecIndex(codec), details);
    return MMSYSERR_NOERROR;
}

extern "C" MMRESULT WINAPI acmFormatTagEnumA(HACMDRIVER driver, LPACMFORMATTAGDETAILSA details,
                                             ACMFORMATTAGENUMCBA callback, DWORD_PTR instance, DWORD flags) {
    if (driver) return MMSYSERR_INVALHANDLE;
    if (!details || details->cbStruct < sizeof(ACMFORMATTAGDETAILSA) || !callback) return MMSYSERR_INVALPARAM;
    if (flags) return MMSYSERR_INVALFLAG;
    for (DWORD index = 0; const posix_win32::AcmCodec* codec = posix_win32::AcmCodecAt(index); ++index) {
        FillTagDetails(*codec, index, details);
        if (!callback(nullptr, details, instance, details->fdwSupport)) break;
    }
    return MMSYSERR_NOERROR;
}

extern "C" MMRESULT WINAPI acmFormatSuggest(HACMDRIVER driver, LPWAVEFORMATEX source, LPWAVEFORMATEX destination,
                                            DWORD destinationSize, DWORD flags) {
    return posix_win32::AnswerOr<MMRESULT>(MMSYSERR_NOMEM, [&]() -> MMRESULT {
        if (driver) return MMSYSERR_INVALHANDLE;
        if (flags & ~ACM_FORMATSUGGESTF_TYPEMASK) return MMSYSERR_INVALFLAG;
        if (!source || !destination || destinationSize < 16) return MMSYSERR_INVALPARAM;
        const posix_win32::AcmCodec* codec = posix_win32::FindAcmCodec(source->wFormatTag);
        if (!codec) return ACMERR_NOTPOSSIBLE;
        if (MMRESULT check = codec->CheckFormat(*source)) return check;
        // Read the fixed fields before writing: the caller may pass the same record as both.
        WAVEFORMATEX fixed = {};
        memcpy(&fixed, destination, 16);
        WAVEFORMATEX suggestion = {};
        if (MMRESULT answer = posix_win32::SuggestPcmTarget(*source, fixed, flags, &suggestion)) return answer;
        memcpy(destination, &suggestion, std::min<DWORD>(destinationSize, sizeof(WAVEFORMATEX)));
        return MMSYSERR_NOERROR;
    });
}

extern "C" MMRESULT WINAPI acmStreamOpen(LPHACMSTREAM stream, HACMDRIVER driver, LPWAVEFORMATEX source,
                                         LPWAVEFORMATEX destination, LPWAVEFILTER filter, DWORD_PTR callback, DWORD_PTR,
                                         DWORD flags) {
    return posix_win32::AnswerOr<MMRESULT>(MMSYSERR_NOMEM, [&]() -> MMRESULT {
        const bool query = flags & ACM_STREAMOPENF_QUERY;
        if (stream) *stream = nullptr;
        if (driver) return MMSYSERR_INVALHANDLE;
        if (flags & ~(ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_ASYNC | ACM_STREAMOPENF_NONREALTIME) || (flags >> 16))
            return MMSYSERR_INVALFLAG;
        if (!query && !stream) return MMSYSERR_INVALPARAM;
        // Conversions run to completion inside acmStreamConvert: nothing is asynchronous, nothing is filtered.
        if (filter || callback || (flags & ACM_STREAMOPENF_ASYNC)) return ACMERR_NOTPOSSIBLE;
        std::unique_ptr<AcmStream> created;
        if (MMRESULT answer = posix_win32::CreateAcmStream(source, destination, query ? nullptr : &created))
            return answer;
        if (!query) *stream = posix_win32::RegisterAcmStream(std::move(created));
        return MMSYSERR_NOERROR;
    });
}

extern "C" MMRESULT WINAPI acmStreamClose(HACMSTREAM stream, DWORD flags) {
    if (flags) return MMSYSERR_INVALFLAG;
    return posix_win32::UnregisterAcmStream(stream) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

extern "C" MMRESULT WINAPI acmStreamSize(HACMSTREAM stream, DWORD inputBytes, LPDWORD outputBytes, DWORD flags) {
    const AcmStream* found = posix_win32::FindAcmStream(stream);
    if (!found) return MMSYSERR_INVALHANDLE;
    if (!outputBytes) return MMSYSERR_INVALPARAM;
    switch (flags) {
    case ACM_STREAMSIZEF_SOURCE: *outputBytes = posix_win32::TargetBytesFor(*found, inputBytes); break;
    case ACM_STREAMSIZEF_DESTINATION: *outputBytes = posix_win32::SourceBytesFor(*found, inputBytes); break;
    default: return MMSYSERR_INVALFLAG;
    }
    // Less than one block of source, or less than its output of destination, converts to nothing.
    return *outputBytes ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE;
}

extern "C" MMRESULT WINAPI acmStreamPrepareHeader(HACMSTREAM stream, LPACMSTREAMHEADER header, DWORD flags) {
    if (!posix_win32::FindAcmStream(stream)) return MMSYSERR_INVALHANDLE;
    if (!HeaderUsable(header) || !header->pbSrc || !header->pbDst) return MMSYSERR_INVALPARAM;
    if (flags) return MMSYSERR_INVALFLAG;
    if (header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) return MMSYSERR_NOERROR;
    PreparedSourceLength(*header) = header->cbSrcLength;
    PreparedTargetLength(*header) = header->cbDstLength;
    header->fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

extern "C" MMRESULT WINAPI acmStreamUnprepareHeader(HACMSTREAM stream, LPACMSTREAMHEADER header, DWORD flags) {
    if (!posix_win32::FindAcmStream(stream)) return MMSYSERR_INVALHANDLE;
    if (!HeaderUsable(header)) return MMSYSERR_INVALPARAM;
    if (flags) return MMSYSERR_INVALFLAG;
    if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    // The decoder keeps its state, as Windows' codecs do: only a conversion marked as a start forgets it.
    header->fdwStatus &= ~(ACMSTREAMHEADER_STATUSF_PREPARED | ACMSTREAMHEADER_STATUSF_DONE);
    return MMSYSERR_NOERROR;
}

extern "C" MMRESULT WINAPI acmStreamConvert(HACMSTREAM stream, LPACMSTREAMHEADER header, DWORD flags) {
    return posix_win32::AnswerOr<MMRESULT>(MMSYSERR_NOMEM, [&]() -> MMRESULT {
        if (!HeaderUsable(header)) return MMSYSERR_INVALPARAM;
        // A refused conversion produced nothing, so a caller that looks at the count anyway replays no old output.
        header->cbDstLengthUsed = 0;
        AcmStream* found = posix_win32::FindAcmStream(stream);
        if (!found) return MMSYSERR_INVALHANDLE;
        if (flags & ~kKnownConvertFlags) return MMSYSERR_INVALFLAG;
        if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
        if (header->cbSrcLength > PreparedSourceLength(*header) || header->cbDstLength > PreparedTargetLength(*header))
            return MMSYSERR_INVALPARAM;
        if (flags & ACM_STREAMCONVERTF_START) posix_win32::RestartAcmStream(*found);
        DWORD sourceBytes = header->cbSrcLength;
        // Block alignment leaves a trailing part block with the caller instead of keeping it here.
        const WORD blockAlign = found->Source().nBlockAlign;
        if ((flags & ACM_STREAMCONVERTF_BLOCKALIGN) && blockAlign > 1) sourceBytes -= sourceBytes % blockAlign;
        header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
        header->cbDstLengthUsed =
            posix_win32::ConvertAcmStream(*found, header->pbSrc, sourceBytes, header->pbDst, header->cbDstLength);
        header->cbSrcLengthUsed = sourceBytes;
        header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
        return MMSYSERR_NOERROR;
    });
}

extern "C" LRESULT WINAPI acmStreamMessage(HACMSTREAM stream, UINT, LPARAM, LPARAM) {
    return posix_win32::FindAcmStream(stream) ? MMSYSERR_NOTSUPPORTED : MMSYSERR_INVALHANDLE;
}

namespace posix_win32 {
namespace {
const ModuleExport msacm32Exports[] = {
    POSIX_WIN32_EXPORT(acmMetrics),
    POSIX_WIN32_EXPORT(acmFormatChooseA),
    POSIX_WIN32_EXPORT(acmFormatDetailsA),
    POSIX_WIN32_EXPORT(acmFormatSuggest),
    POSIX_WIN32_EXPORT(acmFormatTagDetailsA),
    POSIX_WIN32_EXPORT(acmFormatTagEnumA),
    POSIX_WIN32_EXPORT(acmStreamOpen),
    POSIX_WIN32_EXPORT(acmStreamClose),
    POSIX_WIN32_EXPORT(acmStreamConvert),
    POSIX_WIN32_EXPORT(acmStreamPrepareHeader),
    POSIX_WIN32_EXPORT(acmStreamUnprepareHeader),
    POSIX_WIN32_EXPORT(acmStreamSize),
    POSIX_WIN32_EXPORT(acmStreamMessage),
};
} // namespace

const BuiltinModule& Msacm32Module() {
    static const BuiltinModule module = {"msacm32.dll", msacm32Exports, sizeof msacm32Exports / sizeof *msacm32Exports};
    return module;
}
} // namespace posix_win32
