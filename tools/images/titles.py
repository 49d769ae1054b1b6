"""The two title words, brush-lettered white on black across a 512 x 64 strip."""
import numpy as np
from PIL import Image, ImageDraw, ImageFont

FONT_FILE = "/usr/share/fonts/opentype/kaushanscript/KaushanScript-Regular.otf"
WIDTH, HEIGHT = 512, 64
MARGIN_X, MARGIN_Y = 10, 5
RENDER_SIZE = 400
OVERSAMPLE = 4
WORD_A = "TOLVMARKA"
WORD_B = "SHOWTIME"


def make(word):
    """The word's ink box stretched to the strip less its margins, so both titles share
    one layout; 64 x 512 uint8 luminance."""
    font = ImageFont.truetype(FONT_FILE, RENDER_SIZE)
    left, top, right, bottom = font.getbbox(word)
    im = Image.new("L", (right - left + 20, bottom - top + 20), 0)
    ImageDraw.Draw(im).text((10 - left, 10 - top), word, font=font, fill=255)
    im = im.crop(im.getbbox())
    inner = ((WIDTH - 2 * MARGIN_X) * OVERSAMPLE, (HEIGHT - 2 * MARGIN_Y) * OVERSAMPLE)
    big = Image.new("L", (WIDTH * OVERSAMPLE, HEIGHT * OVERSAMPLE), 0)
    big.paste(im.resize(inner, Image.LANCZOS), (MARGIN_X * OVERSAMPLE, MARGIN_Y * OVERSAMPLE))
    # box filtering keeps the black background exactly 0
    return np.asarray(big.resize((WIDTH, HEIGHT), Image.BOX), dtype=np.uint8)
