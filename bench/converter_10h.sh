#!/usr/bin/env bash
# Benchmark (not a test): converts a synthetic 10-hour log with about 10
# sensor samples per second into SRT subtitles, chapter by chapter (26-minute
# chapters, as the camera cuts them), and reports wall time and peak memory.
#
#   bench/converter_10h.sh            # uses build/ (cmake preset "default")
#   BUILD_DIR=build-mine bench/converter_10h.sh
set -euo pipefail

. "$(dirname "$0")/bench_lib.sh"

if [ ! -x /usr/bin/time ]; then
    echo "Installing GNU time for the peak-memory figure"
    apt-get install -y time >/dev/null
fi

build_targets converter make_synthetic_log

enter_work_dir bench-converter-10h
"$BUILD_DIR/bench/make_synthetic_log" -o datalog.bin --hours 10 --rate 10 --gps none \
    --video GOPR0001.MP4 --chapter-seconds 1560 >/dev/null
# SRT only: no CSV, no GPX.
printf 'csv = off\ngpx = off\n' > settings.txt

/usr/bin/time -v -o time.txt "$BUILD_DIR/converter/converter" datalog.bin -v GOPR0001.MP4 > console.txt
status=$?

wall=$(sed -n 's/^\s*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' time.txt)
peak_kb=$(sed -n 's/^\s*Maximum resident set size (kbytes): //p' time.txt)
samples=$(( ($(stat -c %s datalog.bin) - 88) / 34 ))
srt_files=$(ls ./*.SRT | wc -l)
srt_bytes=$(cat ./*.SRT | wc -c)

echo "converter exit status: $status"
echo "log: $samples samples, $(stat -c %s datalog.bin) bytes"
echo "output: $srt_files SRT files, $srt_bytes bytes"
echo "wall time: $wall"
echo "peak memory: $peak_kb KiB"
