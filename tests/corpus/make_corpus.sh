#!/bin/sh
# Makes the real-world corpus into OUT: sound files as other tools and editors leave them, each holding a 2.000 s
# sine of 441 Hz (882 whole periods at every rate used), so a gapless loop of it is one continuous tone. Needs sox,
# lame, ffmpeg, twolame and python3-mutagen.
#   make_corpus.sh OUT
set -eu
out=$1
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python=/usr/bin/python3

sine() { # rate channels seconds output
    sox -D -n -r "$1" -c "$2" -b 16 "$4" synth "$3" sine 441 gain -6
}
sine 44100 2 2.0 "$work/sine44.wav"
sine 44100 2 1.0 "$work/half44.wav"
sine 22050 2 2.0 "$work/sine22.wav"
sine 11025 1 2.0 "$work/sine11.wav"
sine 8000 1 2.0 "$work/sine8.wav"

lame --quiet -b 128 "$work/sine44.wav" "$out/lame_cbr.mp3"
lame --quiet -V 2 "$work/sine44.wav" "$out/lame_vbr.mp3"
lame --quiet -t -b 128 "$work/sine44.wav" "$out/untagged.mp3"
lame --quiet -b 64 "$work/sine22.wav" "$out/mpeg2_22k.mp3"
# ffmpeg's own muxer: an ID3v2.4 tag and an information frame whose encoder is "Lavc".
ffmpeg -v error -y -i "$work/sine44.wav" -c:a libmp3lame -b:a 160k "$out/ffmpeg.mp3"
twolame --quiet -b 192 "$work/sine44.wav" "$out/twolame.mp2"

# Two tagged files of a second each, joined as `cat` joins them: the first tag counts only the first half.
lame --quiet -b 128 "$work/half44.wav" "$out/lame_1s.mp3"
cat "$out/lame_1s.mp3" "$out/lame_1s.mp3" > "$out/joined.mp3"

# Tags and padding after the last frame.
cp "$out/lame_cbr.mp3" "$out/apev2.mp3"
$python -c 'import sys, mutagen.apev2 as a; t = a.APEv2(); t["Title"] = "sine"; t.save(sys.argv[1])' "$out/apev2.mp3"
cp "$out/lame_cbr.mp3" "$out/id3v24.mp3"
$python -c 'import sys, mutagen.id3 as i; t = i.ID3(); t.add(i.TIT2(text="sine")); t.save(sys.argv[1], v2_version=4)' \
    "$out/id3v24.mp3"
cp "$out/lame_cbr.mp3" "$out/zero_padded.mp3"
truncate -s +4096 "$out/zero_padded.mp3"
# A Lyrics3v2 block, then an ID3v1 tag (mutagen writes the latter; nothing here writes the former).
{
    cat "$out/lame_cbr.mp3"
    printf 'LYRICSBEGININD0000210EAL00004sine000030LYRICS200'
} > "$out/lyrics3.mp3"
$python -c 'import sys, mutagen.id3 as i; t = i.ID3(); t.add(i.TIT2(text="sine")); t.save(sys.argv[1], v1=2, v2_version=3)' \
    "$out/lyrics3.mp3"

# An editor that cut the file and left its information frame counting 2 frames.
$python - "$out/lame_cbr.mp3" "$out/stale_tag.mp3" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.index(b"Info") + 8  # the flags word, then the frame count
data[at:at + 4] = (2).to_bytes(4, "big")
open(sys.argv[2], "wb").write(data)
PY

# 64 stray bytes between two frames, as a broken join leaves them, holding a frame header whose frame would end
# inside the next real frame: no frame of the stream.
$python - "$out/lame_cbr.mp3" "$out/stray_bytes.mp3" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
at = 0
for _ in range(20):  # MPEG-1 layer III at 44.1 kHz: 144 * kbit/s * 1000 / 44100 bytes, and the padding byte
    kbits = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320][data[at + 2] >> 4]
    at += 144000 * kbits // 44100 + (data[at + 2] >> 1 & 1)
open(sys.argv[2], "wb").write(data[:at] + bytes(16) + b"\xff\xfb\x90\x64" + bytes(44) + data[at:])
PY

# WAVE containers with codecs other than PCM: GSM 6.10 (0x31) and MP3 (0x55) at an MPEG-2.5 rate.
sox "$work/sine8.wav" -e gsm-full-rate "$out/gsm.wav"
ffmpeg -v error -y -i "$work/sine11.wav" -c:a libmp3lame -b:a 32k -f wav "$out/mp3_in_wave.wav"
# ADPCM as ffmpeg writes it, with a byte rate in its header that is far from the data's.
ffmpeg -v error -y -i "$work/sine44.wav" -c:a adpcm_ima_wav "$out/ffmpeg_ima.wav"
ffmpeg -v error -y -i "$work/sine44.wav" -c:a adpcm_ms "$out/ffmpeg_msadpcm.wav"
# sox decodes the WAVE codecs with code of its own: the references the library's decodes are held to.
for wave in gsm ffmpeg_ima ffmpeg_msadpcm; do
    sox "$out/$wave.wav" -t raw -e signed -b 16 "$out/$wave.ref"
done
