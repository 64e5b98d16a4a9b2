// The PCM formats a source converts to: its own rate, its channel count or the other of mono and stereo, 8 or 16 bits.
#pragma once

#include <msacm.h>

namespace posix_win32 {

// Fills `target` (16 bytes: cbSize is left alone) with the suggestion for `source`; the ACM_FORMATSUGGESTF_* bits of
// `flags` fix the matching fields to their values in `fixed`. ACMERR_NOTPOSSIBLE when no such target exists.
MMRESULT SuggestPcmTarget(const WAVEFORMATEX& source, const WAVEFORMATEX& fixed, DWORD flags, WAVEFORMATEX* target);
// MMSYSERR_INVALPARAM for a malformed PCM record, ACMERR_NOTPOSSIBLE when `source` cannot become it.
MMRESULT CheckPcmTarget(const WAVEFORMATEX& source, const WAVEFORMATEX& target);

} // namespace posix_win32
