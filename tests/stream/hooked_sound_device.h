// The recording device with a hook on every buffer call that a stream slot makes, so a test can run a host call
// at the exact moment a refill on the timer thread reaches a given step.
#pragma once

#include <atomic>
#include <functional>

#include "static/recording_sound_device.h"

struct BufferHooks {
    std::function<void()> onLock;   // before Lock answers
    std::function<void()> onPlay;   // before Play answers
    std::function<void()> onUnlock; // before Unlock answers
    std::function<void()> onStop;   // before Stop answers
};

class HookedBuffer : public RecordingBuffer {
  public:
    HookedBuffer(const DSBUFFERDESC& desc, const RecordingBufferSettings& settings) : RecordingBuffer(desc, settings) {}

    BufferHooks hooks;
    std::atomic<int> stops{0};
    std::atomic<bool> playingNow{false}; // `playing`, safe to read from any thread

    HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD count, LPVOID* first, LPDWORD firstBytes, LPVOID* second,
                                   LPDWORD secondBytes, DWORD flags) override {
        if (hooks.onLock) hooks.onLock();
        return RecordingBuffer::Lock(offset, count, first, firstBytes, second, secondBytes, flags);
    }
    HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) override {
        if (hooks.onPlay) hooks.onPlay();
        const HRESULT result = RecordingBuffer::Play(reserved, priority, flags);
        playingNow = playing;
        return result;
    }
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID first, DWORD firstBytes, LPVOID second, DWORD secondBytes) override {
        if (hooks.onUnlock) hooks.onUnlock();
        return RecordingBuffer::Unlock(first, firstBytes, second, secondBytes);
    }
    HRESULT STDMETHODCALLTYPE Stop() override {
        if (hooks.onStop) hooks.onStop();
        ++stops;
        playingNow = false;
        return RecordingBuffer::Stop();
    }
};

class HookedSoundDevice : public RecordingSoundDevice {
  public:
    HookedBuffer* Buffer(size_t index) { return static_cast<HookedBuffer*>(buffers.at(index).get()); }
    HookedBuffer* LastHookedBuffer() { return static_cast<HookedBuffer*>(LastBuffer()); }

    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, LPUNKNOWN) override {
        buffers.push_back(std::make_unique<HookedBuffer>(*desc, nextBuffer));
        *buffer = buffers.back().get();
        return DS_OK;
    }
};
