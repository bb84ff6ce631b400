#!/usr/bin/python3
"""The picture editor page against peer tools doing the same work, in one run.

Usage: picture_compare.py [BUILD_DIR] [--moves N] [--runs R]

1. Dragging the selection over a 4000 x 3000 photo (JPEG): one mouse move of
   the page (cut-out, scaling, lightness, preview and picture redrawn), timed
   by bench/picture_page_driver through the page itself, against Pillow's
   crop(box).resize((128, 128), BILINEAR) of the same cut of the same photo.
   The page edits the photo as the animation holds it (an 8-bit palette
   picture); "true colour" is the photo as decoded, which the wizard never
   hands the editor but which is Pillow's own case.
2. Next on the open path for a 100-frame 320 x 240 animated GIF: every frame
   cut out and scaled to 128 x 128. The page's Next (frames already built, no
   file written) and the whole `tessary-anim make` process against
   `gifsicle --crop X,Y+WxH --resize 128x128`.

Prints each time (median) and the ratios ours / peer (below 1: ours is faster).
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
PICTURES = os.path.join(TOP, 'tests', 'picture', 'picture_fixtures.py')
ANIMATIONS = os.path.join(TOP, 'tests', 'anim', 'anim_fixtures.py')


def run(cmd):
    return subprocess.run(cmd, check=True, capture_output=True, text=True).stdout


def timed(cmd, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times) * 1000.0


def field(text, name):
    m = re.search(r'^' + name + r' (\S+)', text, re.M)
    if not m:
        sys.exit('no "%s" in the driver output:\n%s' % (name, text))
    return m.group(1)


def pillow_move_ms(photo, cut, runs):
    from PIL import Image
    im = Image.open(photo).convert('RGB')
    im.load()
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        im.crop(cut).resize((128, 128), Image.BILINEAR)
        times.append(time.perf_counter() - start)
    return statistics.median(times) * 1000.0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('build', nargs='?', default=os.path.join(TOP, 'build'))
    parser.add_argument('--moves', type=int, default=200)
    parser.add_argument('--runs', type=int, default=5)
    args = parser.parse_args()
    build, moves, runs = args.build, args.moves, args.runs
    driver = os.path.join(build, 'bin', 'picture_page_driver')
    tool = os.path.join(build, 'bin', 'tessary-anim')
    with tempfile.TemporaryDirectory() as d:
        photo = os.path.join(d, 'photo-4000x3000.jpg')
        run(['/usr/bin/python3', PICTURES, 'photo', photo, '4000', '3000'])
        anim = os.path.join(d, 'anim-100-320x240.gif')
        run(['/usr/bin/python3', ANIMATIONS, 'gif', anim, '100', '320', '240', '4,8,12'])

        print('One mouse move while dragging over a 4000 x 3000 photo')
        palette = run([driver, 'move', photo, str(moves)])
        cut = tuple(int(v) for v in field(palette, 'cut').split(','))
        ours8 = float(re.search(r'move_ms median (\S+) p90 (\S+)', palette).group(1))
        p90 = float(re.search(r'move_ms median (\S+) p90 (\S+)', palette).group(2))
        true = run([driver, 'move', photo, str(max(20, moves // 5)), '--truecolour'])
        ours24 = float(re.search(r'move_ms median (\S+)', true).group(1))
        pillow = pillow_move_ms(photo, cut, max(20, moves // 5))
        print('  cut %s (picture pixels) to 128 x 128' % (cut,))
        print('  page, palette picture  %8.2f ms (90th percentile %.2f ms)' % (ours8, p90))
        print('  page, true colour      %8.2f ms' % ours24)
        print('  Pillow crop+resize     %8.2f ms' % pillow)
        print('  ours / Pillow          palette %.2f   true colour %.2f' % (ours8 / pillow, ours24 / pillow))

        print('Next on the open path, 100 frames of 320 x 240 to 128 x 128')
        nxt = run([driver, 'next', anim, str(runs)])
        select = field(nxt, 'select')
        l, t, r, b = (int(v) for v in field(nxt, 'cut').split(','))
        ours_next = float(re.search(r'next_ms median (\S+)', nxt).group(1))
        out_g = os.path.join(d, 'gifsicle.gif')
        out_m = os.path.join(d, 'make.gif')
        gifsicle = timed(['gifsicle', '--crop', '%d,%d+%dx%d' % (l, t, r - l, b - t), '--resize', '128x128',
                          anim, '-o', out_g], runs)
        # No phone limit: the same work as the page's Next, whatever the size.
        make = timed([tool, 'make', anim, '--select', select, '--max-bytes', '0', '-o', out_m], runs)
        print('  page Next (in memory)  %8.2f ms' % ours_next)
        print('  tessary-anim make      %8.2f ms (whole process: read, Next, write)' % make)
        print('  gifsicle               %8.2f ms (whole process)' % gifsicle)
        print('  ours / gifsicle        Next %.2f   make %.2f' % (ours_next / gifsicle, make / gifsicle))


if __name__ == '__main__':
    main()
