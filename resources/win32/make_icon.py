#!/usr/bin/env python3
"""Draws Tolvane's application icon and writes it as a 16-colour .ico.

The picture is a power symbol on a blue button with a small clock at its
lower right: "switch off, at a time". Each pixel is sampled 5 x 5 times and
takes the colour most of its samples fall on, so the 32 x 32 and the 16 x 16
image are drawn from the same shapes. Run it to regenerate tolvane.ico:

    python3 make_icon.py tolvane.ico
"""
import math
import struct
import sys

# The standard 16-colour palette, as the .ico stores it (blue, green, red, 0).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, GRAY, BLUE, YELLOW, WHITE, AQUA = 0, 4, 8, 12, 11, 15, 14
CLEAR = None  # transparent


def colour_at(x, y, small):
    """The colour of the point (x, y) of the unit square, y downwards."""
    cx, cy = 0.5, 0.5
    # The clock badge sits on top of everything at the lower right.
    bx, by, br = (0.74, 0.74, 0.26) if small else (0.76, 0.76, 0.23)
    bd = math.hypot(x - bx, y - by)
    if bd <= br:
        if bd > br - (0.07 if small else 0.05):
            return BLACK
        # Hands at ten past two... pointing up and to the right.
        hand_width = 0.055 if small else 0.035
        if abs(x - bx) <= hand_width / 2 and by - br * 0.7 <= y <= by + hand_width / 2:
            return BLACK
        if abs(y - by) <= hand_width / 2 and bx - hand_width / 2 <= x <= bx + br * 0.6:
            return BLACK
        return YELLOW

    d = math.hypot(x - cx, y - cy)
    if d > 0.48:
        return CLEAR
    if d > 0.43:
        return NAVY
    # The power symbol: an open ring and a bar through its gap.
    stroke = 0.11 if small else 0.085
    ring = 0.24
    angle = math.degrees(math.atan2(x - cx, -(y - cy)))  # 0 at the top
    bar = abs(x - cx) <= stroke / 2 and 0.13 <= y <= 0.52
    if bar:
        return WHITE
    if abs(d - ring) <= stroke / 2 and abs(angle) >= 38:
        return WHITE
    # A lighter rim at the upper left gives the button some depth.
    if d > 0.36 and (x - cx) + (y - cy) < -0.25:
        return AQUA
    return BLUE


def render(size):
    samples = 5
    pixels = []
    for row in range(size):
        line = []
        for col in range(size):
            votes = {}
            for sy in range(samples):
                for sx in range(samples):
                    x = (col + (sx + 0.5) / samples) / size
                    y = (row + (sy + 0.5) / samples) / size
                    c = colour_at(x, y, size <= 16)
                    votes[c] = votes.get(c, 0) + 1
            line.append(max(votes, key=lambda c: (votes[c], c is not None)))
        pixels.append(line)
    return pixels


def image_bytes(size):
    pixels = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for (r, g, b) in PALETTE)
    colour_stride = ((size * 4 + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    colours = bytearray()
    mask = bytearray()
    for line in reversed(pixels):  # bottom-up rows
        row = bytearray(colour_stride)
        bits = bytearray(mask_stride)
        for col, c in enumerate(line):
            index = 0 if c is None else c
            row[col // 2] |= index << (4 if col % 2 == 0 else 0)
            if c is None:
                bits[col // 8] |= 0x80 >> (col % 8)
        colours += row
        mask += bits
    return header + palette + bytes(colours) + bytes(mask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "tolvane.ico"
    images = [(32, image_bytes(32)), (16, image_bytes(16))]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:
        data += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    for _, image in images:
        data += image
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
