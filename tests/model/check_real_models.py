#!/usr/bin/env python3
"""Real model files no one here wrote, read by velmora-export --info, against counts found here without the
program: .3ds by walking the raw chunks, OBJ from its f lines, binary STL from its header."""
import glob, re, struct, subprocess, sys

A, G = "/usr/share/assimp/models", "/usr/share/glmark2/models"


def walk(data, start, end):
    while start + 6 <= end:
        cid, length = struct.unpack_from("<HI", data, start)
        if length < 6:
            return
        yield cid, start + 6, min(start + length, end)
        start += length


def three_ds(path):
    data = open(path, "rb").read()
    objects, materials, needs_default = [], 0, False
    for _, body, end in (c for c in walk(data, 6, min(struct.unpack_from("<I", data, 2)[0], len(data))) if c[0] == 0x3D3D):
        for cid, body2, end2 in walk(data, body, end):
            materials += cid == 0xAFFF
            for cid3, body3, end3 in walk(data, data.index(b"\0", body2) + 1, end2) if cid == 0x4000 else ():
                if cid3 != 0x4100:
                    continue
                counts, grouped = {0x4110: 0, 0x4120: 0}, False
                for cid4, body4, end4 in walk(data, body3, end3):
                    n = struct.unpack_from("<H", data, body4)[0] if cid4 in counts else 0
                    counts[cid4] = counts.get(cid4, 0) + n
                    # Face-material groups follow the face entries inside the face list.
                    subs = walk(data, body4 + 2 + 8 * n, end4) if cid4 == 0x4120 else ()
                    grouped = grouped or cid4 == 0x4130 or any(c == 0x4130 for c, _, _ in subs)
                objects.append((counts[0x4110], counts[0x4120]))
                needs_default = needs_default or not grouped
    return {"objects": objects, "materials": materials + needs_default}


def fbx_z_up_box(path):
    """An ASCII FBX declaring Z up is stored as a .3ds file is: the bounds are its (-x, -y, z) ranges, scaled."""
    text = open(path, errors="replace").read()
    assert re.search(r'"UpAxis", "int", "Integer", "",2\b', text)
    v = [float(f) for f in re.search(r"Vertices: \*\d+ \{\s*a: ([^}]*)\}", text).group(1).split(",")]
    x, y, z = v[0::3], v[1::3], v[2::3]
    return {"faces": 12, "bounds": [-max(x), -min(x), -max(y), -min(y), min(z), max(z)]}


def obj_triangles(path):
    return sum(len(l.split()) - 3 for l in open(path, errors="replace") if l.startswith("f "))


# (file, what --info must show); "textures" lists texture names that must be found and loaded.
ROWS = [(p, three_ds) for p in sorted(glob.glob(A + "/3DS/*.3ds") + glob.glob(A + "/3DS/*.3DS") + glob.glob(G + "/*.3ds"))]
ROWS += [(A + "/3DS/test1.3ds", lambda p: {"textures": ["IMAGE1.JPG", "CWALL02.JPG", "IMAGE2.JPG"]}),
         (A + "/OBJ/spider.obj", lambda p: {"faces": obj_triangles(p), "textures": [".\\SpiderTex.jpg"]}),
         (G + "/bunny.obj", lambda p: {"faces": obj_triangles(p)}),
         (A + "/FBX/embedded_ascii/box.FBX", fbx_z_up_box),
         # The library may drop degenerate triangles, never more than one in a hundred.
         (A + "/STL/Spider_binary.stl", lambda p: {"faces_at_most": struct.unpack_from("<I", open(p, "rb").read(84), 80)[0]}),
         (A + "/glTF2/BoxTextured-glTF/BoxTextured.gltf", lambda p: {"faces": 12, "textures": ["CesiumLogoFlat.png"]}),
         (A + "/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", lambda p: {"faces": 12, "textures": [".png"]})]


def check(want, out):
    objects = [(int(v), int(f)) for v, f in re.findall(r'^  \[\d+\] ".*": (\d+) vertices, (\d+) faces', out, re.M)]
    faces = sum(f for _, f in objects)
    loaded = re.findall(r'texture "(.*)" loaded$', out, re.M)
    if "objects" in want and (objects != want["objects"] or ("materials: %d\n" % want["materials"]) not in out):
        return "objects %s and %d materials expected" % (want["objects"], want["materials"])
    if "faces" in want and faces != want["faces"]:
        return "%d faces expected, %d read" % (want["faces"], faces)
    if "faces_at_most" in want and not want["faces_at_most"] * 99 // 100 < faces <= want["faces_at_most"]:
        return "about %d faces expected, %d read" % (want["faces_at_most"], faces)
    if "bounds" in want:
        ranges = [re.search(r"max%s:(\S+) min%s:(\S+)" % (axis, axis), out).groups() for axis in "xyz"]
        got = [float(b) for r in ranges for b in reversed(r)]
        scale = got[5] / want["bounds"][5]
        if any(abs(g - scale * w) > 1e-3 for g, w in zip(got, want["bounds"])):
            return "bounds %s expected as the file's %s times one scale" % (got, want["bounds"])
    missing = [t for t in want.get("textures", []) if not any(l.endswith(t) for l in loaded)]
    return "textures not loaded: %s" % missing if missing else None


if len(ROWS) < 10:
    sys.exit("the real models are missing (install assimp-testmodels and glmark2-data)")
failures = 0
for path, expect in ROWS:
    run = subprocess.run([sys.argv[1], "--info", path], capture_output=True, text=True)
    problem = "exit %d" % run.returncode if run.returncode else check(expect(path), run.stdout)
    print(("BAD %s: %s\n%s%s" % (path, problem, run.stdout, run.stderr)) if problem else "ok  " + path)
    failures += bool(problem)
sys.exit("%d failed" % failures if failures else 0)
