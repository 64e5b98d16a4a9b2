#include "capture_features.h"

#include <math.h>
#include <stdint.h>
#include <stdlib.h>

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

double ToneFrequency(const Capture* capture, double startMs, double endMs, int channel) {
    size_t start = FrameAt(capture, startMs), end = FrameAt(capture, endMs);
    unsigned c = channel == ALL_CHANNELS ? 0 : (unsigned)channel;
    if (c >= kCaptureChannels || end <= start + 1) return 0;
    float peak = 0;
    for (size_t frame = start; frame < end; ++frame) {
        float value = fabsf(capture->samples[frame * kCaptureChannels + c]);
        if (value > peak) peak = value;
    }
    /* A crossing counts only after the wave has gone clearly negative, so noise near zero adds none. The median of
     * the periods between crossings stands for the tone: a dropout of the output bends one period, not the median. */
    const float hysteresis = peak * 0.05f;
    double* periods = malloc((end - start) * sizeof *periods);
    int armed = 0;
    double last = -1;
    size_t count = 0;
    for (size_t frame = start + 1; periods && frame < end; ++frame) {
        float before = capture->samples[(frame - 1) * kCaptureChannels + c];
        float now = capture->samples[frame * kCaptureChannels + c];
        if (now < -hysteresis) armed = 1;
        if (armed && before < 0 && now >= 0) {
            double at = (double)(frame - 1) + (double)(-before / (now - before));
            if (last >= 0) periods[count++] = at - last;
            last = at;
            armed = 0;
        }
    }
    double frequency = 0;
    if (count > 0) {
        qsort(periods, count, sizeof *periods, CompareDoubles);
        frequency = kCaptureRate / (count % 2 ? periods[count / 2] : (periods[count / 2 - 1] + periods[count / 2]) / 2);
    }
    free(periods);
    return frequency;
}

void FindToneSeams(const Capture* capture, double startMs, double endMs, int channel, ToneSeams* seams) {
    size_t first = FrameAt(capture, startMs), last = FrameAt(capture, endMs);
    seams->longestSilenceMs = seams->longestSilenceAtMs = 0;
    seams->gaps = seams->count = 0;
    size_t quietSince = first;
    enum { kMostCrossings = 4096 };
    static double crossings[kMostCrossings], periods[kMostCrossings];
    int found = 0;
    for (size_t frame = first; frame + 1 < last; ++frame) {
        float here = capture->samples[frame * kCaptureChannels + (unsigned)channel];
        float next = capture->samples[(frame + 1) * kCaptureChannels + (unsigned)channel];
        if (fabsf(here) > SILENCE_AMPLITUDE) quietSince = frame + 1;
        double quietMs = MsAt((double)(frame + 1 - quietSince));
        seams->gaps += quietMs > 1.0 && MsAt((double)(frame - quietSince)) <= 1.0;
        if (quietMs > seams->longestSilenceMs)
            seams->longestSilenceMs = quietMs, seams->longestSilenceAtMs = MsAt((double)quietSince);
        if (here < 0 && next >= 0 && found < kMostCrossings) crossings[found++] = (double)frame + here / (here - next);
    }
    if (found < 3) return;
    for (int i = 1; i < found; ++i)
        periods[i - 1] = crossings[i] - crossings[i - 1];
    qsort(periods, (size_t)(found - 1), sizeof periods[0], CompareDoubles);
    double median = periods[(found - 1) / 2];
    for (int i = 1; i < found && seams->count < 64; ++i)
        if (fabs(crossings[i] - crossings[i - 1] - median) > median / 10)
            seams->atMs[seams->count++] = MsAt(crossings[i - 1]);
}
