// What zorva-play needs to know about a file before it streams it: is it MPEG audio, and about how long it lasts.
#pragma once

#include <optional>
#include <string>

// By extension (.mp3, .mp2, .mpg, .mpa), else by an ID3v2 tag or an MPEG frame sync at the start.
bool IsMpegAudioFile(const std::string& path);

// The playing time in seconds: for WAVE the samples its "fact" chunk or its blocks hold, for MPEG the frames it
// holds, less an encoder's delay and padding. Nothing when the file cannot be read or understood.
std::optional<double> EstimateDurationSeconds(const std::string& path);
