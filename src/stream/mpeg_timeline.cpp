#include "stream/mpeg_timeline.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Every synthesis filterbank delays the decoded sound by 529 samples; an encoder's delay is counted before that.
constexpr DWORD kDecoderDelay = 529;
constexpr DWORD kUnknownEnd = 0xFFFFFFFF;
constexpr DWORD kCheckpointSpacing = 64;
// A Layer III frame may take up to 511 bytes of its data from the frames before it; the frames fed ahead of a
// restart cover that and the filterbank's memory.
constexpr DWORD kPrimerBytes = 1024;
constexpr DWORD kPrimerFrames = 2;
// How far a rewind's walk looks past stray bytes between frames for the next frame; more stray bytes than this
// restart the old way, at the offset itself.
constexpr DWORD kStrayBytesLimit = 4096;

void AddCheckpoint(MpegTimeline* timeline, DWORD offset) {
    if (timeline->checkpointCount == timeline->checkpointCapacity) {
        const DWORD capacity = timeline->checkpointCapacity ? timeline->checkpointCapacity * 2 : 64;
        void* grown = realloc(timeline->checkpoints, capacity * sizeof(DWORD));
        if (!grown) {
            timeline->following = FALSE;
            return;
        }
        timeline->checkpoints = static_cast<DWORD*>(grown);
        timeline->checkpointCapacity = capacity;
    }
    timeline->checkpoints[timeline->checkpointCount++] = offset;
}

BOOL ReadHeaderAt(FileHandle file, DWORD dataStart, DWORD offset, BYTE header[4]) {
    return FileSeek(file, static_cast<LONG>(dataStart + offset), FileFromStart) != -1 && FileRead(file, header, 4) == 4;
}

// The four bytes at data `offset`, from the read [at, end) where it holds them and from the file where it does not
// (the file is then left at the read's end). FALSE when the data ends first.
BOOL HeaderBytes(const MpegTimeline* timeline, const BYTE* bytes, DWORD at, DWORD end, DWORD offset, BYTE header[4]) {
    if (offset > timeline->dataLength || timeline->dataLength - offset < 4) return FALSE;
    if (offset >= at && offset + 4 <= end) {
        memcpy(header, bytes + (offset - at), 4);
        return TRUE;
    }
    const BOOL read = ReadHeaderAt(timeline->file, timeline->dataStart, offset, header);
    FileSeek(timeline->file, static_cast<LONG>(timeline->dataStart + end), FileFromStart);
    return read;
}

// The frame of this stream whose header is at data `offset`, if there is one; its length in *frameBytes.
BOOL StreamFrameAt(const MpegTimeline* timeline, const BYTE* bytes, DWORD at, DWORD end, DWORD offset,
                   DWORD* frameBytes) {
    BYTE header[4];
    MpegFrameHeader frame;
    if (!HeaderBytes(timeline, bytes, at, end, offset, header) || !ReadMpegFrameHeader(header, &frame) ||
        !SameMpegStream(frame, timeline->first))
        return FALSE;
    *frameBytes = frame.bytes;
    return TRUE;
}

// A sync found between frames is taken only when the frame it starts ends where another one begins, or where the
// data ends: a tag's bytes may hold a header by chance, rarely two in a row.
BOOL FrameFoundAt(const MpegTimeline* timeline, const BYTE* bytes, DWORD at, DWORD end, DWORD offset) {
    DWORD frameBytes = 0, following = 0;
    if (!StreamFrameAt(timeline, bytes, at, end, offset, &frameBytes)) return FALSE;
    const DWORD next = offset + frameBytes;
    return next == timeline->dataLength || StreamFrameAt(timeline, bytes, at, end, next, &following);
}

// Takes the frame of `frameBytes` at timeline->nextFrame as followed.
void PassFrame(MpegTimeline* timeline, DWORD frameBytes) {
    const DWORD index = timeline->nextFrameIndex;
    if (index % kCheckpointSpacing == 0 && index / kCheckpointSpacing == timeline->checkpointCount)
        AddCheckpoint(timeline, timeline->nextFrame);
    timeline->nextFrame += frameBytes;
    timeline->nextFrameIndex = index + 1;
    if (timeline->nextFrame > timeline->knownEnd) timeline->knownEnd = timeline->nextFrame;
}

