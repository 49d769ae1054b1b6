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
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

for run in $(seq "$RUNS"); do
    rm -f "$WORK"/out.*
    mkfifo "$WORK/out.y4m"
    sha256sum <"$WORK/out.y4m" >"$WORK/video.sha" &
    "$CAPTURE" --format y4m --out "$WORK/out.y4m" --wav "$WORK/out.wav" \
        ${FRAMES:+--frames "$FRAMES"} >"$WORK/log" 2>&1
    code=$?
    wait $! # the hasher
    [ "$code" = 0 ] || fail "run $run ended with exit code $code: $(tail -5 "$WORK/log")"
    result="video $(cut -d' ' -f1 "$WORK/video.sha") sound $(sha256sum <"$WORK/out.wav" | cut -d' ' -f1)"
    echo "run $run: $(grep -o '[0-9]* frames' "$WORK/log" | tail -1), $result"
    first=${first:-$result}
    [ "$result" = "$first" ] || fail "run $run differs from run 1"
done
echo "PASS: $RUNS runs, the same output each time"
