#!/bin/sh
# The camera's processor has no floating-point unit, so the recorder must not
# do floating-point arithmetic at run time (altitudes come from a table made
# ahead of time). On a soft-float target every such operation is a call to a
# libgcc helper (__aeabi_dmul, __aeabi_i2d, __adddf3, ...) or to a maths
# function; this check lists the undefined symbols of the recorder's own ARM
# object code (its objects and the project libraries it links, not the C
# library) and fails on any of them.
#
# Usage: no_float.sh ARM_BUILD_DIR   (exit 77: skipped, tool or build missing)
set -eu
arm_dir=$1
nm=${TARVEX_ARM_NM:-arm-linux-gnueabi-nm}

skip() { echo "SKIP: $*"; exit 77; }
command -v "$nm" >/dev/null 2>&1 || skip "$nm not found (crossbuild-essential-armel)"
inputs=$arm_dir/recorder-link-inputs.txt
canary=$arm_dir/float-canary-inputs.txt
[ -f "$inputs" ] && [ -f "$canary" ] || skip "no ARM build in $arm_dir (cmake --preset arm)"

helpers='(__aeabi_(c[df]|d|f|u?[il]2[df])[a-z0-9]*'
helpers=$helpers'|__(add|sub|mul|div|neg|powi|cmp|eq|ne|lt|le|gt|ge|unord)[sdtx]f[23]'
helpers=$helpers'|__(float|fix|extend|trunc)[a-z]*[sdtx]f[a-z0-9]*'
helpers=$helpers'|(sqrt|cbrt|pow|exp|exp2|expm1|log|log2|log10|log1p|floor|ceil|round|lround|llround|rint|lrint|nearbyint|trunc|fabs|fmod|frexp|ldexp|modf|sin|cos|tan|asin|acos|atan|atan2|hypot|strtod|strtof|strtold|atof)[fl]?)$'

# Prints "file symbol" for every floating-point helper the listed files call.
float_calls() {
    while IFS= read -r f; do
        [ -n "$f" ] || continue
        [ -f "$f" ] || skip "$f not built (cmake --build --preset arm)"
        "$nm" -A -u "$f" | awk '{ print $1, $NF }' | grep -E " $helpers" || true
    done < "$1"
}

canary_calls=$(float_calls "$canary")
if [ -z "$canary_calls" ]; then
    echo "FAIL: the check does not see the double arithmetic of the canary object"
    exit 1
fi

found=$(float_calls "$inputs")
if [ -n "$found" ]; then
    echo "FAIL: floating-point arithmetic in the recorder's ARM code:"
    echo "$found"
    exit 1
fi
echo "recorder ARM objects: no floating-point helper calls ($(grep -c . "$inputs") files checked)"
