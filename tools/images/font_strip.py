"""The scroll-text font: parses assets/font.txt into the 512 x 16 alpha strip."""
import numpy as np

STRIP_W, STRIP_H = 512, 16
CELL_W, CELL_H = 12, 16
CHARS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ.,;:\\/-?!#"
INK, EMPTY = "#", "."


def parse(text):
    """Returns the glyph cells of a font file as a list of CELL_H x CELL_W bool arrays."""
    cells = []
    rows = None
    for number, line in enumerate(text.split("\n"), 1):
        if line.startswith("cell "):
            n, ch = line[5:].split(" ", 1)
            if int(n) != len(cells) or ch != CHARS[len(cells)]:
                raise ValueError("line %d: expected cell %d %s" % (number, len(cells), CHARS[len(cells)]))
            rows = []
            cells.append(rows)
        elif line and not set(line) - set(INK + EMPTY):
            # a glyph row; comments also start with '#' but always hold other characters
            if rows is None or len(rows) == CELL_H:
                raise ValueError("line %d: glyph row outside a cell" % number)
            if len(line) != CELL_W:
                raise ValueError("line %d: a glyph row is %d texels wide" % (number, CELL_W))
            rows.append([c == INK for c in line])
        elif line and not line.startswith("# "):
            raise ValueError("line %d: not a comment, cell header or glyph row" % number)
    if len(cells) != len(CHARS) or any(len(c) != CELL_H for c in cells):
        raise ValueError("the font needs %d cells of %d rows" % (len(CHARS), CELL_H))
    return [np.array(c, dtype=bool) for c in cells]


def make(font_file):
    """The GL_ALPHA strip: 255 where a glyph is inked, 0 elsewhere."""
    with open(font_file, encoding="ascii") as f:
        cells = parse(f.read())
    strip = np.zeros((STRIP_H, STRIP_W), dtype=np.uint8)
    for n, cell in enumerate(cells):
        strip[:, n * CELL_W : (n + 1) * CELL_W][cell] = 255
    return strip
