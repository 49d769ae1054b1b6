#!/usr/bin/env bash
# The Windows flavour under Wine and Xvfb: cross-builds it (build-windows.sh --tests), runs the
# MinGW-built unit tests, then the show: answered No and ended by Escape or by a close request,
# and answered Yes on a screen without 640 x 480. Wine has no sound device here. Prints one
# line per check and 'N passed, N failed'; screenshots stay in $TOLVMARKA_WINE_SHOTS (default
# build-windows/shots). Hosts that cannot execute 32-bit code test the x86_64 build.
set -uo pipefail
cd "$(dirname "$0")/../.."

ARCH=${TOLVMARKA_WINDOWS_ARCH:-i686}
if [ -z "${TOLVMARKA_WINDOWS_ARCH:-}" ] && [ -e /lib/ld-linux.so.2 ] &&
    ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "wine_tests: this kernel cannot execute 32-bit code; testing the x86_64 build" >&2
    ARCH=x86_64
fi
export TOLVMARKA_WINDOWS_ARCH=$ARCH
OUT=${TOLVMARKA_WINDOWS_BUILD:-$PWD/build-windows}
DIST=dist BUILD=$OUT/build WINE=wine
if [ "$ARCH" != i686 ]; then
    DIST=dist/$ARCH BUILD=$OUT/$ARCH/build WINE=/usr/lib/wine/wine64
    export WINESERVER=/usr/lib/wine/wineserver64
fi
give_up() {
    echo "0 passed, 1 failed ($1)"
    exit 1
}
./build-windows.sh --tests || give_up build

WORK=$(mktemp -d) SCREEN=1024x768x24
SHOTS=${TOLVMARKA_WINE_SHOTS:-$OUT/shots}
mkdir -p "$SHOTS"
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. tests/e2e/xvfb.sh
cleanup() {
    [ -n "${SHOW_PID:-}" ] && kill "$SHOW_PID" 2>/dev/null
    "${WINESERVER:-wineserver}" -k 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
start_xvfb || give_up "no X server"

PASSED=0 FAILED=0
check() { # check NAME COMMAND...
    local name=$1
    shift
    if "$@"; then
        echo "PASS $name"
        PASSED=$((PASSED + 1))
    else
        echo "FAIL $name"
        FAILED=$((FAILED + 1))
    fi
}
wait_for() { # wait_for SECONDS COMMAND...
    local left=$(($1 * 10))
    shift
    until "$@"; do
        [ $((left -= 1)) -gt 0 ] || return 1
        sleep 0.1
    done
}

timeout 300 "$WINE" wineboot -i >/dev/null 2>&1
TEMP_DIR=$(ls -d "$WINEPREFIX"/drive_c/users/*/Temp | grep -v Public | head -n 1)

unit_tests() {
    timeout 300 "$WINE" "$BUILD/tests/windows/windows_unit_test.exe" >"$WORK/unit.log" 2>&1 &&
        grep -q PASSED "$WORK/unit.log"
}
check "unit tests under Wine" unit_tests || grep -E 'FAILED|Failure' "$WORK/unit.log"

# The show's top-level windows by title: the question box, later window 0.
top() { xdotool search --name '^Tolvmarka$' 2>/dev/null | head -n 1; }
box_up() { [ -n "$(top)" ]; }
# Clicks at a percentage of the top window's size: Wine draws the box's buttons itself.
click_at() { # click_at XPERCENT YPERCENT
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$(top)" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    xdotool mousemove $((X + WIDTH * $1 / 100)) $((Y + HEIGHT * $2 / 100)) click 1
}
start_show() {
    "$WINE" "$DIST/tolvmarka.exe" >"$WORK/show.log" 2>&1 &
    SHOW_PID=$!
    wait_for 60 box_up
}
show_gone() { ! kill -0 "$SHOW_PID" 2>/dev/null; }
exits_zero() { # within 15 s
    wait_for 15 show_gone || return 1
    wait "$SHOW_PID"
    local code=$?
    [ $code -eq 0 ] || echo "  exit code $code"
    [ $code -eq 0 ]
}
shot() { import -window root "$SHOTS/$1.png" 2>/dev/null; }
not_black() { [ "$(convert "$SHOTS/$1.png" -format '%[fx:mean>0.005]' info: 2>/dev/null)" = 1 ]; }
window_open() {
    box_up && [ "$(timeout 30 "$WINE" "$BUILD/tests/windows/window_probe.exe" WindowClass_0 \
        2>/dev/null | tr -d '\r')" = 640x480 ]
}
dll_present() { [ -f "$TEMP_DIR/bassmod.dll" ]; }
dll_gone() { [ ! -e "$TEMP_DIR/bassmod.dll" ]; }
# Starts the show, answers No and waits for window 0 (the checks' names carry $1).
run_windowed() {
    check "question box appears$1" start_show
    [ -n "$1" ] || check "player file written to Wine's temporary directory" dll_present
    click_at 72 65 # No
    check "window of class WindowClass_0 with a 640x480 client area$1" wait_for 30 window_open
}

run_windowed ""
for at in 02 10 25; do
    sleep $((10#$at - ${last:-0}))
    last=10#$at
    shot "at_${at}s"
    check "frame drawn at ${at}s" not_black "at_${at}s"
done
check "music on the silent clock without a sound device" grep -q 'silent clock' "$WORK/show.log"
click_at 50 50
xdotool key Escape
check "Escape ends the show with exit code 0" exits_zero
check "bassmod.dll gone afterwards" dll_gone

run_windowed " (close request)"
sleep 2
click_at 50 50
xdotool key alt+F4
check "the close request ends the show with exit code 0" exits_zero
check "bassmod.dll gone after the close request" dll_gone

# Yes on a 1024x768 screen: the mode is refused.
check "question box appears for Yes" start_show
click_at 30 65 # Yes
sleep 3
shot refused
check "a second box follows Yes" eval 'box_up && not_black refused'
click_at 50 65 # OK
check "refused mode ends with exit code 0" exits_zero
SHOW_PID=

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
