#!/usr/bin/env bash
# Benchmark (not a test): instructions the converter spends per sensor
# sample, counted by callgrind (goal: at most 1,500). A synthetic log of 10
# samples and 5 GpsFix entries per second, 26-minute chapters, converted with
# SRT, CSV and GPX and every subtitle item on; the count includes start-up,
# which a long log spreads thin.
#
#   bench/converter_instructions.sh           # 10 hours, build/ (preset "default")
#   HOURS=1 GPS=navdata bench/converter_instructions.sh
#   BUILD_DIR=build-mine bench/converter_instructions.sh
#   EXTRA_SETTINGS="ass_overlay = yes" bench/converter_instructions.sh   # with the ASS overlay too
set -euo pipefail

. "$(dirname "$0")/bench_lib.sh"
HOURS=${HOURS:-10}
GPS=${GPS:-fix}

command -v valgrind >/dev/null || { echo "valgrind is needed for this benchmark" >&2; exit 1; }
build_targets converter make_synthetic_log

enter_work_dir bench-converter-instructions
"$BUILD_DIR/bench/make_synthetic_log" -o GOPR0001.DAT --hours "$HOURS" --rate 10 --gps "$GPS" --gps-rate 5 \
    --video GOPR0001.MP4 --chapter-seconds 1560 >generator.txt
cp "$ROOT/bench/settings_all_on.txt" settings.txt
if [ -n "${EXTRA_SETTINGS:-}" ]; then printf '%s\n' "$EXTRA_SETTINGS" >>settings.txt; fi

valgrind --tool=callgrind --callgrind-out-file=callgrind.out "$BUILD_DIR/converter/converter" GOPR0001.DAT \
    >console.txt 2>valgrind.txt
samples=$(sed -n 's/.*: \([0-9]*\) samples.*/\1/p' generator.txt)
instructions=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' valgrind.txt)
echo "log: $samples sensor samples ($HOURS h, GPS: $GPS)"
echo "instructions: $instructions, $((instructions / samples)) per sensor sample (goal <= 1500)"
echo "profile: callgrind_annotate $WORK/callgrind.out"
