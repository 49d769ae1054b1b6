#!/usr/bin/env bash
# Installs the Debian 12 packages Tolvmarka needs, in one of two sets:
#
#   setup.sh watch   building the show, watching it and rendering it to a video (run.sh)
#   setup.sh test    the above plus every tool the tests, sanitizer builds, fuzz runs and
#                    benchmarks call (test.sh)
#
# Non-interactive and idempotent: when everything is present it only checks and returns.
# As root it installs; otherwise through sudo where there is one, and where there is none it
# names the missing packages and the command that installs them, and fails.
# docs/setup.md says why each package is in its set.
set -euo pipefail

WATCH=(
    build-essential cmake pkg-config
    libsdl2-dev libx11-dev libgl-dev libglu1-mesa-dev libegl-dev libpng-dev libxmp-dev
    # the GL drivers (llvmpipe when there is no GPU), for the window and the headless capture
    libgl1-mesa-dri libegl-mesa0
    # SDL's X11 message box draws with core X fonts; an X server without them refuses the box
    xfonts-base
    # run.sh: is there a display to show it on
    x11-utils
    # the capture tool's MP4 output
    ffmpeg
)
TEST=(
    googletest libgtest-dev libgmock-dev
    # the tests' X servers, and driving and looking at the show in them
    xvfb xdotool imagemagick python3 procps
    # the fuzz targets (libFuzzer), the memcheck run, the source format
    clang libclang-rt-14-dev valgrind clang-format
    # an independent reader of the module file
    openmpt123
    # benchmarks: start-up arithmetic and the heap profile
    bc heaptrack
)

case ${1:-test} in
watch) PACKAGES=("${WATCH[@]}") ;;
test) PACKAGES=("${WATCH[@]}" "${TEST[@]}") ;;
*)
    echo "usage: setup.sh [watch|test]   (default: test)" >&2
    exit 2
    ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

INSTALL="apt-get install -y --no-install-recommends ${missing[*]}"
SUDO=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
        echo "setup: ${#missing[@]} packages missing; as root run: apt-get update && $INSTALL" >&2
        exit 1
    fi
    SUDO=(sudo)
fi
echo "setup: installing ${#missing[@]} packages and what they need: ${missing[*]}" >&2
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive $INSTALL -qq >/dev/null
