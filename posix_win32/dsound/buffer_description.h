// Validation of the buffer descriptions and formats that callers hand to the device.
#pragma once

#include <dsound.h>

namespace posix_win32 {

// DS_OK for a PCM format the mixer plays: 8/16 bits, 1-2 channels, DSBFREQUENCY_MIN..MAX, consistent block sizes.
HRESULT CheckPcmFormat(const WAVEFORMATEX* format);

// DS_OK for a description CreateSoundBuffer accepts; `bufferBytes` gets a secondary buffer's size rounded up to a
// whole frame, as Windows does.
HRESULT CheckBufferDescription(const DSBUFFERDESC* desc, DWORD* bufferBytes);

} // namespace posix_win32
