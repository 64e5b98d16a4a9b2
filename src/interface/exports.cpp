// The exported functions: entry tests, the library lock, and dispatch by slot kind.
// Nothing may throw across this boundary; every export answers its failure value instead.
#include "zorva_sound.h"

#include "device/sound_device_startup.h"
#include "interface/library_lock.h"
#include "interface/slot_dispatch.h"
#include "interface/sound_device.h"
#include "static/static_slot.h"
#include "stream/stream_slot.h"

namespace {

// The property operations need only a buffer, whatever the slot's kind. It is read under the lock: another
// thread's close may release it at any moment outside.
template <typename Value, typename Getter> Value GetBufferProperty(uint32_t slotNumber, Value failure, Getter get) {
    SoundSlot* slot = SlotFor(slotNumber);
    if (!slot) return failure;
    LibraryLockGuard lock;
    Value value = failure;
    if (slot->buffer) get(slot->buffer, &value);
    return value;
}

template <typename Setter> uint32_t SetBufferProperty(uint32_t slotNumber, Setter set) {
    SoundSlot* slot = SlotFor(slotNumber);
    if (!slot) return 0;
    LibraryLockGuard lock;
    if (!slot->buffer) return 0;
    set(slot->buffer);
    return 1;
}

// Entry test, the lock, then the operation of the slot's kind; an empty slot answers 0.
template <typename StaticOperation, typename StreamOperation>
uint32_t DispatchByKind(uint32_t slotNumber, StaticOperation staticOperation, StreamOperation streamOperation) {
    SoundSlot* slot = SlotFor(slotNumber);
    if (!slot) return 0;
    LibraryLockGuard lock;
    switch (slot->kind) {
    case Static: return staticOperation(slot);
    case Stream: return streamOperation(slot);
    case Empty: break;
    }
    return 0;
}

// Position and length exist for static slots only; a stream slot answers 0 and is left alone.
template <typename StaticOperation> uint32_t StaticTimeOperation(uint32_t slotNumber, StaticOperation operation) {
    SoundSlot* slot = SlotFor(slotNumber);
    if (!slot) return 0;
    LibraryLockGuard lock;
    return slot->kind == Static ? operation(slot) : 0;
}

} // namespace

