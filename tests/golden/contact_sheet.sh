#!/usr/bin/env bash
# Usage: contact_sheet.sh GOLDEN_GENERATE REFERENCE_DIR OUTPUT.png
# Lays the reference frames out on one sheet (ImageMagick's montage), captioned by
# GOLDEN_GENERATE --list.
set -euo pipefail
[ $# -eq 3 ] || { sed -n '2,4s/^# //p' "$0" >&2; exit 2; }
font=()
[ -f /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ] &&
    font=(-font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf)
args=()
while IFS=$'\t' read -r file label; do
    [ -f "$2/$file" ] || { echo "$0: missing $2/$file" >&2; exit 1; }
    args+=(-label "$label" "$2/$file")
done < <("$1" --list)
montage "${font[@]}" -pointsize 13 -background '#18181e' -fill '#e1e1eb' \
    -geometry 320x240+8+6 -tile 4x "${args[@]}" "$3"
echo "$3"
