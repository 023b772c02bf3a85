#!/usr/bin/env bash
# Measures Pellicor side by side with the tools a user would use instead, in
# one run on this machine, and prints one Markdown table: each figure for
# Pellicor, for the peer, their ratio and the target. Installs what it needs,
# builds the release preset (benchmarks included) and cleans up after itself.
#
#   scripts/bench.sh [--sizes "100 1024"] [--rounds N]
#
# --sizes   total megabytes of the crash's eight files, one archive run each
#           (default 100: a few minutes in all; "100 1024" adds the large set)
# --rounds  runs of each side per size; the median counts (default 3)
#
# The crash inputs (up to a gigabyte) are made in a scratch directory under
# $TMPDIR (default /var/tmp), beside the peers' output, and removed at the end:
# the minidumps from the memory of real processes (core images taken with
# gcore), the logs from this machine's own logs in /var/log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

sizes="100"
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
packages=(zip unzip p7zip-full time gdb python3 libbenchmark-dev libspdlog-dev)
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
# The archive's limit is each run's own, never the caller's.
run_env=(env -u PELLICOR_ARCHIVE_LIMIT_MB "PATH=$scratch/stand-in:$PATH" "${desktop_env[@]}")

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
# Megabytes as the mail size limit counts them, 1,000,000 bytes.
mail_mb() { awk -v b="$1" 'BEGIN { printf "%.2f MB (%d bytes)", b / 1000000, b }'; }
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

# --- crash archive: pellicor --crash against zip -q -6 and 7-Zip ------------------

# Real memory for the minidumps: two interpreters that stop themselves once
# they hold their work; gcore takes their core images, then they are ended.
log "crash archive: core images of two real processes"
cores=()
for kind in modules texts; do
    /usr/bin/python3 bench/process_memory.py "$kind" &
    pid=$!
    until [ "$(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null)" = T ]; do
        kill -0 "$pid" 2>/dev/null || { log "the $kind process ended before its core image was taken"; exit 1; }
        sleep 0.2
    done
    gcore -o "$scratch/core-$kind" "$pid" >/dev/null 2>&1 || { log "gcore failed on the $kind process"; exit 1; }
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    cores+=("$scratch/core-$kind.$pid")
done
logs=()
for file in /var/log/dpkg.log /var/log/apt/term.log /var/log/apt/history.log /var/log/alternatives.log; do
    [ -s "$file" ] && logs+=("$file")
