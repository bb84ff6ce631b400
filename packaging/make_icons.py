#!/usr/bin/python3
"""Makes the desktop icon in the sizes of the hicolor theme from the application icon.

Usage: make_icons.py APP_ICON.png OUT_DIR NAME
Writes OUT_DIR/hicolor/<N>x<N>/apps/NAME.png for every size; sizes smaller than
the source are scaled down with a Lanczos filter on premultiplied colours, so the
transparent corners do not bleed a dark fringe into the tile.
"""
import os
import sys

from PIL import Image

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    source, out_dir, name = sys.argv[1:]
    icon = Image.open(source).convert("RGBA")
    if icon.width != icon.height or icon.width < max(SIZES):
        sys.exit(f"make_icons.py: {source} must be square and at least {max(SIZES)} pixels wide")
    premultiplied = icon.convert("RGBa")
    for size in SIZES:
        folder = os.path.join(out_dir, "hicolor", f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        scaled = premultiplied.resize((size, size), Image.LANCZOS).convert("RGBA")
        # No time stamps or other text chunks: the same source gives the same bytes.
        scaled.save(os.path.join(folder, name + ".png"), optimize=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
