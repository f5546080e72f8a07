#!/usr/bin/env bash
# The installed program as a user meets it: installed into a prefix made read-only, started on
# a virtual screen, closed as a window manager closes it; its settings go to the user's
# configuration folder, seeded from a site-wide file beside the executable.
#
# installed_program.sh BUILD_DIR WM_CLOSE VERSION APP_ID   (run under xvfb-run)
set -euo pipefail
build=$1 wm_close=$2 version=$3 app_id=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvio-install-XXXXXX")
cleanup() {
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null

# Everything a desktop install needs is where desktops look for it.
share=$prefix/share
expected=(
    bin/tarvio2
    share/applications/$app_id.desktop
    share/metainfo/$app_id.metainfo.xml
    share/icons/hicolor/scalable/apps/$app_id.svg
    share/doc/tarvio2/README.md
    share/man/man1/tarvio2.1.gz
)
# The command-line program, when this build has it.
if [[ -f $build/src/app/tarvio2-cli ]]; then
    expected+=(bin/tarvio2-cli share/man/man1/tarvio2-cli.1.gz)
fi
sizes=(16 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
for file in "${expected[@]}"; do
    [[ -f $prefix/$file ]] || fail "not installed: $file"
done
for size in "${sizes[@]}"; do
    drawn=$(identify -format '%wx%h' "$share/icons/hicolor/${size}x${size}/apps/$app_id.png")
    [[ $drawn == "${size}x${size}" ]] || fail "the ${size}x${size} icon is $drawn"
done
rules=("$prefix"/lib/udev/rules.d/*.rules)
[[ ${#rules[@]} -eq 1 && -f ${rules[0]} ]] || fail "expected one udev rule, found: ${rules[*]}"
grep -q '0403' "${rules[0]}" || fail "the udev rule does not name FTDI's vendor id"

# Both programs answer --version and --help at the terminal, without a display.
[[ $(env -u DISPLAY "$prefix/bin/tarvio2" --version) == "tarvio2 $version" ]] ||
    fail "tarvio2 --version: $(env -u DISPLAY "$prefix/bin/tarvio2" --version 2>&1)"
env -u DISPLAY "$prefix/bin/tarvio2" --help | grep -q '^Usage: tarvio2' || fail "tarvio2 --help"
if [[ -x $prefix/bin/tarvio2-cli ]]; then
    [[ $("$prefix/bin/tarvio2-cli" --version) == "tarvio2-cli $version" ]] ||
        fail "tarvio2-cli --version: $("$prefix/bin/tarvio2-cli" --version 2>&1)"
fi

desktop=$share/applications/$app_id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml" >/dev/null ||
    fail "appstreamcli validate: $(appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml")"
grep -qx "Exec=tarvio2" "$desktop" || fail "the menu entry does not start tarvio2"
grep -qx "Icon=$app_id" "$desktop" || fail "the menu entry does not name the installed icon"
grep -q "<release version=\"$version\"" "$share/metainfo/$app_id.metainfo.xml" ||
    fail "the AppStream metadata has no release $version"

# A site-wide default beside the executable, then nothing under the prefix can be written.
site=$prefix/bin/settings.ini
printf '[Settings]\nBiasMax=60\n[Simulator]\nSeed=7\n' >"$site"
chmod -R a-w "$prefix"
beside=$(ls "$prefix/bin")

# Starts the installed program with a configuration folder, waits for its window and closes it
# through the window manager's protocol; the program saves its settings on close.
run_once() {
    local config=$1 log=$work/program.log
    XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=xcb "$prefix/bin/tarvio2" >"$log" 2>&1 &
    local pid=$! window
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tarvio2$' | head -n 1) ||
        true
    if [[ -z $window ]]; then
        kill "$pid" 2>/dev/null || true
        fail "no window appeared: $(cat "$log")"
    fi
    "$wm_close" "$window"
    for _ in $(seq 300); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
        fail "the program did not end after its window was closed: $(cat "$log")"
    fi
    wait "$pid" || fail "the program ended with status $?: $(cat "$log")"
}

config=$work/config
user=$config/tarvio2/settings.ini
run_once "$config"
[[ -f $user ]] || fail "no settings written to $user"
for line in '[Simulator]' 'Seed=7' 'BiasMax=60' 'BiasMin=16' 'Delay=200'; do
    grep -qxF "$line" "$user" || fail "$line missing from the first start's settings: $(cat "$user")"
done
[[ $(ls "$prefix/bin") == "$beside" ]] || fail "files appeared beside the program"

# The installed command-line program finds the simulated interface and writes nothing beside
# itself either.
if [[ -x $prefix/bin/tarvio2-cli ]]; then
    XDG_CONFIG_HOME=$config "$prefix/bin/tarvio2-cli" list >"$work/cli.log" 2>&1 ||
        fail "tarvio2-cli list: $(cat "$work/cli.log")"
    [[ $(ls "$prefix/bin") == "$beside" ]] || fail "tarvio2-cli left files beside the program"
fi

# The next start reads the user's file, not the site-wide one: a changed delay survives.
sed -i 's/^Delay=200$/Delay=150/' "$user"
run_once "$config"
grep -qxF 'Delay=150' "$user" || fail "the second start did not read the user's file: $(cat "$user")"
grep -qxF 'BiasMax=60' "$user" || fail "the second start lost the seeded value"
[[ $(cat "$site") == $'[Settings]\nBiasMax=60\n[Simulator]\nSeed=7' ]] ||
    fail "the site-wide file changed"
echo "installed program: settings follow the user"
