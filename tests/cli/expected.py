#!/usr/bin/python3
"""Writes the expected outputs of the velmora-export table into tests/data/cli from the camera, the phase
generator and the file layouts, without running the program.
The model: the triangle (-a,-a) (a,-a) (-a,a), a = 1.6, on z = 0, seen from (0,0,30) in a 16 x 13 frame with an
18 degree field of view. With an odd height no pixel centre comes near an edge (checked below), so the
rasteriser has no ties to break. The lit white material saturates, so each point has the texel's colour TEXEL.
Depth is quantised: the table allows 1e-4.
"""
import math, os

import numpy as np

W, H, A, EYE = 16, 13, 1.6, 30.0
TEXEL = (255, 128, 64)
S = 2 * EYE * math.tan(math.radians(9)) / H  # one pixel on the plane z = 0


def points():
    """Covered pixels, bottom row first, left to right: (record, x, y, z), x inverted."""
    a = float(np.float32(A))
    out = []
    for r in range(H):
        for c in range(W):
            x, y = (c + 0.5 - W / 2) * S, (r + 0.5 - H / 2) * S
            edges = (x + a, y + a, -(x + y) / math.sqrt(2))  # > 0 inside
            assert min(abs(e) for e in edges) > 0.15 * S
            if min(edges) > 0:
                out.append((r * W + c, -x, y, 0.0))
    return out


def phases(seed, count):
    state, out = seed, []
    for _ in range(count):
        state = (state * 214013 + 2531011) % 2**32
        out.append(math.fmod(((state >> 16) & 0x7FFF) * 3.0518509447574615e-05, 1.0) * 6.28318)
    return out


def f32(v):
    return float(np.float32(v))


GREY = ((TEXEL[1] * 0.78 + TEXEL[2] * 0.1) + TEXEL[0] * 0.12) * 0.003921568859368563  # green, blue, red


def cgh(pts, phase, values, placeholder, scalxy=1.0, scalz=1.0, viewpoint=(0.0, 0.0, 30.0)):
    header = "%d %.1f %.1f 0" % (len(pts), scalxy, scalz)
    lines = [header + " " * (placeholder - len(header))]
    for (i, (_, x, y, z)), p in zip(enumerate(pts), phase):
        lines.append(" ".join(["%d" % i] + ["%f" % v for v in (x, y, z, p) + values]))
    axes = list(zip(*[p[1:] for p in pts]))
    stats = [f(f32(v) for v in axis) for axis in axes for f in (max, min)]
    lines.append("Statics: Maxx=%f Minx=%f Maxy=%f Miny=%f Maxz=%f Minz=%f " % tuple(stats))
    return "\r\n".join(lines) + "\r\nViewPoint: x=%f  y=%f z=%f" % viewpoint


def dump(header, rows):
    return "\n".join(header + [" ".join("%.6f" % v if isinstance(v, float) else str(v) for v in r) for r in rows]) + "\n"


def ply(pts, phase, layout, phase_type):
    header = ["ply", "format %s 1.0" % layout] + (["element color 1", "property int channel"] if layout == "ascii" else [])
    header += ["element vertex %d" % len(pts)] + ["property float " + n for n in "xyz"]
    header += ["property uchar " + n for n in ("red", "green", "blue")] + ["property %s phase" % phase_type, "end_header"]
    return dump(header, [(i, f32(x), f32(y), f32(z), p) + tuple(map(float, TEXEL)) for (i, (_, x, y, z)), p in zip(enumerate(pts), phase)])


pts, out = points(), os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "cli")
phase = phases(7, len(pts))
files = {
    "colour.CGH": cgh(pts, phase, tuple(v / 255 for v in TEXEL), 41),
    "grey.CGH": cgh(pts, phase, (GREY,), 42, 2.0, 0.5, (1.0, 2.0, 3.0)),
    "channel.CGH": cgh(pts, phase, (1.0,), 41),
    # 3di: rows and columns, then the non-zero records (index, X Y Z scaled by 2 and 0.5, grey as a float).
    "grid.txt": dump(["%d %d" % (H, W)], [(k, 2 * x, 2 * y, 0.5 * z, f32(GREY), 0.0, 0.0, 0.0) for k, x, y, z in pts]),
    "ascii.txt": ply(pts, phase, "ascii", "double"),
    "empty.txt": ply([], [], "ascii", "double"),
    "binary.txt": ply(pts, phase, "binary_little_endian", "float"),
}
for name, text in files.items():
    with open(os.path.join(out, name), "w", newline="") as f:
        f.write(text)
