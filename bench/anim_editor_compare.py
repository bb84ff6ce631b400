#!/usr/bin/env python3
"""The animation editor's Next and playback against gifsicle writing the same
frames, in the same run.

  bench/anim_editor_compare.py BUILD_DIR [RUNS]

A 256-frame 128 x 128 animated GIF is made with Pillow and opened in the
editor page (anim_editor_driver, offscreen, with the English movie). The
driver times Next (the temporary GIF written and its size checked), one
playback tick that moves the preview on (movie variables, strip, preview and
repaint), and the size meter (the frames copied on the UI thread, then encoded
into a byte counter on the worker). gifsicle then reads the file Next wrote
and writes the same 256 frames again; its best whole-process time is the peer
figure. Ratios above 1 mean that gifsicle took longer."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def best_time(cmd, runs):
    best = None
    for _ in range(runs):
        t = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        t = time.perf_counter() - t
        best = t if best is None else min(best, t)
    return best


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else 'build'
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    driver = os.path.join(build, 'bin', 'anim_editor_driver')
    if not os.path.exists(driver):
        sys.exit('build the driver first: ninja -C %s anim_editor_driver' % build)
    if not shutil.which('gifsicle'):
        sys.exit('needs gifsicle (scripts/bootstrap installs it)')
    tmp = tempfile.mkdtemp(prefix='anim-editor-compare-')
    try:
        source = os.path.join(tmp, 'source.gif')
        subprocess.run(['/usr/bin/python3', os.path.join(HERE, '..', 'tests', 'anim', 'anim_fixtures.py'), 'gif',
                        source, '256', '128', '128', '4,8,12'], check=True)
        ours = os.path.join(tmp, 'next.gif')
        env = dict(os.environ, QT_QPA_PLATFORM='offscreen', QT_QUICK_BACKEND='software')
        out = subprocess.run([driver, source, ours, str(runs)], check=True, capture_output=True, text=True,
                             env=env).stdout
        figures = dict(line.split() for line in out.splitlines() if line.strip())
        next_ms = float(figures['next'])
        tick_ms = float(figures['tick'])
        snapshot_ms = float(figures['snapshot'])
        meter_ms = float(figures['meter'])

        theirs = os.path.join(tmp, 'gifsicle.gif')
        gifsicle_ms = 1000 * best_time(['gifsicle', '--no-warnings', ours, '-o', theirs], runs)
        startup_ms = 1000 * best_time(['gifsicle', '--version'], runs)

        print('256 frames of 128 x 128, %d runs, best time (tick: mean of 512)' % runs)
        print('  Next, ours (write + size check)   %9.3f ms   %8s bytes' % (next_ms, figures['written']))
        print('  gifsicle rewriting those frames   %9.3f ms   %8d bytes   (gifsicle / Next = %.2f)'
              % (gifsicle_ms, os.path.getsize(theirs), gifsicle_ms / next_ms))
        print('    of which gifsicle starting up   %9.3f ms' % startup_ms)
        print('  one playback tick, ours           %9.4f ms   (gifsicle / tick = %.0f, Next / tick = %.0f)'
              % (tick_ms, gifsicle_ms / tick_ms, next_ms / tick_ms))
        print('  size meter: copy on UI thread     %9.3f ms   (Next / copy = %.1f)'
              % (snapshot_ms, next_ms / snapshot_ms))
        print('  size meter: encode on worker      %9.3f ms   (%s bytes, Next / encode = %.2f, '
              'gifsicle / encode = %.2f)' % (meter_ms, figures['bytes'], next_ms / meter_ms, gifsicle_ms / meter_ms))
        if figures['bytes'] != figures['written']:
            sys.exit('the meter (%s) and the written file (%s) disagree' % (figures['bytes'], figures['written']))
    finally:
        shutil.rmtree(tmp)


if __name__ == '__main__':
    main()
