#!/usr/bin/env bash
# soak.sh CAPTURE [RUNS [FRAMES]]: the show rendered offline RUNS times (20) by the capture
# tool, FRAMES (the whole show) each, every run ending cleanly with the same pictures and
# sound as the first, byte for byte. The pictures stream through a pipe into sha256sum (a
# whole run is some 4 GB of video).
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
    "$CAPTURE" --format y4m --out "$WORK/out.y4m" --wav "$WORK/out.wav" \
        ${FRAMES:+--frames "$FRAMES"} >"$WORK/log" 2>&1
    code=$?
    wait $! # the hasher
    if [ "$code" != 0 ]; then
        echo "FAIL: run $run ended with exit code $code" >&2
        tail -5 "$WORK/log" >&2
        exit 1
    fi
    result="video $(cut -d' ' -f1 "$WORK/video.sha") sound $(sha256sum <"$WORK/out.wav" | cut -d' ' -f1)"
    summary=$(grep -o '[0-9]* frames' "$WORK/log" | tail -1)
    echo "run $run: $summary, $result"
    if [ -z "$first" ]; then
        first=$result
    elif [ "$result" != "$first" ]; then
        echo "FAIL: run $run differs from run 1" >&2
        exit 1
    fi
done
echo "PASS: $RUNS runs, the same output each time"
