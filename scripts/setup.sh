#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the tests and the program need and
# the machine lacks. Safe to run again: it installs nothing when everything is present.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config ccache
    qt6-base-dev libftdi1-dev libusb-1.0-0-dev libeigen3-dev
    libpugixml-dev libxml2-utils libcli11-dev nlohmann-json3-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libhdf5-dev python3-h5py
    clang libclang-rt-14-dev
    xvfb xauth fonts-dejavu-core xdotool imagemagick
    librsvg2-bin libxcb1-dev desktop-file-utils appstream dpkg-dev file lintian
    # The Tango device server, and the Python client its tests drive it with.
    libtango-dev python3-tango
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    if [[ $(id -u) -ne 0 ]]; then
        if command -v sudo >/dev/null; then
            sudo="sudo"
        else
            echo "These Debian packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
            exit 1
        fi
    fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Access to FTDI interfaces for the user at the seat, where udev runs. The rule applies to
# devices already plugged in once udev is triggered for FTDI's vendor id: no replug needed.
rule_src="$(dirname "$0")/../packaging/70-tarvio2-ftdi.rules"
rule_dst=/etc/udev/rules.d/70-tarvio2-ftdi.rules
old_rule=/etc/udev/rules.d/99-tarvio2-ftdi.rules
if [[ -f "$rule_src" && -d /etc/udev/rules.d ]] && { ! cmp -s "$rule_src" "$rule_dst" 2>/dev/null || [[ -e "$old_rule" ]]; }; then
    as_root=()
    if [[ $(id -u) -ne 0 ]] && command -v sudo >/dev/null; then
        as_root=(sudo)
    fi
    if [[ $(id -u) -eq 0 || ${#as_root[@]} -gt 0 ]]; then
        # Nothing goes into /etc unannounced: say what, where, why and how to undo it.
        echo "Installing the udev rule $rule_dst (from packaging/), so that the user at the" \
            "seat can open FTDI readout interfaces (USB vendor id 0403) without root;" \
            "delete that file to undo."
        # The earlier rule made every FTDI device world-writable: it goes.
        if [[ -e "$old_rule" ]]; then
            echo "Removing the earlier rule $old_rule, which let every user open any FTDI device."
        fi
        "${as_root[@]}" rm -f "$old_rule" || true
        "${as_root[@]}" cp "$rule_src" "$rule_dst" &&
            { "${as_root[@]}" udevadm control --reload-rules 2>/dev/null || true; } &&
            { "${as_root[@]}" udevadm trigger --subsystem-match=usb --attr-match=idVendor=0403 \
                  --action=change 2>/dev/null || true; }
    fi
fi
exit 0
