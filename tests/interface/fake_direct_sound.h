// A DirectSound device and buffers that record what the library asks of them and answer chosen results.
#pragma once

#include <string.h>

#include <vector>

#include <dsound.h>

struct FakeBufferResults {
    HRESULT setFormat = DS_OK;
    HRESULT play = DS_OK;
    HRESULT setVolume = DS_OK;
    HRESULT getVolume = DS_OK;
};

class FakeSoundBuffer : public IDirectSoundBuffer {
  public:
    explicit FakeSoundBuffer(const DSBUFFERDESC& desc, const FakeBufferResults& results)
        : desc(desc), results(results) {}

    DSBUFFERDESC desc;
    FakeBufferResults results;
    LONG volume = 0;
    LONG pan = 0;
    DWORD frequency = 44100;
    ULONG references = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD play, LPDWORD write) override {
        if (play) *play = 0;
        if (write) *write = 0;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX, DWORD, LPDWORD) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE GetVolume(LPLONG out) override {
        if (FAILED(results.getVolume)) return results.getVolume;
        *out = volume;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPan(LPLONG out) override {
        *out = pan;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD out) override {
        *out = frequency;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override {
        *status = 0;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return DSERR_ALREADYINITIALIZED; }
    HRESULT STDMETHODCALLTYPE Lock(DWORD, DWORD, LPVOID*, LPDWORD, LPVOID*, LPDWORD, DWORD) override {
        return DSERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE Play(DWORD, DWORD, DWORD) override { return results.play; }
    HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX format) override {
        if (format) memcpy(&formatSet, format, sizeof formatSet);
        return results.setFormat;
    }
    HRESULT STDMETHODCALLTYPE SetVolume(LONG value) override {
        if (FAILED(results.setVolume)) return results.setVolume;
        volume = value;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE SetPan(LONG value) override {
        pan = value;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFrequency(DWORD value) override {
        frequency = value;
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID, DWORD, LPVOID, DWORD) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE Restore() override { return DS_OK; }

    WAVEFORMATEX formatSet{};
};

struct FakeDeviceResults {
    HRESULT initialize = DS_OK;
    HRESULT cooperativeLevel = DS_OK;
    HRESULT createPrimary = DS_OK;
    FakeBufferResults buffers;
};

// Everything the fake devices of one test saw, kept after they are released.
struct FakeDeviceLog {
    int devicesCreated = 0;
    int devicesReleased = 0;
    DWORD cooperativeLevel = 0;
    std::vector<DSBUFFERDESC> buffersCreated;
};

class FakeDirectSound : public IDirectSound {
  public:
    FakeDirectSound(const FakeDeviceResults& results, FakeDeviceLog& log) : results(results), log(log) {
        ++log.devicesCreated;
    }

    FakeDeviceResults results;
    FakeDeviceLog& log;
    ULONG references = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references;
        if (left == 0) {
            ++log.devicesReleased;
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, LPUNKNOWN) override {
        log.buffersCreated.push_back(*desc);
        if ((desc->dwFlags & DSBCAPS_PRIMARYBUFFER) && FAILED(results.createPrimary)) return results.createPrimary;
        *buffer = new FakeSoundBuffer(*desc, results.buffers);
        return DS_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER, LPDIRECTSOUNDBUFFER*) override {
        return DSERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD level) override {
        log.cooperativeLevel = level;
        return results.cooperativeLevel;
    }
    HRESULT STDMETHODCALLTYPE Compact() override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD) override { return DS_OK; }
    HRESULT STDMETHODCALLTYPE Initialize(LPCGUID) override { return results.initialize; }
};
