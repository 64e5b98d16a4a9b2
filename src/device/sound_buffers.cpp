#include "device/sound_buffers.h"

#include <string.h>

namespace {
constexpr DWORD kSecondaryBaseFlags =
    DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY;

DWORD LocationFlag(DWORD bufferLocation) {
    if (bufferLocation == 0) return DSBCAPS_LOCSOFTWARE;
    if (bufferLocation == 1) return DSBCAPS_LOCHARDWARE;
    return 0; // the device chooses
}
} // namespace

DWORD PrimaryBufferFlags(DWORD bufferLocation) {
    return DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME | LocationFlag(bufferLocation);
}

DWORD SecondaryBufferFlags(BOOL globalFocus, DWORD bufferLocation) {
    return kSecondaryBaseFlags | LocationFlag(bufferLocation) | (globalFocus ? DSBCAPS_GLOBALFOCUS : 0);
}

IDirectSoundBuffer* CreateSecondaryBuffer(IDirectSound* device, const WAVEFORMATEX* format, DWORD byteSize,
                                          BOOL globalFocus, DWORD bufferLocation) {
    if (!device || !format || byteSize == 0) return nullptr;
    DSBUFFERDESC desc;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = SecondaryBufferFlags(globalFocus, bufferLocation);
    desc.dwBufferBytes = byteSize;
    desc.lpwfxFormat = const_cast<WAVEFORMATEX*>(format);
    IDirectSoundBuffer* buffer = nullptr;
    if (FAILED(device->CreateSoundBuffer(&desc, &buffer, nullptr))) return nullptr;
    return buffer;
}

WAVEFORMATEX* MakePcmFormat(WAVEFORMATEX* out, DWORD sampleRate, DWORD bitsPerSample, DWORD channels) {
    out->wFormatTag = WAVE_FORMAT_PCM;
    out->nChannels = static_cast<WORD>(channels);
    out->nSamplesPerSec = sampleRate;
    out->nBlockAlign = static_cast<WORD>(bitsPerSample * channels / 8);
    out->nAvgBytesPerSec = out->nBlockAlign * sampleRate;
    out->wBitsPerSample = static_cast<WORD>(bitsPerSample);
    out->cbSize = 0;
    return out;
}
