// The primary buffer: the mix format, and a volume and pan over the whole mix.
#pragma once

#include <atomic>

#include <dsound.h>

#include "dsound/buffer_controls.h"

namespace posix_win32 {

class DirectSoundDevice;

// Owned by its device and handed out again and again; while callers hold it, it holds the device.
class PrimaryBuffer final : public BufferControls {
  public:
    PrimaryBuffer(DirectSoundDevice& device, DWORD flags);

    // A new reference for CreateSoundBuffer.
    void HandOut();

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
    // The primary buffer's volume and pan are the whole mix's.
    void ApplyGains() override;
    DWORD BufferBytes() const;

    std::atomic<ULONG> refCount{0};
    std::atomic<bool> playing{false};
};

} // namespace posix_win32
