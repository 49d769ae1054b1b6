#!/usr/bin/env bash
# show_cases.sh SHOW RACER INJECTED_LIBRARY CASE [SIGNAL]: the real show under quit signals,
# without a display, in hostile temporary directories, against other users and copies of
# itself. Whatever happens, it ends with exit code 0 and takes its player file away.
# signal-WHERE: the signal ends it within the quit bound, leaving no box or window. WHERE:
#   question, startup (stopped as its player file appears, signalled as it resumes), refused
#   (the install failure's box), frames, fullscreen.
# Refused, one box and no window: read-only, long-tmpdir, full-tmpfs, file-size-limit.
# Played and ended: symlink, foreign-file (planted, left untouched), noexec (the player
#   cannot be mapped: one line on stderr, its five "All is OK" boxes, a silent show),
#   relative-tmpdir (a private /tmp), killed-leftover (SIGKILL's leftover blocks nobody).
# racer: another user's library, renamed into the player file's way, never runs.
# no-box-closed-stderr: every box is told on stderr, the question counts as Yes.
set -u
SHOW=$1
RACER=$2
INJECTED=$3
CASE=$4
SIGNAL=${5:-}
SCENARIO="$CASE $SIGNAL"
SCREEN=1024x768x24
ANSWER=No
[ "$CASE" = signal-fullscreen ] && SCREEN=640x480x24 ANSWER=Yes
source "$(dirname "$0")/../e2e/show_driver.sh"
# The sanitizer builds raise the quit bound by what their own exit work costs.
QUIT_BOUND_MS=${TOLVMARKA_QUIT_BOUND_MS:-1000}
UNDER=() # what the show runs under

skip() {
    echo "SKIP ($SCENARIO): $*"
    exit 77 # skipped
}
mount_tmp() {
    mount -t tmpfs -o "$1" tmpfs "$TMP" 2>/dev/null || skip "no tmpfs could be mounted (root only)"
}

# One show: answered No, played, a player file there, ended with SIGTERM.
play_and_end() {
    answer_question
    wait_for_swap
    compgen -G "$TMP/tolvmarka.*/bassmod.dll" >/dev/null || fail "no player file while it runs"
    kill -TERM "$SHOW_PID"
    wait_clean_exit
}

# The install failure: its box alone (OK takes Escape; the question would open a window),
# then the end, no frames.
expect_refusal() {
    wait_for_box Error Tolvmarka
    [ "$CAPTION" = Tolvmarka ] || fail "an error box came with the install failure"
    key_box "$BOX" Escape
    wait_clean_exit
    ! grep -q tolvmarka-swap "$WORK/show.log" || fail "frames were drawn"
}

# Without boxes (SDL's dummy video driver, no display), as a shell would start the show.
run_without_boxes() {
    env -u DISPLAY SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy TMPDIR="$TMP" \
        timeout $STEP_TIMEOUT "$@" >/dev/null
}

case $CASE in
symlink)
    echo original >"$WORK/target"
    ln -s "$WORK/target" "$TMP/bassmod.dll"
    ;;
foreign-file)
    echo planted >"$TMP/bassmod.dll"
    chown nobody "$TMP/bassmod.dll" 2>/dev/null || skip "only root can give a file to another user"
    ;;
read-only)
    # Root writes through permission bits: only a read-only mount stops it.
    [ "$(id -u)" = 0 ] && mount_tmp ro,size=1m || chmod 555 "$TMP"
    ;;
noexec | no-box-closed-stderr) mount_tmp noexec,size=4m ;;
full-tmpfs) mount_tmp size=20k ;;
file-size-limit) UNDER=(prlimit --fsize=16384) ;;
long-tmpdir | signal-refused)
    TMP="$TMP/$(printf 'd%.0s' {1..120})/$(printf 'e%.0s' {1..120})"
    mkdir -p "$TMP"
    ;;
relative-tmpdir)
    unshare --mount --propagation private true 2>/dev/null || skip "a private /tmp needs root"
    ;;
esac
case $CASE in no-display | no-box-closed-stderr) ;; *) start_xvfb || fail "no Xvfb started" ;; esac

case $CASE in
signal-*)
    start_show
    case $CASE in
    signal-question | signal-refused) wait_for_box Tolvmarka ;;
    signal-startup)
        # A tight poll: the box follows the file by the module's loading time.
        until compgen -G "$TMP/tolvmarka.*/bassmod.dll" >/dev/null; do
            show_alive || fail "no player file"
        done
        kill -STOP "$SHOW_PID"
        ;;
    *)
        answer_question
        wait_for_swap
        ;;
    esac
    kill -"$SIGNAL" "$SHOW_PID"
    kill -CONT "$SHOW_PID"
    wait_clean_exit "$QUIT_BOUND_MS"
    # The box's own process goes with the show (its window would outlive it otherwise).
    sleep 0.2
    [ -z "$(find_box Tolvmarka)" ] || fail "a box is left on the screen"
    [ -z "$(find_main_window)" ] || fail "the show's window is left on the screen"
    ;;
no-display)
    # A display number with no server behind it.
    for n in $(seq 250 299); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    for display in "" ":$n" "no-such-host-:x"; do
        SCENARIO="DISPLAY=$display"
        # The bound only stops a show that waits for a server forever.
        env -u DISPLAY -u WAYLAND_DISPLAY ${display:+DISPLAY=$display} TMPDIR="$TMP" \
            timeout 30 "$SHOW" >"$WORK/out" 2>"$WORK/show.log" || fail "exit code $?"
        [ "$(wc -l <"$WORK/show.log")" = 1 ] || fail "stderr is not one line"
        grep -q 'no display' "$WORK/show.log" || fail "stderr does not say there is no display"
        [ ! -s "$WORK/out" ] || fail "stdout is not empty"
        check_nothing_left "$TMP"
    done
    ;;
