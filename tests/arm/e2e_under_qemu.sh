#!/bin/sh
# Runs the host's end-to-end test program against the ARM programs: the
# converter of the camera build and the simulated recorders of the ARM
# simulator build. The tests find them through TARVEX_PROGRAM_DIR, a folder
# laid out like a build whose "programs" are small scripts that run the ARM
# ones under qemu-arm, so that every way a test starts a program (directly,
# through sh, from the post-processing hook) reaches the ARM code.
# Usage: e2e_under_qemu.sh E2E_TESTS ARM_BUILD_DIR ARM_SIM_BUILD_DIR [GTEST ARGS...]
# (exit 77: skipped, qemu-arm or an ARM program missing)
set -eu
e2e=$1 arm_dir=$2 arm_sim_dir=$3
shift 3
skip() { echo "SKIP: $*"; exit 77; }
command -v qemu-arm >/dev/null 2>&1 || skip "qemu-arm not found (qemu-user)"
[ -x "$e2e" ] || skip "$e2e not built"

wrappers=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-arm-programs-XXXXXX")
trap 'rm -rf "$wrappers"' EXIT
# wrap BUILD_DIR RELATIVE_PATH
wrap() {
    [ -d "$1" ] || skip "$1 does not exist (scripts/arm.sh builds it)"
    real=$(cd "$1" && pwd)/$2
    [ -x "$real" ] || skip "$1/$2 not built (scripts/arm.sh builds it)"
    mkdir -p "$wrappers/$(dirname "$2")"
    # -0: the program sees the wrapper's path as its name, as it would the
    # real program's path when run directly.
    printf '#!/bin/sh\nexec qemu-arm -0 "$0" "%s" "$@"\n' "$real" >"$wrappers/$2"
    chmod +x "$wrappers/$2"
}
wrap "$arm_dir" converter/converter
for rev in ${TARVEX_VARIANTS:?"the firmware variants, which ctest sets"}; do
    wrap "$arm_sim_dir" sim/recorder-sim-rev$rev
done

status=0
TARVEX_PROGRAM_DIR=$wrappers "$e2e" "$@" || status=$?
exit $status
