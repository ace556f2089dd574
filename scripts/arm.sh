#!/usr/bin/env bash
# Builds the camera deliverables (preset arm: converter, recorder-rev3/4/1)
# and the ARM simulator build (preset arm-sim: converter, recorder-sim-*),
# lays out the camera card with `cmake --install`, and runs the tests
# labelled "arm" from the host build under qemu-arm.
# Needs crossbuild-essential-armel and qemu-user (installed by .ci/run).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}

cmake --preset arm
cmake --build --preset arm -j"$jobs"
cmake --preset arm-sim
cmake --build --preset arm-sim -j"$jobs"

# What goes onto the camera's card.
card=out/arm-card
rm -rf "$card"
cmake --install build-arm --prefix "$card" --strip
for f in converter recorder-rev3 recorder-rev4 recorder-rev1 process.sh; do
  [ -x "$card/$f" ] || { echo "missing from the card layout: $f"; exit 1; }
done
ls -l "$card"

# The host programs and tests the comparisons need (a no-op after scripts/test.sh).
# HOST_BUILD=dir uses another, already configured host build instead of build/.
if [ -n "${HOST_BUILD:-}" ]; then
  cmake --build "$HOST_BUILD" -j"$jobs"
  ctest --test-dir "$HOST_BUILD" -L arm --output-on-failure -j"$jobs"
else
  cmake --preset default
  cmake --build --preset default -j"$jobs"
  ctest --preset arm -j"$jobs"
fi
