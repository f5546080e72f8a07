#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the tests and the program need and
# the machine lacks. Safe to run again: it installs nothing when everything is present.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev libftdi1-dev libusb-1.0-0-dev libeigen3-dev
    libpugixml-dev libxml2-utils
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    xvfb xauth fonts-dejavu-core xdotool imagemagick
    librsvg2-bin libxcb1-dev desktop-file-utils appstream dpkg-dev file lintian
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

# Access to FTDI interfaces without root, where udev runs.
rule_src="$(dirname "$0")/../packaging/99-tarvio2-ftdi.rules"
rule_dst=/etc/udev/rules.d/99-tarvio2-ftdi.rules
if [[ -f "$rule_src" && -d /etc/udev/rules.d ]] && ! cmp -s "$rule_src" "$rule_dst" 2>/dev/null; then
    if [[ $(id -u) -eq 0 ]]; then
        cp "$rule_src" "$rule_dst" && (udevadm control --reload-rules 2>/dev/null || true)
    elif command -v sudo >/dev/null; then
        sudo cp "$rule_src" "$rule_dst" && (sudo udevadm control --reload-rules 2>/dev/null || true)
    fi
fi
exit 0
