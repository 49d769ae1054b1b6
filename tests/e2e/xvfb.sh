# Sourced by the scripts that run the show under a private X server (tests/e2e,
# tests/hardening, bench/). Expects WORK (a private directory) and SCREEN (e.g. 1024x768x24).
#
# start_xvfb: starts the server and sets DISPLAY and XVFB_PID. Xvfb picks a free display
# number itself and writes it to -displayfd once it is ready: choosing a number here could
# race with another script doing the same, and then one of the shows would find no server.
# -noreset: otherwise the server resets whenever its last client leaves and refuses clients
# meanwhile; SDL opens and closes the display once before it opens it for good, so the show
# would now and then find no display.
start_xvfb() {
    local waited=0
    : >"$WORK/displayfd"
    Xvfb -screen 0 "$SCREEN" -nolisten tcp -noreset -displayfd 3 3>"$WORK/displayfd" \
        >/dev/null 2>&1 &
    XVFB_PID=$!
    # Up to 30 s: generous for a loaded machine.
    while [ ! -s "$WORK/displayfd" ] && kill -0 "$XVFB_PID" 2>/dev/null && [ $waited -lt 300 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    [ -s "$WORK/displayfd" ] || return 1
    export DISPLAY=":$(tr -dc 0-9 <"$WORK/displayfd")"
}
