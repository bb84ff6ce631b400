#!/usr/bin/env python3
"""Writes the sample pictures that the decoder tests read, with what an
independent decoder (Pillow) or the known source pixels say they contain.

Usage: decode_samples.py bmp|png|jpeg OUTDIR

For every sample NAME it writes NAME.<ext> and NAME.ref, and one line of
OUTDIR/manifest.txt:  NAME FILE BPP MODE
  BPP   the bit depth our decoder must deliver (1, 4, 8 or 24)
  MODE  how to compare: exact, tol2 (each channel within 2), f8 (ours equals the
        reference with the low three bits of each channel cleared), none
NAME.ref is "W H C\\n" followed by W x H x C bytes, top row first, channels
R G B (A when C is 4).
"""
import io
import os
import random
import struct
import sys
import zlib

from PIL import Image, ImageOps

rng = random.Random(20240611)


def write_ref(path, width, height, pixels, channels):
    with open(path, "wb") as f:
        f.write(b"%d %d %d\n" % (width, height, channels))
        f.write(bytes(v for px in pixels for v in px[:channels]))


def ref_from_pillow(path, mode="RGB"):
    im = Image.open(path)
    im.load()
    im = im.convert(mode)
    return im.size, list(im.getdata())


class Manifest:
    def __init__(self, outdir):
        self.outdir = outdir
        self.lines = []

    def add(self, name, ext, bpp, mode, width, height, pixels, channels=3):
        write_ref(os.path.join(self.outdir, name + ".ref"), width, height, pixels, channels)
        self.lines.append("%s %s.%s %d %s" % (name, name, ext, bpp, mode))

    def path(self, name, ext):
        return os.path.join(self.outdir, name + "." + ext)

    def save(self):
        with open(os.path.join(self.outdir, "manifest.txt"), "w") as f:
            f.write("\n".join(self.lines) + "\n")


def random_palette(n):
    return [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(n)]


def random_indices(width, height, colours):
    # Runs of equal indices, so the RLE samples have both run kinds.
    rows = []
    for _ in range(height):
        row = []
        while len(row) < width:
            v = rng.randrange(colours)
            row += [v] * rng.choice([1, 1, 2, 3, 5, 8])
        rows.append(row[:width])
    return rows


# ---------------------------------------------------------------- BMP

def bmp_file(info_header, palette_bytes, pixel_bytes, with_file_header=True):
    offset = 14 + len(info_header) + len(palette_bytes)
    body = info_header + palette_bytes + pixel_bytes
    if not with_file_header:
        return body
    return struct.pack("<2sIHHI", b"BM", 14 + len(body), 0, 0, offset) + body


def info40(width, height, bpp, compression=0, image_size=0, colours=0, ppm=(2835, 2835)):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, compression, image_size,
                       ppm[0], ppm[1], colours, 0)


def pack_row(indices, bpp):
    out = bytearray()
    per = 8 // bpp
    for i in range(0, len(indices), per):
        byte = 0
        for j, v in enumerate(indices[i:i + per]):
            byte |= v << (8 - bpp * (j + 1))
        out.append(byte)
    return out


def pad4(row):
    return bytes(row) + b"\0" * (-len(row) % 4)


def rle8_encode(rows):
    out = bytearray()
    for row in rows:
        i = 0
        while i < len(row):
            j = i
            while j < len(row) and row[j] == row[i] and j - i < 255:
                j += 1
            if j - i >= 2:
                out += bytes([j - i, row[i]])
                i = j
                continue
            # Literal bytes up to the next pair of equal neighbours.
            k = i
            while k < len(row) and k - i < 255 and not (k + 1 < len(row) and row[k] == row[k + 1]):
                k += 1
            lit = row[i:k]
            if len(lit) >= 3:
                out += bytes([0, len(lit)]) + bytes(lit) + (b"\0" if len(lit) % 2 else b"")
            else:
                for v in lit:
                    out += bytes([1, v])
            i = k
        out += b"\0\0"
    return bytes(out[:-2]) + b"\0\1"


