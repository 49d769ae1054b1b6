#!/usr/bin/env bash
# The player file against other users, other copies of the show and unlucky disks.
#
#   player_file.sh SHOW CASE RACER INJECTED_LIBRARY
#
# racer: a library of someone else's renamed into the file's way by a racer in a directory
#   both may write (0777, not sticky), over six runs: when we are root, every other run
#   by a throwaway second user (who cannot enter the show's folder, so takes its name), the
#   others by ourselves (who can reach the file in it). Its constructor must never run.
# two-copies: a second show started while the first plays; both play and end with 0.
# full-tmpfs (a 20 KiB TMPDIR), file-size-limit (prlimit --fsize=16384): the install box,
#   exit code 0, nothing left.
# killed-leftover: what a show killed with SIGKILL leaves, given to another user, blocks
#   nobody.
# no-box-closed-stderr: no box can be shown (SDL's dummy video driver, no display) and the
#   file cannot be mapped (noexec): every box is told on stderr, the question counts as Yes
#   (full screen, refused), exit code 0, nothing left; then once more with stderr a pipe
#   nobody reads.
#
# Exit code 77 (skipped) when this user may not set the case up.
set -u

SHOW=$1
CASE=$2
RACER=$3
INJECTED=$4
SCENARIO=$CASE
SCREEN=1024x768x24
ANSWER=No
RUNS=6
TMP_SIZE=20k
FSIZE=16384

WORK=$(mktemp -d)
source "$(dirname "$0")/show_helpers.sh"
RACER_USER=
RACER_PID=
finish() {
    [ -n "$RACER_PID" ] && kill "$RACER_PID" 2>/dev/null
    cleanup
    [ -n "$RACER_USER" ] && userdel "$RACER_USER"
}
trap finish EXIT
skip() {
    echo "SKIP ($CASE): $*"
    exit 77
}
TMP=$WORK/tmp
mkdir "$TMP"
[ "$CASE" = no-box-closed-stderr ] || start_xvfb || fail "no Xvfb could be started"

