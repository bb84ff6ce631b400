#!/usr/bin/python3
"""Whole-process comparison of `tessary-anim make` with two peer pipelines that
turn an animated GIF into a 128 x 128 phone animation:

  convert SOURCE -coalesce -resize 128x128^ -gravity center -extent 128x128 OUT.gif
  gifsicle --resize-fit 128x128 SOURCE -o OUT.gif

Usage: make_compare.py [BUILD_DIR] [--frames N] [--runs R]

Prints, for each source, the median wall time and output size of each tool and
the ratios of ours to each peer (time ratio < 1: ours is faster; size ratio < 1:
ours is smaller).
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
FIXTURES = os.path.join(TOP, 'tests', 'anim', 'anim_fixtures.py')


def timed(cmd, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    args = sys.argv[1:]
    build = os.path.join(TOP, 'build')
    frames, runs = 256, 3
    i = 0
    while i < len(args):
        if args[i] == '--frames':
            frames = int(args[i + 1])
            i += 2
        elif args[i] == '--runs':
            runs = int(args[i + 1])
            i += 2
        else:
            build = args[i]
            i += 1
    tool = os.path.join(build, 'bin', 'tessary-anim')
    with tempfile.TemporaryDirectory() as d:
        sources = []
        anim = os.path.join(d, 'anim-%d-320x240.gif' % frames)
        subprocess.run(['/usr/bin/python3', FIXTURES, 'gif', anim, str(frames), '320', '240', '4,8,12'], check=True)
        sources.append(anim)
        still = os.path.join(d, 'still-640x480.png')
        subprocess.run(['/usr/bin/python3', FIXTURES, 'gradient', still, '640', '480'], check=True)
        sources.append(still)
        for src in sources:
            outs = {name: os.path.join(d, name + '.gif') for name in ('ours', 'convert', 'gifsicle')}
            cmds = {
                'ours': [tool, 'make', src, '-o', outs['ours']],
                'convert': ['convert', src, '-coalesce', '-resize', '128x128^', '-gravity', 'center',
                            '-extent', '128x128', outs['convert']],
                'gifsicle': ['gifsicle', '--resize-fit', '128x128', src, '-o', outs['gifsicle']],
            }
            if not src.endswith('.gif'):
                del cmds['gifsicle']  # gifsicle reads GIF only
            results = {}
            for name, cmd in cmds.items():
                results[name] = (timed(cmd, runs), os.path.getsize(outs[name]))
            print(os.path.basename(src))
            for name, (t, size) in results.items():
                print('  %-9s %8.3f s %9d bytes' % (name, t, size))
            ours_t, ours_size = results['ours']
            for name in results:
                if name != 'ours':
                    t, size = results[name]
                    print('  ours / %-9s time %.2f  size %.2f' % (name, ours_t / t, ours_size / size))


if __name__ == '__main__':
    main()
