#!/usr/bin/python3
"""Pictures for the picture editor's tests, made with Pillow.

  picture_fixtures.py scene PATH W H
      a photo-like landscape: a sky that darkens upwards, a sun in the upper
      left, green hills, a red house on the right; no two quarter turns or
      mirrorings of it look alike. The format follows the extension.
  picture_fixtures.py photo PATH W H
      the scene with grain over it, so that neighbouring pixels differ as in
      a photograph
  picture_fixtures.py frames PATH COUNT W H
      an animated GIF of COUNT frames, each the scene with a white ball that
      moves from left to right, 10 hundredths of a second each
"""
import sys

from PIL import Image, ImageDraw


def scene(w, h, ball=None):
    im = Image.new('RGB', (w, h))
    draw = ImageDraw.Draw(im)
    horizon = h * 3 // 5
    for y in range(horizon):
        t = y / max(1, horizon - 1)
        draw.line([(0, y), (w - 1, y)], fill=(int(40 + 120 * t), int(90 + 120 * t), int(170 + 70 * t)))
    draw.rectangle([0, horizon, w, h], fill=(60, 140, 50))
    draw.ellipse([-w // 4, horizon - h // 6, w // 2, h + h // 3], fill=(80, 170, 60))
    r = max(2, min(w, h) // 10)
    draw.ellipse([w // 8, h // 8, w // 8 + 2 * r, h // 8 + 2 * r], fill=(255, 220, 60))
    hx, hy = w * 5 // 8, horizon - h // 6
    draw.rectangle([hx, hy, hx + w // 5, horizon + h // 20], fill=(200, 40, 40))
    draw.polygon([(hx - w // 40, hy), (hx + w // 10, hy - h // 8), (hx + w // 5 + w // 40, hy)], fill=(90, 30, 20))
    if ball is not None:
        bx = ball
        draw.ellipse([bx, h * 3 // 4, bx + r, h * 3 // 4 + r], fill=(255, 255, 255))
    return im


def main():
    a = sys.argv
    if a[1] == 'scene':
        scene(int(a[3]), int(a[4])).save(a[2])
    elif a[1] == 'photo':
        w, h = int(a[3]), int(a[4])
        grain = Image.effect_noise((w, h), 40).convert('RGB')
        Image.blend(scene(w, h), grain, 0.2).save(a[2], quality=90)
    elif a[1] == 'frames':
        count, w, h = int(a[3]), int(a[4]), int(a[5])
        frames = [scene(w, h, ball=k * (w - 10) // max(1, count - 1)).quantize(colors=128, dither=Image.Dither.NONE)
                  for k in range(count)]
        frames[0].save(a[2], save_all=True, append_images=frames[1:], duration=100, loop=0, optimize=False)
    else:
        sys.exit('unknown fixture ' + a[1])


if __name__ == '__main__':
    main()
