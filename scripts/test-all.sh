#!/usr/bin/env bash
# Installs what is missing, then configures, builds and tests every build of ZORVA_Sound: the native Linux library,
# and ZORVA_Sound.dll for 32 and 64 bits (mingw-w64), whose tests run under Wine. Runs all three even when one
# fails; answers non-zero when any configure, build or test failed.
#
#   scripts/test-all.sh                      build trees build/native, build/win32, build/win64
#   ZORVA_BUILD_PREFIX=build/ci- scripts/test-all.sh    build trees build/ci-native, build/ci-win32, ...
#   ZORVA_BUILDS="native win32" scripts/test-all.sh     only those builds
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
prefix=${ZORVA_BUILD_PREFIX:-build/}
[[ $prefix = /* ]] || prefix=$root/$prefix
builds=${ZORVA_BUILDS:-native win32 win64}
jobs=${ZORVA_JOBS:-2}

passed_total=0
failed_total=0
broken=()

# One build: configure with its preset into its own tree, build everything, run every test it has.
run_build() {
    local name=$1 tree=$prefix$1 log
    log=$(mktemp)
    echo "=== $name: configure ($tree)"
    cmake --preset "$name" -B "$tree" -Wno-dev || return 1
    echo "=== $name: build"
    cmake --build "$tree" -j "$jobs" || return 1
    echo "=== $name: test"
    ctest --test-dir "$tree" --output-on-failure -j "$jobs" 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]}
    # "NN% tests passed, F tests failed out of T"
    local summary
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    rm -f "$log"
    if [[ -z $summary ]]; then
        echo "=== $name: ctest printed no summary"
        return 1
    fi
    local failed total
    failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$summary")
    total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$summary")
    passed_total=$((passed_total + total - failed))
    failed_total=$((failed_total + failed))
    return "$status"
}

cd "$root" || exit 1
"$root/scripts/install-packages.sh" || exit 1
for build in $builds; do
    if ! run_build "$build"; then
        broken+=("$build")
    fi
done

echo
echo "=== builds: $builds"
if ((${#broken[@]})); then
    echo "=== failed: ${broken[*]}"
fi
echo "all builds: $passed_total passed, $failed_total failed"
((${#broken[@]} == 0))
