#!/usr/bin/python3
"""Renders Humor Sans into the 12x16 font cells as a first draft of assets/font.txt.

The committed font.txt is this draft finished by hand; make_images.py reads font.txt,
never the TrueType file. Run this only to start the font afresh:
    /usr/bin/python3 tools/images/seed_font.py > draft.txt
"""
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

FONT_FILE = "/usr/share/fonts/truetype/humor-sans/Humor-Sans.ttf"
CHARS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ.,;:\\/-?!#"
CELL_W, CELL_H = 12, 16
GLYPH_W = 11  # the last column stays empty as letter spacing
CAP_TOP, BASELINE = 2, 14  # capitals fill rows 2..13
OVERSAMPLE = 8
RENDER_SIZE = 240
INK_THRESHOLD = 0.45  # share of a texel's area that must be covered to set it


def render(ch, font):
    """Glyph ink at high resolution, cropped to its columns, and its baseline row; every
    glyph is drawn on the same baseline, so rows compare across glyphs."""
    left, top, right, bottom = font.getbbox(ch, anchor="ls")
    im = Image.new("L", (right - left + 8, RENDER_SIZE * 2), 0)
    baseline = RENDER_SIZE * 3 // 2
    ImageDraw.Draw(im).text((4 - left, baseline), ch, font=font, fill=255, anchor="ls")
    a = np.asarray(im, dtype=np.float64) / 255.0
    cols = np.where(a.max(axis=0) > 0.2)[0]
    return a[:, cols[0] : cols[-1] + 1], baseline


def cap_box(font):
    """First and last inked rows of the H; the hand-drawn strokes overshoot the baseline."""
    a, _ = render("H", font)
    rows = np.where(a.max(axis=1) > 0.2)[0]
    return rows[0], rows[-1] + 1


def cell_for(ch, font, scale, cap_bottom):
    a, _ = render(ch, font)
    h, w = a.shape
    sx = min(scale, GLYPH_W * OVERSAMPLE / w)  # squeeze wide glyphs into the cell
    im = Image.fromarray((a * 255).astype(np.uint8))
    im = im.resize((max(1, round(w * sx)), round(h * scale)), Image.LANCZOS)
    a = np.asarray(im, dtype=np.float64) / 255.0
    base = round(cap_bottom * scale)
    big = np.zeros((CELL_H * OVERSAMPLE, CELL_W * OVERSAMPLE))
    ox = (GLYPH_W * OVERSAMPLE - a.shape[1]) // 2
    for y in range(big.shape[0]):
        sy = y - BASELINE * OVERSAMPLE + base
        if 0 <= sy < a.shape[0]:
            big[y, ox : ox + a.shape[1]] = a[sy]
    cover = big.reshape(CELL_H, OVERSAMPLE, CELL_W, OVERSAMPLE).mean(axis=(1, 3))
    return cover >= INK_THRESHOLD


def main():
    font = ImageFont.truetype(FONT_FILE, RENDER_SIZE)
    top, bottom = cap_box(font)
    scale = (BASELINE - CAP_TOP) * OVERSAMPLE / (bottom - top)
    out = sys.stdout
    for n, ch in enumerate(CHARS):
        out.write("cell %d %s\n" % (n, ch))
        for row in cell_for(ch, font, scale, bottom):
            out.write("".join("#" if v else "." for v in row) + "\n")


if __name__ == "__main__":
    main()
