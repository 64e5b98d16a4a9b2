#include "stream/decode_stream.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "platform/system_library_binding.h"
#include "stream/decode_stream_messages.h"
#include "stream/mpeg_format_probe.h"
#include "wave/chunk_search.h"

namespace {

// A read gives up on data that yields nothing after twice a conversion's source, and never before this much: an
// information frame and a decoder filling up take a few frames at most.
constexpr DWORD kSilentSourceFloor = 16384;

// Only these refusals of a conversion stream are shown to the user; any other code fails silently.
void ReportStreamOpenFailure(MMRESULT result) {
    const char* text = nullptr;
    switch (result) {
    case MMSYSERR_INVALHANDLE: text = kAcmInvalidHandleMessage; break;
    case MMSYSERR_NOMEM: text = kAcmNoMemoryMessage; break;
    case MMSYSERR_INVALFLAG:
    case MMSYSERR_INVALPARAM: text = kAcmInvalidParameterMessage; break;
    case ACMERR_NOTPOSSIBLE: text = kAcmNotPossibleMessage; break;
    default: return;
    }
    MessageBoxA(nullptr, text, kAcmStreamErrorCaption, MB_OK);
}

WAVEFORMATEX* CopyMpegFormat(const MPEGLAYER3WAVEFORMAT& format) {
    void* copy = malloc(sizeof format);
    if (copy) memcpy(copy, &format, sizeof format);
    return static_cast<WAVEFORMATEX*>(copy);
}

// The "fmt " body as the compression manager is handed it: never shorter than a WAVEFORMATEX (a 16-byte body
// gets a zero cbSize), and with a cbSize that claims no bytes beyond the body.
WAVEFORMATEX* ReadSourceFormat(FileHandle file) {
    ChunkHeader chunk;
    if (!FindChunk(file, "fmt ", &chunk)) return nullptr;
    void* body = ReadFormatChunk(file);
    if (!body) return nullptr;
    if (chunk.size < sizeof(WAVEFORMATEX)) {
        void* grown = realloc(body, sizeof(WAVEFORMATEX));
        if (!grown) {
            free(body);
            return nullptr;
        }
        memset(static_cast<BYTE*>(grown) + chunk.size, 0, sizeof(WAVEFORMATEX) - chunk.size);
        body = grown;
    }
    WAVEFORMATEX* format = static_cast<WAVEFORMATEX*>(body);
    if (chunk.size >= sizeof(WAVEFORMATEX) && format->cbSize > chunk.size - sizeof(WAVEFORMATEX))
        format->cbSize = static_cast<WORD>(chunk.size - sizeof(WAVEFORMATEX));
    return format;
}

// MPEG audio in a WAVE file: its frames are followed as a bare MPEG file's are, so it too restarts on a frame.
BOOL IsMpegWave(FileHandle file, const WAVEFORMATEX& format, DWORD dataStart, DWORD dataLength, BYTE firstHeader[4],
                MpegGaplessInfo* gapless) {
    MpegFrameHeader frame;
    if (format.wFormatTag != WAVE_FORMAT_MPEGLAYER3 && format.wFormatTag != WAVE_FORMAT_MPEG) return FALSE;
    if (FileSeek(file, static_cast<LONG>(dataStart), FileFromStart) == -1 || FileRead(file, firstHeader, 4) != 4 ||
        !ReadMpegFrameHeader(firstHeader, &frame))
        return FALSE;
    *gapless = ReadFirstFrameGaplessInfo(file, dataStart, dataLength, firstHeader);
    return TRUE;
}

} // namespace

