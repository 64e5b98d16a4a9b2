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

// A method that runs the script's hook and answer for its name before (or instead of) the inner object's.
#define SCRIPTED(name, parameters, arguments)                                                                          \
    HRESULT STDMETHODCALLTYPE name parameters override {                                                               \
        return script.Run(#name, [&] { return inner->name arguments; });                                               \
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
    SCRIPTED(GetCaps, (LPDSBCAPS c), (c))
    SCRIPTED(GetCurrentPosition, (LPDWORD p, LPDWORD w), (p, w))
    SCRIPTED(GetFormat, (LPWAVEFORMATEX f, DWORD s, LPDWORD w), (f, s, w))
    SCRIPTED(GetVolume, (LPLONG v), (v))
    SCRIPTED(GetPan, (LPLONG p), (p))
    SCRIPTED(GetFrequency, (LPDWORD f), (f))
    SCRIPTED(GetStatus, (LPDWORD s), (s))
    SCRIPTED(Initialize, (LPDIRECTSOUND d, LPCDSBUFFERDESC b), (d, b))
    SCRIPTED(Lock, (DWORD o, DWORD n, LPVOID* a1, LPDWORD b1, LPVOID* a2, LPDWORD b2, DWORD f),
             (o, n, a1, b1, a2, b2, f))
    SCRIPTED(Play, (DWORD r, DWORD p, DWORD f), (r, p, f))
    SCRIPTED(SetCurrentPosition, (DWORD p), (p))
    SCRIPTED(SetFormat, (LPCWAVEFORMATEX f), (f))
    SCRIPTED(SetVolume, (LONG v), (v))
    SCRIPTED(SetPan, (LONG p), (p))
    SCRIPTED(SetFrequency, (DWORD f), (f))
    SCRIPTED(Stop, (), ())
    SCRIPTED(Unlock, (LPVOID a1, DWORD b1, LPVOID a2, DWORD b2), (a1, b1, a2, b2))
    SCRIPTED(Restore, (), ())
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
    SCRIPTED(GetCaps, (LPDSCAPS c), (c))
    SCRIPTED(DuplicateSoundBuffer, (LPDIRECTSOUNDBUFFER o, LPDIRECTSOUNDBUFFER* d), (o, d))
    SCRIPTED(SetCooperativeLevel, (HWND w, DWORD l), (w, l))
    SCRIPTED(Compact, (), ())
    SCRIPTED(GetSpeakerConfig, (LPDWORD c), (c))
    SCRIPTED(SetSpeakerConfig, (DWORD c), (c))
    SCRIPTED(Initialize, (LPCGUID g), (g))
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
