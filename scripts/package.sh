#!/usr/bin/env bash
# Builds the release packages into build/packages/:
#   pellicor_VERSION_ARCH.deb      the program, its Simple MAPI provider, the man page
#   pellicor-dev_VERSION_ARCH.deb  headers, static libraries, CMake and pkg-config files
#   pellicor-VERSION-win64.zip     pellicor.exe from the MinGW-w64 build
# and runs the zipped pellicor.exe once under Wine. Installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build/packages

scripts/install-deps.sh
PELLICOR_WINDOWS_DEPS=$(scripts/build-windows-deps.sh --with-wine)
export PELLICOR_WINDOWS_DEPS

rm -rf "$out"
mkdir -p "$out"
for preset in release mingw; do
    scripts/build.sh "$preset"
    rm -rf "build/$preset/packages"
    # Each build's CPack configuration names its own generator: DEB or ZIP.
    (cd "build/$preset" && cpack >/dev/null)
    find "build/$preset/packages" -maxdepth 1 -type f -exec cp {} "$out/" \;
done

# The zipped program on its own, with the test suite's stand-in for the mail
# client's mapi32.dll beside it: it must start, read a report and hand it over.
source scripts/wine-session.sh
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mapi32=n,b"
check=$(mktemp -d)
trap 'rm -rf "$check"; wineserver -k 2>/dev/null || true' EXIT
(cd "$check" && cmake -E tar xf "$out"/pellicor-*-win64.zip)
exe=$(find "$check" -name pellicor.exe)
cp build/mingw/tests/fakes/fake_mapi/mapi32.dll "$(dirname "$exe")/"
printf '%s' '<IssueReport><MailAddress>support@example.com</MailAddress><Subject>Zip check</Subject></IssueReport>' \
    >"$check/issue.xml"
status=0
(cd "$check" && wine "$exe" issue.xml </dev/null >/dev/null 2>&1) || status=$?
if [ "$status" -ne 0 ] || ! grep -q 'MAPI report sent' "$check/Pellicor.log"; then
    echo "package: the zipped pellicor.exe failed (status $status):" >&2
    cat "$check/Pellicor.log" >&2 2>/dev/null || true
    exit 1
fi

echo "Packages in build/packages:"
ls -l "$out"
