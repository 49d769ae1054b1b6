#!/usr/bin/python3
"""Builds assets/images.raw: the six raw images of the show, back to back.

Order and layout: font strip 512x16 alpha, ring 128x128 RGB, plate 256x256 luminance,
title A and title B 512x64 luminance, sprite 256x512 RGB; one byte per channel, rows
from the top, no headers or padding. Deterministic: the same bytes on every run.
"""
import os
import sys

import numpy as np

import font_strip
import plate
import ring
import sprite
import titles

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
FONT_FILE = os.path.join(ROOT, "assets", "font.txt")
OUTPUT = os.path.join(ROOT, "assets", "images.raw")

# name, (height, width[, channels]) of each image in block order
LAYOUT = (
    ("font", (16, 512)),
    ("ring", (128, 128, 3)),
    ("plate", (256, 256)),
    ("title A", (64, 512)),
    ("title B", (64, 512)),
    ("sprite", (512, 256, 3)),
)
BLOCK_BYTES = 581632


def build():
    images = (
        font_strip.make(FONT_FILE),
        ring.make(),
        plate.make(),
        titles.make(titles.WORD_A),
        titles.make(titles.WORD_B),
        sprite.make(),
    )
    for (name, shape), img in zip(LAYOUT, images):
        if img.shape != shape or img.dtype != np.uint8:
            raise SystemExit("%s: got %s %s, want %s uint8" % (name, img.shape, img.dtype, shape))
    block = b"".join(np.ascontiguousarray(img).tobytes() for img in images)
    if len(block) != BLOCK_BYTES:
        raise SystemExit("image block is %d bytes, want %d" % (len(block), BLOCK_BYTES))
    return block


def main():
    block = build()
    with open(OUTPUT, "wb") as f:
        f.write(block)
    sys.stderr.write("wrote %s (%d bytes)\n" % (os.path.relpath(OUTPUT, ROOT), len(block)))


if __name__ == "__main__":
    main()
