#!/usr/bin/env bash
# Sets up, builds and runs the show. Without a display it renders the show to a video.
set -euo pipefail
cd "$(dirname "$0")"

usage() {
    cat <<'EOF'
usage: ./run.sh

Installs the packages that building and watching need (setup.sh watch, with sudo when you
are not root), builds the show, its capture tool and the module renderer in build/, and
starts the show on your display. Without a display it renders the show to tolvmarka.mp4
with build/capture/tolvmarka-capture instead.
EOF
}
case ${1:-} in
"") ;;
-h | --help)
    usage
    exit 0
    ;;
*)
    usage >&2
    exit 2
    ;;
esac

say() { echo "run.sh: $*" >&2; }
LOG=build/run.log

say "setting up (setup.sh watch)"
./setup.sh watch

say "configuring build/"
mkdir -p build
# test.sh shares build/ and switches the tests on; they need the test set, so off here.
if ! cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVMARKA_TESTS=OFF \
    -DTOLVMARKA_BENCH=OFF -DTOLVMARKA_TOOLS=ON >"$LOG" 2>&1; then
    cat "$LOG" >&2
    exit 1
fi

# The build's own percentage on one line on a terminal, every tenth elsewhere; the whole
# output goes to the log, and its end to the screen when the build fails.
say "building the show, the capture tool and xmrender ($(nproc) jobs)"
progress() {
    local line percent shown=-10
    while IFS= read -r line; do
        printf '%s\n' "$line" >>"$LOG"
        [[ $line =~ ^\[\ *([0-9]+)%\] ]] || continue
        percent=${BASH_REMATCH[1]}
        if [ -t 2 ]; then
            printf '\rrun.sh: building %3d%%' "$percent" >&2
        elif [ "$percent" -ge $((shown + 10)) ]; then
            say "building $percent%"
            shown=$percent
        fi
    done
    [ -t 2 ] && printf '\n' >&2
    return 0
}
if ! cmake --build build -j"$(nproc)" --target tolvmarka tolvmarka-capture xmrender 2>&1 |
    progress; then
    tail -n 40 "$LOG" >&2
    say "the build failed; the whole output is in $LOG"
    exit 1
fi
say "built build/core/tolvmarka, build/capture/tolvmarka-capture, build/tools/xmgen/xmrender"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    say "starting the show on display $DISPLAY"
    exec ./build/core/tolvmarka
fi
say "no display here (DISPLAY is unset or unreachable): rendering the show to tolvmarka.mp4"
exec ./build/capture/tolvmarka-capture --out tolvmarka.mp4