extern "C" {

uint32_t ZRVA_CALL ZRVA_GetVersion(void) noexcept { return 1; }

uint32_t ZRVA_CALL ZRVA_Init(ZRVA_WINDOW window, uint32_t sampleRate, uint32_t bitsPerSample, uint32_t channels,
                             uint32_t slotCount, uint32_t bufferLocation) noexcept {
    CreateLibraryLock();
    return StartDevice(static_cast<HWND>(window), sampleRate, bitsPerSample, channels, slotCount, bufferLocation);
}

void ZRVA_CALL ZRVA_Release(void) noexcept {
    ShutDownDevice();
    DestroyLibraryLock();
}

uint32_t ZRVA_CALL ZRVA_Open(uint32_t slotNumber, const char* name, const void* image, uint32_t streamMs) noexcept {
    SoundSlot* slot = SlotFor(slotNumber);
    if (!slot || slot->kind != Empty) return 0;
    LibraryLockGuard lock;
    if (streamMs) return StreamOpen(slot, name, streamMs, slotNumber);
    return StaticOpen(slot, name, image);
}

void ZRVA_CALL ZRVA_Close(uint32_t slotNumber) noexcept { CloseSlot(slotNumber); }

void ZRVA_CALL ZRVA_CloseAll(void) noexcept { CloseAllSlots(); }

uint32_t ZRVA_CALL ZRVA_Play(uint32_t slotNumber, uint32_t loop, uint32_t loopOffset) noexcept {
    return DispatchByKind(
        slotNumber, [loop](SoundSlot* slot) { return StaticPlay(slot, loop); },
        [loop, loopOffset, slotNumber](SoundSlot* slot) { return StreamPlay(slot, loop, loopOffset, slotNumber); });
}

uint32_t ZRVA_CALL ZRVA_Pause(uint32_t slotNumber) noexcept {
    return DispatchByKind(
        slotNumber, [](SoundSlot* slot) { return StaticPause(slot); },
        [slotNumber](SoundSlot* slot) { return StreamPause(slot, slotNumber); });
}

uint32_t ZRVA_CALL ZRVA_Stop(uint32_t slotNumber) noexcept {
    return DispatchByKind(
        slotNumber, [](SoundSlot* slot) { return StaticStop(slot); },
        [slotNumber](SoundSlot* slot) { return StreamStop(slot, slotNumber); });
}

int32_t ZRVA_CALL ZRVA_GetPan(uint32_t slotNumber) noexcept {
    return GetBufferProperty<LONG>(slotNumber, ZRVA_PAN_FAILURE,
                                   [](IDirectSoundBuffer* buffer, LONG* pan) { buffer->GetPan(pan); });
}

uint32_t ZRVA_CALL ZRVA_SetPan(uint32_t slotNumber, int32_t pan) noexcept {
    return SetBufferProperty(slotNumber, [pan](IDirectSoundBuffer* buffer) { buffer->SetPan(pan); });
}

uint32_t ZRVA_CALL ZRVA_GetFrequency(uint32_t slotNumber) noexcept {
    return GetBufferProperty<DWORD>(slotNumber, 0,
                                    [](IDirectSoundBuffer* buffer, DWORD* rate) { buffer->GetFrequency(rate); });
}

uint32_t ZRVA_CALL ZRVA_SetFrequency(uint32_t slotNumber, uint32_t frequency) noexcept {
    return SetBufferProperty(slotNumber, [frequency](IDirectSoundBuffer* buffer) { buffer->SetFrequency(frequency); });
}

int32_t ZRVA_CALL ZRVA_GetVolume(uint32_t slotNumber) noexcept {
    return GetBufferProperty<LONG>(slotNumber, 1,
                                   [](IDirectSoundBuffer* buffer, LONG* volume) { buffer->GetVolume(volume); });
}

uint32_t ZRVA_CALL ZRVA_SetVolume(uint32_t slotNumber, int32_t volume) noexcept {
    return SetBufferProperty(slotNumber, [volume](IDirectSoundBuffer* buffer) { buffer->SetVolume(volume); });
}

int32_t ZRVA_CALL ZRVA_GetDirectSoundVol(void) noexcept {
    if (!soundDevice.primaryBuffer) return 1;
    LibraryLockGuard lock;
    LONG volume = 1;
    soundDevice.primaryBuffer->GetVolume(&volume);
    return volume;
}

uint32_t ZRVA_CALL ZRVA_SetDirectSoundVol(int32_t volume) noexcept {
    if (!soundDevice.primaryBuffer) return 0;
    LibraryLockGuard lock;
    soundDevice.primaryBuffer->SetVolume(volume);
    return 1;
}

uint32_t ZRVA_CALL ZRVA_GetTimePos(uint32_t slotNumber) noexcept {
    return StaticTimeOperation(slotNumber, [](SoundSlot* slot) -> uint32_t {
        DWORD milliseconds = 0;
        return StaticGetTimePos(slot, &milliseconds) ? milliseconds : 0;
    });
}

uint32_t ZRVA_CALL ZRVA_SetTimePos(uint32_t slotNumber, uint32_t milliseconds) noexcept {
    return StaticTimeOperation(
        slotNumber, [milliseconds](SoundSlot* slot) -> uint32_t { return StaticSetTimePos(slot, milliseconds); });
}

uint32_t ZRVA_CALL ZRVA_GetWaveTime(uint32_t slotNumber) noexcept {
    return StaticTimeOperation(slotNumber, [](SoundSlot* slot) -> uint32_t {
        DWORD milliseconds = 0;
        return StaticGetWaveTime(slot, &milliseconds) ? milliseconds : 0;
    });
}

uint32_t ZRVA_CALL ZRVA_SetGlobalFocus(uint32_t flag) noexcept {
    if (!soundDevice.device) return 0;
    CloseAllSlots();
    soundDevice.globalFocus = flag;
    return 1;
}

void ZRVA_CDECL ZRVA_GetFunction(void** table) noexcept {
    void* const entries[ZRVA_FUNCTION_COUNT] = {
        reinterpret_cast<void*>(&ZRVA_GetVersion),
        reinterpret_cast<void*>(&ZRVA_Init),
        reinterpret_cast<void*>(&ZRVA_Release),
        reinterpret_cast<void*>(&ZRVA_Open),
        reinterpret_cast<void*>(&ZRVA_Close),
        reinterpret_cast<void*>(&ZRVA_CloseAll),
        reinterpret_cast<void*>(&ZRVA_Play),
        reinterpret_cast<void*>(&ZRVA_Pause),
        reinterpret_cast<void*>(&ZRVA_Stop),
        reinterpret_cast<void*>(&ZRVA_GetPan),
        reinterpret_cast<void*>(&ZRVA_SetPan),
        reinterpret_cast<void*>(&ZRVA_GetFrequency),
        reinterpret_cast<void*>(&ZRVA_SetFrequency),
        reinterpret_cast<void*>(&ZRVA_GetVolume),
        reinterpret_cast<void*>(&ZRVA_SetVolume),
        reinterpret_cast<void*>(&ZRVA_GetDirectSoundVol),
        reinterpret_cast<void*>(&ZRVA_SetDirectSoundVol),
        reinterpret_cast<void*>(&ZRVA_GetTimePos),
        reinterpret_cast<void*>(&ZRVA_SetTimePos),
        reinterpret_cast<void*>(&ZRVA_GetWaveTime),
        reinterpret_cast<void*>(&ZRVA_SetGlobalFocus),
    };
    if (!table) return;
    for (int i = 0; i < ZRVA_FUNCTION_COUNT; ++i)
        table[i] = entries[i];
}

} // extern "C"
