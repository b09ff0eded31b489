#!/usr/bin/env python3
"""Draws Talvern's application icon and About logo.

    tools/make-art.py

Writes app/talvern-icon.dib (the one 32x32, 16-colour icon image, as stored in an icon
resource) and about/logo.gif (76x65, GIF89a, one image with a 256-entry local colour
table). Both are committed; run this again only to change them.
"""
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")

# The standard 16-colour palette, as (r, g, b).
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, NAVY, GREY, SILVER, BLUE, WHITE, YELLOW = 0, 4, 8, 7, 12, 15, 11


def draw_page(put, size, scale_x, scale_y, ox=0, oy=0):
    """A page with a folded corner and three menu lines, the first highlighted."""
    def box(x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                put(ox + x, oy + y, c)
    sx = lambda v: int(v * scale_x)
    sy = lambda v: int(v * scale_y)
    box(sx(4), sy(2), sx(24), sy(30), "edge")
    box(sx(5), sy(3), sx(23), sy(29), "page")
    for i in range(sx(6)):
        box(sx(23) - i, sy(3), sx(23), sy(3) + i, "fold")
    box(sx(8), sy(10), sx(28), sy(14), "hi")
    for row in (17, 22):
        box(sx(8), sy(row), sx(20), sy(row + 2), "line")


def icon():
    w = h = 32
    pixels = [[None] * w for _ in range(h)]
    colours = {"edge": GREY, "page": WHITE, "fold": SILVER, "hi": BLUE, "line": NAVY}

    def put(x, y, c):
        pixels[y][x] = colours[c]
    draw_page(put, 32, 1, 1)

    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in VGA)
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(h)):  # bottom-up rows
        row = [pixels[y][x] if pixels[y][x] is not None else BLACK for x in range(w)]
        xor += bytes((row[x] << 4) | row[x + 1] for x in range(0, w, 2))
        bits = 0
        for x in range(w):
            bits = (bits << 1) | (pixels[y][x] is None)
        mask += bits.to_bytes(4, "big")
    return header + palette + bytes(xor) + bytes(mask)


def lzw(indices, min_code_size=8):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, acc, nbits = bytearray(), 0, 0
    size = min_code_size + 1

    def emit(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    table = {bytes([i]): i for i in range(clear)}
    next_code = end + 1
    emit(clear)
    prefix = b""
    for i in indices:
        candidate = prefix + bytes([i])
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix])
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear)
            table = {bytes([j]): j for j in range(clear)}
            next_code, size = end + 1, min_code_size + 1
        prefix = bytes([i])
    emit(table[prefix])
    emit(end)
    if nbits:
        out.append(acc & 0xFF)
    blocks = bytearray()
    for k in range(0, len(out), 255):
        chunk = out[k:k + 255]
        blocks += bytes([len(chunk)]) + chunk
    return bytes([min_code_size]) + bytes(blocks) + b"\x00"


def logo():
    w, h = 76, 65
    # Entries 0-239: a blue-to-teal gradient for the background; 240-255: the page colours.
    palette = [(20 + i // 4, 60 + i // 3, 140 + i // 3) for i in range(240)]
    palette += [VGA[i] for i in range(16)]
    colours = {"edge": 240 + GREY, "page": 240 + WHITE, "fold": 240 + SILVER,
               "hi": 240 + YELLOW, "line": 240 + NAVY}
    pixels = [[min(239, (x + y) * 239 // (w + h - 2)) for x in range(w)] for y in range(h)]

    def put(x, y, c):
        if 0 <= x < w and 0 <= y < h:
            pixels[y][x] = colours[c]
    draw_page(put, 32, 2.2, 1.9, ox=3, oy=2)

    data = b"GIF89a" + struct.pack("<HHBBB", w, h, 0, 0, 0)  # no global colour table
    data += b"\x2c" + struct.pack("<HHHHB", 0, 0, w, h, 0x87)  # local table, 2^(7+1) entries
    data += b"".join(bytes(c) for c in palette)
    data += lzw([i for row in pixels for i in row])
    return data + b"\x3b"


def write(path, data):
    with open(os.path.join(ROOT, path), "wb") as f:
        f.write(data)
    print(f"{path}: {len(data)} bytes")


if __name__ == "__main__":
    write("app/talvern-icon.dib", icon())
    write("about/logo.gif", logo())
