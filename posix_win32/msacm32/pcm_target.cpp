#include "msacm32/pcm_target.h"

namespace posix_win32 {
namespace {

bool ChannelsConvertible(WORD from, WORD to) { return from == to || (from <= 2 && to <= 2 && to > 0); }

} // namespace

MMRESULT SuggestPcmTarget(const WAVEFORMATEX& source, const WAVEFORMATEX& fixed, DWORD flags, WAVEFORMATEX* target) {
    if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && fixed.wFormatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
    const WORD channels = (flags & ACM_FORMATSUGGESTF_NCHANNELS) ? fixed.nChannels : source.nChannels;
    const DWORD rate = (flags & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) ? fixed.nSamplesPerSec : source.nSamplesPerSec;
    const WORD bits = (flags & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) ? fixed.wBitsPerSample : 16;
    if (!ChannelsConvertible(source.nChannels, channels) || rate != source.nSamplesPerSec) return ACMERR_NOTPOSSIBLE;
    if (bits != 8 && bits != 16) return ACMERR_NOTPOSSIBLE;
    target->wFormatTag = WAVE_FORMAT_PCM;
    target->nChannels = channels;
    target->nSamplesPerSec = rate;
    target->nBlockAlign = static_cast<WORD>(channels * bits / 8);
    target->nAvgBytesPerSec = rate * target->nBlockAlign;
    target->wBitsPerSample = bits;
    return MMSYSERR_NOERROR;
}

MMRESULT CheckPcmTarget(const WAVEFORMATEX& source, const WAVEFORMATEX& target) {
    if (target.wFormatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
    const WORD bits = target.wBitsPerSample;
    if (target.nChannels == 0 || target.nSamplesPerSec == 0 || bits == 0 || bits % 8 != 0 ||
        target.nBlockAlign != target.nChannels * bits / 8)
        return MMSYSERR_INVALPARAM;
    if (bits > 16 || target.nSamplesPerSec != source.nSamplesPerSec) return ACMERR_NOTPOSSIBLE;
    return ChannelsConvertible(source.nChannels, target.nChannels) ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE;
}

} // namespace posix_win32