done
((${#logs[@]})) || { log "no system log text in /var/log to build the logs from"; exit 1; }

cores_here=$(nproc)
thread_counts=(1 2)
((cores_here > 2)) && thread_counts+=("$cores_here")
load() { cut -d' ' -f1 /proc/loadavg; }
span() { sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%s–%s", lo, hi }'; }

names=(QXF-0.log QXF-1.log QXF-2.log QXF-prev.0.log QXF-prev.1.log QXF-prev.2.log QXF-minidump.dmp QXF-prev.minidump.dmp)
for size in $sizes; do
    dir=$scratch/crash-$size
    mkdir "$dir"
    log "crash archive of ${size} MB: making the inputs"
    "$bin/make_crash_files" "$dir" "$size" "${cores[@]}" "${logs[@]}"
    cat >"$dir/ORVAPlus.xml" <<'EOF2'
<?xml version="1.0"?>
<ORVAPlus><Environment><UserName>bench</UserName></Environment><Internet><SupportEmail>support@example.com</SupportEmail></Internet></ORVAPlus>
EOF2
    for side in "${thread_counts[@]}" zip 7z default fit; do : >"$scratch/runs-$side"; done
    fit_mb=100
    # Every side runs once a round, in the same order, so a busy spell of
    # the machine falls on all of them; the load at each start is kept.
    for ((round = 1; round <= rounds; round++)); do
        log "crash archive of ${size} MB: round $round of $rounds"
        for threads in "${thread_counts[@]}"; do
            rm -rf "$dir/report.zip" "$scratch/desktop/cache"
            l=$(load)
            (cd "$dir" && timed "$scratch/runs-$threads" "${run_env[@]}" PELLICOR_ARCHIVE_LIMIT_MB=0 \
                "PELLICOR_ARCHIVE_THREADS=$threads" "$bin/pellicor" --crash)
            sed -i "\$s/\$/ $l/" "$scratch/runs-$threads"
            cp "$dir/report.zip" "$scratch/report-$threads.zip"
        done
        # The mail size limit on all threads: the default, and one the whole
        # archive fits (100 MB, or more for a set that needs it), which must
        # cost what no limit costs.
        if ((round == 1)); then
            fit_mb=$((($(stat -c %s "$scratch/report-$cores_here.zip") + 999999) / 1000000))
            ((fit_mb < 100)) && fit_mb=100
        fi
        for side in default fit; do
            limit=()
            [ "$side" = fit ] && limit=("PELLICOR_ARCHIVE_LIMIT_MB=$fit_mb")
            rm -rf "$dir/report.zip" "$scratch/desktop/cache"
            l=$(load)
            (cd "$dir" && timed "$scratch/runs-$side" "${run_env[@]}" "${limit[@]}" \
                "PELLICOR_ARCHIVE_THREADS=$cores_here" "$bin/pellicor" --crash)
            sed -i "\$s/\$/ $l/" "$scratch/runs-$side"
            cp "$dir/report.zip" "$scratch/report-$side.zip"
            cp "$dir/Pellicor.log" "$scratch/log-$side"
        done
        rm -f "$scratch/peer.zip"
        l=$(load)
        (cd "$dir" && timed "$scratch/runs-zip" zip -q -6 "$scratch/peer.zip" "${names[@]}")
        sed -i "\$s/\$/ $l/" "$scratch/runs-zip"
        rm -f "$scratch/peer7.zip"
        l=$(load)
        (cd "$dir" && timed "$scratch/runs-7z" 7z a -bd -bso0 -tzip -mx=5 -mmt=on "$scratch/peer7.zip" "${names[@]}")
        sed -i "\$s/\$/ $l/" "$scratch/runs-7z"
    done
    # What the mail client gets: every file, in order, intact for every
    # reader, and the same bytes whatever the number of threads.
    for threads in "${thread_counts[@]}"; do
        cmp -s "$scratch/report-$threads.zip" "$dir/report.zip" || { log "report.zip on $threads thread(s) differs"; exit 1; }
    done
    unzip -tq "$dir/report.zip" >/dev/null || { log "report.zip of ${size} MB fails unzip -t"; exit 1; }
    7z t -bd -bso0 "$dir/report.zip" || { log "report.zip of ${size} MB fails 7z t"; exit 1; }
    /usr/bin/python3 -c 'import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)' "$dir/report.zip" ||
        { log "report.zip of ${size} MB fails Python's zipfile"; exit 1; }
    [ "$(unzip -Z1 "$dir/report.zip" | tr '\n' ' ')" = "${names[*]} " ] || { log "report.zip of ${size} MB lacks entries"; exit 1; }
    cmp -s "$scratch/report-fit.zip" "$dir/report.zip" || { log "report.zip within $fit_mb MB differs from no limit"; exit 1; }
    unzip -tq "$scratch/report-default.zip" >/dev/null || { log "report.zip within the default limit fails unzip -t"; exit 1; }

    figure() { cut -d' ' -f"$2" "$scratch/runs-$1" | median; }
    zip_s=$(figure zip 1)
    zip_bytes=$(stat -c %s "$scratch/peer.zip")
    ours_bytes=$(stat -c %s "$dir/report.zip")
    for threads in "${thread_counts[@]}"; do
        ours_s=$(figure "$threads" 1)
        time_ratio=$(ratio "$ours_s" "$zip_s")
        target="the 1-thread figure"
        if [ "$threads" -gt 1 ] && [ "$threads" -eq "$cores_here" ]; then
            target="≤ 0.50× on 2 cores — $(verdict "${time_ratio%×}" '<=' 0.50)"
        elif [ "$threads" -gt 1 ]; then
            target="falls with the threads"
        fi
        row "crash archive, ${size} MB, $threads thread(s): wall time to the hand-off, median of $rounds (processor time; load at the starts)" \
            "${ours_s} s ($(figure "$threads" 3) s; $(cut -d' ' -f4 "$scratch/runs-$threads" | span))" \
            "${zip_s} s ($(figure zip 3) s; $(cut -d' ' -f4 "$scratch/runs-zip" | span)) zip -q -6" "$time_ratio" "$target"
    done
    sevenzip_s=$(figure 7z 1)
    row "crash archive, ${size} MB: 7-Zip, the second peer: wall time, median of $rounds (processor time; load at the starts)" \
        "${ours_s} s, all $cores_here threads" \
        "${sevenzip_s} s ($(figure 7z 3) s; $(cut -d' ' -f4 "$scratch/runs-7z" | span)) 7z a -tzip -mx=5 -mmt=on" \
        "$(ratio "$ours_s" "$sevenzip_s")" "for comparison"
    size_ratio=$(ratio "$ours_bytes" "$zip_bytes")
    row "crash archive, ${size} MB: archive size" "$(mb "$ours_bytes")" \
        "$(mb "$zip_bytes") zip; $(mb "$(stat -c %s "$scratch/peer7.zip")") 7-Zip" \
        "$size_ratio" "≤ 1.03× — $(verdict "${size_ratio%×}" '<=' 1.03)"
    # What the default limit keeps: the entries in their order, the files
    # the log says were left out.
    limited_bytes=$(stat -c %s "$scratch/report-default.zip")
    kept=$(unzip -Z1 "$scratch/report-default.zip" | wc -l)
    left_out=$(sed -n 's/.*\[MAIN:WARN\] File \([^ ]*\) left out of .*/\1/p' "$scratch/log-default" | paste -sd, - | sed 's/,/, /g')
    row "crash archive, ${size} MB, default mail size limit: what goes in, archive size" \
        "$kept of 8 files, left out: ${left_out:-none}; $(mail_mb "$limited_bytes")" "8 of 8; $(mail_mb "$ours_bytes"), no limit" \
        "$(ratio "$limited_bytes" "$ours_bytes")" "≤ 14,000,000 bytes — $(verdict "$limited_bytes" '<=' 14000000)"
    row "crash archive, ${size} MB, default mail size limit, $cores_here thread(s): wall time to the hand-off, median of $rounds (processor time; load at the starts)" \
        "$(figure default 1) s ($(figure default 3) s; $(cut -d' ' -f4 "$scratch/runs-default" | span))" \
        "${ours_s} s ($(figure "$cores_here" 3) s) no limit" "$(ratio "$(figure default 1)" "$ours_s")" "for comparison"
    fit_ratio=$(ratio "$(figure fit 1)" "$ours_s")
    row "crash archive, ${size} MB, limit of $fit_mb MB that the set fits, $cores_here thread(s): wall time, median of $rounds (processor time; load at the starts)" \
        "$(figure fit 1) s ($(figure fit 3) s; $(cut -d' ' -f4 "$scratch/runs-fit" | span))" \
        "${ours_s} s ($(figure "$cores_here" 3) s) no limit, the same archive" "$fit_ratio ($(ratio "$(figure fit 3)" "$(figure "$cores_here" 3)"))" \
        "≤ 1.05× — $(verdict "${fit_ratio%×}" '<=' 1.05)"
    ours_kb=0
    for threads in "${thread_counts[@]}" default fit; do
        kb=$(cut -d' ' -f2 "$scratch/runs-$threads" | maximum)
        ((kb > ours_kb)) && ours_kb=$kb
    done
    zip_kb=$(cut -d' ' -f2 "$scratch/runs-zip" | maximum)
    row "crash archive, ${size} MB: peak memory (max of all runs)" "$(kb_to_mb "$ours_kb")" "$(kb_to_mb "$zip_kb")" \
        "$(ratio "$ours_kb" "$zip_kb")" "≤ 64 MB — $(verdict "$ours_kb" '<=' 65536)"

    log "crash archive of ${size} MB: zlib alone on the same files"
    read -r floor_s level6_s < <(cd "$dir" && "$bin/deflate_alone" "${names[@]}")
    row "crash archive, ${size} MB: zlib alone on one thread, no archive (Pellicor's levels / level 6)" "${floor_s} s" "${level6_s} s" \
        "$(ratio "$floor_s" "$level6_s")" "the floor under one thread"
    rm -rf "$dir" "$scratch"/peer*.zip "$scratch"/report-*.zip "$scratch"/log-* "$scratch/desktop/cache"
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
log "the archive in-process under a mail size limit"
# Interleaved and repeated: the three limits differ by less than a busy spell.
limits=$(cd "$scratch" && TMPDIR=$scratch "$bin/archive_bench" --benchmark_filter='ArchiveWithinLimit' \
    --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true 2>/dev/null)

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
echo
echo "The archive of a made-up 100 MiB crash in-process, under no limit, one it fits, and the default:"
echo
echo '```'
grep -E '^ArchiveWithinLimit.*_median' <<<"$limits" || true
echo '```'
