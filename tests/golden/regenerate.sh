#!/usr/bin/env bash
# Usage: tests/golden/regenerate.sh [BUILD_DIR]   (default: build-golden in the source tree)
# Draws the golden reference frames again and remakes the contact sheet docs/scenes.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-golden}
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target golden-generate -j"$(nproc)" >/dev/null
rm -f "$root"/tests/golden/reference/*.png
"$build/tests/golden/golden-generate" "$root/tests/golden/reference"
"$root/tests/golden/contact_sheet.sh" "$build/tests/golden/golden-generate" \
    "$root/tests/golden/reference" "$root/docs/scenes.png"
