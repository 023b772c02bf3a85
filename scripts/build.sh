#!/usr/bin/env bash
# Configures and builds one preset (dev when none is named), quietly unless something fails.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
