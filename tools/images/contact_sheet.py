#!/usr/bin/python3
"""Draws docs/assets.png: the six images of assets/images.raw, labelled, on one sheet."""
import os

import numpy as np
from PIL import Image, ImageDraw, ImageFont

from make_images import LAYOUT, OUTPUT, ROOT

SHEET = os.path.join(ROOT, "docs", "assets.png")
LABEL_FONT = "/usr/share/fonts/truetype/humor-sans/Humor-Sans.ttf"
BACKGROUND = (24, 24, 30)
CELL_MARK = (70, 70, 90)
LABEL = (225, 225, 235)
PAD, LABEL_H = 16, 26
FONT_CELL = 12
FONT_ZOOM, TITLE_ZOOM = 4, 2
FONT_SPLIT_CELL = 20  # the strip is shown in two rows, split before this cell


def split_block(block):
    images, pos = {}, 0
    for name, shape in LAYOUT:
        n = int(np.prod(shape))
        images[name] = np.frombuffer(block[pos : pos + n], dtype=np.uint8).reshape(shape)
        pos += n
    return images


def picture(a, zoom):
    im = Image.fromarray(a, "RGB" if a.ndim == 3 else "L").convert("RGB")
    return im.resize((im.width * zoom, im.height * zoom), Image.NEAREST)


def main():
    with open(OUTPUT, "rb") as f:
        images = split_block(f.read())
    label_font = ImageFont.truetype(LABEL_FONT, 18)
    font = images["font"]
    split = FONT_SPLIT_CELL * FONT_CELL  # first texel column of the second row
    tiles = [
        ("2 TexRing, x2\n128x128 RGB", picture(images["ring"], 2)),
        ("3 TexPlate\n256x256 luminance", picture(images["plate"], 1)),
        ("6 TexSprite\n256x512 RGB", picture(images["sprite"], 1)),
    ]
    strips = [
        ("1 TexFont 512x16 alpha, x4: cells 0-19", picture(font[:, :split], FONT_ZOOM)),
        ("cells 20-35 and the empty tail (cells of 12 marked below)",
         picture(font[:, split:], FONT_ZOOM)),
        ("4 TexTitleA 512x64 luminance, x2", picture(images["title A"], TITLE_ZOOM)),
        ("5 TexTitleB 512x64 luminance, x2", picture(images["title B"], TITLE_ZOOM)),
    ]
    width = max(im.width for _, im in strips) + 2 * PAD
    height = PAD + sum(LABEL_H + im.height + PAD for _, im in strips)
    height += 2 * LABEL_H + max(im.height for _, im in tiles) + PAD
    sheet = Image.new("RGB", (width, height), BACKGROUND)
    draw = ImageDraw.Draw(sheet)
    y = PAD
    for i, (label, im) in enumerate(strips):
        draw.text((PAD, y), label, font=label_font, fill=LABEL)
        y += LABEL_H
        sheet.paste(im, (PAD, y))
        if i < 2:  # tick marks under the font strip at every cell boundary
            for c in range(0, im.width // FONT_ZOOM + 1):
                if (c + i * split) % FONT_CELL == 0:
                    x = PAD + c * FONT_ZOOM
                    draw.line((x, y + im.height + 1, x, y + im.height + 6), fill=CELL_MARK)
        y += im.height + PAD
    x = PAD
    for label, im in tiles:
        draw.multiline_text((x, y), label, font=label_font, fill=LABEL, spacing=4)
        sheet.paste(im, (x, y + 2 * LABEL_H))
        x += im.width + 2 * PAD
    sheet.save(SHEET, optimize=True)


if __name__ == "__main__":
    main()
