#!/usr/bin/env bash
# Benchmark (not a test): `datview info`, `datview plot` and `datview page`
# on a synthetic 10-hour log with about 10 sensor samples and 5 GPS fixes per
# second, in 26-minute chapters; reports wall time, peak memory, the
# picture's and the page's size and, where Chromium and Selenium are
# installed, the page's time to interactive in headless Chromium.
#
#   bench/datview_10h.sh            # uses build/ (cmake preset "default")
#   BUILD_DIR=build-mine bench/datview_10h.sh
set -euo pipefail

. "$(dirname "$0")/bench_lib.sh"

build_targets datview make_synthetic_log

enter_work_dir bench-datview-10h
"$BUILD_DIR/bench/make_synthetic_log" -o datalog.bin --hours 10 --rate 10 --gps fix \
    --video GOPR0001.MP4 --chapter-seconds 1560 >/dev/null

measure() {  # name, then the command
    local name=$1
    shift
    set +e
    /usr/bin/time -v -o "time-$name.txt" "$@" > "console-$name.txt"
    local status=$?
    set -e
    local wall peak
    wall=$(sed -n 's/^\s*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "time-$name.txt")
    peak=$(sed -n 's/^\s*Maximum resident set size (kbytes): //p' "time-$name.txt")
    echo "$name: exit status $status, wall time $wall, peak memory $peak KiB"
}

echo "log: $(stat -c %s datalog.bin) bytes"
measure info "$BUILD_DIR/datview/datview" info datalog.bin
measure plot "$BUILD_DIR/datview/datview" plot datalog.bin -o ride.svg -v GOPR0001.MP4
echo "picture: $(stat -c %s ride.svg) bytes"
measure page "$BUILD_DIR/datview/datview" page datalog.bin -o ride.html -v GOPR0001.MP4
echo "page: $(stat -c %s ride.html) bytes"
/usr/bin/python3 "$ROOT/tests/datview/ride_page_browser.py" --time-to-interactive ride.html || true
