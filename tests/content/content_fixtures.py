#!/usr/bin/env python3
"""Writes the picture files the content tests list and load, with Pillow as an
encoder independent of ours. Usage: content_fixtures.py SET FOLDER

Sets:
  mixed   one file of each kind the list meets (see MIXED below)
  many    COUNT photos "p000.jpg" ... of 800 x 600 (COUNT from the third
          argument, default 30), each one decode of some milliseconds
  few     three small pictures "a.png", "b.gif", "c.bmp"
  jpeg    "big.jpg" 1000 x 800 and "wide.jpg" 100 x 60, for reduced decoding
"""
import os
import sys

from PIL import Image


def gradient(width, height):
    """An RGB picture whose colours are never near black (all channels >= 40):
    red grows to the right, green downwards."""
    ramp = Image.linear_gradient("L").point(lambda v: 40 + v * 200 // 255)
    red = ramp.transpose(Image.Transpose.ROTATE_90)
    red = red.resize((width, height))
    green = ramp.resize((width, height))
    blue = Image.new("L", (width, height), 120)
    return Image.merge("RGB", (red, green, blue))


def photo(width, height, seed):
    """Something photo-like that does not compress to nothing."""
    noise = Image.effect_noise((width, height), 60 + seed % 20)
    base = gradient(width // 8 + 1, height // 8 + 1).resize((width, height))
    return Image.merge("RGB", (noise, base.getchannel(1), base.getchannel(2)))


def write_mixed(folder):
    gradient(200, 100).save(os.path.join(folder, "photo.jpg"), quality=90)
    gradient(40, 30).save(os.path.join(folder, "Upper.JPG"), quality=90)
    rgba = Image.new("RGBA", (40, 30), (200, 60, 60, 255))
    for y in range(15):
        for x in range(20):
            rgba.putpixel((x, y), (0, 0, 0, 0))
    rgba.save(os.path.join(folder, "alpha.png"))
    # A palette picture of red and white only: red is the entry nearest to black.
    pal = Image.new("P", (128, 64), 1)
    pal.putpalette([255, 0, 0, 255, 255, 255] + [255, 255, 255] * 254)
    for y in range(64):
        for x in range(64):
            pal.putpixel((x, y), 0)
    pal.save(os.path.join(folder, "redwhite.gif"))
    gradient(30, 20).convert("L").save(os.path.join(folder, "grey.bmp"))
    gradient(20, 20).save(os.path.join(folder, "lying.jpg"), format="PNG")
    with open(os.path.join(folder, "broken.png"), "wb") as f:
        f.write(b"this is no picture at all")
    with open(os.path.join(folder, "broken.gif"), "wb") as f:
        f.write(b"GIF89a\x10\x00\x10\x00\x80\x00\x00garbage")
    with open(os.path.join(folder, "notes.txt"), "w") as f:
        f.write("not listed as a picture\n")
    with open(os.path.join(folder, "README"), "w") as f:
        f.write("no extension\n")
    gradient(10, 10).save(os.path.join(folder, ".hidden.png"))
    os.mkdir(os.path.join(folder, "sub.jpg"))
    gradient(10, 10).save(os.path.join(folder, "sub.jpg", "inside.png"))


def write_many(folder, count):
    for i in range(count):
        photo(800, 600, i).save(os.path.join(folder, "p%03d.jpg" % i), quality=90)


def write_few(folder):
    gradient(50, 40).save(os.path.join(folder, "a.png"))
    gradient(64, 64).convert("P").save(os.path.join(folder, "b.gif"))
    gradient(30, 20).save(os.path.join(folder, "c.bmp"))


def write_jpeg(folder):
    gradient(1000, 800).save(os.path.join(folder, "big.jpg"), quality=90)
    gradient(100, 60).save(os.path.join(folder, "wide.jpg"), quality=90)


def main():
    which, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    if which == "mixed":
        write_mixed(folder)
    elif which == "many":
        write_many(folder, int(sys.argv[3]) if len(sys.argv) > 3 else 30)
    elif which == "few":
        write_few(folder)
    elif which == "jpeg":
        write_jpeg(folder)
    else:
        sys.exit("unknown set " + which)


if __name__ == "__main__":
    main()
