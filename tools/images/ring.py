"""The tunnel's ring texture: a pastel crayon scribble that tiles in both directions.

Everything is drawn on a torus: stroke stamps wrap around the edges and the paper
grain is filtered circularly, so the left and right (and top and bottom) edges
continue each other. All colours are light and every texel is a convex mix of them,
so no channel can fall below the darkest palette channel.
"""
import numpy as np

SIZE = 128
SEED = 1234
STROKES = 220
HATCH_SHARE = 0.6  # the rest are coils
PAPER = (245, 235, 250)
PALETTE = np.array(
    [
        (255, 150, 170),  # pink
        (255, 190, 130),  # apricot
        (250, 235, 130),  # butter
        (140, 225, 160),  # mint
        (130, 195, 250),  # sky
        (185, 155, 250),  # lavender
        (250, 150, 220),  # orchid
        (130, 225, 220),  # aqua
        (235, 185, 120),  # sand
        (175, 220, 125),  # lime
    ],
    dtype=np.float64,
)
WASH_COLOURS = (1, 4)  # palette entries of the two soft background washes
WASH_STRENGTH = 0.5
STEP = 0.5  # texels between brush stamps along a stroke


def periodic_noise(rng, scale):
    """Smooth noise in [0, 1] that wraps around: white noise low-passed in the FFT domain."""
    f = np.fft.fft2(rng.rand(SIZE, SIZE))
    k = np.fft.fftfreq(SIZE)
    kx, ky = np.meshgrid(k, k)
    f *= np.exp(-(kx**2 + ky**2) * scale**2 * 20.0)
    f[0, 0] = 0
    n = np.real(np.fft.ifft2(f))
    return (n - n.min()) / (n.max() - n.min())


def densify(points):
    out = [points[0]]
    for p in points[1:]:
        q = out[-1]
        n = max(1, int(np.hypot(p[0] - q[0], p[1] - q[1]) / STEP))
        out += [q + (p - q) * i / n for i in range(1, n + 1)]
    return out


def chaikin(points, rounds):
    """Rounds off the turns of a polyline."""
    for _ in range(rounds):
        q = [points[0]]
        for a, b in zip(points[:-1], points[1:]):
            q += [0.75 * a + 0.25 * b, 0.25 * a + 0.75 * b]
        q.append(points[-1])
        points = q
    return points


def hatch(rng):
    """Back-and-forth colouring-in strokes across a small patch."""
    centre = rng.rand(2) * SIZE
    angle = rng.rand() * np.pi
    u = np.array([np.cos(angle), np.sin(angle)])
    v = np.array([-u[1], u[0]])
    length, width = rng.uniform(10, 26), rng.uniform(8, 22)
    turns = int(width / rng.uniform(3.0, 4.5))
    points = []
    for i in range(turns + 1):
        along = (-1) ** i * length / 2 + rng.normal(0, 1.5)
        across = -width / 2 + width * i / turns
        points.append(centre + u * along + v * across + rng.normal(0, 0.6, 2))
    return densify(chaikin(points, 2))


def coil(rng):
    """A looping spring-like scribble drifting in one direction."""
    centre = rng.rand(2) * SIZE
    radius, turns = rng.uniform(3, 7), rng.uniform(3, 7)
    angle = rng.rand() * 2 * np.pi
    drift = np.array([np.cos(angle), np.sin(angle)]) * rng.uniform(1.5, 3.5)
    points = []
    for t in np.linspace(0, turns * 2 * np.pi, int(turns * 40)):
        r = radius * (1 + 0.25 * np.sin(t * 0.7 + rng.rand()))
        points.append(centre + drift * t / (2 * np.pi) + r * np.array([np.cos(t), np.sin(t)]))
    return densify(points)


def stroke_cover(points, radius):
    """Coverage of a round brush dragged along the points, wrapping at the edges."""
    cover = np.zeros((SIZE, SIZE))
    reach = int(np.ceil(radius + 1))
    offsets = np.arange(-reach, reach + 1)
    for px, py in points:
        xs = int(np.floor(px)) + offsets
        ys = int(np.floor(py)) + offsets
        d = np.sqrt((xs + 0.5 - px)[None, :] ** 2 + (ys + 0.5 - py)[:, None] ** 2)
        yy, xx = (ys % SIZE)[:, None], (xs % SIZE)[None, :]
        cover[yy, xx] = np.maximum(cover[yy, xx], np.clip(radius - d + 0.5, 0, 1))
    return cover


def make():
    """128 x 128 x 3 uint8, rows top to bottom."""
    rng = np.random.RandomState(SEED)
    grain = 0.3 * rng.rand(SIZE, SIZE) + 0.7 * periodic_noise(rng, 1.2)
    canvas = np.ones((SIZE, SIZE, 3)) * np.array(PAPER, dtype=np.float64)
    for entry in WASH_COLOURS:
        w = WASH_STRENGTH * periodic_noise(rng, 12.0)[..., None]
        canvas = canvas * (1 - w) + PALETTE[entry] * w
    for _ in range(STROKES):
        points = hatch(rng) if rng.rand() < HATCH_SHARE else coil(rng)
        colour = PALETTE[rng.randint(len(PALETTE))] * rng.uniform(0.92, 1.0)
        cover = stroke_cover(points, rng.uniform(0.8, 1.3))
        # wax catches only on the paper's raised grain, which breaks the stroke up
        cover *= np.clip((grain - rng.uniform(0.2, 0.4)) * 5, 0, 1) * rng.uniform(0.85, 1.0)
        canvas = canvas * (1 - cover[..., None]) + colour * cover[..., None]
    return np.clip(np.round(canvas), 0, 255).astype(np.uint8)
