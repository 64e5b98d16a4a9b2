// The PCM layouts the mixer reads and writes: 8-bit unsigned or 16-bit signed, one or two channels.
#pragma once

#include <stdint.h>

#include <mmreg.h>

namespace posix_win32 {

struct PcmFormat {
    uint32_t rate = 22050;
    uint16_t channels = 2;
    uint16_t bits = 8;

    uint16_t BlockAlign() const { return static_cast<uint16_t>(channels * bits / 8); }
    // The mixer works in blocks of 10 ms: a control change is heard from the next one, and the outputs pace by it.
    uint32_t BlockFrames() const { return rate / 100 > 0 ? rate / 100 : 1; }
};

inline PcmFormat PcmFormatOf(const WAVEFORMATEX& format) {
    return {format.nSamplesPerSec, format.nChannels, format.wBitsPerSample};
}

inline WAVEFORMATEX WaveFormatOf(const PcmFormat& format) {
    WAVEFORMATEX wave = {};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = format.channels;
    wave.nSamplesPerSec = format.rate;
    wave.nBlockAlign = format.BlockAlign();
    wave.nAvgBytesPerSec = format.rate * format.BlockAlign();
    wave.wBitsPerSample = format.bits;
    return wave;
}

} // namespace posix_win32
