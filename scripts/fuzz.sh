#!/usr/bin/env bash
# Builds the libFuzzer targets with AddressSanitizer + UndefinedBehaviorSanitizer and runs each
# for a bounded time, starting from its committed inputs and freshly generated seeds. Fails on
# any crash, leak, undefined behaviour or broken invariant, keeping the input that caused it.
# Usage: scripts/fuzz.sh [build dir]   (default build-fuzz)
# Environment: FUZZ_SECONDS per target (default 60), FUZZ_JOBS build jobs (default: all cores).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-$(nproc)}
targets=(fuzz_frames fuzz_readpath fuzz_configini)

rt=$(clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a 2>/dev/null || true)
if [ ! -f "$rt" ]; then
    echo "fuzz.sh: clang's libFuzzer runtime is missing (Debian: libclang-rt-14-dev)" >&2
    exit 1
fi

flags="-fsanitize=fuzzer-no-link"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ ${launcher[@]+"${launcher[@]}"} \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVIN_SANITIZE=ON -DKORVIN_BENCH=OFF -DKORVIN_FUZZ=ON \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" --target "${targets[@]}" fuzz_seeds -j"$jobs"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/korvin-fuzz.XXXXXX")
"$build/fuzz_seeds" "$scratch/fuzz_readpath" "$scratch/fuzz_configini" "$scratch/fuzz_frames"

declare -A maxlen=([fuzz_frames]=1024 [fuzz_readpath]=8192 [fuzz_configini]=4096)
# fuzz_frames keeps one exciter link over many inputs, so what an input allocates may outlive it:
# no leak check per input there (fuzz_readpath checks leaks with a fresh main window per input).
declare -A leaks=([fuzz_frames]=0 [fuzz_readpath]=1 [fuzz_configini]=1)
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
failed=0
for t in "${targets[@]}"; do
    corpus="$scratch/$t"
    cp "$root/tests/fuzz/corpus/$t/"* "$corpus/" 2>/dev/null || true
    log="$scratch/$t.log"
    if "$build/$t" "$corpus" -max_total_time="$seconds" -max_len="${maxlen[$t]}" -timeout=60 \
        -detect_leaks="${leaks[$t]}" \
        -rss_limit_mb=4096 -error_exitcode=77 -print_final_stats=1 \
        -artifact_prefix="$scratch/$t-" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "$t: ${runs:-?} executions in ${seconds} s ($(( ${runs:-0} / seconds )) a second), no fault"
    else
        failed=1
        tail -n 60 "$log" >&2
        echo "$t: FAILED; input and log kept in $scratch (add the input to tests/fuzz/corpus/$t/)" >&2
    fi
done
[ "$failed" -eq 0 ] && rm -rf "$scratch"
exit "$failed"
