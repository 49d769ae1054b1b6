#!/usr/bin/env bash
# Without an X server the show says so in one line on stderr, ends with exit code 0 and
# leaves nothing in its temporary directory: DISPLAY unset, naming a server that is not
# there, and malformed.
#
#   no_display.sh SHOW
set -u
SHOW=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
failures=0

# A display number with no server behind it.
for n in $(seq 250 299); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
done

check() {
    local name=$1
    shift
    rm -rf "$WORK/tmp" && mkdir "$WORK/tmp"
    # The bound only stops a show that waits for a server forever.
    env -u DISPLAY -u WAYLAND_DISPLAY TMPDIR="$WORK/tmp" "$@" timeout 30 "$SHOW" \
        >"$WORK/out" 2>"$WORK/err"
    local code=$? problem=
    if [ "$code" != 0 ]; then
        problem="exit code $code"
    elif [ "$(wc -l <"$WORK/err")" != 1 ]; then
        problem="stderr has $(wc -l <"$WORK/err") lines, not one"
    elif ! grep -q 'no display' "$WORK/err"; then
        problem="stderr does not say there is no display"
    elif [ -s "$WORK/out" ]; then
        problem="stdout is not empty"
    elif [ -n "$(ls -A "$WORK/tmp")" ]; then
        problem="left in TMPDIR: $(ls -A "$WORK/tmp" | tr '\n' ' ')"
    fi
    if [ -n "$problem" ]; then
        echo "FAIL ($name): $problem" >&2
        sed 's/^/  stderr: /' "$WORK/err" >&2
        failures=$((failures + 1))
    else
        echo "PASS ($name): $(cat "$WORK/err")"
    fi
}

check "DISPLAY unset"
check "DISPLAY=:$n, no server" DISPLAY=":$n"
check "DISPLAY malformed" DISPLAY="no-such-host-:x"
exit $((failures > 0))