WAVEFORMATEX* SuggestPcmFormat(const WAVEFORMATEX* sourceFormat, WORD formatTag, DWORD samplesPerSec,
                               DWORD bitsPerSample, DWORD channels) {
    const AcmEntryTable* acm = AcmEntries();
    if (!acm || !sourceFormat) return nullptr;
    ACMFORMATTAGDETAILSA details = {};
    details.cbStruct = sizeof details;
    details.dwFormatTag = formatTag;
    if (acm->acmFormatTagDetailsA(nullptr, &details, ACM_FORMATTAGDETAILSF_LARGESTSIZE) != MMSYSERR_NOERROR)
        return nullptr;
    // PCM's largest record is the 16-byte one without cbSize; the block still holds a whole WAVEFORMATEX, since
    // cbSize is written here and the caller copies 18 bytes out.
    const DWORD blockSize = details.cbFormatSize < sizeof(WAVEFORMATEX) ? sizeof(WAVEFORMATEX) : details.cbFormatSize;
    WAVEFORMATEX* format = static_cast<WAVEFORMATEX*>(calloc(1, blockSize));
    if (!format) return nullptr;
    format->wFormatTag = formatTag;
    format->cbSize = 0;
    DWORD flags = ACM_FORMATSUGGESTF_WFORMATTAG;
    if (samplesPerSec) {
        format->nSamplesPerSec = samplesPerSec;
        flags |= ACM_FORMATSUGGESTF_NSAMPLESPERSEC;
    }
    if (bitsPerSample) {
        format->wBitsPerSample = static_cast<WORD>(bitsPerSample);
        flags |= ACM_FORMATSUGGESTF_WBITSPERSAMPLE;
    }
    if (channels) {
        format->nChannels = static_cast<WORD>(channels);
        flags |= ACM_FORMATSUGGESTF_NCHANNELS;
    }
    if (acm->acmFormatSuggest(nullptr, const_cast<WAVEFORMATEX*>(sourceFormat), format, blockSize, flags) !=
        MMSYSERR_NOERROR) {
        free(format);
        return nullptr;
    }
    return format;
}

DecodeStream* DecodeStreamOpen(const char* fileName, DWORD lengthMs, WAVEFORMATEX* outFormat) {
    ACMSTREAMHEADER header = {};
    header.cbStruct = sizeof header;
    FileHandle file = FileOpen(fileName);
    if (!file) return nullptr;
    const AcmEntryTable* acm = AcmEntries();
    if (!acm) {
        FileClose(file);
        return nullptr;
    }

    HACMSTREAM acmStream = nullptr;
    WAVEFORMATEX* sourceFormat = nullptr;
    WAVEFORMATEX* pcmFormat = nullptr;
    DecodeStream* stream = nullptr;
    DWORD dataStart = 0;
    DWORD dataLength = 0;
    MMRESULT opened = MMSYSERR_ERROR;
    auto fail = [&]() -> DecodeStream* {
        if (acmStream) acm->acmStreamClose(acmStream, 0);
        free(stream);
        free(sourceFormat);
        free(pcmFormat);
        FileClose(file);
        return nullptr;
    };

    MpegProbeResult probe;
    BOOL isMpeg = MpegFormatProbe(file, &probe);
    BYTE firstHeader[4] = {BYTE(probe.headerWord), BYTE(probe.headerWord >> 8), BYTE(probe.headerWord >> 16),
                           BYTE(probe.headerWord >> 24)};
    MpegGaplessInfo gapless = probe.gapless;
    if (isMpeg) {
        dataStart = probe.audioStart;
        dataLength = probe.audioLength;
        sourceFormat = CopyMpegFormat(probe.format);
        if (!sourceFormat) return fail();
    } else {
        // The "data" chunk is looked for first: a WAVE file may put its "fmt " chunk anywhere.
        ChunkHeader data;
        if (!FindChunk(file, "data", &data)) return fail();
        const LONG dataOffset = FileTell(file);
        if (dataOffset < 0) return fail();
        dataStart = static_cast<DWORD>(dataOffset);
        dataLength = data.size;
        sourceFormat = ReadSourceFormat(file);
        if (!sourceFormat) return fail();
        isMpeg = IsMpegWave(file, *sourceFormat, dataStart, dataLength, firstHeader, &gapless);
    }
    pcmFormat = SuggestPcmFormat(sourceFormat, WAVE_FORMAT_PCM, 0, 0, 0);
    if (!pcmFormat) return fail();
    FileSeek(file, static_cast<LONG>(dataStart), FileFromStart);

    opened = acm->acmStreamOpen(&acmStream, nullptr, sourceFormat, pcmFormat, nullptr, 0, 0, 0);
    if (opened != MMSYSERR_NOERROR) {
        acmStream = nullptr;
        ReportStreamOpenFailure(opened);
        return fail();
    }

    // The product wraps at 32 bits before the scaling, as the request always has.
    const DWORD request = static_cast<DWORD>((sourceFormat->nAvgBytesPerSec * lengthMs) * 0.001);
    acm->acmStreamSize(acmStream, request, &header.cbDstLength, ACM_STREAMSIZEF_SOURCE);
    acm->acmStreamSize(acmStream, header.cbDstLength, &header.cbSrcLength, ACM_STREAMSIZEF_DESTINATION);
    if (header.cbDstLength == 0 || header.cbSrcLength == 0) return fail();

    stream = static_cast<DecodeStream*>(malloc(sizeof(DecodeStream) + size_t(header.cbSrcLength) + header.cbDstLength));
    if (!stream) return fail();
    memset(stream, 0, sizeof *stream);
    stream->header = header;
    stream->header.pbSrc = reinterpret_cast<BYTE*>(stream + 1);
    stream->header.pbDst = stream->header.pbSrc + header.cbSrcLength;
    if (acm->acmStreamPrepareHeader(acmStream, &stream->header, 0) != MMSYSERR_NOERROR) return fail();

    stream->file = file;
    stream->acmStream = acmStream;
    stream->sourceFormat = sourceFormat;
    stream->pcmFormat = pcmFormat;
    stream->sourceCapacity = stream->header.cbSrcLength;
    stream->dataStart = dataStart;
    stream->dataLength = dataLength;
    stream->sourceRead = 0;
    stream->carryOver = 0;
    stream->isMpeg = isMpeg;
    if (isMpeg) {
        // An encoder's information frame is no sound: the codec never sees it.
        stream->sourceRead =
            static_cast<LONG>(MpegTimelineOpen(&stream->timeline, firstHeader, gapless, file, dataStart, dataLength));
        FileSeek(file, static_cast<LONG>(dataStart) + stream->sourceRead, FileFromStart);
    }
    if (outFormat) memcpy(outFormat, pcmFormat, sizeof(WAVEFORMATEX));
    return stream;
}

