#!/usr/bin/env bash
# Prints the size of the test code against the product code, in non-blank lines of the files git tracks: the .c,
# .cpp and .h files under tests/ against those under src/, posix_win32/, include/ and tools/; then the whole suite
# (with its scenario scripts, CMake, shell and Python, the fixtures and fuzz inputs aside) against the same product.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
lines() { xargs cat | grep -cv '^[[:space:]]*$'; }
product=$(git ls-files -- src posix_win32 include tools | grep -E '\.(c|cpp|h)$' | lines)
tests=$(git ls-files -- tests | grep -E '\.(c|cpp|h)$' | lines)
suite=$(git ls-files -- tests | grep -Ev '^tests/(fixtures|fuzz/cases|fuzz/regressions)/' |
    grep -E '\.(c|cpp|h|scn|cmake|sh|py|rc)$|CMakeLists\.txt$' | lines)
awk -v t="$tests" -v s="$suite" -v p="$product" 'BEGIN {
    printf "test lines: %d tests / %d product = %.2f\n", t, p, t / p
    printf "whole suite: %d lines / %d product = %.2f\n", s, p, s / p
}'
