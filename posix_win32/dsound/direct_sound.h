// The IDirectSound device object: owns the mixer, the output it feeds and the one primary buffer.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include <dsound.h>

#include "dsound/mixer/mixer.h"
#include "dsound/outputs/output_device.h"

namespace posix_win32 {

class PrimaryBuffer;

class DirectSoundDevice final : public IDirectSound {
  public:
    explicit DirectSoundDevice(OutputChoice outputChoice);
    ~DirectSoundDevice() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer,
                                                LPUNKNOWN outer) override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS caps) override;
    HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original,
                                                   LPDIRECTSOUNDBUFFER* duplicate) override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) override;
    HRESULT STDMETHODCALLTYPE Compact() override;
    HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD config) override;
    HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD config) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPCGUID device) override;

    Mixer& DeviceMixer() { return mixer; }
    // 0 until SetCooperativeLevel has been called.
    DWORD CooperativeLevel() const { return cooperativeLevel; }
    // Makes `format` the mix format and reopens the output for it.
    HRESULT ChangeMixFormat(const PcmFormat& format);

  private:
    std::atomic<ULONG> refCount{1};
    std::atomic<DWORD> cooperativeLevel{0};
    std::atomic<DWORD> speakerConfig;
    OutputChoice outputChoice;
    // Serialises Initialize, the primary buffer's hand-out and format changes.
    std::mutex deviceMutex;
    std::atomic<bool> initialized{false};
    Mixer mixer;
    // Declared after the mixer, so it stops pulling frames before the mixer goes.
    std::unique_ptr<OutputDevice> output;
    std::unique_ptr<PrimaryBuffer> primary;
};

} // namespace posix_win32
