#!/usr/bin/env bash
# valgrind.sh CAPTURE [FRAMES]: memcheck on the capture tool's offline run of FRAMES (60):
# start-up, frames, the player decoding, the release. Fails on any invalid access and on
# definite leaks. Mesa draws with softpipe: llvmpipe's JIT code is slow under Valgrind and
# reads as uninitialised memory to it.
set -u
CAPTURE=$1
FRAMES=${2:-60}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

GALLIUM_DRIVER=softpipe TMPDIR="$WORK" valgrind --tool=memcheck --leak-check=full \
    --show-leak-kinds=definite --errors-for-leak-kinds=definite --keep-debuginfo=yes \
    --suppressions="$(dirname "$0")/valgrind.supp" --error-exitcode=99 --log-file="$WORK/memcheck" \
    "$CAPTURE" --frames "$FRAMES" --format y4m --out "$WORK/out.y4m" >"$WORK/log" 2>&1
code=$?
grep -E 'ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable|suppressed:' \
    "$WORK/memcheck" | sed 's/^==[0-9]*== */  /'
if [ "$code" != 0 ]; then
    echo "FAIL: exit code $code" >&2
    sed -n '/^==[0-9]*== [A-Z].*\(Invalid\|uninitialised\|definitely\)/,/^==[0-9]*== $/p' \
        "$WORK/memcheck" | head -80 >&2
    tail -3 "$WORK/log" >&2
    exit 1
fi
echo "PASS: $FRAMES frames under memcheck"
