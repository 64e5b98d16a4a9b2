// A file, MPEG audio or RIFF/WAVE, read as a run of PCM bytes through one compression-manager conversion stream.
#pragma once

#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include "stream/mpeg_timeline.h"
#include "wave/file_access.h"

// One heap block: this record, then the source buffer (sourceCapacity bytes), then the destination buffer
// (header.cbDstLength bytes). The undelivered output is the last carryOver bytes of what the last conversion made.
struct DecodeStream {
    FileHandle file;
    HACMSTREAM acmStream;
    WAVEFORMATEX* sourceFormat; // owned: the probe's MPEG format, or the whole "fmt " body
    WAVEFORMATEX* pcmFormat;    // owned: the suggested PCM target
    ACMSTREAMHEADER header;     // prepared on acmStream for the stream's whole life
    DWORD sourceCapacity;
    DWORD dataStart;       // file offset of the first byte of audio data
    DWORD dataLength;      // bytes of audio data from dataStart
    LONG sourceRead;       // next source byte to read, counted from dataStart
    LONG carryOver;        // bytes of the last conversion's output not delivered yet
    BOOL isMpeg;           // MPEG frames, bare or in a WAVE file: followed by the timeline
    BOOL restarting;       // the next conversion starts the codec afresh: a rewind put new data in front of it
    MpegTimeline timeline; // MPEG frames only
};

// A new malloc block holding a `formatTag` format that the compression manager suggests for `sourceFormat`, or null.
// A nonzero rate, width or channel count fixes that field of the suggestion.
WAVEFORMATEX* SuggestPcmFormat(const WAVEFORMATEX* sourceFormat, WORD formatTag, DWORD samplesPerSec,
                               DWORD bitsPerSample, DWORD channels);

// `lengthMs` of source data go into one conversion; `outFormat` (18 bytes) receives the PCM format on success.
DecodeStream* DecodeStreamOpen(const char* fileName, DWORD lengthMs, WAVEFORMATEX* outFormat);
// Copies up to `count` PCM bytes to `destination`; fewer only when the data ended. Data that yields no PCM for a
// bounded stretch of source counts as ended, so one read's work never grows with a damaged file's size.
LONG DecodeStreamRead(DecodeStream* stream, void* destination, LONG count);
// The next read delivers PCM from `offset` bytes into the audio data (aligned down to a whole source block).
BOOL DecodeStreamRewind(DecodeStream* stream, DWORD offset);
void DecodeStreamClose(DecodeStream* stream);
