#!/usr/bin/env bash
# Runs every benchmark program and writes bench/RESULTS.md: machine, date and one table row per
# benchmark with its median over the repetitions (the idle-CPU and monitor programs run once:
# they measure 20 to 60 s of steady state per case).
#   scripts/bench.sh [release-build-dir]
set -euo pipefail
build=${1:-build-release}
out=bench/RESULTS.md
raw=$(mktemp)
trap 'rm -f "$raw"' EXIT

for b in "$build"/bench_*; do
    name=$(basename "$b")
    reps=5
    case $name in bench_idle | bench_monitor) reps=1 ;; esac
    echo "running $name" >&2
    QT_QPA_PLATFORM=offscreen "$b" --benchmark_repetitions=$reps --benchmark_min_time=0.2 \
        --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
        sed "s/^/$name,/" >>"$raw"
done

{
    echo "# Benchmark results"
    echo
    echo "Written by \`make bench\` (Release build, Qt offscreen)."
    echo
    echo "- date: $(date -u +%Y-%m-%d\ %H:%M) UTC"
    echo "- machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
    echo "- commit: $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
    echo
    echo "| program | benchmark | median (wall) | processor | counters |"
    echo "|---|---|---|---|---|"
    # Rows: the _median aggregate, or the single run when a benchmark ran once.
    awk -F, '
        $2 == "name" { ncol = NF; for (i = 12; i <= NF; ++i) head[i] = $i; next }
        $2 ~ /_(mean|stddev|cv)"$/ { next }
        {
            bench = $2; gsub(/"/, "", bench); sub(/_median$/, "", bench)
            extra = ""
            if ($8 != "") extra = sprintf("items/s=%.0f ", $8)
            for (i = 12; i <= ncol; ++i)
                if ($i != "") { h = head[i]; gsub(/"/, "", h); extra = extra h "=" $i " " }
            printf "| %s | %s | %.4g %s | %.4g %s | %s |\n", $1, bench, $4, $6, $5, $6, extra
        }' "$raw"
} >"$out"
cat "$out"
