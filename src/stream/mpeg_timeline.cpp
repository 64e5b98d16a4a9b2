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

// Takes the frame whose header is `header` at timeline->nextFrame as followed.
void PassFrame(MpegTimeline* timeline, const BYTE header[4]) {
    MpegFrameHeader frame;
    if (!ReadMpegFrameHeader(header, &frame) || !SameMpegStream(frame, timeline->first)) {
        timeline->following = FALSE;
        return;
    }
    const DWORD index = timeline->nextFrameIndex;
    if (index % kCheckpointSpacing == 0 && index / kCheckpointSpacing == timeline->checkpointCount)
        AddCheckpoint(timeline, timeline->nextFrame);
    timeline->nextFrame += frame.bytes;
    timeline->nextFrameIndex = index + 1;
}

BOOL ReadHeaderAt(FileHandle file, DWORD dataStart, DWORD offset, BYTE header[4]) {
    return FileSeek(file, static_cast<LONG>(dataStart + offset), FileFromStart) != -1 && FileRead(file, header, 4) == 4;
}

// Restarting where the frames are not known: the old way, at the offset itself, with no positions counted.
DWORD LoseTimeline(MpegTimeline* timeline, DWORD offset) {
    timeline->following = FALSE;
    timeline->positionKnown = FALSE;
    timeline->deliverFrom = 0;
    return offset;
}

} // namespace

DWORD MpegTimelineOpen(MpegTimeline* timeline, const BYTE firstHeader[4], const MpegGaplessInfo& gapless) {
    memset(timeline, 0, sizeof *timeline);
    timeline->audioFrom = gapless.infoFrameBytes;
    timeline->trimEnd = kUnknownEnd;
    if (!ReadMpegFrameHeader(firstHeader, &timeline->first)) return LoseTimeline(timeline, 0);
    if (gapless.trimmable) {
        const unsigned long long samples =
            static_cast<unsigned long long>(gapless.frameCount) * timeline->first.samples;
        timeline->trimStart = gapless.encoderDelay + kDecoderDelay;
        if (samples + kDecoderDelay - gapless.encoderPadding < kUnknownEnd)
            timeline->trimEnd = static_cast<DWORD>(samples + kDecoderDelay - gapless.encoderPadding);
    }
    timeline->following = TRUE;
    return MpegTimelineRewind(timeline, 0, 0, 0);
}

void MpegTimelineClose(MpegTimeline* timeline) {
    free(timeline->checkpoints);
    memset(timeline, 0, sizeof *timeline);
}

void MpegTimelineFollow(MpegTimeline* timeline, const BYTE* bytes, DWORD at, DWORD count) {
    const DWORD end = at + count;
    // Reads go on where the last one ended; one that skipped bytes leaves the frames unknown.
    if (timeline->nextFrame + 3 < at) timeline->following = FALSE;
    while (timeline->following && timeline->nextFrame + 4 <= end) {
        BYTE header[4];
        for (DWORD i = 0; i < 4; ++i) {
            const DWORD offset = timeline->nextFrame + i;
            // A header that began in the previous read has its first bytes in lastBytes.
            header[i] = offset >= at ? bytes[offset - at] : timeline->lastBytes[3 - (at - offset)];
        }
        PassFrame(timeline, header);
    }
    for (DWORD i = count < 3 ? 3 - count : 0; i < 3; ++i) {
        memmove(timeline->lastBytes, timeline->lastBytes + 1, 2);
        timeline->lastBytes[2] = bytes[count - 3 + i];
    }
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

DWORD MpegTimelineRewind(MpegTimeline* timeline, FileHandle file, DWORD dataStart, DWORD offset) {
    if (!timeline->following && timeline->checkpointCount == 0) return LoseTimeline(timeline, offset);
    DWORD restart = timeline->audioFrom, restartIndex = 0;
    DWORD primer = restart, primerIndex = 0;
    if (offset > timeline->audioFrom) {
        // Only frames already followed are walked again, from two checkpoints back, so the walk is bounded.
        const DWORD followed = timeline->following ? timeline->nextFrame : 0;
        if (timeline->checkpointCount == 0 || offset >= followed) return LoseTimeline(timeline, offset);
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
            if (!ReadHeaderAt(file, dataStart, at, header) || !ReadMpegFrameHeader(header, &frame) ||
                !SameMpegStream(frame, timeline->first) || seen == 2 * kCheckpointSpacing)
                return LoseTimeline(timeline, offset);
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
    timeline->positionKnown = TRUE;
    timeline->outputPosition = primerIndex * timeline->first.samples;
    const DWORD restartAt = restartIndex * timeline->first.samples;
    timeline->deliverFrom = restartAt > timeline->trimStart ? restartAt : timeline->trimStart;
    if (timeline->following || primer < timeline->nextFrame) {
        timeline->following = TRUE;
        timeline->nextFrame = primer;
        timeline->nextFrameIndex = primerIndex;
    }
    return primer;
}