def rle4_encode(rows):
    # Every run covers whole pixel pairs, so each run starts at a high half.
    out = bytearray()
    for row in rows:
        pairs = [(row[i] << 4) | row[i + 1] for i in range(0, len(row), 2)]
        i = 0
        while i < len(pairs):
            j = i
            while j < len(pairs) and pairs[j] == pairs[i] and j - i < 127:
                j += 1
            if j - i >= 2:
                out += bytes([2 * (j - i), pairs[i]])
                i = j
                continue
            k = i
            while k < len(pairs) and k - i < 127 and not (k + 1 < len(pairs) and pairs[k] == pairs[k + 1]):
                k += 1
            lit = pairs[i:k]
            if len(lit) >= 2:
                out += bytes([0, 2 * len(lit)]) + bytes(lit) + (b"\0" if len(lit) % 2 else b"")
            else:
                out += bytes([2, lit[0]])
            i = k
        out += b"\0\0"
    return bytes(out[:-2]) + b"\0\1"


# RLE4 pictures 13 pixels wide, as rows of operations (bottom row first):
#   ("run", n, byte)    an encoded run of n pixels
#   ("abs", [nibbles])  an absolute run (even lengths: Pillow 9 drops the last
#                       pixel of an odd one)
#   ("delta", dx, dy)   a jump right by dx and up by dy rows, which ends a row
#                       when dy > 0
# Runs of both kinds start at odd and at even columns; deltas jump by odd and
# by even numbers of pixels.
RLE4_RUNS = [
    [("run", 3, 0x12), ("run", 4, 0x34), ("abs", [5, 6, 7, 8]), ("run", 2, 0x9A)],
    [("abs", [1, 2, 3, 4]), ("run", 5, 0xBC), ("abs", [0xF, 1, 2, 3])],
    [("run", 1, 0x56), ("abs", [7, 8, 9, 10, 11, 12]), ("run", 6, 0x7F)],
    [("run", 2, 0x11), ("abs", [9, 8, 7, 6, 5, 4]), ("run", 5, 0x23)],
]
RLE4_JUMPS = [
    [("run", 3, 0x12), ("delta", 3, 0), ("run", 5, 0x34), ("delta", 1, 0), ("run", 1, 0x56)],
    [("delta", 1, 0), ("abs", [1, 2, 3, 4]), ("delta", 2, 0), ("run", 3, 0x9A), ("delta", 2, 1)],
    [("run", 1, 0x7E)],
    [("run", 4, 0xBC), ("abs", [5, 6, 7, 8]), ("delta", 1, 0), ("run", 2, 0xDE)],
]


def rle4_stream(rows):
    out = bytearray()
    for ops in rows:
        for op in ops:
            if op[0] == "run":
                out += bytes([op[1], op[2]])
            elif op[0] == "abs":
                nib = op[1]
                data = bytes((nib[i] << 4) | nib[i + 1] for i in range(0, len(nib), 2))
                out += bytes([0, len(nib)]) + data + (b"\0" if len(data) % 2 else b"")
            else:
                out += bytes([0, 2, op[1], op[2]])
        if not (ops[-1][0] == "delta" and ops[-1][2]):
            out += b"\0\0"
    return bytes(out) + b"\0\1"


def rle4_pixels(rows, width, height):
    """What the operations paint by the rule: an encoded run alternates the
    halves of its byte from its own first pixel on (high half first), and
    columns count pixels. Unpainted pixels are index 0. Top row first."""
    grid = [[0] * width for _ in range(height)]
    y, col = 0, 0
    for ops in rows:
        for op in ops:
            if op[0] == "run":
                for i in range(op[1]):
                    grid[y][col + i] = op[2] >> 4 if i % 2 == 0 else op[2] & 15
                col += op[1]
            elif op[0] == "abs":
                grid[y][col:col + len(op[1])] = op[1]
                col += len(op[1])
            else:
                col += op[1]
        if ops[-1][0] == "delta" and ops[-1][2]:
            y += ops[-1][2]
        else:
            y, col = y + 1, 0
    return list(reversed(grid))


def rle4_odd_starts(m):
    w, h = 13, 4
    pal = random_palette(16)
    pal_bytes = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in pal)
    for name, rows in (("rle4_odd_starts", RLE4_RUNS), ("rle4_deltas", RLE4_JUMPS)):
        data = rle4_stream(rows)
        with open(m.path(name, "bmp"), "wb") as f:
            f.write(bmp_file(info40(w, h, 4, compression=2, image_size=len(data), colours=16), pal_bytes, data))
        model = [pal[v] for row in rle4_pixels(rows, w, h) for v in row]
        if name == "rle4_odd_starts":
            # Pillow is the oracle for runs, and the model must agree with it.
            (pw, ph), px = ref_from_pillow(m.path(name, "bmp"))
            assert (pw, ph) == (w, h) and px == model, "the RLE4 model disagrees with Pillow"
        # Pillow 9 reads two bytes too many after a delta, so the model,
        # checked against Pillow above, gives the reference for deltas.
        m.add(name, "bmp", 4, "exact", w, h, model)


