// The command line of zorva-play.
#pragma once

#include <stdint.h>

#include <optional>
#include <string>

struct PlayOptions {
    std::string file;
    bool loop = false;
    std::optional<int32_t> volume;      // millibels, passed to the library unchanged
    std::optional<int32_t> pan;         // millibels, passed to the library unchanged
    std::optional<uint32_t> frequency;  // Hz
    std::optional<double> seconds;      // stop after this long, looping or not
    std::string output;                 // render into this WAV file instead of a device
    std::optional<uint32_t> streamMs;   // stream through a buffer of this many milliseconds
    std::optional<uint32_t> loopOffset; // bytes into the stream's audio data where each loop starts
    bool help = false;
};

// The options, or nothing with `error` set to a one-line reason.
std::optional<PlayOptions> ParsePlayOptions(int argc, char** argv, std::string& error);

extern const char* const kPlayUsage;
