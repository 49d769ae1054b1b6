#!/usr/bin/env bash
# Lays the reference frames out on one labelled sheet (ImageMagick's montage).
# Usage: contact_sheet.sh GOLDEN_GENERATE REFERENCE_DIR OUTPUT.png
set -euo pipefail
if [ $# -ne 3 ] || [ "$1" = "--help" ]; then
    echo "Usage: $0 GOLDEN_GENERATE REFERENCE_DIR OUTPUT.png" >&2
    echo "The captions come from GOLDEN_GENERATE --list." >&2
    [ "${1:-}" = "--help" ] && exit 0 || exit 2
fi
generate=$1 references=$2 output=$3
command -v montage >/dev/null || { echo "$0: montage (imagemagick) is not installed" >&2; exit 1; }

font=()
dejavu=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
[ -f "$dejavu" ] && font=(-font "$dejavu")

args=()
while IFS=$'\t' read -r file label; do
    [ -f "$references/$file" ] || { echo "$0: missing $references/$file" >&2; exit 1; }
    args+=(-label "$label" "$references/$file")
done < <("$generate" --list)

montage "${font[@]}" -pointsize 13 -background '#18181e' -fill '#e1e1eb' \
    -geometry 320x240+8+6 -tile 4x "${args[@]}" "$output"
echo "$output"
