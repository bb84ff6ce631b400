#!/usr/bin/python3
"""Pictures for the animation tests, made with Pillow, and checks of what the
program wrote, read back with Pillow.

  anim_fixtures.py gif PATH FRAMES W H DELAYS [DISPOSAL]
      an animated GIF: every frame a different flat background with a moving
      square; DELAYS is a comma list of hundredths of a second, used in turn;
      DISPOSAL (default 1) is every frame's disposal method
  anim_fixtures.py tables PATH
      a 40 x 30 animated GIF of three frames, each with a 256-colour table of
      its own (reds, blues, greens), the later two drawn over part of the
      screen only: frames 1 and 2 show more than 256 colours
  anim_fixtures.py framediff GIF SOURCE
      the largest, over the frames, mean absolute channel difference between
      the frames of GIF and of SOURCE as Pillow composes them
  anim_fixtures.py stripes PATH W H
      four vertical stripes of flat colours (red, green, blue, white); the
      format follows the extension (.jpg, .png, .bmp, .gif)
  anim_fixtures.py gradient PATH W H
      a smooth true-colour gradient, far more than 256 colours
  anim_fixtures.py mean GIF
      the mean of all channels of the first frame
  anim_fixtures.py alpha PATH W H
      an RGBA PNG: an opaque yellow left half, a half-transparent blue right half
  anim_fixtures.py icon PATH W H
      an RGBA PNG icon: an opaque yellow disc whose edge fades out over a few
      pixels, on transparent pixels that hide black
  anim_fixtures.py outside GIF R,G,B R,G,B
      how far, at most, a channel of any pixel of the first frame lies outside
      the range between the two colours
  anim_fixtures.py lightdiff GIF LIGHTER SHIFT
      the largest channel difference, over every pixel of every frame, between
      LIGHTER and GIF with SHIFT added to each channel (clamped to 0..255)
  anim_fixtures.py twocolour PATH W H
      a GIF of two colours: a white background with a dark red square
  anim_fixtures.py info GIF
      prints the frame count, the size and each frame's duration in ms
  anim_fixtures.py diff GIF SOURCE L,T,R,B SIZE
      mean absolute channel difference between the first frame of GIF and the
      box L,T,R,B of SOURCE (top-left origin) scaled to SIZE x SIZE
  anim_fixtures.py fitdiff GIF SOURCE SIZE
      the same against SOURCE fitted into SIZE x SIZE on black, centred
"""
import random
import sys

from PIL import Image, ImageSequence

STRIPES = [(230, 20, 20), (20, 200, 40), (30, 40, 220), (250, 250, 250)]


