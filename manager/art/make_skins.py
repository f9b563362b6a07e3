#!/usr/bin/env python3
"""Draws the manager's skin pictures as 8-bit BMP files.

The page picture and the message-box picture are shown stretched over the
design area of their windows, so any picture of the design size serves; these
are a brushed dark-grey panel with a lighter band behind the title and a soft
glow in the lower right. Run from this folder; the output is committed.
"""
import math
import struct


def bmp8(path, width, height, pixel):
    palette = []
    for i in range(256):
        # A grey ramp with a slight blue tint in the highlights.
        r = i
        g = i
        b = min(255, i + i // 8)
        palette.append(bytes((b, g, r, 0)))
    row = (width + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):  # bottom-up
        line = bytearray(pixel(x, y) for x in range(width))
        line.extend(b"\0" * (row - width))
        rows.append(bytes(line))
    data = b"".join(rows)
    offset = 14 + 40 + 256 * 4
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(data), 3780, 3780, 256, 0)
    with open(path, "wb") as f:
        f.write(header + info + b"".join(palette) + data)


def panel(width, height, band):
    def pixel(x, y):
        base = 72 + 40 * (1 - y / height)  # darker towards the bottom
        if y < band:
            base += 22 * (1 - y / band)
        # brushed texture: a faint horizontal ripple
        base += 4 * math.sin(x * 0.9 + y * 0.05) * math.sin(y * 2.3)
        gx, gy = width * 0.85, height * 0.85
        d = math.hypot(x - gx, y - gy) / math.hypot(width, height)
        base += 30 * max(0.0, 0.35 - d)
        # a thin light rim just inside the rounded edge
        if x < 2 or y < 2:
            base += 40
        if x > width - 3 or y > height - 3:
            base -= 30
        return max(0, min(255, int(base)))
    return pixel


if __name__ == "__main__":
    bmp8("skin_page.bmp", 529, 335, panel(529, 335, 60))
    bmp8("skin_message.bmp", 349, 167, panel(349, 167, 40))
