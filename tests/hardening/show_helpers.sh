# Sourced by the hardening scripts: the end-to-end tests' show driver (a private Xvfb, the
# show's windows, message boxes, frames and exit), so that both drive the show the same way,
# plus a few helpers of our own.
#
# Expects WORK (a private directory), SCREEN, ANSWER and SCENARIO to be set by the caller.

STEP_TIMEOUT=30 # seconds for any one thing the show has to do; generous for a loaded machine
# The show must end within one second of a quit signal; the sanitizer builds raise it by
# what their own exit work costs (the leak check alone takes about 0.8 s).
QUIT_BOUND_MS=${TOLVMARKA_QUIT_BOUND_MS:-1000}
XVFB_PID=
SHOW_PID=

. "$(dirname "${BASH_SOURCE[0]}")/../e2e/show_driver.sh"

cleanup() {
    [ -n "$SHOW_PID" ] && kill -KILL "$SHOW_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    # A mount made by a scenario is undone before the directory goes.
    while read -r _ mountpoint _; do
        case $mountpoint in "$WORK"/*) umount "$mountpoint" 2>/dev/null ;; esac
    done </proc/mounts
    rm -rf "$WORK"
}

now_ms() {
    echo $(($(date +%s%N) / 1000000))
}

# Waits for the show to end, at most `bound` ms; sets EXIT_CODE and ENDED_MS (measured from
# `since`, in ms since the epoch). Fails when it is still running then.
wait_gone_within() {
    local since=$1 bound=$2
    while show_alive && [ $(($(now_ms) - since)) -lt "$bound" ]; do
        sleep 0.01
    done
    ENDED_MS=$(($(now_ms) - since))
    show_alive && fail "the show still runs ${bound} ms after the signal"
    wait "$SHOW_PID"
    EXIT_CODE=$?
    SHOW_PID=
}

# Starts the show in the background with TMPDIR and the swap trace, and SIGINT and SIGQUIT
# at their defaults (a script's background job has them ignored); extra "NAME=value"
# arguments go into its environment, and may end with a command to run the show under.
start_show() {
    local show=$1
    shift
    env --default-signal=INT,QUIT TMPDIR="$WORK/tmp" SDL_AUDIODRIVER=dummy \
        "$@" "$show" >"$WORK/show.log" 2>&1 &
    SHOW_PID=$!
}

wait_for_box() {
    local caption=$1 deadline=$((SECONDS + STEP_TIMEOUT)) box
    while [ $SECONDS -lt $deadline ]; do
        box=$(find_box "$caption")
        [ -n "$box" ] && echo "$box" && return 0
        show_alive || return 1
        sleep 0.1
    done
    return 1
}
