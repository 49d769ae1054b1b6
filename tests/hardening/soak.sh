#!/usr/bin/env bash
# Soak: the whole show rendered offline again and again by the capture tool (the headless
# surface, the virtual clock, the player decoding alongside), each run checked for a clean
# end and for the same pictures and sound as the first, byte for byte.
#
#   soak.sh CAPTURE [RUNS [FRAMES]]
#
# RUNS defaults to 20, FRAMES to the whole show. The pictures stream through a pipe into
# sha256sum (a whole run is some 4 GB of video); the sound file is hashed afterwards.
set -u
CAPTURE=$1
RUNS=${2:-20}
FRAMES=${3:-}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

first=
for run in $(seq "$RUNS"); do
    rm -f "$WORK"/out.*
    mkfifo "$WORK/out.y4m"
    sha256sum <"$WORK/out.y4m" >"$WORK/video.sha" &
    hasher=$!
    start=$(date +%s%N)
    "$CAPTURE" --format y4m --out "$WORK/out.y4m" --wav "$WORK/out.wav" \
        ${FRAMES:+--frames "$FRAMES"} >"$WORK/log" 2>&1
    code=$?
    wait "$hasher"
    tenths=$((($(date +%s%N) - start) / 100000000))
    if [ "$code" != 0 ]; then
        echo "FAIL: run $run ended with exit code $code" >&2
        tail -5 "$WORK/log" >&2
        exit 1
    fi
    result="video $(cut -d' ' -f1 "$WORK/video.sha") sound $(sha256sum <"$WORK/out.wav" | cut -d' ' -f1)"
    summary=$(grep -o '[0-9]* frames' "$WORK/log" | tail -1)
    printf 'run %2d: %s in %d.%d s, %s\n' "$run" "$summary" $((tenths / 10)) $((tenths % 10)) "$result"
    if [ -z "$first" ]; then
        first=$result
    elif [ "$result" != "$first" ]; then
        echo "FAIL: run $run differs from run 1" >&2
        exit 1
    fi
done
echo "PASS: $RUNS runs, the same output each time"
