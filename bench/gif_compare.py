#!/usr/bin/env python3
"""Whole-process comparison of our GIF codec with gifsicle and ImageMagick.

  bench/gif_compare.py BUILD_DIR

Decoding: every frame of a large animated GIF (one palette, full frames) and of
an optimised one (a local table per frame, partial frames), frame by frame as the wizard
loads an animation (gif_driver each), in one walk (gif_driver walk), against
`gifsicle --explode` and `convert -coalesce` (both write their frames to a
scratch folder). Writing: a 100-frame 128 x 128 animation by our writer with each coder,
against gifsicle re-encoding the run coder's file as it is (gifsicle IN -o OUT,
whole frames, its own LZW) and with -O3, with the output sizes.
Each command runs a few times; the best time counts. Ratios above 1 mean that
the other tool took longer than ours."""
import os
import shutil
import subprocess
import sys
import tempfile
import time


def best_time(cmd, runs=3):
    best = None
    for _ in range(runs):
        t = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        t = time.perf_counter() - t
        best = t if best is None else min(best, t)
    return best


def make_large_gif(path):
    """A 480 x 360 animation of 60 frames written by Pillow: moving gradients and
    noise, one palette, full-size frames."""
    code = r'''
import sys, random
from PIL import Image
random.seed(1)
frames = []
pal = [v for i in range(256) for v in (i, (i * 5) % 256, 255 - i)]
for f in range(60):
    im = Image.new('P', (480, 360))
    im.putpalette(pal)
    px = im.load()
    for y in range(360):
        for x in range(480):
            v = ((x + 3 * f) // 3 + y // 4) % 256
            if random.random() < 0.05:
                v = random.randrange(256)
            px[x, y] = v
    frames.append(im)
frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], duration=50, loop=0, disposal=1, optimize=False)
'''
    for python in ('/usr/bin/python3', 'python3'):
        if subprocess.run([python, '-c', 'import PIL'], capture_output=True).returncode == 0:
            subprocess.run([python, '-c', code, path], check=True)
            return
    sys.exit('needs Python with Pillow')


def make_optimised_gif(path, tmp):
    """A 320 x 240 animation of 40 frames with a local colour table per frame,
    squeezed by gifsicle -O3 into partial update rectangles with transparency:
    the shape most GIFs found on the web have."""
    code = r'''
import sys, random
from PIL import Image
random.seed(2)
frames = []
for f in range(40):
    im = Image.new('P', (320, 240))
    im.putpalette([random.randrange(256) for _ in range(768)])
    px = im.load()
    for y in range(240):
        for x in range(320):
            px[x, y] = ((x // 4 + y // 6) % 200) if abs(x - 8 * f) > 30 else (x + y + f) % 256
    frames.append(im)
frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], duration=40, loop=0, optimize=False)
'''
    plain = os.path.join(tmp, 'plain.gif')
    for python in ('/usr/bin/python3', 'python3'):
        if subprocess.run([python, '-c', 'import PIL'], capture_output=True).returncode == 0:
            subprocess.run([python, '-c', code, plain], check=True)
            break
    subprocess.run(['gifsicle', '-O3', plain, '-o', path], check=True)


def time_decoders(driver, gif, tmp):
    each = best_time([driver, 'each', gif], runs=1)
    walk = best_time([driver, 'walk', gif])
    explode = best_time(['gifsicle', '--explode', gif, '-o', os.path.join(tmp, 'x')])
    coalesce = best_time(['convert', gif, '-coalesce', os.path.join(tmp, 'c%03d.gif')], runs=1)
    print('decode every frame:')
    print('  ours, frame by frame  %8.3f s' % each)
    print('  ours, one walk        %8.3f s   (frame by frame / walk = %.1f)' % (walk, each / walk))
    print('  gifsicle --explode    %8.3f s   (gifsicle / walk = %.2f)' % (explode, explode / walk))
    print('  convert -coalesce     %8.3f s   (convert / walk = %.2f)' % (coalesce, coalesce / walk))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else 'build'
    driver = os.path.join(build, 'bin', 'gif_driver')
    if not os.path.exists(driver):
        sys.exit('build gif_driver first: ninja -C %s gif_driver' % build)
    tmp = tempfile.mkdtemp(prefix='gif-compare-')
    try:
        big = os.path.join(tmp, 'big.gif')
        make_large_gif(big)
        print('large GIF: 480 x 360, 60 frames, %d bytes' % os.path.getsize(big))
        time_decoders(driver, big, tmp)
        optimised = os.path.join(tmp, 'optimised.gif')
        make_optimised_gif(optimised, tmp)
        print('optimised GIF: 320 x 240, 40 frames, local tables, gifsicle -O3, %d bytes'
              % os.path.getsize(optimised))
        time_decoders(driver, optimised, tmp)

        # Writing: the same 100 frames by each of our coders, and gifsicle
        # re-encoding our file as it is (whole frames, its own LZW) and with -O3.
        print('write 100 frames of 128 x 128:')
        files = {}
        times = {}
        for coder, extra in (('run coder', []), ('LZW', ['lzw']), ('LZW + differencing', ['optimize'])):
            out = os.path.join(tmp, 'ours-%d.gif' % len(files))
            times[coder] = best_time([driver, 'write', '100', '128', out] + extra)
            files[coder] = out
            print('  ours, %-19s %8.3f s   %8d bytes' % (coder, times[coder], os.path.getsize(out)))
        plain = os.path.join(tmp, 'plain.gif')
        gifsicle_plain = best_time(['gifsicle', files['run coder'], '-o', plain])
        o3 = os.path.join(tmp, 'o3.gif')
        gifsicle_o3 = best_time(['gifsicle', '-O3', files['run coder'], '-o', o3])
        print('  gifsicle IN -o OUT       %8.3f s   %8d bytes' % (gifsicle_plain, os.path.getsize(plain)))
        print('  gifsicle -O3             %8.3f s   %8d bytes' % (gifsicle_o3, os.path.getsize(o3)))
        lzw = files['LZW']
        print('  LZW: gifsicle time / ours %.2f, size ours / gifsicle %.3f'
              % (gifsicle_plain / times['LZW'], os.path.getsize(lzw) / os.path.getsize(plain)))
        opt = files['LZW + differencing']
        print('  LZW + differencing: gifsicle -O3 time / ours %.2f, size ours / gifsicle -O3 %.3f'
              % (gifsicle_o3 / times['LZW + differencing'], os.path.getsize(opt) / os.path.getsize(o3)))
        accepted = all(subprocess.run(['gifsicle', '--info', f], capture_output=True).returncode == 0
                       for f in files.values())
        print('  gifsicle --info accepts our files: %s' % accepted)
    finally:
        shutil.rmtree(tmp)


if __name__ == '__main__':
    main()
