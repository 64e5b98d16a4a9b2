#include "interface/sound_device.h"

#include <stdio.h>

SoundDevice soundDevice;

void SlotEventName(DWORD slotNumber, char (&name)[32]) {
    snprintf(name, sizeof name, "ZORVA SoundEvent No%d", static_cast<int>(slotNumber));
}
