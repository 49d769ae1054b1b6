#!/usr/bin/env bash
# A quit signal ends the real show within one second, with exit code 0, its player file
# gone from the temporary directory and no box or window left, wherever it arrives.
#
#   signals.sh SHOW WHERE SIGNAL
#
# WHERE: question (the Fullscreen box is up), startup (the show is stopped as soon as its
# player file appears, before the box, and gets the signal on resuming), frames (windowed
# frame loop), fullscreen (the frame loop on a 640x480 screen; the screen keeps its size).
set -u

SHOW=$1
WHERE=$2
SIGNAL=$3
SCENARIO="$WHERE-$SIGNAL"
SCREEN=1024x768x24
ANSWER=No
[ "$WHERE" = fullscreen ] && SCREEN=640x480x24 ANSWER=Yes

WORK=$(mktemp -d)
source "$(dirname "$0")/show_helpers.sh"
trap cleanup EXIT

start_xvfb || fail "no Xvfb could be started"
SCREEN_BEFORE=$(xdpyinfo | awk '/dimensions:/ {print $2}')
mkdir "$WORK/tmp"
if [ "$WHERE" = refused ]; then
    echo original >"$WORK/target"
    ln -s "$WORK/target" "$WORK/tmp/bassmod.dll"
fi
start_show "$SHOW"

case $WHERE in
question)
    wait_for_box Tolvmarka >/dev/null || fail "no question box"
    ;;
refused)
    box=$(wait_for_box Tolvmarka) || fail "no box"
    [ "${box#* }" != 200 ] || fail "the question came: the install was not refused"
    ;;
startup)
    # A tight poll: the box follows the file by the module's loading time.
    deadline=$((SECONDS + STEP_TIMEOUT))
    until [ -e "$WORK/tmp/bassmod.dll" ]; do
        [ $SECONDS -lt $deadline ] && show_alive || fail "no player file"
    done
    kill -STOP "$SHOW_PID"
    [ -n "$(find_box Tolvmarka)" ] && echo "note: the box was already up when the show stopped"
    ;;
frames | fullscreen)
    answer_question
    wait_for_frames
    ;;
esac

SENT=$(now_ms)
kill -"$SIGNAL" "$SHOW_PID"
[ "$WHERE" = startup ] && kill -CONT "$SHOW_PID"
wait_gone_within "$SENT" "$QUIT_BOUND_MS"
echo "ended ${ENDED_MS} ms after SIG$SIGNAL, exit code $EXIT_CODE"
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
if [ "$WHERE" = refused ]; then
    [ -L "$WORK/tmp/bassmod.dll" ] || fail "the planted link was removed"
    [ "$(cat "$WORK/target")" = original ] || fail "the link's target was written"
else
    [ ! -e "$WORK/tmp/bassmod.dll" ] || fail "bassmod.dll is left in TMPDIR"
fi
# The box's own process goes with the show (its window would outlive it otherwise).
sleep 0.2
[ -z "$(find_box Tolvmarka)" ] || fail "a box is left on the screen"
[ -z "$(find_main_window)" ] || fail "the show's window is left on the screen"
SCREEN_AFTER=$(xdpyinfo | awk '/dimensions:/ {print $2}')
[ "$SCREEN_AFTER" = "$SCREEN_BEFORE" ] || fail "the screen is $SCREEN_AFTER, was $SCREEN_BEFORE"
echo "PASS ($SCENARIO)"
