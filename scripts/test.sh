#!/usr/bin/env bash
# Installs what is missing, builds the dev preset (warnings are errors), the
# host reference (an undocumented public member is an error) and runs the
# whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-layers.sh
scripts/build.sh dev
cmake --build --preset dev --target docs
ctest --preset dev -j "$(nproc)"
