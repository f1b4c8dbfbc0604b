#!/usr/bin/env bash
# ThreadSanitizer run of the headless tests that start threads: the worker-thread queue, the log
# and auto-save threads, everything that runs a main window (it starts both threads) and the
# exciter-sim loopback tests (a reader thread per child process). Any report fails the run.
#
#   scripts/check-tsan.sh [build-dir]     (default build-tsan; JOBS=n for the build, default nproc)
#
# TSAN_SOAK=1 adds the ten-minute soak test (about a minute more under the sanitizer).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-tsan}
jobs=${JOBS:-$(nproc)}

# area -> gtest filter; only areas with tests are built.
declare -A filters=(
    [platform]='*' [services]='*' [link]='*' [shell]='*' [windows]='*'
    [exciter-sim]='ExciterSim.*' [soak]='*'
)
areas=(platform services link shell windows exciter-sim)
if [ "${TSAN_SOAK:-0}" = 1 ]; then areas+=(soak); fi
targets=()
for area in "${areas[@]}"; do
    if compgen -G "$root/tests/unit/$area/*.cpp" > /dev/null; then targets+=("test_$area"); fi
done

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKORVIN_TSAN=ON -DKORVIN_SANITIZE=OFF \
    -DKORVIN_BENCH=OFF > /dev/null
cmake --build "$build" --target "${targets[@]}" -j "$jobs"

# halt_on_error stops at the first report with exitcode 66; the log is also searched, so a
# report from a child process (exciter-sim is built with the sanitizer too) fails as well.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 exitcode=66 ${TSAN_OPTIONS:-}"
export QT_QPA_PLATFORM=offscreen
log=$(mktemp)
trap 'rm -f "$log"' EXIT
failed=()
for t in "${targets[@]}"; do
    area=${t#test_}
    echo "== $t"
    status=0
    (cd "$build" && "./$t" --gtest_filter="${filters[$area]}" --gtest_brief=1) > "$log" 2>&1 ||
        status=$?
    if [ "$status" -ne 0 ] || grep -q "WARNING: ThreadSanitizer" "$log"; then
        cat "$log"
        failed+=("$t")
    else
        grep -E '^\[  (PASSED|SKIPPED) ' "$log" || true
    fi
done

if [ "${#failed[@]}" -ne 0 ]; then
    echo "ThreadSanitizer run failed: ${failed[*]}" >&2
    exit 1
fi
echo "ThreadSanitizer run clean: ${targets[*]}"
