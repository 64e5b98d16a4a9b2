/* Audio expectations: what the capture must show, at times given on the host's clock relative to a mark; their
 * forms are in the scripts' grammar (tests/windows/scripts/README.md).
 *
 * The host's clock and the capture's timeline differ by the output's latency and by when the recording began; the
 * onsets of the reference beeps, played at known moments right after start-up, measure that offset once a run. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "capture_features.h"
#include "scenario_runner.h"

#define ONSET_TOLERANCE_MS 25.0
#define FREQUENCY_TOLERANCE 0.01
#define GAIN_TOLERANCE_DB 1.0
#define SEAM_PERIOD_TOLERANCE_MS 1.0
/* A gap shorter than this inside a sound is not its end: a loop's seam in material that fades out and in is. */
#define END_QUIET_MS 60.0
#define ONSET_SEARCH_MS 100.0

/* beep.wav: 40 ms of 1 kHz. Uneven spacings sample every phase of an output that mixes in bursts. */
enum { kReferenceMs = 40, kReferenceHz = 1000, kReferenceBeeps = 6 };
static const int referenceBeepMs[kReferenceBeeps + 1] = {0, 150, 287, 450, 579, 750, 900};

void PlayReferenceTone(Runner* runner, const ScriptLine* line) {
    /* The output's latency settles once its stream has run a little; the first sound after start-up comes late. */
    SleepMilliseconds(250);
    uint32_t slot = (uint32_t)strtoul(line->tokens[1], NULL, 0);
    uint32_t opened = runner->api.Open(slot, "beep.wav", NULL, 0);
    int played = 0;
    SetMark(runner, "reference");
    for (int beep = 0; beep <= kReferenceBeeps; ++beep) {
        char mark[16];
        snprintf(mark, sizeof mark, "reference%d", beep);
        SleepUntilMark(runner, line, "reference", referenceBeepMs[beep]);
        SetMark(runner, mark);
        played += beep < kReferenceBeeps && runner->api.Play(slot, 0, 0) == 1;
    }
    runner->api.Close(slot);
    char text[128];
    snprintf(text, sizeof text, "reference %u: open %u, %d of %d beeps played", slot, opened, played, kReferenceBeeps);
    LogLine(text);
    if (opened != 1 || played != kReferenceBeeps) ReportFailure(runner, line, "the reference tone did not play");
}

/* Each beep's onset against the moment it was played; their mean is the offset between the two timelines. A beep is
 * known by its onset and pitch alone, and the next is looked for 100 ms on: a dropout may cut one short. */
static int CalibrateTimeline(Runner* runner, const Capture* capture, double* offsetMs) {
    ScriptLine none = {0};
    double from = 0, sum = 0;
    for (int beep = 0; beep < kReferenceBeeps; ++beep) {
        char mark[16];
        snprintf(mark, sizeof mark, "reference%d", beep);
        double host = MarkTime(runner, &none, mark), onset = FindOnsetMs(capture, from);
        double hz = ToneFrequency(capture, onset + 5, onset + kReferenceMs - 5, 0);
        printf("reference beep %d: at %.1f ms of the capture (%.1f Hz), played at %.1f ms\n", beep, onset, hz, host);
        if (host < 0 || onset < 0 || fabs(hz - kReferenceHz) > kReferenceHz * 0.05) return 0;
        sum += onset - host;
        from = onset + 100;
    }
    *offsetMs = sum / kReferenceBeeps;
    return 1;
}

typedef struct Timeline {
    Runner* runner;
    const Capture* capture;
    double offsetMs; /* capture time = host time + offsetMs */
} Timeline;

/* The capture time of the line's token `ms`, counted from the mark in token `mark`. */
static double At(const Timeline* timeline, const ScriptLine* line, int mark, int ms) {
    return MarkTime(timeline->runner, line, line->tokens[mark]) + strtod(line->tokens[ms], NULL) + timeline->offsetMs;
}

static int Fail(const Timeline* timeline, const ScriptLine* line, const char* what, double value) {
    ReportFailure(timeline->runner, line, what, value);
    return 0;
}

