#!/usr/bin/env python3
"""How well each hologram encoding reconstructs three scenes.

For every encoding velmora-holo offers and three scenes (a flat textured card
made here, the bundled sample and glmark2's horse, both exported by
velmora-export), computes the hologram with --holo-score and prints the
figures: one row per scene and encoding with the means over channels and depth
bands and the run's time, then every channel and band.

    bench/hologram/encoding_scores.py [--build build] [--size 1920x1080] [--fit 0.8]
"""

import argparse
import math
import os
import random
import re
import subprocess
import sys
import tempfile
import time

# Every encoding the hologram may be written in; those that `velmora-holo --help`
# does not name are left out, and without --holo-encoding there is only the first.
ENCODINGS = ["phase", "double-phase", "amplitude", "binary"]

HORSE = "/usr/share/glmark2/models/horse.3ds"
SCORE = re.compile(r"^score (\w+) (\d+) nm band (\d+)/(\d+) at ([\d.]+) mm \((\d+) points\): "
                   r"PSNR ([\d.inf-]+) dB, SSIM ([\d.-]+), speckle ([\d.-]+)$")


def card_texture(u, v):
    """A photo-like picture on [0, 1]^2: soft colour gradients, a few discs and fine stripes."""
    r = 0.55 + 0.35 * math.sin(2.1 * u + 0.7) * math.cos(1.3 * v)
    g = 0.45 + 0.3 * math.cos(3.0 * u - 1.7 * v)
    b = 0.35 + 0.3 * math.sin(2.5 * v + 0.4)
    for cx, cy, radius, colour in ((0.3, 0.35, 0.12, (0.95, 0.85, 0.2)), (0.7, 0.6, 0.18, (0.15, 0.3, 0.8)),
                                   (0.45, 0.8, 0.08, (0.9, 0.2, 0.2))):
        if (u - cx) ** 2 + (v - cy) ** 2 < radius ** 2:
            r, g, b = colour
    fine = 0.08 * math.sin(60 * u) * math.sin(45 * v)
    return [min(1.0, max(0.0, c + fine)) for c in (r, g, b)]


def write_card(path, side):
    """A square card at one depth, `side` x `side` points, random phases, as ASCII PLY."""
    generator = random.Random(1)
    with open(path, "w") as out:
        out.write("ply\nformat ascii 1.0\nelement vertex %d\n" % (side * side))
        for name in ("x", "y", "z", "phase"):
            out.write("property float %s\n" % name)
        out.write("property uchar red\nproperty uchar green\nproperty uchar blue\nend_header\n")
        for j in range(side):
            for i in range(side):
                rgb = card_texture(i / (side - 1), j / (side - 1))
                # The files carry the mirrored x: -i keeps the picture the right way round.
                out.write("%d %d 0 %.6f %d %d %d\n" % (-i, side - 1 - j, generator.uniform(-math.pi, math.pi),
                                                        *(round(255 * c) for c in rgb)))


def encodings_offered(holo):
    text = subprocess.run([holo, "--help"], capture_output=True, text=True, check=True).stdout
    if "--holo-encoding" not in text:
        return [None]
    return [e for e in ENCODINGS if re.search(r"(?<![\w-])%s(?![\w-])" % re.escape(e), text)]


def export_scene(export, model, target, fit):
    command = [export, "--seed", "1", "--colour", target, model]
    if fit:
        command.insert(1, "--fit")
    subprocess.run(command, check=True, capture_output=True)


def score(holo, points, encoding, work, args):
    command = [holo, "--holo-score", "--holo-no-preview", "--holo-size", args.size, "--holo-fit", str(args.fit),
               "-o", os.path.join(work, "holo"), points]
    if encoding:
        command[1:1] = ["--holo-encoding", encoding]
    start = time.monotonic()
    run = subprocess.run(command, capture_output=True, text=True)
    seconds = time.monotonic() - start
    if run.returncode != 0:
        sys.exit("velmora-holo failed (%d): %s" % (run.returncode, run.stderr.strip()))
    rows = [m.groups() for m in map(SCORE.match, run.stdout.splitlines()) if m]
    return rows, seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build")
    parser.add_argument("--size", default="1920x1080")
    parser.add_argument("--fit", type=float, default=0.8)
    parser.add_argument("--card", type=int, default=600, help="points per side of the card")
    args = parser.parse_args()
    holo = os.path.join(args.build, "src/holo/velmora-holo")
    export = os.path.join(args.build, "src/cli/velmora-export")
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

    with tempfile.TemporaryDirectory() as work:
        scenes = [("card", os.path.join(work, "card.ply"))]
        write_card(scenes[0][1], args.card)
        for name, model, fit in (("sample", os.path.join(root, "samples/sample.3ds"), False), ("horse", HORSE, True)):
            if os.path.exists(export) and os.path.exists(model):
                export_scene(export, model, os.path.join(work, name + ".cgh"), fit)
                scenes.append((name, os.path.join(work, name + ".cgh")))
            else:
                print("# %s left out: needs %s and %s" % (name, export, model))

        detail = []
        print("%-7s %-13s %5s %9s %7s %8s %8s" % ("scene", "encoding", "bands", "PSNR dB", "SSIM", "speckle", "time s"))
        for scene, points in scenes:
            for encoding in encodings_offered(holo):
                rows, seconds = score(holo, points, encoding, work, args)
                name = encoding or ENCODINGS[0]
                mean = [sum(float(r[k]) for r in rows) / len(rows) for k in (6, 7, 8)]
                print("%-7s %-13s %5s %9.2f %7.4f %8.4f %8.1f" % (scene, name, rows[0][3], *mean, seconds))
                detail += ["%-7s %-13s %-5s %3s nm %s/%s at %7s mm %7s pts  %6s dB  %s  %s" % ((scene, name) + r[:6] + r[6:])
                           for r in rows]
        print()
        print("\n".join(detail))


if __name__ == "__main__":
    main()