def bmp_samples(m):
    def pillow_ref(name, bpp, mode="exact"):
        (w, h), px = ref_from_pillow(m.path(name, "bmp"))
        m.add(name, "bmp", bpp, mode, w, h, px)

    # Pillow's own writer: 1, 8 and 24 bits.
    img = Image.new("RGB", (13, 7))
    img.putdata([(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(13 * 7)])
    img.save(m.path("pillow_rgb", "bmp"))
    pillow_ref("pillow_rgb", 24)
    img.convert("1").save(m.path("pillow_mono", "bmp"))
    pillow_ref("pillow_mono", 1)
    img.quantize(200).save(m.path("pillow_palette", "bmp"))
    pillow_ref("pillow_palette", 8)

    # Our own writer for what Pillow cannot write; Pillow still decodes it.
    for bpp in (1, 4, 8):
        w, h = 19, 6
        pal = random_palette(1 << bpp)
        rows = random_indices(w, h, 1 << bpp)
        pal_bytes = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in pal)
        pixels = b"".join(pad4(pack_row(r, bpp)) for r in reversed(rows))
        name = "indexed_%d" % bpp
        with open(m.path(name, "bmp"), "wb") as f:
            f.write(bmp_file(info40(w, h, bpp, colours=1 << bpp), pal_bytes, pixels))
        pillow_ref(name, bpp)
        # Rows stored top-down, announced by a negative height.
        pixels_td = b"".join(pad4(pack_row(r, bpp)) for r in rows)
        name = "topdown_%d" % bpp
        with open(m.path(name, "bmp"), "wb") as f:
            f.write(bmp_file(info40(w, -h, bpp, colours=1 << bpp), pal_bytes, pixels_td))
        pillow_ref(name, bpp)

    w, h = 11, 5
    src = [[(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(w)] for _ in range(h)]
    flat = [p for row in src for p in row]
    rows24 = [pad4(b"".join(struct.pack("BBB", b, g, r) for r, g, b in row)) for row in src]
    with open(m.path("topdown_24", "bmp"), "wb") as f:
        f.write(bmp_file(info40(w, -h, 24), b"", b"".join(rows24)))
    pillow_ref("topdown_24", 24)
    # No file header at all: the stream starts with the 40-byte header.
    with open(m.path("bare_24", "bmp"), "wb") as f:
        f.write(bmp_file(info40(w, h, 24), b"", b"".join(reversed(rows24)), with_file_header=False))
    m.add("bare_24", "bmp", 24, "exact", w, h, flat)
    # 32 bits: the fourth byte of each pixel is dropped.
    rows32 = [b"".join(struct.pack("BBBB", b, g, r, 77) for r, g, b in row) for row in src]
    with open(m.path("rgb_32", "bmp"), "wb") as f:
        f.write(bmp_file(info40(w, h, 32), b"", b"".join(reversed(rows32))))
    m.add("rgb_32", "bmp", 24, "exact", w, h, flat)
    # 32 bits with bit-field masks, each channel taken through its own mask:
    # the usual masks after a 40-byte header, the channels moved up a byte,
    # then V4 and V5 headers whose masks include alpha (which the picture
    # drops, as it drops the fourth byte of every 32-bit pixel), and masks
    # left 0, which mean the usual layout.
    def v45(size, masks):
        head = struct.pack("<I", size) + info40(w, h, 32, compression=3)[4:]
        return head + struct.pack("<IIII", *masks) + b"\0" * (size - 56)

    def pixel32(rgba, masks):
        v = 0
        for value, mask in zip(rgba, masks):
            if mask:
                v |= value << ((mask & -mask).bit_length() - 1)
        return struct.pack("<I", v)

    for name, header, masks in (
            ("bitfields32_usual", info40(w, h, 32, compression=3), (0xFF0000, 0xFF00, 0xFF, 0)),
            ("bitfields32_xbgr", info40(w, h, 32, compression=3), (0xFF000000, 0xFF0000, 0xFF00, 0)),
            ("bitfields32_v4_abgr", v45(108, (0xFF000000, 0xFF0000, 0xFF00, 0xFF)), None),
            ("bitfields32_v5_rgba", v45(124, (0xFF, 0xFF00, 0xFF0000, 0xFF000000)), None),
            ("bitfields32_v5_zero", v45(124, (0, 0, 0, 0)), None)):
        if masks is None:
            masks = struct.unpack("<IIII", header[40:56])
            extra = b""
        else:
            extra = struct.pack("<III", *masks[:3])
        layout = masks if any(masks[:3]) else (0xFF0000, 0xFF00, 0xFF, 0xFF000000)
        rows = [b"".join(pixel32((r, g, b, rng.randrange(256)), layout) for r, g, b in row) for row in src]
        with open(m.path(name, "bmp"), "wb") as f:
            f.write(bmp_file(header, extra, b"".join(reversed(rows))))
        pillow_ref(name, 24)
    # 16 bits, 5-5-5: our rule keeps the channel's five bits at the top of the
    # byte; Pillow also fills the low bits, so only the top five are compared.
    rows16 = []
    for row in src:
        rows16.append(pad4(b"".join(struct.pack("<H", ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))
                                    for r, g, b in row)))
    with open(m.path("rgb_16", "bmp"), "wb") as f:
        f.write(bmp_file(info40(w, h, 16), b"", b"".join(reversed(rows16))))
    pillow_ref("rgb_16", 24, "f8")
    # 16 bits with 5-6-5 bit fields after the header.
    rows565 = []
    for row in src:
        rows565.append(pad4(b"".join(struct.pack("<H", ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))
                                     for r, g, b in row)))
    masks = struct.pack("<III", 0xF800, 0x07E0, 0x001F)
    with open(m.path("rgb_565", "bmp"), "wb") as f:
        f.write(bmp_file(info40(w, h, 16, compression=3), masks, b"".join(reversed(rows565))))
    exp565 = [((r >> 3) << 3, (g >> 2) << 2, (b >> 3) << 3) for r, g, b in flat]
    m.add("rgb_565", "bmp", 24, "exact", w, h, exp565)

    # The old 12-byte core header with 3-byte palette entries.
    w, h = 9, 4
    pal = random_palette(256)
    rows = random_indices(w, h, 256)
    core = struct.pack("<IHHHH", 12, w, h, 1, 8)
    pal3 = b"".join(struct.pack("BBB", b, g, r) for r, g, b in pal)
    with open(m.path("core_8", "bmp"), "wb") as f:
        f.write(bmp_file(core, pal3, b"".join(pad4(bytes(r)) for r in reversed(rows))))
    pillow_ref("core_8", 8)
    core24 = struct.pack("<IHHHH", 12, w, h, 1, 24)
    src = [[(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(w)] for _ in range(h)]
    with open(m.path("core_24", "bmp"), "wb") as f:
        f.write(bmp_file(core24, b"", b"".join(pad4(b"".join(struct.pack("BBB", b, g, r) for r, g, b in row))
                                               for row in reversed(src))))
    pillow_ref("core_24", 24)

    # A version 5 header (124 bytes): the palette follows the whole header.
    w, h = 10, 3
    pal = random_palette(16)
    rows = random_indices(w, h, 16)
    v5 = info40(w, h, 4, colours=16)
    v5 = struct.pack("<I", 124) + v5[4:] + b"\0" * 84
    with open(m.path("v5_4", "bmp"), "wb") as f:
        f.write(bmp_file(v5, b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in pal),
                         b"".join(pad4(pack_row(r, 4)) for r in reversed(rows))))
    pillow_ref("v5_4", 4)

    # RLE8 and RLE4 of pictures with runs and literal stretches.
    for bpp, comp, enc, w in ((8, 1, rle8_encode, 23), (4, 2, rle4_encode, 24)):
        h = 9
        pal = random_palette(1 << bpp)
        rows = random_indices(w, h, 1 << bpp)
        data = enc(list(reversed(rows)))
        name = "rle%d" % bpp
        with open(m.path(name, "bmp"), "wb") as f:
            f.write(bmp_file(info40(w, h, bpp, compression=comp, image_size=len(data), colours=1 << bpp),
                             b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in pal), data))
        pillow_ref(name, bpp)
        m.add(name + "_src", "bmp", bpp, "exact", w, h, [pal[v] for row in rows for v in row])
        m.lines[-1] = "%s_src %s.bmp %d exact" % (name, name, bpp)

    # RLE8 with a delta jump and an early end: skipped pixels stay index 0.
    w, h = 8, 4
    pal = [(10, 20, 30)] + random_palette(255)
    data = bytes([3, 5, 0, 2, 2, 1, 0, 0, 0, 4, 7, 8, 9, 10, 0, 1])
    with open(m.path("rle8_delta", "bmp"), "wb") as f:
        f.write(bmp_file(info40(w, h, 8, compression=1, image_size=len(data), colours=256),
                         b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in pal), data))
    grid = [[0] * w for _ in range(h)]  # bottom-up
    grid[0][0:3] = [5, 5, 5]
    grid[2][0:4] = [7, 8, 9, 10]
    exp = [pal[v] for row in reversed(grid) for v in row]
    m.add("rle8_delta", "bmp", 8, "exact", w, h, exp)

    # RLE4 runs that start at odd and at even columns, with and without deltas.
    rle4_odd_starts(m)


