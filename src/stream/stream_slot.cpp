#include "stream/stream_slot.h"

#include <string.h>

#include "device/sound_buffers.h"
#include "platform/system_library_binding.h"
#include "stream/decode_stream.h"
#include "stream/stream_refill.h"

namespace {

constexpr DWORD kShortestBufferMs = 50;
constexpr UINT kRefillPeriodMs = 10;

// lengthMs of `format`, computed in double precision in this order. Rounded down to whole frames in each half:
// a half that ends inside a frame would shift the frame grid at every wrap and play noise.
DWORD StreamBufferBytes(const WAVEFORMATEX& format, DWORD lengthMs) {
    const DWORD bytesPerSecond = static_cast<DWORD>(format.nBlockAlign) * format.nSamplesPerSec;
    const double bytes = static_cast<double>(bytesPerSecond) * 0.001 * static_cast<double>(lengthMs);
    const DWORD exact = static_cast<DWORD>(static_cast<uint64_t>(bytes));
    const DWORD twoFrames = 2u * format.nBlockAlign;
    return twoFrames ? exact - exact % twoFrames : exact;
}

bool PlayRefused(HRESULT result) {
    return result == DSERR_INVALIDPARAM || result == DSERR_INVALIDCALL || result == DSERR_PRIOLEVELNEEDED ||
           result == DSERR_BUFFERLOST;
}

} // namespace

BOOL StreamOpen(SoundSlot* slot, LPCSTR path, DWORD lengthMs, DWORD) {
    if (lengthMs < kShortestBufferMs) return FALSE;
    slot->decodeStream = DecodeStreamOpen(path, lengthMs, &slot->outputFormat);
    if (slot->decodeStream) {
        slot->bufferBytes = StreamBufferBytes(slot->outputFormat, lengthMs);
        slot->buffer = CreateSecondaryBuffer(soundDevice.device, &slot->outputFormat, slot->bufferBytes,
                                             soundDevice.globalFocus, soundDevice.bufferLocation);
    }
    if (!slot->buffer) {
        DecodeStreamClose(slot->decodeStream);
        memset(slot, 0, sizeof *slot);
        return FALSE;
    }
    slot->fillCallback = &FillCallback;
    slot->kind = Stream;
    return TRUE;
}

void StreamClose(SoundSlot* slot, DWORD slotNumber) {
    if (!slot->buffer) return;
    EndRefills(slot, slotNumber);
    slot->buffer->Stop();
    DecodeStreamRewind(slot->decodeStream, 0);
    slot->buffer->Release();
    slot->buffer = nullptr;
    DecodeStreamClose(slot->decodeStream);
    memset(slot, 0, sizeof *slot);
}

BOOL StreamPlay(SoundSlot* slot, BOOL loop, DWORD loopOffset, DWORD slotNumber) {
    StoreLoop(slot, loop, loopOffset);
    if (LoadTimerId(slot)) return TRUE;
    // A refill that has just ended the sound may still be finishing.
    EndRefills(slot, slotNumber);
    slot->buffer->Stop();
    DWORD cursor = 1; // no cursor reported counts as a buffer stopped mid-way: no prefill
    slot->buffer->GetCurrentPosition(&cursor, nullptr);
    if (cursor == 0) {
        slot->lastFilledHalf = TRUE;
        slot->buffer->SetCurrentPosition(slot->bufferBytes / 2);
        StreamRefill(0, 0, reinterpret_cast<DWORD_PTR>(slot), slotNumber, 0);
        slot->buffer->SetCurrentPosition(0);
    }
    const TimerEntryTable* timer = TimerEntries();
    // Without TIME_KILL_SYNCHRONOUS Windows may still start a callback after timeKillEvent has returned, and a
    // refill could then run on a slot that a close or the release has freed.
    StoreTimerId(slot, timer ? timer->timeSetEvent(kRefillPeriodMs, 0, &StreamRefill, reinterpret_cast<DWORD_PTR>(slot),
                                                   TIME_PERIODIC | TIME_KILL_SYNCHRONOUS)
                             : 0);
    if (PlayRefused(slot->buffer->Play(0, 0, DSBPLAY_LOOPING))) {
        // Left running, the timer would make every later play answer 1 without playing.
        EndRefills(slot, slotNumber);
        return FALSE;
    }
    return TRUE;
}

BOOL StreamPause(SoundSlot* slot, DWORD slotNumber) {
    // Waiting here too, before the stop: a refill at the end of the data could otherwise set the paused buffer
    // playing again.
    EndRefills(slot, slotNumber);
    slot->buffer->Stop();
    return TRUE;
}

BOOL StreamStop(SoundSlot* slot, DWORD slotNumber) {
    EndRefills(slot, slotNumber);
    slot->buffer->Stop();
    DecodeStreamRewind(slot->decodeStream, 0);
    // What the buffer still holds is the old position's: from the cursor at 0 the next play fills it from the start.
    slot->buffer->SetCurrentPosition(0);
    slot->endOfData = FALSE;
    return TRUE;
}
