#!/usr/bin/python3
"""Whole-process comparison of `tessary-anim send` (the link client, the
tessary-link program, a part file written in pieces, flushed and renamed) with
two plain copies of the same file into a folder standing for the phone:

  cp SOURCE DEST
  dd if=SOURCE of=DEST bs=1M conv=fsync     (flushed to disk, as the link does)

Usage: send_compare.py [BUILD_DIR] [--runs R]

Prints, for each file size, the median wall time of each and the ratios of ours
to each peer (ratio < 1: ours is faster).
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)


def timed(make_cmd, phone, runs, env=None):
    times = []
    for _ in range(runs):
        shutil.rmtree(phone, ignore_errors=True)
        os.makedirs(os.path.join(phone, 'Anim'))
        cmd = make_cmd()
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    args = sys.argv[1:]
    build = os.path.join(TOP, 'build')
    runs = 7
    i = 0
    while i < len(args):
        if args[i] == '--runs':
            runs = int(args[i + 1])
            i += 2
        else:
            build = args[i]
            i += 1
    tool = os.path.join(build, 'bin', 'tessary-anim')
    with tempfile.TemporaryDirectory(prefix='send-bench-', dir=os.environ.get('BENCH_DIR')) as work:
        phone = os.path.join(work, 'phone')
        env = dict(os.environ, TESSARY_PHONE_STORAGE=phone, TESSARY_REGISTRY=os.path.join(work, 'none.reg'))
        print(f'{"size":>10} {"send ms":>9} {"cp ms":>8} {"dd ms":>8} {"send/cp":>8} {"send/dd":>8}')
        for size in (30 * 1024, 100 * 1024, 50 * 1024 * 1024):
            source = os.path.join(work, f'anim-{size}.gif')
            with open(source, 'wb') as out:
                out.write(os.urandom(size))
            dest = os.path.join(phone, 'Anim', os.path.basename(source))
            ours = timed(lambda: [tool, 'send', source, '--folder', 'Anim'], phone, runs, env)
            cp = timed(lambda: ['cp', source, dest], phone, runs)
            dd = timed(lambda: ['dd', f'if={source}', f'of={dest}', 'bs=1M', 'conv=fsync', 'status=none'],
                       phone, runs)
            print(f'{size:>10} {ours * 1000:>9.1f} {cp * 1000:>8.1f} {dd * 1000:>8.1f} '
                  f'{ours / cp:>8.2f} {ours / dd:>8.2f}')


if __name__ == '__main__':
    main()
