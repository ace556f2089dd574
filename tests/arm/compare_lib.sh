# Shared by the scripts that compare host and ARM outputs (sourced, not run):
# skipping, a scratch folder, running both converters on copies of the same
# inputs, and comparing what they wrote and printed.
# The sourcing script sets $host and $arm (build folders) first.

skip() { echo "SKIP: $*"; exit 77; }
need() { [ -x "$1" ] || skip "$1 not built (scripts/arm.sh builds it)"; }
command -v qemu-arm >/dev/null 2>&1 || skip "qemu-arm not found (qemu-user)"
need "$host/converter/converter"
need "$arm/converter/converter"
need "$host/bench/make_synthetic_log"

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-same-output-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

# compare NAME: runs $work/NAME/{host,arm} results through diff.
compare() {
    if diff -r "$work/$1/host" "$work/$1/arm" >"$work/$1.diff" 2>&1; then
        echo "same: $1 ($(find "$work/$1/host" -type f | wc -l) files)"
    else
        echo "DIFFERENT: $1"
        head -n 40 "$work/$1.diff"
        failures=$((failures + 1))
    fi
}

# run_in DIR COMMAND...: runs it in DIR; stdout.txt gets its output and exit status.
run_in() {
    dir=$1
    shift
    status=0
    (cd "$dir" && "$@" >stdout.txt 2>stderr.txt) || status=$?
    echo "exit $status" >>"$dir/stdout.txt"
}

# convert NAME DAT_NAME [converter args...]: $work/NAME/in holds the inputs;
# each converter runs in its own copy of it, with relative paths, so that the
# messages are comparable too.
convert() {
    name=$1
    shift
    for side in host arm; do
        cp -r "$work/$name/in" "$work/$name/$side"
    done
    run_in "$work/$name/host" "$host/converter/converter" "$@"
    run_in "$work/$name/arm" qemu-arm "$arm/converter/converter" "$@"
    compare "$name"
}

cp "$(dirname "$0")/../../bench/settings_all_on.txt" "$work/all-on.txt"

# synthetic_log NAME SECONDS GPS CHAPTER_SECONDS: a synthetic log named
# GOPR0042.DAT with its chapters and every output on, in $work/NAME/in.
synthetic_log() {
    mkdir -p "$work/$1/in"
    "$host/bench/make_synthetic_log" -o "$work/$1/in/GOPR0042.DAT" --seconds "$2" --gps "$3" \
        --video "$work/$1/in/GOPR0042.MP4" --chapter-seconds "$4" >/dev/null
    cp "$work/all-on.txt" "$work/$1/in/settings.txt"
}
