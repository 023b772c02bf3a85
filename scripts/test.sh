#!/usr/bin/env bash
# Installs what is missing, builds the dev preset (warnings are errors), the
# host reference (an undocumented public member is an error) and runs the
# whole test suite but the end-to-end tests with real desktop programs, which
# scripts/test-e2e.sh installs and runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-layers.sh
scripts/build.sh dev
cmake --build --preset dev --target docs
ctest --preset dev -j "$(nproc)" -LE e2e
