// What zorva-play needs to know about a file before it streams it: is it MPEG audio, and about how long it lasts.
#pragma once

#include <optional>
#include <string>

// By extension (.mp3, .mp2, .mpg, .mpa), else by an ID3v2 tag or an MPEG frame sync at the start.
bool IsMpegAudioFile(const std::string& path);

// The playing time in seconds: for WAVE the data size over the byte rate, for MPEG the frames an encoder's
// information frame counts (less its delay and padding), or else the audio bytes (without tags) over the first
// frame's bit rate. Nothing when the file cannot be read or understood.
std::optional<double> EstimateDurationSeconds(const std::string& path);
