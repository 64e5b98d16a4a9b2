#include "dsound/mixer/sample_format.h"

#include <math.h>
#include <string.h>

namespace posix_win32 {
namespace {

int16_t ToPcm16(float sample) {
    float scaled = sample * 32768.0f;
    if (scaled >= 32767.0f) return 32767;
    if (scaled <= -32768.0f) return -32768;
    return static_cast<int16_t>(lrintf(scaled));
}

uint8_t ToPcm8(float sample) {
    float scaled = sample * 128.0f;
    if (scaled >= 127.0f) return 255;
    if (scaled <= -128.0f) return 0;
    return static_cast<uint8_t>(lrintf(scaled) + 128);
}

} // namespace

void ReadPcmFrames(const uint8_t* memory, uint16_t bits, uint16_t channels, uint32_t frame, size_t count, int16_t* left,
                   int16_t* right) {
    if (bits == 16) {
        // Buffer memory is allocated as 16-bit samples, so whole frames are aligned 16-bit objects.
        const int16_t* samples = reinterpret_cast<const int16_t*>(memory) + size_t(frame) * channels;
        if (channels == 1) {
            memcpy(left, samples, count * sizeof(int16_t));
        } else {
            for (size_t i = 0; i < count; ++i) {
                left[i] = samples[2 * i];
                right[i] = samples[2 * i + 1];
            }
        }
        return;
    }
    const uint8_t* samples = memory + size_t(frame) * channels;
    auto widen = [](uint8_t sample) { return static_cast<int16_t>((int(sample) - 128) * 256); };
    if (channels == 1) {
        for (size_t i = 0; i < count; ++i)
            left[i] = widen(samples[i]);
    } else {
        for (size_t i = 0; i < count; ++i) {
            left[i] = widen(samples[2 * i]);
            right[i] = widen(samples[2 * i + 1]);
        }
    }
}

void WritePcmFrames(const float* left, const float* right, size_t count, uint16_t bits, uint16_t channels, void* out) {
    if (bits == 16) {
        int16_t* samples = static_cast<int16_t*>(out);
        if (channels == 1) {
            for (size_t i = 0; i < count; ++i)
                samples[i] = ToPcm16(left[i]);
        } else {
            for (size_t i = 0; i < count; ++i) {
                samples[2 * i] = ToPcm16(left[i]);
                samples[2 * i + 1] = ToPcm16(right[i]);
            }
        }
        return;
    }
    uint8_t* samples = static_cast<uint8_t*>(out);
    if (channels == 1) {
        for (size_t i = 0; i < count; ++i)
            samples[i] = ToPcm8(left[i]);
    } else {
        for (size_t i = 0; i < count; ++i) {
            samples[2 * i] = ToPcm8(left[i]);
            samples[2 * i + 1] = ToPcm8(right[i]);
        }
    }
}

} // namespace posix_win32
