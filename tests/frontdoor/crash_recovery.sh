#!/usr/bin/env bash
# The real window, as an operator meets it after a crash, on a virtual screen: a measurement
# killed with SIGKILL after an autosave is offered back at the next start and restored on Yes;
# a setting changed in the running program survives a SIGKILL; nothing is written to
# settings.ini before the operator changes something. tarvio2-cli reads the files back.
#
# crash_recovery.sh TARVIO2 TARVIO2_CLI   (run under xvfb-run)
set -euo pipefail
program=$1 cli=$2

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvio-frontdoor-XXXXXX")
pid=
cleanup() {
    [[ -n $pid ]] && kill -9 "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    echo "--- program log:" >&2
    cat "$work/program.log" >&2 || true
    exit 1
}

# A copy of the program in a folder of its own, so that settings.ini beside it is the test's.
mkdir -p "$work/bin" "$work/run"
chmod 700 "$work/run"
cp "$program" "$work/bin/tarvio2"
settings=$work/bin/settings.ini
printf '[Settings]\nDelay=0\n[Simulator]\nEnabled=1\nActivity=2000\n[Autosave]\nSeconds=1\n' \
    >"$settings"
cp "$settings" "$work/settings.before"
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
export QT_QPA_PLATFORM=xcb
autosaves=$work/data/tarvio2/autosave

# Starts the program; sets pid and the ids of its visible windows named Tarvio2 (the main
# window, and the restore question when there is one) once `count` of them show.
start() {
    local count=$1
    "$work/bin/tarvio2" >>"$work/program.log" 2>&1 &
    pid=$!
    for _ in $(seq 1 300); do
        mapfile -t windows < <(xdotool search --all --onlyvisible --pid "$pid" --name '^Tarvio2$' \
            2>/dev/null || true)
        ((${#windows[@]} >= count)) && return 0
        sleep 0.1
    done
    fail "$count window(s) did not appear"
}
width_of() { xdotool getwindowgeometry --shell "$1" | sed -n 's/^WIDTH=//p'; }
# The main window is the wide one.
main_window() {
    local w
    for w in "${windows[@]}"; do
        (($(width_of "$w") > 700)) && echo "$w" && return 0
    done
}
# Keys go where the pointer is: there is no window manager to give the focus.
keys() {
    xdotool mousemove --window "$1" 20 60
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    shift
    xdotool key "$@"
}
counts_of() {
    "$cli" convert "$1" "$work/counts.txt" >/dev/null 2>&1 || fail "cannot read $1"
    awk '{ s += $2 } END { print s + 0 }' "$work/counts.txt"
}

# 1. Measuring with the bias on until an autosave holds counts, then SIGKILL.
start 1
window=$(main_window)
# The bias On box in the default layout, below the menu bar.
xdotool mousemove --window "$window" 150 225 click 1
keys "$window" F5
saved=
for _ in $(seq 1 200); do
    newest=$(ls -t "$autosaves"/autosave-*.n42 2>/dev/null | head -n 1 || true)
    if [[ -n $newest ]] && grep -q 'Measurement ended: no' "$newest" &&
        (($(counts_of "$newest") > 20)); then
        saved=$newest
        break
    fi
    sleep 0.1
done
[[ -n $saved ]] || fail "no autosave with counts while measuring"
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
pid=
cmp -s "$settings" "$work/settings.before" ||
    fail "settings.ini was written although nothing was changed: $(cat "$settings")"
autosaved=$(counts_of "$saved")

# 2. The next start asks; Yes restores the spectrum, which Save Spectrum writes.
start 2
window=$(main_window)
question=
for w in "${windows[@]}"; do
    [[ $w != "$window" ]] && question=$w
done
[[ -n $question ]] || fail "no restore question"
keys "$question" Return
for _ in $(seq 1 50); do
    grep -q 'Restored after the program ended' "$saved" && break
    sleep 0.1
done
grep -q 'Restored after the program ended' "$saved" || fail "the autosave was not restored"
keys "$window" ctrl+s
dialog=
for _ in $(seq 1 100); do
    dialog=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -vx "$window" |
        head -n 1 || true)
    [[ -n $dialog ]] && break
    sleep 0.1
done
[[ -n $dialog ]] || fail "Save Spectrum opened no dialog"
sleep 0.5
xdotool mousemove --window "$dialog" 5 5
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool type --delay 5 "$work/restored.txt"
xdotool key Return
for _ in $(seq 1 50); do
    [[ -s $work/restored.txt ]] && break
    sleep 0.1
done
[[ -s $work/restored.txt ]] || fail "Save Spectrum wrote nothing"
restored=$(awk '{ s += $2 } END { print s + 0 }' "$work/restored.txt")
((restored >= autosaved)) || fail "restored $restored counts, the autosave held $autosaved"

# 3. A setting changed in the running program (the window's size) survives a SIGKILL.
xdotool windowsize "$window" 1000 600
for _ in $(seq 1 100); do
    grep -q '^Width=1000' "$settings" && break
    sleep 0.1
done
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
pid=
grep -q '^Width=1000' "$settings" || fail "the new size was not written: $(cat "$settings")"
start 1
window=$(main_window)
(($(width_of "$window") == 1000)) || fail "the next start is $(width_of "$window") wide"
echo "restored $restored counts (autosave $autosaved); the size survived the kill"
