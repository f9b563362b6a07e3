#!/usr/bin/env python3
"""Draws the manager's program icon as VendrolixPro.ico (16, 32, 48, 32-bit).

A dark-grey rounded tile like the manager's skin, with a white list sheet
(the white list) and a cookie over its lower right corner (the keep lists).
Each pixel is supersampled 4x4 for smooth edges. Run from this folder; the
output is committed.
"""
import math
import struct

SAMPLES = 4


def rounded_tile(x, y):
    # 0.04..0.96 with corners of radius 0.18.
    r = 0.18
    cx = min(max(x, 0.04 + r), 0.96 - r)
    cy = min(max(y, 0.04 + r), 0.96 - r)
    return math.hypot(x - cx, y - cy) <= r and 0.04 <= x <= 0.96 and 0.04 <= y <= 0.96


def sample(x, y):
    if not rounded_tile(x, y):
        return None
    k = 1.0 - 0.35 * (x + y) / 2  # light from the upper left
    colour = tuple(int(c * k) for c in (120, 124, 134))
    # The sheet: 0.18..0.66 x 0.14..0.78 with three list lines.
    if 0.18 <= x <= 0.66 and 0.14 <= y <= 0.78:
        colour = (250, 250, 250)
        for top in (0.26, 0.40, 0.54):
            if top <= y <= top + 0.07 and 0.26 <= x <= 0.58:
                colour = (70, 110, 190)
    # The cookie, with three chips.
    d = math.hypot(x - 0.68, y - 0.70)
    if d <= 0.24:
        colour = (196, 140, 70) if d <= 0.21 else (120, 75, 30)
        for cx, cy in ((0.60, 0.64), (0.74, 0.62), (0.68, 0.79)):
            if math.hypot(x - cx, y - cy) <= 0.045:
                colour = (80, 45, 20)
    return colour


def render(size):
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            cover = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = sample((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    if c:
                        cover += 1
                        for i in range(3):
                            acc[i] += c[i]
            if cover:
                row.append((tuple(a // cover for a in acc), 255 * cover // (SAMPLES * SAMPLES)))
            else:
                row.append(((0, 0, 0), 0))
        pixels.append(row)
    return pixels


def icon_image(pixels):
    size = len(pixels)
    xor = bytearray()
    for row in reversed(pixels):  # bottom-up
        for (r, g, b), a in row:
            xor += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_row)
        for x, (_, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def write_ico(path, sizes=(16, 32, 48)):
    images = [icon_image(render(s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    write_ico("VendrolixPro.ico")
