#!/usr/bin/env bash
# Builds the asan preset and runs one libFuzzer target for SECONDS (0: no
# limit) over its seed corpus, fuzz/corpus/TARGET:
#
#   scripts/fuzz.sh issue_definition 600
#   scripts/fuzz.sh mailto 60 -runs=5000      # further arguments go to libFuzzer
#
# Targets: issue_definition, config_store, mailto, command_line. New inputs
# collect in build/asan/fuzz/TARGET/corpus, crashes in .../artifacts; the seed
# corpus in the repository is only read. Set PELLICOR_FUZZ_NO_BUILD=1 to use
# the build as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { echo "usage: scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]" >&2; exit 2; }
(($# >= 2)) || usage
target=$1 seconds=$2
shift 2
[[ $seconds =~ ^[0-9]+$ ]] || usage
seeds=$PWD/fuzz/corpus/$target
[[ -d $seeds ]] || { echo "fuzz: no target $target; there are: $(ls fuzz/corpus | tr '\n' ' ')" >&2; exit 2; }

if [[ -z ${PELLICOR_FUZZ_NO_BUILD:-} ]]; then
    scripts/install-deps.sh
    scripts/build.sh asan
fi

# Absolute: a target may change its current directory.
work=$PWD/build/asan/fuzz/$target
mkdir -p "$work/corpus" "$work/artifacts"
options=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 -print_final_stats=1
         -artifact_prefix="$work/artifacts/")
[[ -f fuzz/$target.dict ]] && options+=(-dict="$PWD/fuzz/$target.dict")
# The targets write their scratch files under TMPDIR; a memory file system
# keeps the configuration's fsync from setting the pace.
if [[ -z ${TMPDIR:-} && -d /dev/shm && -w /dev/shm ]]; then
    export TMPDIR=/dev/shm
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "build/asan/bin/fuzz_$target" "${options[@]}" "$@" "$work/corpus" "$seeds"
