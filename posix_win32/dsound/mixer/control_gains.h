// DirectSound's volume and pan units as linear gains.
#pragma once

#include <math.h>

#include <dsound.h>

namespace posix_win32 {

// Volume in hundredths of a decibel; the minimum is silence rather than −100 dB.
inline float VolumeToGain(LONG volume) {
    if (volume <= DSBVOLUME_MIN) return 0.0f;
    return powf(10.0f, float(volume) / 2000.0f);
}

// Pan attenuates only the far side, by |pan| hundredths of a decibel.
inline void PanToGains(LONG pan, float* left, float* right) {
    *left = pan > 0 ? VolumeToGain(-pan) : 1.0f;
    *right = pan < 0 ? VolumeToGain(pan) : 1.0f;
}

} // namespace posix_win32
