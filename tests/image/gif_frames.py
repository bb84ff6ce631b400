#!/usr/bin/env python3
"""Frames of animated GIFs as other programs show them, for the GIF decoder
tests.

  gif_frames.py pillow DIR      for every DIR/NAME.gif, NAME.pillow: the frames
                                as Pillow composes them
  gif_frames.py gifsicle DIR    for every DIR/NAME.gif, NAME.gifsicle: the frames
                                of `gifsicle --unoptimize --explode`, each
                                exploded frame read on its own
  gif_frames.py optimised DIR   writes animations of opaque frames as Pillow
                                writes them (NAME.plain.gif: update rectangles
                                after the first frame, most with a local colour
                                table), the frames themselves (NAME.frames) and,
                                when gifsicle exists, what gifsicle -O3 makes of
                                them (NAME.gifsicle.gif)

Every frames file is "W H N\\n" followed by N frames of W x H x 4 bytes, top
row first, channels R G B A (A is 0 or 255).
"""
import glob
import os
import random
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageSequence


def write_frames(path, frames):
    w, h = frames[0].size
    with open(path, 'wb') as f:
        f.write(b'%d %d %d\n' % (w, h, len(frames)))
        for im in frames:
            f.write(im.convert('RGBA').tobytes())


def pillow(folder):
    for gif in sorted(glob.glob(os.path.join(folder, '*.gif'))):
        with Image.open(gif) as im:
            frames = [frame.convert('RGBA') for frame in ImageSequence.Iterator(im)]
        write_frames(gif[:-4] + '.pillow', frames)


def gifsicle(folder):
    scratch = tempfile.mkdtemp()
    try:
        for gif in sorted(glob.glob(os.path.join(folder, '*.gif'))):
            prefix = os.path.join(scratch, os.path.basename(gif))
            subprocess.run(['gifsicle', '--unoptimize', '--explode', gif, '-o', prefix], check=True)
            frames = []
            for part in sorted(glob.glob(prefix + '.*')):
                with Image.open(part) as im:
                    frames.append(im.convert('RGBA'))
                os.remove(part)
            write_frames(gif[:-4] + '.gifsicle', frames)
    finally:
        shutil.rmtree(scratch)


def optimised(folder):
    rng = random.Random(7)
    for n in range(6):
        w, h = rng.randrange(20, 60), rng.randrange(15, 50)
        base = [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(150)]
        order = list(range(150))
        frames = []
        for k in range(rng.randrange(3, 8)):
            # The still part has the same colours on every frame, but most
            # frames list them in an order of their own (a local table), and
            # the moving part has colours of its own: at most 250 colours a
            # frame, so that an optimiser can add a transparent entry.
            if k % 3 != 2:
                rng.shuffle(order)
            extra = [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(100)]
            palette = [base[i] for i in order] + extra
            where = {i: order.index(i) for i in range(150)}
            im = Image.new('P', (w, h))
            im.putpalette([v for c in palette for v in c])
            px = im.load()
            x0, y0 = rng.randrange(w), rng.randrange(h)
            for y in range(h):
                for x in range(w):
                    moving = abs(x - (x0 + 3 * k) % w) < 7 and abs(y - y0) < 6
                    px[x, y] = 150 + rng.randrange(100) if moving else where[(x // 5 + y // 4 + n) % 150]
            frames.append(im)
        name = os.path.join(folder, 'anim%d' % n)
        frames[0].save(name + '.plain.gif', save_all=True, append_images=frames[1:], duration=50, loop=0,
                       optimize=False, disposal=1)
        write_frames(name + '.frames', frames)
        if shutil.which('gifsicle'):
            subprocess.run(['gifsicle', '-O3', name + '.plain.gif', '-o', name + '.gifsicle.gif'], check=True,
                           stderr=subprocess.DEVNULL)


if __name__ == '__main__':
    {'pillow': pillow, 'gifsicle': gifsicle, 'optimised': optimised}[sys.argv[1]](sys.argv[2])
