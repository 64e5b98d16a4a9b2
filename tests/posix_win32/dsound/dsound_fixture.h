// A DirectSound device on the on-demand render, with helpers to fill buffers and pull the mix.
#pragma once

#include <math.h>
#include <string.h>

#include <vector>

#include <gtest/gtest.h>

#include <dsound.h>

#include "dsound/direct_sound_factory.h"
#include "seams/sound_output.h"

inline WAVEFORMATEX PcmFormat(DWORD rate, WORD bits, WORD channels) {
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = bits;
    format.nBlockAlign = WORD(bits * channels / 8);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    return format;
}

constexpr DWORD kAllControls =
    DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_GETCURRENTPOSITION2;

class DirectSoundFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        posix_win32::UseRenderOutput();
        ASSERT_EQ(posix_win32::CreateDirectSound(IID_IDirectSound, reinterpret_cast<void**>(&device)), S_OK);
        ASSERT_EQ(device->Initialize(nullptr), DS_OK);
        ASSERT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
        DSBUFFERDESC desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME;
        ASSERT_EQ(device->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
        SetMixFormat(44100, 16, 2);
    }

    void TearDown() override {
        for (IDirectSoundBuffer* buffer : buffers)
            buffer->Release();
        if (primary) primary->Release();
        if (device) EXPECT_EQ(device->Release(), 0u);
    }

    void SetMixFormat(DWORD rate, WORD bits, WORD channels) {
        mixFormat = PcmFormat(rate, bits, channels);
        ASSERT_EQ(primary->SetFormat(&mixFormat), DS_OK);
    }

    // The fixture releases the buffer at the end of the test.
    IDirectSoundBuffer* CreateBuffer(const WAVEFORMATEX& format, DWORD bytes, DWORD flags = kAllControls) {
        DSBUFFERDESC desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = flags;
        desc.dwBufferBytes = bytes;
        WAVEFORMATEX copy = format;
        desc.lpwfxFormat = &copy;
        IDirectSoundBuffer* buffer = nullptr;
        EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
        if (buffer) buffers.push_back(buffer);
        return buffer;
    }

    IDirectSoundBuffer* CreateBuffer16(DWORD rate, WORD channels, const std::vector<int16_t>& samples) {
        IDirectSoundBuffer* buffer = CreateBuffer(PcmFormat(rate, 16, channels), DWORD(samples.size() * 2));
        Write(buffer, 0, samples.data(), DWORD(samples.size() * 2));
        return buffer;
    }

    static void Write(IDirectSoundBuffer* buffer, DWORD offset, const void* data, DWORD bytes) {
        void* region1 = nullptr;
        void* region2 = nullptr;
        DWORD bytes1 = 0, bytes2 = 0;
        ASSERT_EQ(buffer->Lock(offset, bytes, &region1, &bytes1, &region2, &bytes2, 0), DS_OK);
        memcpy(region1, data, bytes1);
        if (region2) memcpy(region2, static_cast<const uint8_t*>(data) + bytes1, bytes2);
        ASSERT_EQ(buffer->Unlock(region1, bytes1, region2, bytes2), DS_OK);
    }

    // Interleaved 16-bit samples of the mix.
    std::vector<int16_t> Render16(size_t frames) {
        std::vector<int16_t> out(frames * mixFormat.nChannels);
        EXPECT_EQ(posix_win32::RenderFrames(out.data(), frames), frames);
        return out;
    }

    IDirectSound* device = nullptr;
    IDirectSoundBuffer* primary = nullptr;
    std::vector<IDirectSoundBuffer*> buffers;
    WAVEFORMATEX mixFormat = {};
};

inline std::vector<int16_t> Tone(double frequency, double rate, size_t frames, double amplitude, int channels = 1) {
    std::vector<int16_t> samples(frames * channels);
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[i * channels + c] = int16_t(lrint(amplitude * sin(2 * M_PI * frequency * double(i) / rate)));
    return samples;
}

// One channel of interleaved samples, as doubles.
inline std::vector<double> Channel(const std::vector<int16_t>& samples, int channels, int channel, size_t first = 0,
                                   size_t count = SIZE_MAX) {
    std::vector<double> out;
    for (size_t i = first; i < samples.size() / channels && out.size() < count; ++i)
        out.push_back(samples[i * channels + channel]);
    return out;
}

// Frequency from the mean spacing of upward zero crossings, interpolated between samples.
inline double MeasureFrequency(const std::vector<double>& samples, double rate) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            double at = double(i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
            if (first < 0) first = at;
            last = at;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return rate * (crossings - 1) / (last - first);
}

inline double Rms(const std::vector<double>& samples) {
    double sum = 0;
    for (double s : samples)
        sum += s * s;
    return samples.empty() ? 0 : sqrt(sum / double(samples.size()));
}
