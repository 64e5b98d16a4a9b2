#!/usr/bin/env python3
"""A sound server that restarts under a playing host, as a desktop restarts its own: a private PulseAudio server
(tests/windows/sound_server.sh) is started, the looping host plays a static sound and a stream through SDL into it,
the server is killed and, a second later, started again. Its sink, recorded by parec from the moment the new server
answers, must hold sound within 1 s, and keep it: no 10 ms of the recording after that is quiet. The host's own
checks (its position keeps moving, every call answers) must pass, and its release must work.

    server_restart.py SOUND_SERVER HOST LIBRARY STATIC STREAM WORK_DIR
"""
import array
import math
import os
import subprocess
import sys
import time

RATE = 44100
WINDOW = RATE // 100  # 10 ms
HEARD = 10 ** (-40 / 20)  # RMS of a window that holds sound; the looping sine plays at -9 dBFS RMS
RETURN_DEADLINE_MS = 1000


def window_levels(path):
    samples = array.array("h")
    with open(path, "rb") as capture:
        samples.frombytes(capture.read())
    left = samples[0::2]
    levels = []
    for start in range(0, len(left) - WINDOW + 1, WINDOW):
        part = left[start : start + WINDOW]
        levels.append(math.sqrt(sum(s * s for s in part) / WINDOW) / 32768)
    return levels


def main():
    server, host, library, static, stream, work = sys.argv[1:7]
    os.makedirs(work, exist_ok=True)
    environment = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(work, "sound-server"), ZORVA_OUTPUT="sdl",
                       SDL_AUDIODRIVER="pulseaudio", ZORVA_LOG="1")
    capture = os.path.join(work, "after-restart.raw")

    def sound_server(command):
        subprocess.run(["sh", server, command], env=environment, check=True)

    sound_server("start")
    player = subprocess.Popen([host, library, static, stream, "6000", "release"], env=environment,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        time.sleep(1.5)
        sound_server("stop")
        time.sleep(1.0)
        sound_server("start")
        answered = time.monotonic()
        with open(capture, "wb") as out:
            recorder = subprocess.Popen(["parec", "--device=capture.monitor", "--format=s16le", "--rate=44100",
                                         "--channels=2", "--raw", "--latency-msec=20"], env=environment, stdout=out)
            recording = time.monotonic()
            time.sleep(2.5)
            recorder.terminate()
            recorder.wait()
        output, _ = player.communicate(timeout=30)
    finally:
        if player.poll() is None:
            player.kill()
        sound_server("stop")
    print(output, end="")

    levels = window_levels(capture)
    late_start_ms = (recording - answered) * 1000
    heard = next((i for i, level in enumerate(levels) if level > HEARD), None)
    failures = []
    if player.returncode != 0:
        failures.append("the host answered %d" % player.returncode)
    if heard is None:
        failures.append("no sound in %d ms of the new server's sink" % (len(levels) * 10))
    else:
        back_ms = late_start_ms + heard * 10
        print("sound on the new server %.0f ms after it answered" % back_ms)
        if back_ms > RETURN_DEADLINE_MS:
            failures.append("sound came back after %.0f ms" % back_ms)
        quiet = [i for i, level in enumerate(levels[heard:-5], heard) if level <= HEARD]
        if quiet:
            failures.append("quiet again at %d ms of the recording (%d windows)" % (quiet[0] * 10, len(quiet)))
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
