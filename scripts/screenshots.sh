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

# Starts an exciter-sim with the given options; its port in $port.
startsim() {
    local name=$1
    shift
    "$build/exciter-sim" --port 0 --max-seconds 900 "$@" >"$work/$name.txt" &
    for _ in $(seq 50); do grep -q '^listening' "$work/$name.txt" && break; sleep 0.1; done
    port=$(sed -n 's/^listening .*:\([0-9]*\)$/\1/p' "$work/$name.txt")
}
# The exciter of most windows passes every mask; the Signal Quality window is shown against one
# with an echo, and the Spectrum window once more against one whose shoulders fail the mask.
startsim echo --snr 32 --tilt 0.3 --nonlinear 0.005 --echo -22,2.5
echoport=$port
startsim fail --snr 32 --nonlinear 0.05
failport=$port
startsim sim --snr 32 --tilt 0.3 --gd-ripple 20 --nonlinear 0.005

cp "$build/korvin" "$build/libmonitor.so" "$work/"
mkfifo "$work/in"
export DISPLAY=:97
Xvfb :97 -screen 0 1280x1024x24 >/dev/null 2>&1 &
sleep 1
KORVIN_DRIVER=1 "$work/korvin" <"$work/in" >"$work/out.txt" 2>/dev/null &
exec 3>"$work/in"
say() { echo "$1" >&3; sleep "${2:-0.3}"; }
shoot() {
    import -window root "$work/full.png"
    convert "$work/full.png" -trim "$out/$1.png"
}
# Opens a window from its button, waits, takes it as window-<name>.png and closes it.
showwindow() {
    say "click mainform btmbtn_$1" "$3"
    shoot "window-$4"
    say "close $2" 1
}
# Connects the main window to the exciter-sim on port $1.
exciter() {
    say "click mainform btn_disconnect" 1
    say "set mainform edt_port $1"
    say "click mainform btn_connect" 2
}

say "set mainform ipedt_dest 127.0.0.1"
say "set mainform edt_port $port"
say "click mainform btn_connect" 2
shoot window-main
for w in ste:TForm_ste eye:TForm_eye amp:TForm_amp spe:TForm_spec snr:TForm_snr; do
    button=${w%%:*} form=${w#*:}
    # The IMD and SNR window is shown with a few minutes of history (SNR_SECONDS).
    wait=8; [ "$button" = snr ] && wait=${SNR_SECONDS:-180}
    showwindow "$button" "$form" "$wait" "$button"
done
exciter "$echoport"
showwindow qua TForm_quality 8 qua
exciter "$failport"
showwindow spe TForm_spec 8 spe-fail
say "menu mainform mniExit1" 1
echo "screenshots in $out"
