#!/usr/bin/env python3
"""Writes the malformed pictures of this folder. Every file must decode without
a crash, an out-of-bounds access, an unbounded allocation or an endless loop.
Files whose name starts with "ok_" are damaged in a way the decoders survive
and must give a picture; every other file must be refused.
Fuzzing findings are added here as files of their own (with a line below that
says what they trigger). Usage: make_crashers.py [OUTDIR]"""
import io
import os
import struct
import sys
import zlib

from PIL import Image

out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))


def save(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


def bmp(width, height, bpp, compression, palette=b"", pixels=b"", offset=None, header_size=40, ppm=2835):
    info = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bpp, compression, len(pixels), ppm, ppm, 0, 0)
    off = 14 + len(info) + len(palette) if offset is None else offset
    body = info + palette + pixels
    return struct.pack("<2sIHHI", b"BM", 14 + len(body), 0, 0, off) + body


def chunk(tag, data):
    return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)


def png(width, height, depth, colour, idat, extra=b""):
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 0))
            + extra + chunk(b"IDAT", idat) + chunk(b"IEND", b""))


grey = b"".join(bytes([i, i, i, 0]) for i in range(256))

# BMP: sizes that cannot be allocated, jumps and runs beyond the rows, a data
# offset past the end, masks that ask for impossible shifts, short palettes.
save("bmp_huge_dims.bmp", bmp(0x7FFFFFFF, 0x7FFFFFFF, 24, 0))
save("bmp_zero_height.bmp", bmp(5, 0, 8, 0, grey))
save("bmp_header_only.bmp", bmp(4, 4, 24, 0)[:30])
save("bmp_rle4_on_24bit.bmp", bmp(4, 4, 24, 2, b"", b"\x04\x11\x00\x01"))
save("ok_bmp_rle8_runaway.bmp", bmp(8, 8, 8, 1, grey, b"\xff\x07\x00\x02\xff\xff\xff\x01\x00\x00" * 40))
save("ok_bmp_rle4_runaway.bmp", bmp(7, 3, 4, 2, grey[:64], b"\x00\xff" + b"\x12" * 128 + b"\x00\x02\x00\x01" * 9))
save("ok_bmp_rle8_on_1bit.bmp", bmp(16, 2, 1, 1, grey[:8], b"\x20\xaa\x00\x00\x00\x05\x01\x02\x03\x04\x05\x00\x00\x01"))
save("ok_bmp_offset_beyond_end.bmp", bmp(4, 4, 24, 0, offset=0xFFFFFFF0))
save("ok_bmp_16bit_wild_masks.bmp",
     bmp(3, 2, 16, 3, struct.pack("<III", 0xFFFFFFFF, 0, 0x80000001), b"\xff\xff\x00\x80\x01\x00\x00\x00" * 2))
save("ok_bmp_short_palette.bmp", bmp(4, 4, 8, 0, grey[:40]))
save("ok_bmp_core_tiny.bmp", struct.pack("<2sIHHI", b"BM", 32, 0, 0, 26) + struct.pack("<IHHHH", 12, 1, 1, 1, 1)
     + b"\0\0\0\xff\xff\xff")
save("bmp_bit_count_7.bmp", bmp(3, 3, 7, 0, b"", b"\x55" * 12))
save("ok_bmp_header_size_huge.bmp", bmp(2, 2, 8, 0, grey, b"\x01" * 8, header_size=0x7FFFFFFF))

# PNG: sizes beyond our limits, a broken stream, chunks in the wrong place.
idat = zlib.compress(b"\0" + b"\x80" * 4)
save("png_huge_ihdr.png", png(1000000, 1000000, 8, 2, idat))
save("png_zero_width.png", png(0, 4, 8, 0, idat))
save("png_bad_depth.png", png(4, 1, 3, 0, idat))
save("png_truncated.png", png(64, 64, 8, 6, zlib.compress(b"\0" * (64 * 4 + 1) * 64))[:60])
save("png_garbage_idat.png", png(4, 4, 8, 0, b"\x78\x9c" + b"\xff" * 40))
save("png_palette_missing.png", png(4, 1, 8, 3, zlib.compress(b"\0\1\2\3\4")))
save("ok_png_many_text_chunks.png",
     b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 0, 0, 0, 0))
     + chunk(b"tEXt", b"k\0v") * 3000 + chunk(b"IDAT", zlib.compress(b"\0\0")))

# JPEG: a frame header with impossible sizes, no frame header, noise.
buf = io.BytesIO()
Image.new("RGB", (16, 16), (10, 200, 30)).save(buf, format="JPEG")
good = bytearray(buf.getvalue())
sof = good.index(b"\xff\xc0")
huge = bytearray(good)
huge[sof + 5:sof + 9] = b"\xff\xff\xff\xff"
save("jpg_huge_sof.jpg", bytes(huge))
zero = bytearray(good)
zero[sof + 5:sof + 9] = b"\0\0\0\0"
save("jpg_zero_size.jpg", bytes(zero))
save("jpg_no_frame.jpg", b"\xff\xd8\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00" + b"\x00" * 64 + b"\xff\xd9")
save("jpg_noise.jpg", b"\xff\xd8" + bytes((i * 37 + 11) & 0xFF for i in range(600)))
noisy = Image.frombytes("RGB", (64, 64), bytes((i * 7919) % 251 for i in range(64 * 64 * 3)))
buf = io.BytesIO()
noisy.save(buf, format="JPEG")
save("ok_jpg_cut_in_scan.jpg", buf.getvalue()[:-400])

# GIF: LZW codes beyond the table, a frame far outside the screen, a code size
# of 12, a file cut inside the image data.
def gif(frames_data, screen=(4, 4)):
    head = b"GIF89a" + struct.pack("<HHBBB", screen[0], screen[1], 0x80, 0, 0) + b"\0\0\0\xff\xff\xff"
    return head + frames_data + b";"

def frame(left, top, w, h, code_size, data):
    return (b"," + struct.pack("<HHHHB", left, top, w, h, 0) + bytes([code_size])
            + bytes([len(data)]) + data + b"\0")

save("gif_bad_signature.gif", b"GIX89a" + b"\0" * 20)
save("ok_gif_codes_beyond_table.gif", gif(frame(0, 0, 4, 4, 2, b"\xff\xff\xff\xff\xff\xff")))
save("ok_gif_frame_outside_screen.gif", gif(frame(60000, 60000, 3, 3, 2, b"\x44\x01")
                                             + b"!\xf9\x04\x04\x00\x00\x00\0" + frame(65000, 0, 2, 2, 2, b"\x44\x01")))
save("ok_gif_code_size_12.gif", gif(frame(0, 0, 4, 4, 12, b"\x00\x01\x02")))
save("ok_gif_cut_in_data.gif", gif(frame(0, 0, 4, 4, 2, b"\x8c\x2d\x99\x87"))[:-5])
