#!/usr/bin/env bash
# Installs what is missing, builds the dev preset (warnings are errors) and
# runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh dev
ctest --preset dev -j "$(nproc)"
