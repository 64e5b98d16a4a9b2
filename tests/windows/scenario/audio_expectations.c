/* Audio expectations: what the capture must show, at times given on the host's clock relative to a mark.
 *
 *   expect sound MARK START END [HZ] [PLATFORM=+MS]
 *                                      sound begins at START and lasts until END (each within 30 ms), with a
 *                                      steady tone of HZ (within 1%) in its middle, on the left channel; on
 *                                      PLATFORM both are MS later
 *   expect silence MARK START END      nothing above -45 dBFS between START + 30 and END - 30
 *   expect gain MARK S1 E1 CH1 MARK S2 E2 CH2 DB
 *                                      the level of channel CH2 (L, R or LR) over [S2, E2] is DB above that of CH1
 *                                      over [S1, E1], within 1 dB
 *   expect seams MARK START END PERIOD a steady tone on the left channel between START + 30 and END - 30 with no
 *                                      silence over 1 ms and its phase jumping only every PERIOD ms (within 1 ms;
 *                                      0: never), as a looping sound's seams do
 *
 * The host's clock and the capture's timeline differ by the output's latency (Wine mixes ahead, ALSA buffers); the
 * onsets of the reference beeps, played at known moments right after start-up, measure that offset once per run;
 * their mean evens out the output's mixing granularity. */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "capture_features.h"
#include "host_platform.h"
#include "scenario_runner.h"

#define ONSET_TOLERANCE_MS 30.0
#define FREQUENCY_TOLERANCE 0.01
#define GAIN_TOLERANCE_DB 1.0
#define SEAM_GAP_MS 1.0
#define SEAM_PERIOD_TOLERANCE_MS 1.0
/* A gap shorter than this inside a sound is not its end: a tone's zero crossings are far shorter, and so is the
 * seam of a looping stream whose material fades out and in. */
#define END_QUIET_MS 60.0
/* How far before its expected start an onset is looked for. */
#define ONSET_SEARCH_MS 100.0

enum { kReferenceRate = 44100, kReferenceMs = 40, kReferenceHz = 1000, kReferenceBeeps = 6 };
/* Wine mixes in bursts of tens of milliseconds, so where a sound lands depends on the phase of its start against the
 * bursts. Beeps at uneven spacings sample every phase; their mean offset is the middle of that spread. */
static const int referenceBeepMs[kReferenceBeeps + 1] = {0, 150, 287, 450, 579, 750, 900};

static void PutLittleEndian(unsigned char* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = (unsigned char)(value >> (8 * i));
}

void PlayReferenceTone(Runner* runner, const ScriptLine* line) {
    enum { kFrames = kReferenceRate * kReferenceMs / 1000, kDataBytes = kFrames * 2 };
    static unsigned char image[44 + kDataBytes];
    memcpy(image, "RIFF", 4);
    PutLittleEndian(image + 4, 36 + kDataBytes, 4);
    memcpy(image + 8, "WAVEfmt ", 8);
    PutLittleEndian(image + 16, 16, 4);
    PutLittleEndian(image + 20, 1, 2);
    PutLittleEndian(image + 22, 1, 2);
    PutLittleEndian(image + 24, kReferenceRate, 4);
    PutLittleEndian(image + 28, kReferenceRate * 2, 4);
    PutLittleEndian(image + 32, 2, 2);
    PutLittleEndian(image + 34, 16, 2);
    memcpy(image + 36, "data", 4);
    PutLittleEndian(image + 40, kDataBytes, 4);
    for (int i = 0; i < kFrames; ++i) {
        double value = 16384.0 * sin(2 * 3.14159265358979323846 * kReferenceHz * i / kReferenceRate);
        PutLittleEndian(image + 44 + 2 * i, (uint32_t)(int32_t)lround(value), 2);
    }

    /* The output's latency settles once its stream has run a little; the first sound after start-up comes late. */
    SleepMilliseconds(250);
    uint32_t slot = (uint32_t)strtoul(line->tokens[1], NULL, 0);
    uint32_t opened = runner->api.Open(slot, NULL, image, 0);
    int played = 0;
    SetMark(runner, "reference");
    for (int beep = 0; beep < kReferenceBeeps; ++beep) {
        char mark[16];
        snprintf(mark, sizeof mark, "reference%d", beep);
        SleepUntilMark(runner, line, "reference", referenceBeepMs[beep]);
        SetMark(runner, mark);
        played += runner->api.Play(slot, 0, 0) == 1;
    }
    SleepUntilMark(runner, line, "reference", referenceBeepMs[kReferenceBeeps]);
    runner->api.Close(slot);
    char text[128];
    snprintf(text, sizeof text, "reference %u: open %u, %d of %d beeps played", slot, opened, played, kReferenceBeeps);
    AppendTranscript(runner, text);
    if (opened != 1 || played != kReferenceBeeps) ReportFailure(runner, line, "the reference tone did not play");
}

