#!/usr/bin/env bash
# Runs the built program on a virtual screen, measures for a few seconds on the simulated
# interface (bias on, Start) and saves a picture of the screen.
#   scripts/screenshot.sh [OUTPUT.png] [SECONDS] [BUILD_DIR]
# Needs xvfb, xdotool and imagemagick (scripts/setup.sh installs them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$root/build/screenshot.png}")"
seconds="${2:-5}"
exe="${3:-$root/build}/src/app/tarvio2"
[[ -x "$exe" ]] || { echo "Build first: scripts/build.sh" >&2; exit 1; }

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    exe=$1 out=$2 seconds=$3
    "$exe" &
    pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    wid=$(xdotool search --sync --onlyvisible --name "^Tarvio2\$" | head -n 1)
    sleep 1
    # The client area below the menu is 384 pixels high; the menu takes the rest.
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    menu=$((HEIGHT - 384))
    click() { xdotool mousemove --window "$wid" "$1" $(($2 + menu)) click 1; sleep 0.3; }
    click 150 194   # Bias: On
    click 40 210    # the bias edit box: 60 V
    xdotool key --window "$wid" ctrl+a && xdotool type --window "$wid" 60
    click 97 211    # Bias: Set
    click 236 360   # Start
    sleep "$seconds"
    import -window root "$out"
' bash "$exe" "$out" "$seconds"
echo "$out"
