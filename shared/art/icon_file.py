"""Writes .ico files from a drawing function, for the programs' icon scripts.

sample(x, y) gives the colour (r, g, b) of a point of the unit square, or
None where the icon is transparent; each pixel is supersampled 4x4 for
smooth edges. Images are 32-bit with an alpha channel and an AND mask.
"""
import struct

SAMPLES = 4


def render(sample, size):
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


def write_ico(path, sample, sizes):
    images = [icon_image(render(sample, s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))
