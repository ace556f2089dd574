#!/bin/sh
# Example post-processing hook. The recorder runs "sh /tmp/process.sh" after
# every video recording and waits for it (then runs "sync"), so it watches for
# the next recording only once this returns. This hook therefore returns as
# soon as the finished log is safe on the card, as GOPRnnnn.DAT next to
# GOPRnnnn.MP4, and leaves the conversion (GOPRnnnn.SRT, and .CSV, .GPX as the
# settings ask, GP01nnnn.SRT for the next chapter, ...) to a background job at
# low priority, which reads the card's copy and writes its console to
# GOPRnnnn.LOG, ending with a "process.sh: conversion ended" line.
# Conversions run one at a time: a recording made meanwhile is converted after.
#
# The recording just finished is the highest-numbered GOPRnnnn.MP4 in the
# highest-numbered folder of DCIM. Plain POSIX sh: the camera's shell is small.
# Every path can be overridden from the environment.

card=${TARVEX_CARD:-/tmp/fuse_d}
log=${TARVEX_LOG:-/tmp/datalog.bin}
converter=${TARVEX_CONVERTER:-$card/tarvex/converter}
settings=${TARVEX_SETTINGS:-/tmp/settings.txt}
# Held by the running conversion. Beside the log, in /tmp, so that power-off,
# which may cut a conversion short, clears it too. Absolute: the job moves.
lock=$(cd "$(dirname "$log")" 2>/dev/null && pwd)/tarvex-converting

# Waits until this job holds the lock. A holder that died without letting go
# (killed) is cleared by one waiter at a time, and only the lock it saw dead.
take_lock() {
    until mkdir "$lock" 2>/dev/null; do
        holder=$(cat "$lock/pid" 2>/dev/null)
        if [ -n "$holder" ] && ! kill -0 "$holder" 2>/dev/null && mkdir "$lock.break" 2>/dev/null; then
            [ "$(cat "$lock/pid" 2>/dev/null)" = "$holder" ] && rm -rf "$lock"
            rmdir "$lock.break"
        else
            sleep 1
        fi
    done
    echo $$ >"$lock/pid"
}

release_lock() {
    rm -f "$lock/pid"
    rmdir "$lock" 2>/dev/null
}

# The background job: "process.sh --convert FOLDER BASE" converts
# FOLDER/BASE.DAT beside FOLDER/BASE.MP4.
if [ "$1" = "--convert" ]; then
    trap '' HUP  # outlives the recorder's shell and any terminal
    cd "$2" || exit 1
    take_lock
    trap 'release_lock' EXIT
    trap 'exit 1' INT TERM
    if [ -f "$settings" ]; then
        "$converter" "$3.DAT" -v "$3.MP4" -s "$settings"
    else
        "$converter" "$3.DAT" -v "$3.MP4"
    fi
    status=$?
    release_lock
    trap - EXIT
    echo "process.sh: conversion ended, status $status"
    exit 0
fi

[ -s "$log" ] || exit 0

folder=$(ls -d "$card"/DCIM/[0-9][0-9][0-9]* 2>/dev/null | sort | tail -n 1)
[ -n "$folder" ] || { echo "process.sh: no video folder in $card/DCIM"; exit 0; }
video=$(cd "$folder" && ls GOPR[0-9][0-9][0-9][0-9].MP4 2>/dev/null | sort | tail -n 1)
[ -n "$video" ] || { echo "process.sh: no video in $folder"; exit 0; }
base=${video%.MP4}

# Keep the raw log first: /tmp is lost at power-off, and the log can be
# converted again later with other settings. Written under a hidden name
# (not *.DAT, which card mode would take for a log), flushed, then renamed,
# so that GOPRnnnn.DAT is never a partial copy; the recorder's "sync" after
# this hook makes the rename itself last. A busybox sync that takes no file
# flushes everything.
part=$folder/.$base.DAT.part
if ! cp "$log" "$part" || ! { sync "$part" 2>/dev/null || sync; } || ! mv -f "$part" "$folder/$base.DAT"; then
    rm -f "$part"
    echo "process.sh: could not keep the log as $folder/$base.DAT"
    exit 1
fi

nice -n 19 sh "$0" --convert "$folder" "$base" </dev/null >"$folder/$base.LOG" 2>&1 &
exit 0
