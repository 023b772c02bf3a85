#!/usr/bin/env bash
# Builds the Windows version with MinGW-w64 (the mingw preset, build/mingw)
# and runs the whole test suite under Wine. Installs what it needs; the
# Windows libraries are built once from Debian's sources and cached.
set -euo pipefail
cd "$(dirname "$0")/.."

PELLICOR_WINDOWS_DEPS=$(scripts/build-windows-deps.sh --with-wine)
export PELLICOR_WINDOWS_DEPS
source scripts/wine-session.sh

scripts/build.sh mingw
ctest --preset mingw -j "$(nproc)"
