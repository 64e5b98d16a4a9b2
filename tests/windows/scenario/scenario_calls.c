/* The interface calls a script can make, each echoed into the transcript with its result. A result line carries the
 * value itself, or the expected range when the value depends on timing and fell inside it, so the transcripts of two
 * platforms compare equal exactly when every call answered alike. */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host_platform.h"
#include "scenario_runner.h"

typedef enum CallId {
    kGetVersion,
    kInit,
    kRelease,
    kOpen,
    kClose,
    kCloseAll,
    kPlay,
    kPause,
    kStop,
    kGetPan,
    kSetPan,
    kGetFrequency,
    kSetFrequency,
    kGetVolume,
    kSetVolume,
    kGetDirectSoundVol,
    kSetDirectSoundVol,
    kGetTimePos,
    kSetTimePos,
    kGetWaveTime,
    kSetGlobalFocus,
} CallId;

typedef struct CallInfo {
    const char* name;
    int argumentCount;
    int hasResult;
    int isSigned; /* pan and the volumes are signed; the rest unsigned */
} CallInfo;

static const CallInfo calls[] = {
    {"GetVersion", 0, 1, 0},
    {"Init", 6, 1, 0},
    {"Release", 0, 0, 0},
    {"Open", 3, 1, 0},
    {"Close", 1, 0, 0},
    {"CloseAll", 0, 0, 0},
    {"Play", 3, 1, 0},
    {"Pause", 1, 1, 0},
    {"Stop", 1, 1, 0},
    {"GetPan", 1, 1, 1},
    {"SetPan", 2, 1, 0},
    {"GetFrequency", 1, 1, 0},
    {"SetFrequency", 2, 1, 0},
    {"GetVolume", 1, 1, 1},
    {"SetVolume", 2, 1, 0},
    {"GetDirectSoundVol", 0, 1, 1},
    {"SetDirectSoundVol", 1, 1, 0},
    {"GetTimePos", 1, 1, 0},
    {"SetTimePos", 2, 1, 0},
    {"GetWaveTime", 1, 1, 0},
    {"SetGlobalFocus", 1, 1, 0},
};

static uint32_t Number(const char* token) { return (uint32_t)strtoll(token, NULL, 0); }

/* Open's source: "file:NAME" and "resource:NAME" pass NAME (the library looks for a resource first, then a file),
 * "id:NUMBER" an integer resource name, "memory:FILE" the file's image with a null name, "none" neither. */
static int ResolveSource(Runner* runner, const ScriptLine* line, const char* source, const char** name,
                         const void** image) {
    *name = NULL;
    *image = NULL;
    if (strncmp(source, "file:", 5) == 0 || strncmp(source, "resource:", 9) == 0) {
        *name = strchr(source, ':') + 1;
    } else if (strncmp(source, "id:", 3) == 0) {
        *name = (const char*)(uintptr_t)strtoul(source + 3, NULL, 0);
    } else if (strncmp(source, "memory:", 7) == 0) {
        *image = LoadMemoryImage(runner, source + 7);
        if (!*image) {
            ReportFailure(runner, line, "cannot read %s", source + 7);
            return 0;
        }
    } else if (strcmp(source, "none") != 0) {
        ReportFailure(runner, line, "unknown source %s", source);
        return 0;
    }
    return 1;
}

