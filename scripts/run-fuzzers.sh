#!/bin/sh
# CI entry point for the fuzz targets: build the fuzz preset (clang, libFuzzer with ASan and UBSan), replay the
# seed corpora and the inputs of earlier findings, then fuzz every target for a bounded time, two at a time.
#   scripts/run-fuzzers.sh [seconds per target, default 60]
# Findings are left as crash-*/oom-*/timeout-* files in build/fuzz/run/<target>/; copy one into
# tests/fuzz/regressions/<target>/ together with its fix.
set -eu
cd "$(dirname "$0")/.."
# The presets leave the job count to the caller: every core here.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
seconds=${1:-60}
targets="wave_fuzzer decode_stream_fuzzer"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz

bin=build/fuzz/tests/fuzz
run=build/fuzz/run
fuzz_one() {
    target=$1
    work=$run/$target
    rm -rf "$work"
    mkdir -p "$work/corpus"
    regressions=tests/fuzz/regressions/$target
    [ -d "$regressions" ] || regressions=
    # The decode stream takes inputs long enough to hold a damaged tail past its bounded stretch of silent source.
    max_len=8192
    [ "$target" = decode_stream_fuzzer ] && max_len=262144
    # New inputs go to the scratch corpus; the seeds and regressions are only read. An input slower than the
    # timeout is a finding, as a crash is.
    "$bin/$target" -max_total_time="$seconds" -max_len=$max_len -timeout=3 -rss_limit_mb=2048 -malloc_limit_mb=512 \
        -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "$bin/corpus/$target" $regressions \
        >"$work/log" 2>&1
}

failed=0
set -- $targets
while [ $# -gt 0 ]; do
    first=$1
    shift
    second=${1:-}
    [ $# -gt 0 ] && shift
    fuzz_one "$first" &
    first_pid=$!
    second_pid=
    if [ -n "$second" ]; then
        fuzz_one "$second" &
        second_pid=$!
    fi
    for pair in "$first:$first_pid" "$second:$second_pid"; do
        target=${pair%%:*}
        pid=${pair#*:}
        [ -n "$target" ] || continue
        if wait "$pid"; then status=passed; else status=FAILED; failed=1; fi
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/$target/log")
        cov=$(grep -o 'cov: [0-9]*' "$run/$target/log" | tail -1)
        echo "=== $target: $status, ${runs:-?} runs, $cov"
        [ "$status" = passed ] || tail -n 40 "$run/$target/log"
    done
done
exit $failed
