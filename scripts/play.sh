#!/usr/bin/env bash
# Installs what playing needs, builds zorva-play and plays a sound through the library: the bundled tone, or the
# file and options given (zorva-play --help lists them). With no sound device it renders to zorva-play.wav.
#   scripts/play.sh [FILE [OPTIONS...]]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The package manager's chatter is shown only when it fails.
log=$(mktemp)
if ! "$root/scripts/install-packages.sh" play >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
rm -f "$log"
cmake -S "$root" -B "$root/build/play" -DCMAKE_BUILD_TYPE=Release -DZORVA_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build/play" --target zorva-play -j 2 >/dev/null
(($# > 0)) || set -- "$root/samples/tone.wav"
exec "$root/build/play/tools/zorva-play/zorva-play" "$@"