static int64_t Invoke(Runner* runner, const ScriptLine* line, CallId id) {
    const ZRVA_FunctionTable* api = &runner->api;
    uint32_t a = line->count > 1 ? Number(line->tokens[1]) : 0;
    uint32_t b = line->count > 2 ? Number(line->tokens[2]) : 0;
    uint32_t c = line->count > 3 ? Number(line->tokens[3]) : 0;
    switch (id) {
    case kGetVersion: return api->GetVersion();
    case kInit: {
        /* The window is 0 (none) in every scenario: the library and both platforms accept a null window. */
        void* window = (void*)(uintptr_t)a;
        return api->Init(window, b, c, Number(line->tokens[4]), Number(line->tokens[5]), Number(line->tokens[6]));
    }
    case kRelease: api->Release(); return 0;
    case kOpen: {
        const char* name;
        const void* image;
        if (!ResolveSource(runner, line, line->tokens[2], &name, &image)) return -1;
        return api->Open(a, name, image, Number(line->tokens[3]));
    }
    case kClose: api->Close(a); return 0;
    case kCloseAll: api->CloseAll(); return 0;
    case kPlay: return api->Play(a, b, c);
    case kPause: return api->Pause(a);
    case kStop: return api->Stop(a);
    case kGetPan: return api->GetPan(a);
    case kSetPan: return api->SetPan(a, (int32_t)b);
    case kGetFrequency: return api->GetFrequency(a);
    case kSetFrequency: return api->SetFrequency(a, b);
    case kGetVolume: return api->GetVolume(a);
    case kSetVolume: return api->SetVolume(a, (int32_t)b);
    case kGetDirectSoundVol: return api->GetDirectSoundVol();
    case kSetDirectSoundVol: return api->SetDirectSoundVol((int32_t)a);
    case kGetTimePos: return api->GetTimePos(a);
    case kSetTimePos: return api->SetTimePos(a, b);
    case kGetWaveTime: return api->GetWaveTime(a);
    case kSetGlobalFocus: return api->SetGlobalFocus(a);
    }
    return -1;
}

/* "= V" or "= LOW..HIGH" after the arguments, optionally followed by "PLATFORM=V" where that platform's device is
 * known to answer otherwise (docs/PLATFORMS.md lists why); answers the token that holds this platform's value, or 0
 * when the line expects nothing. */
static const char* ParseExpectation(const ScriptLine* line, int at, int64_t* low, int64_t* high, int* overridden) {
    *overridden = 0;
    if ((line->count != at + 2 && line->count != at + 3) || strcmp(line->tokens[at], "=") != 0) return NULL;
    const char* text = line->tokens[at + 1];
    if (line->count == at + 3) {
        const char* platform = line->tokens[at + 2];
        size_t length = strlen(PlatformName());
        *overridden = 1;
        if (strncmp(platform, PlatformName(), length) == 0 && platform[length] == '=') text = platform + length + 1;
    }
    char* rest;
    *low = strtoll(text, &rest, 0);
    *high = strncmp(rest, "..", 2) == 0 ? strtoll(rest + 2, NULL, 0) : *low;
    return text;
}

int RunLibraryCall(Runner* runner, const ScriptLine* line) {
    int id = -1;
    for (int i = 0; i < (int)(sizeof calls / sizeof calls[0]); ++i)
        if (strcmp(line->tokens[0], calls[i].name) == 0) id = i;
    if (id < 0) return 0;
    const CallInfo* info = &calls[id];
    int64_t low = 0, high = 0;
    int overridden;
    const char* expectedText = ParseExpectation(line, info->argumentCount + 1, &low, &high, &overridden);
    int expected = expectedText != NULL;
    if (line->count != info->argumentCount + 1 && !expected) {
        ReportFailure(runner, line, "%s takes %d arguments", info->name, info->argumentCount);
        return 1;
    }

    char text[512];
    size_t used = 0;
    for (int i = 0; i <= info->argumentCount; ++i)
        used += (size_t)snprintf(text + used, sizeof text - used, "%s%s", i ? " " : "", line->tokens[i]);

    int64_t raw = Invoke(runner, line, (CallId)id);
    if (!info->hasResult) {
        AppendTranscript(runner, text);
        return 1;
    }
    int64_t value = info->isSigned ? (int64_t)(int32_t)(uint32_t)raw : (int64_t)(uint32_t)raw;
    if (expected && (low != high || overridden) && value >= low && value <= high) {
        /* Timing-dependent, or a known platform difference: the expectation as written stands for the value, so
         * both platforms write the same line. */
        for (int i = info->argumentCount + 1; i < line->count; ++i)
            used += (size_t)snprintf(text + used, sizeof text - used, " %s", line->tokens[i]);
    } else {
        snprintf(text + used, sizeof text - used, " = %" PRId64, value);
    }
    if (expected && (value < low || value > high)) {
        ReportFailure(runner, line, "%s answered %" PRId64 ", expected %s", info->name, value, expectedText);
    }
    AppendTranscript(runner, text);
    return 1;
}
