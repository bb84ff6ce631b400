#!/usr/bin/python3
"""Whole-process comparison of `tessary-anim make` with two peer pipelines that
turn a picture or an animated GIF into a 128 x 128 phone animation:

  convert SOURCE -coalesce -resize 128x128^ -gravity center -extent 128x128 OUT.gif
  gifsicle --resize-fit 128x128 SOURCE -o OUT.gif     (GIF sources only)

Sources: a 320 x 240 animated GIF, a 640 x 480 PNG and a 4000 x 3000 JPEG
photo. `make` on the animation also runs with --lzw, --optimize and
--fit-bytes 102400 (the phone's default limit), whose time is also given as a
ratio to one plain `make` of the same source.

Usage: make_compare.py [BUILD_DIR] [--frames N] [--runs R]

Prints, for each source, the median wall time, the median processor time (all
threads) and the output size of each tool, and the ratios of ours to each peer
(time ratio < 1: ours is faster; size ratio < 1: ours is smaller). On a busy
machine the processor times are the steadier figures.
"""
import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
FIXTURES = os.path.join(TOP, 'tests', 'anim', 'anim_fixtures.py')
# ImageMagick itself, not a wrapper that may come first on the PATH.
CONVERT = '/usr/bin/convert' if os.path.exists('/usr/bin/convert') else shutil.which('convert')


def make_photo(path):
    """A 4000 x 3000 photo-like JPEG: blurred noise over gradients, quality 90."""
    code = r'''
import sys
from PIL import Image, ImageFilter
noise = Image.effect_noise((4000, 3000), 40).filter(ImageFilter.GaussianBlur(2))
grad = Image.linear_gradient("L").resize((4000, 3000))
Image.merge("RGB", (noise, grad, grad.transpose(Image.FLIP_LEFT_RIGHT))).save(sys.argv[1], quality=90)
'''
    subprocess.run(['/usr/bin/python3', '-c', code, path], check=True)


def timed(cmd, runs):
    """Median wall time and median processor time (user + system, all threads)."""
    times, cpus = [], []
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
    return statistics.median(times), statistics.median(cpus)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('build', nargs='?', default=os.path.join(TOP, 'build'))
    parser.add_argument('--frames', type=int, default=256)
    parser.add_argument('--runs', type=int, default=3)
    args = parser.parse_args()
    build, frames, runs = args.build, args.frames, args.runs
    tool = os.path.join(build, 'bin', 'tessary-anim')
    with tempfile.TemporaryDirectory() as d:
        sources = []
        anim = os.path.join(d, 'anim-%d-320x240.gif' % frames)
        subprocess.run(['/usr/bin/python3', FIXTURES, 'gif', anim, str(frames), '320', '240', '4,8,12'], check=True)
        sources.append(anim)
        still = os.path.join(d, 'still-640x480.png')
        subprocess.run(['/usr/bin/python3', FIXTURES, 'gradient', still, '640', '480'], check=True)
        sources.append(still)
        photo = os.path.join(d, 'photo-4000x3000.jpg')
        make_photo(photo)
        sources.append(photo)
        for src in sources:
            outs = {name: os.path.join(d, name + '.gif') for name in ('ours', 'convert', 'gifsicle')}
            cmds = {
                'ours': [tool, 'make', src, '-o', outs['ours'], '--max-bytes', '0'],
                'convert': [CONVERT, src, '-coalesce', '-resize', '128x128^', '-gravity', 'center',
                            '-extent', '128x128', outs['convert']],
                'gifsicle': ['gifsicle', '--resize-fit', '128x128', src, '-o', outs['gifsicle']],
            }
            if not src.endswith('.gif'):
                del cmds['gifsicle']  # gifsicle reads GIF only
            else:
                outs['ours --lzw'] = os.path.join(d, 'ours-lzw.gif')
                outs['ours --optimize'] = os.path.join(d, 'ours-optimize.gif')
                cmds['ours --lzw'] = [tool, 'make', src, '-o', outs['ours --lzw'], '--lzw', '--max-bytes', '0']
                cmds['ours --optimize'] = [tool, 'make', src, '-o', outs['ours --optimize'], '--optimize', '--max-bytes', '0']
                outs['ours --fit-bytes'] = os.path.join(d, 'ours-fit.gif')
                cmds['ours --fit-bytes'] = [tool, 'make', src, '-o', outs['ours --fit-bytes'], '--fit-bytes', '102400']
            results = {}
            for name, cmd in cmds.items():
                results[name] = (timed(cmd, runs), os.path.getsize(outs[name]))
            print(os.path.basename(src))
            for name, ((t, cpu), size) in results.items():
                print('  %-15s %8.3f s wall %8.3f s cpu %9d bytes' % (name, t, cpu, size))
            (ours_t, ours_cpu), ours_size = results['ours']
            if 'ours --fit-bytes' in results:
                (t, cpu), size = results['ours --fit-bytes']
                print('  --fit-bytes / plain make  wall %.2f  cpu %.2f' % (t / ours_t, cpu / ours_cpu))
            for name in results:
                if not name.startswith('ours'):
                    (t, cpu), size = results[name]
                    print('  ours / %-9s wall %.2f  cpu %.2f  size %.2f'
                          % (name, ours_t / t, ours_cpu / cpu, ours_size / size))


if __name__ == '__main__':
    main()
