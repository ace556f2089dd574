#!/bin/sh
# The ARM programs must write exactly what the host's write: the same log
# converted by both converters (bundled examples and synthetic logs with every
# output on), and the same simulated session recorded by both recorders.
# Every file written and everything printed must be byte-identical.
#
# Usage: same_output.sh HOST_BUILD ARM_BUILD ARM_SIM_BUILD SOURCE_DIR
# (exit 77: skipped, qemu-arm or a program missing)
set -eu
for d in "$1" "$2" "$3" "$4"; do
    [ -d "$d" ] || { echo "SKIP: $d does not exist (scripts/arm.sh builds it)"; exit 77; }
done
host=$(cd "$1" && pwd) arm=$(cd "$2" && pwd) arm_sim=$(cd "$3" && pwd) src=$(cd "$4" && pwd)
. "$(dirname "$0")/compare_lib.sh"

# Synthetic logs: GPS fixes and navigation data, three chapters each.
for gps in fix navdata; do
    synthetic_log "synthetic-$gps" 200 "$gps" 80
    convert "synthetic-$gps" GOPR0042.DAT -v GOPR0042.MP4 -a -25 -g
done

# Bundled example recordings (a log named datalog.bin or *.DAT beside its
# chapter files), converted as the example script does.
for dat in $(find "$src/examples" -type f \( -name datalog.bin -o -name '*.DAT' \) 2>/dev/null | sort); do
    dir=$(dirname "$dat")
    name=example-$(basename "$dir")-$(basename "$dat")
    mkdir -p "$work/$name"
    cp -r "$dir" "$work/$name/in"
    first=$(cd "$dir" && ls GOPR[0-9][0-9][0-9][0-9].MP4 2>/dev/null | head -n 1)
    if [ -n "$first" ]; then
        convert "$name" "$(basename "$dat")" -v "$first"
    else
        convert "$name" "$(basename "$dat")"
    fi
done

# Simulated sessions: ground calibration, two recordings with a disturbed bus
# and a counter glitch; accelerometer calibration then a recording. The hook
# keeps every log.
cat >"$work/session.txt" <<'SCENARIO'
altitude 0 1200 12 1200 22 1500 40 900
temperature 0 20 30 5
accel 0 0 0 1 25 0.5 -0.2 1.8 26 0 0 1
button 2 3
record 12 30
disturb 20 20.5
glitch 15
record 34 36
end 40
SCENARIO
cat >"$work/accel-cal.txt" <<'SCENARIO'
altitude 0 300 30 350
accel-bias 0.1 0 -0.05
button 2 16
record 20 24
end 28
SCENARIO
for rev in ${TARVEX_VARIANTS:?"the firmware variants, which ctest sets"}; do
    need "$host/sim/recorder-sim-rev$rev"
    need "$arm_sim/sim/recorder-sim-rev$rev"
    for scenario in session accel-cal; do
        name=recorder-rev$rev-$scenario
        for side in host arm; do
            root=$work/$name/$side/root
            mkdir -p "$root/tmp/fuse_d/MISC"
            echo 'cat tmp/datalog.bin >> tmp/fuse_d/all-logs.bin' >"$root/tmp/process.sh"
        done
        run_in "$work/$name/host" "$host/sim/recorder-sim-rev$rev" "$work/$scenario.txt" "$work/$name/host/root"
        # The same root path on both sides: the recorder prints paths.
        mv "$work/$name/host" "$work/$name/host.done"
        mv "$work/$name/arm" "$work/$name/host"
        run_in "$work/$name/host" qemu-arm "$arm_sim/sim/recorder-sim-rev$rev" "$work/$scenario.txt" "$work/$name/host/root"
        mv "$work/$name/host" "$work/$name/arm"
        mv "$work/$name/host.done" "$work/$name/host"
        compare "$name"
    done
done

if [ "$failures" -ne 0 ]; then
    echo "$failures case(s) differ between the host and the ARM build"
    exit 1
fi
