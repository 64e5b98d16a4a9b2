// Bringing the DirectSound device up for ZRVA_Init and down for ZRVA_Release.
#pragma once

#include <windows.h>
#include <dsound.h>

BOOL StartDevice(HWND window, DWORD sampleRate, DWORD bitsPerSample, DWORD channels, DWORD slotCount,
                 DWORD bufferLocation);
void ShutDownDevice();
BOOL ReportStartupFailure(const char* message);

IDirectSound* CreateSoundDevice(LPCGUID deviceId);
IDirectSoundBuffer* CreatePrimaryBuffer(IDirectSound* device, const WAVEFORMATEX* format, DWORD bufferLocation);
