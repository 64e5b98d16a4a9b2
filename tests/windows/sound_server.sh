#!/bin/sh
# The sound server the Wine tests play into: PulseAudio with one null sink, kept running by a silent loopback so its
# monitor records real time even while nothing plays, in the runtime folder $XDG_RUNTIME_DIR.
#   sound_server.sh start | stop
#   sound_server.sh record CAPTURE COMMAND...   records the sink as raw 16-bit stereo at 44.1 kHz while COMMAND runs
set -eu
case $1 in
start)
    mkdir -p "$XDG_RUNTIME_DIR"
    pulseaudio -k 2>/dev/null || true
    pulseaudio -n -D --exit-idle-time=-1 --log-target=file:"$XDG_RUNTIME_DIR/server.log" \
        --load="module-null-sink sink_name=capture rate=44100 channels=2 norewinds=1" \
        --load="module-null-source source_name=silence rate=44100 channels=2" \
        --load="module-loopback source=silence sink=capture latency_msec=20" \
        --load=module-native-protocol-unix
    # The daemon answers once it has loaded its modules.
    for attempt in 1 2 3 4 5 6 7 8 9 10; do pactl info >/dev/null 2>&1 && exit 0; sleep 0.5; done
    echo "the sound server did not start" >&2
    exit 1
    ;;
stop)
    pulseaudio -k 2>/dev/null || true
    ;;
record)
    capture=$2
    shift 2
    parec --device=capture.monitor --format=s16le --rate=44100 --channels=2 --raw --latency-msec=50 >"$capture" &
    recorder=$!
    # The command starts once the recorder records: its first bytes have arrived.
    waited=0
    while [ ! -s "$capture" ] && [ $waited -lt 200 ]; do sleep 0.05; waited=$((waited + 1)); done
    status=0
    "$@" || status=$?
    kill $recorder
    wait $recorder 2>/dev/null || true
    exit $status
    ;;
esac
