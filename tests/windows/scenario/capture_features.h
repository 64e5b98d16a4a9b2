/* Features of a capture that survive the output's resampling and format: where sound starts and ends, its level
 * and the frequency of a steady tone. Times are milliseconds on the capture's own timeline (frames / rate). */
#ifndef CAPTURE_FEATURES_H
#define CAPTURE_FEATURES_H

#include <stddef.h>

/* A capture: what the sound server recorded from its sink (parec), or what the driven host rendered, as raw 16-bit
 * stereo at 44.1 kHz, read into floating-point samples (interleaved, full scale at 1.0). */
enum { kCaptureRate = 44100, kCaptureChannels = 2 };
typedef struct Capture {
    float* samples;
    size_t frames;
} Capture;
/* Reads `path` as far as it has been written; nonzero on success. Free the samples when done. */
int ReadCapture(const char* path, Capture* capture);

/* Every channel at once, for the functions that take a channel. */
#define ALL_CHANNELS (-1)

/* Below this a sample counts as silence (-45 dBFS): well under the quietest level a scenario plays at. */
#define SILENCE_AMPLITUDE 0.0056

/* The first moment at or after `fromMs` where a sample of any channel is above silence; -1 when there is none. */
double FindOnsetMs(const Capture* capture, double fromMs);
/* After `fromMs`, the end of the last loud sample that is followed by `quietMs` of silence (or the capture's end). */
double FindEndMs(const Capture* capture, double fromMs, double quietMs);
/* The loudest sample in [startMs, endMs) of every channel. */
double PeakAmplitude(const Capture* capture, double startMs, double endMs);
/* Level in dBFS of one channel (0 = left) or of all channels over [startMs, endMs): the median of its 10 ms blocks'
 * RMS levels, which a dropout of the output does not move. */
double LevelDb(const Capture* capture, double startMs, double endMs, int channel);
/* The frequency of a steady tone in [startMs, endMs) of one channel, from the spacing of its rising zero crossings;
 * 0 when fewer than two are found. */
double ToneFrequency(const Capture* capture, double startMs, double endMs, int channel);
double CaptureLengthMs(const Capture* capture);

/* A steady tone's seams in [startMs, endMs) of one channel: the longest run of silence in it, the runs over 1 ms, and
 * the moments where a period between rising zero crossings is more than `bend` (a fraction) off the median: a phase
 * jump. */
typedef struct ToneSeams {
    double longestSilenceMs;
    double longestSilenceAtMs; /* where it begins */
    int gaps;
    int count;
    double atMs[64];
} ToneSeams;
void FindToneSeams(const Capture* capture, double startMs, double endMs, int channel, double bend, ToneSeams* seams);

#endif
