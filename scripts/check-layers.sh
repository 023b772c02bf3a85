#!/usr/bin/env bash
# Holds every product file's includes to the table of rooms in
# docs/architecture.md: a file may include headers of its own room and of
# the rooms its room may use, and nothing else of ours.
#
#   scripts/check-layers.sh         check the tree
#   scripts/check-layers.sh ROOT    check another copy of it
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

declare -A may_use
while IFS='|' read -r _ room uses _; do
    room=$(tr -d '` ' <<<"$room")
    may_use[$room]=" $(tr -d '`' <<<"$uses" | xargs) "
done < <(grep -E '^\| `[a-z_]+` \|' docs/architecture.md)
[ ${#may_use[@]} -gt 0 ] || { echo "check-layers: no table of rooms in docs/architecture.md" >&2; exit 2; }

# The room that holds a public header <pellicor/NAME.h>.
public_room() {
    local header
    for header in */include/pellicor/"$1"; do
        [ -f "$header" ] && { echo "${header%%/*}"; return; }
    done
}

status=0
for room in "${!may_use[@]}"; do
    [ -d "$room" ] || { echo "check-layers: docs/architecture.md names $room/, which is not there" >&2; status=1; continue; }
    while IFS= read -r file; do
        while IFS= read -r line; do
            number=${line%%:*}
            header=$(sed -E 's/^[0-9]+:#include ["<]([^">]+)[">].*/\1/' <<<"$line")
            if [[ $header == pellicor/* ]]; then
                used=$(public_room "${header#pellicor/}")
            elif [ -f "$(dirname "$file")/$header" ] && [[ $header != */* ]]; then
                used=$room
            elif [ -d "${header%%/*}" ] && [[ $header == */* ]]; then
                used=${header%%/*}
            else
                continue  # a system or third-party header
            fi
            [ -n "$used" ] || continue
            if [ "$used" != "$room" ] && [[ ${may_use[$room]} != *" $used "* ]]; then
                echo "$file:$number: $room/ may not use $used/ (includes $header); see docs/architecture.md" >&2
                status=1
            fi
        done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' "$file" | sed -E 's/^([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*/\1:#include /')
    done < <(find "$room" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' -o -name '*.rc' \))
done
# Every folder with product code is in the table.
for dir in */; do
    dir=${dir%/}
    case $dir in tests|bench|fuzz|examples|scripts|docs|doc|cmake|build|.*) continue ;; esac
    if [ -z "${may_use[$dir]+set}" ] && find "$dir" -name '*.cpp' -print -quit | grep -q .; then
        echo "check-layers: $dir/ holds code but is not a room of docs/architecture.md" >&2
        status=1
    fi
done
[ $status -eq 0 ] && echo "check-layers: every include keeps to docs/architecture.md (${#may_use[@]} rooms)"
exit $status