def gif(path, count, w, h, delays, disposal=1):
    delays = [int(d) for d in delays.split(',')]
    frames = []
    for k in range(count):
        f = Image.new('RGB', (w, h), ((k * 37) % 256, (k * 91) % 256, (k * 13 + 60) % 256))
        x = (k * 3) % max(1, w - 8)
        for yy in range(min(8, h)):
            for xx in range(8):
                if x + xx < w:
                    f.putpixel((x + xx, yy + h // 3 if yy + h // 3 < h else yy), (255, 255, 255))
        frames.append(f.quantize(colors=64, dither=Image.Dither.NONE))
    # Pillow keeps the delays only in tens of milliseconds, the GIF unit.
    durations = [delays[k % len(delays)] * 10 for k in range(count)]
    frames[0].save(path, save_all=True, append_images=frames[1:], duration=durations, loop=0,
                   optimize=False, disposal=disposal)


def tables(path):
    rng = random.Random(3)
    w, h = 40, 30

    def frame(palette, box):
        # Outside its box a frame is transparent (index 255).
        im = Image.new('P', (w, h), 0 if box is None else 255)
        im.putpalette([v for c in palette for v in c])
        px = im.load()
        for y in range(h):
            for x in range(w):
                if box is None or (box[0] <= x < box[2] and box[1] <= y < box[3]):
                    px[x, y] = rng.randrange(256 if box is None else 255)
        if box is not None:
            im.info['transparency'] = 255
        return im

    reds = [(100 + i * 155 // 255, (i * 7) % 60, 30) for i in range(256)]
    blues = [(20, (i * 5) % 80, 100 + i * 155 // 254) for i in range(255)] + [(0, 0, 0)]
    greens = [((i * 3) % 70, 100 + i * 155 // 254, 40) for i in range(255)] + [(0, 0, 0)]
    frames = [frame(reds, None), frame(blues, (2, 2, 22, 22)), frame(greens, (18, 8, 38, 28))]
    frames[0].save(path, save_all=True, append_images=frames[1:], duration=100, loop=0, optimize=False,
                   disposal=1)


def framediff(path, source):
    with Image.open(path) as a, Image.open(source) as b:
        fa = [f.convert('RGB') for f in ImageSequence.Iterator(a)]
        fb = [f.convert('RGB') for f in ImageSequence.Iterator(b)]
    if len(fa) != len(fb):
        sys.exit('%d frames against %d' % (len(fa), len(fb)))
    print('%.3f' % max(mean_diff(x, y) for x, y in zip(fa, fb)))


def stripes(path, w, h):
    im = Image.new('RGB', (w, h))
    for x in range(w):
        c = STRIPES[min(3, x * 4 // w)]
        for y in range(h):
            im.putpixel((x, y), c)
    if path.lower().endswith('.gif'):
        im = im.quantize(colors=4, dither=Image.Dither.NONE)
    if path.lower().endswith('.jpg'):
        im.save(path, quality=95)
    else:
        im.save(path)


def gradient(path, w, h):
    im = Image.new('RGB', (w, h))
    for y in range(h):
        for x in range(w):
            im.putpixel((x, y), (40 + x * 150 // w, 40 + y * 150 // h, 120))
    im.save(path)


def mean(path):
    data = first_frame(path).tobytes()
    print('%.3f' % (sum(data) / len(data)))


def alpha(path, w, h):
    im = Image.new('RGBA', (w, h))
    for y in range(h):
        for x in range(w):
            im.putpixel((x, y), (240, 220, 20, 255) if x < w // 2 else (20, 40, 230, 128))
    im.save(path)


def icon(path, w, h):
    im = Image.new('RGBA', (w, h), (0, 0, 0, 0))
    cx, cy, r = w / 2, h / 2, min(w, h) * 0.35
    for y in range(h):
        for x in range(w):
            d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
            a = max(0.0, min(1.0, (r - d) / 3))
            if a > 0:
                im.putpixel((x, y), (240, 220, 20, int(a * 255)))
    im.save(path)


def outside(path, low, high):
    low = [int(v) for v in low.split(',')]
    high = [int(v) for v in high.split(',')]
    worst = 0
    for px in first_frame(path).getdata():
        for v, a, b in zip(px, low, high):
            worst = max(worst, min(a, b) - v, v - max(a, b))
    print(worst)


def lightdiff(path, lighter, shift):
    a, b = Image.open(path), Image.open(lighter)
    frames_a = [f.convert('RGB').tobytes() for f in ImageSequence.Iterator(a)]
    frames_b = [f.convert('RGB').tobytes() for f in ImageSequence.Iterator(b)]
    if len(frames_a) != len(frames_b):
        print(999)
        return
    worst = 0
    for fa, fb in zip(frames_a, frames_b):
        for x, y in zip(fa, fb):
            worst = max(worst, abs(max(0, min(255, x + shift)) - y))
    print(worst)


def twocolour(path, w, h):
    im = Image.new('P', (w, h), 0)
    im.putpalette([255, 255, 255, 120, 10, 10] + [0] * 762)
    for y in range(h // 4, h * 3 // 4):
        for x in range(w // 4, w * 3 // 4):
            im.putpixel((x, y), 1)
    im.save(path)


def info(path):
    im = Image.open(path)
    durations = [f.info.get('duration', 0) for f in ImageSequence.Iterator(im)]
    print(len(durations), im.size[0], im.size[1], *durations)


def mean_diff(a, b):
    a = a.convert('RGB').tobytes()
    b = b.convert('RGB').tobytes()
    return sum(abs(x - y) for x, y in zip(a, b)) / len(a)


def first_frame(path):
    im = Image.open(path)
    im.seek(0)
    return im.convert('RGB')


def diff(path, source, box, size):
    box = tuple(int(v) for v in box.split(','))
    want = Image.open(source).convert('RGB').crop(box).resize((size, size), Image.Resampling.BILINEAR)
    print('%.3f' % mean_diff(first_frame(path), want))


def fitdiff(path, source, size):
    src = Image.open(source)
    if src.mode == 'RGBA':
        # Transparent parts show the grey a PNG without a background colour gets.
        src = Image.alpha_composite(Image.new('RGBA', src.size, (192, 192, 192, 255)), src)
    src = src.convert('RGB')
    w, h = src.size
    want = Image.new('RGB', (size, size))
    if w >= h:
        sh = max(1, int(size * h / w))
        want.paste(src.resize((size, sh), Image.Resampling.BILINEAR), (0, (size - sh) // 2))
    else:
        sw = max(1, int(size * w / h))
        want.paste(src.resize((sw, size), Image.Resampling.BILINEAR), ((size - sw) // 2, 0))
    print('%.3f' % mean_diff(first_frame(path), want))


if __name__ == '__main__':
    a = sys.argv
    cmd = a[1]
    if cmd == 'gif':
        gif(a[2], int(a[3]), int(a[4]), int(a[5]), a[6], int(a[7]) if len(a) > 7 else 1)
    elif cmd == 'tables':
        tables(a[2])
    elif cmd == 'framediff':
        framediff(a[2], a[3])
    elif cmd == 'stripes':
        stripes(a[2], int(a[3]), int(a[4]))
    elif cmd == 'gradient':
        gradient(a[2], int(a[3]), int(a[4]))
    elif cmd == 'mean':
        mean(a[2])
    elif cmd == 'alpha':
        alpha(a[2], int(a[3]), int(a[4]))
    elif cmd == 'icon':
        icon(a[2], int(a[3]), int(a[4]))
    elif cmd == 'outside':
        outside(a[2], a[3], a[4])
    elif cmd == 'lightdiff':
        lightdiff(a[2], a[3], int(a[4]))
    elif cmd == 'twocolour':
        twocolour(a[2], int(a[3]), int(a[4]))
    elif cmd == 'info':
        info(a[2])
    elif cmd == 'diff':
        diff(a[2], a[3], a[4], int(a[5]))
    elif cmd == 'fitdiff':
        fitdiff(a[2], a[3], int(a[4]))
    else:
        sys.exit('unknown command ' + cmd)