/* Each beep's onset against the moment it was played; their mean is the offset between the two timelines. */
static int CalibrateTimeline(Runner* runner, const Capture* capture, double* offsetMs) {
    ScriptLine none = {0};
    double from = 0, sum = 0;
    for (int beep = 0; beep < kReferenceBeeps; ++beep) {
        char mark[16];
        snprintf(mark, sizeof mark, "reference%d", beep);
        double host = MarkTime(runner, &none, mark);
        double onset = FindOnsetMs(capture, from);
        if (host < 0 || onset < 0) return 0;
        double end = FindEndMs(capture, onset, 10);
        double hz = ToneFrequency(capture, onset + 5, end - 5, 0);
        printf("reference beep %d: %.1f..%.1f ms of the capture (%.1f Hz), played at %.1f ms on the host\n", beep,
               onset, end, hz, host);
        if (fabs(end - onset - kReferenceMs) > ONSET_TOLERANCE_MS || fabs(hz - kReferenceHz) > kReferenceHz * 0.05) {
            ReportFailure(runner, &none, "reference beep %d is not the %d ms, %d Hz beep", beep, kReferenceMs,
                          kReferenceHz);
            return 0;
        }
        sum += onset - host;
        from = end + 10; /* past the beep's own tail */
    }
    *offsetMs = sum / kReferenceBeeps;
    return 1;
}

static int ChannelOf(const char* name) {
    if (strcmp(name, "L") == 0) return 0;
    if (strcmp(name, "R") == 0) return 1;
    return ALL_CHANNELS;
}

typedef struct Timeline {
    Runner* runner;
    const Capture* capture;
    double offsetMs; /* capture time = host time + offsetMs */
} Timeline;

static double CaptureTime(const Timeline* timeline, const ScriptLine* line, const char* mark, const char* ms) {
    return MarkTime(timeline->runner, line, mark) + strtod(ms, NULL) + timeline->offsetMs;
}

/* A trailing "PLATFORM=+MS" moves the expected sound on that platform, whose decoder starts the material later;
 * "PLATFORM=+MS/+END" moves its end by END instead (0 for an end the host makes by pausing or closing). */
static void PlatformShiftMs(const ScriptLine* line, int* count, double* startShift, double* endShift) {
    *count = line->count;
    *startShift = *endShift = 0;
    const char* last = line->tokens[line->count - 1];
    const char* equals = strchr(last, '=');
    if (!equals) return;
    --*count;
    size_t length = (size_t)(equals - last);
    if (strlen(PlatformName()) != length || strncmp(last, PlatformName(), length) != 0) return;
    char* rest;
    *startShift = *endShift = strtod(equals + 1, &rest);
    if (*rest == '/') *endShift = strtod(rest + 1, NULL);
}

