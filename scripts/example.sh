#!/usr/bin/env bash
# The main job: builds the converter and converts the bundled example
# recording (examples/outing/) in the scratch folder out/example/, the way the
# camera's post-processing does beside the video chapters, then lists what it
# wrote, and draws the recording with datview as ride.svg. The source tree
# is left untouched.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

cmake --preset default
cmake --build --preset default --target converter datview -j"$(nproc)"

OUT=$ROOT/out/example
rm -rf "$OUT"
mkdir -p "$OUT"
cp examples/outing/*.* "$OUT"/  # the files; root/ is the simulated camera's
before=$(ls "$OUT")

cd "$OUT"
"$ROOT/build/converter/converter" datalog.bin -v GOPR0042.MP4
"$ROOT/build/datview/datview" plot datalog.bin -o ride.svg -v GOPR0042.MP4

echo
echo "Written in $OUT:"
for f in $(ls); do
    if ! grep -qx "$f" <<<"$before"; then
        printf '  %-14s %8d bytes\n' "$f" "$(stat -c %s "$f")"
    fi
done
