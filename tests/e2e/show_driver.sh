# Sourced by the scripts that drive the real show (the traced build) under a private X server as a
# viewer would; the caller sets SHOW, SCENARIO, ANSWER (Yes or No) and SCREEN. Boxes take keys
# whatever their size and font: Return presses the default button, Escape the escape one.

. "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

STEP_TIMEOUT=30 # seconds for any one thing the show has to do; generous for a loaded machine
WORK=$(mktemp -d)
TMP=$WORK/tmp # the show's TMPDIR
mkdir "$TMP"

cleanup() {
    [ -n "${SHOW_PID:-}" ] && kill -KILL "$SHOW_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    grep -o " $WORK/[^ ]*" /proc/mounts | xargs -r umount # a scenario's mounts
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL ($SCENARIO): $*" >&2
    xwininfo -root -children 2>&1 | grep '"' | sed 's/^ */window: /' >&2
    tail -20 "$WORK/show.log" | sed 's/^/show: /' >&2
    exit 1
}

# Starts SHOW with SIGINT and SIGQUIT at their defaults (a script's background job has them
# ignored); "NAME=value" arguments, then maybe a command to run the show under.
start_show() {
    env --default-signal=INT,QUIT TMPDIR="$TMP" SDL_AUDIODRIVER=dummy "$@" "$SHOW" \
        >"$WORK/show.log" 2>&1 &
    SHOW_PID=$!
}

show_alive() {
    kill -0 "${SHOW_PID:-}" 2>/dev/null
}

# Waits at most $1 ms (default the step's timeout) for the show to end with exit code 0.
wait_clean_exit() {
    local bound=${1:-$((STEP_TIMEOUT * 1000))}
    timeout "${bound}e-3" tail -s 0.01 -f --pid="$SHOW_PID" /dev/null
    show_alive && fail "the show still runs ${bound} ms on"
    wait "$SHOW_PID" || fail "exit code $?"
    SHOW_PID=
}

# The first mapped top-level window whose "name": (class) matches $1 (a box has no class).
find_window() {
    xwininfo -root -children 2>/dev/null | grep -F "$1" | while read -r id _; do
        xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' && echo "$id" && break
    done
}
find_box() {
    find_window "\"$1\": ()"
}
find_main_window() {
    find_window '("WindowClass_0"'
}

# Fails unless the show took its folder and file away from TMPDIR $1.
check_nothing_left() {
    [ -z "$(ls -A "$1")" ] || fail "left in TMPDIR: $(find "$1" -mindepth 1 | tr '\n' ' ')"
}

# How many boxes the show has put up (shown) or had answered (answered), from its trace.
boxes() {
    grep -c "^tolvmarka-box-$1 " "$WORK/show.log"
}

# Sends the key to the box every 2 s until the show has taken an answer (a box that came up
# a moment ago may miss the first one).
key_box() {
    local before tries=0
    before=$(boxes answered)
    until [ "$(boxes answered)" != "$before" ] || ! show_alive; do
        [ $((tries % 20)) = 0 ] && xdotool key --window "$1" "$2" 2>/dev/null
        [ $((tries += 1)) -le 100 ] || fail "the box did not take $2"
        sleep 0.1
    done
}

# Polls the command until it succeeds; fails with $1 once the show has ended or the step
# has timed out.
wait_until() {
    local what=$1 deadline=$((SECONDS + STEP_TIMEOUT))
    shift
    until "$@"; do
        show_alive || fail "$what: the show ended"
        [ $SECONDS -lt $deadline ] || fail "$what within ${STEP_TIMEOUT}s"
        sleep 0.1
    done
}

# A box the trace shows as up and unanswered (not one whose window outlives its answer) and
# mapped, with one of these captions: sets BOX (its id) and CAPTION.
new_box() {
    [ "$(boxes shown)" -gt "$(boxes answered)" ] || return 1
    for CAPTION; do
        BOX=$(find_box "$CAPTION")
        [ -n "$BOX" ] && return 0
    done
    return 1
}

wait_for_box() {
    wait_until "no box $*" new_box "$@"
}

# Answers the player's error boxes (counted in ERROR_BOXES), then the question.
answer_question() {
    ERROR_BOXES=0
    wait_for_box Error Tolvmarka
    while [ "$CAPTION" = Error ]; do
        key_box "$BOX" Return
        ERROR_BOXES=$((ERROR_BOXES + 1))
        wait_for_box Error Tolvmarka
    done
    key_box "$BOX" "$([ "$ANSWER" = Yes ] && echo Return || echo Escape)"
}

# Waits for frame $1 (default 5: the frame loop runs).
wait_for_swap() {
    wait_until "no frame ${1:-5}" grep -q "^tolvmarka-swap ${1:-5} " "$WORK/show.log"
}
