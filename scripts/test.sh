#!/usr/bin/env bash
# Builds everything for this machine and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default
cmake --build --preset default -j"$(nproc)"
ctest --preset default -j"$(nproc)"
