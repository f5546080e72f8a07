#!/usr/bin/env bash
# Builds the Debian package: package.sh [BUILD_DIR] and prints the package's path.
#
# Without BUILD_DIR it uses build-package/, configured without tests and benchmarks, so that
# only what ships is compiled (the programs, the icon sizes, the compressed manual pages).
# A BUILD_DIR that exists is used as it is configured (CI packages the folder it tested).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build-package}"
options=()
if [[ ! -f $dir/CMakeCache.txt ]]; then
    options=(-DTARVIO_BUILD_TESTS=OFF -DTARVIO_BUILD_BENCH=OFF -DTARVIO_BUILD_FUZZ=OFF)
fi
"$root/scripts/build.sh" "$dir" "${options[@]}" >&2
cd "$dir"
cpack -G DEB | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p'
