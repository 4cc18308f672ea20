#!/usr/bin/env python3
"""Writes the images of Tapwire.rc next to this script.

logo.bmp, lamp_grey.bmp, lamp_green.bmp, lamp_amber.bmp: 8 bpp with a 256-entry palette and a
white background, which the dialog keys out when it draws them (TransparentBlt
with white), so the colours are exact and nothing is anti-aliased.
Tapwire.ico: one 32 x 32 image in the 16 standard VGA colours.

Standard library only; the output is the same on every run.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

WHITE = (255, 255, 255)
LOGO_BLUE = (0, 64, 192)
LAMP_GREY = (192, 192, 192)
LAMP_GREEN = (0, 255, 0)
LAMP_AMBER = (255, 176, 0)

# The 16 colours of the standard VGA palette, in the usual Windows order.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, RED, VGA_WHITE = 0, 4, 7, 9, 15

# 5 x 7 capitals, just the letters the logo needs.
GLYPHS = {
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
}


def bitmap_info_header(width, height, bits, image_size, colours_used):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0,
                       image_size, 2835, 2835, colours_used, 0)


def palette_bytes(colours, entries):
    """RGBQUADs (blue, green, red, 0), unused entries black."""
    padded = list(colours) + [(0, 0, 0)] * (entries - len(colours))
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in padded)


def row_stride(width, bits):
    return (width * bits + 31) // 32 * 4


def bmp8(pixels, colours):
    """A BMP file, 8 bpp, 256-entry palette; pixels[y][x] are palette indexes, top row first."""
    height, width = len(pixels), len(pixels[0])
    stride = row_stride(width, 8)
    rows = b"".join(bytes(row) + bytes(stride - width) for row in reversed(pixels))
    header = bitmap_info_header(width, height, 8, len(rows), 256)
    palette = palette_bytes(colours, 256)
    offset = 14 + len(header) + len(palette)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return file_header + header + palette + rows


def ico4(pixels, opaque):
    """An ICO file with one 4 bpp image in the VGA palette and its AND mask."""
    height, width = len(pixels), len(pixels[0])
    xor_stride, and_stride = row_stride(width, 4), row_stride(width, 1)
    xor_rows = b""
    and_rows = b""
    for y in reversed(range(height)):
        row = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for x in range(width):
            index = pixels[y][x] if opaque[y][x] else 0
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if not opaque[y][x]:
                mask[x // 8] |= 0x80 >> (x % 8)
        xor_rows += bytes(row)
        and_rows += bytes(mask)
    # The height of an icon's header counts the XOR and the AND image.
    header = bitmap_info_header(width, 2 * height, 4, len(xor_rows) + len(and_rows), 0)
    image = header + palette_bytes(VGA, 16) + xor_rows + and_rows
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width, height, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def logo():
    width, height, scale, gap = 158, 33, 4, 2
    text = "TAPWIRE"
    text_width = len(text) * 5 * scale + (len(text) - 1) * gap
    left = (width - text_width) // 2
    top = (height - 7 * scale) // 2
    pixels = [[0] * width for _ in range(height)]
    for n, letter in enumerate(text):
        x0 = left + n * (5 * scale + gap)
        for gy, line in enumerate(GLYPHS[letter]):
            for gx, cell in enumerate(line):
                if cell != "#":
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        pixels[top + gy * scale + dy][x0 + gx * scale + dx] = 1
    return bmp8(pixels, [WHITE, LOGO_BLUE])


def lamp(colour):
    # A hard-edged disc centred in 24 x 24, radius 11: the corners stay white.
    size, radius = 24, 11.0
    centre = (size - 1) / 2
    pixels = [[1 if (x - centre) ** 2 + (y - centre) ** 2 <= radius ** 2 else 0
               for x in range(size)] for y in range(size)]
    return bmp8(pixels, [WHITE, colour])


def icon():
    # A barcode label on a navy tile, crossed by a red scan line.
    size = 32
    bars = "110100111010110011"
    pixels = [[NAVY] * size for _ in range(size)]
    opaque = [[True] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            # Rounded corners, radius 4, on the tile 1..30.
            cx = min(max(x, 5), 26)
            cy = min(max(y, 5), 26)
            if x < 1 or x > 30 or y < 1 or y > 30 or (x - cx) ** 2 + (y - cy) ** 2 > 16:
                opaque[y][x] = False
    for y in range(6, 26):
        for x in range(5, 27):
            pixels[y][x] = VGA_WHITE
    for y in range(8, 22):
        for i, bar in enumerate(bars):
            if bar == "1":
                pixels[y][7 + i] = BLACK
    for x in range(7, 25, 2):
        pixels[23][x] = SILVER
    for y in (14, 15):
        for x in range(2, 30):
            pixels[y][x] = RED
    return ico4(pixels, opaque)


def main():
    outputs = {
        "logo.bmp": logo(),
        "lamp_grey.bmp": lamp(LAMP_GREY),
        "lamp_green.bmp": lamp(LAMP_GREEN),
        "lamp_amber.bmp": lamp(LAMP_AMBER),
        "Tapwire.ico": icon(),
    }
    for name, data in outputs.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
