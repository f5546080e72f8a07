#!/usr/bin/env bash
# The window measuring on the simulated interface gets SIGTERM, as a logout or a shutdown
# sends it: it closes as the operator's close does, leaving the last autosave and its
# settings, with exit status 0.
#
# signal_close.sh TARVIO2   (run under xvfb-run)
set -euo pipefail
program=$1

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvio-signal-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# A copy of the program, so that the settings.ini beside it is the test's own.
mkdir -p "$work/bin"
cp "$program" "$work/bin/tarvio2"
settings=$work/bin/settings.ini

for signal in TERM HUP; do
    rm -rf "$work/data"
    printf '[Settings]\nDelay=0\n[Simulator]\nEnabled=1\n' >"$settings"
    log=$work/program.log
    XDG_DATA_HOME=$work/data QT_QPA_PLATFORM=xcb "$work/bin/tarvio2" >"$log" 2>&1 &
    pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tarvio2$' | head -n 1) || true
    [[ -n $window ]] || { kill "$pid"; fail "no window appeared: $(cat "$log")"; }
    # The virtual screen has no window manager to give the window the keyboard.
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key F5 # Start
    sleep 1 # measuring
    kill -"$signal" "$pid"
    status=0
    timeout 30 tail --pid="$pid" -f /dev/null || { kill -9 "$pid"; fail "SIG$signal did not end it"; }
    wait "$pid" || status=$?
    [[ $status -eq 0 ]] || fail "SIG$signal: exit status $status: $(cat "$log")"
    files=("$work"/data/tarvio2/autosave/autosave-*.n42)
    [[ -f ${files[0]} ]] || fail "SIG$signal: no autosave: $(cat "$log")"
    grep -q 'Measurement ended: yes' "${files[0]}" || fail "SIG$signal: the autosave is not final"
    grep -qx 'BiasMin=16' "$settings" || fail "SIG$signal: settings.ini was not written"
done
echo "SIGTERM and SIGHUP close the window with its autosave and settings"
