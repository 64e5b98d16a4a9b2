#!/bin/sh
# Regenerates the sample sounds the repository ships (needs sox). Deterministic: no dither.
set -eu
cd "$(dirname "$0")"
# 1 s of 440 Hz at half scale, 16-bit stereo 44.1 kHz: the canonical 44-byte-header PCM WAVE.
sox -D -n -r 44100 -b 16 -c 2 -e signed-integer tone.wav synth 1.0 sine 440 gain -6
