#include "stream/stream_refill.h"

#include <string.h>

#include <atomic>

#include "platform/system_library_binding.h"
#include "stream/decode_stream.h"

namespace {

constexpr DWORD kRefillWaitMs = 5000;

HANDLE OpenSlotEvent(DWORD slotNumber) {
    char name[32];
    SlotEventName(slotNumber, name);
    return OpenEventA(EVENT_ALL_ACCESS, FALSE, name);
}

template <typename Field> Field LoadShared(const Field& field) {
    return std::atomic_ref<Field>(const_cast<Field&>(field)).load(std::memory_order_relaxed);
}

template <typename Field> void StoreShared(Field& field, Field value) {
    std::atomic_ref<Field>(field).store(value, std::memory_order_relaxed);
}

void KillTimer(UINT timerId) {
    if (const TimerEntryTable* timer = TimerEntries()) timer->timeKillEvent(timerId);
}

// A half is far below 2 GiB, so the decode stream's signed counts hold it.
DWORD ReadPcm(DecodeStream* stream, BYTE* destination, DWORD bytes) {
    const LONG got = DecodeStreamRead(stream, destination, static_cast<LONG>(bytes));
    return got > 0 ? static_cast<DWORD>(got) : 0;
}

BYTE SilenceByte(const WAVEFORMATEX& format) { return static_cast<BYTE>((format.wBitsPerSample & 15) << 4); }

// Writes the half that the play cursor has left; nothing when that half already holds the next data.
void RefillDueHalf(SoundSlot* slot, const WAVEFORMATEX& format) {
    IDirectSoundBuffer* buffer = slot->buffer;
    buffer->Restore();
    DWORD cursor = 0;
    buffer->GetCurrentPosition(&cursor, nullptr);
    const DWORD half = slot->bufferBytes / 2;
    const bool firstHalfPlaying = cursor < half;
    if (firstHalfPlaying == static_cast<bool>(slot->lastFilledHalf)) return;

    void* region = nullptr;
    DWORD regionBytes = 0;
    if (buffer->Lock(firstHalfPlaying ? half : 0, half, &region, &regionBytes, nullptr, nullptr, 0) != DS_OK) return;
    slot->lastFilledHalf = firstHalfPlaying;

    DWORD written = 0;
    if (!slot->endOfData) {
        written = regionBytes;
        if (!slot->fillCallback(static_cast<BYTE*>(region), &written, &format, slot)) slot->endOfData = TRUE;
    } else {
        // The previous fill held the last data: play out to the buffer's end and stop refilling.
        buffer->Play(0, 0, 0);
        slot->endOfData = FALSE;
        KillTimer(LoadShared(slot->timerId));
        StoreShared(slot->timerId, 0u);
    }
    if (written > regionBytes) written = 0;
    memset(static_cast<BYTE*>(region) + written, SilenceByte(format), regionBytes - written);
    buffer->Unlock(region, regionBytes, nullptr, 0);
}

} // namespace

UINT LoadTimerId(const SoundSlot* slot) { return LoadShared(slot->timerId); }
void StoreTimerId(SoundSlot* slot, UINT timerId) { StoreShared(slot->timerId, timerId); }
void StoreLoop(SoundSlot* slot, BOOL loop, DWORD loopOffset) {
    StoreShared(slot->loop, loop);
    StoreShared(slot->loopOffset, loopOffset);
}

void CALLBACK StreamRefill(UINT timerId, UINT, DWORD_PTR user, DWORD_PTR slotNumber, DWORD_PTR) {
    SoundSlot* slot = reinterpret_cast<SoundSlot*>(user);
    const bool fromTimer = timerId != 0;
    if (fromTimer) slotNumber = static_cast<DWORD_PTR>(slot - soundDevice.slots);
    HANDLE event = OpenSlotEvent(static_cast<DWORD>(slotNumber));
    WaitForSingleObject(event, kRefillWaitMs);
    ResetEvent(event);
    // A closer clears the timer id before it waits for the event, so a refill that took the event after that wait
    // sees the cleared id here. Timers are killed synchronously, so this only matters where a platform is not.
    const bool slotIsStillOurs = !fromTimer || LoadShared(slot->timerId) == timerId;
    // Only a refill that still owns the slot reads it: a closer may be zeroing a slot that is no longer ours.
    if (slotIsStillOurs && slot->buffer) {
        const WAVEFORMATEX format = slot->outputFormat;
        RefillDueHalf(slot, format);
    }
    SetEvent(event);
    if (event) CloseHandle(event);
}

BOOL FillCallback(BYTE* destination, DWORD* bytes, const WAVEFORMATEX*, SoundSlot* slot) {
    const DWORD wanted = *bytes;
    DWORD got = ReadPcm(slot->decodeStream, destination, wanted);
    if (got >= wanted) {
        *bytes = got;
        return TRUE;
    }
    if (!LoadShared(slot->loop)) {
        *bytes = got;
        return FALSE;
    }
    DecodeStreamRewind(slot->decodeStream, LoadShared(slot->loopOffset));
    got += ReadPcm(slot->decodeStream, destination + got, wanted - got);
    *bytes = got;
    return TRUE;
}

void EndRefills(SoundSlot* slot, DWORD slotNumber) {
    if (const UINT timerId = LoadShared(slot->timerId)) KillTimer(timerId);
    HANDLE event = OpenSlotEvent(slotNumber);
    StoreShared(slot->timerId, 0u);
    // A refill in progress holds the event reset; one that ended the sound itself has cleared the timer id already,
    // so the wait is made whatever the id was.
    WaitForSingleObject(event, kRefillWaitMs);
    if (event) CloseHandle(event);
}
