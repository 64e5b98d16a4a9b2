// What the primary and the secondary buffers answer alike: their COM identity, the volume and pan controls (checked
// against the buffer's flags and ranges, kept under the mixer's control mutex) and a second Initialize.
#pragma once

#include <dsound.h>

namespace posix_win32 {

class DirectSoundDevice;

class BufferControls : public IDirectSoundBuffer {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE GetVolume(LPLONG volume) override;
    HRESULT STDMETHODCALLTYPE GetPan(LPLONG pan) override;
    HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) override;
    HRESULT STDMETHODCALLTYPE SetPan(LONG pan) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUND device, LPCDSBUFFERDESC desc) override;

  protected:
    BufferControls(DirectSoundDevice& device, DWORD flags) : device(device), flags(flags) {}
    virtual ~BufferControls() = default;
    // Hands `volume` and `pan` to the mixer; called with its control mutex held.
    virtual void ApplyGains() = 0;
    // GetCaps and GetFormat of either kind of buffer, given its size and its format.
    HRESULT AnswerCaps(LPDSBCAPS caps, DWORD bufferBytes) const;
    static HRESULT AnswerFormat(const WAVEFORMATEX& format, LPWAVEFORMATEX out, DWORD sizeAllocated,
                                LPDWORD sizeWritten);

    DirectSoundDevice& device;
    const DWORD flags;
    // Guarded by the mixer's control mutex.
    LONG volume = 0;
    LONG pan = 0;
};

} // namespace posix_win32
