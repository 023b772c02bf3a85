#!/usr/bin/env bash
# Builds Pellicor and runs it on the bundled example in a scratch directory,
# as a host would after its user chose "Report a problem". Without a desktop
# there is no mail client to take the mail, so stand-ins print what it would
# have been handed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh
scripts/build.sh release

scratch=$(mktemp -d)
cp examples/issue-report.xml examples/report.zip "$scratch/"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    export PATH="$root/scripts/stand-in:$PATH"
    while IFS= read -r variable; do export "${variable?}"; done < <(scripts/stand-in/make-desktop "$scratch/desktop")
    echo "No desktop here: stand-ins for the mail client and xdg-open show what they would get."
fi
echo "Running: pellicor issue-report.xml   (in $scratch)"
echo
status=0
(cd "$scratch" && "$root/build/release/bin/pellicor" issue-report.xml) || status=$?
echo
echo "Exit status: $status"
echo "Pellicor.log:"
sed 's/^/    /' "$scratch/Pellicor.log"
exit "$status"
