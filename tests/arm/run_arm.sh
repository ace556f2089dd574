#!/bin/sh
# Runs one ARM program under qemu-arm.
# Usage: run_arm.sh PROGRAM [ARGS...]   (exit 77: skipped, qemu-arm or program missing)
set -eu
command -v qemu-arm >/dev/null 2>&1 || { echo "SKIP: qemu-arm not found (qemu-user)"; exit 77; }
[ -x "$1" ] || { echo "SKIP: $1 not built (scripts/arm.sh builds it)"; exit 77; }
exec qemu-arm "$@"
