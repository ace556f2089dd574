#!/usr/bin/env bash
# Benchmark (not a test): converter throughput against gpsbabel, and the
# converter's peak memory.
#
# Converts a synthetic 10-hour log (10 sensor samples and 5 GpsFix entries per
# second, 26-minute chapters) with SRT, CSV and GPX output, then times
# gpsbabel turning a unicsv track of as many points as the log has entries
# into a GPX track. Prints both rates, their ratio (goal: at least 60) and
# the peak resident memory (goal: at most 4 MB, whatever the log's length,
# so a 1-hour log is converted too for comparison).
#
#   bench/converter_speed.sh                  # uses build/ (cmake preset "default")
#   BUILD_DIR=build-mine bench/converter_speed.sh
#   HOURS=2 bench/converter_speed.sh          # shorter run
#
# The machine may be shared: the ratio is given from CPU time (user + system,
# what each program itself spends) and from wall time.
set -euo pipefail

. "$(dirname "$0")/bench_lib.sh"
HOURS=${HOURS:-10}

for tool in gpsbabel awk; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is needed for this benchmark" >&2
        exit 1
    fi
done
if [ ! -x /usr/bin/time ]; then
    echo "GNU time (/usr/bin/time) is needed for the memory figures" >&2
    exit 1
fi

build_targets converter make_synthetic_log
CONVERTER=$BUILD_DIR/converter/converter
GENERATOR=$BUILD_DIR/bench/make_synthetic_log

enter_work_dir bench-converter-speed

# Fields of a GNU time -v report: seconds of CPU, seconds of wall, KiB peak.
cpu_seconds() { awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.3f", s }' "$1"; }
wall_seconds() {
    awk -F': ' '/Elapsed \(wall clock\)/ {
        n = split($2, p, ":"); s = 0
        for (i = 1; i <= n; i++) s = s * 60 + p[i]
        printf "%.3f", s }' "$1"
}
peak_kib() { awk -F': ' '/Maximum resident set size/ { print $2 }' "$1"; }

# Converts a log of $2 hours in folder $1, RUNS times (the fastest run counts:
# a conversion takes a few hundredths of a second, near the timer's
# resolution, and the machine may be busy); prints the generator's summary.
RUNS=${RUNS:-5}
convert_log() {
    local dir=$1 hours=$2
    mkdir -p "$dir"
    (
        cd "$dir"
        "$GENERATOR" -o GOPR0001.DAT --hours "$hours" --rate 10 --gps fix --gps-rate 5 \
            --video GOPR0001.MP4 --chapter-seconds 1560 > generator.txt
        printf 'csv = yes\ngpx = yes\n' > settings.txt
        for run in $(seq "$RUNS"); do
            /usr/bin/time -v -o "time$run.txt" "$CONVERTER" GOPR0001.DAT > console.txt
        done
        best=time1.txt
        for run in $(seq "$RUNS"); do
            if awk -v a="$(cpu_seconds "time$run.txt")" -v b="$(cpu_seconds "$best")" 'BEGIN { exit !(a < b) }'; then
                best=time$run.txt
            fi
        done
        cp "$best" time.txt
    )
}

echo "Converting a synthetic ${HOURS}-hour log (SRT, CSV and GPX) ..."
convert_log long "$HOURS"
summary=$(head -1 long/generator.txt)
samples=$(echo "$summary" | sed -n 's/.*: \([0-9]*\) samples.*/\1/p')
gps=$(echo "$summary" | sed -n 's/.* \([0-9]*\) GPS entries.*/\1/p')
entries=$((samples + gps))
conv_cpu=$(cpu_seconds long/time.txt)
conv_wall=$(wall_seconds long/time.txt)
conv_peak=$(peak_kib long/time.txt)
out_bytes=$(cat long/*.SRT long/*.CSV long/*.GPX | wc -c)

echo "Converting a 1-hour log for the memory comparison ..."
convert_log short 1
short_peak=$(peak_kib short/time.txt)

echo "Timing gpsbabel on a unicsv track of $entries points ..."
# A track like the log's: position, altitude and time, 5 points per second.
awk -v n="$entries" 'BEGIN {
    print "lat,lon,alt,utc_d,utc_t"
    for (i = 0; i < n; i++) {
        a = 2 * 3.14159265358979 * i / 4320
        s = 80000 + int(i / 5)
        printf "%.6f,%.6f,%.2f,2023/11/14,%02d:%02d:%02d.%03d\n",
            46.557 + 0.008 * sin(a), 7.972 + 0.012 * (1 - cos(a)), 500 + (i % 400) / 4,
            int(s / 3600) % 24, int(s / 60) % 60, s % 60, (i % 5) * 200
    }
}' > track.csv
/usr/bin/time -v -o gpsbabel_time.txt \
    gpsbabel -i unicsv -f track.csv -x transform,trk=wpt,del -o gpx -F track.gpx
babel_cpu=$(cpu_seconds gpsbabel_time.txt)
babel_wall=$(wall_seconds gpsbabel_time.txt)
babel_peak=$(peak_kib gpsbabel_time.txt)
babel_points=$(grep -c '<trkpt' track.gpx)

awk -v e="$entries" -v s="$samples" -v g="$gps" -v cc="$conv_cpu" -v cw="$conv_wall" \
    -v bp="$babel_points" -v bc="$babel_cpu" -v bw="$babel_wall" -v ob="$out_bytes" \
    -v cp="$conv_peak" -v sp="$short_peak" -v bk="$babel_peak" 'BEGIN {
    printf "log: %d entries (%d sensor samples, %d GpsFix)\n", e, s, g
    printf "converter output: %.1f MB of SRT, CSV and GPX\n", ob / 1e6
    printf "converter: %.3f s CPU, %.3f s wall -> %.0f entries/s (CPU), %.0f entries/s (wall)\n",
        cc, cw, e / cc, e / cw
    printf "gpsbabel:  %.3f s CPU, %.3f s wall -> %.0f points/s (CPU), %.0f points/s (wall)\n",
        bc, bw, bp / bc, bp / bw
    printf "ratio (CPU time):  %.1f  (goal >= 60)\n", (e / cc) / (bp / bc)
    printf "ratio (wall time): %.1f  (goal >= 60)\n", (e / cw) / (bp / bw)
    printf "converter peak memory: %d KiB for the long log, %d KiB for 1 hour (goal <= 4096 KiB)\n", cp, sp
    printf "gpsbabel peak memory: %d KiB\n", bk
}'
