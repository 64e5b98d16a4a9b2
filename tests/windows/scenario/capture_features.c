#include "capture_features.h"

#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "scenario_runner.h"

int ReadCapture(const char* path, Capture* capture) {
    size_t size = 0;
    unsigned char* bytes = (unsigned char*)ReadWholeFile(path, &size);
    capture->frames = size / (2 * kCaptureChannels);
    capture->samples = bytes ? malloc((capture->frames * kCaptureChannels + 1) * sizeof(float)) : NULL;
    for (size_t i = 0; capture->samples && i < capture->frames * kCaptureChannels; ++i)
        capture->samples[i] = (float)(int16_t)(bytes[2 * i] | bytes[2 * i + 1] << 8) / 32768.0f;
    free(bytes);
    return capture->samples != NULL;
}

static size_t FrameAt(const Capture* capture, double ms) {
    if (ms <= 0) return 0;
    double frame = ms * kCaptureRate / 1000.0;
    return frame >= (double)capture->frames ? capture->frames : (size_t)frame;
}

static double MsAt(double frame) { return frame * 1000.0 / kCaptureRate; }

static float FrameMagnitude(const Capture* capture, size_t frame) {
    float peak = 0;
    for (unsigned c = 0; c < kCaptureChannels; ++c) {
        float value = fabsf(capture->samples[frame * kCaptureChannels + c]);
        if (value > peak) peak = value;
    }
    return peak;
}

double CaptureLengthMs(const Capture* capture) { return MsAt((double)capture->frames); }

double FindOnsetMs(const Capture* capture, double fromMs) {
    for (size_t frame = FrameAt(capture, fromMs); frame < capture->frames; ++frame)
        if (FrameMagnitude(capture, frame) > SILENCE_AMPLITUDE) return MsAt((double)frame);
    return -1;
}

double FindEndMs(const Capture* capture, double fromMs, double quietMs) {
    size_t quietFrames = FrameAt(capture, quietMs);
    size_t lastLoud = FrameAt(capture, fromMs);
    for (size_t frame = lastLoud; frame < capture->frames; ++frame) {
        if (FrameMagnitude(capture, frame) > SILENCE_AMPLITUDE)
            lastLoud = frame;
        else if (frame - lastLoud > quietFrames)
            break;
    }
    return MsAt((double)lastLoud + 1);
}

double PeakAmplitude(const Capture* capture, double startMs, double endMs) {
    float peak = 0;
    for (size_t frame = FrameAt(capture, startMs); frame < FrameAt(capture, endMs); ++frame) {
        float value = FrameMagnitude(capture, frame);
        if (value > peak) peak = value;
    }
    return peak;
}

static int CompareDoubles(const void* a, const void* b) {
    double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

double LevelDb(const Capture* capture, double startMs, double endMs, int channel) {
    enum { kBlockFrames = kCaptureRate / 100, kMostBlocks = 1024 };
    static double levels[kMostBlocks];
    size_t blocks = 0;
    for (size_t at = FrameAt(capture, startMs); at < FrameAt(capture, endMs) && blocks < kMostBlocks;
         at += kBlockFrames) {
        double sum = 0;
        size_t count = 0;
        for (size_t frame = at; frame < at + kBlockFrames && frame < capture->frames; ++frame) {
            for (unsigned c = 0; c < kCaptureChannels; ++c) {
                if (channel != ALL_CHANNELS && (unsigned)channel != c) continue;
                double value = capture->samples[frame * kCaptureChannels + c];
                sum += value * value;
                ++count;
            }
        }
        levels[blocks++] = count && sum > 0 ? 10 * log10(sum / (double)count) : -200;
    }
    if (blocks == 0) return -200;
    qsort(levels, blocks, sizeof levels[0], CompareDoubles);
    return levels[blocks / 2];
}

enum { kMostCrossings = 8192 };

/* The rising zero crossings of one channel in [start, end), at sub-frame precision. A crossing counts only after the
 * wave has gone clearly negative, so noise near zero adds none. */
static size_t RisingCrossings(const Capture* capture, size_t start, size_t end, unsigned c, double* at) {
    float peak = 0;
    for (size_t frame = start; frame < end; ++frame)
        peak = fmaxf(peak, fabsf(capture->samples[frame * kCaptureChannels + c]));
    size_t found = 0;
    int armed = 0;
    for (size_t frame = start + 1; frame < end && found < kMostCrossings; ++frame) {
        float before = capture->samples[(frame - 1) * kCaptureChannels + c];
        float now = capture->samples[frame * kCaptureChannels + c];
        if (now < -peak * 0.05f) armed = 1;
        if (armed && before < 0 && now >= 0) at[found++] = (double)(frame - 1) + (double)(-before / (now - before));
        armed &= !(before < 0 && now >= 0);
    }
    return found;
}

/* The median of the spacings between `count` crossings (sorted in `spacings`); 0 with fewer than two. */
static double MedianSpacing(const double* at, size_t count, double* spacings) {
    for (size_t i = 1; i < count; ++i)
        spacings[i - 1] = at[i] - at[i - 1];
    if (count < 2) return 0;
    qsort(spacings, count - 1, sizeof *spacings, CompareDoubles);
    return spacings[(count - 1) / 2];
}

static double crossings[kMostCrossings], spacings[kMostCrossings];

/* The median period stands for the tone: a dropout of the output bends one period, not the median. */
double ToneFrequency(const Capture* capture, double startMs, double endMs, int channel) {
    unsigned c = channel == ALL_CHANNELS ? 0 : (unsigned)channel;
    size_t found = RisingCrossings(capture, FrameAt(capture, startMs), FrameAt(capture, endMs), c, crossings);
    double period = MedianSpacing(crossings, found, spacings);
    return period > 0 ? kCaptureRate / period : 0;
}

void FindToneSeams(const Capture* capture, double startMs, double endMs, int channel, double bend, ToneSeams* seams) {
    size_t first = FrameAt(capture, startMs), last = FrameAt(capture, endMs), quietSince = first;
    memset(seams, 0, sizeof *seams);
    for (size_t frame = first; frame < last; ++frame) {
        if (fabsf(capture->samples[frame * kCaptureChannels + (unsigned)channel]) > SILENCE_AMPLITUDE)
            quietSince = frame + 1;
        double quietMs = MsAt((double)(frame + 1 - quietSince));
        seams->gaps += quietMs > 1.0 && MsAt((double)(frame - quietSince)) <= 1.0;
        if (quietMs > seams->longestSilenceMs)
            seams->longestSilenceMs = quietMs, seams->longestSilenceAtMs = MsAt((double)quietSince);
    }
    size_t found = RisingCrossings(capture, first, last, (unsigned)channel, crossings);
    double median = MedianSpacing(crossings, found, spacings);
    for (size_t i = 1; found > 2 && i < found && seams->count < 64; ++i)
        if (fabs(crossings[i] - crossings[i - 1] - median) > median * bend)
            seams->atMs[seams->count++] = MsAt(crossings[i - 1]);
}