# ---------------------------------------------------------------- PNG

def png_chunk(tag, data):
    return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def png_bytes(width, height, color_type, depth, rows, palette=None, trns=None, bkgd=None, interlace=False):
    """rows: height lists of pixels, each a tuple of samples in the file's depth."""
    def pack(row):
        out = bytearray()
        if depth >= 8:
            for px in row:
                for s in px:
                    out += s.to_bytes(depth // 8, "big")
            return out
        acc, n = 0, 0
        for px in row:
            acc = (acc << depth) | px[0]
            n += depth
            if n == 8:
                out.append(acc)
                acc, n = 0, 0
        if n:
            out.append(acc << (8 - n))
        return out

    raw = bytearray()
    if interlace:
        for x0, y0, dx, dy in ADAM7:
            sub = [[rows[y][x] for x in range(x0, width, dx)] for y in range(y0, height, dy)]
            if not sub or not sub[0]:
                continue
            for r in sub:
                raw += b"\0" + pack(r)
    else:
        for r in rows:
            raw += b"\0" + pack(r)
    out = b"\x89PNG\r\n\x1a\n"
    out += png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, color_type, 0, 0, 1 if interlace else 0))
    if palette:
        out += png_chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if bkgd is not None:
        out += png_chunk(b"bKGD", bkgd)
    if trns is not None:
        out += png_chunk(b"tRNS", trns)
    out += png_chunk(b"IDAT", zlib.compress(bytes(raw)))
    out += png_chunk(b"IEND", b"")
    return out


