#!/usr/bin/env python3
"""Draws the tray's two icons as .ico files (16x16 and 32x32, 32-bit).

Blocking: a red disc with a small white browser window crossed by a bar.
Allowing: a green disc with the same window and a tick beside it, lighter.
Run from this folder; the output is committed.
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "art"))
from icon_file import write_ico  # noqa: E402


def inside_window(x, y):
    # A small browser window: frame 0.28..0.72 x 0.30..0.68, title bar on top.
    return 0.28 <= x <= 0.72 and 0.30 <= y <= 0.68


def window_pixel(x, y):
    """Colour of the window glyph at x, y (unit square), or None."""
    if not inside_window(x, y):
        return None
    edge = min(x - 0.28, 0.72 - x, y - 0.30, 0.68 - y)
    if y < 0.40 or edge < 0.045:
        return (255, 255, 255)  # frame and title bar
    return (225, 232, 240)      # page


def bar(x, y):
    # A diagonal bar from top-left to bottom-right through the disc.
    d = abs((x - 0.5) - (y - 0.5)) / math.sqrt(2)
    return d < 0.07 and 0.16 < x < 0.84


def tick(x, y):
    # Two strokes of a tick in the lower right of the window.
    def near(ax, ay, bx, by, w):
        vx, vy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)))
        return math.hypot(x - (ax + t * vx), y - (ay + t * vy)) < w
    return near(0.50, 0.62, 0.60, 0.74, 0.06) or near(0.60, 0.74, 0.80, 0.46, 0.06)


def shade(base, x, y):
    # Light from the upper left.
    k = 1.15 - 0.45 * (x + y) / 2
    return tuple(max(0, min(255, int(c * k))) for c in base)


def sample(kind, x, y):
    r = math.hypot(x - 0.5, y - 0.5)
    if r > 0.48:
        return None
    if r > 0.44:
        return (90, 20, 20) if kind == "blocking" else (20, 80, 30)  # rim
    base = (205, 35, 35) if kind == "blocking" else (40, 165, 70)
    colour = shade(base, x, y)
    w = window_pixel(x, y)
    if w:
        colour = w
    if kind == "blocking" and bar(x, y):
        colour = (255, 255, 255) if not w else (205, 35, 35)
    if kind == "allowing" and tick(x, y):
        colour = (30, 140, 55)
    return colour


if __name__ == "__main__":
    write_ico("blocking.ico", lambda x, y: sample("blocking", x, y), (16, 32))
    write_ico("allowing.ico", lambda x, y: sample("allowing", x, y), (16, 32))
