#!/bin/sh
# CI entry point: the native suite under ASan+UBSan, the suites that run threads (streams and their refills, the
# stress, timers, start-up, the scenarios on their timer thread) under TSan, then valgrind memcheck over the suites
# that decode and render through the platform end to end (streams, the decode fuzz target's replay, a scenario).
#
# The sanitizer test presets leave out installed_tree_consumers: it builds a plain host against the installed,
# instrumented library, which no sanitizer runtime supports (the runtime must be linked into the executable). They
# leave out the game hosts too: those quit without a release on purpose, which a leak check rightly reports.
# allocator_may_return_null=1 lets a failed huge allocation return null as the C library's does, which the start-up
# tests rely on; nothing is suppressed.
set -eu
cd "$(dirname "$0")/.."
# The presets leave the job count to the caller: every core here.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

step() { printf '\n=== %s\n' "$*"; }

for preset in asan tsan; do
    step "$preset: configure, build, test"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" -j2
done

# The plain native Debug tree serves memcheck when the test command has built it already.
if [ -x build/native/tests/fuzz/decode_stream_fuzzer ]; then
    build=build/native/tests
else
    step "memcheck: build"
    cmake --preset memcheck >/dev/null
    cmake --build --preset memcheck
    build=build/memcheck/tests
fi
memcheck() {
    step "memcheck: $*"
    # Definite, indirect and possible leaks and every invalid access fail the step; memory that a library keeps
    # reachable until exit (mpg123's tables, SDL's state) is no leak.
    ZORVA_OUTPUT=null valgrind --quiet --error-exitcode=99 --leak-check=full \
        --errors-for-leak-kinds=definite,indirect,possible --show-leak-kinds=definite,indirect,possible \
        --track-fds=no "$@"
}
memcheck "$build/stream/stream_tests"
memcheck "$build/fuzz/decode_stream_fuzzer" "$build/fuzz/corpus/decode_stream_fuzzer" tests/fuzz/regressions/decode_stream_fuzzer
tests=$(pwd)/tests
(cd "$build/differential/scenario-data" &&
    ZORVA_CAPTURE=../captures/memcheck.raw memcheck ../portable_scenario_host "$tests/windows/scripts/stream_codecs.scn")
step "sanitizers and memcheck passed"