read-only | long-tmpdir | full-tmpfs | file-size-limit)
    start_show "${UNDER[@]}"
    expect_refusal
    ;;
symlink | foreign-file | noexec)
    start_show
    play_and_end
    ;;&
symlink)
    [ -L "$TMP/bassmod.dll" ] || fail "the planted link is gone"
    [ "$(cat "$WORK/target")" = original ] || fail "the link's target was written"
    rm "$TMP/bassmod.dll"
    ;;
foreign-file)
    [ "$(cat "$TMP/bassmod.dll")" = planted ] || fail "the other user's file was written"
    [ "$(stat -c %U "$TMP/bassmod.dll")" = nobody ] || fail "the file changed hands"
    rm "$TMP/bassmod.dll"
    ;;
noexec)
    [ "$ERROR_BOXES" = 5 ] || fail "$ERROR_BOXES error boxes, not one per reporting call (5)"
    [ "$(grep -c 'player library could not be loaded' "$WORK/show.log")" = 1 ] ||
        fail "the load failure is not told once"
    grep -q 'failed to map segment\|operation not permitted' "$WORK/show.log" ||
        fail "the line does not carry the loader's reason"
    ;;
relative-tmpdir)
    # The show's /tmp is $TMP (X is reached through its abstract socket); a checkout under
    # /tmp is mounted back into it, where the show and a sanitizer build's files live.
    KEEP=$(realpath "$SHOW")
    case $KEEP in /tmp/*/*) KEEP=${KEEP#/tmp/} KEEP=${KEEP%%/*} ;; *) KEEP= ;; esac
    start_show TMPDIR=relative/dir unshare --mount --propagation private sh -c '
        if [ -n "$2" ]; then mkdir -p "$1/$2" && mount --bind "/tmp/$2" "$1/$2"; fi
        mount --rbind "$1" /tmp && exec "$3"' sh "$TMP" "$KEEP"
    play_and_end
    ;;
killed-leftover)
    start_show
    wait_for_box Tolvmarka
    kill -KILL "$SHOW_PID"
    wait "$SHOW_PID" 2>/dev/null
    LEFT=$(ls -A "$TMP")
    [ -n "$LEFT" ] || fail "SIGKILL left nothing behind: nothing to test"
    [ "$(id -u)" = 0 ] && chown -R nobody "$TMP"/*
    start_show
    play_and_end
    [ "$(ls -A "$TMP")" = "$LEFT" ] || fail "TMPDIR holds $(ls -A "$TMP"), not only $LEFT"
    rm -rf "${TMP:?}"/* # checked above
    ;;
two-copies)
    start_show
    FIRST=$SHOW_PID
    answer_question
    wait_for_swap
    mv "$WORK/show.log" "$WORK/first.log"
    start_show
    play_and_end
    SHOW_PID=$FIRST
    sleep 1
    show_alive || fail "the first copy died: $(tail -3 "$WORK/first.log")"
    kill -TERM "$SHOW_PID"
    wait_clean_exit
    ;;
racer)
    RACER_PID='' RACER_USER=''
    trap 'kill $RACER_PID 2>/dev/null; cleanup; [ -z "$RACER_USER" ] || userdel "$RACER_USER"' EXIT
    chmod 0755 "$WORK"
    chmod 0777 "$TMP"
    install -m 0644 "$INJECTED" "$WORK/injected.so"
    RUN_AS=()
    if [ "$(id -u)" = 0 ]; then
        useradd --system --no-create-home --shell /usr/sbin/nologin tolvracer$$ ||
            skip "no user could be made"
        RACER_USER=tolvracer$$
        RUN_AS=(setpriv --reuid="$RACER_USER" --regid="$(id -g "$RACER_USER")" --clear-groups)
    fi
    CPU=$(taskset -pc $$ | sed 's/.*: //; s/[,-].*//') # the first processor we may use
    for run in 1 2 3 4 5 6; do
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
        start_show TOLVMARKA_INJECTED_MARK="$WORK/injected" taskset -c "$CPU" chrt --idle 0
        # The first box comes after the library's load: the question, or the install failure
        # when the racer took the folder's name first.
        wait_until "run $run: no box" new_box Tolvmarka
        [ ! -e "$WORK/injected" ] || fail "run $run: the other user's library ran in the show"
        kill -TERM "$SHOW_PID"
        wait_clean_exit
        kill "$RACER_PID"
        wait "$RACER_PID" 2>/dev/null
        echo "run $run: $(ls -A "$TMP" | tr '\n' ' ')"
        rm -rf "${TMP:?}"/* "$TMP"/.racer*
    done
    ;;
no-box-closed-stderr)
    run_without_boxes "$SHOW" 2>"$WORK/show.log" || fail "exit code $?"
    for text in "Error: Error Description: All is OK" "Tolvmarka: Fullscreen" \
        "Tolvmarka: Could not create fullscreen"; do
        grep -q "no message box could be shown (.*): $text\$" "$WORK/show.log" ||
            fail "stderr does not tell the box '$text'"
    done
    check_nothing_left "$TMP"
    # Stderr a pipe that nobody reads, SIGPIPE at its default as a shell would start the show.
    mkfifo "$WORK/pipe"
    exec 3<>"$WORK/pipe" 4>"$WORK/pipe" 3<&-
    run_without_boxes env --default-signal=PIPE "$SHOW" 2>&4 ||
        fail "exit code $? with stderr a closed pipe"
    ;;
*) echo "unknown case $CASE" >&2 && exit 2 ;;
esac
check_nothing_left "$TMP"
echo "PASS ($SCENARIO)"
