#!/usr/bin/env bash
# Usage: tests/golden/regenerate.sh [BUILD_DIR]   (default: build-golden in the source tree)
# Draws the golden reference frames again and lays them out, captioned, on the contact sheet
# docs/scenes.png (ImageMagick's montage).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-golden}
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target capture_test -j"$(nproc)" >/dev/null
rm -f "$root"/tests/golden/reference/*.png
GOLDEN_REGENERATE=1 "$build/tests/golden/capture_test" \
    --gtest_filter=GoldenFrames.KeyFramesMatchTheReferences >"$build/golden-captions"
font=()
[ -f /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ] &&
    font=(-font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf)
args=()
while IFS=$'\t' read -r file label; do
    args+=(-label "$label" "$root/tests/golden/reference/$file")
done < <(grep $'\t' "$build/golden-captions")
montage "${font[@]}" -pointsize 13 -background '#18181e' -fill '#e1e1eb' \
    -geometry 320x240+8+6 -tile 4x "${args[@]}" "$root/docs/scenes.png"
echo "$root/docs/scenes.png"
