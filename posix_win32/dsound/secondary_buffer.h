// A secondary buffer: PCM memory that the host locks and fills, played by the mixer as one voice.
#pragma once

#include <atomic>
#include <memory>

#include <dsound.h>

#include "dsound/buffer_controls.h"

#include "dsound/mixer/voice.h"

namespace posix_win32 {

class DirectSoundDevice;

class SecondaryBuffer final : public BufferControls {
  public:
    // `desc` has been checked; `bufferBytes` is its size rounded to whole frames.
    SecondaryBuffer(DirectSoundDevice& device, const DSBUFFERDESC& desc, DWORD bufferBytes);
    ~SecondaryBuffer() override;

    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS caps) override;
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) override;
    HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX format, DWORD sizeAllocated, LPDWORD sizeWritten) override;
    HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD frequency) override;
    HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override;
    HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* audio1, LPDWORD audioBytes1, LPVOID* audio2,
                                   LPDWORD audioBytes2, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD newPosition) override;
    HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX format) override;
    HRESULT STDMETHODCALLTYPE SetFrequency(DWORD frequency) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID audio1, DWORD audioBytes1, LPVOID audio2, DWORD audioBytes2) override;
    HRESULT STDMETHODCALLTYPE Restore() override;

  private:
    bool Holds(const void* region, DWORD bytes) const;
    // Only with ZORVA_LOG=1: tells of a write that came after the cursor had entered its region.
    void ReportLateWrite(DWORD offset, DWORD bytes);
    void ApplyGains() override;

    const WAVEFORMATEX format;
    const DWORD bufferBytes;
    std::atomic<ULONG> refCount{1};
    // Written by the host between Lock and Unlock and read by the mixer without any lock (see Lock). Held as 16-bit
    // samples so the mixer may read them as such; 8-bit data is read bytewise.
    std::unique_ptr<int16_t[]> memory;
    uint8_t* memoryBytes;
    // Shared with the mixer through its atomics (see Voice).
    Voice voice;
    // What ReportLateWrite knows, under the mixer's control mutex: data written is fresh until this many bytes played.
    bool freshKnown = false;
    uint64_t freshEnd = 0;
};

} // namespace posix_win32
