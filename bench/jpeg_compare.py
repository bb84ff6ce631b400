#!/usr/bin/env python3
"""Decoding a 4000 x 3000 JPEG: our decoder (decode_driver) against ImageMagick
(`convert FILE null:`), each as a whole process, best of N runs.
Usage: jpeg_compare.py PATH/TO/decode_driver [RUNS]"""
import os
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageFilter


def best_time(cmd, runs):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    driver = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "photo.jpg")
        # A photo-like picture: smooth gradients with noise, quality 90.
        noise = Image.effect_noise((4000, 3000), 40).filter(ImageFilter.GaussianBlur(2))
        grad = Image.linear_gradient("L").resize((4000, 3000))
        Image.merge("RGB", (noise, grad, grad.transpose(Image.FLIP_LEFT_RIGHT))).save(path, quality=90)
        ours = best_time([driver, path, "3"], runs)
        magick = best_time(["convert", path, "null:"], runs)
        print("file: 4000 x 3000 JPEG, %d bytes, best of %d runs" % (os.path.getsize(path), runs))
        print("decode_driver:      %.3f s" % ours)
        print("convert ... null:   %.3f s" % magick)
        print("ratio ours/magick:  %.2f" % (ours / magick))


if __name__ == "__main__":
    main()
