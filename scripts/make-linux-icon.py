#!/usr/bin/env python3
"""Draws Tolvane's Linux icon: a power symbol on a blue disk with a clock's
hour marks, as PNG files in resources/linux/icons/ (16 to 128 pixels).

Standard library only; the shapes are sampled 8 x 8 times per pixel so the
small sizes stay smooth. Run it again after changing the drawing; the PNG
files are kept in the repository so a build needs no Python.
"""
import math
import os
import struct
import zlib

SIZES = (16, 32, 48, 64, 128)
SAMPLES = 8
BLUE = (0x1f, 0x4e, 0x9c)
RIM = (0x0f, 0x2c, 0x5e)
WHITE = (0xff, 0xff, 0xff)
MARK = (0xb8, 0xcf, 0xf0)


def colour_at(x, y):
    """The colour at (x, y) in a unit square, or None outside the icon."""
    dx, dy = x - 0.5, y - 0.5
    r = math.hypot(dx, dy)
    if r > 0.48:
        return None
    if r > 0.44:
        return RIM
    angle = math.degrees(math.atan2(dx, -dy)) % 360  # 0 at the top, clockwise
    # Twelve hour marks near the rim.
    if 0.36 < r < 0.42 and min(angle % 30, 30 - angle % 30) < 4:
        return MARK
    # The power symbol: a ring open at the top, and a bar through the gap.
    if abs(dx) < 0.045 and -0.30 < dy < 0.02:
        return WHITE
    if 0.17 < r < 0.255 and not (angle < 40 or angle > 320):
        return WHITE
    return BLUE


def render(size):
    rows = []
    for py in range(size):
        row = bytearray([0])  # PNG filter: none
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size,
                                  (py + (sy + 0.5) / SAMPLES) / size)
                    if c:
                        acc[0] += c[0]
                        acc[1] += c[1]
                        acc[2] += c[2]
                        acc[3] += 1
            n = acc[3]
            if n:
                row += bytes([acc[0] // n, acc[1] // n, acc[2] // n,
                              round(255 * n / SAMPLES ** 2)])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return png(size, b"".join(rows))


def png(size, raw):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "linux",
                       "icons")
    os.makedirs(out, exist_ok=True)
    for size in SIZES:
        with open(os.path.join(out, f"tolvane-{size}.png"), "wb") as f:
            f.write(render(size))


if __name__ == "__main__":
    main()
