#!/usr/bin/env bash
# Regenerates the bundled examples' reference outputs: runs the main job
# (scripts/example.sh) in UTC, as the CSV heading's recording date is local
# time, and keeps every SRT, CSV, GPX and ASS file it wrote in
# examples/<example>/expected/. A test compares fresh conversions with them.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

TZ=UTC ./scripts/example.sh
shopt -s nullglob
for name in outing ride; do
    EXPECTED=examples/$name/expected
    rm -rf "$EXPECTED"
    mkdir -p "$EXPECTED"
    for f in out/example/$name/*.SRT out/example/$name/*.CSV out/example/$name/*.GPX out/example/$name/*.ASS; do
        cp "$f" "$EXPECTED"/
    done
    echo
    echo "Reference outputs in $EXPECTED:"
    ls -l "$EXPECTED"
done
