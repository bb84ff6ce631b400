#!/usr/bin/env python3
"""Writes the malformed GIF files of this folder (the other formats' files come
from make_crashers.py). Every file must decode, frame by frame and in one walk,
without a crash, an out-of-bounds access, an unbounded allocation or an endless
loop. Files whose name starts with "ok_" must give frame 0; the others must be
refused. Usage: make_gif_crashers.py [OUTDIR]"""
import os
import random
import struct
import sys

out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))


def save(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


def header(w=4, h=4, table_bits=1, global_table=True):
    packed = (0x80 | table_bits) if global_table else table_bits
    table = bytes(i % 256 for i in range(3 * (2 << table_bits))) if global_table else b""
    return b"GIF89a" + struct.pack("<HHBBB", w, h, packed, 0, 0) + table


def blocks(data, size=255):
    return b"".join(bytes([len(data[i:i + size])]) + data[i:i + size] for i in range(0, len(data), size)) + b"\0"


def pack_codes(codes):
    """codes: list of (value, width); packed least significant bit first."""
    acc = bits = 0
    data = bytearray()
    for value, width in codes:
        acc |= value << bits
        bits += width
        while bits >= 8:
            data.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        data.append(acc & 0xFF)
    return bytes(data)


def image(data, left=0, top=0, w=4, h=4, code_size=2, packed=0, local=b""):
    return b"," + struct.pack("<HHHHB", left, top, w, h, packed) + local + bytes([code_size]) + blocks(data)


def gce(packed=0, delay=0, trans=0, size=4):
    return b"!\xf9" + bytes([size, packed]) + struct.pack("<H", delay) + bytes([trans, 0])


simple = pack_codes([(4, 3), (1, 3), (2, 3), (5, 3)])

# No image at all: refused (no frame to deliver).
save("gif_no_frames.gif", header() + b";")
# A descriptor cut short counts no frame.
save("gif_descriptor_cut.gif", header() + b",\0\0\0\0")
# A comment that claims 200 bytes at the end of the file.
save("gif_comment_past_end.gif", header() + b"!\xfe\xc8abc")
# Sizes that cannot be allocated, or have no pixels.
save("gif_huge_frame.gif", header() + image(simple, w=65535, h=65535) + b";")
save("gif_zero_width_frame.gif", header() + image(simple, w=0, h=9) + b";")
# No global table and a first image smaller than the screen both ways: a
# true-colour picture of screen size, far beyond what may be allocated.
save("gif_huge_truecolour_screen.gif",
     header(65535, 65535, 1, False) + image(simple, w=1, h=1, packed=0x81, local=bytes(12)) + b";")

# LZW codes that point past the table and make the prefix chain of an entry
# point at itself: clear, 0, 7 (beyond the next slot 6), 6 (defines entry 7
# with prefix 7), then 7 at the widened 4 bits, then end.
cycle = pack_codes([(4, 3), (0, 3), (7, 3), (6, 3), (7, 4), (7, 4), (5, 4)])
save("ok_gif_lzw_self_cycle.gif", header() + image(cycle) + b";")
# Only clear codes, thousands of them.
save("ok_gif_only_clear_codes.gif", header() + image(pack_codes([(4, 3)] * 5000)) + b";")
# Code size 9 with a 256-entry table: roots beyond 255 are cut to a byte.
save("ok_gif_code_size_9.gif",
     header(4, 4, 7) + image(pack_codes([(512, 10), (300, 10), (511, 10), (513, 10)]), code_size=9) + b";")
# An interlaced image of one row with data for many rows.
save("ok_gif_interlaced_overflow.gif",
     header(9, 1) + image(pack_codes([(4, 3)] + [(1, 3), (2, 3), (3, 3)] * 40 + [(5, 4)]), w=9, h=1, packed=0x40) + b";")
# A 1 x 1 image with 20 kB of data.
rng = random.Random(1)
save("ok_gif_tiny_frame_much_data.gif",
     header() + image(bytes(rng.randrange(256) for _ in range(20000)), w=1, h=1) + b";")
# A local table promised but cut off by the end of the file.
save("ok_gif_local_table_cut.gif", header() + image(simple) + b"," + struct.pack("<HHHHB", 0, 0, 4, 4, 0x87) + bytes(30))
# A control block cut off after the first image, and one with a wrong size.
save("ok_gif_control_cut.gif", header() + image(simple) + b"!\xf9\x04\x01")
save("ok_gif_control_size_5.gif", header() + image(simple) + gce(size=5) + image(simple) + b";")
# A later image far outside the first one, composed (disposal 1).
save("ok_gif_compose_far_outside.gif",
     header() + gce(0x05, 3, 1) + image(simple) + gce(0x04, 0, 2) + image(simple, 65000, 65000, 9, 9) + b";")
# True-colour pictures whose images leave the screen.
save("ok_gif_truecolour_outside.gif",
     header(5, 5, 1, False) + image(simple, 1, 1, 2, 2, packed=0x81, local=bytes(range(12)))
     + gce(0x01, 1) + image(simple, 4, 4, 30, 30, packed=0x81, local=bytes(range(12, 24))) + b";")
# A sub-block length of zero right after the code size, then junk that looks
# like block introducers.
save("ok_gif_empty_data_then_junk.gif", header() + b",\0\0\0\0\4\0\4\0\0\2\0" + b",!,;\0\0" + image(simple) + b";")
# Random LZW data for every code size from 2 to 9, in plain and interlaced images.
for code_size in range(2, 10):
    data = bytes(rng.randrange(256) for _ in range(600))
    save("ok_gif_random_codes_%d.gif" % code_size,
         header(13, 11, 7) + image(data, w=13, h=11, code_size=code_size)
         + gce(0x08, 0, 0) + image(data[::-1], 2, 3, 13, 11, code_size=code_size, packed=0x40) + b";")