def png_samples(m):
    def save(name, data):
        with open(m.path(name, "png"), "wb") as f:
            f.write(data)

    def pillow_ref(name, bpp, mode="exact"):
        (w, h), px = ref_from_pillow(m.path(name, "png"))
        m.add(name, "png", bpp, mode, w, h, px)

    w, h = 13, 11
    # Grey of every depth, plain and interlaced.
    for depth, bpp in ((1, 1), (2, 4), (4, 4), (8, 8)):
        rows = [[(rng.randrange(1 << depth),) for _ in range(w)] for _ in range(h)]
        for inter in (False, True):
            name = "grey%d%s" % (depth, "_i" if inter else "")
            save(name, png_bytes(w, h, 0, depth, rows, interlace=inter))
            pillow_ref(name, bpp)
    # 16-bit grey: the high byte of each sample.
    rows = [[(rng.randrange(65536),) for _ in range(w)] for _ in range(h)]
    save("grey16", png_bytes(w, h, 0, 16, rows))
    m.add("grey16", "png", 8, "exact", w, h, [(s[0] >> 8,) * 3 for row in rows for s in row])
    # Palettes of every depth.
    for depth, bpp in ((1, 1), (2, 4), (4, 4), (8, 8)):
        pal = random_palette(1 << depth)
        rows = [[(rng.randrange(1 << depth),) for _ in range(w)] for _ in range(h)]
        for inter in (False, True):
            name = "palette%d%s" % (depth, "_i" if inter else "")
            save(name, png_bytes(w, h, 3, depth, rows, palette=pal, interlace=inter))
            pillow_ref(name, bpp)
    # True colour, 8 and 16 bits, plain and interlaced.
    rows = [[tuple(rng.randrange(256) for _ in range(3)) for _ in range(w)] for _ in range(h)]
    for inter in (False, True):
        name = "rgb8%s" % ("_i" if inter else "")
        save(name, png_bytes(w, h, 2, 8, rows, interlace=inter))
        pillow_ref(name, 24)
    rows16 = [[tuple(rng.randrange(65536) for _ in range(3)) for _ in range(w)] for _ in range(h)]
    save("rgb16", png_bytes(w, h, 2, 16, rows16))
    m.add("rgb16", "png", 24, "exact", w, h, [tuple(s >> 8 for s in px) for row in rows16 for px in row])
    # RGBA keeps an alpha plane.
    rows = [[tuple(rng.randrange(256) for _ in range(4)) for _ in range(w)] for _ in range(h)]
    for inter in (False, True):
        name = "rgba8%s" % ("_i" if inter else "")
        save(name, png_bytes(w, h, 6, 8, rows, interlace=inter))
        m.add(name, "png", 24, "exact", w, h, [px for row in rows for px in row], channels=4)
    # Grey with alpha at 16 bits a sample keeps its alpha too (as RGB + alpha).
    rows = [[(rng.randrange(65536), rng.randrange(65536)) for _ in range(w)] for _ in range(h)]
    save("greyalpha16", png_bytes(w, h, 4, 16, rows))
    m.add("greyalpha16", "png", 24, "exact", w, h,
          [(g >> 8, g >> 8, g >> 8, a >> 8) for row in rows for g, a in row], channels=4)
    # Transparency composited onto the default grey 192, or onto the file's
    # own background colour; 8-bit RGBA is the one that keeps its alpha.
    rows = [[(10, 0), (200, 255), (0, 128), (255, 0)]]
    save("greyalpha8", png_bytes(4, 1, 4, 8, rows))
    m.add("greyalpha8", "png", 8, "tol2", 4, 1, [(192,) * 3, (200,) * 3, (96,) * 3, (192,) * 3])
    save("greyalpha8_bkgd", png_bytes(4, 1, 4, 8, rows, bkgd=struct.pack(">H", 50)))
    m.add("greyalpha8_bkgd", "png", 8, "tol2", 4, 1, [(50,) * 3, (200,) * 3, (25,) * 3, (50,) * 3])
    save("grey8_trns", png_bytes(2, 1, 0, 8, [[(7,), (8,)]], trns=struct.pack(">H", 7)))
    m.add("grey8_trns", "png", 8, "exact", 2, 1, [(192,) * 3, (8,) * 3])
    save("grey2_trns", png_bytes(2, 1, 0, 2, [[(1,), (3,)]], trns=struct.pack(">H", 1)))
    m.add("grey2_trns", "png", 4, "exact", 2, 1, [(170,) * 3, (255,) * 3])
    save("rgb8_trns", png_bytes(2, 1, 2, 8, [[(1, 2, 3), (4, 5, 6)]], trns=struct.pack(">HHH", 1, 2, 3)))
    m.add("rgb8_trns", "png", 24, "exact", 2, 1, [(192,) * 3, (4, 5, 6)])
    save("rgba16", png_bytes(2, 1, 6, 16, [[(65535, 0, 0, 0), (0, 65535, 0, 65535)]]))
    m.add("rgba16", "png", 24, "tol2", 2, 1, [(192,) * 3, (0, 255, 0)])
    save("rgba8_bkgd", png_bytes(2, 1, 6, 8, [[(1, 2, 3, 0), (4, 5, 6, 255)]], bkgd=struct.pack(">HHH", 10, 20, 30)))
    m.add("rgba8_bkgd", "png", 24, "exact", 2, 1, [(1, 2, 3, 0), (4, 5, 6, 255)], channels=4)
    pal = [(255, 0, 0), (0, 255, 0), (0, 0, 255)]
    save("palette_trns_single", png_bytes(3, 1, 3, 8, [[(0,), (1,), (2,)]], palette=pal, trns=b"\0"))
    m.add("palette_trns_single", "png", 8, "none", 3, 1, [(0, 0, 0)] * 3)
    save("palette_trns_many", png_bytes(3, 1, 3, 8, [[(0,), (1,), (2,)]], palette=pal, trns=b"\0\x80"))
    m.add("palette_trns_many", "png", 8, "none", 3, 1, [(0, 0, 0)] * 3)
    m.save()


