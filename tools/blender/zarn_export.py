# Zarn scene exporter for Blender 3.4: File > Export > Zarn scene, or headless:
#
#   blender -b FILE.blend --python tools/blender/zarn_export.py -- OUT.zscn [--binary] [--frames START END]
#
# Writes the scene document (text, or binary with --binary) and, beside it,
# one .x file per mesh (shared meshes once), a .zmdd point cache and .zpnts
# lookup per deforming mesh, and the images the materials use. Everything is
# written to temporary files first and moved into place only once the whole
# export has succeeded, so a failed export leaves an existing scene as it was.
#
# Sections:
#   1. Axes: Blender (right-handed, Z up) to Zarn (left-handed, Y up)
#   2. The scene document: a tree written as ZF text or binary
#   3. Channels: per-frame samples, constants and run-length coding
#   4. Meshes: .x text files
#   5. Point caches: .zmdd and .zpnts
#   6. Materials: surface channels
#   7. Sampling the scene and building the document
#   8. Writing the files
#   9. The add-on and the command line
#
# Only what Blender ships is used (its own Python, bpy, mathutils).

bl_info = {
    "name": "Zarn scene exporter",
    "author": "Zarn",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "File > Export > Zarn scene (.zscn)",
    "description": "Exports the scene as a Zarn scene with its objects, point caches and surfaces",
    "category": "Import-Export",
}

import math
import os
import re
import shutil
import struct
import sys
import time
import zlib
from array import array

import bpy
from mathutils import Matrix

# ---------------------------------------------------------------------------
# 1. Axes
#
# Zarn is left-handed with +Y up and +Z forward; Blender is right-handed with
# +Z up and -Y forward. Swapping Y and Z maps one onto the other (the mirror
# turns right-handed into left-handed). Cameras and lights look down their
# local -Z in Blender and down +Z in Zarn, so their local Z is flipped too.

SWAP_YZ = Matrix(((1, 0, 0, 0), (0, 0, 1, 0), (0, 1, 0, 0), (0, 0, 0, 1)))
FLIP_Z = Matrix(((1, 0, 0, 0), (0, 1, 0, 0), (0, 0, -1, 0), (0, 0, 0, 1)))


def zarn_point(co):
    return (co[0], co[2], co[1])


def zarn_matrix(world, looks_down_z=False):
    """The Zarn world matrix (column vectors, left-handed) of a Blender world matrix."""
    # An object's own points are in Blender's axes too (its mesh is written
    # swapped); a camera's or light's local axes differ only in Z.
    return SWAP_YZ @ world @ (FLIP_Z if looks_down_z else SWAP_YZ)


def decompose(m):
    """Position, heading/pitch/bank (radians) and scale of a Zarn matrix, whose
    rotation is Ry(heading) Rx(pitch) Rz(bank): bank first, then pitch, then
    heading. A mirror shows as a negative X scale."""
    r = [[m[i][j] for j in range(3)] for i in range(3)]
    scale = [0.0, 0.0, 0.0]
    for j in range(3):
        length = math.sqrt(r[0][j] ** 2 + r[1][j] ** 2 + r[2][j] ** 2)
        scale[j] = length
        for i in range(3):
            r[i][j] = r[i][j] / length if length > 0.0 else (1.0 if i == j else 0.0)
    det = (r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) - r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
           r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]))
    if det < 0.0:
        scale[0] = -scale[0]
        for i in range(3):
            r[i][0] = -r[i][0]
    # Row 1 of Ry(H) Rx(P) Rz(B) is (cos P sin B, cos P cos B, -sin P), column 2
    # (sin H cos P, -sin P, cos H cos P).
    sp = max(-1.0, min(1.0, -r[1][2]))
    pitch = math.asin(sp)
    if abs(sp) < 0.9999999:
        heading = math.atan2(r[0][2], r[2][2])
        bank = math.atan2(r[1][0], r[1][1])
    else:
        # Straight up or down: heading and bank turn about one axis; all of it goes to heading.
        heading = math.atan2(-r[2][0], r[0][0])
        bank = 0.0
    return (m[0][3], m[1][3], m[2][3]), (heading, pitch, bank), tuple(scale)


def unwrap(angle, previous):
    """`angle` moved by whole turns to lie nearest `previous`, so channels do not jump."""
    if previous is None:
        return angle
    return angle - 2.0 * math.pi * round((angle - previous) / (2.0 * math.pi))


# ---------------------------------------------------------------------------
# 2. The scene document
#
# A node is Node(name, children); a value Value(name, type, data) where data is
# a list of numbers, a text, or for FP_C a list of (tag, count, floats)
# records; an array Array(name, type, rows) with one such data per row.

I4, U4, FP, STR, FP_C = 0, 1, 2, 3, 4
TYPE_WORDS = ("I4", "U4", "FP", "STR", "FP_C")


class Node:
    def __init__(self, name, children=None):
        self.name = name
        self.children = children if children is not None else []

    def add(self, child):
        self.children.append(child)
        return child


class Value:
    def __init__(self, name, kind, data):
        if kind == STR:
            # A text is one line, and ends at its first NUL in the binary form.
            data = re.sub(r"[\r\n\0]", " ", data)
        self.name, self.kind, self.data = name, kind, data


class Array:
    def __init__(self, name, kind, rows):
        self.name, self.kind, self.rows = name, kind, rows


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def number_text(x):
    """A float that reads back as the same single-precision value."""
    x = f32(x)
    if x == 0.0:
        return "-0" if math.copysign(1.0, x) < 0 else "0"
    for digits in (6, 7, 8, 9):
        text = "%.*g" % (digits, x)
        if f32(float(text)) == x:
            return text
    return "%.9g" % x


