#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: small valid pictures of every
kind the decoders know, one folder per format.
Usage: make_seeds.py OUTDIR   (writes OUTDIR/bmp, OUTDIR/gif, OUTDIR/jpeg, OUTDIR/png,
OUTDIR/registry: settings stores, OUTDIR/link_line and OUTDIR/link_server:
conversations of the phone link)"""
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

# The phone link: what the client reads (hello, events, results) and what the
# link program reads (calls, a cancel in the middle of a transfer, calls that
# are wrong in every way the link answers), one JSON object per line.
link_lines = {
    "client.txt": [
        '{"hello":"tessary-link","protocol":1}',
        '{"result":1,"ok":true,"status":0,"text":""}',
        '{"event":"link","text":"Sending holiday.gif","p2":4096,"p3":40,"p4":10240}',
        '{"result":2,"ok":true,"status":0,"text":"Saved as Pictures/Animations/holiday.gif"}',
        '{"result":3,"ok":false,"status":28,"text":"The phone is full: \\u00e9\\ud83d\\ude00 <b>x</b>"}',
    ],
    "calls.txt": [
        '{"id":1,"call":"LinkInit","args":["INIT"]}',
        '{"id":2,"call":"LinkSetFormatOption","args":["audio/amr","VocoderTypeName","MR102"]}',
        '{"id":3,"call":"LinkSendFile","args":["/tmp/holiday.gif","Pictures/Animations"]}',
        '{"id":4,"call":"cancel","args":[]}',
        '{"id":5,"call":"LinkSendFile","args":["/tmp/a b.gif","Pictures\\\\CON\\\\x. /y"]}',
    ],
    "wrong.txt": [
        '', '   ', 'not json', '[1,2]', '{"id":6}', '{"id":7,"call":7}', '{"id":8,"call":"LinkInit","args":[1]}',
        '{"id":9,"call":"LinkSendFile","args":["/x","../up"]}', '{"id":10,"call":"LinkSendFile","args":["/x","/abs"]}',
        '{"id":11,"call":"Unknown"}', '{"id":1e3,"call":"cancel"}\r', '{"id":12,"call":"LinkSendFile","args":["/x","C:y"]}',
        '{"hello":"tessary-link","protocol":1}', '{"id":' + "[" * 40 + "]" * 40 + '}',
    ],
    "long_name.txt": [
        '{"id":13,"call":"LinkSendFile","args":["/tmp/' + "n" * 300 + '.gif","' + "f" * 250 + ' x/' + "\\u00e9" * 130 + '"]}',
    ],
}
for target in ("link_line", "link_server"):
    os.makedirs(os.path.join(out, target), exist_ok=True)
    for name, lines in link_lines.items():
        with open(os.path.join(out, target, name), "w", encoding="utf-8", newline="") as f:
            f.write("\n".join(lines) + "\n")
    # Answers that repeat long arguments: each byte 0x7f is written back as
    # "\u007f", six times as long.
    with open(os.path.join(out, target, "long_answers.txt"), "wb") as f:
        many = b"\x7f" * 20000
        f.write(b'{"id":1,"call":"' + many + b'"}\n{"id":2,"call":"LinkSendFile","args":["/x","/' + many + b'"]}\n')
    # A transfer cancelled while it runs, the cancel answered after the file.
    with open(os.path.join(out, target, "cancel.txt"), "w", encoding="utf-8", newline="") as f:
        f.write('{"id":1,"call":"LinkSendFile","args":["/tmp/abc","x"]}\n{"id":2,"call":"cancel"}\n'
                '{"id":3,"call":"LinkInit","args":["INIT"]}\n')