# ---------------------------------------------------------------- JPEG

def exif_app1(order, orientation):
    """An APP1 segment with an Exif block whose first directory holds a Make
    entry and the orientation, in the byte order "II" or "MM"."""
    e = "<" if order == "II" else ">"
    entries = [struct.pack(e + "HHI", 0x010F, 2, 4) + b"Cam\0",
               struct.pack(e + "HHIH", 0x0112, 3, 1, orientation) + b"\0\0"]
    tiff = order.encode() + struct.pack(e + "HI", 42, 8) + struct.pack(e + "H", len(entries))
    tiff += b"".join(entries) + struct.pack(e + "I", 0)
    body = b"Exif\0\0" + tiff
    return b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body


def jpeg_samples(m):
    w, h = 40, 24
    img = Image.new("RGB", (w, h))
    img.putdata([((x * 6) % 256, (y * 10) % 256, (x * y) % 256) for y in range(h) for x in range(w)])
    img.save(m.path("colour", "jpg"), quality=90, dpi=(300, 150))
    (ww, hh), px = ref_from_pillow(m.path("colour", "jpg"))
    m.add("colour", "jpg", 24, "tol2", ww, hh, px)
    img.convert("L").save(m.path("grey", "jpg"), quality=90)
    (ww, hh), px = ref_from_pillow(m.path("grey", "jpg"))
    m.add("grey", "jpg", 8, "tol2", ww, hh, px)
    # Pillow writes CMYK as Adobe does (inverted) and inverts again on reading,
    # so 255 minus its values are the stored ones our rule works on.
    img.convert("CMYK").save(m.path("cmyk", "jpg"), quality=95)
    im = Image.open(m.path("cmyk", "jpg"))
    im.load()
    exp = []
    for c, mg, y, k in im.getdata():
        sc, sm, sy, sk = 255 - c, 255 - mg, 255 - y, 255 - k
        exp.append((sc * sk // 255, sm * sk // 255, sy * sk // 255))
    m.add("cmyk", "jpg", 24, "tol2", w, h, exp)
    # Dots per centimetre: the JFIF unit byte is 2.
    buf = io.BytesIO()
    img.save(buf, format="JPEG", quality=80, dpi=(100, 100))
    data = bytearray(buf.getvalue())
    assert data[6:11] == b"JFIF\0"
    data[13] = 2
    data[14:18] = struct.pack(">HH", 118, 40)
    with open(m.path("dpcm", "jpg"), "wb") as f:
        f.write(data)
    m.add("dpcm", "jpg", 24, "none", w, h, [(0, 0, 0)] * (w * h))
    # Every Exif orientation, in both byte orders: Pillow turns the picture
    # upright as viewers do. The Exif block is written by hand, so that the big
    # endian one is there too; a maker tag comes before the orientation.
    plain = open(m.path("colour", "jpg"), "rb").read()
    for order in ("II", "MM"):
        for orientation in range(1, 9):
            name = "orientation%d_%s" % (orientation, order.lower())
            with open(m.path(name, "jpg"), "wb") as f:
                f.write(plain[:2] + exif_app1(order, orientation) + plain[2:])
            im = Image.open(m.path(name, "jpg"))
            assert im.getexif().get(0x0112) == orientation
            im = ImageOps.exif_transpose(im).convert("RGB")
            m.add(name, "jpg", 24, "tol2", im.size[0], im.size[1], list(im.getdata()))
    # A file cut short still decodes to a picture of full size.
    whole = open(m.path("colour", "jpg"), "rb").read()
    with open(m.path("truncated", "jpg"), "wb") as f:
        f.write(whole[: len(whole) * 2 // 3])
    m.add("truncated", "jpg", 24, "none", w, h, [(0, 0, 0)] * (w * h))
    m.save()


def main():
    kind, outdir = sys.argv[1], sys.argv[2]
    os.makedirs(outdir, exist_ok=True)
    m = Manifest(outdir)
    if kind == "bmp":
        bmp_samples(m)
        m.save()
    elif kind == "png":
        png_samples(m)
    elif kind == "jpeg":
        jpeg_samples(m)
    else:
        sys.exit("unknown kind " + kind)


if __name__ == "__main__":
    main()