static int CheckSound(const Timeline* timeline, const ScriptLine* line) {
    double start = At(timeline, line, 2, 3), end = At(timeline, line, 2, 4);
    double onset = FindOnsetMs(timeline->capture, start - ONSET_SEARCH_MS);
    if (onset < 0) return Fail(timeline, line, "no sound after %.1f ms of the capture", start - ONSET_SEARCH_MS);
    double stop = FindEndMs(timeline->capture, onset, END_QUIET_MS);
    printf("    line %d: sound %.1f..%.1f ms of the capture, expected %.1f..%.1f\n", line->number, onset, stop, start,
           end);
    if (fabs(onset - start) > ONSET_TOLERANCE_MS) return Fail(timeline, line, "onset %.1f ms off", onset - start);
    if (fabs(stop - end) > ONSET_TOLERANCE_MS) return Fail(timeline, line, "end %.1f ms off", stop - end);
    if (line->count < 6) return 1;
    /* The middle of the sound, clear of fades and of the output's resampling at the edges, and at most 400 ms of
     * it: a looping sound's seams would bend the count of crossings. */
    double wanted = strtod(line->tokens[5], NULL), margin = (stop - onset) / 4 < 100 ? (stop - onset) / 4 : 100;
    double to = stop - margin < onset + margin + 400 ? stop - margin : onset + margin + 400;
    double found = ToneFrequency(timeline->capture, onset + margin, to, 0);
    printf("    line %d: %.2f Hz, expected %.2f\n", line->number, found, wanted);
    return fabs(found - wanted) <= wanted * FREQUENCY_TOLERANCE || Fail(timeline, line, "a tone of %.2f Hz", found);
}

static int CheckSilence(const Timeline* timeline, const ScriptLine* line) {
    double start = At(timeline, line, 2, 3) + ONSET_TOLERANCE_MS, end = At(timeline, line, 2, 4) - ONSET_TOLERANCE_MS;
    if (end > CaptureLengthMs(timeline->capture)) return Fail(timeline, line, "the capture ends before %.1f ms", end);
    double peak = PeakAmplitude(timeline->capture, start, end);
    printf("    line %d: peak %.1f dBFS in %.1f..%.1f ms\n", line->number, 20 * log10(peak + 1e-12), start, end);
    return peak <= SILENCE_AMPLITUDE || Fail(timeline, line, "sound (peak %.4f) where silence was expected", peak);
}

static int ChannelOf(const char* name) {
    return strcmp(name, "L") == 0 ? 0 : strcmp(name, "R") == 0 ? 1 : ALL_CHANNELS;
}

static int CheckGain(const Timeline* timeline, const ScriptLine* line) {
    double first =
        LevelDb(timeline->capture, At(timeline, line, 2, 3), At(timeline, line, 2, 4), ChannelOf(line->tokens[5]));
    double second =
        LevelDb(timeline->capture, At(timeline, line, 6, 7), At(timeline, line, 6, 8), ChannelOf(line->tokens[9]));
    double wanted = strtod(line->tokens[10], NULL);
    printf("    line %d: %.2f dB -> %.2f dB, expected %+.2f\n", line->number, first, second, wanted);
    return fabs(second - first - wanted) <= GAIN_TOLERANCE_DB || Fail(timeline, line, "gain %+.2f dB", second - first);
}

/* Whether a jump at `ms` lies on the grid of `period` through the jump at `anchor`. */
static int OnGrid(double ms, double anchor, double period) {
    double offset = ms - anchor;
    return period > 0 && fabs(offset - round(offset / period) * period) <= SEAM_PERIOD_TOLERANCE_MS;
}

/* The jumps of `seams` off the best grid of `period` through one of them (all of them for a period of 0); the jumps
 * on it in `onPeriod`. */
static int JumpsOffPeriod(const ToneSeams* seams, double period, int* onPeriod) {
    *onPeriod = 0;
    for (int anchor = 0; anchor < seams->count; ++anchor) {
        int fits = 0;
        for (int i = 0; i < seams->count; ++i)
            fits += OnGrid(seams->atMs[i], seams->atMs[anchor], period);
        *onPeriod = fits > *onPeriod ? fits : *onPeriod;
    }
    return seams->count - *onPeriod;
}

