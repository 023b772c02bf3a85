#!/bin/sh
# The mail client that winebrowser starts for a mailto: URL, in tests: keeps
# the URL ($2) in the file $1, whole or not at all.
printf '%s' "$2" > "$1.part" && mv "$1.part" "$1"
