#!/usr/bin/env python3
"""Writes the two region data blocks of the wizard frame's curved lower sides.

Each block is a standard region data block: a 32-byte header (header size 32,
type 1 for rectangles, rectangle count, size of the rectangle buffer, bounding
rectangle) followed by the rectangles as left, top, right, bottom (32-bit little
endian). Rows are top-inclusive and bottom-exclusive; every band ends at x = 33.
"""
import struct
import sys
from pathlib import Path

# (left edge, first row, end row) for each band.
LEFT_SIDE_136 = [
    (1, 0, 11), (2, 11, 15), (3, 15, 20), (4, 20, 24), (5, 24, 33), (6, 33, 46), (7, 46, 59),
    (8, 59, 72), (9, 72, 85), (10, 85, 98), (11, 98, 111), (12, 111, 124), (13, 124, 138),
    (14, 138, 151), (15, 151, 160), (16, 160, 163), (17, 163, 166), (18, 166, 169), (19, 169, 170),
    (20, 170, 172), (21, 172, 173), (22, 173, 174), (23, 174, 175), (24, 175, 176), (25, 176, 177),
    (26, 177, 178), (28, 178, 179), (30, 179, 180),
]
RIGHT_SIDE_137 = [
    (32, 0, 11), (31, 11, 15), (30, 15, 20), (29, 20, 24), (28, 24, 33), (27, 33, 46), (26, 46, 59),
    (25, 59, 72), (24, 72, 85), (23, 85, 98), (22, 98, 111), (21, 111, 124), (20, 124, 138),
    (19, 138, 151), (18, 151, 160), (17, 160, 163), (16, 163, 166), (15, 166, 169), (14, 169, 170),
    (13, 170, 172), (12, 172, 173), (11, 173, 174), (10, 174, 175), (9, 175, 176), (8, 176, 177),
    (7, 177, 178), (5, 178, 179), (3, 179, 180), (0, 180, 181),
]
RIGHT_EDGE = 33


def region_block(bands, bounds):
    rects = b"".join(struct.pack("<4i", left, top, RIGHT_EDGE, bottom) for left, top, bottom in bands)
    header = struct.pack("<4I4i", 32, 1, len(bands), len(rects), *bounds)
    return header + rects


def main(out_dir):
    out = Path(out_dir)
    (out / "frame_region_136.bin").write_bytes(region_block(LEFT_SIDE_136, (1, 0, 33, 180)))
    (out / "frame_region_137.bin").write_bytes(region_block(RIGHT_SIDE_137, (0, 0, 33, 181)))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
