// Static slots: one whole PCM sound copied into one secondary buffer of exactly its size.
#pragma once

#include "interface/sound_device.h"

BOOL StaticOpen(SoundSlot* slot, LPCSTR name, const void* image);
void StaticClose(SoundSlot* slot);
BOOL StaticPlay(SoundSlot* slot, BOOL loop);
BOOL StaticPause(SoundSlot* slot);
BOOL StaticStop(SoundSlot* slot);
BOOL StaticGetTimePos(SoundSlot* slot, DWORD* milliseconds);
BOOL StaticSetTimePos(SoundSlot* slot, DWORD milliseconds);
BOOL StaticGetWaveTime(SoundSlot* slot, DWORD* milliseconds);
