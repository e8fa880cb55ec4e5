#!/usr/bin/env python3
"""Draws Brisvane's icon, a network drive with an "M" on it, and writes it as a 48 x 48,
24-bit Windows icon (one image, 1-bit transparency mask) to window/resources/brisvane.ico.

    scripts/make-icon.py [output.ico]
"""
import math
import struct
import sys
from pathlib import Path

SIZE = 48
SAMPLES = 8  # per pixel and axis: edges are anti-aliased by coverage


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
    return inside


def circle(cx, cy, radius):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def stroke(points, width):
    """A polyline of the given width."""
    segments = list(zip(points, points[1:]))

    def near(x, y):
        for (ax, ay), (bx, by) in segments:
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
            if math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= width / 2:
                return True
        return False
    return near


def vertical_gradient(top, bottom, y0, y1):
    def colour(x, y):
        t = min(max((y - y0) / (y1 - y0), 0.0), 1.0)
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
    return colour


def solid(rgb):
    return lambda x, y: rgb


# Back to front: the network cable, the drive, its details.
LAYERS = [
    (rounded_rect(22.5, 34, 25.5, 42, 0.5), solid((96, 104, 116))),
    (rounded_rect(6, 40.5, 42, 44.5, 2), solid((70, 80, 96))),
    (rounded_rect(2.5, 12, 45.5, 36, 4.5), vertical_gradient((112, 148, 196), (38, 58, 92), 12, 36)),
    (rounded_rect(4, 13.5, 44, 16, 1.2), solid((168, 196, 230))),
    (rounded_rect(24, 28, 41, 31, 1), solid((24, 34, 52))),
    (circle(38.5, 21.5, 2.6), solid((64, 214, 96))),
    (circle(37.9, 20.9, 0.9), solid((200, 255, 210))),
    (stroke([(9, 31), (9, 20), (14, 26.5), (19, 20), (19, 31)], 2.6), solid((255, 255, 255))),
]


def render():
    pixels = []
    for row in range(SIZE):
        line = []
        for col in range(SIZE):
            covered = 0
            total = [0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = col + (sx + 0.5) / SAMPLES
                    y = row + (sy + 0.5) / SAMPLES
                    colour = None
                    for inside, paint in LAYERS:
                        if inside(x, y):
                            colour = paint(x, y)
                    if colour is not None:
                        covered += 1
                        total = [t + c for t, c in zip(total, colour)]
            if covered * 2 >= SAMPLES * SAMPLES:
                line.append(tuple(round(t / covered) for t in total))
            else:
                line.append(None)  # transparent
        pixels.append(line)
    return pixels


def ico(pixels):
    xor = bytearray()
    mask = bytearray()
    for line in reversed(pixels):  # bottom-up rows
        for pixel in line:
            r, g, b = pixel if pixel else (0, 0, 0)
            xor += bytes((b, g, r))
        bits = 0
        for col, pixel in enumerate(line):
            if pixel is None:
                bits |= 1 << (SIZE - 1 - col)
        mask += bits.to_bytes(SIZE // 8, "big") + bytes(8 - SIZE // 8)  # rows padded to 32 bits
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 24, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    image = header + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return directory + entry + image


def main():
    root = Path(__file__).resolve().parent.parent
    output = Path(sys.argv[1]) if len(sys.argv) > 1 else root / "window/resources/brisvane.ico"
    output.write_bytes(ico(render()))
    print(f"wrote {output}")


if __name__ == "__main__":
    main()