// The tag's frame count holds only when the frames really end after that many: two files joined, or a tag an editor
// left stale, go on past it, and their end is the data's.
void CheckAnnouncedEnd(MpegTimeline* timeline, const BYTE* bytes, DWORD at, DWORD end) {
    if (timeline->announcedFrames == 0 || timeline->nextFrameIndex != timeline->announcedFrames) return;
    DWORD frameBytes = 0;
    if (!StreamFrameAt(timeline, bytes, at, end, timeline->nextFrame, &frameBytes))
        timeline->trimEnd = timeline->announcedEnd;
    timeline->announcedFrames = 0;
}

// The next frame after stray bytes at data `offset`, found as the following found it, or kUnknownEnd when there is
// none within kStrayBytesLimit.
DWORD FrameAfterStrayBytes(const MpegTimeline* timeline, DWORD offset) {
    BYTE bytes[kStrayBytesLimit];
    if (FileSeek(timeline->file, static_cast<LONG>(timeline->dataStart + offset), FileFromStart) == -1)
        return kUnknownEnd;
    const DWORD end = offset + FileRead(timeline->file, bytes, sizeof bytes);
    for (DWORD at = offset + 1; at < end; ++at)
        if (bytes[at - offset] == 0xFF && FrameFoundAt(timeline, bytes, offset, end, at)) return at;
    return kUnknownEnd;
}

// Restarting where the frames are not known: the old way, at the offset itself, with no positions counted.
DWORD LoseTimeline(MpegTimeline* timeline, DWORD offset) {
    timeline->following = FALSE;
    timeline->positionKnown = FALSE;
    timeline->betweenFrames = FALSE;
    timeline->deliverFrom = 0;
    return offset;
}

} // namespace

DWORD MpegTimelineOpen(MpegTimeline* timeline, const BYTE firstHeader[4], const MpegGaplessInfo& gapless,
                       FileHandle file, DWORD dataStart, DWORD dataLength) {
    memset(timeline, 0, sizeof *timeline);
    timeline->file = file;
    timeline->dataStart = dataStart;
    timeline->dataLength = dataLength;
    timeline->audioFrom = gapless.infoFrameBytes;
    timeline->trimEnd = kUnknownEnd;
    if (!ReadMpegFrameHeader(firstHeader, &timeline->first)) return LoseTimeline(timeline, 0);
    if (gapless.trimmable) {
        const unsigned long long samples =
            static_cast<unsigned long long>(gapless.frameCount) * timeline->first.samples;
        timeline->trimStart = gapless.encoderDelay + kDecoderDelay;
        if (samples + kDecoderDelay - gapless.encoderPadding < kUnknownEnd) {
            timeline->announcedFrames = gapless.frameCount;
            timeline->announcedEnd = static_cast<DWORD>(samples + kDecoderDelay - gapless.encoderPadding);
        }
    }
    timeline->following = TRUE;
    return MpegTimelineRewind(timeline, 0);
}

void MpegTimelineClose(MpegTimeline* timeline) {
    free(timeline->checkpoints);
    memset(timeline, 0, sizeof *timeline);
}

DWORD MpegTimelineFollow(MpegTimeline* timeline, BYTE* bytes, DWORD at, DWORD count) {
    if (!timeline->following) return count;
    // Reads go on where the last one ended; one that skipped bytes leaves the frames unknown.
    if (timeline->nextFrame < at) {
        timeline->following = FALSE;
        return count;
    }
    const DWORD end = at + count;
    DWORD kept = 0, position = at;
    while (position < end && timeline->following) {
        if (!timeline->betweenFrames) {
            if (position < timeline->nextFrame) {
                // The rest of the frame in progress; the kept bytes never overtake the ones still to be read.
                const DWORD to = timeline->nextFrame < end ? timeline->nextFrame : end;
                memmove(bytes + kept, bytes + (position - at), to - position);
                kept += to - position;
                position = to;
                continue;
            }
            DWORD frameBytes = 0;
            if (StreamFrameAt(timeline, bytes, at, end, position, &frameBytes)) {
                PassFrame(timeline, frameBytes);
                CheckAnnouncedEnd(timeline, bytes, at, end);
                continue;
            }
            timeline->betweenFrames = TRUE;
        }
        // Between frames: the next byte that begins a frame found again.
        const BYTE* sync = static_cast<const BYTE*>(memchr(bytes + (position - at), 0xFF, end - position));
        position = sync ? at + static_cast<DWORD>(sync - bytes) : end;
        if (sync && FrameFoundAt(timeline, bytes, at, end, position)) {
            timeline->betweenFrames = FALSE;
        } else if (sync) {
            ++position;
        }
        timeline->nextFrame = position;
    }
    // Frames no longer followed (no memory left for a checkpoint) go to the decoder as they are.
    memmove(bytes + kept, bytes + (position - at), end - position);
    return kept + (end - position);
}

