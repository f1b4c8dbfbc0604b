#!/usr/bin/env bash
# Runs the real korvin (RelWithDebInfo) against exciter-sim with the spectrum window open, the
# auto-save file and the frame log switched on, and samples the client's resident memory, open
# descriptors and threads every 10 s. Fails when the client dies or its descriptors or threads
# grow after the first sample.
#
#   scripts/soak.sh [build-dir] [seconds]     (defaults: build, 120; JOBS=n for the build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
seconds=${2:-120}
jobs=${JOBS:-$(nproc)}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" --target korvin exciter-sim -j "$jobs" > /dev/null

# The client writes config.ini, its log and the SNR/IMD file beside its executable.
work=$(mktemp -d)
cp "$build/korvin" "$build/libmonitor.so" "$work/"
printf '[AUTO_SAVE]\nSwitch=1\nCycle=0\nType=0\nPath=%s/\n[CONFIG]\nDefault IP=127.0.0.1\n[SAVE_COMM]\nSwitch=1\n' \
    "$work" > "$work/config.ini"

simpid=
clientpid=
# shellcheck disable=SC2317  # run by the trap
cleanup() {
    exec 3>&- 2> /dev/null || true
    if [ -n "$clientpid" ]; then kill "$clientpid" 2> /dev/null || true; fi
    if [ -n "$simpid" ]; then kill "$simpid" 2> /dev/null || true; fi
    wait 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Polls (bounded) until a command's output matches a pattern.
waitfor() {
    local pattern=$1 file=$2
    for _ in $(seq 200); do
        grep -q "$pattern" "$file" 2> /dev/null && return 0
        sleep 0.05
    done
    echo "soak: timed out waiting for '$pattern' in $file" >&2
    return 1
}

"$build/exciter-sim" --port 0 --record "$work/sim.record" > "$work/sim.out" &
simpid=$!
waitfor '^listening ' "$work/sim.out"
port=$(sed -n 's/^listening .*:\([0-9]*\)$/\1/p' "$work/sim.out")

mkfifo "$work/driver"
KORVIN_DRIVER=1 QT_QPA_PLATFORM=offscreen "$work/korvin" < "$work/driver" > "$work/answers" &
clientpid=$!
exec 3> "$work/driver"
send() { echo "$1" >&3; }
send "set mainform ipedt_dest 127.0.0.1"
send "set mainform edt_port $port"
send "click mainform btn_connect"
for _ in $(seq 100); do
    send "state mainform btmbtn_spe"
    sleep 0.1
    grep -q "^ok enabled=1 " "$work/answers" && break
done
grep -q "^ok enabled=1 " "$work/answers" || { echo "soak: client did not connect" >&2; exit 1; }
send "click mainform btmbtn_spe"

printf '%6s %10s %5s %8s %9s %10s\n' seconds rss_kb fds threads captures log_lines
first_fds='' first_threads='' first_rss='' rss=''
status=0
for ((t = 10; t <= seconds; t += 10)); do
    sleep 10
    if ! kill -0 "$clientpid" 2> /dev/null; then
        echo "soak: korvin ended after less than $t s" >&2
        exit 1
    fi
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$clientpid/status")
    threads=$(awk '/^Threads:/ {print $2}' "/proc/$clientpid/status")
    fds=$(find "/proc/$clientpid/fd" -mindepth 1 -maxdepth 1 | wc -l)
    captures=$(grep -c '^DONE capture=' "$work/sim.record" || true)
    loglines=$(cat "$work"/log*.txt 2> /dev/null | wc -l)
    printf '%6d %10d %5d %8d %9d %10d\n' "$t" "$rss" "$fds" "$threads" "$captures" "$loglines"
    if [ -z "$first_fds" ]; then
        first_fds=$fds first_threads=$threads first_rss=$rss
    elif [ "$fds" -ne "$first_fds" ] || [ "$threads" -ne "$first_threads" ]; then
        status=1
    fi
done
echo "soak: resident memory $first_rss kB at 10 s, $rss kB at $seconds s"
[ "$status" -eq 0 ] || echo "soak: descriptors or threads grew" >&2
exit "$status"
