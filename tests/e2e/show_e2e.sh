#!/usr/bin/env bash
# show_e2e.sh SHOW CLOSE_REQUEST SCENARIO: the real show under a private Xvfb, driven as a
# viewer would. windowed-escape, windowed-close: answer No, end the run so. fullscreen: Yes
# on a 640x480 screen, then Escape. fullscreen-refused: Yes on an 800x600 screen, which has
# no 640x480 mode: a box, no window. question-closed: a close request to the question means
# No. windowed-music: the scenes change with the music (SDL's disk audio driver), Escape.
set -u
SHOW=$1
CLOSE_REQUEST=$2
SCENARIO=$3
case $SCENARIO in
windowed-* | question-closed) SCREEN=1024x768x24 ANSWER=No ;;
fullscreen) SCREEN=640x480x24 ANSWER=Yes ;;
fullscreen-refused) SCREEN=800x600x24 ANSWER=Yes ;;
*) echo "unknown scenario $SCENARIO" >&2 && exit 2 ;;
esac
. "$(dirname "$0")/show_driver.sh"

# Which scene the window shows, from its brightness and colour: the tunnel fills the screen,
# the sprite's suit is the only near-white picture after the opening, the lit object is dim
# with as much green as red, the plates are red.
scene_of() {
    import -window "$1" "$WORK/scene.png" 2>/dev/null || return 1
    # Mean red, green, grey, and the share of bright pixels.
    convert "$WORK/scene.png" -format '%[fx:mean.r] %[fx:mean.g] ' -write info: -colorspace gray \
        -format '%[fx:mean] ' -write info: -threshold 60% -format '%[fx:mean]\n' info: | awk '{
        if ($3 > 0.15) print "tunnel"
        else if ($4 > 0.002) print "sprite"
        else if ($3 > 0.003 && $2 > 0.5 * $1) print "object"
        else print "other" }'
}

start_xvfb || fail "no Xvfb could be started"
# Seconds on the clock of the swap trace (CLOCK_MONOTONIC; the machine does not suspend).
LAUNCHED=$(cut -d' ' -f1 /proc/uptime)
start_show SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/audio.raw"
if [ "$SCENARIO" = question-closed ]; then
    wait_for_box Tolvmarka
    sleep 0.5 # the box takes requests once its loop runs
    "$CLOSE_REQUEST" "$BOX" || fail "no close request could be sent to the box"
else
    answer_question
fi

if [ "$SCENARIO" = fullscreen-refused ]; then
    wait_for_box Tolvmarka # telling that full screen failed
    [ -z "$(find_main_window)" ] || fail "a window was opened although the mode was refused"
    key_box "$BOX" Return
else
    wait_for_swap
    WINDOW=$(find_main_window)
    [ -n "$WINDOW" ] || fail "no window of class WindowClass_0"
    GEOMETRY=$(xwininfo -id "$WINDOW" | awk '/-geometry/ { print $2 }')
    [ "$GEOMETRY" = 640x480+0+0 ] || fail "window at $GEOMETRY, not 640x480+0+0"
    xprop -id "$WINDOW" WM_NAME | grep -q '= "Tolvmarka"$' || fail "the caption is not Tolvmarka"
    # Only the full-screen window is borderless; a captioned one asks for decorations or
    # says nothing about them.
    BORDERLESS=No
    [[ $(xprop -id "$WINDOW" _MOTIF_WM_HINTS) = *"= 0x2, 0x0, 0x0"* ]] && BORDERLESS=Yes
    [ "$BORDERLESS" = "$ANSWER" ] || fail "answered $ANSWER, but borderless: $BORDERLESS"
fi

if [ "$SCENARIO" = windowed-music ]; then
    # Title B starts the music on frame 86. Orders 2, 4 and 6 begin 6.19, 12.39 and 18.58 s
    # into it (64 rows of 3 ticks at 155 BPM make 3.097 s); look about 3 s after each, when
    # the scene has settled whatever the frame rate.
    wait_for_swap 86
    MUSIC_START=$(awk '$1 == "tolvmarka-swap" && $2 == 86 { print $3 }' "$WORK/show.log")
    for check in "9.2 sprite" "15.4 object" "21.6 tunnel"; do
        sleep "$(awk -v t="$MUSIC_START" -v d="${check% *}" '{ print t + d - $1 }' /proc/uptime |
            sed 's/^-.*/0/')"
        seen=$(scene_of "$WINDOW")
        [ "$seen" = "${check#* }" ] ||
            fail "${check% *} s into the music the window shows '$seen', not ${check#* }"
    done
fi

case $SCENARIO in
windowed-escape | windowed-music | fullscreen)
    # SDL takes a focus change in with a short delay and drops keys until then: a press
    # that came too early is repeated.
    [ "$(xdotool getwindowfocus)" = "$((WINDOW))" ] ||
        timeout 10 xdotool windowfocus --sync "$WINDOW" || fail "the window did not take the focus"
    for _ in 1 2 3; do
        xdotool key Escape
        timeout 5 tail -s 0.1 -f --pid="$SHOW_PID" /dev/null && break
    done
    ;;
windowed-close | question-closed) "$CLOSE_REQUEST" "$WINDOW" || fail "no close request" ;;
esac

wait_clean_exit
check_nothing_left "$TMP"
[ -z "$(find_main_window)" ] || fail "a window is left on the screen"
if [ "$SCENARIO" = windowed-music ]; then
    # The disk driver writes what the device plays (16-bit stereo at 44100 Hz) from the
    # player's start, before the question. Nothing is heard before title B; the music comes
    # with it. 0.5 s absorbs the device buffers and the start-up before the player's start.
    python3 -c 'import array, sys
samples = array.array("h", open(sys.argv[1], "rb").read())
first = next((i for i, s in enumerate(samples) if s != 0), len(samples)) / 88200
total, expected = len(samples) / 88200, float(sys.argv[2]) - float(sys.argv[3])
print(f"first sound at {first:.2f} s of {total:.2f} s; title B {expected:.2f} s after launch")
sys.exit(not (first < total and abs(first - expected) < 0.5))' \
        "$WORK/audio.raw" "$MUSIC_START" "$LAUNCHED" || fail "the music did not come with title B"
fi
echo "PASS ($SCENARIO)"
