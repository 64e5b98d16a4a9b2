// Decoders of formats made of fixed-size blocks (PCM frames, ADPCM blocks): whole blocks are decoded, a trailing
// part block waits for the rest of its bytes.
#pragma once

#include "msacm32/acm_codec.h"

namespace posix_win32 {

class BlockDecoder : public AcmDecoder {
  public:
    explicit BlockDecoder(DWORD blockBytes) : blockBytes(blockBytes) { partial.reserve(blockBytes); }
    void Decode(const BYTE* source, DWORD size, std::vector<int16_t>& pcm) final;
    void Reset() override { partial.clear(); }

  protected:
    virtual void DecodeBlocks(const BYTE* blocks, DWORD blockCount, std::vector<int16_t>& pcm) = 0;

  private:
    DWORD blockBytes;
    std::vector<BYTE> partial;
};

// Sizes of block formats: a block of `blockBytes` decodes to `framesPerBlock` sample frames.
DWORD BlockMaxFrames(DWORD blockBytes, DWORD framesPerBlock, DWORD sourceBytes);
DWORD BlockSourceBytes(DWORD blockBytes, DWORD framesPerBlock, DWORD frames);

} // namespace posix_win32
