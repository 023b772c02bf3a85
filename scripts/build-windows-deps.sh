#!/usr/bin/env bash
# Builds the third-party libraries of the Windows build (libxml2, libzip, GoogleTest
# with GoogleMock) as static MinGW-w64 libraries from Debian's own source packages,
# and prints the prefix holding them as the last line of stdout:
#
#   prefix=$(scripts/build-windows-deps.sh)
#   cmake -G Ninja -B build-windows \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake \
#         -DPELLICOR_WINDOWS_DEPS="$prefix"
#
# The prefix lives outside any checkout, keyed by the source and compiler versions,
# so a fresh clone or a CI run reuses it and a second run takes seconds.
# zlib is Debian's libz-mingw-w64-dev, found in the MinGW sysroot.
set -euo pipefail

# Bump when the build options below or the toolchain file change what gets built.
readonly RECIPE=1

readonly SOURCES=(libxml2 libzip googletest)
readonly BUILD_PACKAGES=(
    cmake ninja-build dpkg-dev xz-utils
    gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix
    binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev libz-mingw-w64-dev
)
# wine alone lacks the 64-bit loader; wine64 alone lacks the `wine` command.
readonly WINE_PACKAGES=(wine wine64)
readonly MARKER=.pellicor-complete

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
toolchain="$(dirname "$script_dir")/cmake/toolchains/mingw-w64-x86_64.cmake"

usage() {
    cat <<EOF
Usage: $(basename "$0") [--cache-dir DIR] [--rebuild] [--with-wine]

  --cache-dir DIR  where prefixes are kept (default: \$PELLICOR_WINDOWS_DEPS_CACHE,
                   else /var/cache/pellicor/windows-deps); one subfolder per key
  --rebuild        build again even if a complete prefix exists
  --with-wine      also install Wine, to run the cross-built tests
EOF
}

cache_root=${PELLICOR_WINDOWS_DEPS_CACHE:-/var/cache/pellicor/windows-deps}
rebuild=0
with_wine=0
while (($#)); do
    case $1 in
        --cache-dir) cache_root=${2:?--cache-dir needs a directory}; shift 2 ;;
        --cache-dir=*) cache_root=${1#*=}; shift ;;
        --rebuild) rebuild=1; shift ;;
        --with-wine) with_wine=1; shift ;;
        -h|--help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
done

# The prefix is baked into CMake caches of consumers, so it must not depend on the cwd.
cache_root=$(realpath -m "$cache_root")

# Callers capture stdout for the prefix alone: everything else goes to stderr.
exec 3>&1 1>&2

log() { printf 'build-windows-deps: %s\n' "$*"; }
die() { log "error: $*"; exit 1; }

[[ -f $toolchain ]] || die "toolchain file not found at $toolchain"

as_root() {
    if ((EUID == 0)); then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        die "needs root for: $*"
    fi
}

# Other apt runs on the machine (unattended upgrades, a parallel job) may hold the lock.
apt_get() { as_root env DEBIAN_FRONTEND=noninteractive apt-get -q -o DPkg::Lock::Timeout=600 "$@"; }

apt_updated=0
apt_update() {
    ((apt_updated)) && return
    apt_get update
    apt_updated=1
}

