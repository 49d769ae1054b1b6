#!/usr/bin/env bash
# The Windows flavour under Wine and Xvfb: cross-builds (build-windows.sh --tests), runs the
# MinGW-built unit tests, then the show itself: the question answered No (window 0 of class
# WindowClass_0 with a 640 x 480 client area, frames drawn, screenshots at 2, 10 and 25 s,
# Escape ends with exit code 0 and bassmod.dll gone from Wine's temporary directory), the
# close request by Alt+F4, and Yes on a screen without 640 x 480 ("Could not create
# fullscreen", then exit code 0). Wine has no sound device here: the silent clock runs.
# Prints one line per check and 'N passed, N failed'; exits non-zero on any failure.
# Screenshots stay in $TOLVMARKA_WINE_SHOTS (default build-windows/shots).
# Hosts that cannot execute 32-bit code (no wine32) build and run the x86_64 flavour.
set -uo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD

ARCH=${TOLVMARKA_WINDOWS_ARCH:-}
if [ -z "$ARCH" ]; then
    ARCH=i686
    if [ -e /lib/ld-linux.so.2 ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
        echo "wine_tests: this kernel cannot execute 32-bit code; testing the x86_64 build" >&2
        ARCH=x86_64
    fi
fi
export TOLVMARKA_WINDOWS_ARCH=$ARCH
OUT=${TOLVMARKA_WINDOWS_BUILD:-$ROOT/build-windows}
if [ "$ARCH" = i686 ]; then
    DIST=dist
    BUILD=$OUT/build
else
    DIST=dist/$ARCH
    BUILD=$OUT/$ARCH/build
fi
./build-windows.sh --tests || {
    echo "0 passed, 1 failed (build)"
    exit 1
}

if [ "$ARCH" = i686 ]; then
    WINE=wine
else
    WINE=/usr/lib/wine/wine64
    export WINESERVER=/usr/lib/wine/wineserver64
fi
WORK=$(mktemp -d)
SHOTS=${TOLVMARKA_WINE_SHOTS:-$OUT/shots}
mkdir -p "$SHOTS"
SCREEN=1024x768x24
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
. tests/e2e/xvfb.sh
cleanup() {
    [ -n "${SHOW_PID:-}" ] && kill "$SHOW_PID" 2>/dev/null
    "${WINESERVER:-wineserver}" -k 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
start_xvfb || {
    echo "0 passed, 1 failed (no X server)"
    exit 1
}

PASSED=0
FAILED=0
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

timeout 300 "$WINE" wineboot -i >/dev/null 2>&1
TEMP_DIR=$(ls -d "$WINEPREFIX"/drive_c/users/*/Temp | grep -v Public | head -n 1)

unit_tests() {
    timeout 300 "$WINE" "$BUILD/tests/windows/windows_unit_test.exe" >"$WORK/unit.log" 2>&1 &&
        grep -q PASSED "$WORK/unit.log"
}
check "unit tests under Wine" unit_tests || grep -E 'FAILED|Failure' "$WORK/unit.log"

# The show's top-level windows by title: the question box, later window 0.
boxes() { xdotool search --name '^Tolvmarka$' 2>/dev/null; }
wait_for() { # wait_for SECONDS COMMAND...
    local left=$(($1 * 10))
    shift
    while [ $left -gt 0 ]; do
        "$@" && return 0
        sleep 0.1
        left=$((left - 1))
    done
    return 1
}
# Clicks at a fraction of a window's size: Wine draws the box's buttons itself.
click_in() { # click_in WINDOW XFRACTION YFRACTION
    local x y w h
    eval "$(xdotool getwindowgeometry --shell "$1" | sed -n 's/^\(X\|Y\|WIDTH\|HEIGHT\)=/\1=/p')"
    xdotool mousemove $((X + WIDTH * $2 / 100)) $((Y + HEIGHT * $3 / 100)) click 1
}
box_up() { [ -n "$(boxes)" ]; }
start_show() {
    "$WINE" "$DIST/tolvmarka.exe" >"$WORK/show.log" 2>&1 &
    SHOW_PID=$!
    wait_for 60 box_up
}
show_exit() { # waits up to 15 s for the show; its exit code, or 124
    local left=150
    while kill -0 "$SHOW_PID" 2>/dev/null && [ $left -gt 0 ]; do
        sleep 0.1
        left=$((left - 1))
    done
    kill -0 "$SHOW_PID" 2>/dev/null && return 124
    wait "$SHOW_PID"
}
shot() { import -window root "$SHOTS/$1.png" 2>/dev/null; }
not_black() { [ "$(convert "$SHOTS/$1.png" -format '%[fx:mean>0.005]' info: 2>/dev/null)" = 1 ]; }
client_640x480() { [ "$(timeout 30 "$WINE" "$BUILD/tests/windows/window_probe.exe" WindowClass_0 2>/dev/null | tr -d '\r')" = 640x480 ]; }
dll_present() { [ -f "$TEMP_DIR/bassmod.dll" ]; }
dll_gone() { [ ! -e "$TEMP_DIR/bassmod.dll" ]; }
exits_zero() {
    show_exit
    local code=$?
    [ $code -eq 0 ] || echo "  exit code $code"
    [ $code -eq 0 ]
}
window_open() { [ "$(boxes | wc -l)" -ge 1 ] && client_640x480; }

# Answer No, watch, press Escape.
check "question box appears" start_show
shot question
check "player file written to Wine's temporary directory" dll_present
click_in "$(boxes | head -n 1)" 72 65 # No
check "window of class WindowClass_0 with a 640x480 client area" wait_for 30 window_open
sleep 2
shot at_02s
sleep 8
shot at_10s
sleep 15
shot at_25s
for s in at_02s at_10s at_25s; do check "frame drawn at ${s#at_}" not_black $s; done
check "music on the silent clock without a sound device" grep -q 'silent clock' "$WORK/show.log"
WINDOW=$(boxes | head -n 1)
click_in "$WINDOW" 50 50
xdotool key Escape
check "Escape ends the show with exit code 0" exits_zero
check "bassmod.dll gone afterwards" dll_gone

# Answer No, then the close request (Alt+F4).
check "question box appears again" start_show
click_in "$(boxes | head -n 1)" 72 65
wait_for 30 window_open
sleep 2
click_in "$(boxes | head -n 1)" 50 50
xdotool key alt+F4
check "the close request ends the show with exit code 0" exits_zero
check "bassmod.dll gone after the close request" dll_gone

# Answer Yes on a 1024x768 screen: the mode is refused.
check "question box appears for Yes" start_show
click_in "$(boxes | head -n 1)" 30 65 # Yes
sleep 3
shot refused
failure_box() { box_up && [ "$(convert "$SHOTS/refused.png" -format '%[fx:mean>0.005]' info:)" = 1 ]; }
check "a second box follows Yes" failure_box
click_in "$(boxes | head -n 1)" 50 65 # OK
check "refused mode ends with exit code 0" exits_zero
SHOW_PID=

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
