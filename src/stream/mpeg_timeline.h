// Where an MPEG stream's frames start and which of its decoded samples are the sound. The decode stream follows the
// frames as it reads them, so a rewind can restart on a frame with the decoder primed on the frames before it, and
// an encoder's delay and padding (from its LAME tag) are dropped at every platform alike.
#pragma once

#include <windows.h>

#include "stream/mpeg_frames.h"
#include "wave/file_access.h"

struct MpegTimeline {
    BOOL following;        // FALSE until opened, and once the frames cannot be followed (damaged data)
    BOOL positionKnown;    // outputPosition counts from the first audio frame
    MpegFrameHeader first; // the first audio frame's header: every frame followed must be of the same stream
    DWORD audioFrom;       // data offset of the first audio frame, past an information frame
    DWORD trimStart;       // output samples before the sound
    DWORD trimEnd;         // output samples up to the sound's end; 0xFFFFFFFF when not known
    DWORD outputPosition;  // output sample index of the next converted sample
    DWORD deliverFrom;     // converted samples before this index are dropped
    DWORD nextFrame;       // data offset of the next frame header to follow
    DWORD nextFrameIndex;  // its index among the audio frames
    BYTE lastBytes[3];     // the last three bytes followed, for a header that straddles two reads
    DWORD* checkpoints;    // owned: the data offset of every kCheckpointSpacing-th audio frame followed so far
    DWORD checkpointCount;
    DWORD checkpointCapacity;
};

// Starts following from the first audio frame, with `gapless` from the probe and `firstHeader` the four header
// bytes of the file's first frame; answers the data offset to start reading at.
DWORD MpegTimelineOpen(MpegTimeline* timeline, const BYTE firstHeader[4], const MpegGaplessInfo& gapless);
void MpegTimelineClose(MpegTimeline* timeline);

// Follows the frame headers in `bytes`, the `count` source bytes read from data offset `at` on.
void MpegTimelineFollow(MpegTimeline* timeline, const BYTE* bytes, DWORD at, DWORD count);

// Of a conversion's `samples` output samples (`blockAlign` bytes each) at `output`, keeps the ones that are the
// sound at the start of `output`; answers how many. Sets *ended when the sound's end has been reached.
DWORD MpegTimelineKeep(MpegTimeline* timeline, BYTE* output, DWORD samples, WORD blockAlign, BOOL* ended);

// Where a rewind to data `offset` must start reading: the first frame that begins at or after the offset, or
// earlier frames to prime the decoder with, whose output is then dropped. Reads frame headers from `file` (data at
// `dataStart`), a bounded number. Where the frames are not known, answers `offset` and counts no positions.
DWORD MpegTimelineRewind(MpegTimeline* timeline, FileHandle file, DWORD dataStart, DWORD offset);
