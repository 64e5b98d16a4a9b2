#include "msacm32/acm_stream.h"

#include <string.h>

#include <algorithm>
#include <mutex>
#include <set>

#include "msacm32/pcm_target.h"
#include "immortal.h"

namespace posix_win32 {
namespace {

struct StreamRegistry {
    std::mutex mutex;
    std::set<AcmStream*> streams;
};

StreamRegistry& Registry() {
    static Immortal<StreamRegistry> registry;
    return *registry;
}

// The bytes a format record occupies: PCM's has no cbSize, the others carry cbSize bytes behind it.
size_t FormatRecordSize(const WAVEFORMATEX& format) {
    return format.wFormatTag == WAVE_FORMAT_PCM ? 16 : sizeof(WAVEFORMATEX) + format.cbSize;
}

// Appends `frames` frames of `pcm` in the target's channel count and sample width.
void AppendTargetPcm(const int16_t* pcm, size_t frames, WORD sourceChannels, const WAVEFORMATEX& target,
                     std::vector<BYTE>& out) {
    // A conversion that decoded nothing has no sample array at all, and memcpy takes no null pointer.
    if (frames == 0) return;
    const WORD channels = target.nChannels;
    const bool sameLayout = channels == sourceChannels && target.wBitsPerSample == 16;
    const size_t start = out.size();
    out.resize(start + frames * target.nBlockAlign);
    BYTE* write = out.data() + start;
    if (sameLayout) {
        memcpy(write, pcm, frames * target.nBlockAlign);
        return;
    }
    for (size_t frame = 0; frame < frames; ++frame, pcm += sourceChannels) {
        for (WORD channel = 0; channel < channels; ++channel) {
            // Only mono and stereo are mixed: stereo to mono averages, mono to stereo repeats.
            int sample = channels == sourceChannels ? pcm[channel]
                         : sourceChannels == 1      ? pcm[0]
                                                    : (pcm[0] + pcm[1]) >> 1;
            if (target.wBitsPerSample == 8) {
                *write++ = static_cast<BYTE>((sample >> 8) + 128);
            } else {
                *write++ = static_cast<BYTE>(sample);
                *write++ = static_cast<BYTE>(sample >> 8);
            }
        }
    }
}

} // namespace

MMRESULT CreateAcmStream(const WAVEFORMATEX* source, const WAVEFORMATEX* target, std::unique_ptr<AcmStream>* stream) {
    if (!source || !target) return MMSYSERR_INVALPARAM;
    const AcmCodec* codec = FindAcmCodec(source->wFormatTag);
    if (!codec) return ACMERR_NOTPOSSIBLE;
    if (MMRESULT check = codec->CheckFormat(*source)) return check;
    if (MMRESULT check = CheckPcmTarget(*source, *target)) return check;
    if (!stream) return MMSYSERR_NOERROR;

    auto created = std::make_unique<AcmStream>();
    created->codec = codec;
    const size_t recordSize = FormatRecordSize(*source);
    created->sourceFormat.assign(std::max(recordSize, sizeof(WAVEFORMATEX)), 0);
    memcpy(created->sourceFormat.data(), source, recordSize);
    memcpy(&created->target, target, 16);
    created->target.cbSize = 0;
    created->decoder = codec->CreateDecoder(created->Source());
    if (!created->decoder) return MMSYSERR_NOMEM;
    created->pendingStart = 0;
    *stream = std::move(created);
    return MMSYSERR_NOERROR;
}

HACMSTREAM RegisterAcmStream(std::unique_ptr<AcmStream> stream) {
    std::lock_guard lock(Registry().mutex);
    // Held until the registry has room for it: a failed insertion must not leak the stream.
    Registry().streams.insert(stream.get());
    return reinterpret_cast<HACMSTREAM>(stream.release());
}

AcmStream* FindAcmStream(HACMSTREAM handle) {
    std::lock_guard lock(Registry().mutex);
    auto found = Registry().streams.find(reinterpret_cast<AcmStream*>(handle));
    return found == Registry().streams.end() ? nullptr : *found;
}

std::unique_ptr<AcmStream> UnregisterAcmStream(HACMSTREAM handle) {
    std::lock_guard lock(Registry().mutex);
    auto found = Registry().streams.find(reinterpret_cast<AcmStream*>(handle));
    if (found == Registry().streams.end()) return nullptr;
    std::unique_ptr<AcmStream> stream(*found);
    Registry().streams.erase(found);
    return stream;
}

DWORD TargetBytesFor(const AcmStream& stream, DWORD sourceBytes) {
    const uint64_t bytes =
        uint64_t(stream.codec->MaxFramesFor(stream.Source(), sourceBytes)) * stream.target.nBlockAlign;
    return static_cast<DWORD>(std::min<uint64_t>(bytes, 0xFFFFFFFFu));
}

DWORD SourceBytesFor(const AcmStream& stream, DWORD targetBytes) {
    return stream.codec->SourceBytesFor(stream.Source(), targetBytes / stream.target.nBlockAlign);
}

DWORD ConvertAcmStream(AcmStream& stream, const BYTE* source, DWORD size, BYTE* destination, DWORD capacity) {
    std::vector<BYTE>& pending = stream.pending;
    pending.erase(pending.begin(), pending.begin() + stream.pendingStart);
    stream.pendingStart = 0;
    // Even no bytes go to the decoder: one that buffers frames may still have output for them.
    stream.decoded.clear();
    stream.decoder->Decode(source, size, stream.decoded);
    const WORD channels = stream.Source().nChannels;
    AppendTargetPcm(stream.decoded.data(), stream.decoded.size() / channels, channels, stream.target, pending);
    // Only whole frames leave, so a frame is never split across two destinations.
    const DWORD available = static_cast<DWORD>(pending.size());
    const DWORD delivered = std::min(available, capacity - capacity % stream.target.nBlockAlign);
    if (delivered) memcpy(destination, pending.data(), delivered);
    stream.pendingStart = delivered;
    return delivered;
}

void RestartAcmStream(AcmStream& stream) {
    stream.pending.clear();
    stream.pendingStart = 0;
    stream.decoder->Reset();
}

} // namespace posix_win32
