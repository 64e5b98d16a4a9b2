/* The interface calls a script can make (tests/windows/scripts/README.md), each logged with its answer. A call that
 * answers carries the value it must answer on the line itself: that is the one record of what is expected. */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "scenario_runner.h"

/* Each call: its name, argument count, whether it answers (1 unsigned, -1 signed: pan and the volumes, 0 nothing)
 * and how it is made from the line's arguments a, b, c and the tokens. */
#define LIBRARY_CALLS(X)                                                                                               \
    X(GetVersion, 0, 1, api->GetVersion())                                                                             \
    X(Init, 6, 1,                                                                                                      \
      api->Init((void*)(uintptr_t)a, b, c, Number(line->tokens[4]), Number(line->tokens[5]), Number(line->tokens[6]))) \
    X(Release, 0, 0, (api->Release(), 0))                                                                              \
    X(Open, 3, 1, OpenSource(runner, line, a))                                                                         \
    X(Close, 1, 0, (api->Close(a), 0))                                                                                 \
    X(CloseAll, 0, 0, (api->CloseAll(), 0))                                                                            \
    X(Play, 3, 1, api->Play(a, b, c))                                                                                  \
    X(Pause, 1, 1, api->Pause(a))                                                                                      \
    X(Stop, 1, 1, api->Stop(a))                                                                                        \
    X(GetPan, 1, -1, api->GetPan(a))                                                                                   \
    X(SetPan, 2, 1, api->SetPan(a, (int32_t)b))                                                                        \
    X(GetFrequency, 1, 1, api->GetFrequency(a))                                                                        \
    X(SetFrequency, 2, 1, api->SetFrequency(a, b))                                                                     \
    X(GetVolume, 1, -1, api->GetVolume(a))                                                                             \
    X(SetVolume, 2, 1, api->SetVolume(a, (int32_t)b))                                                                  \
    X(GetDirectSoundVol, 0, -1, api->GetDirectSoundVol())                                                              \
    X(SetDirectSoundVol, 1, 1, api->SetDirectSoundVol((int32_t)a))                                                     \
    X(GetTimePos, 1, 1, api->GetTimePos(a))                                                                            \
    X(SetTimePos, 2, 1, api->SetTimePos(a, b))                                                                         \
    X(GetWaveTime, 1, 1, api->GetWaveTime(a))                                                                          \
    X(SetGlobalFocus, 1, 1, api->SetGlobalFocus(a))

typedef struct CallInfo {
    const char* name;
    int argumentCount;
    int result;
} CallInfo;

#define CALL_INFO(function, arguments, result, call) {#function, arguments, result},
static const CallInfo calls[] = {LIBRARY_CALLS(CALL_INFO)};

static uint32_t Number(const char* token) { return (uint32_t)strtoll(token, NULL, 0); }

/* Open's source: "file:NAME" and "resource:NAME" pass NAME (the library looks for a resource first, then a file),
 * "id:NUMBER" an integer resource name, "memory:FILE" the file's image with a null name, "none" neither. */
static int64_t OpenSource(Runner* runner, const ScriptLine* line, uint32_t slot) {
    const char* source = line->tokens[2];
    const char* name = NULL;
    const void* image = NULL;
    if (strncmp(source, "file:", 5) == 0 || strncmp(source, "resource:", 9) == 0) {
        name = strchr(source, ':') + 1;
    } else if (strncmp(source, "id:", 3) == 0) {
        name = (const char*)(uintptr_t)strtoul(source + 3, NULL, 0);
    } else if (strncmp(source, "memory:", 7) == 0) {
        if (!(image = LoadMemoryImage(runner, source + 7))) ReportFailure(runner, line, "cannot read %s", source + 7);
    } else if (strcmp(source, "none") != 0) {
        ReportFailure(runner, line, "unknown source %s", source);
    }
    return runner->api.Open(slot, name, image, Number(line->tokens[3]));
}

