#!/usr/bin/env bash
# A quit signal ends the real show within one second, with exit code 0, its player file
# gone from the temporary directory and no box or window left, wherever it arrives.
#
#   signals.sh SHOW WHERE SIGNAL
#
# WHERE: question (the Fullscreen box is up), startup (the show is stopped as soon as its
# player file appears, before the box, and gets the signal on resuming), refused (the
# install failure's box is up: $TMPDIR is too long), frames (windowed frame loop),
# fullscreen (the frame loop on a 640x480 screen; the screen keeps its size).
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
    LONG="$WORK/tmp/$(printf 'd%.0s' {1..250})"
    mkdir "$LONG"
    start_show "$SHOW" TMPDIR="$LONG"
else
    start_show "$SHOW"
fi

case $WHERE in
question)
    wait_for_box Tolvmarka >/dev/null || fail "no question box"
    ;;
refused)
    wait_for_box Tolvmarka >/dev/null || fail "no box"
    ;;
startup)
    # A tight poll: the box follows the file by the module's loading time.
    deadline=$((SECONDS + STEP_TIMEOUT))
    until player_files "$WORK/tmp" >/dev/null; do
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
[ "$WHERE" = refused ] && rmdir "$LONG"
check_nothing_left "$WORK/tmp"
# The box's own process goes with the show (its window would outlive it otherwise).
sleep 0.2
[ -z "$(find_box Tolvmarka)" ] || fail "a box is left on the screen"
[ -z "$(find_main_window)" ] || fail "the show's window is left on the screen"
SCREEN_AFTER=$(xdpyinfo | awk '/dimensions:/ {print $2}')
[ "$SCREEN_AFTER" = "$SCREEN_BEFORE" ] || fail "the screen is $SCREEN_AFTER, was $SCREEN_BEFORE"
echo "PASS ($SCENARIO)"
