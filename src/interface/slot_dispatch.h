// Closing slots by kind, shared by the close exports and the shutdown.
#pragma once

#include <windows.h>

// Closes slot `slotNumber` by its kind under the library lock; nothing when the entry test fails.
void CloseSlot(DWORD slotNumber);
// Closes every slot below the slot count read on entry, taking the lock once per slot.
void CloseAllSlots();
