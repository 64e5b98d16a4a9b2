#include "msacm32/block_decoder.h"

#include <string.h>

#include <algorithm>

namespace posix_win32 {

void BlockDecoder::Decode(const BYTE* source, DWORD size, std::vector<int16_t>& pcm) {
    if (!partial.empty()) {
        const DWORD taken = std::min<DWORD>(size, blockBytes - static_cast<DWORD>(partial.size()));
        partial.insert(partial.end(), source, source + taken);
        source += taken, size -= taken;
        if (partial.size() < blockBytes) return;
        DecodeBlocks(partial.data(), 1, pcm);
        partial.clear();
    }
    const DWORD wholeBlocks = size / blockBytes;
    if (wholeBlocks) DecodeBlocks(source, wholeBlocks, pcm);
    partial.assign(source + wholeBlocks * blockBytes, source + size);
}

DWORD BlockMaxFrames(DWORD blockBytes, DWORD framesPerBlock, DWORD sourceBytes) {
    const uint64_t frames = uint64_t(sourceBytes / blockBytes) * framesPerBlock;
    return static_cast<DWORD>(std::min<uint64_t>(frames, 0xFFFFFFFFu));
}

DWORD BlockSourceBytes(DWORD blockBytes, DWORD framesPerBlock, DWORD frames) {
    const uint64_t bytes = uint64_t(frames / framesPerBlock) * blockBytes;
    return static_cast<DWORD>(std::min<uint64_t>(bytes, 0xFFFFFFFFu));
}

} // namespace posix_win32
