#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tolvmarka need.
# Non-interactive and idempotent: when everything is present it only checks and returns.
set -euo pipefail

PACKAGES=(
    build-essential cmake pkg-config clang-format
    libsdl2-dev libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
    libxmp-dev libpng-dev libx11-dev
    googletest libgtest-dev libgmock-dev
    xvfb xdotool x11-utils x11-apps imagemagick
    # the fuzz targets (libFuzzer), the memcheck run, the hardening scripts (ps)
    clang libclang-rt-14-dev valgrind procps
)
# Optional tools: the MP4 output of the capture tool and the module cross-check.
OPTIONAL=(ffmpeg openmpt123)

missing=()
for p in "${PACKAGES[@]}" "${OPTIONAL[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "setup: installing ${missing[*]}" >&2
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
