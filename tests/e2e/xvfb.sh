# Sourced by the scripts that run the show under a private X server. start_xvfb starts one
# with SCREEN (e.g. 1024x768x24), using WORK (a private directory), and sets DISPLAY and
# XVFB_PID. Xvfb picks a free display itself and writes it to -displayfd once ready, so that
# parallel runs cannot race for one. -noreset: SDL opens and closes the display once before
# it keeps it open, and a server that resets when its last client leaves refuses it then.
start_xvfb() {
    local deadline=$((SECONDS + 30)) # generous for a loaded machine
    : >"$WORK/displayfd"
    Xvfb -screen 0 "$SCREEN" -nolisten tcp -noreset -displayfd 3 3>"$WORK/displayfd" \
        >/dev/null 2>&1 &
    XVFB_PID=$!
    while [ ! -s "$WORK/displayfd" ] && kill -0 "$XVFB_PID" 2>/dev/null &&
        [ $SECONDS -lt $deadline ]; do
        sleep 0.1
    done
    [ -s "$WORK/displayfd" ] || return 1
    export DISPLAY=":$(tr -dc 0-9 <"$WORK/displayfd")"
}
