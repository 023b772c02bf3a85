#!/usr/bin/env bash
# Measures Pellicor side by side with the tools a user would use instead, in
# one run on this machine, and prints one Markdown table: each figure for
# Pellicor, for the peer, their ratio and the target. Installs what it needs,
# builds the release preset (benchmarks included) and cleans up after itself.
#
#   scripts/bench.sh [--sizes "100 1024"] [--rounds N]
#
# --sizes   total megabytes of the crash's eight files, one archive run each
# --rounds  runs of each side per size; the median counts (default 3)
#
# The crash inputs (up to a gigabyte) are made in a scratch directory under
# $TMPDIR (default /var/tmp), beside the peer's output, and removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

sizes="100 1024"
rounds=3
while (($#)); do
    case $1 in
        --sizes) sizes=${2:?--sizes needs a list of megabytes}; shift 2 ;;
        --rounds) rounds=${2:?--rounds needs a number}; shift 2 ;;
        *) echo "usage: scripts/bench.sh [--sizes \"100 1024\"] [--rounds N]" >&2; exit 2 ;;
    esac
done

log() { printf 'bench: %s\n' "$*" >&2; }

# --- what the peers and the benchmarks need ----------------------------------

scripts/install-deps.sh
packages=(zip unzip time libbenchmark-dev libspdlog-dev)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if ((${#missing[@]})); then
    as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { log "run as root (or install sudo) to install: ${missing[*]}"; exit 1; }
        as_root=(sudo)
    fi
    log "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
    "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

log "building the release preset"
scripts/build.sh release
bin=$root/build/release/bin
for program in pellicor libmapi32.so make_crash_files time_runs deflate_alone archive_bench logging_bench config_bench; do
    [ -e "$bin/$program" ] || { log "the build made no $bin/$program"; exit 1; }
done

scratch=$(mktemp -d "${TMPDIR:-/var/tmp}/pellicor-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The hand-off: stand-ins for the mail client and xdg-open that exit at once,
# and for xdg-mime, which names the client of a desktop of the bench's own.
# The desktop's tools are shell scripts whose time is theirs, not ours.
mkdir "$scratch/stand-in"
for tool in claws-mail xdg-open; do
    printf '#!/bin/sh\nexit 0\n' >"$scratch/stand-in/$tool"
    chmod +x "$scratch/stand-in/$tool"
done
printf '#!/bin/sh\necho pellicor-show-mail.desktop\n' >"$scratch/stand-in/xdg-mime"
chmod +x "$scratch/stand-in/xdg-mime"
mapfile -t desktop_env < <(scripts/stand-in/make-desktop "$scratch/desktop" "$scratch/stand-in/claws-mail")
run_env=(env "PATH=$scratch/stand-in:$PATH" "${desktop_env[@]}")

# --- helpers -----------------------------------------------------------------

rows=()
# row WHAT PELLICOR PEER RATIO TARGET
row() {
    rows+=("| $1 | $2 | $3 | $4 | $5 |")
    log "$1: $2 against $3 ($4)"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
maximum() { sort -g | tail -n1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f×", (b > 0 ? a / b : 0) }'; }
mb() { awk -v b="$1" 'BEGIN { printf "%.1f MB", b / 1048576 }'; }
kb_to_mb() { awk -v k="$1" 'BEGIN { printf "%.1f MB", k / 1024 }'; }
verdict() { awk -v v="$1" -v op="$2" -v t="$3" 'BEGIN {
    ok = (op == "<=" ? v <= t : op == "<" ? v < t : v >= t); printf "%s", (ok ? "held" : "MISSED") }'; }

# Runs one timed command; appends "wall_seconds peak_kilobytes cpu_seconds"
# to the file $1. On a busy machine the processor time (user and system)
# shows what the wall time would be without the wait for a free core.
timed() {
    local out=$1
    shift
    /usr/bin/time -f '%e %M %U %S' -o "$scratch/time" "$@" >/dev/null 2>&1 || { log "failed: $*"; cat "$scratch/time" >&2; exit 1; }
    tail -n1 "$scratch/time" | awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' >>"$out"
}

# --- crash archive: pellicor --crash against zip -q -6 -------------------------

names=(QXF-0.log QXF-1.log QXF-2.log QXF-prev.0.log QXF-prev.1.log QXF-prev.2.log QXF-minidump.dmp QXF-prev.minidump.dmp)
for size in $sizes; do
    dir=$scratch/crash-$size
    mkdir "$dir"
    log "crash archive of ${size} MB: making the inputs"
    "$bin/make_crash_files" "$dir" "$size"
    cat >"$dir/ORVAPlus.xml" <<'EOF'
<?xml version="1.0"?>
<ORVAPlus><Environment><UserName>bench</UserName></Environment><Internet><SupportEmail>support@example.com</SupportEmail></Internet></ORVAPlus>
EOF
    : >"$scratch/ours" && : >"$scratch/peer"
    for ((round = 1; round <= rounds; round++)); do
        log "crash archive of ${size} MB: round $round of $rounds"
        rm -rf "$dir/report.zip" "$scratch/desktop/cache" "$scratch/peer.zip"
        (cd "$dir" && timed "$scratch/ours" "${run_env[@]}" "$bin/pellicor" --crash)
        (cd "$dir" && timed "$scratch/peer" zip -q -6 "$scratch/peer.zip" "${names[@]}")
    done
    # What the mail client gets: every file, in order, intact.
    unzip -tq "$dir/report.zip" >/dev/null || { log "report.zip of ${size} MB fails unzip -t"; exit 1; }
    [ "$(unzip -Z1 "$dir/report.zip" | tr '\n' ' ')" = "${names[*]} " ] || { log "report.zip of ${size} MB lacks entries"; exit 1; }

    ours_s=$(cut -d' ' -f1 "$scratch/ours" | median)
    peer_s=$(cut -d' ' -f1 "$scratch/peer" | median)
    ours_cpu=$(cut -d' ' -f3 "$scratch/ours" | median)
    peer_cpu=$(cut -d' ' -f3 "$scratch/peer" | median)
    ours_kb=$(cut -d' ' -f2 "$scratch/ours" | maximum)
    peer_kb=$(cut -d' ' -f2 "$scratch/peer" | maximum)
    ours_bytes=$(stat -c %s "$dir/report.zip")
    peer_bytes=$(stat -c %s "$scratch/peer.zip")
    time_ratio=$(ratio "$ours_s" "$peer_s")
    size_ratio=$(ratio "$ours_bytes" "$peer_bytes")
    row "crash archive, ${size} MB: wall time to the hand-off, median of $rounds (processor time)" "${ours_s} s (${ours_cpu} s)" \
        "${peer_s} s (${peer_cpu} s) zip -q -6" "$time_ratio ($(ratio "$ours_cpu" "$peer_cpu"))" \
        "≤ 1.00× — $(verdict "${time_ratio%×}" '<=' 1.0)"
    row "crash archive, ${size} MB: archive size" "$(mb "$ours_bytes")" "$(mb "$peer_bytes")" \
        "$size_ratio" "≤ 1.10× — $(verdict "${size_ratio%×}" '<=' 1.10)"
    row "crash archive, ${size} MB: peak memory (max of $rounds)" "$(kb_to_mb "$ours_kb")" "$(kb_to_mb "$peer_kb")" \
        "$(ratio "$ours_kb" "$peer_kb")" "< 32 MB — $(verdict "$ours_kb" '<' 32768)"

    log "crash archive of ${size} MB: zlib alone on the same files"
    read -r floor_s level6_s < <(cd "$dir" && "$bin/deflate_alone" "${names[@]}")
    row "crash archive, ${size} MB: zlib alone, no archive (Pellicor's levels / level 6)" "${floor_s} s" "${level6_s} s" \
        "$(ratio "$floor_s" "$level6_s")" "the floor under both"
    rm -rf "$dir" "$scratch/peer.zip" "$scratch/desktop/cache"
done

# --- report mode: a whole run to the hand-off against /bin/true -----------------

log "report mode: 21 runs of each"
mkdir "$scratch/report" "$scratch/mailto-only"
cp examples/issue-report.xml examples/report.zip "$scratch/report/"
# Without libmapi32.so beside it the program takes the mailto: route.
cp "$bin/pellicor" "$scratch/mailto-only/"
read -r true_ms _ true_cpu < <("$bin/time_runs" 21 /bin/true)
read -r mapi_ms _ mapi_cpu < <(cd "$scratch/report" && "${run_env[@]}" "$bin/time_runs" 21 "$bin/pellicor" issue-report.xml)
read -r mailto_ms _ mailto_cpu < <(cd "$scratch/report" && "${run_env[@]}" "$bin/time_runs" 21 "$scratch/mailto-only/pellicor" issue-report.xml)
row "report mode, Simple MAPI → mail client: wall time, median of 21 (processor time a run)" "${mapi_ms} ms (${mapi_cpu} ms)" \
    "${true_ms} ms (${true_cpu} ms) /bin/true" "$(ratio "$mapi_ms" "$true_ms")" "≤ 10 ms — $(verdict "$mapi_ms" '<=' 10)"
row "report mode, mailto: → xdg-open: wall time, median of 21 (processor time a run)" "${mailto_ms} ms (${mailto_cpu} ms)" \
    "${true_ms} ms (${true_cpu} ms) /bin/true" "$(ratio "$mailto_ms" "$true_ms")" "≤ 10 ms — $(verdict "$mailto_ms" '<=' 10)"

# --- in-process: logging and configuration -----------------------------------

# Five repetitions of each benchmark, interleaved so that a busy spell of the
# machine does not fall on one side only; pick() reads the median of one.
bench_csv() {
    "$@" --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
        --benchmark_report_aggregates_only=true --benchmark_format=csv 2>"$scratch/benchmark.err" ||
        { log "failed: $*"; cat "$scratch/benchmark.err" >&2; exit 1; }
}
pick() {  # pick CSV NAME FIELD
    awk -F, -v name="\"$2_median\"" -v field="$3" '
        NR == 1 { for (i = 1; i <= NF; i++) column[$i] = i; next }
        $1 == name { print $column[field] }' <<<"$1"
}

log "logging: Pellicor's file writer against spdlog"
logging=$(cd "$scratch" && TMPDIR=$scratch bench_csv "$bin/logging_bench")
for threads in 1 4; do
    ours=$(pick "$logging" "PellicorLog/written/real_time/threads:$threads" items_per_second)
    peer=$(pick "$logging" "SpdlogLog/written/real_time/threads:$threads" items_per_second)
    ours_cpu=$(pick "$logging" "PellicorLog/written/real_time/threads:$threads" cpu_time)
    peer_cpu=$(pick "$logging" "SpdlogLog/written/real_time/threads:$threads" cpu_time)
    r=$(ratio "$ours" "$peer")
    row "log to a file, flush per line, $threads thread(s): lines/s (processor time a line)" \
        "$(printf '%.0f (%.0f ns)' "$ours" "$ours_cpu")" "$(printf '%.0f (%.0f ns) spdlog' "$peer" "$peer_cpu")" \
        "$r ($(ratio "$peer_cpu" "$ours_cpu"))" "≥ 1.00× — $(verdict "${r%×}" '>=' 1.0)"
done
ours=$(pick "$logging" "PellicorLog/below_level/real_time/threads:1" real_time)
peer=$(pick "$logging" "SpdlogLog/below_level/real_time/threads:1" real_time)
row "log line below the level: time per line" "$(printf '%.1f ns' "$ours")" "$(printf '%.1f ns' "$peer") (spdlog)" \
    "$(ratio "$ours" "$peer")" "no work"

log "configuration: 1 MB ORVAPlus.xml against xmlReadFile"
config=$(cd "$scratch" && TMPDIR=$scratch bench_csv "$bin/config_bench")
ours=$(pick "$config" ConfigLoadAndRead real_time)
peer=$(pick "$config" BareXmlReadFile real_time)
r=$(ratio "$ours" "$peer")
row "configuration: load + 1,000 typed reads, 1 MB ORVAPlus.xml" "$(printf '%.2f ms' "$ours")" \
    "$(printf '%.2f ms' "$peer") (xmlReadFile)" "$r" "≤ 2.00× — $(verdict "${r%×}" '<=' 2.0)"

log "libzip: one more open/add/close as entries accumulate"
growth=$(cd "$scratch" && TMPDIR=$scratch "$bin/archive_bench" --benchmark_filter='AddOneFileToArchive' 2>/dev/null)

# --- the table -------------------------------------------------------------------

cores=$(nproc)
cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
echo
echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(. /etc/os-release && echo "$PRETTY_NAME"), $cores cores ($cpu),"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)."
echo
echo "| what | Pellicor | peer, same inputs, same run | ratio | target |"
echo "|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
echo "libzip's cost of one more cycle (a 64 KiB log) with entries of 8 MiB minidump data already present:"
echo
echo '```'
grep -E '^AddOneFileToArchive' <<<"$growth" || true
echo '```'
