#!/usr/bin/python3
"""Draws the application icon: a phone screen with three animation frames."""
import sys
from pathlib import Path
from PIL import Image, ImageDraw


def draw(size):
    s = size / 64.0
    img = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    # Rounded tile in the suite's teal.
    d.rounded_rectangle([1 * s, 1 * s, 63 * s, 63 * s], radius=14 * s, fill=(14, 116, 144, 255))
    d.rounded_rectangle([4 * s, 4 * s, 60 * s, 32 * s], radius=11 * s, fill=(34, 150, 176, 255))
    # Three frames, the front one bright.
    d.rounded_rectangle([12 * s, 10 * s, 40 * s, 38 * s], radius=4 * s, fill=(125, 211, 252, 160))
    d.rounded_rectangle([18 * s, 16 * s, 46 * s, 44 * s], radius=4 * s, fill=(186, 230, 253, 210))
    d.rounded_rectangle([24 * s, 22 * s, 52 * s, 50 * s], radius=4 * s, fill=(255, 255, 255, 255))
    # A play mark on the front frame.
    d.polygon([(33 * s, 29 * s), (33 * s, 43 * s), (45 * s, 36 * s)], fill=(249, 115, 22, 255))
    return img


def main(out_dir):
    out = Path(out_dir)
    draw(256).save(out / "app_icon.png")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
