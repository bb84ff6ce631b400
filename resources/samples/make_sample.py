#!/usr/bin/python3
"""Writes bouncing-ball.gif beside this script: the sample animation that
scripts/run turns into a phone animation when no display is available.

24 frames of 200 x 150: a ball bouncing over a striped floor under a sky that
darkens, every frame 8 hundredths of a second, the last one 40.
Run it again to remake the file; the output is the same each time.
"""
import math
import os

from PIL import Image, ImageDraw

W, H, FRAMES = 200, 150, 24


def frame(k):
    t = k / FRAMES
    sky = (90 - int(40 * t), 150 - int(50 * t), 230 - int(60 * t))
    im = Image.new('RGB', (W, H), sky)
    d = ImageDraw.Draw(im)
    for i in range(0, W, 20):
        d.rectangle([i, 120, i + 9, H], fill=(60, 160, 70))
        d.rectangle([i + 10, 120, i + 19, H], fill=(40, 120, 50))
    x = 20 + int(160 * t)
    y = 100 - int(80 * abs(math.sin(math.pi * 2 * t)))
    d.ellipse([x - 14, y - 14, x + 14, y + 14], fill=(230, 60, 40), outline=(120, 20, 10))
    d.ellipse([x - 8, y - 9, x - 2, y - 3], fill=(255, 200, 180))
    return im.quantize(colors=32, dither=Image.Dither.NONE)


def main():
    frames = [frame(k) for k in range(FRAMES)]
    durations = [80] * (FRAMES - 1) + [400]
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'bouncing-ball.gif')
    frames[0].save(out, save_all=True, append_images=frames[1:], duration=durations, loop=0, optimize=False)


if __name__ == '__main__':
    main()
