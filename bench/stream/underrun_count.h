// Finds, in what an output recorded, the halves that played something other than the stream's next data.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

struct UnderrunCount {
    size_t staleHalves = 0;   // halves played again from the buffer's old content: the cursor came before the refill
    size_t damagedHalves = 0; // halves in place but partly wrong: a refill finished while the mix was reading them
    size_t comparedHalves = 0;
    bool lostTrack = false; // the recording could not be matched again after a difference
};

// `recorded` and `expected` are interleaved 16-bit stereo; `expected` is the data as the fills deliver it, half
// after half, and `recorded` holds it somewhere after a stretch of leading silence.
UnderrunCount CountUnderruns(const std::vector<int16_t>& recorded, const std::vector<int16_t>& expected,
                             size_t halfFrames);
