# Sourced by scripts that run Windows programs under Wine: sets Wine up for
# this shell and starts one server for the whole script, ended on exit.
# Expects scripts/build-windows-deps.sh --with-wine to have installed Wine.
export WINEPREFIX=${WINEPREFIX:-/var/cache/pellicor/wineprefix}
export WINEDEBUG=-all
# Wine maps Unix file names through the locale's character set: without a
# UTF-8 one, a name outside ASCII cannot reach a Windows program intact.
# C.UTF-8 exists on every Debian system.
export LC_ALL=C.UTF-8
# Skip the .NET and Gecko installers when the prefix is first made.
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"

# One server for the whole run: each process then starts in milliseconds,
# and a test runner does not wait on a server that lingers.
wineserver -p || true  # fails only when one already runs for this prefix
trap 'wineserver -k 2>/dev/null || true' EXIT
# Start Wine's own services now, detached from any pipe: started by the first
# test, they would hold ctest's output pipe open until the server ends.
wine cmd /c exit 0 </dev/null >/dev/null 2>&1