LONG DecodeStreamRead(DecodeStream* stream, void* destination, LONG count) {
    if (!stream || count < 0) return 0;
    const AcmEntryTable* acm = AcmEntries();
    BYTE* write = static_cast<BYTE*>(destination);
    ACMSTREAMHEADER& header = stream->header;
    LONG remaining = count;

    if (stream->carryOver > 0) {
        const LONG n = stream->carryOver < count ? stream->carryOver : count;
        memcpy(write, header.pbDst + header.cbDstLengthUsed - stream->carryOver, n);
        stream->carryOver -= n;
        write += n;
        remaining -= n;
        if (stream->carryOver > 0 || remaining == 0) return count;
    }
    if (remaining == 0 || !acm) return count - remaining;

    // Source taken in without any output is bounded per read: damaged data with no frame sync would otherwise be
    // read to its end in one call, holding the refill and every closer that waits for it.
    const DWORD silentLimit =
        stream->sourceCapacity * 2 > kSilentSourceFloor ? stream->sourceCapacity * 2 : kSilentSourceFloor;
    DWORD silentSource = 0;
    LONG lastCopied = 0;
    while (remaining > 0) {
        lastCopied = 0;
        const DWORD left = static_cast<DWORD>(stream->sourceRead) < stream->dataLength
                               ? stream->dataLength - static_cast<DWORD>(stream->sourceRead)
                               : 0;
        const DWORD toRead = left < stream->sourceCapacity ? left : stream->sourceCapacity;
        const DWORD got = FileRead(stream->file, header.pbSrc, toRead);
        // Bytes between MPEG frames (tags, padding) are no sound: the codec never sees them.
        const DWORD fed = stream->isMpeg ? MpegTimelineFollow(&stream->timeline, header.pbSrc,
                                                              static_cast<DWORD>(stream->sourceRead), got)
                                         : got;
        header.cbSrcLength = fed;
        header.cbSrcLengthUsed = fed;
        stream->sourceRead += static_cast<LONG>(got);
        // Windows' codecs keep what they hold across conversions unless told to start: after a rewind the old
        // position's frames and history would otherwise come out ahead of the new one.
        const DWORD convertFlags = stream->restarting ? ACM_STREAMCONVERTF_START : 0;
        stream->restarting = FALSE;
        if (acm->acmStreamConvert(stream->acmStream, &header, convertFlags) != MMSYSERR_NOERROR) break;
        BOOL soundEnded = FALSE;
        if (stream->isMpeg && header.cbDstLengthUsed > 0) {
            // Samples outside the sound (an encoder's delay and padding, a primed decoder's output) are dropped
            // here, and a conversion that kept none counts toward the bound below: a damaged stream whose decoder
            // gives fewer samples than its frames hold would otherwise be dropped to its end in one read.
            const WORD blockAlign = stream->pcmFormat->nBlockAlign;
            const DWORD kept = MpegTimelineKeep(&stream->timeline, header.pbDst, header.cbDstLengthUsed / blockAlign,
                                                blockAlign, &soundEnded);
            header.cbDstLengthUsed = kept * blockAlign;
            if (soundEnded) stream->sourceRead = static_cast<LONG>(stream->dataLength);
            if (kept == 0) {
                if (soundEnded) break;
                silentSource += got;
                if (silentSource >= silentLimit) {
                    stream->sourceRead = static_cast<LONG>(stream->dataLength); // the rest counts as ended
                    break;
                }
                continue;
            }
        }
        // A conversion may take source in and give nothing yet (a decoder filling up); only an empty conversion
        // with no source left is the end of the data.
        if (header.cbDstLengthUsed == 0) {
            if (got == 0) break;
            silentSource += got;
            if (silentSource >= silentLimit) {
                stream->sourceRead = static_cast<LONG>(stream->dataLength); // the rest counts as ended
                break;
            }
            continue;
        }
        silentSource = 0;
        const LONG produced = static_cast<LONG>(header.cbDstLengthUsed);
        lastCopied = remaining < produced ? remaining : produced;
        memcpy(write, header.pbDst, lastCopied);
        write += lastCopied;
        remaining -= lastCopied;
    }
    stream->carryOver = static_cast<LONG>(header.cbDstLengthUsed) - lastCopied;
    return count - remaining;
}