/* A dropout of the output (some milliseconds of silence that also shift everything after it) may come once anywhere;
 * a seam of the library's comes back at every pass. So one gap is let pass, and then the stretches before and after
 * it are each held to a grid of the period of their own. */
static int CheckSeams(const Timeline* timeline, const ScriptLine* line) {
    double start = At(timeline, line, 2, 3) + ONSET_TOLERANCE_MS, end = At(timeline, line, 2, 4) - ONSET_TOLERANCE_MS;
    double period = strtod(line->tokens[5], NULL);
    /* The driven host's capture is the mix itself, so there a period may not bend by 0.5% (a slip of one sample at
     * 441 Hz is 1%); a sound server's capture is resampled and may drop out, so there by a tenth. */
    double bend = strcmp(PlatformName(), "portable") == 0 ? 0.005 : 0.1;
    ToneSeams seams, part;
    FindToneSeams(timeline->capture, start, end, 0, bend, &seams);
    int onPeriod = 0, on = 0, strays = 0;
    if (seams.gaps == 0) strays = JumpsOffPeriod(&seams, period, &onPeriod);
    for (int side = 0; seams.gaps == 1 && side < 2; ++side, onPeriod += on) {
        FindToneSeams(timeline->capture, side ? seams.longestSilenceAtMs + 60 : start,
                      side ? end : seams.longestSilenceAtMs - 20, 0, bend, &part);
        strays += JumpsOffPeriod(&part, period, &on);
    }
    printf(
        "    line %d: longest silence %.2f ms, %d gaps over 1 ms, %d phase jumps (%d on the period) in %.1f..%.1f ms\n",
        line->number, seams.longestSilenceMs, seams.gaps, seams.count, onPeriod, start, end);
    if (seams.gaps > 1) return Fail(timeline, line, "%.0f gaps", seams.gaps);
    if (strays > 0) return Fail(timeline, line, "%.0f jumps off the period", strays);
    if (period > 0 && onPeriod < 2) return Fail(timeline, line, "%.0f seams to measure the period by", onPeriod);
    return 1;
}

static int CheckExpectation(const Timeline* timeline, const ScriptLine* line) {
    const char* kind = line->tokens[1];
    if (strcmp(kind, "sound") == 0 && (line->count == 5 || line->count == 6)) return CheckSound(timeline, line);
    if (strcmp(kind, "silence") == 0 && line->count == 5) return CheckSilence(timeline, line);
    if (strcmp(kind, "gain") == 0 && line->count == 11) return CheckGain(timeline, line);
    if (strcmp(kind, "seams") == 0 && line->count == 6) return CheckSeams(timeline, line);
    return Fail(timeline, line, "malformed expectation", 0);
}

int CheckAudioExpectations(Runner* runner, const char* capturePath) {
    if (runner->expectationCount == 0) return 0;
    Capture capture;
    ScriptLine none = {0};
    if (!capturePath || !ReadCapture(capturePath, &capture)) {
        ReportFailure(runner, &none, "audio expectations, but no capture in %s",
                      capturePath ? capturePath : "ZORVA_CAPTURE");
        return runner->expectationCount;
    }
    Timeline timeline = {runner, &capture, 0};
    if (!CalibrateTimeline(runner, &capture, &timeline.offsetMs)) {
        ReportFailure(runner, &none, "no reference tone in the capture");
        free(capture.samples);
        return runner->expectationCount;
    }
    printf("capture %s: %.1f ms; capture time = host time %+.1f ms\n", capturePath, CaptureLengthMs(&capture),
           timeline.offsetMs);
    int failed = 0;
    for (int i = 0; i < runner->expectationCount; ++i) {
        const ScriptLine* line = &runner->expectations[i];
        char text[kLineLength];
        size_t used = 0;
        for (int t = 0; t < line->count; ++t)
            used += (size_t)snprintf(text + used, sizeof text - used, "%s%s", t ? " " : "", line->tokens[t]);
        int ok = CheckExpectation(&timeline, line);
        snprintf(text + used, sizeof text - used, ": %s", ok ? "ok" : "FAILED");
        LogLine(text);
        failed += !ok;
    }
    free(capture.samples);
    return failed;
}
