// The timer-driven refill of a stream slot's looping buffer, half by half.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "interface/sound_device.h"

// The timer callback; `user` is the slot record. The direct call from play passes timer id 0 and the slot number
// in `slotNumber`; a timer call finds the number from the slot's place in the table.
void CALLBACK StreamRefill(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR slotNumber, DWORD_PTR reserved);

// Fills from the slot's decode stream, starting again at the loop offset when a looping slot's data runs out.
BOOL FillCallback(BYTE* destination, DWORD* bytes, const WAVEFORMATEX* format, SoundSlot* slot);

// Stops the slot's timer and returns once no refill of the slot is in progress or can still start.
void EndRefills(SoundSlot* slot, DWORD slotNumber);

// Fields that the timer thread and the host thread both touch.
UINT LoadTimerId(const SoundSlot* slot);
void StoreTimerId(SoundSlot* slot, UINT timerId);
void StoreLoop(SoundSlot* slot, BOOL loop, DWORD loopOffset);
