#!/usr/bin/env bash
# Benchmark (not a test): instructions the camera's converter (the ARM
# Release build) spends per sensor sample, counted under qemu-arm with one
# instruction per translation block and the exec log on (one "Trace" line
# per executed instruction). Two synthetic logs of 10 samples per second
# with GPS at 5 Hz, of different lengths, are converted with every output
# and subtitle item on; the difference of the counts divided by the extra
# samples cancels start-up. Done for GpsFix and GpsNavData logs.
#
#   bench/arm_instructions.sh               # the two figures
#   bench/arm_instructions.sh --breakdown   # and the top functions per sample
#   bench/arm_instructions.sh --annotate next_event   # and the functions whose
#       name holds that text, disassembled, each instruction with its count per sample
#   SHORT=20 LONG=80 bench/arm_instructions.sh   # log lengths in seconds
#   RATE=16.7 bench/arm_instructions.sh   # samples per second (the recorder
#       writes one about every 60 ms; the figures above are at 10)
#   ARM_BUILD_DIR=build-mine bench/arm_instructions.sh
set -euo pipefail

. "$(dirname "$0")/bench_lib.sh"
ARM_BUILD_DIR=${ARM_BUILD_DIR:-$ROOT/build-arm-sim}
SHORT=${SHORT:-20}
LONG=${LONG:-100}
TOP=${TOP:-25}
RATE=${RATE:-10}
breakdown=false
annotate=
case "${1:-}" in
    --breakdown) breakdown=true ;;
    --annotate) annotate=${2:?--annotate needs part of a function name} ;;
esac

command -v qemu-arm >/dev/null || { echo "qemu-arm (qemu-user) is needed for this benchmark" >&2; exit 1; }
build_targets make_synthetic_log
if [ ! -f "$ARM_BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$ARM_BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-armel.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DTARVEX_TESTS=OFF -DTARVEX_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$ARM_BUILD_DIR" --target converter -j2 >/dev/null
converter=$ARM_BUILD_DIR/converter/converter

enter_work_dir bench-arm-instructions
# Function start addresses, for the breakdown.
arm-linux-gnueabi-nm -n -C "$converter" | awk '$2 ~ /^[tTwW]$/ { $2 = ""; print }' >symbols.txt

# run KIND SECONDS: converts such a log in its own folder; prints the number
# of sensor samples and of instructions executed, and leaves the executed
# instructions per address in KIND-SECONDS/pcs.txt ("address count").
run() {
    local dir=$1-$2
    mkdir "$dir"
    (
        cd "$dir"
        "$BUILD_DIR/bench/make_synthetic_log" -o GOPR0001.DAT --seconds "$2" --rate "$RATE" --gps "$1" \
            --gps-rate 5 --video GOPR0001.MP4 --chapter-seconds 1560 >generator.txt
        cp "$ROOT/bench/settings_all_on.txt" settings.txt
        # The log is read as it is written: a file would take gigabytes.
        mkfifo trace
        awk '/^Trace/ { n++; split($4, f, "/"); pc[f[2]]++ }
             END { print n > "count.txt"; for (a in pc) print a, pc[a] > "pcs.txt" }' trace &
        qemu-arm -singlestep -d exec,nochain -D trace "$converter" GOPR0001.DAT >console.txt
        wait
        echo "$(sed -n 's/.*: \([0-9]*\) samples.*/\1/p' generator.txt) $(cat count.txt)"
    )
}

for kind in fix navdata; do
    read -r short_samples short_count < <(run "$kind" "$SHORT")
    read -r long_samples long_count < <(run "$kind" "$LONG")
    extra=$((long_samples - short_samples))
    label=$([ "$kind" = fix ] && echo GpsFix || echo GpsNavData)
    echo "$label: $(((long_count - short_count) / extra)) ARM instructions per sensor sample" \
        "($short_samples and $long_samples samples: $short_count and $long_count instructions)"
    if $breakdown; then
        # Each address's count in the long run less the short one, summed
        # per function (the last symbol at or below the address).
        python3 - symbols.txt "$kind-$LONG/pcs.txt" "$kind-$SHORT/pcs.txt" "$extra" "$TOP" <<'PY'
import bisect, collections, sys
syms, longer, shorter, extra, top = sys.argv[1:]
starts, names = [], []
for line in open(syms):
    addr, _, name = line.rstrip("\n").partition(" ")
    starts.append(int(addr, 16))
    names.append(name.strip())
per = collections.Counter()
for path, sign in ((longer, 1), (shorter, -1)):
    for line in open(path):
        addr, count = line.split()
        i = bisect.bisect_right(starts, int(addr, 16)) - 1
        per[names[i] if i >= 0 else "?"] += sign * int(count)
total = sum(per.values())
for name, n in per.most_common(int(top)):
    print(f"{n / int(extra):10.1f} {100 * n / total:5.1f} %  {name[:110]}")
PY
    fi
    if [ -n "$annotate" ]; then
        python3 - "$converter" "$kind-$LONG/pcs.txt" "$kind-$SHORT/pcs.txt" "$extra" "$annotate" <<'PY'
import collections, re, subprocess, sys
binary, longer, shorter, extra, wanted = sys.argv[1:]
per = collections.Counter()
for path, sign in ((longer, 1), (shorter, -1)):
    for line in open(path):
        addr, count = line.split()
        per[int(addr, 16)] += sign * int(count)
listing = subprocess.run(["arm-linux-gnueabi-objdump", "-d", "-C", "--no-show-raw-insn", binary],
                         capture_output=True, text=True, check=True).stdout
inside = False
for line in listing.splitlines():
    head = re.match(r"^[0-9a-f]+ <(.*)>:", line)
    if head:
        inside = wanted in head.group(1)
        if inside:
            print(line)
    elif inside:
        at = re.match(r"^\s+([0-9a-f]+):", line)
        if at:
            print(f"{per.get(int(at.group(1), 16), 0) / int(extra):8.2f} {line}")
PY
    fi
done
echo "work folder: $WORK"
