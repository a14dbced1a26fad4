#!/usr/bin/env python3
"""Draws the license list's state icons (not_accepted.bmp, accepted.bmp:
14 x 14, magenta where transparent) and the welcome picture (welcome.png,
520 x 270, a light gear behind the welcome text). Needs ImageMagick's
`convert` for the PNG. Run from anywhere; writes beside this script."""
import math
import struct
import subprocess
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
MAGENTA = (255, 0, 255)
WHITE = (255, 255, 255)


def bmp24(width, height, pixel):
    row = (width * 3 + 3) // 4 * 4
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        data += line + b"\0" * (row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def icon(disc, strokes):
    """A disc with white strokes; the edge of the disc is hard, so that the
    magenta mask leaves no pink fringe, the strokes are smoothed."""
    size, radius, half_width, n = 14, 6.6, 1.1, 4

    def pixel(x, y):
        if math.hypot(x + 0.5 - 7, y + 0.5 - 7) > radius:
            return MAGENTA
        hits = 0
        for i in range(n):
            for j in range(n):
                px, py = x + (i + 0.5) / n, y + (j + 0.5) / n
                if any(segment_distance(px, py, *s) <= half_width for s in strokes):
                    hits += 1
        return mix(disc, WHITE, hits / (n * n))

    return bmp24(size, size, pixel)


def gear_picture(path):
    width, height = 520, 270
    cx, cy, outer, inner, hole, teeth = 400.0, 175.0, 118.0, 96.0, 38.0, 12
    top, bottom = (244, 246, 249), (226, 232, 240)
    gear, edge = (208, 218, 230), (192, 204, 220)
    pixels = bytearray()
    for y in range(height):
        base = mix(top, bottom, y / (height - 1))
        for x in range(width):
            colour = base
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            r = math.hypot(dx, dy)
            angle = (math.atan2(dy, dx) / (2 * math.pi) * teeth) % 1.0
            rim = outer if 0.25 < angle < 0.75 else inner
            if hole < r <= rim:
                colour = edge if (rim - r < 3 or r - hole < 3) else gear
            pixels += bytes(colour)
    with tempfile.NamedTemporaryFile(suffix=".ppm") as raw:
        raw.write(b"P6 %d %d 255\n" % (width, height) + bytes(pixels))
        raw.flush()
        subprocess.run(["convert", raw.name, "-strip", "-define", "png:exclude-chunks=date,time", str(path)],
                       check=True)


if __name__ == "__main__":
    red, green = (200, 32, 32), (40, 150, 50)
    (HERE / "not_accepted.bmp").write_bytes(icon(red, [(4.2, 4.2, 9.8, 9.8), (9.8, 4.2, 4.2, 9.8)]))
    (HERE / "accepted.bmp").write_bytes(icon(green, [(3.6, 7.2, 6.0, 9.8), (6.0, 9.8, 10.6, 4.2)]))
    gear_picture(HERE / "welcome.png")
