#!/usr/bin/env python3
"""Checks velmora-export's reading of real .3ds files that no one here wrote.

The counts are found independently by walking the raw chunks here: every
object chunk (0x4000) holding a mesh (0x4100) counts as an object; its vertex
list (0x4110) and face list (0x4120) give the counts. The walker follows the
same chunk tree but shares no code with the program.
"""
import glob
import re
import struct
import subprocess
import sys

MODEL_DIRS = ["/usr/share/assimp/models/3DS", "/usr/share/glmark2/models"]
INVALID = "/usr/share/assimp/models/invalid/empty.3ds"


def walk(data, start, end):
    pos = start
    while pos + 6 <= end:
        cid, length = struct.unpack_from("<HI", data, pos)
        if length < 6:
            return
        yield cid, pos + 6, min(pos + length, end)
        pos += length


def count(path):
    data = open(path, "rb").read()
    cid, length = struct.unpack_from("<HI", data, 0)
    assert cid == 0x4D4D, path
    objects, materials = [], 0
    needs_default = False
    for cid, body, end in walk(data, 6, min(length, len(data))):
        if cid != 0x3D3D:
            continue
        for cid2, body2, end2 in walk(data, body, end):
            if cid2 == 0xAFFF:
                materials += 1
            if cid2 != 0x4000:
                continue
            name_end = data.index(b"\0", body2)
            for cid3, body3, end3 in walk(data, name_end + 1, end2):
                if cid3 != 0x4100:
                    continue
                vertices = faces = 0
                grouped = False
                for cid4, body4, end4 in walk(data, body3, end3):
                    if cid4 == 0x4110:
                        vertices += struct.unpack_from("<H", data, body4)[0]
                    elif cid4 == 0x4120:
                        n = struct.unpack_from("<H", data, body4)[0]
                        faces += n
                        # Face-material groups follow the face entries inside the face list.
                        for cid5, _, _ in walk(data, body4 + 2 + 8 * n, end4):
                            grouped = grouped or cid5 == 0x4130
                    elif cid4 == 0x4130:
                        grouped = True
                objects.append((vertices, faces))
                needs_default = needs_default or not grouped
    # The built model has the file's materials, after a default one when a
    # mesh has no face-material group.
    return objects, materials + (1 if needs_default else 0)


def main():
    exporter = sys.argv[1]
    failures = 0
    paths = sorted(p for d in MODEL_DIRS for p in glob.glob(d + "/*") if p.lower().endswith(".3ds"))
    if not paths:
        print("no real .3ds files found (install assimp-testmodels and glmark2-data)")
        return 1
    for path in paths:
        objects, materials = count(path)
        run = subprocess.run([exporter, "--info", path], capture_output=True, text=True)
        out = run.stdout
        got_objects = [(int(v), int(f)) for v, f in
                       re.findall(r"^  \[\d+\] \".*\": (\d+) vertices, (\d+) faces", out, re.M)]
        got_materials = re.search(r"^materials: (\d+)$", out, re.M)
        ok = (run.returncode == 0 and got_objects == objects and got_materials is not None
              and int(got_materials.group(1)) == materials)
        print(("ok  " if ok else "BAD ") + "%s: %d objects, %d vertices, %d faces, %d materials" % (
            path, len(objects), sum(v for v, _ in objects), sum(f for _, f in objects), materials))
        if not ok:
            failures += 1
            print("    expected objects %s, got %s (exit %d)\n%s" % (objects, got_objects, run.returncode,
                                                                     out + run.stderr))
    run = subprocess.run([exporter, "--info", INVALID], capture_output=True, text=True)
    if run.returncode == 0 or "Not in 3DS format." not in run.stdout + run.stderr:
        failures += 1
        print("BAD %s should fail cleanly: exit %d\n%s" % (INVALID, run.returncode, run.stdout + run.stderr))
    else:
        print("ok   %s fails cleanly" % INVALID)
    print("%d passed, %d failed" % (len(paths) + 1 - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
