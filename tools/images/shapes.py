"""Small image helpers shared by the plate and sprite generators."""
import numpy as np
from PIL import Image, ImageDraw


def outside_region(solid):
    """Texels not in `solid` that connect to the image border through non-solid texels."""
    padded = np.pad(np.where(solid, 255, 0).astype(np.uint8), 1)
    im = Image.fromarray(padded).copy()  # fromarray may share memory, which floodfill ignores
    ImageDraw.floodfill(im, (0, 0), 128)
    return np.asarray(im)[1:-1, 1:-1] == 128


def components(mask):
    """Labels the 4-connected components of a boolean mask; returns (labels, sizes)."""
    labels = np.zeros(mask.shape, dtype=np.int32)
    sizes = [0]
    h, w = mask.shape
    for sy, sx in zip(*np.nonzero(mask)):
        if labels[sy, sx]:
            continue
        n = len(sizes)
        labels[sy, sx] = n
        stack, size = [(sy, sx)], 0
        while stack:
            y, x = stack.pop()
            size += 1
            for ny, nx in ((y - 1, x), (y + 1, x), (y, x - 1), (y, x + 1)):
                if 0 <= ny < h and 0 <= nx < w and mask[ny, nx] and not labels[ny, nx]:
                    labels[ny, nx] = n
                    stack.append((ny, nx))
        sizes.append(size)
    return labels, np.array(sizes)


def blur(img, sigma):
    """Separable Gaussian blur with edge extension."""
    r = int(3 * sigma)
    t = np.arange(-r, r + 1)
    k = np.exp(-t * t / (2 * sigma * sigma))
    k /= k.sum()
    p = np.pad(img, r, mode="edge")
    p = sum(k[i] * p[i : i + p.shape[0] - 2 * r, :] for i in range(2 * r + 1))
    return sum(k[i] * p[:, i : i + p.shape[1] - 2 * r] for i in range(2 * r + 1))