static int CheckSound(const Timeline* timeline, const ScriptLine* line) {
    int count;
    double startShift, endShift;
    PlatformShiftMs(line, &count, &startShift, &endShift);
    double start = CaptureTime(timeline, line, line->tokens[2], line->tokens[3]) + startShift;
    double end = CaptureTime(timeline, line, line->tokens[2], line->tokens[4]) + endShift;
    double onset = FindOnsetMs(timeline->capture, start - ONSET_SEARCH_MS);
    if (onset < 0) {
        ReportFailure(timeline->runner, line, "no sound after %.1f ms of the capture", start - ONSET_SEARCH_MS);
        return 0;
    }
    double stop = FindEndMs(timeline->capture, onset, END_QUIET_MS);
    double duration = stop - onset;
    printf("    line %d: sound %.1f..%.1f ms of the capture (%.1f ms), expected %.1f..%.1f (%.1f ms)\n", line->number,
           onset, stop, duration, start, end, end - start);
    int ok = 1;
    if (fabs(onset - start) > ONSET_TOLERANCE_MS) {
        ReportFailure(timeline->runner, line, "onset %.1f ms off", onset - start);
        ok = 0;
    }
    if (fabs(duration - (end - start)) > ONSET_TOLERANCE_MS) {
        ReportFailure(timeline->runner, line, "duration %.1f ms off", duration - (end - start));
        ok = 0;
    }
    if (count > 5) {
        double wanted = strtod(line->tokens[5], NULL);
        /* The middle of the sound, clear of fades and of the output's resampling at the edges. */
        double margin = duration / 4 < 100 ? duration / 4 : 100;
        /* At most 400 ms of it: a looping sound's seams would bend the count of crossings. */
        double to = stop - margin < onset + margin + 400 ? stop - margin : onset + margin + 400;
        double found = ToneFrequency(timeline->capture, onset + margin, to, 0);
        printf("    line %d: %.2f Hz, expected %.2f\n", line->number, found, wanted);
        if (fabs(found - wanted) > wanted * FREQUENCY_TOLERANCE) {
            ReportFailure(timeline->runner, line, "tone of %.2f Hz, expected %.2f", found, wanted);
            ok = 0;
        }
    }
    return ok;
}

static int CheckSilence(const Timeline* timeline, const ScriptLine* line) {
    double start = CaptureTime(timeline, line, line->tokens[2], line->tokens[3]) + ONSET_TOLERANCE_MS;
    double end = CaptureTime(timeline, line, line->tokens[2], line->tokens[4]) - ONSET_TOLERANCE_MS;
    if (end > CaptureLengthMs(timeline->capture)) {
        ReportFailure(timeline->runner, line, "the capture ends at %.1f ms, before %.1f",
                      CaptureLengthMs(timeline->capture), end);
        return 0;
    }
    double peak = PeakAmplitude(timeline->capture, start, end);
    printf("    line %d: peak %.1f dBFS in %.1f..%.1f ms\n", line->number, 20 * log10(peak + 1e-12), start, end);
    if (peak > SILENCE_AMPLITUDE) {
        ReportFailure(timeline->runner, line, "sound (peak %.4f) where silence was expected", peak);
        return 0;
    }
    return 1;
}

static int CheckGain(const Timeline* timeline, const ScriptLine* line) {
    double first = LevelDb(timeline->capture, CaptureTime(timeline, line, line->tokens[2], line->tokens[3]),
                           CaptureTime(timeline, line, line->tokens[2], line->tokens[4]), ChannelOf(line->tokens[5]));
    double second = LevelDb(timeline->capture, CaptureTime(timeline, line, line->tokens[6], line->tokens[7]),
                            CaptureTime(timeline, line, line->tokens[6], line->tokens[8]), ChannelOf(line->tokens[9]));
    double wanted = strtod(line->tokens[10], NULL);
    printf("    line %d: %.2f dB -> %.2f dB: %+.2f dB, expected %+.2f\n", line->number, first, second, second - first,
           wanted);
    if (fabs(second - first - wanted) > GAIN_TOLERANCE_DB) {
        ReportFailure(timeline->runner, line, "gain %+.2f dB, expected %+.2f", second - first, wanted);
        return 0;
    }
    return 1;
}

