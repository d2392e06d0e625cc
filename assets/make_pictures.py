#!/usr/bin/env python3
"""Draws the pictures of the main window and writes them next to this script.

Run `python3 assets/make_pictures.py` to regenerate them. Only the standard
library is used: PNG chunks are written with zlib, the GIF with its own LZW
encoder. Shapes are drawn 4x supersampled so that edges come out smooth.

  logo.png           100 x 30   RGBA   logo, white on transparent
  emblem.png         150 x 147  RGBA   decorative white outline emblem
  close_button.png    30 x 30   RGBA   close icon: white cross on a teal square
  close_hidden.png    48 x 48   RGBA   close icon of the hidden button: white cross
  busy.gif            28 x 28   GIF89a 8 frames, 128 colours, 7/100 s, disposal 2

Each is also drawn for the display scales 125, 150 and 200 % (name_125.png,
...): the same shapes at that resolution, the size rounded half up, so that a
scaled window never stretches a bitmap.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 4  # supersampling factor
SCALES = (100, 125, 150, 200)  # display scales in percent


def scaled(size, pct):
    """A size of the 100 % picture at `pct`, rounded half up."""
    return (size * pct + 50) // 100


def file_name(stem, ext, pct):
    return f"{stem}{ext}" if pct == 100 else f"{stem}_{pct}{ext}"


def coverage(width, height, inside, pct=100):
    """Alpha (0..255) per pixel of the shape `inside(x, y)`, supersampled;
    the shape is given in the coordinates of the 100 % picture."""
    k = pct / 100
    out = []
    for y in range(height):
        row = []
        for x in range(width):
            hits = 0
            for sy in range(SS):
                for sx in range(SS):
                    if inside((x + (sx + 0.5) / SS) / k, (y + (sy + 0.5) / SS) / k):
                        hits += 1
            row.append((hits * 255 + SS * SS // 2) // (SS * SS))
        out.append(row)
    return out


def write_png(name, width, height, rgba_rows):
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rgba_rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(png)


def white_on_clear(alpha_rows):
    return [[(255, 255, 255, a) for a in row] for row in alpha_rows]


# --- logo: "KAVEL" in block letters --------------------------------------------
GLYPHS = {
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
}


def logo(pct):
    w, h, cell = 100, 30, 3.0
    word = "KAVEL"
    advance = 6 * cell
    left = (w - (len(word) * advance - cell)) / 2
    top = (h - 7 * cell) / 2

    def inside(x, y):
        col = int((x - left) // cell)
        row = int((y - top) // cell)
        if row < 0 or row >= 7 or col < 0:
            return False
        letter, gx = divmod(col, 6)
        if letter >= len(word) or gx >= 5:
            return False
        return GLYPHS[word[letter]][row][gx] == "1"

    sw, sh = scaled(w, pct), scaled(h, pct)
    write_png(file_name("logo", ".png", pct), sw, sh, white_on_clear(coverage(sw, sh, inside, pct)))


# --- emblem: concentric outline rings with a diamond ---------------------------
def emblem(pct):
    w, h = 150, 147
    cx, cy = 75.0, 73.5

    def inside(x, y):
        r = math.hypot(x - cx, y - cy)
        for radius in (70.0, 52.0):
            if abs(r - radius) <= 1.5:
                return True
        d = abs(x - cx) + abs(y - cy)
        return abs(d - 34.0) <= 1.5

    sw, sh = scaled(w, pct), scaled(h, pct)
    alpha = coverage(sw, sh, inside, pct)
    # A faint emblem: it sits behind the logo's corner.
    write_png(file_name("emblem", ".png", pct), sw, sh, [[(255, 255, 255, a * 3 // 5) for a in row] for row in alpha])


# --- close icons ----------------------------------------------------------------
def cross(size, arm, thickness, pct):
    c = size / 2.0

    def inside(x, y):
        u, v = x - c, y - c
        d1 = abs(u - v) / math.sqrt(2)
        d2 = abs(u + v) / math.sqrt(2)
        reach = max(abs(u), abs(v))
        return reach <= arm and (d1 <= thickness / 2 or d2 <= thickness / 2)

    n = scaled(size, pct)
    return coverage(n, n, inside, pct)


def close_button(pct):
    size = 30
    teal = (0x18, 0xAD, 0xA1)
    alpha = cross(size, 7.0, 2.2, pct)
    rows = []
    for row in alpha:
        out = []
        for a in row:
            out.append(tuple((255 * a + ch * (255 - a) + 127) // 255 for ch in teal) + (255,))
        rows.append(out)
    write_png(file_name("close_button", ".png", pct), scaled(size, pct), scaled(size, pct), rows)


def close_hidden(pct):
    n = scaled(48, pct)
    write_png(file_name("close_hidden", ".png", pct), n, n, white_on_clear(cross(48, 13.0, 3.0, pct)))


# --- busy animation -------------------------------------------------------------
GROUND = (0x00, 0x34, 0x6B)  # close to the panel's #00336A
RING_A = (0x18, 0xAD, 0xA1)  # the turning arc
RING_B = (0xDD, 0xE6, 0xF0)  # the rest of the ring
LEVELS = 64


def mix(c1, c2, t):
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c1, c2))


def base_palette():
    # 64 shades from the ground to each ring colour: 128 entries.
    pal = [mix(GROUND, RING_A, i / (LEVELS - 1)) for i in range(LEVELS)]
    pal += [mix(GROUND, RING_B, i / (LEVELS - 1)) for i in range(LEVELS)]
    return pal


def busy_frame(step, pct):
    """Palette indices (into base_palette) of frame `step` of 8."""
    size, c, k = scaled(28, pct), 14.0, pct / 100
    start = step * math.pi / 4
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            hits_a = hits_b = 0
            for sy in range(SS):
                for sx in range(SS):
                    px, py = (x + (sx + 0.5) / SS) / k, (y + (sy + 0.5) / SS) / k
                    r = math.hypot(px - c, py - c)
                    if 8.0 <= r <= 12.0:
                        ang = (math.atan2(py - c, px - c) - start) % (2 * math.pi)
                        if ang < math.pi / 2:
                            hits_a += 1
                        else:
                            hits_b += 1
            n = SS * SS
            if hits_a >= hits_b:
                row.append(round(hits_a * (LEVELS - 1) / n))
            else:
                row.append(LEVELS + round(hits_b * (LEVELS - 1) / n))
        rows.append(row)
    return rows


def lzw_encode(indices, min_code_size):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, bit_buf, bit_count = bytearray(), 0, 0

    def emit(code, size):
        nonlocal bit_buf, bit_count
        bit_buf |= code << bit_count
        bit_count += size
        while bit_count >= 8:
            out.append(bit_buf & 0xFF)
            bit_buf >>= 8
            bit_count -= 8

    def reset():
        return {(i,): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, size = reset()
    emit(clear, size)
    prefix = ()
    for idx in indices:
        candidate = prefix + (idx,)
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix], size)
        if next_code == 4096:
            emit(clear, size)
            table, next_code, size = reset()
        else:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        prefix = (idx,)
    if prefix:
        emit(table[prefix], size)
    emit(end, size)
    if bit_count:
        out.append(bit_buf & 0xFF)
    return bytes(out)


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        piece = data[i:i + 255]
        out.append(len(piece))
        out += piece
    out.append(0)
    return bytes(out)


def busy_gif(pct):
    size, frames = scaled(28, pct), 8
    pal = base_palette()
    table = lambda p: b"".join(bytes(c) for c in p)
    gif = bytearray(b"GIF89a")
    # Global table of 128 colours (size field 6), background = ground.
    gif += struct.pack("<HHBBB", size, size, 0x80 | 0x70 | 0x06, 0, 0)
    gif += table(pal)
    gif += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    for f in range(frames):
        indices = [i for row in busy_frame(f, pct) for i in row]
        local = 1 <= f <= 6
        if local:
            # Frames 2 to 7 carry their own table: the same colours in reverse order.
            order = list(reversed(range(len(pal))))
            remap = {old: new for new, old in enumerate(order)}
            indices = [remap[i] for i in indices]
        gif += b"\x21\xF9\x04" + bytes([2 << 2]) + struct.pack("<H", 7) + b"\x00\x00"
        gif += b"\x2C" + struct.pack("<HHHH", 0, 0, size, size)
        gif += bytes([0x80 | 0x06]) if local else b"\x00"
        if local:
            gif += table([pal[i] for i in order])
        gif += bytes([7]) + sub_blocks(lzw_encode(indices, 7))
    gif += b"\x3B"
    with open(os.path.join(HERE, file_name("busy", ".gif", pct)), "wb") as f:
        f.write(gif)


if __name__ == "__main__":
    for pct in SCALES:
        logo(pct)
        emblem(pct)
        close_button(pct)
        close_hidden(pct)
        busy_gif(pct)
