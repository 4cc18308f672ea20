#!/usr/bin/env python3
"""Draws the installer's icon: a white USB trident on a blue rounded square.

usage: make_icon.py output.ico

Writes one icon group with 16, 32 and 48 pixel images, 32 bits per pixel
with alpha, anti-aliased by 4x4 supersampling.
"""
import math
import struct
import sys

BLUE = (0x1F, 0x6F, 0xB2)
WHITE = (0xFF, 0xFF, 0xFF)


def rounded_square(x, y):
    r = 0.18
    dx = max(abs(x - 0.5) - (0.5 - r) + 0.02, 0.0)
    dy = max(abs(y - 0.5) - (0.5 - r) + 0.02, 0.0)
    return dx * dx + dy * dy <= r * r


def segment(x, y, ax, ay, bx, by, width):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)))
    px, py = ax + t * vx, ay + t * vy
    return math.hypot(x - px, y - py) <= width / 2


def trident(x, y):
    w = 0.07
    if segment(x, y, 0.5, 0.22, 0.5, 0.78, w):          # stem
        return True
    if (x - 0.5) ** 2 + (y - 0.80) ** 2 <= 0.085 ** 2:  # plug end
        return True
    if 0.09 <= y <= 0.25 and abs(x - 0.5) <= (y - 0.09) * 0.75:
        return True                                      # arrow head
    if segment(x, y, 0.5, 0.62, 0.28, 0.48, w) or segment(x, y, 0.28, 0.48, 0.28, 0.38, w):
        return True                                      # left branch
    if (x - 0.28) ** 2 + (y - 0.34) ** 2 <= 0.06 ** 2:
        return True
    if segment(x, y, 0.5, 0.54, 0.72, 0.42, w) or segment(x, y, 0.72, 0.42, 0.72, 0.34, w):
        return True                                      # right branch
    if abs(x - 0.72) <= 0.055 and abs(y - 0.30) <= 0.055:
        return True
    return False


def render(size):
    """Rows bottom-up of BGRA bytes, as the icon's bitmap wants them."""
    n = 4
    rows = []
    for row in range(size - 1, -1, -1):
        line = bytearray()
        for col in range(size):
            cover = white = 0
            for sy in range(n):
                for sx in range(n):
                    x = (col + (sx + 0.5) / n) / size
                    y = (row + (sy + 0.5) / n) / size
                    if rounded_square(x, y):
                        cover += 1
                        if trident(x, y):
                            white += 1
            alpha = cover / (n * n)
            mix = white / cover if cover else 0.0
            rgb = [round(b + (w - b) * mix) for b, w in zip(BLUE, WHITE)]
            line += bytes((rgb[2], rgb[1], rgb[0], round(alpha * 255)))
        rows.append(bytes(line))
    return rows


def icon_image(size):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(render(size))
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # alpha decides; the AND mask stays clear
    return header + pixels + mask


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sizes = (16, 32, 48)
    images = [icon_image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b''.join(images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
