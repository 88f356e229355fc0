#!/usr/bin/env python3
"""Writes the example scene: a grey floor, two glossy blue pillars and a red cube
that moves along a path across the floor, seen by a slowly drifting camera, lit
by a directional light and a spot light whose colour and intensity change.
Behind the path, a glowing green block breathes as its point cache says and a
column bends on its skeleton while a morph target swells its top and its colour
turns from yellow to orange; behind them a textured banner turns, showing both
of its sides. The surfaces (gloss, glow, colour, image, sides) are the scene's
SceneObjects surfaces.

Writes the objects (floor.x, pillar.x, mover.x, blob.x, bender.x, banner.x),
the banner's image (banner.png), the point
cache of the block (blob.mdd, converted by zarn-mdd into blob.zmdd with the
identity lookup blob.zpnts: give zarn-mdd's path as the first argument or put
it on the PATH), the column's morph target (bender.zmorph) and the scene in its
text form (example.zscn) beside this script; `zfconv -binary example.zscn
example.zbin` (tools/zfconv) gives the binary form. The output is
deterministic."""
import math
import os
import shutil
import struct
import subprocess
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
FPS = 25
FRAMES = 101  # frames 0..100: four seconds
# The path of the red cube: along X from -3 to 3, a little towards the camera
# in the middle, turning as it goes.
PATH_START, PATH_END = -3.0, 3.0


def f(v):
    return "%.6f" % v


def box_geometry(size, lift=0.0):
    """A box of the given half sizes raised by `lift`: its 24 vertices (four per
    face, in file order), their normals and the quads."""
    sx, sy, sz = size
    corners = [(-sx, -sy + lift, -sz), (sx, -sy + lift, -sz), (sx, sy + lift, -sz), (-sx, sy + lift, -sz),
               (-sx, -sy + lift, sz), (sx, -sy + lift, sz), (sx, sy + lift, sz), (-sx, sy + lift, sz)]
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
    return vertices, normals, quads


def box(name, colour, emissive, size, lift=0.0, frame=None):
    """A text .x box of the given half sizes with outward normals and one
    material, raised by `lift`; with `frame`, frame(mesh text) gives the file's
    text after the material (a frame hierarchy around the mesh). Returns the
    mesh's vertices in file order."""
    vertices, normals, quads = box_geometry(size, lift)

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
    if frame:
        text = text[:4] + [frame("".join(text[4:]))]
    with open(os.path.join(HERE, name + ".x"), "w", newline="\n") as out:
        out.write("".join(text))
    return vertices


def banner(half_width, half_height):
    """banner.x: one square facing -z (its front towards the camera), white,
    with texture coordinates over the whole image. One-sided as written: the
    scene's surface makes it double-sided."""
    w, h = half_width, half_height
    text = ("xof 0303txt 0032\n// banner for the Zarn example scene, made by make_example.py.\n"
            "Material M {\n  1.000000;1.000000;1.000000;1.000000;;\n  8.000000;\n  0.000000;0.000000;0.000000;;\n"
            "  0.000000;0.000000;0.000000;;\n}\n"
            "Mesh banner {\n  4;\n  %s;%s;0.000000;,\n  %s;%s;0.000000;,\n  %s;%s;0.000000;,\n  %s;%s;0.000000;;\n"
            "  2;\n  3;0,1,2;,\n  3;0,2,3;;\n"
            "MeshNormals {\n  1;\n  0.000000;0.000000;-1.000000;;\n  2;\n  3;0,0,0;,\n  3;0,0,0;;\n}\n"
            "MeshTextureCoords {\n  4;\n  0.000000;1.000000;,\n  0.000000;0.000000;,\n  1.000000;0.000000;,\n"
            "  1.000000;1.000000;;\n}\n"
            "MeshMaterialList {\n  1;\n  2;\n  0,\n  0;;\n  { M }\n}\n}\n"
            % (f(-w), f(-h), f(-w), f(h), f(w), f(h), f(w), f(-h)))
    with open(os.path.join(HERE, "banner.x"), "w", newline="\n") as out:
        out.write(text)


def png(name, width, height, pixel):
    """An 8-bit RGB PNG of pixel(x, y) -> (r, g, b), written with zlib alone."""
    rows = b"".join(b"\0" + bytes(c for x in range(width) for c in pixel(x, y)) for y in range(height))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(data)


