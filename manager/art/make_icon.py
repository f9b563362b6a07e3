#!/usr/bin/env python3
"""Draws the manager's program icon as VendrolixPro.ico (16, 32, 48, 32-bit).

A dark-grey rounded tile like the manager's skin, with a white list sheet
(the white list) and a cookie over its lower right corner (the keep lists).
Run from this folder; the output is committed.
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "art"))
from icon_file import write_ico  # noqa: E402


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


if __name__ == "__main__":
    write_ico("VendrolixPro.ico", sample, (16, 32, 48))
