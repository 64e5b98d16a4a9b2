#include "static/static_slot.h"

#include <stdint.h>
#include <string.h>

#include <cmath>

#include "device/sound_buffers.h"

namespace {

WaveImage* ReadStaticImage(LPCSTR name, const void* image) {
    if (!name) return image ? WaveImageFromMemory(image) : nullptr;
    // A name that is a "WAVE" resource is never tried as a file, even when the resource is unusable.
    if (FindResourceA(nullptr, name, "WAVE")) return WaveImageFromResource(nullptr, name);
    return WaveImageFromFile(name);
}

// Bytes per millisecond at the buffer's current rate; every input goes through single precision first.
double BytesPerMillisecond(IDirectSoundBuffer* buffer, WORD blockAlign) {
    DWORD frequency = 0;
    buffer->GetFrequency(&frequency);
    return (static_cast<double>(static_cast<float>(blockAlign)) / 1000.0) *
           static_cast<double>(static_cast<float>(frequency));
}

// Truncation toward zero keeping the low 32 bits; a rate of 0 gives no finite value and answers 0.
DWORD TruncateToDword(double value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<DWORD>(static_cast<uint64_t>(std::fmod(std::trunc(value), 4294967296.0)));
}

// Through memory: a 32-bit x87 build would otherwise keep the precision the cast is there to drop.
double AsSingle(DWORD value) {
    const volatile float single = static_cast<float>(value);
    return static_cast<double>(single);
}

// Fills a locked region from `samples`, clearing whatever the sound does not reach; answers the bytes used.
DWORD FillRegion(void* region, DWORD regionBytes, const BYTE* samples, DWORD available) {
    const DWORD copied = regionBytes < available ? regionBytes : available;
    memcpy(region, samples, copied);
    memset(static_cast<BYTE*>(region) + copied, 0, regionBytes - copied);
    return copied;
}

// Copies the samples through one lock of the whole buffer; FALSE when the device gives no region.
BOOL CopySamples(IDirectSoundBuffer* buffer, const WaveImage* image) {
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0;
    DWORD secondBytes = 0;
    const DWORD size = image->header.dataSize;
    if (FAILED(buffer->Lock(0, size, &first, &firstBytes, &second, &secondBytes, 0)) || !first) return FALSE;
    const DWORD firstCopied = FillRegion(first, firstBytes, image->samples, size);
    if (second) FillRegion(second, secondBytes, image->samples + firstCopied, size - firstCopied);
    buffer->Unlock(first, firstBytes, second, secondBytes);
    return TRUE;
}

} // namespace

BOOL StaticOpen(SoundSlot* slot, LPCSTR name, const void* image) {
    WaveImage* wave = ReadStaticImage(name, image);
    if (!wave) return FALSE;
    BOOL opened = FALSE;
    slot->buffer = CreateSecondaryBuffer(soundDevice.device, &wave->header.format, wave->header.dataSize,
                                         soundDevice.globalFocus, soundDevice.bufferLocation);
    if (slot->buffer) {
        slot->buffer->Restore();
        opened = CopySamples(slot->buffer, wave);
        // A lock that fails cleans up like a buffer that could not be made.
        if (!opened) slot->buffer->Release();
    }
    if (opened) {
        slot->waveHeader = wave->header;
        slot->kind = Static;
    } else {
        memset(slot, 0, sizeof *slot);
    }
    FreeWaveImage(wave);
    return opened;
}

void StaticClose(SoundSlot* slot) {
    if (!slot->buffer) return;
    slot->buffer->Stop();
    slot->buffer->Release();
    memset(slot, 0, sizeof *slot);
}

BOOL StaticPlay(SoundSlot* slot, BOOL loop) {
    if (!slot->buffer) return FALSE;
    slot->buffer->SetCurrentPosition(0);
    return slot->buffer->Play(0, 0, loop ? DSBPLAY_LOOPING : 0) == DS_OK;
}

BOOL StaticPause(SoundSlot* slot) {
    if (!slot->buffer) return FALSE;
    slot->buffer->Stop();
    return TRUE;
}

BOOL StaticStop(SoundSlot* slot) {
    if (!slot->buffer) return FALSE;
    slot->buffer->Stop();
    slot->buffer->SetCurrentPosition(0);
    return TRUE;
}

BOOL StaticGetTimePos(SoundSlot* slot, DWORD* milliseconds) {
    DWORD playCursor = 0;
    slot->buffer->GetCurrentPosition(&playCursor, nullptr);
    *milliseconds =
        TruncateToDword(AsSingle(playCursor) / BytesPerMillisecond(slot->buffer, slot->waveHeader.format.nBlockAlign));
    return TRUE;
}

BOOL StaticSetTimePos(SoundSlot* slot, DWORD milliseconds) {
    const double offset =
        BytesPerMillisecond(slot->buffer, slot->waveHeader.format.nBlockAlign) * AsSingle(milliseconds);
    slot->buffer->SetCurrentPosition(TruncateToDword(offset));
    return TRUE;
}

BOOL StaticGetWaveTime(SoundSlot* slot, DWORD* milliseconds) {
    *milliseconds = TruncateToDword(AsSingle(slot->waveHeader.dataSize) /
                                    BytesPerMillisecond(slot->buffer, slot->waveHeader.format.nBlockAlign));
    return TRUE;
}
