#include "interface/slot_dispatch.h"

#include "interface/library_lock.h"
#include "interface/sound_device.h"
#include "static/static_slot.h"
#include "stream/stream_slot.h"

SoundSlot* SlotFor(DWORD slotNumber) {
    if (slotNumber >= soundDevice.slotCount || !soundDevice.slots) return nullptr;
    return &soundDevice.slots[slotNumber];
}

void CloseSlot(DWORD slotNumber) {
    SoundSlot* slot = SlotFor(slotNumber);
    if (!slot) return;
    LibraryLockGuard lock;
    switch (slot->kind) {
    case Static: StaticClose(slot); break;
    case Stream: StreamClose(slot, slotNumber); break;
    case Empty: break;
    }
}

void CloseAllSlots() {
    const DWORD count = soundDevice.slotCount;
    for (DWORD i = 0; i < count; ++i)
        CloseSlot(i);
}
