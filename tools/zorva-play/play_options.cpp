#include "play_options.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

const char* const kPlayUsage =
    "usage: zorva-play [--loop] [--seconds N] [--volume MB] [--pan MB] [--frequency HZ] [--output OUT.wav]\n"
    "                  [--stream MS] [--loop-offset BYTES] FILE\n"
    "  Plays FILE, a PCM WAVE, as a static sound; --loop plays until Ctrl-C or --seconds.\n"
    "  --stream MS streams FILE through a looping buffer of MS milliseconds (50 or more), refilled as it plays;\n"
    "  MPEG audio files (.mp3, .mp2, .mpg, .mpa, or recognised by their first bytes) always stream, by default\n"
    "  through 2000 ms. A stream has no length the library reports: one that does not loop is stopped once its\n"
    "  length, estimated from the file (WAVE: data size and byte rate; MPEG: audio bytes and the first frame's\n"
    "  bit rate, so a VBR file's estimate is rough), and one buffer length more have passed; --seconds overrides.\n"
    "  --loop-offset BYTES makes a looping stream start again BYTES into its audio data.\n"
    "  --volume and --pan are in hundredths of a decibel (-10000..0, -10000..10000), as the library takes them.\n"
    "  --output renders into OUT.wav instead of a sound device.\n";

namespace {

bool ParseSigned(const char* text, int32_t& value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = strtol(text, &end, 10);
    if (errno || end == text || *end || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

bool ParseUnsigned(const char* text, uint32_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = strtoull(text, &end, 10);
    if (errno || end == text || *end || text[0] == '-' || parsed > UINT32_MAX) return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseSeconds(const char* text, double& value) {
    char* end = nullptr;
    value = strtod(text, &end);
    return end != text && !*end && value >= 0;
}

} // namespace

std::optional<PlayOptions> ParsePlayOptions(int argc, char** argv, std::string& error) {
    PlayOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        auto valueFor = [&](const char* name) -> const char* {
            if (hasValue) return argv[++i];
            error = std::string(name) + " needs a value";
            return nullptr;
        };
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--loop") {
            options.loop = true;
        } else if (argument == "--volume" || argument == "--pan") {
            const char* text = valueFor(argument.c_str());
            int32_t value = 0;
            if (!text) return std::nullopt;
            if (!ParseSigned(text, value)) return error = argument + ": not a whole number: " + text, std::nullopt;
            (argument == "--volume" ? options.volume : options.pan) = value;
        } else if (argument == "--frequency") {
            const char* text = valueFor("--frequency");
            uint32_t value = 0;
            if (!text) return std::nullopt;
            if (!ParseUnsigned(text, value))
                return error = "--frequency: not a rate in Hz: " + std::string(text), std::nullopt;
            options.frequency = value;
        } else if (argument == "--seconds") {
            const char* text = valueFor("--seconds");
            double value = 0;
            if (!text) return std::nullopt;
            if (!ParseSeconds(text, value))
                return error = "--seconds: not a duration: " + std::string(text), std::nullopt;
            options.seconds = value;
        } else if (argument == "--stream" || argument == "--loop-offset") {
            const char* text = valueFor(argument.c_str());
            uint32_t value = 0;
            if (!text) return std::nullopt;
            if (!ParseUnsigned(text, value))
                return error = argument + ": not a whole number: " + std::string(text), std::nullopt;
            (argument == "--stream" ? options.streamMs : options.loopOffset) = value;
        } else if (argument == "--output") {
            const char* text = valueFor("--output");
            if (!text) return std::nullopt;
            options.output = text;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return error = "unknown option " + argument, std::nullopt;
        } else if (!options.file.empty()) {
            return error = "one FILE only (got " + options.file + " and " + argument + ")", std::nullopt;
        } else {
            options.file = argument;
        }
    }
    if (!options.help && options.file.empty()) return error = "no FILE given", std::nullopt;
    return options;
}
