// The platform's own DirectSound behind a script: a named call may answer a chosen result instead of running, and
// a hook may run as a buffer call begins, so a test can meet a refill on the timer thread at an exact step.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <dsound.h>

#include "seams/com_seams.h"

struct DeviceScript {
    std::map<std::string, HRESULT> answers;
    std::map<std::string, std::function<void()>> hooks;
    std::vector<DWORD> bufferFlags; // of every buffer asked for, in turn

    template <typename Call> HRESULT Run(const char* name, Call call) {
        if (auto hook = hooks.find(name); hook != hooks.end()) hook->second();
        auto answer = answers.find(name);
        return answer != answers.end() ? answer->second : call();
    }
};

#define SCRIPTED(name, call)                                                                                           \
    {                                                                                                                  \
        return script.Run(#name, [&] { return inner->call; });                                                         \
    }

template <typename Interface> class Scripted : public Interface {
  public:
    Scripted(Interface* inner, DeviceScript& script) : inner(inner), script(script) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        const HRESULT result = inner->QueryInterface(iid, object);
        if (result == S_OK) *object = this;
        return result;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--references > 0) return references;
        inner->Release();
        delete this;
        return 0;
    }

  protected:
    Interface* inner;
    DeviceScript& script;
    ULONG references = 1;
};

class ScriptedBuffer final : public Scripted<IDirectSoundBuffer> {
  public:
    using Scripted::Scripted;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS c) override SCRIPTED(GetCaps, GetCaps(c)) HRESULT STDMETHODCALLTYPE
        GetCurrentPosition(LPDWORD p, LPDWORD w) override
        SCRIPTED(GetCurrentPosition, GetCurrentPosition(p, w)) HRESULT STDMETHODCALLTYPE
        GetFormat(LPWAVEFORMATEX f, DWORD s, LPDWORD w) override
        SCRIPTED(GetFormat, GetFormat(f, s, w)) HRESULT STDMETHODCALLTYPE GetVolume(LPLONG v) override
        SCRIPTED(GetVolume, GetVolume(v)) HRESULT STDMETHODCALLTYPE GetPan(LPLONG p) override
        SCRIPTED(GetPan, GetPan(p)) HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD f) override
        SCRIPTED(GetFrequency, GetFrequency(f)) HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD s) override
        SCRIPTED(GetStatus, GetStatus(s)) HRESULT STDMETHODCALLTYPE
        Initialize(LPDIRECTSOUND d, LPCDSBUFFERDESC b) override
        SCRIPTED(Initialize, Initialize(d, b)) HRESULT STDMETHODCALLTYPE
        Lock(DWORD o, DWORD n, LPVOID* a1, LPDWORD b1, LPVOID* a2, LPDWORD b2, DWORD f) override
        SCRIPTED(Lock, Lock(o, n, a1, b1, a2, b2, f)) HRESULT STDMETHODCALLTYPE Play(DWORD r, DWORD p, DWORD f) override
        SCRIPTED(Play, Play(r, p, f)) HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD p) override
        SCRIPTED(SetCurrentPosition, SetCurrentPosition(p)) HRESULT STDMETHODCALLTYPE
        SetFormat(LPCWAVEFORMATEX f) override SCRIPTED(SetFormat, SetFormat(f)) HRESULT STDMETHODCALLTYPE
        SetVolume(LONG v) override SCRIPTED(SetVolume, SetVolume(v)) HRESULT STDMETHODCALLTYPE SetPan(LONG p) override
        SCRIPTED(SetPan, SetPan(p)) HRESULT STDMETHODCALLTYPE SetFrequency(DWORD f) override
        SCRIPTED(SetFrequency, SetFrequency(f)) HRESULT STDMETHODCALLTYPE Stop() override
        SCRIPTED(Stop, Stop()) HRESULT STDMETHODCALLTYPE Unlock(LPVOID a1, DWORD b1, LPVOID a2, DWORD b2) override
        SCRIPTED(Unlock, Unlock(a1, b1, a2, b2)) HRESULT STDMETHODCALLTYPE Restore() override
        SCRIPTED(Restore, Restore())
};

class ScriptedDevice final : public Scripted<IDirectSound> {
  public:
    using Scripted::Scripted;
    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer,
                                                LPUNKNOWN outer) override {
        script.bufferFlags.push_back(desc->dwFlags);
        const HRESULT result =
            script.Run("CreateSoundBuffer", [&] { return inner->CreateSoundBuffer(desc, buffer, outer); });
        if (result == DS_OK) *buffer = new ScriptedBuffer(*buffer, script);
        return result;
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS c) override SCRIPTED(GetCaps, GetCaps(c)) HRESULT STDMETHODCALLTYPE
        DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER o, LPDIRECTSOUNDBUFFER* d) override
        SCRIPTED(DuplicateSoundBuffer, DuplicateSoundBuffer(o, d)) HRESULT STDMETHODCALLTYPE
        SetCooperativeLevel(HWND w, DWORD l) override
        SCRIPTED(SetCooperativeLevel, SetCooperativeLevel(w, l)) HRESULT STDMETHODCALLTYPE Compact() override
        SCRIPTED(Compact, Compact()) HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD c) override
        SCRIPTED(GetSpeakerConfig, GetSpeakerConfig(c)) HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD c) override
        SCRIPTED(SetSpeakerConfig, SetSpeakerConfig(c)) HRESULT STDMETHODCALLTYPE Initialize(LPCGUID g) override
        SCRIPTED(Initialize, Initialize(g))
};

// Every DirectSound the library creates from now on comes with `script` over it.
inline void ScriptDevices(DeviceScript& script) {
    posix_win32::SetCreateInstanceHook([&script](REFCLSID clsid, LPUNKNOWN, DWORD, REFIID iid, void** object) {
        const HRESULT result =
            script.Run("CoCreateInstance", [&] { return posix_win32::CreateBuiltinInstance(clsid, iid, object); });
        if (result == S_OK)
            *object = static_cast<IDirectSound*>(new ScriptedDevice(static_cast<IDirectSound*>(*object), script));
        return result;
    });
}
