// A conversion stream: a codec's decoder, the destination PCM format, and the PCM that did not fit a destination yet.
#pragma once

#include <stdint.h>

#include <memory>
#include <vector>

#include "msacm32/acm_codec.h"

namespace posix_win32 {

struct AcmStream {
    const AcmCodec* codec;
    std::vector<BYTE> sourceFormat; // the whole source record, at least a WAVEFORMATEX long
    WAVEFORMATEX target;
    std::unique_ptr<AcmDecoder> decoder;
    std::vector<int16_t> decoded; // scratch: one conversion's decoder output
    std::vector<BYTE> pending;    // converted PCM not delivered yet, from pendingStart on
    size_t pendingStart;

    const WAVEFORMATEX& Source() const { return *reinterpret_cast<const WAVEFORMATEX*>(sourceFormat.data()); }
};

// Validates the pair as acmStreamOpen does; when `stream` is given and the pair converts, makes the stream.
MMRESULT CreateAcmStream(const WAVEFORMATEX* source, const WAVEFORMATEX* target, std::unique_ptr<AcmStream>* stream);

// Handles are the stream's address, accepted only while registered, so a stale or made-up handle is refused.
HACMSTREAM RegisterAcmStream(std::unique_ptr<AcmStream> stream);
AcmStream* FindAcmStream(HACMSTREAM handle);
std::unique_ptr<AcmStream> UnregisterAcmStream(HACMSTREAM handle);

// Output bytes for `sourceBytes` source bytes at most, and source bytes whose output fits `targetBytes`.
DWORD TargetBytesFor(const AcmStream& stream, DWORD sourceBytes);
DWORD SourceBytesFor(const AcmStream& stream, DWORD targetBytes);

// Decodes all `size` bytes into the pending PCM, then moves as much of it as fits into `destination`.
DWORD ConvertAcmStream(AcmStream& stream, const BYTE* source, DWORD size, BYTE* destination, DWORD capacity);
// Drops pending PCM and decoder state: the next bytes come from a new position.
void RestartAcmStream(AcmStream& stream);

} // namespace posix_win32
