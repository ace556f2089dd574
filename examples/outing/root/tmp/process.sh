#!/bin/sh
# The example camera's post-processing hook: the card's installed hook
# (recorder/process.sh, installed as tarvex/process.sh) with the camera's
# paths taken from this script's own place, /tmp, so the same script serves
# the camera and the simulated camera, whose ROOT folder stands for "/".
# The converter is $TARVEX_CONVERTER, else the card's tarvex/converter.
root=$(cd "$(dirname "$0")/.." && pwd)
TARVEX_CARD=$root/tmp/fuse_d \
TARVEX_LOG=$root/tmp/datalog.bin \
TARVEX_SETTINGS=$root/tmp/settings.txt \
    exec sh "$root/tmp/fuse_d/tarvex/process.sh"
