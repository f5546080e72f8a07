#!/usr/bin/env bash
# Builds the Debian package: package.sh [BUILD_DIR]. Configures and builds the folder as
# build.sh does (default build/), makes tarvio2_<version>_amd64.deb in it and prints its path.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build}"
"$root/scripts/build.sh" "$dir" >&2
cd "$dir"
cpack -G DEB | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p'
