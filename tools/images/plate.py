"""The plate picture: the raised-fist line art filled and shaded as a grey relief on black.

The drawing's black lines stay as dark grey creases; every enclosed area becomes a
rounded bulge lit from the upper left. The fist is scaled so that about a third of
the square is covered and set low, its wrist running out of the bottom edge.
"""
import numpy as np
from PIL import Image

import shapes

SOURCE = "/usr/share/tuxpaint/stamps/symbols/alphabets/asl/asl_s.png"
SIZE = 256
OVERSAMPLE = 2
SCALE = 0.8  # source pixels to plate texels
DROP = 4  # texels the drawing's closing bottom line is pushed past the edge
LINE_LUM = 46
BULGE_WIDTH = 9.0  # texels from a line to the top of a bulge
LIGHT = (-0.55, -0.65, 0.55)  # towards the upper left and the viewer
AMBIENT, DIFFUSE, SPECULAR, SHININESS = 70.0, 150.0, 40.0, 24


def erosion_distance(region):
    """8-neighbour distance of each region texel to the nearest texel outside it."""
    dist = np.zeros(region.shape)
    cur = region.copy()
    d = 0
    while cur.any():
        d += 1
        dist[cur] = d
        padded = np.pad(cur, 1)
        h, w = cur.shape
        for dy in (0, 1, 2):
            for dx in (0, 1, 2):
                cur = cur & padded[dy : dy + h, dx : dx + w]
    return dist


def shade(interior):
    """Luminance of rounded bulges filling the interior areas."""
    width = BULGE_WIDTH * OVERSAMPLE
    x = np.clip(erosion_distance(interior) / width, 0, 1)
    height = shapes.blur(np.sqrt(1 - (1 - x) ** 2) * width * 0.9, 1.5 * OVERSAMPLE)
    gy, gx = np.gradient(height)
    normal = np.dstack((-gx, -gy, np.ones_like(height)))
    normal /= np.linalg.norm(normal, axis=2, keepdims=True)
    light = np.array(LIGHT) / np.linalg.norm(LIGHT)
    half = light + np.array((0, 0, 1.0))
    half /= np.linalg.norm(half)
    diffuse = np.clip((normal * light).sum(axis=2), 0, 1)
    specular = np.clip((normal * half).sum(axis=2), 0, 1) ** SHININESS
    lum = AMBIENT + DIFFUSE * diffuse + SPECULAR * specular
    # the wrist fades a little towards the bottom edge
    rows = np.arange(interior.shape[0])[:, None] / interior.shape[0]
    return lum * (1.0 - 0.25 * np.clip((rows - 0.7) / 0.3, 0, 1))


def make():
    """256 x 256 uint8 luminance, rows top to bottom, background exactly 0."""
    im = Image.open(SOURCE).convert("RGBA").getchannel("A")
    k = SCALE * OVERSAMPLE
    im = im.resize((round(im.width * k), round(im.height * k)), Image.BICUBIC)
    ink = np.asarray(im, dtype=np.float64) / 255.0
    line = ink >= 0.5
    outside = shapes.outside_region(line)
    interior = ~line & ~outside
    val = np.where(interior, shade(interior), 0.0)
    val[line] = LINE_LUM
    rim = outside & (ink > 0)  # the drawing's own antialiasing on the outer contour
    val[rim] = LINE_LUM * ink[rim]

    figure = ~outside
    rows = np.nonzero(figure.any(axis=1))[0]
    cols = np.nonzero(figure.any(axis=0))[0]
    n = SIZE * OVERSAMPLE
    ox = int(round(n / 2 - (cols[0] + cols[-1]) / 2))
    oy = n - 1 - rows[-1] + DROP * OVERSAMPLE
    canvas = np.zeros((n, n))
    y0, y1 = max(0, oy), min(n, oy + val.shape[0])
    canvas[y0:y1, ox : ox + val.shape[1]] = val[y0 - oy : y1 - oy]
    out = canvas.reshape(SIZE, OVERSAMPLE, SIZE, OVERSAMPLE).mean(axis=(1, 3))
    return np.clip(np.round(out), 0, 255).astype(np.uint8)
