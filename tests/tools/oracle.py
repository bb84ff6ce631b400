#!/usr/bin/python3
"""Independent decoding for the tessary-anim tests, with Pillow and gifsicle.

  oracle.py fixtures DIR        writes the test pictures into DIR
  oracle.py frames FILE PREFIX  writes every frame of FILE, as Pillow shows it,
                                to PREFIX<k>.ppm and prints the frame count and
                                each frame's duration in milliseconds
  oracle.py explode GIF PREFIX  lets gifsicle split GIF into one file per frame
                                and writes each, decoded by Pillow, to PREFIX<k>.ppm
"""
import glob
import os
import struct
import subprocess
import sys

from PIL import Image, ImageSequence


def fixtures(d):
    # 32 x 32 true colour, far more than 256 colours.
    grad = Image.new('RGB', (32, 32))
    for y in range(32):
        for x in range(32):
            grad.putpixel((x, y), (x * 8, y * 8, (x * y) % 256))
    grad.save(os.path.join(d, 'gradient.png'))
    grad.save(os.path.join(d, 'gradient.jpg'), quality=90)

    # 200 colours that differ in their top seven bits, low bits set: a GIF
    # palette can hold each of them exactly.
    few = Image.new('RGB', (20, 10))
    for i in range(200):
        few.putpixel((i % 20, i // 20), ((i % 128) * 2 + 1, (i // 128) * 100 + 3, (i * 7 % 128) * 2 + 1))
    few.save(os.path.join(d, 'exact.png'))

    # 16-colour GIF (a 4-bit picture) and a 1-bit BMP, 32 x 32.
    pal = Image.new('P', (32, 32))
    pal.putpalette([v for i in range(16) for v in (i * 16, 255 - i * 16, (i * 40) % 256)])
    for y in range(32):
        for x in range(32):
            pal.putpixel((x, y), (x // 2 + y) % 16)
    pal.save(os.path.join(d, 'sixteen.gif'))
    mono = Image.new('1', (32, 32))
    for y in range(32):
        for x in range(32):
            mono.putpixel((x, y), 255 if (x * y) % 3 == 0 else 0)
    mono.save(os.path.join(d, 'mono.bmp'))

    # Red, green, blue and alpha, the alpha from 0 to 255.
    rgba = Image.new('RGBA', (4, 2))
    for i in range(8):
        rgba.putpixel((i % 4, i // 4), (i * 30, 255 - i, 7, i * 36 if i < 7 else 255))
    rgba.save(os.path.join(d, 'rgba.png'))
    with open(os.path.join(d, 'rgba.raw'), 'wb') as f:
        f.write(rgba.tobytes())

    # Five full-size frames with their own delays, and a transparent index.
    frames = []
    for k in range(5):
        f = Image.new('P', (12, 9), k)
        f.putpalette([v for i in range(8) for v in (i * 30, 200 - i * 20, 50 + i)] + [0] * (3 * 248))
        frames.append(f)
    frames[0].save(os.path.join(d, 'five.gif'), save_all=True, append_images=frames[1:],
                   duration=[10, 20, 30, 40, 50], loop=0, optimize=False, disposal=1, transparency=7)

    # Files cut short, each still holding a part of its picture.
    grad.save(os.path.join(d, 'gradient.bmp'))
    for src, name, keep in (('gradient.jpg', 'cut.jpg', lambda n: n * 2 // 3),
                            ('five.gif', 'cut.gif', lambda n: n - 3),
                            ('gradient.bmp', 'cut.bmp', lambda n: 54 + 96 * 10 + 5),
                            ('gradient.png', 'cut.png', lambda n: n // 2)):
        with open(os.path.join(d, src), 'rb') as f:
            data = f.read()
        with open(os.path.join(d, name), 'wb') as f:
            f.write(data[:keep(len(data))])

    # A PNG whose name says JPEG.
    with open(os.path.join(d, 'gradient.png'), 'rb') as f, open(os.path.join(d, 'png_named.jpg'), 'wb') as g:
        g.write(f.read())

    # BMP files we cannot read: 2 bits per pixel, and a PNG inside a BMP.
    def bmp(bits, compression, payload):
        info = struct.pack('<IiiHHIIiiII', 40, 4, 2, 1, bits, compression, len(payload), 2835, 2835, 0, 0)
        return struct.pack('<2sIHHI', b'BM', 54 + len(payload), 0, 0, 54) + info + payload
    with open(os.path.join(d, 'two_bits.bmp'), 'wb') as f:
        f.write(bmp(2, 0, bytes(16)))
    with open(os.path.join(d, 'gradient.png'), 'rb') as f:
        png = f.read()
    with open(os.path.join(d, 'embedded_png.bmp'), 'wb') as f:
        f.write(bmp(0, 5, png))


    # Three frames with a 256-colour table each (reds, blues, greens); the
    # later two cover part of the screen, so they show more than 256 colours.
    tables = []
    for t, box in enumerate([None, (2, 2, 22, 22), (18, 8, 38, 28)]):
        f = Image.new('P', (40, 30), 0 if box is None else 255)
        f.putpalette([v for i in range(256) for v in ((i, 40, 60), (20, i, 90), (70, 30, i))[t]])
        for y in range(30):
            for x in range(40):
                if box is None or (box[0] <= x < box[2] and box[1] <= y < box[3]):
                    f.putpixel((x, y), (x * 7 + y * 13 + t) % 255)
        if box is not None:
            f.info['transparency'] = 255
        tables.append(f)
    tables[0].save(os.path.join(d, 'tables.gif'), save_all=True, append_images=tables[1:], duration=100, loop=0,
                   optimize=False, disposal=1)


def dump(frames, prefix):
    for k, frame in enumerate(frames):
        frame.convert('RGB').save('%s%d.ppm' % (prefix, k))


def frames(path, prefix):
    im = Image.open(path)
    seq = [f.copy() for f in ImageSequence.Iterator(im)]
    durations = []
    im.seek(0)
    for f in ImageSequence.Iterator(im):
        durations.append(f.info.get('duration', 0))
    dump(seq, prefix)
    print(len(seq), *durations)


def explode(path, prefix):
    folder = os.path.dirname(prefix)
    out = os.path.join(folder, 'exploded.gif')
    subprocess.run(['gifsicle', '--explode', path, '-o', out], check=True)
    parts = sorted(glob.glob(out + '.*'), key=lambda p: int(p.rsplit('.', 1)[1]))
    dump([Image.open(p) for p in parts], prefix)
    print(len(parts))


if __name__ == '__main__':
    {'fixtures': lambda: fixtures(sys.argv[2]),
     'frames': lambda: frames(sys.argv[2], sys.argv[3]),
     'explode': lambda: explode(sys.argv[2], sys.argv[3])}[sys.argv[1]]()
