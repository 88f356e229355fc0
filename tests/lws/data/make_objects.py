#!/usr/bin/env python3
"""Writes the two LWO2 boxes the LightWave scene tests use: Objects/red_box.lwo
and Objects/green_box.lwo, one surface each, double-sided."""
import os
import struct

def chunk(cid, body):
    out = cid + struct.pack(">I", len(body)) + body
    return out + (b"\0" if len(body) & 1 else b"")

def sub(cid, body):
    out = cid + struct.pack(">H", len(body)) + body
    return out + (b"\0" if len(body) & 1 else b"")

def s0(text):
    out = text.encode() + b"\0"
    return out + (b"\0" if len(out) & 1 else b"")

def box(surface, colour, half=0.8):
    h = half
    corners = [(x, y, z) for x in (-h, h) for y in (-h, h) for z in (-h, h)]
    points = b"".join(struct.pack(">fff", *c) for c in corners)
    index = {c: i for i, c in enumerate(corners)}
    faces = [
        [(-h, -h, -h), (-h, h, -h), (h, h, -h), (h, -h, -h)],
        [(h, -h, h), (h, h, h), (-h, h, h), (-h, -h, h)],
        [(-h, -h, h), (-h, h, h), (-h, h, -h), (-h, -h, -h)],
        [(h, -h, -h), (h, h, -h), (h, h, h), (h, -h, h)],
        [(-h, h, -h), (-h, h, h), (h, h, h), (h, h, -h)],
        [(-h, -h, h), (-h, -h, -h), (h, -h, -h), (h, -h, h)],
    ]
    pols = b"FACE" + b"".join(struct.pack(">H", 4) + b"".join(struct.pack(">H", index[c]) for c in f) for f in faces)
    ptag = b"SURF" + b"".join(struct.pack(">HH", i, 0) for i in range(6))
    surf = s0(surface) + s0("") + sub(b"COLR", struct.pack(">fffH", *colour, 0)) + \
        sub(b"DIFF", struct.pack(">fH", 1.0, 0)) + sub(b"SIDE", struct.pack(">H", 3))
    body = chunk(b"TAGS", s0(surface)) + chunk(b"LAYR", struct.pack(">HHfff", 0, 0, 0, 0, 0) + s0("box")) + \
        chunk(b"PNTS", points) + chunk(b"POLS", pols) + chunk(b"PTAG", ptag) + chunk(b"SURF", surf)
    return b"FORM" + struct.pack(">I", len(body) + 4) + b"LWO2" + body

here = os.path.dirname(os.path.abspath(__file__))
for name, colour in (("red_box", (1.0, 0.1, 0.1)), ("green_box", (0.1, 1.0, 0.1))):
    with open(os.path.join(here, "Objects", name + ".lwo"), "wb") as f:
        f.write(box(name, colour))
