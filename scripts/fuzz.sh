#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz/ and runs one
# target, or each in turn, for SECONDS seconds on its committed seed corpus.
# Inputs the fuzzer finds go to build-fuzz/corpus/TARGET (kept between runs);
# a crash leaves its input in build-fuzz/artifacts/ and fails the script.
# Extra arguments after SECONDS go to libFuzzer (e.g. -runs=N, -jobs=N).
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(dat_conversion mp4_probe settings_file scenario_file)
if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET|all SECONDS [libFuzzer options...]   (targets: ${targets[*]})" >&2
  exit 2
fi
which=$1 seconds=$2
shift 2
if [ "$which" != all ]; then
  [[ " ${targets[*]} " == *" $which "* ]] || { echo "unknown target: $which (targets: ${targets[*]})" >&2; exit 2; }
  targets=("$which")
fi

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEX_FUZZ=ON -DTARVEX_TESTS=OFF -DTARVEX_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target "${targets[@]/#/fuzz_}"

# The conversion target needs room for more than one full look-ahead ring of
# samples (256 entries of 34 bytes) behind its choice block.
declare -A max_len=([dat_conversion]=20000 [mp4_probe]=4096 [settings_file]=4096 [scenario_file]=8192)
mkdir -p "$build/artifacts"
for t in "${targets[@]}"; do
  echo "== fuzz $t for $seconds s"
  mkdir -p "$build/corpus/$t"
  # stdout (the programs' progress messages) is discarded; reports go to stderr.
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len="${max_len[$t]}" -close_fd_mask=1 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" "$@" \
      "$build/corpus/$t" "fuzz/corpus/$t"
done
