#!/usr/bin/env bash
# Sets everything up, builds and starts the program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
if [[ ! -x "$root/build/src/app/tarvio2" ]]; then
    echo "Built the libraries; the main window is still to come." >&2
    exit 0
fi
exec "$root/build/src/app/tarvio2" "$@"
