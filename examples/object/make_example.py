#!/usr/bin/env python3
"""Writes the example object: a coloured, textured torus as a text .x file
(example.x) and its texture (example.png). Run from any folder; the files are
written beside this script. The output is deterministic."""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
RINGS, SIDES = 48, 24          # segments around the ring and around the tube
RING_RADIUS, TUBE_RADIUS = 1.0, 0.4
# The ring leans towards the viewer so the first frame shows it as a ring, not
# edge-on; below asin(TUBE_RADIUS / RING_RADIUS) the tube still covers the centre.
TILT = math.radians(20)


def tilt(x, y, z):
    c, s = math.cos(TILT), math.sin(TILT)
    return (x, y * c - z * s, y * s + z * c)


def png(path, width, height, pixel):
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows, 9)))
        f.write(chunk(b"IEND", b""))


def texture(x, y):
    # Checks of warm and cool tones, with a light stripe along the tube.
    check = ((x // 16) + (y // 16)) % 2
    base = (240, 170, 60) if check else (60, 120, 220)
    if (y % 32) < 3:
        base = (250, 250, 250)
    return base


def f(v):
    return "%.6f" % v


def main():
    vertices, normals, uvs, colours = [], [], [], []
    for i in range(RINGS + 1):
        u = i / RINGS
        a = u * 2 * math.pi
        for j in range(SIDES + 1):
            v = j / SIDES
            b = v * 2 * math.pi
            cx, cy = math.cos(a), math.sin(a)
            r = RING_RADIUS + TUBE_RADIUS * math.cos(b)
            vertices.append(tilt(r * cx, TUBE_RADIUS * math.sin(b), r * cy))
            normals.append(tilt(math.cos(b) * cx, math.sin(b), math.cos(b) * cy))
            uvs.append((u * 4, v))
            colours.append((0.6 + 0.4 * math.cos(a), 0.6 + 0.4 * math.sin(a), 0.8, 1.0))
    faces = []
    for i in range(RINGS):
        for j in range(SIDES):
            p = i * (SIDES + 1) + j
            q = p + SIDES + 1
            faces.append((p, p + 1, q + 1, q))

    def listing(items, fmt):
        return ",\n".join("  " + fmt(item) for item in items) + ";\n"

    face_text = listing(faces, lambda q: "4;%d,%d,%d,%d;" % q)
    out = ["xof 0303txt 0032\n",
           "// Example object for the Zarn object viewer, made by make_example.py.\n",
           "Material Torus {\n  1.000000;1.000000;1.000000;1.000000;;\n  24.000000;\n",
           "  0.400000;0.400000;0.400000;;\n  0.000000;0.000000;0.000000;;\n",
           "  TextureFilename { \"example.png\"; }\n}\n",
           "Frame Example {\n  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }\n",
           "Mesh ExampleTorus {\n  %d;\n" % len(vertices),
           listing(vertices, lambda p: "%s;%s;%s;" % tuple(map(f, p))),
           "  %d;\n" % len(faces), face_text,
           "MeshNormals {\n  %d;\n" % len(normals),
           listing(normals, lambda n: "%s;%s;%s;" % tuple(map(f, n))),
           "  %d;\n" % len(faces), face_text, "}\n",
           "MeshTextureCoords {\n  %d;\n" % len(uvs),
           listing(uvs, lambda t: "%s;%s;" % tuple(map(f, t))), "}\n",
           "MeshVertexColors {\n  %d;\n" % len(colours),
           listing(list(enumerate(colours)), lambda c: "%d;%s;%s;%s;%s;;" % ((c[0],) + tuple(map(f, c[1])))), "}\n",
           "MeshMaterialList {\n  1;\n  %d;\n" % len(faces),
           ",\n".join("  0" for _ in faces) + ";;\n  { Torus }\n}\n",
           "}\n}\n"]
    with open(os.path.join(HERE, "example.x"), "w", newline="\n") as x:
        x.write("".join(out))
    png(os.path.join(HERE, "example.png"), 128, 128, texture)


if __name__ == "__main__":
    main()
