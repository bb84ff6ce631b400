#!/usr/bin/env python3
"""Draws fallback_thumbnail.png: the 28 x 28 picture (with alpha) shown in place
of a thumbnail or picture that cannot be read. A neutral framed landscape: a grey
frame, a pale sky, a sun and two hills. Drawn at 8x size and scaled down so the
edges are smooth; white under the transparent pixels. Usage: make_fallback_thumbnail.py [output.png]"""
import os
import sys

from PIL import Image, ImageDraw

SIDE = 28
SCALE = 8


def draw():
    big = SIDE * SCALE
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)

    def box(x0, y0, x1, y1):
        return [x0 * SCALE, y0 * SCALE, x1 * SCALE - 1, y1 * SCALE - 1]

    # Frame with a soft shadow, then the picture area inside it.
    d.rounded_rectangle(box(3, 5, 27, 26), radius=2 * SCALE, fill=(0, 0, 0, 60))
    d.rounded_rectangle(box(2, 4, 26, 25), radius=2 * SCALE, fill=(246, 246, 246, 255),
                        outline=(128, 128, 128, 255), width=SCALE)
    d.rectangle(box(5, 7, 23, 22), fill=(208, 218, 228, 255))
    # Sun and hills.
    d.ellipse(box(16, 9, 21, 14), fill=(250, 250, 250, 255), outline=(170, 170, 170, 255), width=SCALE // 2)
    d.polygon([(5 * SCALE, 22 * SCALE), (11 * SCALE, 13 * SCALE), (17 * SCALE, 22 * SCALE)],
              fill=(120, 132, 140, 255))
    d.polygon([(12 * SCALE, 22 * SCALE), (17 * SCALE, 16 * SCALE), (23 * SCALE, 22 * SCALE)],
              fill=(152, 162, 168, 255))
    small = img.resize((SIDE, SIDE), Image.LANCZOS)
    # Fully transparent pixels carry white rather than black, so that a
    # program that shows the picture without its alpha sees a light square.
    px = small.load()
    for y in range(SIDE):
        for x in range(SIDE):
            if px[x, y][3] == 0:
                px[x, y] = (255, 255, 255, 0)
    return small


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                             "fallback_thumbnail.png")
    draw().save(out, optimize=True)


if __name__ == "__main__":
    main()
