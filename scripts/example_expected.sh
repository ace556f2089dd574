#!/usr/bin/env bash
# Regenerates the bundled example's reference outputs: runs the main job
# (scripts/example.sh) in UTC, as the CSV heading's recording date is local
# time, and keeps every SRT, CSV and GPX file it wrote in
# examples/outing/expected/. A test compares fresh conversions with them.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

TZ=UTC ./scripts/example.sh
EXPECTED=examples/outing/expected
rm -rf "$EXPECTED"
mkdir -p "$EXPECTED"
shopt -s nullglob
for f in out/example/*.SRT out/example/*.CSV out/example/*.GPX; do
    cp "$f" "$EXPECTED"/
done
echo
echo "Reference outputs in $EXPECTED:"
ls -l "$EXPECTED"
