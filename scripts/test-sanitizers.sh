#!/usr/bin/env bash
# Installs what is missing, then runs the whole test suite under AddressSanitizer
# and UndefinedBehaviorSanitizer (asan preset), the tests that use threads under
# ThreadSanitizer (tsan preset), and each fuzz target for a few thousand runs
# over its seed corpus: long enough to replay every seed, short enough for CI.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

scripts/build.sh asan
ctest --preset asan -j "$(nproc)" -LE e2e

scripts/build.sh tsan
ctest --preset tsan -j "$(nproc)" -LE e2e

runs=${PELLICOR_FUZZ_RUNS:-4000}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for target in issue_definition config_store mailto command_line; do
    if ! PELLICOR_FUZZ_NO_BUILD=1 scripts/fuzz.sh "$target" 120 -runs="$runs" >"$log" 2>&1; then
        tail -n 60 "$log" >&2
        echo "fuzz $target: FAILED; the input is in build/asan/fuzz/$target/artifacts/" >&2
        exit 1
    fi
    echo "fuzz $target: $(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$') runs, nothing found"
done
