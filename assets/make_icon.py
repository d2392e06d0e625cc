#!/usr/bin/env python3
"""Draws the program icon and writes assets/selvane.ico.

Seven 32-bit images (16, 24, 32, 48, 64, 96 and 128 px), each a BGRA bitmap
with its AND mask, as Windows reads them from a resource. The artwork is the
window's dark blue rounded panel with a teal disc and a white download arrow,
drawn with 4x4 supersampling so the small sizes stay smooth. Only the standard
library is used, so the icon can be rebuilt on any machine:

    python3 assets/make_icon.py
"""
import os
import struct

SIZES = (16, 24, 32, 48, 64, 96, 128)
SAMPLES = 4

NAVY = (0x00, 0x33, 0x6A)
TEAL = (0x18, 0xAD, 0xA1)
WHITE = (0xFF, 0xFF, 0xFF)


def in_rounded_square(x, y, inset, radius):
    lo, hi = inset, 1.0 - inset
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_disc(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_arrow(x, y):
    # Shaft, then a head pointing down, then the tray the arrow drops into.
    if abs(x - 0.5) <= 0.065 and 0.24 <= y <= 0.56:
        return True
    if 0.48 <= y <= 0.70:
        half = 0.20 * (0.70 - y) / 0.22
        if abs(x - 0.5) <= half:
            return True
    return 0.74 <= y <= 0.80 and 0.30 <= x <= 0.70


def colour_at(x, y):
    """Top-most layer at a point, or None outside the icon."""
    if in_arrow(x, y) and in_disc(x, y, 0.5, 0.52, 0.34):
        return WHITE
    if in_disc(x, y, 0.5, 0.52, 0.34):
        return TEAL
    if in_rounded_square(x, y, 0.02, 0.22):
        return NAVY
    return None


def render(size):
    """Rows top to bottom of (r, g, b, a)."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((r // a, g // a, b // a, round(255 * a / SAMPLES ** 2)))
        rows.append(row)
    return rows


def icon_image(size):
    """BITMAPINFOHEADER, BGRA pixels and the AND mask, both bottom-up."""
    rows = render(size)
    mask_stride = ((size + 31) // 32) * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def main():
    images = [icon_image(s) for s in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "selvane.ico")
    with open(path, "wb") as f:
        f.write(out)
    print(f"{path}: {len(images)} images, {len(out)} bytes")


if __name__ == "__main__":
    main()
