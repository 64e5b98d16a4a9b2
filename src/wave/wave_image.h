// PCM RIFF/WAVE sounds read whole from a module resource, a file or a memory image.
#pragma once

#include <windows.h>
#include <mmreg.h>

#include "wave/file_access.h"

// The PCM part of a "fmt " body that the readers keep: WAVEFORMATEX without cbSize.
constexpr DWORD kPcmFormatBytes = 16;

struct WaveImageHeader {
    DWORD dataOffset;    // first sample byte, counted from the first byte of the source
    DWORD dataSize;      // sample bytes, from the "data" chunk's size field
    WAVEFORMATEX format; // the first 16 "fmt " bytes as stored; cbSize always 0
};

// One heap block: the header, the pointer, then the `dataSize` sample bytes that `samples` points at.
struct WaveImage {
    WaveImageHeader header;
    BYTE* samples;
};

// Read-only bytes of a module resource, and their size when `size` is given; null when there is none.
const void* LockModuleResource(HMODULE module, LPCSTR name, LPCSTR type, DWORD* size);

WaveImage* WaveImageFromResource(HMODULE module, LPCSTR name);
WaveImage* WaveImageFromFile(LPCSTR path);
// Fills `header` from an open RIFF/WAVE file; TRUE on success.
BOOL ReadWaveFileHeader(FileHandle file, WaveImageHeader* header);
WaveImage* WaveImageFromMemory(const void* image);
void FreeWaveImage(WaveImage* image);

// A new image block for `header` (cbSize cleared, `samples` set, sample bytes left to the caller), or null.
WaveImage* AllocateWaveImage(const WaveImageHeader& header);
