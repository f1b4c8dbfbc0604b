#!/usr/bin/env bash
# Takes the README's screenshots: the real client under Xvfb against exciter-sim, each window
# opened from the main window through the test driver, the screen grabbed with ImageMagick.
#   scripts/screenshots.sh [build-dir] [output-dir]
set -euo pipefail
build=$(realpath "${1:-build}")
out=$(realpath -m "${2:-docs}")
mkdir -p "$out"
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT

"$build/exciter-sim" --port 0 --max-seconds 600 --snr 32 --tilt 0.3 --gd-ripple 20 --nonlinear 0.005 >"$work/sim.txt" &
for _ in $(seq 50); do grep -q '^listening' "$work/sim.txt" && break; sleep 0.1; done
port=$(sed -n 's/^listening .*:\([0-9]*\)$/\1/p' "$work/sim.txt")

cp "$build/korvin" "$build/libmonitor.so" "$work/"
mkfifo "$work/in"
export DISPLAY=:97
Xvfb :97 -screen 0 1280x1024x24 >/dev/null 2>&1 &
sleep 1
KORVIN_DRIVER=1 "$work/korvin" <"$work/in" >"$work/out.txt" 2>/dev/null &
exec 3>"$work/in"
say() { echo "$1" >&3; sleep "${2:-0.3}"; }

say "set mainform ipedt_dest 127.0.0.1"
say "set mainform edt_port $port"
say "click mainform btn_connect" 2
import -window root "$work/full.png"
convert "$work/full.png" -trim "$out/window-main.png"
for w in ste:TForm_ste eye:TForm_eye amp:TForm_amp spe:TForm_spec snr:TForm_snr; do
    button=${w%%:*} form=${w#*:}
    # The IMD and SNR window is shown with a few minutes of history (SNR_SECONDS).
    wait=8; [ "$button" = snr ] && wait=${SNR_SECONDS:-180}
    say "click mainform btmbtn_$button" "$wait"
    import -window root "$work/full.png"
    convert "$work/full.png" -trim "$out/window-$button.png"
    say "close $form" 1
done
say "menu mainform mniExit1" 1
echo "screenshots in $out"