def text_value(kind, data):
    if kind == STR:
        return '"' + data + '"'
    if kind == FP_C:
        parts = []
        for tag, count, floats in data:
            parts.append(("RUN %d " if tag == 0 else "DAT %d ") % count + " ".join(number_text(v) for v in floats))
        return " ".join(parts)
    if kind == FP:
        return " ".join(number_text(v) for v in data)
    return " ".join(str(int(v)) for v in data)


def write_text(root, out):
    def walk(node):
        for child in node.children:
            if isinstance(child, Node):
                out.append("{ %s\n" % child.name)
                walk(child)
                out.append("}\n")
            elif isinstance(child, Value):
                out.append("%s %s %s\n" % (child.name, TYPE_WORDS[child.kind], text_value(child.kind, child.data)))
            else:
                out.append("%s %s [\n" % (child.name, TYPE_WORDS[child.kind]))
                for row in child.rows:
                    out.append(text_value(child.kind, row) + "\n")
                out.append("]\n")
    walk(root)


def chunk_name(name):
    raw = name.encode("utf-8")
    return raw + b"\0" * (4 * (len(raw) // 4) + 4 - len(raw))


def binary_data(kind, data):
    if kind == STR:
        return data.encode("utf-8") + b"\0"
    if kind == FP_C:
        words = bytearray()
        for tag, count, floats in data:
            words += struct.pack(">II", tag, count)
            words += struct.pack(">%df" % len(floats), *floats)
        return bytes(words)
    if kind == FP:
        return struct.pack(">%df" % len(data), *data)
    if kind == U4:
        return struct.pack(">%dI" % len(data), *[int(v) for v in data])
    return struct.pack(">%di" % len(data), *[int(v) for v in data])


def chunk(ident, body):
    return ident + struct.pack(">I", len(body)) + body


def write_binary(root):
    def entry(e):
        if isinstance(e, Node):
            return chunk(b"NODE", chunk_name(e.name) + b"".join(entry(c) for c in e.children))
        if isinstance(e, Value):
            return chunk(b"NVAL", chunk_name(e.name) + struct.pack(">I", e.kind) + binary_data(e.kind, e.data))
        rows = b"".join(chunk(b"AVAL", binary_data(e.kind, row)) for row in e.rows)
        return chunk(b"NARR", chunk_name(e.name) + struct.pack(">I", e.kind) + rows)
    body = b"ZRNF" + b"".join(entry(c) for c in root.children)
    return b"FORM" + struct.pack(">I", len(body)) + body


# ---------------------------------------------------------------------------
# 3. Channels
#
# Every animated quantity is sampled once per exported frame. A channel whose
# samples never change is written as a plain FP constant; others as FP_C
# streams in which three or more equal samples in a row become one RUN record.


def run_length(samples):
    records, literal, i, n = [], [], 0, len(samples)
    while i < n:
        j = i
        while j + 1 < n and samples[j + 1] == samples[i]:
            j += 1
        if j - i + 1 >= 3:
            if literal:
                records.append((1, len(literal), literal))
                literal = []
            records.append((0, j - i + 1, [samples[i]]))
        else:
            literal.extend(samples[i:j + 1])
        i = j + 1
    if literal:
        records.append((1, len(literal), literal))
    return records


def channel(name, rows):
    """`rows`: one list of samples per component (1 for a scalar, 2 or 3 for a vector).
    Samples are kept to six decimals, so that the rounding noise of matrix
    arithmetic does not make a still channel look animated."""
    rows = [[f32(round(v, 6)) + 0.0 for v in row] for row in rows]  # + 0.0: no negative zeros
    if all(all(v == row[0] for v in row) for row in rows):
        return Value(name, FP, [row[0] for row in rows])
    if len(rows) == 1:
        return Value(name, FP_C, run_length(rows[0]))
    return Array(name, FP_C, [run_length(row) for row in rows])


def columns(samples):
    """Per-frame tuples into one list per component."""
    return [list(c) for c in zip(*samples)]


# ---------------------------------------------------------------------------
# 4. Meshes
#
# A .x text file per mesh: vertices split where the UV differs, triangles from
# Blender's triangulation, one normal per corner (Blender's split normals), V
# counted from the top and each triangle's corners turned round (the mirror of
# the axis change would otherwise turn the faces inside out).


def x_identifier(name, used):
    base = re.sub(r"[^A-Za-z0-9_]", "_", name) or "M"
    if base[0].isdigit():
        base = "M_" + base
    ident, k = base, 1
    while ident in used:
        k += 1
        ident = "%s_%d" % (base, k)
    used.add(ident)
    return ident


def num(x):
    return "%.7g" % x


class MeshData:
    """What the .x file holds, and which Blender vertex each file vertex came from."""

    def __init__(self, mesh, materials):
        mesh.calc_loop_triangles()
        mesh.calc_normals_split()
        nloops = len(mesh.loops)
        loop_vertex = array("i", [0]) * nloops
        mesh.loops.foreach_get("vertex_index", loop_vertex)
        loop_normal = array("f", [0.0]) * (3 * nloops)
        mesh.loops.foreach_get("normal", loop_normal)
        co = array("f", [0.0]) * (3 * len(mesh.vertices))
        mesh.vertices.foreach_get("co", co)
        uv_layer = mesh.uv_layers.active
        uvs = None
        if uv_layer is not None:
            uvs = array("f", [0.0]) * (2 * nloops)
            uv_layer.data.foreach_get("uv", uvs)
        self.has_uv = uvs is not None
        self.positions, self.uvs, self.source = [], [], []
        self.normals, normal_index = [], {}
        self.triangles, self.triangle_normals, self.triangle_material = [], [], []
        vertex_index = {}
        for tri in mesh.loop_triangles:
            corners, corner_normals = [], []
            for loop in tri.loops:
                v = loop_vertex[loop]
                uv = (round(uvs[2 * loop], 6), round(uvs[2 * loop + 1], 6)) if uvs is not None else None
                key = (v, uv)
                index = vertex_index.get(key)
                if index is None:
                    index = vertex_index[key] = len(self.positions)
                    self.positions.append(zarn_point(co[3 * v:3 * v + 3]))
                    self.uvs.append((uv[0], 1.0 - uv[1]) if uv is not None else None)
                    self.source.append(v)
                corners.append(index)
                n = loop_normal[3 * loop:3 * loop + 3]
                nkey = (round(n[0], 6), round(n[2], 6), round(n[1], 6))
                ni = normal_index.get(nkey)
                if ni is None:
                    ni = normal_index[nkey] = len(self.normals)
                    self.normals.append(nkey)
                corner_normals.append(ni)
            self.triangles.append((corners[0], corners[2], corners[1]))
            self.triangle_normals.append((corner_normals[0], corner_normals[2], corner_normals[1]))
            self.triangle_material.append(min(tri.material_index, max(len(materials) - 1, 0)))
        self.materials = materials

    def text(self, name, images):
        out = ["xof 0303txt 0032\n", "// %s, written by the Zarn exporter for Blender.\n" % name]
        used = set()
        material_ids = []
        for mat in self.materials:
            ident = x_identifier(mat.name if mat else "Default", used)
            material_ids.append(ident)
            v = material_values(mat, images) if mat else DEFAULT_MATERIAL
            r, g, b = v["BaseColor"]
            alpha = 1.0 - v["Transparency"]
            spec = v["Specularity"]
            emissive = [min(c, 1.0) for c in v["Emission"]]
            out.append("Material %s {\n  %s;%s;%s;%s;;\n  %s;\n  %s;%s;%s;;\n  %s;%s;%s;;\n" %
                       (ident, num(r), num(g), num(b), num(alpha), num(v["Glossiness"] * 128.0),
                        num(spec), num(spec), num(spec), num(emissive[0]), num(emissive[1]), num(emissive[2])))
            if v.get("image"):
                out.append('  TextureFilename {\n    "%s";\n  }\n' % v["image"])
            out.append("}\n")
        ident = x_identifier(name, used)
        out.append("Mesh %s {\n  %d;\n" % (ident, len(self.positions)))
        out.append(",\n".join("  %s;%s;%s;" % (num(p[0]), num(p[1]), num(p[2])) for p in self.positions) + ";\n")
        out.append("  %d;\n" % len(self.triangles))
        out.append(",\n".join("  3;%d,%d,%d;" % t for t in self.triangles) + ";\n")
        out.append("  MeshNormals {\n    %d;\n" % len(self.normals))
        out.append(",\n".join("    %s;%s;%s;" % (num(n[0]), num(n[1]), num(n[2])) for n in self.normals) + ";\n")
        out.append("    %d;\n" % len(self.triangle_normals))
        out.append(",\n".join("    3;%d,%d,%d;" % t for t in self.triangle_normals) + ";\n  }\n")
        if self.has_uv:
            out.append("  MeshTextureCoords {\n    %d;\n" % len(self.uvs))
            out.append(",\n".join("    %s;%s;" % (num(uv[0]), num(uv[1])) for uv in self.uvs) + ";\n  }\n")
        out.append("  MeshMaterialList {\n    %d;\n    %d;\n" % (len(material_ids), len(self.triangles)))
        out.append(",\n".join("    %d" % m for m in self.triangle_material) + ";\n")
        out.append("".join("    { %s }\n" % ident for ident in material_ids))
        out.append("  }\n}\n")
        return "".join(out)


# ---------------------------------------------------------------------------
# 5. Point caches
#
# The .zmdd cache: a header, the frame times, offsets and key flags, the base
# frame, then each frame either as plain floats (key frames, every 25th) or as
# residuals against a prediction from the frames before it. The prediction is
# made from the values the engine will rebuild (single precision, as it
# computes them), so the error stays within half a residual step
# (scale / 2000) and does not grow along the frames.

CACHE_SCALE = 0.01
CACHE_KEY_INTERVAL = 25


def f32_list(values):
    return array("f", values).tolist()


def bit_length_golomb(r):
    g = 2 * r if r > 0 else -2 * r + 1
    return 2 * g.bit_length() - 1


def encode_residuals(residuals):
    """(encoding, bytes) of the smallest encoding that holds the residuals."""
    lo, hi = min(residuals), max(residuals)
    n = len(residuals)
    choices = []
    if lo == hi:
        choices.append((4, 6))
    if hi - lo <= 255:
        choices.append((4 + n, 3))
    elif hi - lo <= 65535:
        choices.append((4 + 2 * n, 4))
    if -2 ** 31 <= lo and hi < 2 ** 31:
        choices.append((4 * n, 5))
    golomb_bits = sum(bit_length_golomb(r) for r in residuals)
    if max(-lo, hi) < 2 ** 31:
        choices.append(((golomb_bits + 7) // 8, 0))
    size, encoding = min(choices)
    base = struct.pack(">i", lo) if encoding in (3, 4, 6) else b""
    if encoding == 6:
        return 6, base
    if encoding == 3:
        return 3, base + bytes(r - lo for r in residuals)
    if encoding == 4:
        return 4, base + struct.pack(">%dH" % n, *[r - lo for r in residuals])
    if encoding == 5:
        return 5, struct.pack(">%di" % n, *residuals)
    bits = []
    for r in residuals:
        g = 2 * r if r > 0 else -2 * r + 1
        bits.append("0" * (g.bit_length() - 1) + format(g, "b"))
    text = "".join(bits)
    text += "0" * (-len(text) % 8)
    return 0, int(text, 2).to_bytes(len(text) // 8, "big") if text else b""


def predict(p, previous):
    """The predicted coordinate values under predictor 1 (the previous frame)
    or 2 (a straight line through the two before)."""
    if p == 1:
        return previous[0]
    return f32_list([2.0 * a - b for a, b in zip(previous[0], previous[1])])


def zmdd_bytes(times, frames):
    """`frames`: per frame, one list of x, y, z per point (Zarn axes)."""
    count, points = len(frames), len(frames[0]) // 3
    scale = f32(CACHE_SCALE)
    per_unit = 1000.0 / scale
    out = bytearray(b"ZMDD")
    out += struct.pack(">IIIf", 0, count, points, scale)
    out += struct.pack(">%df" % count, *times)
    offsets_at = len(out)
    out += b"\0" * (4 * count)
    keys = [1 if f % CACHE_KEY_INTERVAL == 0 else 0 for f in range(count)]
    out += bytes(keys)

    def key_frame(xyz):
        record = bytearray()
        for _ in range(3):
            record += struct.pack(">HHI", 0, 0, 4 * points)
        coords = [f32_list(xyz[c::3]) for c in range(3)]
        for c in range(3):
            record += struct.pack(">%df" % points, *coords[c])
        return record, coords

    record, latest = key_frame(frames[0])
    out += record
    history = [latest]  # newest first, as the engine keeps it after its last key frame
    for f in range(count):
        struct.pack_into(">I", out, offsets_at + 4 * f, len(out))
        if keys[f]:
            record, latest = key_frame(frames[f])
            out += record
            history = [latest]
            continue
        headers, datas, rebuilt = [], [], []
        for c in range(3):
            target = frames[f][c::3]
            best = None
            for p in ((1, 2) if len(history) >= 2 else (1,)):
                pred = predict(p, [h[c] for h in history])
                residuals = [round((t - q) * per_unit) for t, q in zip(target, pred)]
                encoding, data = encode_residuals(residuals)
                if best is None or len(data) < len(best[2]):
                    best = (p, encoding, data, pred, residuals)
            p, encoding, data, pred, residuals = best
            headers.append(struct.pack(">HHI", p, encoding, len(data)))
            datas.append(data)
            rebuilt.append(f32_list([q + f32(scale * r / 1000.0) for q, r in zip(pred, residuals)]))
        out += b"".join(headers) + b"".join(datas)
        history = [rebuilt] + history[:3]
    return bytes(out)


def zpnts_bytes(table):
    body = b"ZPNT" + struct.pack(">I", len(table)) + struct.pack(">%dI" % len(table), *table)
    return b"FORM" + struct.pack(">I", len(body)) + body


# ---------------------------------------------------------------------------
# 6. Materials
#
# The Principled BSDF (or a material without nodes) as the surface channels
# the engine reads: base colour and its image, luminosity from the emission,
# specularity, glossiness from the roughness, transparency from the alpha and
# sidedness from back-face culling (3: both sides).

DEFAULT_MATERIAL = {"BaseColor": (0.8, 0.8, 0.8), "Luminosity": 0.0, "Emission": (0.0, 0.0, 0.0), "Diffuse": 1.0,
                    "Specularity": 0.5, "Glossiness": 0.5, "Transparency": 0.0, "Sidedness": 3, "image": None}


def principled(mat):
    if not mat.use_nodes or mat.node_tree is None:
        return None
    for node in mat.node_tree.nodes:
        if node.type == "OUTPUT_MATERIAL" and node.is_active_output:
            links = node.inputs["Surface"].links
            if links and links[0].from_node.type == "BSDF_PRINCIPLED":
                return links[0].from_node
    for node in mat.node_tree.nodes:
        if node.type == "BSDF_PRINCIPLED":
            return node
    return None


def linked_image(socket):
    if socket.is_linked:
        node = socket.links[0].from_node
        if node.type == "TEX_IMAGE" and node.image is not None:
            return node.image
    return None


def material_values(mat, images):
    """The surface channels of a material at the current frame; `images` names
    the image files (an Images collector, or None to leave images out)."""
    bsdf = principled(mat)
    if bsdf is None:
        c = mat.diffuse_color
        return {"BaseColor": (c[0], c[1], c[2]), "Luminosity": 0.0, "Emission": (0.0, 0.0, 0.0), "Diffuse": 1.0,
                "Specularity": mat.specular_intensity, "Glossiness": 1.0 - mat.roughness,
                "Transparency": 1.0 - c[3], "Sidedness": 0 if mat.use_backface_culling else 3, "image": None}
    inputs = bsdf.inputs
    base = inputs["Base Color"].default_value
    emission = inputs["Emission"].default_value
    image = linked_image(inputs["Base Color"])
    return {
        "BaseColor": (base[0], base[1], base[2]),
        "Luminosity": max(emission[0], emission[1], emission[2]) * inputs["Emission Strength"].default_value,
        "Emission": tuple(c * inputs["Emission Strength"].default_value for c in emission[:3]),
        "Diffuse": 1.0,
        "Specularity": inputs["Specular"].default_value,
        "Glossiness": 1.0 - inputs["Roughness"].default_value,
        "Transparency": 1.0 - inputs["Alpha"].default_value,
        "Sidedness": 0 if mat.use_backface_culling else 3,
        "image": images.name_of(image) if image is not None and images is not None else None,
    }


class Images:
    """Image files the scene uses, each written once beside the scene."""

    def __init__(self, files):
        self.files, self.names = files, {}

    def name_of(self, image):
        if image.name in self.names:
            return self.names[image.name]
        source = bpy.path.abspath(image.filepath) if image.filepath else ""
        if image.packed_file is None and source and os.path.isfile(source):
            name = self.files.unique(os.path.basename(source))
            self.files.copy(name, source)
        else:
            name = self.files.unique(re.sub(r"[^A-Za-z0-9_.-]", "_", image.name) + ".png")
            self.files.save_image(name, image)
        self.names[image.name] = name
        return name


# ---------------------------------------------------------------------------
# 7. Sampling the scene and building the document

PLAYABLE = {"MESH"}
CONVERTED = {"CURVE", "SURFACE", "FONT", "META"}  # made into meshes
PLACING = {"EMPTY", "ARMATURE"}  # place their children; nothing of their own to draw
KIND_NAMES = {"CURVE": "curve", "SURFACE": "surface", "FONT": "text", "META": "metaball", "VOLUME": "volume",
              "GPENCIL": "grease pencil", "POINTCLOUD": "point cloud", "CURVES": "hair curves",
              "LIGHT_PROBE": "light probe", "SPEAKER": "speaker", "LATTICE": "lattice", "MESH": "mesh"}


def kind_name(obj):
    return KIND_NAMES.get(obj.type, obj.type.lower())


class ExportError(Exception):
    pass


class Track:
    """One exported item's per-frame samples."""

    def __init__(self, obj):
        self.obj = obj
        self.position, self.rotation, self.scale = [], [], []
        self.extra = {}

    def sample_pose(self, world, looks_down_z=False):
        position, hpb, scale = decompose(zarn_matrix(world, looks_down_z))
        if self.rotation:
            hpb = (unwrap(hpb[0], self.rotation[-1][0]), hpb[1], unwrap(hpb[2], self.rotation[-1][2]))
        self.position.append(position)
        self.rotation.append(hpb)
        self.scale.append(scale)

    def sample(self, key, value):
        self.extra.setdefault(key, []).append(value)


def camera_zoom(cam, width, height):
    """LightWave's zoom factor for the camera's vertical field of view, as the
    engine turns it back: fov = 2 atan(width / (height zoom))."""
    aspect = width / height
    fit = cam.sensor_fit
    if fit == "AUTO":
        fit = "HORIZONTAL" if width >= height else "VERTICAL"
        sensor = cam.sensor_width
    else:
        sensor = cam.sensor_width if fit == "HORIZONTAL" else cam.sensor_height
    half = sensor / (2.0 * cam.lens)
    tan_half_v = half / aspect if fit == "HORIZONTAL" else half
    return aspect / tan_half_v


def spot_cone(light):
    """(cone, edge) in radians: the outer half angle, and how far inside it the
    light starts to fade (Blender blends over the cosines, from the outer cone
    to cos + (1 - cos) blend)."""
    outer = light.spot_size / 2.0
    cos_outer = math.cos(outer)
    inner = math.acos(min(1.0, cos_outer + (1.0 - cos_outer) * light.spot_blend))
    return outer, outer - inner


def light_intensity(light):
    # A sun's strength plays as it is (1 = 100 %); point, spot and area powers
    # are in watts, and Blender's new light (1000 W) plays at 100 %.
    return light.energy if light.type == "SUN" else light.energy / 1000.0


def world_colour(world):
    if world is None:
        return (0.0, 0.0, 0.0), 1.0
    if world.use_nodes and world.node_tree is not None:
        for node in world.node_tree.nodes:
            if node.type == "BACKGROUND":
                c = node.inputs["Color"].default_value
                return (c[0], c[1], c[2]), node.inputs["Strength"].default_value
    c = world.color
    return (c[0], c[1], c[2]), 1.0


class Files:
    """The files an export writes, first as temporary files beside their targets."""

    def __init__(self, folder):
        self.folder, self.pending, self.taken = folder, [], set()

    def unique(self, name):
        base, ext = os.path.splitext(name)
        candidate, k = name, 1
        while candidate.lower() in self.taken:
            k += 1
            candidate = "%s_%d%s" % (base, k, ext)
        self.taken.add(candidate.lower())
        return candidate

    def _temporary(self, name):
        target = os.path.join(self.folder, name)
        temporary = os.path.join(self.folder, ".%s.zarn-export-%d" % (name, os.getpid()))
        self.pending.append((temporary, target))
        return temporary

    def write(self, name, data):
        with open(self._temporary(name), "wb") as out:
            out.write(data.encode("utf-8") if isinstance(data, str) else data)

    def copy(self, name, source):
        shutil.copyfile(source, self._temporary(name))

    def save_image(self, name, image):
        """A packed or generated image as an 8-bit RGBA PNG of its stored values."""
        width, height = image.size
        if width == 0 or height == 0:
            raise ExportError("the image '%s' has no pixels" % image.name)
        pixels = array("f", [0.0]) * (4 * width * height)
        image.pixels.foreach_get(pixels)
        data = bytes(max(0, min(255, int(v * 255.0 + 0.5))) for v in pixels)
        stride = 4 * width
        # Blender keeps the bottom row first; PNG starts at the top.
        rows = b"".join(b"\0" + data[y * stride:(y + 1) * stride] for y in range(height - 1, -1, -1))

        def png_chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
        header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
        self.write(name, b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + png_chunk(b"IDAT", zlib.compress(rows)) +
                   png_chunk(b"IEND", b""))

    def commit(self):
        # The scene document comes last, so a scene that names its files
        # never appears before them.
        for temporary, target in self.pending:
            if os.path.isdir(target):
                raise ExportError("'%s' is a folder; nothing was written" % target)
        for temporary, target in self.pending:
            os.replace(temporary, target)

    def discard(self):
        for temporary, _ in self.pending:
            if os.path.exists(temporary):
                os.remove(temporary)


def mesh_key(obj, deforms):
    """Objects whose meshes come out the same share one file."""
    if obj.type != "MESH" or deforms or obj.modifiers or obj.data.shape_keys is not None:
        return None
    return (obj.data.name, tuple(s.material.name if s.material else "" for s in obj.material_slots))


def may_deform(obj):
    return (obj.type == "MESH" and (obj.modifiers or obj.data.shape_keys is not None or
                                    obj.parent_type == "ARMATURE" or obj.find_armature() is not None))


def vertex_positions(obj_eval):
    """The evaluated mesh's vertices, Zarn axes, object space, as one flat
    single-precision array (a frame of a large mesh stays small)."""
    mesh = obj_eval.to_mesh()
    try:
        co = array("f", [0.0]) * (3 * len(mesh.vertices))
        mesh.vertices.foreach_get("co", co)
    finally:
        obj_eval.to_mesh_clear()
    y = co[1::3]
    co[1::3] = co[2::3]
    co[2::3] = y
    return co


class Exporter:
    def __init__(self, context, path, binary=False, frames=None, log=print):
        self.context, self.scene = context, context.scene
        self.path, self.binary, self.log = os.path.abspath(path), binary, log
        self.folder = os.path.dirname(self.path)
        start, end = frames if frames else (self.scene.frame_start, self.scene.frame_end)
        if end < start:
            raise ExportError("the last frame (%d) comes before the first (%d)" % (end, start))
        self.start, self.end = start, end
        self.messages = []

    def say(self, text):
        self.messages.append(text)
        self.log("zarn_export: " + text)

    def run(self):
        if not os.path.isdir(self.folder):
            raise ExportError("the folder '%s' does not exist" % self.folder)
        files = Files(self.folder)
        files.taken.add(os.path.basename(self.path).lower())
        try:
            self._export(files)
            files.commit()
        except BaseException:
            files.discard()
            raise
        return self.messages

    # -- choosing what to export ------------------------------------------

    def _items(self):
        objects, cameras, lights = [], [], []
        for obj in sorted(self.scene.objects, key=lambda o: o.name):
            if obj.hide_render:
                continue
            if obj.type in PLAYABLE or obj.type in CONVERTED:
                if obj.type in CONVERTED:
                    self.say("%s '%s' is converted to a mesh" % (kind_name(obj), obj.name))
                objects.append(obj)
            elif obj.type == "CAMERA":
                if obj.data.type != "PERSP":
                    self.say("camera '%s' is %s; it plays as a perspective camera" %
                             (obj.name, obj.data.type.lower()))
                cameras.append(obj)
            elif obj.type == "LIGHT":
                if obj.data.type == "AREA":
                    self.say("area light '%s' plays as a point light" % obj.name)
                lights.append(obj)
            elif obj.type not in PLACING:
                self.say("%s '%s' is skipped: the engine cannot play it" % (kind_name(obj), obj.name))
            if obj.instance_type == "COLLECTION" and obj.instance_collection is not None:
                self.say("the collection instance '%s' is skipped; make it real to export it" % obj.name)
        if not cameras:
            self.say("the scene has no camera; Zarn will show it through its default camera")
        if self.scene.camera in cameras:
            cameras.remove(self.scene.camera)
            cameras.insert(0, self.scene.camera)
        return objects, cameras, lights

    # -- sampling -----------------------------------------------------------

    def _export(self, files):
        scene = self.scene
        objects, cameras, lights = self._items()
        width = round(scene.render.resolution_x * scene.render.resolution_percentage / 100.0)
        height = round(scene.render.resolution_y * scene.render.resolution_percentage / 100.0)
        fps = scene.render.fps / scene.render.fps_base
        tracks = [Track(o) for o in objects]
        camera_tracks = [Track(o) for o in cameras]
        light_tracks = [Track(o) for o in lights]
        deforming = [t for t in tracks if may_deform(t.obj)]
        materials = {}
        for t in tracks:
            for slot in t.obj.material_slots:
                if slot.material is not None:
                    materials[slot.material.name] = slot.material
        material_samples = {name: [] for name in materials}
        render_camera, ambient = [], []
        saved_frame = scene.frame_current
        try:
            for frame in range(self.start, self.end + 1):
                scene.frame_set(frame)
                depsgraph = self.context.evaluated_depsgraph_get()
                for t in tracks:
                    t.sample_pose(t.obj.evaluated_get(depsgraph).matrix_world)
                for t in deforming:
                    t.sample("points", vertex_positions(t.obj.evaluated_get(depsgraph)))
                for t in camera_tracks:
                    ev = t.obj.evaluated_get(depsgraph)
                    t.sample_pose(ev.matrix_world, looks_down_z=True)
                    t.sample("zoom", camera_zoom(ev.data, width, height))
                    t.sample("focus", ev.data.dof.focus_distance)
                    t.sample("fstop", ev.data.dof.aperture_fstop)
                for t in light_tracks:
                    ev = t.obj.evaluated_get(depsgraph)
                    t.sample_pose(ev.matrix_world, looks_down_z=True)
                    t.sample("color", tuple(ev.data.color))
                    t.sample("intensity", light_intensity(ev.data))
                    if ev.data.type == "SPOT":
                        t.sample("cone", spot_cone(ev.data))
                    if ev.data.use_custom_distance:
                        t.sample("range", ev.data.cutoff_distance)
                for name, mat in materials.items():
                    material_samples[name].append(material_values(mat, None))
                render_camera.append(float(cameras.index(scene.camera)) if scene.camera in cameras else 0.0)
                colour, strength = world_colour(scene.world)
                ambient.append(tuple(c * strength for c in colour))
            scene.frame_set(self.start)
            depsgraph = self.context.evaluated_depsgraph_get()
            images = Images(files)
            document = self._document(files, images, tracks, camera_tracks, light_tracks, material_samples,
                                      render_camera, ambient, width, height, fps, depsgraph)
        finally:
            scene.frame_set(saved_frame)
        out = []
        if self.binary:
            data = write_binary(document)
        else:
            out.append("# Zarn scene written by the Zarn exporter for Blender from %s\n" %
                       (os.path.basename(bpy.data.filepath) or "an unsaved file"))
            write_text(document, out)
            data = "".join(out)
        files.write(os.path.basename(self.path), data)

    # -- the document ---------------------------------------------------------

    def _document(self, files, images, tracks, camera_tracks, light_tracks, material_samples, render_camera,
                  ambient, width, height, fps, depsgraph):
        root = Node("root")
        scene_node = root.add(Node("Scene"))
        scene_node.add(Node("SceneInfo", [
            Value("frameStart", I4, [self.start]), Value("frameEnd", I4, [self.end]),
            Value("frameStep", I4, [1]), Value("framesPerSecond", FP, [fps]),
            channel("renderCamera", [render_camera])]))
        colour, _ = world_colour(self.scene.world)
        scene_node.add(Node("BackdropInfo", [Value("zenith", FP, list(colour))]))
        scene_node.add(Node("LightInfo", [channel("ambient", columns(ambient))]))

        cameras = scene_node.add(Node("Cameras"))
        for t in camera_tracks:
            cam = t.obj.data
            node = cameras.add(Node("Camera", [Value("name", STR, t.obj.name)]))
            self._pose(node, t, scale=False)
            node.add(channel("zoomFactor", [t.extra["zoom"]]))
            node.add(Value("resolution", I4, [width, height]))
            node.add(Value("flags", I4, [8 if cam.dof.use_dof else 0]))
            if cam.dof.use_dof:
                node.add(channel("focalDistance", [t.extra["focus"]]))
                node.add(channel("fStop", [t.extra["fstop"]]))

        lights = scene_node.add(Node("Lights"))
        for t in light_tracks:
            light = t.obj.data
            kind = {"SUN": 0, "SPOT": 2}.get(light.type, 1)
            node = lights.add(Node("Light", [Value("name", STR, t.obj.name), Value("type", I4, [kind])]))
            self._pose(node, t, scale=False)
            node.add(channel("color", columns(t.extra["color"])))
            node.add(channel("intensity", [t.extra["intensity"]]))
            if kind == 2:
                node.add(channel("coneAngles", columns(t.extra["cone"])))
            if "range" in t.extra:
                node.add(Value("falloff", I4, [1]))
                node.add(channel("range", [t.extra["range"]]))
            else:
                node.add(Value("falloff", I4, [0]))
            node.add(Value("shadowType", I4, [2 if light.use_shadow else 0]))
            if light.use_shadow:
                eevee = self.scene.eevee
                size = eevee.shadow_cascade_size if kind == 0 else eevee.shadow_cube_size
                node.add(Value("shadowColor", FP, [0.0, 0.0, 0.0]))
                node.add(Value("shadMapSize", I4, [int(size)]))

        objects = scene_node.add(Node("Objects"))
        surfaces = Node("SceneObjects")
        written = {}
        for t in tracks:
            entry = self._mesh_file(files, images, t, depsgraph, written, surfaces, material_samples, fps)
            if entry is None:
                continue
            xname, cache = entry
            node = objects.add(Node("Object", [Value("zfilename", STR, xname), Value("name", STR, t.obj.name),
                                               Value("filename", STR, xname)]))
            self._pose(node, t, scale=True)
            node.add(Value("shadowOpts", I4, [2]))
            if cache:
                node.add(cache)
        scene_node.add(surfaces)
        return root

    def _pose(self, node, t, scale):
        node.add(channel("position", columns(t.position)))
        node.add(channel("rotation", columns(t.rotation)))
        if scale:
            node.add(channel("scale", columns(t.scale)))

    def _mesh_file(self, files, images, t, depsgraph, written, surfaces, material_samples, fps):
        """Writes the object's .x (once per shared mesh), its point cache when it
        deforms, and its surfaces; gives (file name, MDD node or None), or None
        when it has nothing to draw."""
        obj = t.obj
        points = t.extra.get("points")
        deforms = False
        if points:
            if any(len(p) != len(points[0]) for p in points):
                self.say("the vertex count of '%s' changes over the frames; its deformation is not exported" %
                         obj.name)
            else:
                deforms = any(p != points[0] for p in points)
        key = mesh_key(obj, deforms)
        if key is not None and key in written:
            return written[key], None
        ev = obj.evaluated_get(depsgraph)
        try:
            mesh = ev.to_mesh()
        except RuntimeError:
            mesh = None
        if mesh is None or len(mesh.polygons) == 0:
            if mesh is not None:
                ev.to_mesh_clear()
            self.say("%s '%s' has no faces; it is skipped" % (kind_name(obj), obj.name))
            return None
        try:
            slot_materials = [s.material for s in ev.material_slots] or [None]
            data = MeshData(mesh, slot_materials)
            name = files.unique(re.sub(r'[\\/:*?"<>|]', "_", key[0] if key else obj.name) + ".x")
            files.write(name, data.text(os.path.splitext(name)[0], images))
        finally:
            ev.to_mesh_clear()
        if key is not None:
            written[key] = name
        self._surfaces(surfaces, name, slot_materials, material_samples, images)
        cache = None
        if deforms:
            base = os.path.splitext(name)[0]
            cache_name = files.unique(base + ".zmdd")
            files.write(cache_name, zmdd_bytes([k / fps for k in range(len(points))], points))
            files.write(base + ".zpnts", zpnts_bytes(data.source))
            files.taken.add((base + ".zpnts").lower())
            last = (len(points) - 1) / fps
            cache = Node("MDD", [Value("filename", STR, cache_name), Value("applyCacheTo", I4, [0]),
                                 Value("endBehavior", I4, [0]), Value("mddTotalTime", FP, [last]),
                                 channel("times", [[k / fps for k in range(len(points))]]),
                                 Value("postBehavior", I4, [0])])
        return name, cache

    def _surfaces(self, surfaces, xname, slot_materials, material_samples, images):
        member = surfaces.add(Node("SceneObject", [Value("filename", STR, xname)]))
        list_node = member.add(Node("Surfaces"))
        for mat in slot_materials:
            surface = list_node.add(Node("Surface", [Value("name", STR, mat.name if mat else "Default")]))
            params = surface.add(Node("Parameters"))
            samples = material_samples.get(mat.name) if mat else None
            first = material_values(mat, images) if mat else DEFAULT_MATERIAL
            for channel_name in ("BaseColor", "Luminosity", "Diffuse", "Specularity", "Glossiness",
                                 "Transparency", "Sidedness"):
                node = params.add(Node(channel_name))
                if channel_name == "Sidedness":
                    node.add(Value("value", I4, [first[channel_name]]))
                elif channel_name == "BaseColor":
                    rows = columns([s[channel_name] for s in samples]) if samples else \
                        [[c] for c in first[channel_name]]
                    node.add(channel("value", rows))
                    if first["image"]:
                        node.add(Value("img_filename", STR, first["image"]))
                else:
                    node.add(channel("value", [[s[channel_name] for s in samples] if samples else
                                               [first[channel_name]]]))


# ---------------------------------------------------------------------------
# 8. Writing the files


def export(context, path, binary=False, frames=None, log=print):
    """Exports the scene; returns the messages. Raises ExportError (or any
    error from Blender) with nothing written over what was there."""
    return Exporter(context, path, binary, frames, log).run()


# ---------------------------------------------------------------------------
# 9. The add-on and the command line

try:
    from bpy_extras.io_utils import ExportHelper
except ImportError:  # not inside Blender's own interpreter
    ExportHelper = object


class ZARN_OT_export_scene(bpy.types.Operator, ExportHelper):
    """Export the scene as a Zarn scene, with its objects, point caches and surfaces"""
    bl_idname = "export_scene.zarn"
    bl_label = "Export Zarn scene"
    filename_ext = ".zscn"
    filter_glob: bpy.props.StringProperty(default="*.zscn", options={"HIDDEN"})
    binary: bpy.props.BoolProperty(name="Binary", description="Write the binary form of the scene",
                                   default=False)
    use_scene_range: bpy.props.BoolProperty(name="Scene frame range", default=True)
    frame_start: bpy.props.IntProperty(name="Start", default=1)
    frame_end: bpy.props.IntProperty(name="End", default=250)

    def execute(self, context):
        frames = None if self.use_scene_range else (self.frame_start, self.frame_end)
        try:
            messages = export(context, self.filepath, self.binary, frames)
        except Exception as error:
            self.report({"ERROR"}, "Zarn export failed: %s" % error)
            return {"CANCELLED"}
        for text in messages:
            self.report({"WARNING"}, text)
        self.report({"INFO"}, "Zarn scene written to %s" % self.filepath)
        return {"FINISHED"}


def menu_entry(self, context):
    self.layout.operator(ZARN_OT_export_scene.bl_idname, text="Zarn scene (.zscn)")


def register():
    bpy.utils.register_class(ZARN_OT_export_scene)
    bpy.types.TOPBAR_MT_file_export.append(menu_entry)


def unregister():
    bpy.types.TOPBAR_MT_file_export.remove(menu_entry)
    bpy.utils.unregister_class(ZARN_OT_export_scene)


USAGE = "usage: blender -b FILE.blend --python zarn_export.py -- OUT.zscn [--binary] [--frames START END]"


def main(argv):
    args = argv[argv.index("--") + 1:] if "--" in argv else []
    binary, frames, out = False, None, None
    i = 0
    while i < len(args):
        if args[i] == "--binary":
            binary = True
        elif args[i] == "--frames" and i + 2 < len(args):
            try:
                frames = (int(args[i + 1]), int(args[i + 2]))
            except ValueError:
                print("zarn_export: --frames needs two whole numbers\n" + USAGE)
                return 2
            i += 2
        elif out is None and not args[i].startswith("--"):
            out = args[i]
        else:
            print("zarn_export: unexpected argument '%s'\n%s" % (args[i], USAGE))
            return 2
        i += 1
    if out is None:
        print(USAGE)
        return 2
    began = time.time()
    try:
        export(bpy.context, out, binary, frames)
    except Exception as error:
        print("zarn_export: export failed, nothing written: %s" % error)
        return 1
    print("zarn_export: wrote %s in %.2f s" % (out, time.time() - began))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
