#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: small valid pictures of every
kind the decoders know, one folder per format.
Usage: make_seeds.py OUTDIR   (writes OUTDIR/bmp, OUTDIR/gif, OUTDIR/jpeg, OUTDIR/png,
and OUTDIR/registry: settings stores)"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image

here = os.path.dirname(os.path.abspath(__file__))
out = sys.argv[1]
for d in ("bmp", "gif", "jpeg", "png", "registry"):
    os.makedirs(os.path.join(out, d), exist_ok=True)

# The decoder tests' samples: every BMP depth, RLE, core and V5 headers, every
# PNG colour type and depth, interlace, transparency, JPEG grey, colour, CMYK.
samples = os.path.join(here, "..", "tests", "image", "decode_samples.py")
with tempfile.TemporaryDirectory() as tmp:
    for kind, ext in (("bmp", "bmp"), ("png", "png"), ("jpeg", "jpg")):
        subprocess.run([sys.executable, samples, kind, os.path.join(tmp, kind)], check=True)
        for f in glob.glob(os.path.join(tmp, kind, "*." + ext)):
            shutil.copy(f, os.path.join(out, kind, os.path.basename(f)))

# GIFs: still, animated with local tables, transparent, interlaced, disposal.
def gradient(w, h, mode="RGB"):
    img = Image.new("RGB", (w, h))
    img.putdata([((x * 37) % 256, (y * 53) % 256, (x * y) % 256) for y in range(h) for x in range(w)])
    return img.convert(mode) if mode != "RGB" else img

g = os.path.join(out, "gif")
gradient(9, 7).quantize(16).save(os.path.join(g, "still16.gif"))
gradient(9, 7).convert("1").save(os.path.join(g, "mono.gif"))
gradient(20, 12).quantize(200).save(os.path.join(g, "interlaced.gif"), interlace=True)
frames = [gradient(8, 8).rotate(90 * i).quantize(8 + i) for i in range(4)]
frames[0].save(os.path.join(g, "anim.gif"), save_all=True, append_images=frames[1:], duration=[10, 20, 30, 40],
               loop=0, disposal=[0, 1, 2, 3])
t = gradient(6, 6).quantize(4)
t.save(os.path.join(g, "transparent.gif"), transparency=0)
small = [Image.new("P", (3, 2), i) for i in range(3)]
small[0].save(os.path.join(g, "tiny_anim.gif"), save_all=True, append_images=small[1:], duration=50, loop=2)

# The writer's round trip: a control byte (depth, options), width, height and
# frame count bytes, then pixel indices (see fuzz_gif_roundtrip.cpp).
r = os.path.join(out, "gif_roundtrip")
os.makedirs(r, exist_ok=True)
for depth in range(8):
    for options in (0x00, 0x08, 0x10):
        body = bytes((i * 7 + (i >> 5)) & 0xFF for i in range(300 + 50 * depth))
        head = bytes([depth | options, 40 + depth, 0, 30, 0, depth % 4])
        with open(os.path.join(r, "d%d-o%02x" % (depth + 1, options)), "wb") as f:
            f.write(head + body)

# Settings stores: the default one, line breaks of both kinds, every data form
# (text with escapes, dword, hex and hex(n) over several lines), comments, the
# default value and a byte order mark.
header = "Windows Registry Editor Version 5.00"
base = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary"
stores = {
    "default.reg": "\n".join([
        header, "", f"[{base}]", '"Language"="EN"', '"Current Link"="USB"', "",
        f"[{base}\\Content Manager]", '"home"="/home/ann/Pictures"', "",
        f"[{base}\\Customization Wizards]", '"Installation Path"="/home/ann/.local/share/tessary/"',
        '"AnimMaxSize"=dword:00019000', '"FullScreenAnimMinDelay"=dword:0000000a', "",
        f"[{base}\\Customization Wizards\\user]", '"BrowseAnim"="/home/ann/Pictures"', ""]),
    "crlf.reg": "\r\n".join([header, "", f"[{base}]", '"Language"="FR"', ""]),
    "forms.reg": "\n".join([
        "\ufeff" + header, "; a comment", f"[{base}\\x]", '@="default"',
        '"quoted"="a \\"b\\" c\\\\d"', '"hex"=hex:01,02,ff', '"multi"=hex(1):41,00,\\', "  42,00,00,00",
        '"seven"=hex(7):61,00,00', '  "spaced" = dword:1', ""]),
}
for name, text in stores.items():
    with open(os.path.join(out, "registry", name), "w", encoding="utf-8", newline="") as store:
        store.write(text)