def banner_image(x, y):
    """Orange and cream checks, eight across, with a dark band along the top."""
    if y < 4:
        return (40, 30, 60)
    return (240, 120, 30) if ((x // 8) + (y // 8)) % 2 else (250, 235, 200)


def surface(name, parameters):
    """One SceneObjects surface: its channel nodes (name -> body text)."""
    body = "".join("{ %s\n%s}\n" % (channel_name, text) for channel_name, text in parameters)
    return "{ Surface\nname STR %s\n{ Parameters\n%s}\n}\n" % (name, body)


def scene_object(lwo, surfaces):
    return "{ SceneObject\nfilename STR %s\n{ Surfaces\n%s}\n}\n" % (lwo, "".join(surfaces))


def surfaces_text():
    """The surfaces the scene gives its objects, over what their files say."""
    return ("{ SceneObjects\n" +
            # Glossy: a strong, tight highlight.
            scene_object("pillar.lwo", [surface("Pillar", [("Specularity", "value FP 0.8\n"),
                                                           ("Glossiness", "value FP 0.75\n")])]) +
            # Luminous: the block glows in its own colour.
            scene_object("blob.lwo", [surface("Blob", [("Luminosity", "value FP 0.7\n")])]) +
            # Animated: the column turns from yellow to orange; its colour is
            # the surface's, not its vertices'.
            scene_object("bender.lwo", [surface("Bender", [
                ("BaseColor", "value " + vector(lambda i: (1.0, 0.8 - 0.45 * i / (FRAMES - 1),
                                                           0.1 - 0.05 * i / (FRAMES - 1)))),
                ("VertexColoring", "value FP 0\n")])]) +
            # Textured and double-sided: both faces of the turning banner show its image.
            scene_object("banner.lwo", [surface("Banner", [
                ("BaseColor", "value FP 1 1 1\nimg_filename STR banner.png\nimg_colorspace I4 1\n"),
                ("Luminosity", "value FP 0.3\n"), ("Sidedness", "value I4 3\n")])]) +
            "}\n")


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
           surfaces_text(),
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
           # The point cache plays at the scene's time and holds its last frame.
           "{ Object\nzfilename STR blob.x\nname STR blob\nfilename STR blob.lwo\n"
           "position FP %s %s %s\nrotation FP 0 0 0\nscale FP 1 1 1\n" % tuple(map(f, BLOB_AT)),
           "{ MDD\nfilename STR blob.zmdd\napplyCacheTo I4 0\nendBehavior I4 0\nmddTotalTime FP %s\n"
           "postBehavior I4 0\n" % f((FRAMES - 1) / FPS),
           "times " + channel(lambda i: i / FPS),
           "}\n}\n",
           # The skeleton follows the scene's frame; the morph weight swells the top.
           "{ Object\nzfilename STR bender.x\nname STR bender\nfilename STR bender.lwo\n"
           "position FP %s %s %s\nrotation FP 0 0 0\nscale FP 1 1 1\n" % tuple(map(f, BENDER_AT)),
           "{ Morphs\n{ swell\nvalue " + channel(lambda i: math.sin(math.pi * i / (FRAMES - 1))) + "}\n}\n",
           "}\n",
           # Turns once about its upright axis over the scene, behind everything.
           "{ Object\nzfilename STR banner.x\nname STR banner\nfilename STR banner.lwo\n"
           "position FP %s %s %s\n" % tuple(map(f, BANNER_AT)),
           "rotation " + vector(lambda i: (2 * math.pi * i / (FRAMES - 1), 0, 0)),
           "scale FP 1 1 1\n}\n",
           "}\n}\n"]
    return "".join(out)


BLOB_AT = (-1.8, 0.5, 2.5)
BANNER_AT = (0.0, 2.6, 5.0)
BENDER_AT = (1.8, 0.0, 2.5)
BENDER_HALF = (0.3, 1.0, 0.3)  # raised by 1: from the floor (y 0) to y 2
BEND_DEGREES = 25.0


def blob_cache(vertices, tool):
    """blob.mdd: the block at every scene frame (time frame / FPS), wider and
    taller in the middle of the scene, its base on the floor; then blob.zmdd and
    blob.zpnts through zarn-mdd."""
    mdd = struct.pack(">ii", FRAMES, len(vertices))
    mdd += b"".join(struct.pack(">f", k / FPS) for k in range(FRAMES))
    for k in range(FRAMES):
        wide = 1.0 + 0.3 * math.sin(2 * math.pi * k / 50)
        tall = 1.0 + 0.8 * math.sin(math.pi * k / (FRAMES - 1))
        for x, y, z in vertices:
            mdd += struct.pack(">fff", x * wide, -0.5 + (y + 0.5) * tall, z * wide)
    with open(os.path.join(HERE, "blob.mdd"), "wb") as out:
        out.write(mdd)
    subprocess.check_call([tool, "-zpnts", os.path.join(HERE, "blob.zpnts"),
                           os.path.join(HERE, "blob.mdd"), os.path.join(HERE, "blob.zmdd")])


def bender_skeleton(mesh_text):
    """The column's frames: Bender holds the mesh, its child Top carries the top
    vertices and turns about z (pivot at the floor) to BEND_DEGREES and back
    over the scene's frames. The other vertices follow no joint."""
    top = [i for i, (_, y, _) in enumerate(BENDER_VERTICES) if y > 1.5]
    identity = "1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;;"
    skin = ("SkinWeights {\n  \"Top\";\n  %d;\n  %s;\n  %s;\n  %s\n}\n"
            % (len(top), ",".join(str(i) for i in top), ",".join("1.000000" for _ in top), identity))
    mesh = mesh_text[:mesh_text.rindex("}")] + skin + "}\n"

    def key(tick, degrees):
        half = math.radians(degrees) / 2
        return "%d;4;%s,0,0,%s;;" % (tick, f(math.cos(half)), f(math.sin(half)))
    keys = ", ".join(key(t, d) for t, d in ((0, 0), ((FRAMES - 1) // 2, BEND_DEGREES), (FRAMES - 1, 0)))
    return ("AnimTicksPerSecond {\n  %d;\n}\n" % FPS +
            "Frame Bender {\n  FrameTransformMatrix {\n    %s\n  }\n" % identity +
            "  Frame Top {\n    FrameTransformMatrix {\n      %s\n    }\n  }\n" % identity +
            mesh + "}\n" +
            "AnimationSet Bend {\n  Animation {\n    { Top }\n    AnimationKey {\n      0;\n      3;\n      %s;\n"
            "    }\n  }\n}\n" % keys)


def bender_morph():
    """bender.zmorph: one target, "swell", that widens the column's top."""
    top = [i for i, (_, y, _) in enumerate(BENDER_VERTICES) if y > 1.5]
    name = b"swell\0"
    body = struct.pack(">I", len(top)) + b"".join(struct.pack(">I", i) for i in top)
    body += b"".join(struct.pack(">fff", BENDER_VERTICES[i][0] * 0.8, 0.0, BENDER_VERTICES[i][2] * 0.8)
                     for i in top)
    body += b"".join(struct.pack(">fff", 0.0, 0.0, 0.0) for _ in top)
    vmor = b"NAME" + struct.pack(">I", len(name)) + name + b"MMAP" + struct.pack(">I", len(body)) + body
    form = b"ZMOR" + struct.pack(">II", 1, len(top)) + b"VMOR" + struct.pack(">I", len(vmor)) + vmor
    with open(os.path.join(HERE, "bender.zmorph"), "wb") as out:
        out.write(b"FORM" + struct.pack(">I", len(form)) + form)


BENDER_VERTICES = box_geometry(BENDER_HALF, 1.0)[0]


def main():
    box("floor", (0.5, 0.5, 0.5), (0.15, 0.15, 0.15), (6.0, 0.1, 5.0))
    box("pillar", (0.2, 0.3, 0.9), (0.05, 0.1, 0.4), (0.4, 1.0, 0.4))
    box("mover", (1.0, 0.1, 0.1), (0.9, 0.0, 0.0), (0.5, 0.5, 0.5))
    tool = sys.argv[1] if len(sys.argv) > 1 else shutil.which("zarn-mdd")
    if not tool:
        sys.exit("make_example.py: zarn-mdd not found (give its path as the first argument)")
    blob_cache(box("blob", (0.2, 0.8, 0.3), (0.05, 0.25, 0.1), (0.5, 0.5, 0.5)), tool)
    box("bender", (1.0, 0.8, 0.1), (0.3, 0.25, 0.0), BENDER_HALF, lift=1.0, frame=bender_skeleton)
    bender_morph()
    banner(1.5, 0.9)
    png("banner.png", 64, 40, banner_image)
    with open(os.path.join(HERE, "example.zscn"), "w", newline="\n") as out:
        out.write(scene_text())


if __name__ == "__main__":
    main()
