#!/usr/bin/env bash
# Installs, with apt-get, everything that building, testing and running
# Pellicor need on Debian 12. Safe to run again: it installs only what is
# missing and asks nothing.
set -euo pipefail

packages=(
    ca-certificates cmake ninja-build g++ make pkg-config
    libxml2-dev libzip-dev libgtest-dev libgmock-dev
    xdg-utils
    clang libclang-rt-14-dev
)

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
