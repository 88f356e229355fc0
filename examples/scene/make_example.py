#!/usr/bin/env python3
"""Writes the example scene: a grey floor, two blue pillars and a red cube that
moves along a path across the floor, seen by a slowly drifting camera, lit by a
directional light and a spot light whose colour and intensity change.

Writes the objects (floor.x, pillar.x, mover.x) and the scene in its text form
(example.zscn) beside this script; `zfconv -binary example.zscn example.zbin`
(tools/zfconv) gives the binary form. The output is deterministic."""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
FPS = 25
FRAMES = 101  # frames 0..100: four seconds
# The path of the red cube: along X from -3 to 3, a little towards the camera
# in the middle, turning as it goes.
PATH_START, PATH_END = -3.0, 3.0


def f(v):
    return "%.6f" % v


def box(name, colour, emissive, size):
    """A text .x box of the given half sizes with outward normals and one material."""
    sx, sy, sz = size
    corners = [(-sx, -sy, -sz), (sx, -sy, -sz), (sx, sy, -sz), (-sx, sy, -sz),
               (-sx, -sy, sz), (sx, -sy, sz), (sx, sy, sz), (-sx, sy, sz)]
    # Each face: four corners counter-clockwise seen from outside (left-handed, Y up) and its normal.
    faces = [((0, 3, 2, 1), (0, 0, -1)), ((4, 5, 6, 7), (0, 0, 1)), ((0, 1, 5, 4), (0, -1, 0)),
             ((3, 7, 6, 2), (0, 1, 0)), ((0, 4, 7, 3), (-1, 0, 0)), ((1, 2, 6, 5), (1, 0, 0))]
    vertices, normals, quads = [], [], []
    for corners_of_face, normal in faces:
        base = len(vertices)
        for c in corners_of_face:
            vertices.append(corners[c])
            normals.append(normal)
        quads.append((base, base + 1, base + 2, base + 3))

    def listing(items, fmt):
        return ",\n".join("  " + fmt(item) for item in items) + ";\n"

    quad_text = listing(quads, lambda q: "4;%d,%d,%d,%d;" % q)
    r, g, b = colour
    er, eg, eb = emissive
    text = ["xof 0303txt 0032\n",
            "// %s for the Zarn example scene, made by make_example.py.\n" % name,
            "Material M {\n  %s;%s;%s;1.000000;;\n  8.000000;\n  0.000000;0.000000;0.000000;;\n" % (f(r), f(g), f(b)),
            "  %s;%s;%s;;\n}\n" % (f(er), f(eg), f(eb)),
            "Mesh %s {\n  %d;\n" % (name, len(vertices)),
            listing(vertices, lambda p: "%s;%s;%s;" % tuple(map(f, p))),
            "  %d;\n" % len(quads), quad_text,
            "MeshNormals {\n  %d;\n" % len(normals),
            listing(normals, lambda n: "%s;%s;%s;" % tuple(map(f, n))),
            "  %d;\n" % len(quads), quad_text, "}\n",
            "MeshMaterialList {\n  1;\n  %d;\n" % len(quads),
            ",\n".join("  0" for _ in quads) + ";;\n  { M }\n}\n",
            "}\n"]
    with open(os.path.join(HERE, name + ".x"), "w", newline="\n") as out:
        out.write("".join(text))


def samples(values):
    return "DAT %d %s" % (len(values), " ".join(f(v) for v in values))


def channel(fn):
    """An animated scalar: fn(frame) for every frame."""
    return "FP_C " + samples([fn(i) for i in range(FRAMES)]) + "\n"


def vector(fn):
    """An animated 3-vector: fn(frame) -> (x, y, z), one row per component."""
    rows = [[fn(i)[k] for i in range(FRAMES)] for k in range(3)]
    return "FP_C [\n" + "\n".join(samples(r) for r in rows) + "\n]\n"


def mover_position(frame):
    u = frame / (FRAMES - 1)
    return (PATH_START + (PATH_END - PATH_START) * u, 0.5, -1.5 * math.sin(math.pi * u))


def scene_text():
    out = ["# The Zarn example scene, made by make_example.py.\n{ Scene\n",
           "{ SceneInfo\nframeStart I4 0\nframeEnd I4 %d\nframeStep I4 1\nframesPerSecond FP %d\n"
           "renderCamera FP 0\n}\n" % (FRAMES - 1, FPS),
           "{ BackdropInfo\nzenith FP 0.066667 0.2 0.4\n}\n",
           "{ LightInfo\nambient FP 0.25 0.25 0.25\n}\n",
           "{ Cameras\n{ Camera\n",
           # Drifts sideways a little; looks down at the floor (pitch 0.35 rad).
           "position " + vector(lambda i: (0.5 * i / (FRAMES - 1), 4.0, -10.0)),
           "rotation FP 0 0.35 0\n",
           "zoomFactor FP 3.2\nresolution I4 640 480\n}\n}\n",
           "{ Lights\n",
           "{ Light\nname STR sun\ntype I4 0\nposition FP 0 10 0\nrotation FP 0.5 0.9 0\n",
           "color " + vector(lambda i: (1.0, 0.9 + 0.1 * i / (FRAMES - 1), 0.8 + 0.2 * i / (FRAMES - 1))),
           "intensity " + channel(lambda i: 0.6 + 0.4 * math.sin(math.pi * i / (FRAMES - 1))),
           "shadowType I4 0\n}\n",
           "{ Light\nname STR spot\ntype I4 2\nposition FP 0 6 -4\nrotation FP 0 1.0 0\n",
           "color " + vector(lambda i: (0.2 + 0.8 * i / (FRAMES - 1), 0.4, 1.0 - 0.8 * i / (FRAMES - 1))),
           "intensity " + channel(lambda i: 1.5 - 0.5 * i / (FRAMES - 1)),
           "coneAngles FP 0.5 0.1\nfalloff I4 1\nrange FP 30\n}\n",
           "}\n",
           "{ Objects\n",
           "{ Object\nzfilename STR floor.x\nname STR floor\nfilename STR floor.lwo\n"
           "position FP 0 -0.1 0\nrotation FP 0 0 0\nscale FP 1 1 1\n}\n",
           "{ Object\nzfilename STR pillar.x\nname STR pillar left\nfilename STR pillar.lwo\n"
           "position FP -4.5 1 3\nrotation FP 0 0 0\nscale FP 1 1 1\n}\n",
           "{ Object\nzfilename STR pillar.x\nname STR pillar right\nfilename STR pillar.lwo\n"
           "position FP 4.5 1 3\nrotation FP 0.4 0 0\nscale FP 1 1 1\n}\n",
           "{ Object\nzfilename STR mover.x\nname STR mover\nfilename STR mover.lwo\n",
           "position " + vector(mover_position),
           "rotation " + vector(lambda i: (2 * math.pi * i / (FRAMES - 1), 0, 0)),
           "scale FP 1 1 1\n}\n",
           "}\n}\n"]
    return "".join(out)


def main():
    box("floor", (0.5, 0.5, 0.5), (0.15, 0.15, 0.15), (6.0, 0.1, 5.0))
    box("pillar", (0.2, 0.3, 0.9), (0.05, 0.1, 0.4), (0.4, 1.0, 0.4))
    box("mover", (1.0, 0.1, 0.1), (0.9, 0.0, 0.0), (0.5, 0.5, 0.5))
    with open(os.path.join(HERE, "example.zscn"), "w", newline="\n") as out:
        out.write(scene_text())


if __name__ == "__main__":
    main()
