#!/usr/bin/env bash
# Start-up and frame-pacing figures of the real show under a private Xvfb (1024x768, the
# question answered No, as a viewer would, by a click).
#
#   bench/startup/startup_frames.sh [SHOW] [RUNS]
#
# The traced build of the show (tolvmarka-traced) prints every buffer swap with its
# CLOCK_MONOTONIC time. Swap 1 is the display set-up's own swap, swap 2 ends the first frame of the loop.
# Reported per run:
#   box      launch -> first message box mapped (polled every 20 ms)
#   window   click on No -> swap 1 (the 50 ms pause, window and GL context ready)
#   first    swap 1 -> swap 2 (textures, object list, first frame)
#   100 fr   swap 2 -> swap 102: 100 whole frames (aim: 2.0 to 2.1 s at 20 ms a frame)
#   swap 1   launch -> swap 1 with the question answered at once: the time the question box
#            stood open (the show traces when it shows the box and when the answer comes
#            back) taken off
#   frame 1  the same to swap 2, the end of the loop's first frame
set -u
SHOW=${1:-$(dirname "$0")/../../build/core/tolvmarka-traced}
RUNS=${2:-3}
FRAMES=100

WORK=$(mktemp -d)
XVFB_PID=
SHOW_PID=
cleanup() {
    [ -n "$SHOW_PID" ] && kill -KILL "$SHOW_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

SCREEN=1024x768x24
. "$(dirname "$0")/../../tests/e2e/xvfb.sh"
start_xvfb || { echo "no Xvfb" >&2; exit 1; }

# CLOCK_MONOTONIC minus CLOCK_REALTIME, to put `date` readings on the show's clock.
OFFSET=$(python3 -c 'import time; print(time.clock_gettime(time.CLOCK_MONOTONIC) - time.time())')
now() { echo "$(date +%s.%N) + $OFFSET" | bc -l; }

box_of() {
    xwininfo -root -children 2>/dev/null | awk -v name="\"$1\":" '$2 == name && $3 == "()" {
        print $1; exit }'
}

swap_time() { awk -v n="$1" '$1 == "tolvmarka-swap" && $2 == n { print $3; exit }' "$WORK/show.log"; }
# Seconds the question box stood open (the last box shown, the question).
box_open() {
    awk '$1 == "tolvmarka-box-shown" { s = $3 } $1 == "tolvmarka-box-answered" { a = $3 }
        END { print (s != "" && a != "" ? a - s : 0) }' "$WORK/show.log"
}

printf '%-4s %8s %8s %8s %8s %8s %8s\n' run box window first "100 fr" "swap 1" "frame 1"
for run in $(seq "$RUNS"); do
    rm -rf "$WORK/tmp" && mkdir "$WORK/tmp"
    launched=$(now)
    TMPDIR="$WORK/tmp" SDL_AUDIODRIVER=dummy "$SHOW" \
        >"$WORK/show.log" 2>&1 &
    SHOW_PID=$!
    boxed=
    for _ in $(seq 1500); do
        error=$(box_of Error) # the player's error boxes, if it reports any
        id=$(box_of Tolvmarka)
        [ -z "$boxed" ] && [ -n "$error$id" ] && boxed=$(now)
        if [ -n "$error" ]; then
            id=$error
            xdotool mousemove --window "$id" 98 86 click 1
            sleep 0.3
            continue
        fi
        if [ -n "$id" ]; then
            xdotool mousemove --window "$id" 144 73
            clicked=$(now) # just before the click: "window" includes xdotool's own time
            xdotool click 1
            break
        fi
        sleep 0.02
    done
    while [ -z "$(swap_time $((FRAMES + 2)))" ] && kill -0 "$SHOW_PID" 2>/dev/null; do
        sleep 0.1
    done
    kill -TERM "$SHOW_PID"
    wait "$SHOW_PID"
    SHOW_PID=
    s1=$(swap_time 1) s2=$(swap_time 2) s102=$(swap_time $((FRAMES + 2))) open=$(box_open)
    printf '%-4s %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f\n' "$run" "$(echo "$boxed - $launched" | bc -l)" \
        "$(echo "$s1 - $clicked" | bc -l)" "$(echo "$s2 - $s1" | bc -l)" \
        "$(echo "$s102 - $s2" | bc -l)" "$(echo "$s1 - $launched - $open" | bc -l)" \
        "$(echo "$s2 - $launched - $open" | bc -l)"
done
