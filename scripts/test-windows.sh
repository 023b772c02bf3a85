#!/usr/bin/env bash
# Builds the Windows version with MinGW-w64 (the mingw preset, build/mingw)
# and runs the whole test suite under Wine. Installs what it needs; the
# Windows libraries are built once from Debian's sources and cached.
set -euo pipefail
cd "$(dirname "$0")/.."

PELLICOR_WINDOWS_DEPS=$(scripts/build-windows-deps.sh --with-wine)
export PELLICOR_WINDOWS_DEPS
export WINEPREFIX=${WINEPREFIX:-/var/cache/pellicor/wineprefix}
export WINEDEBUG=-all
# Skip the .NET and Gecko installers when the prefix is first made.
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"

# One server for the whole run: each test process then starts in
# milliseconds, and ctest does not wait on a server that lingers.
wineserver -p || true  # fails only when one already runs for this prefix
trap 'wineserver -k 2>/dev/null || true' EXIT
# Start Wine's own services now, detached from any pipe: started by the first
# test, they would hold ctest's output pipe open until the server ends.
wine cmd /c exit 0 </dev/null >/dev/null 2>&1

scripts/build.sh mingw
ctest --preset mingw -j "$(nproc)"
