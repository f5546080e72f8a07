#!/usr/bin/env bash
# Runs the built program on a virtual screen, measures for a few seconds on the simulated
# interface (bias on, Start) and saves a picture of the screen.
#   scripts/screenshot.sh [--size WIDTHxHEIGHT] [OUTPUT.png] [SECONDS] [BUILD_DIR]
# Without --size the window keeps its default size, centred on a 1024 x 768 screen. With
# --size the screen has that size and the window fills it, so the picture is the window.
# QT_SCALE_FACTOR=2 in the environment shows the window as on a screen of double density.
# Needs xvfb, xdotool and imagemagick (scripts/setup.sh installs them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
size=""
if [[ "${1:-}" == "--size" ]]; then
    size="${2:?--size needs WIDTHxHEIGHT}"
    shift 2
elif [[ "${1:-}" == --size=* ]]; then
    size="${1#--size=}"
    shift
fi
if [[ -n "$size" && ! "$size" =~ ^[1-9][0-9]{2,4}x[1-9][0-9]{2,4}$ ]]; then
    echo "--size takes WIDTHxHEIGHT in pixels, for example 1600x900" >&2
    exit 2
fi
out="$(realpath -m "${1:-$root/build/screenshot.png}")"
seconds="${2:-5}"
exe="${3:-$root/build}/src/app/tarvio2"
[[ -x "$exe" ]] || { echo "Build first: scripts/build.sh" >&2; exit 1; }
screen="${size:-1024x768}"

xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
    set -euo pipefail
    exe=$1 out=$2 seconds=$3 size=$4
    "$exe" &
    pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    wid=$(xdotool search --sync --onlyvisible --name "^Tarvio2\$" | head -n 1)
    sleep 1
    # The client area below the menu is 384 pixels high at the default size, the status bar
    # under it 22; the menu takes the rest. The controls are clicked there, before any resize, in the window'"'"'s pixels
    # times a whole scale factor.
    scale=${QT_SCALE_FACTOR:-1}
    [[ "$scale" =~ ^[1-9]$ ]] || scale=1
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    menu=$((HEIGHT - (384 + 22) * scale))
    click() {
        xdotool mousemove --window "$wid" $(($1 * scale)) $(($2 * scale + menu)) click 1
        sleep 0.3
    }
    click 150 203   # Bias: On
    click 40 210    # the bias edit box: 60 V
    xdotool key --window "$wid" ctrl+a && xdotool type --window "$wid" 60
    click 97 211    # Bias: Set
    click 236 360   # Start
    if [[ -n "$size" ]]; then
        # No window manager here: no frame, so the window can fill the screen exactly.
        xdotool windowmove --sync "$wid" 0 0
        xdotool windowsize --sync "$wid" "${size%x*}" "${size#*x}"
        xdotool mousemove 0 0
    fi
    sleep "$seconds"
    import -window root "$out"
' bash "$exe" "$out" "$seconds" "$size"
echo "$out"
