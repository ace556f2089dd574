#!/usr/bin/env bash
# Writes the committed seed corpora of fuzz/corpus/ from the project's own
# log and chapter generator (bench/tools/make_synthetic_log, from a host build)
# and the example outing. Each seed stays a few KB. Usage:
#   fuzz/make_corpus.sh [HOST_BUILD_DIR]    (default build/, built as needed)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target make_synthetic_log >/dev/null
gen=$build/bench/make_synthetic_log
out=fuzz/corpus
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Little-endian bytes of a number.
le() { local v=$1 n=$2 i; for ((i = 0; i < n; i++)); do printf "\\x$(printf %02x $(((v >> (8 * i)) & 255)))"; done; }

# dat_conversion: a block of run choices (fuzz/dat_conversion_fuzz.cpp has
# its layout), then the log.
#   choices FLAGS NAMING CHAPTERS_MINUS_ONE ALT_ADJUST_FT CHAPTER_MS WRITE_BUDGET [SETTINGS_HEX]
# SETTINGS_HEX: one byte per setting, in the target's order, as hex digits;
# the settings left out take their first value.
settings_count=27
choices() {
  le "$1" 1; le "$2" 1; le "$3" 1; le "$4" 4; le "$5" 4; le "$6" 4
  local hex=${7:-} i byte
  for ((i = 0; i < settings_count; i++)); do
    byte=${hex:2*i:2}
    le "$((16#${byte:-00}))" 1
  done
}
dat_seed() {  # NAME "CHOICES..." GENERATOR_OPTIONS...
  local name=$1 c=$2
  shift 2
  "$gen" -o "$tmp/log.dat" "$@" >/dev/null
  { choices $c; cat "$tmp/log.dat"; } >"$out/dat_conversion/$name"
}
# Every subtitle item, the CSV, timed GPX files, the outing track and the ASS
# overlay (top right, the bar at 1 G full scale).
all_on=030102010100010101000101010002030201010100000101010301
mkdir -p "$out"/{dat_conversion,mp4_probe,settings_file,scenario_file}
rm -f "$out"/*/*
dat_seed plain "0 0 0 0 2147483647 0"                             --seconds 10 --rate 10
dat_seed all_shown "1 1 0 250 4000 0 $all_on"                     --seconds 8 --gps fix --hw-revision 4
dat_seed navdata "0 2 1 -3000 3000 0 0201000100000100020201000102" --seconds 6 --gps navdata --hw-revision 1
dat_seed navdata_fast "6 3 2 0 1000 0 $all_on"                    --seconds 2 --rate 40 --gps navdata --gps-rate 10
# More samples than the 256-entry look-ahead holds, over three chapters.
dat_seed full_ring "0 0 2 0 9000 0 050505050505050505050505050505"  --seconds 27 --rate 10 --seed 7
# Outputs that fail: a card that fills up during the second chapter, and
# closes that report a failed write-back; both record the run's outcome.
dat_seed card_full "128 1 2 0 3000 6000 $all_on"                   --seconds 8 --gps fix
dat_seed close_fails "160 0 1 0 4000 0 $all_on"                    --seconds 6 --gps fix
"$gen" -o "$tmp/log.dat" --seconds 0.1 >/dev/null
{ choices 0 0 0 0 0 0; head -c 88 "$tmp/log.dat"; } >"$out/dat_conversion/header_only"

# mp4_probe: chapter files as the generator writes them.
"$gen" -o "$tmp/log.dat" --seconds 12 --video "$tmp/GOPR0001.MP4" --chapter-seconds 5 >/dev/null
cp "$tmp/GOPR0001.MP4" "$out/mp4_probe/chapter_ms"
"$gen" -o "$tmp/log.dat" --seconds 2 --video "$tmp/GOPR0002.MP4" --timescale 90000 --mdat-bytes 300 >/dev/null
cp "$tmp/GOPR0002.MP4" "$out/mp4_probe/timescale_90000"
"$gen" -o "$tmp/log.dat" --seconds 2 --video "$tmp/GOPR0003.MP4" --timescale 600 >/dev/null
cp "$tmp/GOPR0003.MP4" "$out/mp4_probe/timescale_600"
cp examples/outing/GOPR0042.MP4 "$out/mp4_probe/outing"

# settings_file: the example's file and one naming every key.
cp examples/outing/settings.txt "$out/settings_file/outing"
cat >"$out/settings_file/every_key" <<'KEYS'
; every key once
altitude = both
temperature = f
accel = xyz
gbar = on
csv = yes
accel_places = long
min_sub_delay = 200
gps_lag = 750
gps_speed = kmh
gps_dist = km
gps_dist_places = two
alt_filter = high
accel_filter = 12
id_pins = show
gpx = off
heading = on
speed_window = 10
gps_dist_interval = 100
gps_speed_limit = 300
haptics = no
glide = on
gps_rate = 10
gps_nav_mode = 2
gps_speed_type = 3d
gps_hw_lag = 250
KEYS

# scenario_file: the example outing and one with every fault directive.
cp examples/outing/scenario.txt "$out/scenario_file/outing"
cat >"$out/scenario_file/faults" <<'SCENARIO'
firmware rev4
ticks 1700000000
tick-phase 0.5
end 60
record 5 20
busy 25 30
busy-state 3
button 1 3
disturb 40 41
glitch 10 11.5
altitude 0 100  30 400
temperature 0 20  60 15.5
accel 0 0 0 1  10 0.5 -0.5 2
accel-bias 0.01 0 -0.02
baro-calibration 7500 -1100 -14500 33000 25200 18900 5500 46 -32768 -11075 2432
eeprom-main 00003154582D30303432FFC0000000FF
eeprom-main-addressing 8
eeprom-expander 0300FF000000
eeprom-write-fail
map-fail 0x10000000
SCENARIO
printf 'accessory absent\naccelerometer absent\ndev-mem absent\neeprom-main none\nfirmware rev1\n' \
  >"$out/scenario_file/absent"
ls -l "$out"/*
