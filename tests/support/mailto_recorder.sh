#!/bin/sh
# The mail client that winebrowser starts for a mailto: URL, in tests: keeps
# the URL in $PELLICOR_MAILTO_RECORD, whole or not at all.
printf '%s' "$1" > "$PELLICOR_MAILTO_RECORD.part" && mv "$PELLICOR_MAILTO_RECORD.part" "$PELLICOR_MAILTO_RECORD"
