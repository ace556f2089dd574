# Shared by the benchmark scripts (sourced, not run): the build to measure
# (BUILD_DIR, default build/ of the preset "default") and a fresh work folder.
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}

# build_targets TARGET...: configures the build if it is not yet, then builds them.
build_targets() {
    if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
        cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    cmake --build "$BUILD_DIR" --target "$@" -j2 >/dev/null
}

# enter_work_dir NAME: out/NAME, emptied, as the current folder (WORK).
enter_work_dir() {
    WORK=$ROOT/out/$1
    rm -rf "$WORK"
    mkdir -p "$WORK"
    cd "$WORK"
}
