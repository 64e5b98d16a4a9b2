// The process-wide device record and the slot table it owns.
#pragma once

#include <windows.h>
#include <dsound.h>
#include <mmreg.h>

#include "wave/wave_image.h"

enum SlotKind : DWORD { Empty = 0, Static = 1, Stream = 2 };

struct DecodeStream;
struct SoundSlot;

// Fills `destination` with up to *bytes of PCM and stores the count delivered; nonzero while the data goes on.
typedef BOOL (*FillCallbackFunction)(BYTE* destination, DWORD* bytes, const WAVEFORMATEX* format, SoundSlot* slot);

// One slot; an Empty slot is all zero and every close zeroes the whole record.
struct SoundSlot {
    SlotKind kind;
    IDirectSoundBuffer* buffer;

    // Static slot
    WaveImageHeader waveHeader;

    // Stream slot
    UINT timerId;
    BOOL lastFilledHalf;
    BOOL loop;
    DWORD loopOffset;
    DWORD bufferBytes;
    BOOL endOfData;
    DecodeStream* decodeStream;
    WAVEFORMATEX outputFormat;
    FillCallbackFunction fillCallback;
};

struct SoundDevice {
    IDirectSound* device;
    IDirectSoundBuffer* primaryBuffer;
    HWND window;
    DWORD slotCount; // stored last by start-up, so slot operations fail until the device is whole
    SoundSlot* slots;
    HANDLE* slotEvents;
    WAVEFORMATEX primaryFormat;
    DWORD sampleRate;
    DWORD bitsPerSample;
    DWORD channels;
    BOOL globalFocus;
    DWORD bufferLocation;
};

extern SoundDevice soundDevice;

// The name of a slot's event, "ZORVA SoundEvent No" and the slot number: start-up creates it, the stream operations
// and the refill open it by that name.
void SlotEventName(DWORD slotNumber, char (&name)[32]);