install_missing() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${db:Status-Abbrev}' "$pkg" 2>/dev/null | grep -q '^ii' || missing+=("$pkg")
    done
    ((${#missing[@]})) || return 0
    log "installing ${missing[*]}"
    apt_update
    apt_get install -y --no-install-recommends "${missing[@]}"
}

# Adds deb-src to the Types: line of each Debian stanza that lacks it, or a
# deb-src line beside each one-line "deb" entry of an older sources.list.
# Returns 0 when a file was changed.
enable_deb_src() {
    local sources=/etc/apt/sources.list.d/debian.sources
    if [[ ! -f $sources ]]; then
        enable_deb_src_lines /etc/apt/sources.list
        return
    fi
    local edited
    edited=$(awk '
        function flush(   i) {
            for (i = 1; i <= n; i++) {
                if (debian && lines[i] ~ /^Types:/ && lines[i] !~ /[ \t]deb-src([ \t]|$)/)
                    lines[i] = lines[i] " deb-src"
                print lines[i]
            }
            n = 0; debian = 0
        }
        /^[ \t]*$/ { flush(); print; next }
        { lines[++n] = $0; if ($0 ~ /^URIs:.*debian/) debian = 1 }
        END { flush() }' "$sources")
    [[ $edited == "$(cat "$sources")" ]] && return 1
    log "enabling deb-src in $sources"
    printf '%s\n' "$edited" | as_root tee "$sources" >/dev/null
}

enable_deb_src_lines() {
    local list=$1 edited
    [[ -f $list ]] || return 1
    edited=$(awk '
        { print }
        /^[ \t]*deb[ \t]/ { src = $0; sub(/deb/, "deb-src", src); wanted[src] = 1 }
        /^[ \t]*deb-src[ \t]/ { have[$0] = 1 }
        END { for (line in wanted) if (!(line in have)) print line }' "$list")
    [[ $edited == "$(cat "$list")" ]] && return 1
    log "enabling deb-src in $list"
    printf '%s\n' "$edited" | as_root tee "$list" >/dev/null
}

# Sets version[pkg] to the version `apt-get source` would fetch; fails without deb-src lists.
declare -A version
source_versions() {
    local uris pkg dsc
    # From /: apt leaves out files already present in the current directory.
    uris=$(cd / && apt-get source --print-uris -qq "${SOURCES[@]}" 2>/dev/null) || return 1
    for pkg in "${SOURCES[@]}"; do
        # The second field is the file name; the URI beside it is percent-encoded.
        dsc=$(awk -v p="${pkg}_" 'index($2, p) == 1 && $2 ~ /\.dsc$/ { print $2; exit }' <<<"$uris")
        [[ -n $dsc ]] || return 1
        dsc=${dsc%.dsc}
        version[$pkg]=${dsc#"${pkg}_"}
    done
}

compute_key() {
    local key="" pkg compiler
    for pkg in "${SOURCES[@]}"; do key+="${pkg}-${version[$pkg]}_"; done
    compiler=$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix)
    key+="gcc-${compiler}_r${RECIPE}"
    # '+' and '~' would be read as regex syntax by CMake find modules that match on paths.
    tr -c 'A-Za-z0-9._\n-' '_' <<<"$key"
}

is_complete() { [[ -f $1/$MARKER ]]; }

# --- tools and source lists ------------------------------------------------

packages=("${BUILD_PACKAGES[@]}")
((with_wine)) && packages+=("${WINE_PACKAGES[@]}")
install_missing "${packages[@]}"

if enable_deb_src; then
    # The lists read before know no sources yet.
    apt_updated=0
    apt_update
fi
if ! source_versions; then
    apt_update
    source_versions || die "apt-get source finds no Debian sources; is deb-src enabled?"
fi

key=$(compute_key)
prefix=$cache_root/$key
if ((!rebuild)) && is_complete "$prefix"; then
    log "cached: $prefix"
    printf '%s\n' "$prefix" >&3
    exit 0
fi

# --- build ---------------------------------------------------------------------

# An old package index may name source versions the archive no longer serves.
if ((!apt_updated)); then
    apt_update
    source_versions || die "apt-get source finds no Debian sources after apt-get update"
    key=$(compute_key)
    prefix=$cache_root/$key
fi

mkdir -p "$cache_root" || die "cannot create $cache_root; pass --cache-dir"
exec 9>"$cache_root/.$key.lock"
flock 9
if ((!rebuild)) && is_complete "$prefix"; then
    log "built meanwhile by another run: $prefix"
    printf '%s\n' "$prefix" >&3
    exit 0
fi

log "building $key"
rm -rf "$prefix"
mkdir -p "$prefix"

work=$(mktemp -d "${TMPDIR:-/tmp}/pellicor-windows-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
# apt drops root to _apt while downloading and warns when it cannot write here.
chown _apt "$work" 2>/dev/null || true

pinned=()
for pkg in "${SOURCES[@]}"; do pinned+=("$pkg=${version[$pkg]}"); done
(cd "$work" && apt-get source -q "${pinned[@]}")

source_dir() {
    local dir
    dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n1)
    [[ -n $dir ]] || die "apt-get source left no $1 tree in $work"
    printf '%s\n' "$dir"
}

build() {
    local name=$1 src=$2
    shift 2
    log "building $name"
    cmake -S "$src" -B "$work/build-$name" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DPELLICOR_WINDOWS_DEPS="$prefix" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_SHARED_LIBS=OFF \
        "$@"
    cmake --build "$work/build-$name"
    cmake --install "$work/build-$name"
}

# Its autotools build wants automake once the tree's timestamps change; its CMake build doesn't.
build libxml2 "$(source_dir libxml2)" \
    -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_LZMA=OFF -DLIBXML2_WITH_ZLIB=OFF \
    -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF \
    -DLIBXML2_WITH_MODULES=OFF -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_TESTS=OFF \
    -DLIBXML2_WITH_ICU=OFF

libzip_src=$(source_dir libzip)
# libzip 1.7.3 ships this dependency commented out, so its exported libzip::zip names
# ZLIB::ZLIB without defining it and every consumer would have to find ZLIB first.
sed -i -e 's/^#include(CMakeFindDependencyMacro)$/include(CMakeFindDependencyMacro)/' \
       -e 's/^#find_dependency(ZLIB::ZLIB)$/find_dependency(ZLIB)/' \
       "$libzip_src/libzip-config.cmake.in"
grep -qx 'find_dependency(ZLIB)' "$libzip_src/libzip-config.cmake.in" ||
    die "libzip-config.cmake.in no longer has the commented find_dependency; revisit the fix-up"
build libzip "$libzip_src" \
    -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF \
    -DENABLE_GNUTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF \
    -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF

build googletest "$(source_dir googletest)" \
    -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON

rm -rf "$prefix/share/doc" "$prefix/share/man"

# Written last and renamed into place: a prefix without it is a failed or running build.
{
    printf 'key=%s\n' "$key"
    for pkg in "${SOURCES[@]}"; do printf '%s=%s\n' "$pkg" "${version[$pkg]}"; done
    printf 'built=%s\n' "$(date -u +%Y-%m-%dT%H:%M:%SZ)"
} >"$prefix/$MARKER.tmp"
mv "$prefix/$MARKER.tmp" "$prefix/$MARKER"

log "done: $prefix"
printf '%s\n' "$prefix" >&3
