#!/bin/sh
# Example post-processing hook. The recorder runs "sh /tmp/process.sh" after
# every video recording and waits for it (then runs "sync"). This one keeps
# the finished log beside the recording's video chapters on the card, as
# GOPRnnnn.DAT next to GOPRnnnn.MP4, and converts it there: GOPRnnnn.SRT (and
# .CSV, .GPX as the settings ask), GP01nnnn.SRT for the next chapter, ...
#
# The recording just finished is the highest-numbered GOPRnnnn.MP4 in the
# highest-numbered folder of DCIM. Plain POSIX sh: the camera's shell is small.
# Every path can be overridden from the environment.

card=${TARVEX_CARD:-/tmp/fuse_d}
log=${TARVEX_LOG:-/tmp/datalog.bin}
converter=${TARVEX_CONVERTER:-$card/tarvex/converter}
settings=${TARVEX_SETTINGS:-/tmp/settings.txt}

[ -s "$log" ] || exit 0

folder=$(ls -d "$card"/DCIM/[0-9][0-9][0-9]* 2>/dev/null | sort | tail -n 1)
[ -n "$folder" ] || { echo "process.sh: no video folder in $card/DCIM"; exit 0; }
video=$(cd "$folder" && ls GOPR[0-9][0-9][0-9][0-9].MP4 2>/dev/null | sort | tail -n 1)
[ -n "$video" ] || { echo "process.sh: no video in $folder"; exit 0; }
base=${video%.MP4}

# Keep the raw log first: /tmp is lost at power-off, and the log can be
# converted again later with other settings.
cp "$log" "$folder/$base.DAT" || exit 1

cd "$folder" || exit 1
if [ -f "$settings" ]; then
    "$converter" "$base.DAT" -v "$video" -s "$settings"
else
    "$converter" "$base.DAT" -v "$video"
fi
