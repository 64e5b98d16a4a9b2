/* The state of one scenario run: the library's entry table, the marks the script set on the host's clock, and the
 * audio expectations checked once the capture is complete; and
 * what the host needs from the system it runs on, one implementation per platform (host_platform_*): the DLL
 * through its import library, or the library linked directly on a driven clock. */
#ifndef SCENARIO_RUNNER_H
#define SCENARIO_RUNNER_H

#include <stddef.h>

#include "zorva_sound.h"

enum { kMaxTokens = 16, kMaxMarks = 64, kMaxImages = 8, kMaxExpectations = 64, kTokenLength = 64 };
/* A line's words joined by spaces, with a call's result or an expectation's verdict after them, always fit. */
enum { kLineLength = kMaxTokens * kTokenLength + 32 };

typedef struct ScriptLine {
    int number;
    int count;
    char tokens[kMaxTokens][kTokenLength];
} ScriptLine;

typedef struct Mark {
    char name[kTokenLength];
    double hostMs;
} Mark;

typedef struct Runner {
    ZRVA_FunctionTable api;
    double startMs;
    Mark marks[kMaxMarks];
    int markCount;
    void* images[kMaxImages]; /* the memory opens' images, kept until the run ends */
    int imageCount;
    ScriptLine expectations[kMaxExpectations];
    int expectationCount;
    int failures;
} Runner;

/* Fills `api` with the library's 21 entry points. */
void LoadSoundApi(ZRVA_FunctionTable* api);
/* Milliseconds on a monotonic clock, with sub-millisecond resolution. */
double NowMilliseconds(void);
void SleepMilliseconds(double milliseconds);
/* The platform's name as the scripts' overrides and the messages name it ("windows" or "portable"). */
const char* PlatformName(void);
/* Completes the capture once the script has run, where the host makes it itself; answers the failures found. */
int FinishCapture(void);

/* Writes one line of the run's log: a call and its answer, an expectation and its verdict. */
void LogLine(const char* line);
/* Counts a failure and says why, outside the transcript. */
void ReportFailure(Runner* runner, const ScriptLine* line, const char* format, ...);
/* Host time of a mark, relative to the run's start; -1 with a failure reported when it was never set. */
double MarkTime(Runner* runner, const ScriptLine* line, const char* name);
void SetMark(Runner* runner, const char* name);
/* Sleeps until `ms` milliseconds after the mark, so the time the calls themselves take does not add up. */
void SleepUntilMark(Runner* runner, const ScriptLine* line, const char* name, double ms);
/* The whole of `path` with a terminating zero past its bytes, and its size where asked; null when unreadable. */
char* ReadWholeFile(const char* path, size_t* size);
/* Writes `size` bytes to `path`; nonzero on success. */
int WriteWholeFile(const char* path, const void* bytes, size_t size);
/* A whole file read into memory, kept until the run ends: the image of a memory open. */
const void* LoadMemoryImage(Runner* runner, const char* path);

/* Runs one call of the library's interface; 0 when the line names no call. */
int RunLibraryCall(Runner* runner, const ScriptLine* line);
/* Opens `slot` with a short beep made in memory and plays it six times, about 150 ms apart, from the "reference" mark
 * on; then closes the slot. The beeps' onsets in the capture tie the capture's timeline to the host's clock. */
void PlayReferenceTone(Runner* runner, const ScriptLine* line);
/* Checks every audio expectation against the capture file; answers the number that failed. */
int CheckAudioExpectations(Runner* runner, const char* capturePath);

#endif
