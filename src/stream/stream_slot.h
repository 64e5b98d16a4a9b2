// Stream slots: a decoded file played through a looping buffer that a 10 ms timer refills half by half.
#pragma once

#include "interface/sound_device.h"

BOOL StreamOpen(SoundSlot* slot, LPCSTR path, DWORD lengthMs, DWORD slotNumber);
void StreamClose(SoundSlot* slot, DWORD slotNumber);
BOOL StreamPlay(SoundSlot* slot, BOOL loop, DWORD loopOffset, DWORD slotNumber);
BOOL StreamPause(SoundSlot* slot, DWORD slotNumber);
BOOL StreamStop(SoundSlot* slot, DWORD slotNumber);
