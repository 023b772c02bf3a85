#!/usr/bin/env bash
# Installs a real mail client (Thunderbird), a real file manager (Thunar), Xvfb,
# a session bus and the accessibility bus, and runs the end-to-end tests: the
# built program hands the mail to Thunderbird's compose window through the real
# xdg-utils, and, once scripts/test-windows.sh has built it, the Windows build
# does the same through Wine's launcher; on the mailto route Thunar shows the
# archive selected.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --e2e
scripts/build.sh dev
ctest --preset dev -L e2e --output-on-failure
