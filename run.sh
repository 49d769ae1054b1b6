#!/usr/bin/env bash
# Sets up, builds and runs the show. Without a display it renders the show to a video.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVMARKA_TESTS=OFF -DTOLVMARKA_BENCH=OFF \
    -DTOLVMARKA_TOOLS=OFF >/dev/null
cmake --build build -j"$(nproc)" >/dev/null

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec ./build/core/tolvmarka
fi
echo "run.sh: no display here (DISPLAY is unset or unreachable)." >&2
if [ -x build/capture/tolvmarka-capture ]; then
    echo "run.sh: rendering the show to tolvmarka.mp4 instead." >&2
    exec ./build/capture/tolvmarka-capture --out tolvmarka.mp4
fi
echo "run.sh: start it on a desktop, or under Xvfb: xvfb-run -s '-screen 0 640x480x24 -noreset' ./run.sh" >&2
