#include "dsound/secondary_buffer.h"

#include <string.h>

#include <chrono>
#include <mutex>

#include "dsound/mixer/control_gains.h"
#include "dsound/direct_sound.h"
#include "dsound/mixer/pcm_format.h"
#include "platform_log.h"

namespace posix_win32 {

SecondaryBuffer::SecondaryBuffer(DirectSoundDevice& device, const DSBUFFERDESC& desc, DWORD bufferBytes)
    : BufferControls(device, desc.dwFlags), format(*desc.lpwfxFormat), bufferBytes(bufferBytes),
      memory(new int16_t[(bufferBytes + 1) / 2]), memoryBytes(reinterpret_cast<uint8_t*>(memory.get())) {
    // A new buffer holds silence in its own format.
    memset(memoryBytes, format.wBitsPerSample == 8 ? 0x80 : 0, bufferBytes);
    voice.memory = memoryBytes;
    voice.frames = bufferBytes / format.nBlockAlign;
    voice.channels = format.nChannels;
    voice.bits = format.wBitsPerSample;
    voice.frequency = format.nSamplesPerSec;
    {
        std::lock_guard lock(device.DeviceMixer().ControlMutex());
        device.DeviceMixer().AddVoice(&voice);
    }
    // Only a buffer that is built holds the device: a constructor that throws runs no destructor to let it go.
    device.AddRef();
}

SecondaryBuffer::~SecondaryBuffer() {
    {
        std::lock_guard lock(device.DeviceMixer().ControlMutex());
        device.DeviceMixer().RemoveVoice(&voice);
    }
    device.Release();
}

ULONG SecondaryBuffer::AddRef() { return ++refCount; }

ULONG SecondaryBuffer::Release() {
    ULONG count = --refCount;
    if (count == 0) delete this;
    return count;
}

HRESULT SecondaryBuffer::GetCaps(LPDSBCAPS caps) { return AnswerCaps(caps, bufferBytes); }

HRESULT SecondaryBuffer::GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) {
    Mixer& mixer = device.DeviceMixer();
    const uint64_t state = voice.state.load(std::memory_order_acquire);
    DWORD play = StateFrame(state) * format.nBlockAlign;
    if (playCursor) *playCursor = play;
    // The write cursor leads by what the next mixing block reads; a stopped buffer has no lead.
    if (writeCursor)
        *writeCursor =
            StatePlaying(state) ? (play + mixer.LookaheadFrames(voice) * format.nBlockAlign) % bufferBytes : play;
    return DS_OK;
}

HRESULT SecondaryBuffer::GetFormat(LPWAVEFORMATEX out, DWORD sizeAllocated, LPDWORD sizeWritten) {
    return AnswerFormat(format, out, sizeAllocated, sizeWritten);
}

