#!/usr/bin/env bash
# Runs the real show under a private Xvfb and drives it as a viewer would: real clicks on
# its message boxes, a real key press, a close request, a signal.
#
#   show_e2e.sh SHOW CLOSE_REQUEST SCENARIO
#
# SCENARIO: windowed-escape | windowed-close | windowed-sigterm | windowed-sigint (answer No,
# end the run one way), fullscreen (answer Yes on a 640x480 screen, end with Escape),
# fullscreen-refused (answer Yes on an 800x600 screen, which has no 640x480 mode).
#
# The boxes are SDL's X11 boxes: 200 px wide for the question, Yes centred at x 54 and No at
# x 144, 73 px down; a one-button box has its button centred, 73 px down (86 px when the
# text takes two lines, as in the player's "Error" box).
set -u

SHOW=$1
CLOSE_REQUEST=$2
SCENARIO=$3
STEP_TIMEOUT=30 # seconds for any one thing the show has to do; generous for a loaded machine

case $SCENARIO in
windowed-*) SCREEN=1024x768x24 ANSWER=No ;;
fullscreen) SCREEN=640x480x24 ANSWER=Yes ;;
fullscreen-refused) SCREEN=800x600x24 ANSWER=Yes ;;
*)
    echo "unknown scenario $SCENARIO" >&2
    exit 2
    ;;
esac

WORK=$(mktemp -d)
XVFB_PID=
SHOW_PID=
cleanup() {
    [ -n "$SHOW_PID" ] && kill -KILL "$SHOW_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL ($SCENARIO): $*" >&2
    echo "--- windows:" >&2
    xwininfo -root -children 2>&1 | grep '"' >&2
    echo "--- show's output:" >&2
    tail -20 "$WORK/show.log" >&2
    exit 1
}

# A private server on the first free display from 110 on; -displayfd says when it is ready
# (and makes the server leave no lock file: its socket shows the display is taken).
start_xvfb() {
    local n
    for n in $(seq $((110 + $$ % 40)) 199); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        : >"$WORK/displayfd"
        Xvfb ":$n" -screen 0 "$SCREEN" -nolisten tcp -displayfd 3 3>"$WORK/displayfd" \
            >/dev/null 2>&1 &
        XVFB_PID=$!
        local waited=0
        while [ ! -s "$WORK/displayfd" ] && kill -0 "$XVFB_PID" 2>/dev/null &&
            [ $waited -lt $((STEP_TIMEOUT * 10)) ]; do
            sleep 0.1
            waited=$((waited + 1))
        done
        if [ -s "$WORK/displayfd" ]; then
            export DISPLAY=":$(tr -dc 0-9 <"$WORK/displayfd")"
            return 0
        fi
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
        XVFB_PID=
    done
    return 1
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

start_xvfb || fail "no Xvfb could be started"
mkdir "$WORK/tmp"
# A background job of a script starts with SIGINT ignored; the show gets it as a terminal
# would give it.
env --default-signal=INT TMPDIR="$WORK/tmp" SDL_AUDIODRIVER=dummy TOLVMARKA_TRACE_FRAMES=1 \
    "$SHOW" >"$WORK/show.log" 2>&1 &
SHOW_PID=$!

answer_question

if [ "$SCENARIO" = fullscreen-refused ]; then
    deadline=$((SECONDS + STEP_TIMEOUT))
    box=
    while [ -z "$box" ] && [ $SECONDS -lt $deadline ] && show_alive; do
        box=$(find_box Tolvmarka)
        [ -z "$box" ] && sleep 0.2
    done
    [ -n "$box" ] || fail "no box telling that full screen failed"
    [ "${box#* }" != 200 ] || fail "the failure box looks like the question box"
    [ -z "$(find_main_window)" ] || fail "a window was opened although the mode was refused"
    click_box "${box% *}" $((${box#* } / 2)) 73 || fail "OK did not take the click"
    wait_for_exit
    [ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
    [ -e "$WORK/tmp/bassmod.dll" ] || fail "bassmod.dll was deleted on the failure path"
    [ -z "$(find_main_window)" ] || fail "a window appeared after the failure"
    echo "PASS ($SCENARIO)"
    exit 0
fi

wait_for_frames
WINDOW=$(find_main_window)
[ -n "$WINDOW" ] || fail "no window of class WindowClass_0"
GEOMETRY=$(geometry_of "$WINDOW")
[ "$GEOMETRY" = 640x480+0+0 ] || fail "window at $GEOMETRY, not 640x480+0+0"
xprop -id "$WINDOW" WM_NAME | grep -q '= "Tolvmarka"$' || fail "the caption is not Tolvmarka"
HINTS=$(xprop -id "$WINDOW" _MOTIF_WM_HINTS)
if [ "$ANSWER" = No ]; then
    # A captioned window asks for decorations (or says nothing about them).
    case $HINTS in *"= 0x2, 0x0, 0x0"*) fail "the windowed show is borderless: $HINTS" ;; esac
else
    case $HINTS in *"= 0x2, 0x0, 0x0"*) ;; *) fail "the full-screen window has a frame: $HINTS" ;; esac
fi

case $SCENARIO in
windowed-escape | fullscreen)
    # SDL takes a focus change in with a short delay and drops keys until then: a press
    # that came too early is repeated. (The window tests check what one press gives.)
    if [ "$(xdotool getwindowfocus)" != "$((WINDOW))" ]; then
        timeout 10 xdotool windowfocus --sync "$WINDOW" || fail "the window did not take the focus"
    fi
    for _ in 1 2 3; do
        xdotool key Escape
        for _ in $(seq 50); do
            show_alive || break 2
            sleep 0.1
        done
    done
    ;;
windowed-close) "$CLOSE_REQUEST" "$WINDOW" || fail "no close request could be sent" ;;
windowed-sigterm) kill -TERM "$SHOW_PID" ;;
windowed-sigint) kill -INT "$SHOW_PID" ;;
esac

wait_for_exit
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
[ ! -e "$WORK/tmp/bassmod.dll" ] || fail "bassmod.dll is left in TMPDIR"
echo "PASS ($SCENARIO)"
