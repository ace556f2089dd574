#!/bin/sh
# The ARM converter over two 10-hour logs writes exactly what the host's
# writes, every output and subtitle item on: one log with GpsFix entries, one
# with GpsNavData entries, whose distances take the soft-float paths. Takes
# about a minute (mostly the two runs under qemu-arm).
#
# Usage: long_log_same_output.sh HOST_BUILD ARM_BUILD
# (exit 77: skipped, qemu-arm or a program missing)
set -eu
skip() { echo "SKIP: $*"; exit 77; }
for d in "$1" "$2"; do
    [ -d "$d" ] || skip "$d does not exist (scripts/arm.sh builds it)"
done
host=$(cd "$1" && pwd) arm=$(cd "$2" && pwd)
command -v qemu-arm >/dev/null 2>&1 || skip "qemu-arm not found (qemu-user)"
for p in "$host/converter/converter" "$arm/converter/converter" "$host/bench/make_synthetic_log"; do
    [ -x "$p" ] || skip "$p not built (scripts/arm.sh builds it)"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-long-log-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
for gps in fix navdata; do
    in=$work/$gps/in
    mkdir -p "$in"
    "$host/bench/make_synthetic_log" -o "$in/GOPR0001.DAT" --hours 10 --gps "$gps" \
        --video "$in/GOPR0001.MP4" --chapter-seconds 1560 >/dev/null
    cat >"$in/settings.txt" <<'SETTINGS'
altitude = both
temperature = celcius
accel = full
gbar = yes
csv = yes
gpx = yes
accel_places = 2
gps_speed = km/h
gps_dist = km
gps_dist_places = 2
heading = yes
glide = yes
speed_window = 10
id_pins = yes
SETTINGS
    for side in host arm; do
        cp -r "$in" "$work/$gps/$side"
    done
    (cd "$work/$gps/host" && "$host/converter/converter" GOPR0001.DAT >console.txt; echo "exit $?" >>console.txt)
    (cd "$work/$gps/arm" && qemu-arm "$arm/converter/converter" GOPR0001.DAT >console.txt; echo "exit $?" >>console.txt)
    if diff -r "$work/$gps/host" "$work/$gps/arm" >"$work/$gps.diff" 2>&1; then
        echo "same: 10-hour log with $gps ($(ls "$work/$gps/host" | wc -l) files)"
    else
        echo "DIFFERENT: 10-hour log with $gps"
        head -n 40 "$work/$gps.diff"
        failures=$((failures + 1))
    fi
done
[ "$failures" -eq 0 ]