static int64_t Invoke(Runner* runner, const ScriptLine* line, int id) {
    const ZRVA_FunctionTable* api = &runner->api;
    uint32_t a = line->count > 1 ? Number(line->tokens[1]) : 0;
    uint32_t b = line->count > 2 ? Number(line->tokens[2]) : 0;
    uint32_t c = line->count > 3 ? Number(line->tokens[3]) : 0;
#define CALL_CASE(function, arguments, result, call)                                                                   \
    if (strcmp(calls[id].name, #function) == 0) return (int64_t)(call);
    LIBRARY_CALLS(CALL_CASE)
    return -1;
}

/* "= V" or "= LOW..HIGH" after the arguments, optionally followed by "PLATFORM=V" where that platform's device is
 * known to answer otherwise (docs/PLATFORMS.md lists why); answers the token that holds this platform's value, or 0
 * when the line expects nothing. */
static const char* ParseExpectation(const ScriptLine* line, int at, int64_t* low, int64_t* high) {
    if ((line->count != at + 2 && line->count != at + 3) || strcmp(line->tokens[at], "=") != 0) return NULL;
    const char* text = line->tokens[at + 1];
    if (line->count == at + 3) {
        const char* platform = line->tokens[at + 2];
        size_t length = strlen(PlatformName());
        if (strncmp(platform, PlatformName(), length) == 0 && platform[length] == '=') text = platform + length + 1;
    }
    char* rest;
    *low = strtoll(text, &rest, 0);
    *high = strncmp(rest, "..", 2) == 0 ? strtoll(rest + 2, NULL, 0) : *low;
    return text;
}

/* A trailing "within MS" times the call on the host's clock: it must return within MS. */
int RunLibraryCall(Runner* runner, const ScriptLine* script) {
    int id = -1;
    for (int i = 0; i < (int)(sizeof calls / sizeof calls[0]); ++i)
        if (strcmp(script->tokens[0], calls[i].name) == 0) id = i;
    if (id < 0) return 0;
    ScriptLine timed = *script;
    const ScriptLine* line = &timed;
    double limitMs = -1;
    if (timed.count > 2 && strcmp(timed.tokens[timed.count - 2], "within") == 0) {
        limitMs = strtod(timed.tokens[timed.count - 1], NULL);
        timed.count -= 2;
    }
    const CallInfo* info = &calls[id];
    int64_t low = 0, high = 0;
    const char* expectedText = ParseExpectation(line, info->argumentCount + 1, &low, &high);
    const int expected = expectedText != NULL;
    if (line->count != info->argumentCount + 1 && !expected) {
        ReportFailure(runner, line, "%s takes %d arguments", info->name, info->argumentCount);
        return 1;
    }
    if (expected != (info->result != 0)) {
        ReportFailure(runner, line,
                      info->result ? "%s answers: give the value it must answer" : "%s answers nothing to expect",
                      info->name);
        return 1;
    }

    char text[kLineLength];
    size_t used = 0;
    for (int i = 0; i <= info->argumentCount; ++i)
        used += (size_t)snprintf(text + used, sizeof text - used, "%s%s", i ? " " : "", line->tokens[i]);

    double startMs = NowMilliseconds();
    int64_t raw = Invoke(runner, line, id);
    double tookMs = NowMilliseconds() - startMs;
    if (limitMs >= 0 && tookMs > limitMs) ReportFailure(runner, line, "%s took %.1f ms", info->name, tookMs);
    if (info->result) {
        const int64_t value = info->result < 0 ? (int64_t)(int32_t)(uint32_t)raw : (int64_t)(uint32_t)raw;
        snprintf(text + used, sizeof text - used, " = %" PRId64, value);
        if (value < low || value > high)
            ReportFailure(runner, line, "%s answered %" PRId64 ", expected %s", info->name, value, expectedText);
    }
    LogLine(text);
    return 1;
}