HRESULT SecondaryBuffer::GetFrequency(LPDWORD out) {
    if (!out) return DSERR_INVALIDPARAM;
    if (!(flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    *out = voice.frequency.load(std::memory_order_relaxed);
    return DS_OK;
}

HRESULT SecondaryBuffer::GetStatus(LPDWORD status) {
    if (!status) return DSERR_INVALIDPARAM;
    // Stopped at once on a Stop, though the mix still fades the sound out for a few milliseconds.
    *status = 0;
    if (StatePlaying(voice.state.load(std::memory_order_acquire)))
        *status = DSBSTATUS_PLAYING | (voice.looping.load(std::memory_order_relaxed) ? DSBSTATUS_LOOPING : 0);
    return DS_OK;
}

// A refill that came after the play cursor had entered the region it was to write: the cursor played past the end
// of everything written for it, and the old data was heard again. Each lock while playing extends that end (counted
// in bytes played, which never wrap); a lock that finds the cursor beyond it was late. Told at most once a second.
void SecondaryBuffer::ReportLateWrite(DWORD offset, DWORD bytes) {
    static std::mutex reportMutex;
    static RateLimitedLog lateWrites(1000);
    bool late = false;
    {
        std::lock_guard lock(device.DeviceMixer().ControlMutex());
        const uint64_t state = voice.state.load(std::memory_order_acquire);
        if (!StatePlaying(state)) {
            freshKnown = false;
            return;
        }
        const uint64_t played = voice.playedFrames.load(std::memory_order_relaxed) * format.nBlockAlign;
        const DWORD cursor = StateFrame(state) * format.nBlockAlign;
        late = freshKnown && played > freshEnd;
        freshEnd = played + (offset + bufferBytes - cursor) % bufferBytes + bytes;
        freshKnown = true;
    }
    if (!late) return;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::lock_guard lock(reportMutex);
    if (const uint32_t events = lateWrites.Due(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()))
        PlatformLog("a stream refill came late: the play cursor had entered the half it writes (%u time%s since the "
                    "last such line)",
                    events, events == 1 ? "" : "s");
}

// Lock takes no lock: the regions are the buffer's own memory, and the mixer reads only what lies between the play
// and the write cursor (plus its own copy of the frame behind), so a slow fill elsewhere never stalls the device.
HRESULT SecondaryBuffer::Lock(DWORD offset, DWORD bytes, LPVOID* audio1, LPDWORD audioBytes1, LPVOID* audio2,
                              LPDWORD audioBytes2, DWORD lockFlags) {
    if (!audio1 || !audioBytes1) return DSERR_INVALIDPARAM;
    if (lockFlags & DSBLOCK_FROMWRITECURSOR) GetCurrentPosition(nullptr, &offset);
    if (lockFlags & DSBLOCK_ENTIREBUFFER) bytes = bufferBytes;
    if (offset >= bufferBytes || bytes > bufferBytes) return DSERR_INVALIDPARAM;
    if (PlatformLogEnabled()) ReportLateWrite(offset, bytes);
    uint8_t* base = memoryBytes;
    *audio1 = base + offset;
    if (offset + bytes <= bufferBytes) {
        *audioBytes1 = bytes;
        if (audio2) *audio2 = nullptr;
        if (audioBytes2) *audioBytes2 = 0;
    } else {
        // The range wraps: the second region starts at the buffer's beginning.
        *audioBytes1 = bufferBytes - offset;
        if (audio2) *audio2 = base;
        if (audioBytes2) *audioBytes2 = audio2 ? bytes - *audioBytes1 : 0;
    }
    return DS_OK;
}

HRESULT SecondaryBuffer::Play(DWORD reserved, DWORD priority, DWORD playFlags) {
    if (reserved != 0) return DSERR_INVALIDPARAM;
    if (priority != 0 && !(flags & DSBCAPS_LOCDEFER)) return DSERR_INVALIDPARAM;
    if (device.CooperativeLevel() == 0) return DSERR_PRIOLEVELNEEDED;
    std::lock_guard lock(device.DeviceMixer().ControlMutex());
    // On a playing buffer this only changes the loop flag: a looping buffer made one-shot plays on to its end.
    voice.looping.store((playFlags & DSBPLAY_LOOPING) != 0, std::memory_order_relaxed);
    PlayVoice(voice);
    return DS_OK;
}

HRESULT SecondaryBuffer::SetCurrentPosition(DWORD newPosition) {
    if (newPosition >= bufferBytes) return DSERR_INVALIDPARAM;
    std::lock_guard lock(device.DeviceMixer().ControlMutex());
    SeekVoice(voice, newPosition / format.nBlockAlign);
    freshKnown = false;
    return DS_OK;
}

HRESULT SecondaryBuffer::SetFormat(LPCWAVEFORMATEX) { return DSERR_INVALIDCALL; }

void SecondaryBuffer::ApplyGains() {
    float left, right;
    PanToGains(pan, &left, &right);
    voice.volumeGain.store(VolumeToGain(volume), std::memory_order_relaxed);
    voice.leftPanGain.store(left, std::memory_order_relaxed);
    voice.rightPanGain.store(right, std::memory_order_relaxed);
}

HRESULT SecondaryBuffer::SetFrequency(DWORD frequency) {
    if (!(flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    if (frequency == DSBFREQUENCY_ORIGINAL) frequency = format.nSamplesPerSec;
    if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard lock(device.DeviceMixer().ControlMutex());
    // The kernel is made here, on the host's thread, before the mix can see the rate that needs it.
    PrepareResampler((uint64_t(frequency) << 32) / device.DeviceMixer().OutputFormat().rate);
    voice.frequency.store(frequency, std::memory_order_release);
    return DS_OK;
}

HRESULT SecondaryBuffer::Stop() {
    std::lock_guard lock(device.DeviceMixer().ControlMutex());
    StopVoice(voice);
    // A block that began before the stop may still read the buffer; once it is over the memory is the host's, and
    // the fade-out plays from the mixer's own copy.
    device.DeviceMixer().WaitForRenderInProgress();
    return DS_OK;
}

// Compared as addresses: a foreign pointer has no defined order against the buffer's own.
bool SecondaryBuffer::Holds(const void* region, DWORD bytes) const {
    uintptr_t start = reinterpret_cast<uintptr_t>(region), base = reinterpret_cast<uintptr_t>(memoryBytes);
    return start >= base && bytes <= bufferBytes && start - base <= bufferBytes - bytes;
}

HRESULT SecondaryBuffer::Unlock(LPVOID audio1, DWORD audioBytes1, LPVOID audio2, DWORD audioBytes2) {
    if (!audio1 || !Holds(audio1, audioBytes1)) return DSERR_INVALIDPARAM;
    if (audio2 && !Holds(audio2, audioBytes2)) return DSERR_INVALIDPARAM;
    // Orders the data written under the lock before the mixer's next read of it.
    voice.written.fetch_add(1, std::memory_order_release);
    return DS_OK;
}

// Memory is never lost here: it is ordinary process memory.
HRESULT SecondaryBuffer::Restore() { return DS_OK; }

} // namespace posix_win32
