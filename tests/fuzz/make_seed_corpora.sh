#!/bin/sh
# Seed corpora for the fuzz targets, cut from the test fixtures: make_seed_corpora.sh <fixtures> <sample.wav> <out>.
# Fixtures are cut to their first few kilobytes, which keep every header and a few frames or blocks.
set -eu
fixtures=$1
sample=$2
out=$3

seed() { # seed <target> <bytes> <file>...
    target=$1 bytes=$2
    shift 2
    mkdir -p "$out/$target"
    for file in "$@"; do head -c "$bytes" "$file" >"$out/$target/$(basename "$file")"; done
}

rm -rf "$out"
for target in wave_fuzzer; do
    seed $target 4096 "$fixtures"/*.wav "$sample"
    # A whole canonical WAVE (16 sample bytes) and the two chunks without any RIFF header.
    printf 'RIFF4\000\000\000WAVEfmt \020\000\000\000\001\000\002\000D\254\000\000\020\261\002\000\004\000\020\000data\020\000\000\000ABCDEFGHIJKLMNOP' \
        >"$out/$target/canonical.wav"
    printf 'fmt \020\000\000\000\001\000\001\000"V\000\000"V\000\000\001\000\010\000data\004\000\000\000abcd' \
        >"$out/$target/chunks_only.bin"
done
seed decode_stream_fuzzer 8192 "$fixtures"/*.mp3 "$fixtures"/*.mp2 "$fixtures"/*.wav
# Good MPEG frames, then 100 kB that never hold a frame sync: far more than one read may take in for nothing.
damaged=$out/decode_stream_fuzzer/frames_then_damage.mp3
head -c 8192 "$fixtures"/mp3_cbr128_44k_stereo_tagged.mp3 >"$damaged"
head -c 100000 /dev/zero | tr '\000' Z >>"$damaged"
