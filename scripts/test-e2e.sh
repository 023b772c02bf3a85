#!/usr/bin/env bash
# Installs the real mail clients (Thunderbird, Claws Mail, Sylpheed,
# Evolution), a real file manager (Thunar), Xvfb, a session bus and the
# accessibility bus, and runs the end-to-end tests: the built program hands
# the mail to Thunderbird's compose window through the real xdg-utils, and,
# once scripts/test-windows.sh has built it, the Windows build does the same
# through Wine's launcher; then each other client, not yet running and
# already running, saves the mail it got as a draft; on the mailto route
# Thunar shows the archive selected.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --e2e
scripts/build.sh dev
ctest --preset dev -L e2e --output-on-failure
