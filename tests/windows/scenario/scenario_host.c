/* Runs a scenario script against the library and checks every answer and every expectation on the capture. The
 * same source is the Windows host of ZORVA_Sound.dll (under Wine here) and a Linux host of libzorva_sound.so, so
 * both platforms run the same scripts and hold the same expected values (tests/windows/scripts/README.md).
 *
 * Usage: scenario_host SCRIPT; the capture is named by the environment variable ZORVA_CAPTURE. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "scenario_runner.h"

void LogLine(const char* line) { printf("%s\n", line); }

void ReportFailure(Runner* runner, const ScriptLine* line, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    printf("  FAILED (line %d): ", line->number);
    vprintf(format, arguments);
    printf("\n");
    va_end(arguments);
    ++runner->failures;
}

void SetMark(Runner* runner, const char* name) {
    Mark* mark = NULL;
    for (int i = 0; i < runner->markCount; ++i)
        if (strcmp(runner->marks[i].name, name) == 0) mark = &runner->marks[i];
    if (!mark && runner->markCount < kMaxMarks) mark = &runner->marks[runner->markCount++];
    if (!mark) return;
    snprintf(mark->name, sizeof mark->name, "%s", name);
    mark->hostMs = NowMilliseconds() - runner->startMs;
}

double MarkTime(Runner* runner, const ScriptLine* line, const char* name) {
    for (int i = 0; i < runner->markCount; ++i)
        if (strcmp(runner->marks[i].name, name) == 0) return runner->marks[i].hostMs;
    ReportFailure(runner, line, "no mark %s", name);
    return -1;
}

void SleepUntilMark(Runner* runner, const ScriptLine* line, const char* name, double ms) {
    double due = MarkTime(runner, line, name) + ms;
    SleepMilliseconds(due - (NowMilliseconds() - runner->startMs));
}

char* ReadWholeFile(const char* path, size_t* size) {
    FILE* file = fopen(path, "rb");
    if (!file) return NULL;
    fseek(file, 0, SEEK_END);
    long length = ftell(file);
    fseek(file, 0, SEEK_SET);
    char* bytes = length >= 0 ? malloc((size_t)length + 1) : NULL;
    size_t read = bytes ? fread(bytes, 1, (size_t)length, file) : 0;
    if (bytes) bytes[read] = '\0';
    if (size) *size = read;
    fclose(file);
    return bytes;
}

int WriteWholeFile(const char* path, const void* bytes, size_t size) {
    FILE* file = fopen(path, "wb");
    if (!file) return 0;
    int written = size == 0 || fwrite(bytes, 1, size, file) == size;
    return fclose(file) == 0 && written;
}

const void* LoadMemoryImage(Runner* runner, const char* path) {
    if (runner->imageCount == kMaxImages) return NULL;
    void* image = ReadWholeFile(path, NULL);
    if (image) runner->images[runner->imageCount++] = image;
    return image;
}

/* The scripts' grammar is tests/windows/scripts/README.md. Splits a line into words, dropping a '#' comment; answers
 * the word count, or -1 for a line with more words than a line holds or a word longer than a word may be, which is the
 * script's fault and fails the run. */
static int Tokenize(char* text, ScriptLine* line) {
    text[strcspn(text, "#")] = '\0';
    line->count = 0;
    for (char* word = strtok(text, " \t\r"); word; word = strtok(NULL, " \t\r")) {
        if (line->count == kMaxTokens || strlen(word) >= kTokenLength) return -1;
        snprintf(line->tokens[line->count++], kTokenLength, "%s", word);
    }
    return line->count;
}

static void RunLine(Runner* runner, const ScriptLine* line) {
    const char* word = line->tokens[0];
    if (strcmp(word, "mark") == 0 && line->count == 2) {
        SetMark(runner, line->tokens[1]);
    } else if (strcmp(word, "at") == 0 && line->count == 3) {
        SleepUntilMark(runner, line, line->tokens[1], strtod(line->tokens[2], NULL));
    } else if (strcmp(word, "sleep") == 0 && line->count == 2) {
        SleepMilliseconds(strtod(line->tokens[1], NULL));
    } else if (strcmp(word, "reference") == 0 && line->count == 2) {
        PlayReferenceTone(runner, line);
    } else if (strcmp(word, "expect") == 0) {
        if (runner->expectationCount < kMaxExpectations)
            runner->expectations[runner->expectationCount++] = *line;
        else
            ReportFailure(runner, line, "too many expectations");
    } else if (!RunLibraryCall(runner, line)) {
        ReportFailure(runner, line, "unknown command %s", word);
    }
}

int main(int argc, char** argv) {
    char* script = argc == 2 ? ReadWholeFile(argv[1], NULL) : NULL;
    if (!script) {
        printf("usage: scenario_host SCRIPT (a readable script)\n");
        return 2;
    }
    static Runner runner;
    LoadSoundApi(&runner.api);
    runner.startMs = NowMilliseconds();

    ScriptLine line;
    line.number = 0;
    for (char *text = script, *end; text; text = end ? end + 1 : NULL) {
        if ((end = strchr(text, '\n')) != NULL) *end = '\0';
        ++line.number;
        const int words = Tokenize(text, &line);
        if (words < 0) {
            ReportFailure(&runner, &line, "more than %d words, or a word of %d characters or more", kMaxTokens,
                          kTokenLength);
        } else if (words > 0) {
            RunLine(&runner, &line);
        }
    }
    runner.failures += FinishCapture();
    /* Under Wine a path from the root is one on drive Z:, the Linux file system. */
    CheckAudioExpectations(&runner, getenv("ZORVA_CAPTURE"));
    printf("%s on %s: %d failed checks\n", argv[1], PlatformName(), runner.failures);
    for (int i = 0; i < runner.imageCount; ++i)
        free(runner.images[i]);
    free(script);
    return runner.failures == 0 ? 0 : 1;
}
