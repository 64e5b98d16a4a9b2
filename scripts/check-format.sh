#!/usr/bin/env bash
# Fails when a C or C++ file tracked by git differs from what clang-format makes of it with the repo's .clang-format.
#   scripts/check-format.sh          check
#   scripts/check-format.sh --fix    rewrite the files that differ
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if [[ ${1:-} == --fix ]]; then
    clang-format -i "${files[@]}"
    exit 0
fi
clang-format --dry-run --Werror "${files[@]}"
echo "=== format: ${#files[@]} files as .clang-format has them"
