#!/usr/bin/env bash
# The real show in a hostile temporary directory does no harm and behaves as documented.
#
#   hostile_tmp.sh SHOW CASE
#
# Refused (the box "Failed to install bassmod to UserTempPath", exit code 0, no show window,
# nothing left): read-only (a directory it cannot write), long-tmpdir ($TMPDIR longer than
# the 255-character limit).
# Run, and end cleanly with nothing of its own left: symlink (a link planted as bassmod.dll)
# and foreign-file (a file of another user there) are left untouched, the show's file lives
# in a folder of its own; noexec (the file is written but cannot be mapped: one line on
# stderr, the player's five "All is OK" boxes, then the show runs silent); relative-tmpdir
# (a relative $TMPDIR falls back to /tmp, here a private /tmp of the show's own).
#
# Exit code 77 (skipped) when this user may not set the case up (chown, mount).
set -u

SHOW=$1
CASE=$2
SCENARIO=$CASE
SCREEN=1024x768x24
ANSWER=No
SKIP=77
PLAYER_ERROR_BOXES=5 # the module load and the four sync registrations each report

WORK=$(mktemp -d)
source "$(dirname "$0")/show_helpers.sh"
trap cleanup EXIT

skip() {
    echo "SKIP ($CASE): $*"
    exit $SKIP
}

mkdir "$WORK/tmp"
TMP="$WORK/tmp"
case $CASE in
symlink)
    echo original >"$WORK/target"
    ln -s "$WORK/target" "$TMP/bassmod.dll"
    ;;
foreign-file)
    [ "$(id -u)" = 0 ] || skip "only root can give a file to another user"
    echo planted >"$TMP/bassmod.dll"
    chown nobody "$TMP/bassmod.dll"
    ;;
read-only)
    if [ "$(id -u)" = 0 ]; then
        # Root writes through permission bits: only a read-only mount stops it.
        mount -t tmpfs -o ro,size=1m tmpfs "$TMP" 2>/dev/null || skip "mount is not permitted"
    else
        chmod 555 "$TMP"
    fi
    ;;
noexec)
    [ "$(id -u)" = 0 ] || skip "mounting needs root"
    mount -t tmpfs -o noexec,size=4m tmpfs "$TMP" 2>/dev/null || skip "mount is not permitted"
    ;;
long-tmpdir)
    TMP="$WORK/tmp/$(printf 'd%.0s' {1..120})/$(printf 'e%.0s' {1..120})"
    mkdir -p "$TMP"
    [ ${#TMP} -gt 255 ] || fail "the test's TMPDIR is only ${#TMP} characters"
    ;;
relative-tmpdir)
    [ "$(id -u)" = 0 ] || skip "a private /tmp needs root"
    unshare --mount --propagation private true 2>/dev/null || skip "unshare is not permitted"
    ;;
*)
    echo "unknown case $CASE" >&2
    exit 2
    ;;
esac

start_xvfb || fail "no Xvfb could be started"
if [ "$CASE" = relative-tmpdir ]; then
    # The show's /tmp is $TMP; X is reached through its abstract socket all the same. A
    # checkout under /tmp (a CI clone there) is mounted back into it: the show, the
    # libraries a sanitizer build links from its build directory and the sanitizer's
    # suppressions must stay reachable.
    KEEP=
    case $(realpath "$SHOW") in /tmp/*/*)
        KEEP=$(realpath "$SHOW")
        KEEP=${KEEP#/tmp/}
        KEEP=${KEEP%%/*}
        ;;
    esac
    env --default-signal=INT TMPDIR=relative/dir SDL_AUDIODRIVER=dummy \
        unshare --mount --propagation private sh -c '
            if [ -n "$3" ]; then mkdir -p "$1/$3" && mount --bind "/tmp/$3" "$1/$3"; fi
            mount --rbind "$1" /tmp && exec "$2"' sh "$TMP" "$SHOW" "$KEEP" \
        >"$WORK/show.log" 2>&1 &
    SHOW_PID=$!
else
    start_show "$SHOW" TMPDIR="$TMP"
fi

case $CASE in
read-only | long-tmpdir)
    box=$(wait_for_box Tolvmarka) || fail "no box"
    [ -z "$(find_box Error)" ] || fail "an error box came with the install failure"
    # OK takes Escape too; on the question, Escape would open a window, which fails below.
    key_box "${box% *}" Escape || fail "the box did not take Escape"
    deadline=$((SECONDS + STEP_TIMEOUT))
    while show_alive && [ $SECONDS -lt $deadline ]; do
        [ -z "$(find_main_window)" ] || fail "a show window opened"
        sleep 0.1
    done
    show_alive && fail "the show did not end after the box"
    wait "$SHOW_PID"
    code=$?
    SHOW_PID=
    [ "$code" = 0 ] || fail "exit code $code"
    grep -q 'tolvmarka-swap' "$WORK/show.log" && fail "frames were drawn"
    check_nothing_left "$TMP"
    ;;
noexec)
    # Count the error boxes until the question comes. Each box is a child process of the
    # show (SDL shows X11 boxes from a fork); the trace counts the answers.
    errors=0
    deadline=$((SECONDS + STEP_TIMEOUT))
    while [ $SECONDS -lt $deadline ]; do
        show_alive || fail "the show ended before asking"
        box_pending || { sleep 0.1 && continue; }
        [ -n "$(find_box Tolvmarka)" ] && break
        box=$(find_box Error)
        if [ -z "$box" ]; then
            sleep 0.1
            continue
        fi
        key_box "${box% *}" Return || fail "an error box did not take Return"
        errors=$((errors + 1))
    done
    [ "$errors" = $PLAYER_ERROR_BOXES ] ||
        fail "$errors error boxes, not one per reporting call ($PLAYER_ERROR_BOXES)"
    ;;&
noexec | relative-tmpdir | symlink | foreign-file)
    answer_question
    wait_for_frames
    player_files "$TMP" >/dev/null || fail "no player file in TMPDIR while the show runs"
    kill -TERM "$SHOW_PID"
    wait_gone_within "$(now_ms)" $((STEP_TIMEOUT * 1000))
    [ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
    ;;&
symlink)
    [ -L "$TMP/bassmod.dll" ] || fail "the planted link is gone"
    [ "$(cat "$WORK/target")" = original ] || fail "the link's target was written"
    rm "$TMP/bassmod.dll"
    ;;&
foreign-file)
    [ "$(cat "$TMP/bassmod.dll")" = planted ] || fail "the other user's file was written"
    [ "$(stat -c %U "$TMP/bassmod.dll")" = nobody ] || fail "the file changed hands"
    rm "$TMP/bassmod.dll"
    ;;&
noexec)
    lines=$(grep -c 'player library could not be loaded' "$WORK/show.log")
    [ "$lines" = 1 ] || fail "the load failure is told $lines times, not once"
    grep -q 'failed to map segment\|operation not permitted' "$WORK/show.log" ||
        fail "the line does not carry the loader's reason"
    ;;&
noexec | relative-tmpdir | symlink | foreign-file)
    check_nothing_left "$TMP"
    ;;
esac
echo "PASS ($CASE)"