BOOL DecodeStreamRewind(DecodeStream* stream, DWORD offset) {
    const AcmEntryTable* acm = AcmEntries();
    if (!stream || !acm) return FALSE;
    // Restarting block-coded data (PCM frames, ADPCM blocks) anywhere but at a block boundary yields noise.
    const WORD blockAlign = stream->sourceFormat->nBlockAlign;
    if (blockAlign > 1) offset -= offset % blockAlign;
    // MPEG restarts on a whole frame, with the decoder primed on the frames before it.
    if (stream->isMpeg) offset = MpegTimelineRewind(&stream->timeline, offset);
    acm->acmStreamUnprepareHeader(stream->acmStream, &stream->header, 0);
    stream->header.cbSrcLength = stream->sourceCapacity;
    acm->acmStreamPrepareHeader(stream->acmStream, &stream->header, 0);
    FileSeek(stream->file, static_cast<LONG>(stream->dataStart + offset), FileFromStart);
    stream->sourceRead = static_cast<LONG>(offset);
    stream->carryOver = 0;
    stream->restarting = TRUE;
    return TRUE;
}

void DecodeStreamClose(DecodeStream* stream) {
    if (!stream) return;
    if (stream->acmStream) {
        if (const AcmEntryTable* acm = AcmEntries()) {
            acm->acmStreamUnprepareHeader(stream->acmStream, &stream->header, 0);
            acm->acmStreamClose(stream->acmStream, 0);
        }
    }
    if (stream->file) FileClose(stream->file);
    if (stream->isMpeg) MpegTimelineClose(&stream->timeline);
    free(stream->sourceFormat);
    free(stream->pcmFormat);
    free(stream);
}
