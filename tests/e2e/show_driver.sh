# Sourced by the scripts that drive the real show under a private X server as a viewer
# would (tests/e2e, tests/hardening): its windows and message boxes, clicks, frames and exit.
# Expects WORK, SCREEN, ANSWER (Yes or No), STEP_TIMEOUT (seconds), SHOW_PID once the show
# runs, and SCENARIO (named in failure messages) to be set by the caller.
#
# The boxes are answered with keys, whatever their size and font: Return presses the default
# button (Yes, OK) and Escape the escape button (No, OK). The show must be the
# traced build (tolvmarka-traced): its trace tells when a box has been answered.

. "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

fail() {
    echo "FAIL ($SCENARIO): $*" >&2
    echo "--- windows:" >&2
    xwininfo -root -children 2>&1 | grep '"' >&2
    echo "--- show's output:" >&2
    tail -20 "$WORK/show.log" >&2
    exit 1
}

# Top-level windows as "id name class geometry" for the mapped ones.
mapped_windows() {
    xwininfo -root -children 2>/dev/null | grep '"' | while read -r id rest; do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
        echo "$id $rest"
    done
}

# The id and width of a mapped message box (no WM_CLASS) with this caption.
find_box() {
    mapped_windows | awk -v name="\"$1\":" '$2 == name && $3 == "()" {
        split($4, size, "x"); print $1, size[1]; exit }'
}

find_main_window() {
    mapped_windows | awk '$3 == "(\"WindowClass_0\"" { print $1; exit }'
}

geometry_of() {
    local info
    info=$(xwininfo -id "$1")
    echo "$(awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /Width:/ {w=$NF} /Height:/ {h=$NF} END {print w "x" h "+" x "+" y}' <<<"$info")"
}

# The player file of the show(s) under TMPDIR $1, in their private folders.
player_files() {
    compgen -G "$1/tolvmarka.*/bassmod.dll"
}

# Fails unless the show took its folder and file away from TMPDIR $1.
check_nothing_left() {
    [ -z "$(ls -A "$1")" ] || fail "left in TMPDIR: $(find "$1" -mindepth 1 | tr '\n' ' ')"
}

show_alive() {
    kill -0 "$SHOW_PID" 2>/dev/null
}

boxes_answered() {
    grep -c '^tolvmarka-box-answered ' "$WORK/show.log"
}

# A box is up and not answered yet (its window may still be on its way).
box_pending() {
    [ "$(grep -c '^tolvmarka-box-shown ' "$WORK/show.log")" -gt "$(boxes_answered)" ]
}

# Sends the key to the box until the show has taken an answer (a box that came up a moment
# ago may miss the first one).
key_box() {
    local id=$1 key=$2 before
    before=$(boxes_answered)
    for _ in 1 2 3 4 5; do
        xdotool key --window "$id" "$key" 2>/dev/null
        for _ in $(seq 20); do
            sleep 0.1
            [ "$(boxes_answered)" != "$before" ] && return 0
            show_alive || return 0
        done
    done
    return 1
}

# Answers the player's error boxes (while it is a placeholder) until the question comes,
# then answers it.
answer_question() {
    local deadline=$((SECONDS + STEP_TIMEOUT)) box
    while [ $SECONDS -lt $deadline ]; do
        show_alive || fail "the show ended before asking"
        box_pending || { sleep 0.1 && continue; }
        box=$(find_box Error)
        if [ -n "$box" ]; then
            key_box "${box% *}" Return || fail "the Error box did not take Return"
            continue
        fi
        box=$(find_box Tolvmarka)
        if [ -n "$box" ]; then
            if [ "$ANSWER" = Yes ]; then
                key_box "${box% *}" Return || fail "Yes (Return) was not taken"
            else
                key_box "${box% *}" Escape || fail "No (Escape) was not taken"
            fi
            return 0
        fi
        sleep 0.2
    done
    fail "no question box within ${STEP_TIMEOUT}s"
}

wait_for_frames() {
    local deadline=$((SECONDS + STEP_TIMEOUT))
    while [ $SECONDS -lt $deadline ]; do
        grep -q '^tolvmarka-swap 5 ' "$WORK/show.log" && return 0
        show_alive || fail "the show ended before its frame loop"
        sleep 0.1
    done
    fail "no frames within ${STEP_TIMEOUT}s"
}

wait_for_exit() {
    local deadline=$((SECONDS + STEP_TIMEOUT))
    while show_alive && [ $SECONDS -lt $deadline ]; do
        sleep 0.1
    done
    show_alive && fail "the show did not end within ${STEP_TIMEOUT}s"
    wait "$SHOW_PID"
    EXIT_CODE=$?
    SHOW_PID=
}

# Seconds on the clock of the swap trace (CLOCK_MONOTONIC; the machine does not suspend).
monotonic_now() {
    cut -d' ' -f1 /proc/uptime
}

swap_time() {
    awk -v n="$1" '$1 == "tolvmarka-swap" && $2 == n { print $3; exit }' "$WORK/show.log"
}

wait_for_swap() {
    local deadline=$((SECONDS + STEP_TIMEOUT))
    while [ -z "$(swap_time "$1")" ] && [ $SECONDS -lt $deadline ]; do
        show_alive || fail "the show ended before frame $1"
        sleep 0.1
    done
    [ -n "$(swap_time "$1")" ] || fail "no frame $1 within ${STEP_TIMEOUT}s"
}

sleep_until() {
    local delay
    delay=$(awk -v t="$1" -v now="$(monotonic_now)" 'BEGIN { d = t - now; print (d > 0 ? d : 0) }')
    sleep "$delay"
}