# One show: answered No, played, ended with SIGTERM, exit code 0.
play_and_end() {
    start_show "$SHOW" "$@"
    answer_question
    wait_for_frames
    kill -TERM "$SHOW_PID"
    wait_gone_within "$(now_ms)" $((STEP_TIMEOUT * 1000))
    [ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
}

# The install failure: its box (OK takes Escape; the question would open a window), then
# exit code 0 with no window and nothing left.
expect_refusal() {
    local box
    box=$(wait_for_box Tolvmarka) || fail "no box; the show ended"
    key_box "${box% *}" Escape || fail "the box did not take Escape"
    wait_for_exit
    [ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
    ! grep -q tolvmarka-swap "$WORK/show.log" || fail "the show ran: the install was not refused"
    check_nothing_left "$TMP"
}

case $CASE in
racer)
    chmod 0755 "$WORK"
    chmod 0777 "$TMP"
    install -m 0644 "$INJECTED" "$WORK/injected.so"
    RUN_AS=()
    if [ "$(id -u)" = 0 ]; then
        RACER_USER=tolvracer$$
        useradd --system --no-create-home --shell /usr/sbin/nologin "$RACER_USER" ||
            skip "no user could be made"
        RUN_AS=(setpriv --reuid="$RACER_USER" --regid="$(id -g "$RACER_USER")" --clear-groups)
    fi
    CPU=$(taskset -pc $$ | sed 's/.*: //; s/[,-].*//') # the first processor we may use
    for run in $(seq $RUNS); do
        # On the show's processor, and ahead of it whenever it wants to run: an attacker
        # who has the machine busy.
        as=()
        [ $((run % 2)) = 1 ] && as=("${RUN_AS[@]}")
        taskset -c "$CPU" "${as[@]}" "$RACER" "$TMP" "$WORK/injected.so" 2>"$WORK/racer.log" &
        RACER_PID=$!
        until grep -q watching "$WORK/racer.log"; do
            kill -0 "$RACER_PID" 2>/dev/null || fail "the racer did not start"
            sleep 0.05
        done
        start_show "$SHOW" TOLVMARKA_INJECTED_MARK="$WORK/injected" \
            taskset -c "$CPU" chrt --idle 0
        # The first box comes after the library's load; it is the question, or the install
        # failure when the racer took the folder's name first.
        until box_pending; do
            show_alive || fail "run $run: the show ended before any box"
            sleep 0.05
        done
        [ ! -e "$WORK/injected" ] || fail "run $run: the other user's library ran in the show"
        kill -TERM "$SHOW_PID"
        wait_gone_within "$(now_ms)" $((STEP_TIMEOUT * 1000))
        [ "$EXIT_CODE" = 0 ] || fail "run $run: exit code $EXIT_CODE"
        kill "$RACER_PID"
        wait "$RACER_PID" 2>/dev/null
        RACER_PID=
        echo "run $run: $(ls -A "$TMP" | tr '\n' ' ')"
        rm -rf "${TMP:?}"/* "$TMP"/.racer*
    done
    ;;
two-copies)
    start_show "$SHOW"
    FIRST=$SHOW_PID
    answer_question
    wait_for_frames
    mv "$WORK/show.log" "$WORK/first.log"
    play_and_end
    SHOW_PID=$FIRST
    sleep 1
    show_alive || fail "the first copy died: $(tail -3 "$WORK/first.log")"
    kill -TERM "$SHOW_PID"
    wait_gone_within "$(now_ms)" $((STEP_TIMEOUT * 1000))
    [ "$EXIT_CODE" = 0 ] || fail "the first copy's exit code is $EXIT_CODE"
    check_nothing_left "$TMP"
    ;;
full-tmpfs)
    [ "$(id -u)" = 0 ] || skip "mounting needs root"
    mount -t tmpfs -o size=$TMP_SIZE tmpfs "$TMP" 2>/dev/null || skip "mount is not permitted"
    start_show "$SHOW"
    expect_refusal
    ;;
file-size-limit)
    start_show "$SHOW" prlimit --fsize=$FSIZE
    expect_refusal
    ;;
killed-leftover)
    start_show "$SHOW"
    wait_for_box Tolvmarka >/dev/null || fail "no question box"
    kill -KILL "$SHOW_PID"
    wait "$SHOW_PID" 2>/dev/null
    SHOW_PID=
    LEFT=$(ls -A "$TMP")
    [ -n "$LEFT" ] || fail "SIGKILL left nothing behind: nothing to test"
    [ "$(id -u)" = 0 ] && chown -R nobody "$TMP"/*
    play_and_end
    [ "$(ls -A "$TMP")" = "$LEFT" ] || fail "TMPDIR holds $(ls -A "$TMP"), not only $LEFT"
    ;;
no-box-closed-stderr)
    [ "$(id -u)" = 0 ] || skip "mounting needs root"
    mount -t tmpfs -o noexec,size=4m tmpfs "$TMP" 2>/dev/null || skip "mount is not permitted"
    run_without_boxes() {
        env -u DISPLAY SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy TMPDIR="$TMP" \
            timeout $STEP_TIMEOUT "$@" >/dev/null
    }
    run_without_boxes "$SHOW" 2>"$WORK/show.log"
    EXIT_CODE=$?
    [ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
    for text in "Error: Error Description: All is OK" "Tolvmarka: Fullscreen" \
        "Tolvmarka: Could not create fullscreen"; do
        grep -q "no message box could be shown (.*): $text\$" "$WORK/show.log" ||
            fail "stderr does not tell the box '$text'"
    done
    check_nothing_left "$TMP"
    # SIGPIPE back to its default, as a shell would start the show.
    run_without_boxes python3 -c 'import os, signal, sys
signal.signal(signal.SIGPIPE, signal.SIG_DFL)
reader, writer = os.pipe()
os.close(reader)
os.dup2(writer, 2)
os.execv(sys.argv[1], sys.argv[1:])' "$SHOW"
    EXIT_CODE=$?
    [ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE with stderr a closed pipe"
    check_nothing_left "$TMP"
    ;;
*)
    echo "unknown case $CASE" >&2
    exit 2
    ;;
esac
echo "PASS ($CASE)"
