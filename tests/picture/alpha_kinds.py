#!/usr/bin/python3
"""The same grey picture with transparency, stored as every kind of PNG that
has transparency, with and without a background colour of its own.

Usage: alpha_kinds.py OUTDIR

Pixel (x, y) of the 16 x 16 picture has grey level LEVELS[x] and opacity
ALPHAS[y]. Files, for SUFFIX "" (no bKGD) and "-bkgd" (bKGD grey 40):
  rgba8SUFFIX.png   8-bit RGBA (keeps an alpha plane when decoded)
  ga16SUFFIX.png    16-bit grey with alpha (keeps an alpha plane when decoded)
  ga8SUFFIX.png     8-bit grey with alpha (composed by libpng)
  rgba16SUFFIX.png  16-bit RGBA (composed by libpng)
  palSUFFIX.png     palette with tRNS (composed by libpng)
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "image"))
from decode_samples import png_bytes  # noqa: E402

LEVELS = [0, 1, 17, 40, 64, 100, 127, 128, 150, 191, 192, 193, 220, 240, 254, 255]
ALPHAS = [0, 1, 2, 30, 64, 100, 127, 128, 129, 160, 200, 230, 253, 254, 255, 77]
BACKGROUND = 40
SIZE = 16


def main(outdir):
    os.makedirs(outdir, exist_ok=True)
    pairs = [(LEVELS[x], ALPHAS[y]) for y in range(SIZE) for x in range(SIZE)]
    palette = [(g, g, g) for g, _ in pairs]
    trns = bytes(a for _, a in pairs)
    # bKGD of a palette file names an entry: the first of grey 40 (column 3).
    bkgd_index = pairs.index((BACKGROUND, ALPHAS[0]))
    for suffix, bkgd in (("", False), ("-bkgd", True)):
        def rows(fn):
            return [[fn(LEVELS[x], ALPHAS[y]) for x in range(SIZE)] for y in range(SIZE)]

        def grey(depth):
            return (BACKGROUND * (257 if depth == 16 else 1)).to_bytes(2, "big")

        kinds = {
            "rgba8": (6, 8, rows(lambda g, a: (g, g, g, a)), None, None, grey(8) * 3),
            "ga16": (4, 16, rows(lambda g, a: (g * 257, a * 257)), None, None, grey(16)),
            "ga8": (4, 8, rows(lambda g, a: (g, a)), None, None, grey(8)),
            "rgba16": (6, 16, rows(lambda g, a: (g * 257, g * 257, g * 257, a * 257)), None, None, grey(16) * 3),
            "pal": (3, 8, [[(y * SIZE + x,) for x in range(SIZE)] for y in range(SIZE)], palette, trns,
                    bytes([bkgd_index])),
        }
        for name, (ctype, depth, data, pal, tr, chunk) in kinds.items():
            with open(os.path.join(outdir, name + suffix + ".png"), "wb") as f:
                f.write(png_bytes(SIZE, SIZE, ctype, depth, data, palette=pal, trns=tr, bkgd=chunk if bkgd else None))


if __name__ == "__main__":
    main(sys.argv[1])
