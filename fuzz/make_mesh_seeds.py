#!/usr/bin/env python3
"""Writes the seed files of the .obj and .lwo fuzz corpora (tests/mesh/corpus-obj,
tests/mesh/corpus-lwo): small sound files that reach every chunk and keyword
the loaders read, and the two reproducers that broke the stock loaders."""
import os
import struct
import sys

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "mesh")


def put(folder, name, data):
    with open(os.path.join(root, folder, "seed-" + name), "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)


tri = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\n"
put("corpus-obj", "triangle", tri + "f 1/1/1 2/2/1 3/3/1\n")
put("corpus-obj", "relative", tri + "f -3/-3/-1 -2/-2/-1 -1/-1/-1\n")
put("corpus-obj", "forms", tri + "f 1 2 3\nf 1//1 2//1 3//1\nf 1/1 2/2 3/3\n")
put("corpus-obj", "materials", "mtllib a.mtl\n" + tri + "usemtl red\nf 1 2 3\ng part\no thing\ns 1\nusemtl blue\nf 3 2 1\n")
put("corpus-obj", "polygon", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv -1 0.5 0\nf 1 2 3 4 5\nl 1 2\np 3\n")
put("corpus-obj", "far-index", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 2147483647\n")
put("corpus-obj", "numbers", "v +1.5e3 -2.25E-2 .5\nv 1e39 -0 1e-50\nv 3 4 5 1\nvt 0.5\nf 1 2 3\n")


def be16(v): return struct.pack(">H", v)
def be32(v): return struct.pack(">I", v)
def f4(v): return struct.pack(">f", v)


def s0(s):
    b = s.encode() + b"\0"
    return b + (b"\0" if len(b) & 1 else b"")


def chunk(i, body, long=True):
    out = i.encode() + (be32(len(body)) if long else be16(len(body))) + body
    return out + (b"\0" if len(body) & 1 else b"")


def form(body): return b"FORM" + be32(len(body) + 4) + b"LWO2" + body


pts = b"".join(f4(x) + f4(y) + f4(0) for x, y in [(0, 0), (0, 1), (1, 1), (1, 0), (2, 0), (2, 1)])
pols = b"FACE" + be16(4) + be16(0) + be16(1) + be16(2) + be16(3) + be16(3) + be16(3) + be16(2) + be16(5)
tags = b"SURF" + be16(0) + be16(0) + be16(1) + be16(1)
uv = b"TXUV" + be16(2) + s0("uv") + b"".join(be16(i) + f4(i & 1) + f4(i >> 1) for i in range(6))
vmad = b"TXUV" + be16(2) + s0("uv") + be16(3) + be16(1) + f4(0.5) + f4(0.25)
blok = chunk("IMAP", s0("\x80") + chunk("CHAN", b"COLR", False) + chunk("ENAB", be16(1), False), False)
blok += chunk("PROJ", be16(5), False) + chunk("IMAG", be16(1), False) + chunk("VMAP", s0("uv"), False)
surf = s0("Red") + s0("") + chunk("COLR", f4(1) + f4(0) + f4(0) + be16(0), False) + chunk("DIFF", f4(1) + be16(0), False)
surf += chunk("SIDE", be16(3), False) + chunk("BLOK", blok, False)
clip = be32(1) + chunk("STIL", s0("images/a.png"), False)
layer = chunk("LAYR", be16(0) + be16(0) + f4(0) + f4(0) + f4(0) + s0("one"))
put("corpus-lwo", "two-surfaces", form(chunk("TAGS", s0("Red") + s0("Blue")) + layer + chunk("PNTS", pts) +
                                       chunk("VMAP", uv) + chunk("POLS", pols) + chunk("PTAG", tags) +
                                       chunk("VMAD", vmad) + chunk("CLIP", clip) + chunk("SURF", surf)))
bones = b"BONE" + be16(2) + be16(0) + be16(1)
put("corpus-lwo", "two-layers", form(chunk("TAGS", s0("A")) + layer + chunk("PNTS", pts) + chunk("POLS", pols) +
                                     chunk("PTAG", b"SURF" + be16(0) + be16(0)) + layer + chunk("PNTS", pts) +
                                     chunk("POLS", bones) + chunk("PTAG", b"SURF" + be16(0) + be16(0)) +
                                     chunk("BBOX", f4(0) * 6)))
big = b"FACE" + be16(3) + b"\xff\x00\x00\x00" + be16(1) + be16(2)
put("corpus-lwo", "long-index", form(chunk("PNTS", pts) + chunk("POLS", big)))
put("corpus-lwo", "huge-chunk", b"FORM\xff\xff\xff\xf0LWO2PNTS\x7f\xff\xff\xf0" + b"\0" * 12)
# Every surface sub-chunk and texture-block part the loader reads, and the
# three projections it computes.
def sub(i, body): return chunk(i, body, False)
def scalar(i, v): return sub(i, f4(v) + be16(0))
tmap = sub("TMAP", sub("CNTR", f4(0) * 3 + be16(0)) + sub("SIZE", f4(1) * 3 + be16(0)) + sub("ROTA", f4(0.5) + f4(0) * 2 + be16(0)))
def imap(channel, projection, axis):
    head = sub("IMAP", s0("\x80") + sub("CHAN", channel.encode()) + sub("ENAB", be16(1)))
    return sub("BLOK", head + tmap + sub("PROJ", be16(projection)) + sub("AXIS", be16(axis)) + sub("IMAG", be16(1)))
rich = s0("Rich") + s0("") + sub("COLR", f4(1) + f4(0) + f4(0) + be16(0))
for name, value in [("DIFF", 0.9), ("LUMI", 0.1), ("SPEC", 0.6), ("GLOS", 0.7), ("REFL", 0.2), ("TRAN", 0.25),
                    ("TRNL", 0.3), ("RIND", 1.5), ("BUMP", 0.8), ("CLRH", 0.4), ("CLRF", 0.5), ("ADTR", 0.6),
                    ("SHRP", 0.1), ("RBLR", 0.05), ("TBLR", 0.05), ("GVAL", 0.3), ("RSAN", 0.2)]:
    rich += scalar(name, value)
rich += sub("SMAN", f4(1.2)) + sub("SIDE", be16(3)) + sub("RFOP", be16(2)) + sub("TROP", be16(1))
rich += sub("RIMG", be16(1)) + sub("TIMG", be16(1)) + sub("GLOW", be16(0) + f4(0.7) + be16(0) + f4(0.5) + be16(0))
rich += sub("VCOL", f4(1) + be16(0) + b"RGBA" + s0("colours"))
rich += imap("COLR", 0, 2) + imap("BUMP", 1, 1) + imap("SPEC", 2, 0) + imap("DIFF", 3, 0)
put("corpus-lwo", "surface-chunks", form(chunk("TAGS", s0("Rich")) + layer + chunk("PNTS", pts) + chunk("POLS", pols) +
                                         chunk("PTAG", b"SURF" + be16(0) + be16(0) + be16(1) + be16(0)) +
                                         chunk("CLIP", clip) + chunk("SURF", rich)))
sys.exit(0)
