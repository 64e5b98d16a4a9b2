// The entry test, and closing slots by kind, shared by the exports and the shutdown.
#pragma once

#include <windows.h>

struct SoundSlot;

// The entry test of every slot operation: the slot, or null when the number is not below the slot count or there is
// no table. Made before the lock is taken.
SoundSlot* SlotFor(DWORD slotNumber);

// Closes slot `slotNumber` by its kind under the library lock; nothing when the entry test fails.
void CloseSlot(DWORD slotNumber);
// Closes every slot below the slot count read on entry, taking the lock once per slot.
void CloseAllSlots();
