#!/usr/bin/env python3
"""A second, independent run-length GIF coder for the writer's tests.

usage: gif_run_coder.py CODE_SIZE < indices > sub-blocks

Reads one pixel index per byte (top row first) and writes the image data
exactly as the writer should: the sub-blocks with their length bytes, without
the code size byte before them and the terminator after them.
"""
import sys


def isqrt(x):
    if x < 2:
        return x
    shifts = 0
    v = x
    while v:
        v >>= 2
        shifts += 1
    r = 1 << shifts
    while True:
        v = (x // r + r) // 2
        if v == r or v == r + 1:
            return r
        r = v


def triangle(count, codes):
    per = codes * (codes + 1) // 2
    cost = 0
    while count >= per:
        cost += codes
        count -= per
    if count > 0:
        n = isqrt(count)
        while n * (n + 1) >= 2 * count:
            n -= 1
        while n * (n + 1) < 2 * count:
            n += 1
        cost += n
    return cost


class Coder:
    def __init__(self, width):
        self.out = bytearray()
        self.block = bytearray()
        self.clear = 1 << (width - 1)
        self.end = self.clear + 1
        self.base = self.clear + 2
        self.init_width = width
        self.init_bump = (1 << (width - 1)) - 1
        self.init_limit = 9 if width <= 3 else self.init_bump - 1
        self.max_codes = 4096 - (self.clear + 3)
        self.run_pixel = 0
        self.run_count = 0
        self.table_pixel = 0
        self.bits = 0
        self.nbits = 0
        self.reset()
        self.raw(self.clear)

    def reset(self):
        self.width = self.init_width
        self.bump = self.init_bump
        self.limit = self.init_limit
        self.count = 0
        self.table_max = 0
        self.just_cleared = True

    def byte(self, b):
        self.block.append(b)
        if len(self.block) == 255:
            self.out.append(255)
            self.out += self.block
            self.block = bytearray()

    def raw(self, v):
        self.bits |= v << self.nbits
        self.nbits += self.width
        while self.nbits >= 8:
            self.byte(self.bits & 0xFF)
            self.bits >>= 8
            self.nbits -= 8

    def send_clear(self):
        self.raw(self.clear)
        self.reset()

    def plain(self, v):
        self.just_cleared = False
        self.raw(v)
        self.count += 1
        if self.count >= self.bump:
            self.width += 1
            self.bump += 1 << (self.width - 1)
        if self.count >= self.limit:
            self.send_clear()

    def reset_limit(self):
        self.limit = self.init_limit
        if self.count >= self.limit:
            self.send_clear()

    def from_clear(self, p, k):
        self.limit = self.max_codes
        self.table_pixel = p
        i = 1
        while k > 0:
            if i == 1:
                self.table_max = 1
                self.plain(p)
                k -= 1
            elif k >= i:
                self.table_max = i
                self.plain(self.base + i - 2)
                k -= i
            elif k == 1:
                self.table_max += 1
                self.plain(p)
                k = 0
            else:
                self.table_max += 1
                self.plain(self.base + k - 2)
                k = 0
            i = 1 if self.count == 0 else i + 1
        self.reset_limit()

    def clear_or_repeat(self, p, k):
        if 1 + triangle(k, self.max_codes) < k:
            self.send_clear()
            self.from_clear(p, k)
        else:
            for _ in range(k):
                self.plain(p)

    def with_table(self, p, k):
        t = self.table_max
        repeats, leftover = divmod(k, t)
        extra = 1 if leftover > 0 else 0
        if self.count + repeats + extra > self.max_codes:
            repeats = self.max_codes - self.count
            leftover = k - repeats * t
            extra = 1 + triangle(leftover, self.max_codes)
        if 1 + triangle(k, self.max_codes) < repeats + extra:
            self.send_clear()
            self.from_clear(p, k)
            return
        self.limit = self.max_codes
        for _ in range(repeats):
            self.plain(self.base + t - 2)
        if leftover > 0:
            if self.just_cleared:
                self.from_clear(p, leftover)
            elif leftover == 1:
                self.plain(p)
            else:
                self.plain(self.base + leftover - 2)
        self.reset_limit()

    def flush(self, p, k):
        if k == 1:
            self.plain(p)
        elif self.just_cleared:
            self.from_clear(p, k)
        elif self.table_max < 2 or self.table_pixel != p:
            self.clear_or_repeat(p, k)
        else:
            self.with_table(p, k)
        self.run_count = 0

    def put(self, c):
        if self.run_count > 0 and c != self.run_pixel:
            self.flush(self.run_pixel, self.run_count)
        if c < 0:
            return
        if c == self.run_pixel:
            self.run_count += 1
        else:
            self.run_pixel = c
            self.run_count = 1

    def finish(self):
        self.raw(self.end)
        if self.nbits > 0:
            self.byte(self.bits & 0xFF)
        if self.block:
            self.out.append(len(self.block))
            self.out += self.block
        return bytes(self.out)


def main():
    code_size = int(sys.argv[1])
    coder = Coder(code_size + 1)
    for c in sys.stdin.buffer.read():
        coder.put(c)
    coder.put(-1)
    sys.stdout.buffer.write(coder.finish())


if __name__ == "__main__":
    main()
