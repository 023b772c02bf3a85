#!/usr/bin/env bash
# Installs, with apt-get, everything that building, testing, packaging and
# running Pellicor need on Debian 12. Safe to run again: it installs only what
# is missing and asks nothing.
#
#   scripts/install-deps.sh         build, test and package
#   scripts/install-deps.sh --e2e   also the real mail clients (Thunderbird,
#                                   Claws Mail, Sylpheed, Evolution), a real
#                                   file manager (Thunar) with the accessibility
#                                   bus that shows what it shows, a headless
#                                   display (Xvfb) and xdotool for the e2e tests
set -euo pipefail

packages=(
    ca-certificates cmake ninja-build g++ make pkg-config dpkg-dev file
    libxml2-dev libzip-dev zlib1g-dev libgtest-dev libgmock-dev nlohmann-json3-dev
    xdg-utils doxygen
    dbus-bin dbus-daemon python3-gi gir1.2-glib-2.0
    clang libclang-rt-14-dev
)

case ${1:-} in
    "") ;;
    --e2e) packages+=(thunderbird claws-mail sylpheed evolution thunar xvfb xdotool at-spi2-core python3-pyatspi python3) ;;
    *) echo "usage: $(basename "$0") [--e2e]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: run as root (or install sudo) to install: ${missing[*]}" >&2; exit 1; }
    as_root=(sudo)
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
"${as_root[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
