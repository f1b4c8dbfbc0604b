#!/usr/bin/env bash
# Starts the stand-in exciter on 127.0.0.1:5700 and the client pointed at it.
set -euo pipefail
build=${1:-build}
sim="$build/exciter-sim"
client="$build/korvin"
# The client reads config.ini beside its executable; point its default address at the simulator.
cfg="$build/config.ini"
if [ ! -f "$cfg" ]; then
    printf '[AUTO_SAVE]\nSwitch=0\nCycle=0\nType=0\nPath=%s/\n[CONFIG]\nDefault IP=127.0.0.1\n[SAVE_COMM]\nSwitch=0\n' \
        "$(cd "$build" && pwd)" > "$cfg"
else
    # A config.ini left by an earlier run may name another exciter: the demo's is on loopback.
    sed -i 's/^Default IP=.*/Default IP=127.0.0.1/I' "$cfg"
fi
# A realistic exciter that passes every mask by default (its figures then sit on the charts);
# SIM_OPTS replaces them.
read -r -a simopts <<< "${SIM_OPTS:---snr 32 --tilt 0.3 --gd-ripple 20 --nonlinear 0.005}"
"$sim" --port 5700 --record "$build/exciter-sim.record" "${simopts[@]}" > /dev/null &
simpid=$!
trap 'kill $simpid 2>/dev/null || true' EXIT
echo "exciter-sim listening on 127.0.0.1:5700 (record: $build/exciter-sim.record)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "no display: running the client under Xvfb"
    xvfb-run -a -s "-screen 0 1280x1024x24" "$client" "${@:2}"
else
    "$client" "${@:2}"
fi
