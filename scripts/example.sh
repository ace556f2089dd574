#!/usr/bin/env bash
# The main job: builds the converter and datview, converts the bundled
# example recordings (examples/outing/: sensors only; examples/ride/: with
# GPS) each in its scratch folder under out/example/, the way the camera's
# post-processing does beside the video chapters, draws each with datview as
# <example>.svg and lays it out as the ride page <example>.html, then lists
# what it wrote. The source tree is left untouched.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

cmake --preset default
cmake --build --preset default --target converter datview -j"$(nproc)"

# example folder, its log, its first chapter
EXAMPLES=("outing datalog.bin GOPR0042.MP4"
          "ride GOPR0077.DAT GOPR0077.MP4")

rm -rf "$ROOT/out/example"
for example in "${EXAMPLES[@]}"; do
    read -r name log video <<<"$example"
    OUT=$ROOT/out/example/$name
    mkdir -p "$OUT"
    cp "examples/$name"/*.* "$OUT"/  # the files; outing/root/ is the simulated camera's
    before=$(ls "$OUT")

    (cd "$OUT" && "$ROOT/build/converter/converter" "$log" -v "$video" &&
        "$ROOT/build/datview/datview" plot "$log" -o "$name.svg" -v "$video" &&
        "$ROOT/build/datview/datview" page "$log" -o "$name.html" -v "$video")

    echo
    echo "Written in $OUT:"
    for f in $(ls "$OUT"); do
        if ! grep -qx "$f" <<<"$before"; then
            printf '  %-20s %8d bytes\n' "$f" "$(stat -c %s "$OUT/$f")"
        fi
    done
    echo
done
