#!/usr/bin/env python3
"""Draws the program's icon (velmora.png, 128 x 128) from the same shapes as
velmora.svg: a wire cube on a blue tile, its visible corner sampled into a
fan of coloured points. Run it after changing the design."""
import math, struct, sys, zlib

SIZE = 128
# (x, y) in the 128-unit box, as in velmora.svg.
CUBE = [((28, 52), (64, 34)), ((64, 34), (100, 52)), ((100, 52), (64, 70)), ((64, 70), (28, 52)),
        ((28, 52), (28, 94)), ((64, 70), (64, 112)), ((100, 52), (100, 94)),
        ((28, 94), (64, 112)), ((64, 112), (100, 94))]
POINTS = [((44, 70), (255, 96, 80)), ((52, 80), (255, 200, 64)), ((44, 88), (96, 220, 120)),
          ((80, 72), (96, 200, 255)), ((88, 82), (200, 140, 255)), ((80, 92), (255, 255, 255))]


def rounded_tile(x, y):
    r, lo, hi = 20.0, 4.0, 124.0
    cx, cy = min(max(x, lo + r), hi - r), min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and lo <= x <= hi and lo <= y <= hi


def segment_distance(px, py, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def colour_at(x, y):
    if not rounded_tile(x, y):
        return None
    # Tile: a vertical blend from (40, 90, 160) to (20, 40, 90).
    t = y / SIZE
    c = (40 - 20 * t, 90 - 50 * t, 160 - 70 * t)
    for (p, pc) in POINTS:
        if math.hypot(x - p[0], y - p[1]) <= 4.5:
            return pc
    for a, b in CUBE:
        if segment_distance(x, y, a, b) <= 2.2:
            return (235, 240, 250)
    return c


def main(path):
    rows = []
    n = 4
    for j in range(SIZE):
        row = bytearray([0])
        for i in range(SIZE):
            acc, cover = [0.0, 0.0, 0.0], 0
            for sj in range(n):
                for si in range(n):
                    c = colour_at(i + (si + 0.5) / n, j + (sj + 0.5) / n)
                    if c:
                        cover += 1
                        for k in range(3):
                            acc[k] += c[k]
            if cover:
                row += bytes(int(acc[k] / cover + 0.5) for k in range(3)) + bytes([cover * 255 // (n * n)])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    raw = zlib.compress(b"".join(rows), 9)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", raw) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "velmora.png")
