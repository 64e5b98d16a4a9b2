#!/usr/bin/env bash
# Prints the size of the test code against the product code: non-blank lines of the .c, .cpp and .h files that git
# tracks, under tests/ against src/, posix_win32/, include/ and tools/ (benches, scripts, fixtures, transcripts and
# scenario scripts are left out of both).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
count() { git ls-files -- "$@" | grep -E '\.(c|cpp|h)$' | xargs cat | grep -cv '^[[:space:]]*$'; }
tests=$(count tests)
product=$(count src posix_win32 include tools)
awk -v t="$tests" -v p="$product" 'BEGIN { printf "test lines: %d tests / %d product = %.2f\n", t, p, t / p }'
