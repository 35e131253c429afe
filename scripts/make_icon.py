#!/usr/bin/python3
"""Draws Brenthaul's application icon and writes it as cli/brenthaul.ico.

The picture: two folders side by side, a sheet of data in each, and a blue arrow carrying the data
from the left folder into the right one. One image, 64 x 64 pixels at 24 bits per pixel, with a
1-bit mask that keeps the corners transparent. Standard library only, and no randomness, so the
same script always writes the same bytes:

    /usr/bin/python3 scripts/make_icon.py [output.ico]
"""

import os
import struct
import sys

SIZE = 64

FOLDER_FILL = (242, 192, 64)
FOLDER_FRONT = (250, 212, 104)
FOLDER_EDGE = (140, 92, 16)
PAPER = (255, 255, 255)
PAPER_EDGE = (150, 150, 150)
PAPER_LINE = (120, 160, 220)
ARROW_FILL = (32, 112, 220)
ARROW_EDGE = (12, 48, 120)


def blank():
    """A canvas of SIZE x SIZE pixels, all transparent (None)."""
    return [[None] * SIZE for _ in range(SIZE)]


def fill(canvas, left, top, right, bottom, colour):
    """Fills the rectangle with corners (left, top) and (right, bottom), both included."""
    for y in range(max(top, 0), min(bottom, SIZE - 1) + 1):
        for x in range(max(left, 0), min(right, SIZE - 1) + 1):
            canvas[y][x] = colour


def box(canvas, left, top, right, bottom, colour, edge):
    """A filled rectangle with a one-pixel outline."""
    fill(canvas, left, top, right, bottom, edge)
    fill(canvas, left + 1, top + 1, right - 1, bottom - 1, colour)


def folder(canvas, left):
    """A manila folder 28 pixels wide whose left edge is at `left`, holding one sheet of data."""
    right = left + 27
    box(canvas, left, 16, left + 11, 24, FOLDER_FILL, FOLDER_EDGE)  # the tab
    box(canvas, left, 20, right, 53, FOLDER_FILL, FOLDER_EDGE)  # the back
    box(canvas, left + 4, 13, right - 4, 40, PAPER, PAPER_EDGE)  # the sheet sticking out
    for y in (17, 21, 25):
        fill(canvas, left + 7, y, right - 7, y, PAPER_LINE)
    box(canvas, left, 28, right, 53, FOLDER_FRONT, FOLDER_EDGE)  # the front flap


def arrow(canvas):
    """A right-pointing arrow from the left folder's middle into the right folder."""
    shaft_top, shaft_bottom, head_left, tip = 35, 43, 40, 56
    middle = (shaft_top + shaft_bottom) / 2.0
    half_height = 12
    # The outline first, one pixel wider on every side; then the fill inside it.
    for inset, colour in ((0, ARROW_EDGE), (1, ARROW_FILL)):
        fill(canvas, 12 + inset, shaft_top + inset, head_left, shaft_bottom - inset, colour)
        for x in range(head_left, tip + 1):
            # The head narrows linearly from half_height at head_left to nothing at the tip.
            reach = half_height * (tip - x) / float(tip - head_left) - inset * 1.6
            if reach < 0:
                continue
            for y in range(SIZE):
                if abs(y + 0.5 - (middle + 0.5)) <= reach:
                    canvas[y][x] = colour


def draw():
    canvas = blank()
    folder(canvas, 1)
    folder(canvas, 35)
    arrow(canvas)
    return canvas


def ico_bytes(canvas):
    """The .ico file: one directory entry and one BMP-format image (colours, then the mask)."""
    # Bottom-up rows of blue, green, red; 64 * 3 = 192 bytes a row is already a multiple of 4.
    colours = bytearray()
    for row in reversed(canvas):
        for pixel in row:
            red, green, blue = pixel if pixel is not None else (0, 0, 0)
            colours += bytes((blue, green, red))
    # The AND mask, also bottom-up: bit 1 is transparent. 64 bits = 8 bytes a row, padded to 4.
    mask = bytearray()
    for row in reversed(canvas):
        bits = 0
        for pixel in row:
            bits = (bits << 1) | (1 if pixel is None else 0)
        mask += bits.to_bytes(SIZE // 8, "big")
    # BITMAPINFOHEADER: the height counts the colour image and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0,
                         len(colours) + len(mask), 0, 0, 0, 0)
    image = header + bytes(colours) + bytes(mask)
    # ICONDIR (reserved, type 1 = icon, one image) and its ICONDIRENTRY.
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return directory + entry + image


def main():
    default = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "cli",
                           "brenthaul.ico")
    output = sys.argv[1] if len(sys.argv) > 1 else default
    with open(output, "wb") as stream:
        stream.write(ico_bytes(draw()))


if __name__ == "__main__":
    main()
