#!/usr/bin/env bash
# Rebuilds the module generator and rewrites assets/tolvmarka.xm from the score in
# tools/xmgen/song.cpp. The output is deterministic: an unchanged score gives the same bytes.
# BUILD_DIR picks the build directory (default: build at the repository root).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" > /dev/null
cmake --build "$build" --target xmgen -j2
"$build/tools/xmgen/xmgen" "$root/assets/tolvmarka.xm"
