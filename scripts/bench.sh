#!/usr/bin/env bash
# Runs every benchmark program and writes bench/RESULTS.md with the medians.
set -euo pipefail
build=${1:-build-release}
out=bench/RESULTS.md
{
    echo "# Benchmark results"
    echo
    echo "- date: $(date -u +%Y-%m-%dT%H:%MZ)"
    echo "- machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
    echo
    for b in "$build"/bench_*; do
        echo "## $(basename "$b")"
        echo
        echo '```'
        QT_QPA_PLATFORM=offscreen "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
            --benchmark_min_time=0.2 2>/dev/null | grep -E 'median|Benchmark|---' || true
        echo '```'
        echo
    done
} > "$out"
cat "$out"
