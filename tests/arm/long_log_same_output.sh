#!/bin/sh
# The ARM converter over two 10-hour logs writes exactly what the host's
# writes, every output and subtitle item on: one log with GpsFix entries, one
# with GpsNavData entries, whose distances take the soft-float paths. Takes
# about a minute (mostly the two runs under qemu-arm).
#
# Usage: long_log_same_output.sh HOST_BUILD ARM_BUILD
# (exit 77: skipped, qemu-arm or a program missing)
set -eu
for d in "$1" "$2"; do
    [ -d "$d" ] || { echo "SKIP: $d does not exist (scripts/arm.sh builds it)"; exit 77; }
done
host=$(cd "$1" && pwd) arm=$(cd "$2" && pwd)
. "$(dirname "$0")/compare_lib.sh"

for gps in fix navdata; do
    synthetic_log "10h-$gps" 36000 "$gps" 1560
    convert "10h-$gps" GOPR0042.DAT
done
[ "$failures" -eq 0 ]
