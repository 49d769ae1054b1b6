# Sourced by the scripts that drive the real show under a private X server as a viewer
# would (tests/e2e, tests/hardening): its windows and message boxes, clicks, frames and exit.
# Expects WORK, SCREEN, ANSWER (Yes or No), STEP_TIMEOUT (seconds), SHOW_PID once the show
# runs, and SCENARIO (named in failure messages) to be set by the caller.
#
# The boxes are SDL's X11 boxes: 200 px wide for the question, Yes centred at x 54 and No at
# x 144, 73 px down; a one-button box has its button centred, 73 px down (86 px when the
# text takes two lines, as in the player's "Error" box).

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

show_alive() {
    kill -0 "$SHOW_PID" 2>/dev/null
}

# Clicks at (x, y) of the box until it goes away or turns into another box.
click_box() {
    local id=$1 x=$2 y=$3 before tries
    before=$(xwininfo -id "$id" 2>/dev/null | grep -E 'Width|Height|Map State|xwininfo:')
    for tries in 1 2 3 4 5; do
        xdotool mousemove --window "$id" "$x" "$y" click 1
        for _ in $(seq 20); do
            sleep 0.1
            [ "$(xwininfo -id "$id" 2>/dev/null | grep -E 'Width|Height|Map State|xwininfo:')" != \
                "$before" ] && return 0
        done
    done
    return 1
}

# Clicks the player's error boxes away (while it is a placeholder) until the question comes,
# then answers it.
answer_question() {
    local deadline=$((SECONDS + STEP_TIMEOUT)) box
    while [ $SECONDS -lt $deadline ]; do
        show_alive || fail "the show ended before asking"
        box=$(find_box Error)
        if [ -n "$box" ]; then
            click_box "${box% *}" 98 86 || fail "the Error box did not take the click"
            continue
        fi
        box=$(find_box Tolvmarka)
        if [ -n "$box" ]; then
            [ "${box#* }" = 200 ] || fail "the question box is ${box#* } px wide, not 200"
            if [ "$ANSWER" = Yes ]; then
                click_box "${box% *}" 54 73 || fail "Yes did not take the click"
            else
                click_box "${box% *}" 144 73 || fail "No did not take the click"
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
