#!/bin/sh
# The example camera's post-processing hook. The recorder runs
# "sh /tmp/process.sh" after every video recording, once the log is closed,
# and waits for it. This hook does what a camera owner would have it do: keep
# the log beside the recording's first chapter on the card (GOPRnnnn.DAT next
# to GOPRnnnn.MP4) and convert it there into GOPRnnnn.SRT, GP01nnnn.SRT, ...
#
# Paths are taken from this script's own place, /tmp, so the same script
# serves the camera and the simulated camera, whose ROOT folder stands for
# "/". The converter is $TARVEX_CONVERTER, else the card's tarvex/converter.

root=$(cd "$(dirname "$0")/.." && pwd)
log=$root/tmp/datalog.bin
settings=$root/tmp/settings.txt
card=$root/tmp/fuse_d
converter=${TARVEX_CONVERTER:-$card/tarvex/converter}

[ -s "$log" ] || exit 0
# The recording just finished: the highest-numbered GOPRnnnn.MP4 in the
# highest-numbered DCIM folder.
folder=$(ls -d "$card"/DCIM/[0-9][0-9][0-9]* 2>/dev/null | sort | tail -n 1)
[ -n "$folder" ] || { echo "process.sh: no video folder in $card/DCIM"; exit 0; }
video=$(cd "$folder" && ls GOPR[0-9][0-9][0-9][0-9].MP4 2>/dev/null | sort | tail -n 1)
[ -n "$video" ] || { echo "process.sh: no video in $folder"; exit 0; }
base=${video%.MP4}

cp "$log" "$folder/$base.DAT" || exit 1
cd "$folder" || exit 1
if [ -f "$settings" ]; then
    "$converter" "$base.DAT" -v "$video" -s "$settings"
else
    "$converter" "$base.DAT" -v "$video"
fi
