// Where zorva-play sends its sound when the user did not say: the sound device, or a WAVE file on a machine
// that has none.
#pragma once

// Unless ZORVA_OUTPUT is set already, points it at `fallbackFile` when the machine has neither a sound card nor a
// sound server, so the library renders there without probing for hardware; answers whether it did.
bool ChooseFileOutputWithoutSoundDevice(const char* fallbackFile);
