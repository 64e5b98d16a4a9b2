// Where an MPEG stream's frames start and which of its decoded samples are the sound. The decode stream follows the
// frames as it reads them, so a rewind can restart on a frame with the decoder primed on the frames before it, and
// an encoder's delay and padding (from its LAME tag) are dropped at every platform alike. Bytes between frames (tags
// and padding after the last frame, junk) never reach the decoder; the frames are found again after them.
#pragma once

#include <windows.h>

#include "stream/mpeg_frames.h"
#include "wave/file_access.h"

struct MpegTimeline {
    BOOL following;        // FALSE until opened, and once a restart landed where the frames are not known
    BOOL positionKnown;    // outputPosition counts from the first audio frame
    BOOL betweenFrames;    // the bytes at nextFrame were no frame: looking for the next one
    MpegFrameHeader first; // the first audio frame's header: every frame followed must be of the same stream
    FileHandle file;       // the stream's file, for headers beyond what a read holds
    DWORD dataStart;       // file offset of the audio data
    DWORD dataLength;      // bytes of audio data
    DWORD audioFrom;       // data offset of the first audio frame, past an information frame
    DWORD trimStart;       // output samples before the sound
    DWORD trimEnd;         // output samples up to the sound's end; 0xFFFFFFFF while not known
    DWORD announcedFrames; // the tag's count of audio frames, 0 once the data has confirmed or disproved it
    DWORD announcedEnd;    // the end the tag gives, taken once the frames really end after announcedFrames
    DWORD outputPosition;  // output sample index of the next converted sample
    DWORD deliverFrom;     // converted samples before this index are dropped
    DWORD nextFrame;       // data offset of the next frame header to follow, or where the search for one goes on
    DWORD nextFrameIndex;  // its index among the audio frames
    DWORD knownEnd;        // the frames are known from audioFrom up to this data offset
    DWORD* checkpoints;    // owned: the data offset of every kCheckpointSpacing-th audio frame followed so far
    DWORD checkpointCount;
    DWORD checkpointCapacity;
};

// Starts following from the first audio frame, with `gapless` from the probe, `firstHeader` the four header bytes
// of the file's first frame, and the audio data `dataLength` bytes at `dataStart` in `file`; answers the data offset
// to start reading at.
DWORD MpegTimelineOpen(MpegTimeline* timeline, const BYTE firstHeader[4], const MpegGaplessInfo& gapless,
                       FileHandle file, DWORD dataStart, DWORD dataLength);
void MpegTimelineClose(MpegTimeline* timeline);

// Follows the frame headers in `bytes`, the `count` source bytes read from data offset `at` on, and moves the bytes
// that belong to frames to the front; answers how many those are. May read a header past the read from the file,
// leaving the file where the read ended.
DWORD MpegTimelineFollow(MpegTimeline* timeline, BYTE* bytes, DWORD at, DWORD count);

// Of a conversion's `samples` output samples (`blockAlign` bytes each) at `output`, keeps the ones that are the
// sound at the start of `output`; answers how many. Sets *ended when the sound's end has been reached.
DWORD MpegTimelineKeep(MpegTimeline* timeline, BYTE* output, DWORD samples, WORD blockAlign, BOOL* ended);

// Where a rewind to data `offset` must start reading: the first frame that begins at or after the offset, or
// earlier frames to prime the decoder with, whose output is then dropped. Reads a bounded number of frame headers
// from the file. Where the frames are not known, answers `offset` and counts no positions.
DWORD MpegTimelineRewind(MpegTimeline* timeline, DWORD offset);
