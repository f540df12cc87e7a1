#!/usr/bin/env python3
"""Draws the window's pictures as sixteen-colour PNG files (no imaging library needed).

  emblem.png    32 x 32   the program emblem (a globe under a magnifying glass)
  minimize.png  126 x 131 the minimise glyph: a grey bar with a black frame on white

The application icon is drawn apart, as icons/quellion.svg (scripts/render-icons.sh).

Run it here to redraw them: python3 draw_pictures.py
"""
import math
import struct
import zlib

# The classic sixteen-colour palette.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER, GREY = range(9)
RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(9, 16)


def write_png(path, pixels, transparent=None):
    height, width = len(pixels), len(pixels[0])
    raw = b""
    for row in pixels:
        packed = bytearray()
        for x in range(0, width, 2):
            hi = row[x]
            lo = row[x + 1] if x + 1 < width else 0
            packed.append((hi << 4) | lo)
        raw += b"\x00" + bytes(packed)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 4, 3, 0, 0, 0))
    png += chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
    if transparent is not None:
        png += chunk(b"tRNS", bytes(0 if i == transparent else 255 for i in range(16)))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def emblem(size):
    s = size / 32.0
    img = [[WHITE] * size for _ in range(size)]
    cx, cy, r = 13 * s, 13 * s, 10.5 * s
    for y in range(size):
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            d = math.hypot(px - cx, py - cy)
            # Handle of the glass, towards the bottom right.
            t = ((px - cx) + (py - cy)) / 2
            off = abs((px - cx) - (py - cy)) / math.sqrt(2)
            if r + 0.5 * s < t * math.sqrt(2) < r + 11 * s and off < 2.2 * s:
                img[y][x] = MAROON if off > 1.2 * s else OLIVE
            if d <= r:
                # The globe: sea with a grid of meridians and parallels.
                lat = (py - cy) / r
                lon = (px - cx) / (r * math.sqrt(max(0.05, 1 - lat * lat)))
                img[y][x] = BLUE
                if abs(lat * 3 - round(lat * 3)) < 0.09 * (32 / size) * 2:
                    img[y][x] = AQUA
                if abs(lon * 2 - round(lon * 2)) < 0.12 * (32 / size) * 2:
                    img[y][x] = AQUA
                # Land masses for a little life.
                if (px - cx + 3 * s) ** 2 / 9 + (py - cy - 2 * s) ** 2 / 25 < s * s:
                    img[y][x] = GREEN
                if (px - cx - 4 * s) ** 2 / 16 + (py - cy + 4 * s) ** 2 / 6 < s * s:
                    img[y][x] = LIME
            elif d <= r + 1.6 * s:
                img[y][x] = NAVY  # the glass's rim
    # A highlight on the glass.
    for y in range(size):
        for x in range(size):
            if math.hypot(x + 0.5 - (cx - 4 * s), y + 0.5 - (cy - 5 * s)) < 1.6 * s:
                img[y][x] = WHITE
    return img


def minimize_glyph():
    width, height = 126, 131
    img = [[WHITE] * width for _ in range(height)]
    left, right, top, bottom = 14, 111, 92, 117
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            edge = y in (top, top + 1, bottom, bottom - 1) or x in (left, left + 1, right, right - 1)
            img[y][x] = BLACK if edge else SILVER
    return img


if __name__ == "__main__":
    write_png("emblem.png", emblem(32))
    write_png("minimize.png", minimize_glyph())