DWORD MpegTimelineKeep(MpegTimeline* timeline, BYTE* output, DWORD samples, WORD blockAlign, BOOL* ended) {
    *ended = FALSE;
    if (!timeline->positionKnown) return samples;
    const DWORD from = timeline->outputPosition;
    const DWORD to = from + samples;
    timeline->outputPosition = to;
    const DWORD keepFrom = from > timeline->deliverFrom ? from : timeline->deliverFrom;
    const DWORD keepTo = to < timeline->trimEnd ? to : timeline->trimEnd;
    if (to >= timeline->trimEnd) *ended = TRUE;
    if (keepTo <= keepFrom) return 0;
    if (keepFrom > from) memmove(output, output + (keepFrom - from) * blockAlign, (keepTo - keepFrom) * blockAlign);
    return keepTo - keepFrom;
}

DWORD MpegTimelineRewind(MpegTimeline* timeline, DWORD offset) {
    if (!timeline->following && timeline->checkpointCount == 0) return LoseTimeline(timeline, offset);
    DWORD restart = timeline->audioFrom, restartIndex = 0;
    DWORD primer = restart, primerIndex = 0;
    if (offset > timeline->audioFrom) {
        // Only frames already followed are walked again, from two checkpoints back, so the walk is bounded.
        if (timeline->checkpointCount == 0 || offset >= timeline->knownEnd) return LoseTimeline(timeline, offset);
        DWORD checkpoint = 0;
        while (checkpoint + 1 < timeline->checkpointCount && timeline->checkpoints[checkpoint + 1] <= offset)
            ++checkpoint;
        if (checkpoint > 0) --checkpoint;
        DWORD at = timeline->checkpoints[checkpoint], index = checkpoint * kCheckpointSpacing;
        DWORD recent[2 * kCheckpointSpacing], recentIndex[2 * kCheckpointSpacing];
        DWORD seen = 0;
        while (at < offset) {
            BYTE header[4];
            MpegFrameHeader frame;
            if (!ReadHeaderAt(timeline->file, timeline->dataStart, at, header) ||
                !ReadMpegFrameHeader(header, &frame) || !SameMpegStream(frame, timeline->first)) {
                // Stray bytes, which the following passed over: on at the frame it found after them.
                at = FrameAfterStrayBytes(timeline, at);
                if (at == kUnknownEnd) return LoseTimeline(timeline, offset);
                continue;
            }
            if (seen == 2 * kCheckpointSpacing) return LoseTimeline(timeline, offset);
            recent[seen] = at, recentIndex[seen] = index, ++seen;
            at += frame.bytes, ++index;
        }
        restart = at, restartIndex = index;
        primer = at, primerIndex = index;
        for (DWORD i = seen; i > 0; --i) {
            primer = recent[i - 1], primerIndex = recentIndex[i - 1];
            if (restart - primer >= kPrimerBytes && restartIndex - primerIndex >= kPrimerFrames) break;
        }
    }
    timeline->following = TRUE;
    timeline->positionKnown = TRUE;
    timeline->betweenFrames = FALSE;
    timeline->outputPosition = primerIndex * timeline->first.samples;
    const DWORD restartAt = restartIndex * timeline->first.samples;
    timeline->deliverFrom = restartAt > timeline->trimStart ? restartAt : timeline->trimStart;
    timeline->nextFrame = primer;
    timeline->nextFrameIndex = primerIndex;
    return primer;
}
