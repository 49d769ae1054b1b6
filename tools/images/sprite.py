"""The sprite: the photograph of a firefighter in a heat suit, cut out on pure black.

(0, 0, 0) marks the outside and nothing else: the photo's alpha is premultiplied into
its colours, texels the matte leaves (almost) transparent become black, and any texel
of the figure that would come out black is lifted to (1, 1, 1). Gaps in the matte too
small to be background seen through the figure count as figure.
"""
import numpy as np
from PIL import Image

import shapes

SOURCE = "/usr/share/tuxpaint/stamps/people/fireman200b.png"
WIDTH, HEIGHT = 256, 512
MARGIN = 4  # texels above the head and below the boots
ALPHA_CUT = 12  # below this resampled alpha a texel is background
SOURCE_HOLE_MIN = 40  # enclosed transparent areas smaller than this (source pixels) are matte flaws
HOLE_MIN = 64  # enclosed black areas smaller than this (texels) are filled as figure


def fill_small_holes(rgba):
    """Makes tiny enclosed transparent areas opaque, coloured like their surroundings."""
    alpha = rgba[..., 3]
    enclosed = (alpha == 0) & ~shapes.outside_region(alpha > 0)
    labels, sizes = shapes.components(enclosed)
    small = (labels > 0) & (sizes[labels] < SOURCE_HOLE_MIN)
    out = rgba.astype(np.float64)
    opaque = alpha == 255
    for y, x in zip(*np.nonzero(small)):
        y0, y1, x0, x1 = max(0, y - 3), y + 4, max(0, x - 3), x + 4
        near = opaque[y0:y1, x0:x1]
        out[y, x, :3] = out[y0:y1, x0:x1, :3][near].mean(axis=0)
        out[y, x, 3] = 255
    return out.astype(np.uint8)


def make():
    """512 x 256 x 3 uint8, rows top to bottom."""
    src = np.asarray(Image.open(SOURCE).convert("RGBA"))
    src = fill_small_holes(src)
    im = Image.fromarray(src, "RGBA")
    left, top, right, bottom = im.getchannel("A").getbbox()
    im = im.crop((left, top, right, bottom)).convert("RGBa")  # premultiplied for resampling
    scale = (HEIGHT - 2 * MARGIN) / im.height
    w = round(im.width * scale)
    im = im.resize((w, HEIGHT - 2 * MARGIN), Image.BICUBIC)
    frame = Image.new("RGBa", (WIDTH, HEIGHT), (0, 0, 0, 0))
    frame.paste(im, ((WIDTH - w) // 2, MARGIN))
    px = np.asarray(frame).astype(np.int32)
    rgb, alpha = px[..., :3], px[..., 3]

    figure = alpha >= ALPHA_CUT
    # background enclosed by the figure stays black only where it is large
    labels, sizes = shapes.components(~figure)
    border = set(labels[0]) | set(labels[-1]) | set(labels[:, 0]) | set(labels[:, -1])
    for n in range(1, len(sizes)):
        if n not in border and sizes[n] < HOLE_MIN:
            figure |= labels == n
    rgb = np.where(figure[..., None], rgb, 0)
    black = figure & (rgb.max(axis=2) == 0)
    rgb[black] = 1
    return rgb.astype(np.uint8)