static int CheckSeams(const Timeline* timeline, const ScriptLine* line) {
    double start = CaptureTime(timeline, line, line->tokens[2], line->tokens[3]) + ONSET_TOLERANCE_MS;
    double end = CaptureTime(timeline, line, line->tokens[2], line->tokens[4]) - ONSET_TOLERANCE_MS;
    double period = strtod(line->tokens[5], NULL);
    ToneSeams seams;
    FindToneSeams(timeline->capture, start, end, 0, &seams);
    printf("    line %d: longest silence %.2f ms, %d phase jumps in %.1f..%.1f ms:", line->number,
           seams.longestSilenceMs, seams.count, start, end);
    for (int i = 0; i < seams.count; ++i)
        printf(" %.1f", seams.atMs[i]);
    printf("\n");
    int ok = 1;
    if (seams.longestSilenceMs > SEAM_GAP_MS) {
        ReportFailure(timeline->runner, line, "a gap of %.2f ms", seams.longestSilenceMs);
        ok = 0;
    }
    if (period == 0 && seams.count > 0) {
        ReportFailure(timeline->runner, line, "the tone jumps at %.1f ms", seams.atMs[0]);
        ok = 0;
    }
    if (period > 0 && seams.count < 2) {
        ReportFailure(timeline->runner, line, "fewer than two seams to measure the period by");
        ok = 0;
    }
    for (int i = 1; period > 0 && i < seams.count; ++i) {
        if (fabs(seams.atMs[i] - seams.atMs[i - 1] - period) > SEAM_PERIOD_TOLERANCE_MS) {
            ReportFailure(timeline->runner, line, "seams %.1f ms apart, expected %.1f",
                          seams.atMs[i] - seams.atMs[i - 1], period);
            ok = 0;
        }
    }
    return ok;
}

static int CheckExpectation(const Timeline* timeline, const ScriptLine* line) {
    const char* kind = line->tokens[1];
    if (strcmp(kind, "sound") == 0 && line->count >= 5 && line->count <= 7) return CheckSound(timeline, line);
    if (strcmp(kind, "silence") == 0 && line->count == 5) return CheckSilence(timeline, line);
    if (strcmp(kind, "gain") == 0 && line->count == 11) return CheckGain(timeline, line);
    if (strcmp(kind, "seams") == 0 && line->count == 6) return CheckSeams(timeline, line);
    ReportFailure(timeline->runner, line, "malformed expectation");
    return 0;
}

int CheckAudioExpectations(Runner* runner, const char* capturePath) {
    if (runner->expectationCount == 0) return 0;
    Capture capture;
    char error[256];
    if (!capturePath || !ReadCapture(capturePath, &capture, error, sizeof error)) {
        ScriptLine none = {0};
        ReportFailure(runner, &none, "%s", capturePath ? error : "audio expectations, but ZORVA_CAPTURE is not set");
        return runner->expectationCount;
    }
    printf("capture %s: %.1f ms\n", capturePath, CaptureLengthMs(&capture));

    Timeline timeline = {runner, &capture, 0};
    if (!CalibrateTimeline(runner, &capture, &timeline.offsetMs)) {
        ScriptLine none = {0};
        ReportFailure(runner, &none, "no reference tone in the capture");
        FreeCapture(&capture);
        return runner->expectationCount;
    }
    printf("capture time = host time %+.1f ms\n", timeline.offsetMs);

    int failed = 0;
    for (int i = 0; i < runner->expectationCount; ++i) {
        const ScriptLine* line = &runner->expectations[i];
        char text[512];
        size_t used = 0;
        for (int t = 0; t < line->count; ++t)
            used += (size_t)snprintf(text + used, sizeof text - used, "%s%s", t ? " " : "", line->tokens[t]);
        int ok = CheckExpectation(&timeline, line);
        snprintf(text + used, sizeof text - used, ": %s", ok ? "ok" : "FAILED");
        AppendTranscript(runner, text);
        failed += !ok;
    }
    FreeCapture(&capture);
    return failed;
}
