#!/usr/bin/env python3
"""Writes a point-cache example beside this script: a cube (wobble.obj), its
LightWave point cache (wobble.mdd: 50 frames at 25 frames per second in which
the cube walks along x and breathes), and, when zarn-mdd is on the PATH (or
named as the first argument), converts it into wobble.zmdd with the identity
lookup wobble.zpnts, which a scene's "MDD" node or a point-cache load plays.
The output is deterministic."""
import math
import os
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
FRAMES, FPS = 50, 25.0
CORNERS = [(-1, -1, -1), (1, -1, -1), (1, 1, -1), (-1, 1, -1),
           (-1, -1, 1), (1, -1, 1), (1, 1, 1), (-1, 1, 1)]
FACES = [(1, 2, 3), (1, 3, 4), (5, 8, 7), (5, 7, 6), (1, 5, 6), (1, 6, 2),
         (4, 3, 7), (4, 7, 8), (1, 4, 8), (1, 8, 5), (2, 6, 7), (2, 7, 3)]


def main():
    with open(os.path.join(HERE, "wobble.obj"), "w") as f:
        for x, y, z in CORNERS:
            f.write("v %g %g %g\n" % (x, y, z))
        for a, b, c in FACES:
            f.write("f %d %d %d\n" % (a, b, c))
    # .mdd: big-endian frame count, point count, times, then positions per frame.
    # The engine mirrors .obj x on load, so the cache holds mirrored x too.
    data = struct.pack(">ii", FRAMES, len(CORNERS))
    data += b"".join(struct.pack(">f", k / FPS) for k in range(FRAMES))
    for k in range(FRAMES):
        s = 1.0 + 0.25 * math.sin(2 * math.pi * k / FRAMES)
        for x, y, z in CORNERS:
            data += struct.pack(">fff", -x * s + 0.1 * k, y * s, z * s)
    with open(os.path.join(HERE, "wobble.mdd"), "wb") as f:
        f.write(data)
    tool = sys.argv[1] if len(sys.argv) > 1 else shutil.which("zarn-mdd")
    if tool:
        subprocess.check_call([tool, "-zpnts", os.path.join(HERE, "wobble.zpnts"),
                               os.path.join(HERE, "wobble.mdd"), os.path.join(HERE, "wobble.zmdd")])
    else:
        print("zarn-mdd not found: wrote wobble.obj and wobble.mdd only")


if __name__ == "__main__":
    main()
