// Buffer descriptions and the one way a slot's secondary buffer is made.
#pragma once

#include <windows.h>
#include <dsound.h>

DWORD PrimaryBufferFlags(DWORD bufferLocation);
DWORD SecondaryBufferFlags(BOOL globalFocus, DWORD bufferLocation);

// A new secondary buffer in `format` of `byteSize` bytes, or null; nothing is written into it.
IDirectSoundBuffer* CreateSecondaryBuffer(IDirectSound* device, const WAVEFORMATEX* format, DWORD byteSize,
                                          BOOL globalFocus, DWORD bufferLocation);

WAVEFORMATEX* MakePcmFormat(WAVEFORMATEX* out, DWORD sampleRate, DWORD bitsPerSample, DWORD channels);
