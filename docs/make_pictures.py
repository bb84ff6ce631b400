#!/usr/bin/python3
"""Makes README's pictures of the six pages from the English screenshots that
ctest's e2e.screenshots keeps (build/test-artifacts/screens/).

Usage: docs/make_pictures.py [SCREENS_FOLDER]

The screenshots show the window on a plain backdrop; the backdrop around the
window's shape (its rounded corners and curved lower sides) becomes
transparent, and the picture is stored with a palette to stay small.
"""
import os
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
BACKDROP = (0x7a, 0x8b, 0xa0)

# README picture <- screenshot
PAGES = [
    ("start-page.png", "EN-1-start.png"),
    ("content-page.png", "EN-2-content.png"),
    ("picture-editor.png", "EN-3b-picture-edited.png"),
    ("animation-editor.png", "EN-4-animation.png"),
    ("save-page.png", "EN-5-save.png"),
    ("transfer-page.png", "EN-7-sent.png"),
]


def outside_shape(picture):
    """The backdrop pixels reached from the picture's edges: what lies outside the window."""
    width, height = picture.size
    pixels = picture.load()
    seen = set()
    stack = [(x, y) for x in range(width) for y in (0, height - 1)] + \
            [(x, y) for y in range(height) for x in (0, width - 1)]
    while stack:
        x, y = stack.pop()
        if (x, y) in seen or not (0 <= x < width and 0 <= y < height) or pixels[x, y] != BACKDROP:
            continue
        seen.add((x, y))
        stack.extend(((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)))
    return seen


def main():
    screens = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build", "test-artifacts", "screens")
    for name, shot in PAGES:
        picture = Image.open(os.path.join(screens, shot)).convert("RGB")
        if picture.size != (580, 411):
            sys.exit(f"{shot}: {picture.size[0]} x {picture.size[1]}, not the 580 x 411 window")
        # The page's own colours in a palette, then one more entry for the transparent outside.
        small = picture.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
        palette = small.getpalette()[:255 * 3] + [0, 0, 0]
        small.putpalette(palette)
        pixels = small.load()
        for x, y in outside_shape(picture):
            pixels[x, y] = 255
        small.save(os.path.join(HERE, name), optimize=True, transparency=255)
        print(f"docs/{name} <- {shot}: {os.path.getsize(os.path.join(HERE, name))} bytes")


if __name__ == "__main__":
    main()
