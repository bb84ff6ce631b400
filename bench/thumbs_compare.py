#!/usr/bin/env python3
"""Thumbnails of a folder of photos, each tool as a whole process, best of N runs:
  ours     tessary-anim thumbs FOLDER -o OUT (64 x 64 PAM files)
  vips     vipsthumbnail --size 64 (VIPS_CONCURRENCY=1) over the same files
  convert  ImageMagick's convert FILE -thumbnail 64x64 once per file
Folders: 200 photos (4000 x 3000 JPEG, quality 90) alone, and the same with
some PNG, GIF and BMP pictures. Then the worker's own timings from
thumbs_latency (time to the first thumbnail, stop latency, a folder seen again).

Usage: thumbs_compare.py PATH/TO/tessary-anim [PATH/TO/thumbs_latency] [RUNS] [DATA_FOLDER]
The pictures are made once into DATA_FOLDER (default: /tmp/tessary-thumbs-bench)."""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageFilter

PHOTOS = 200
DISTINCT = 10  # distinct photos; the others are copies of them
CONVERT = "/usr/bin/convert"


def photo(seed):
    """A photo-like 4000 x 3000 picture: blurred noise over gradients."""
    noise = Image.effect_noise((4000, 3000), 30 + seed * 3).filter(ImageFilter.GaussianBlur(1 + seed % 3))
    grad = Image.linear_gradient("L").resize((4000, 3000))
    if seed % 2:
        grad = grad.transpose(Image.Transpose.ROTATE_180)
    return Image.merge("RGB", (noise, grad, grad.transpose(Image.Transpose.FLIP_LEFT_RIGHT)))


def make_data(root):
    photos = os.path.join(root, "photos")
    mixed = os.path.join(root, "mixed")
    done = os.path.join(root, ".complete")
    if os.path.exists(done):
        return photos, mixed
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(photos)
    os.makedirs(mixed)
    print("making %d photos in %s (once)" % (PHOTOS, root), flush=True)
    for i in range(DISTINCT):
        photo(i).save(os.path.join(photos, "photo%03d.jpg" % i), quality=90)
    for i in range(DISTINCT, PHOTOS):
        shutil.copyfile(os.path.join(photos, "photo%03d.jpg" % (i % DISTINCT)),
                        os.path.join(photos, "photo%03d.jpg" % i))
    for name in os.listdir(photos):
        os.link(os.path.join(photos, name), os.path.join(mixed, name))
    small = photo(3).resize((1024, 768))
    for i in range(5):
        small.save(os.path.join(mixed, "shot%d.png" % i))
        small.resize((800, 600)).save(os.path.join(mixed, "scan%d.bmp" % i))
        clip = small.resize((500, 375)).convert("P", palette=Image.Palette.ADAPTIVE)
        clip.save(os.path.join(mixed, "clip%d.gif" % i))
    open(done, "w").close()
    return photos, mixed


def best_time(run, runs):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        run()
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def main():
    tool = sys.argv[1]
    latency = sys.argv[2] if len(sys.argv) > 2 and not sys.argv[2].isdigit() else None
    rest = sys.argv[3:] if latency else sys.argv[2:]
    runs = int(rest[0]) if rest else 3
    root = rest[1] if len(rest) > 1 else "/tmp/tessary-thumbs-bench"
    photos, mixed = make_data(root)
    env = dict(os.environ, VIPS_CONCURRENCY="1")
    with tempfile.TemporaryDirectory() as tmp:
        for label, folder in (("200 photos", photos), ("200 photos + 15 PNG/BMP/GIF", mixed)):
            files = sorted(glob.glob(os.path.join(folder, "*")))
            out = os.path.join(tmp, "out")

            def ours():
                subprocess.run([tool, "thumbs", folder, "-o", fresh(out)], check=True, stdout=subprocess.DEVNULL)

            def vips():
                fresh(out)
                subprocess.run(["vipsthumbnail", "--size", "64", "-o", os.path.join(out, "%s.png")] + files,
                               check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

            def magick():
                fresh(out)
                for k, f in enumerate(files):
                    subprocess.run([CONVERT, f, "-thumbnail", "64x64", os.path.join(out, "%04d.png" % k)], check=True)

            t_ours = best_time(ours, runs)
            t_vips = best_time(vips, runs)
            t_magick = best_time(magick, 1)
            print("%s (%d files), best of %d runs (convert: 1 run)" % (label, len(files), runs))
            print("  tessary-anim thumbs:       %7.3f s" % t_ours)
            print("  vipsthumbnail --size 64:   %7.3f s" % t_vips)
            print("  convert -thumbnail 64x64:  %7.3f s" % t_magick)
            print("  ratio ours/vips:    %.2f" % (t_ours / t_vips))
            print("  ratio ours/convert: %.2f" % (t_ours / t_magick), flush=True)
    if latency:
        subprocess.run([latency, photos, mixed], check=True)


if __name__ == "__main__":
    main()
