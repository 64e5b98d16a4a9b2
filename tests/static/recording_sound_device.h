// A DirectSound device whose secondary buffers keep their bytes and a cursor the test sets, so a static slot's
// copy and its time conversions are checked exactly, with no mixer running.
#pragma once

#include <memory>
#include <vector>

#include <dsound.h>

struct RecordingBufferSettings {
    DWORD firstRegionBytes = 0; // nonzero: Lock splits its answer into two regions after this many bytes
    HRESULT lock = DS_OK;
    HRESULT play = DS_OK;
};

class RecordingBuffer : public IDirectSoundBuffer {
  public:
    RecordingBuffer(const DSBUFFERDESC& desc, const RecordingBufferSettings& settings)
        : settings(settings), bytes(desc.dwBufferBytes, 0xCC),
          frequency(desc.lpwfxFormat ? desc.lpwfxFormat->nSamplesPerSec : 0) {}

    RecordingBufferSettings settings;
    std::vector<BYTE> bytes;
    DWORD frequency;
    DWORD playCursor = 0;
    DWORD playFlags = 0;
    bool playing = false;
    int locks = 0;
    int unlocks = 0;
    ULONG references = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; } // the device keeps the object to inspect
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD play, LPDWORD write) override {
        if (play) *play = playCursor;
        if (write) *write = playCursor;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX, DWORD, LPDWORD) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE GetVolume(LPLONG volume) override { return *volume = 0, DS_OK; }
    HRESULT STDMETHODCALLTYPE GetPan(LPLONG pan) override { return *pan = 0, DS_OK; }
    HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD out) override { return *out = frequency, DS_OK; }
    HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override { return *status = playing, DS_OK; }
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return DSERR_ALREADYINITIALIZED; }
    HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD count, LPVOID* first, LPDWORD firstBytes, LPVOID* second,
                                   LPDWORD secondBytes, DWORD) override {
        ++locks;
        if (FAILED(settings.lock)) return settings.lock;
        const DWORD split =
            settings.firstRegionBytes && settings.firstRegionBytes < count ? settings.firstRegionBytes : count;
        *first = bytes.data() + offset;
        *firstBytes = split;
        if (second) *second = split < count ? bytes.data() + offset + split : nullptr;
        if (secondBytes) *secondBytes = count - split;
        return settings.lock;
    }
    HRESULT STDMETHODCALLTYPE Play(DWORD, DWORD, DWORD flags) override {
        playFlags = flags;
        playing = SUCCEEDED(settings.play);
        return settings.play;
    }
    HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD position) override { return playCursor = position, DS_OK; }
    HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE SetVolume(LONG) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE SetPan(LONG) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE SetFrequency(DWORD rate) override { return frequency = rate, DS_OK; }
    HRESULT STDMETHODCALLTYPE Stop() override { return playing = false, DS_OK; }
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID, DWORD, LPVOID, DWORD) override { return ++unlocks, DS_OK; }
    HRESULT STDMETHODCALLTYPE Restore() override { return DS_OK; }
};

class RecordingSoundDevice : public IDirectSound {
  public:
    RecordingBufferSettings nextBuffer;
    std::vector<std::unique_ptr<RecordingBuffer>> buffers; // every buffer made, primary first
    ULONG references = 1;

    RecordingBuffer* LastBuffer() { return buffers.empty() ? nullptr : buffers.back().get(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, LPUNKNOWN) override {
        buffers.push_back(std::make_unique<RecordingBuffer>(*desc, nextBuffer));
        *buffer = buffers.back().get();
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER, LPDIRECTSOUNDBUFFER*) override {
        return DSERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE Compact() override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE Initialize(LPCGUID) override { return DS_OK; }
};
