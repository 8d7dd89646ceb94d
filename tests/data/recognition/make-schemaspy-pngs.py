#!/usr/bin/python3
"""Draws the schema documentation drawings of this folder (schemaspy-*.dot)
as PNG pictures at a few resolutions, with their truth beside them
(schemaspy-<name>-png.json: the truth of the drawing, boxes scaled to the
picture). The icons are plain squares of the colours the drawings use.
Run in this folder: ./make-schemaspy-pngs.py (needs dot and ImageMagick's
convert)."""

import json
import os
import re
import shutil
import struct
import subprocess
import tempfile

# Drawing, resolution. Rental and clinic were tuned on; school and fleet are
# scored.
PICTURES = [("schemaspy-rental", 96), ("schemaspy-clinic", 120), ("schemaspy-school", 96), ("schemaspy-fleet", 110)]

work = tempfile.mkdtemp()
os.mkdir(os.path.join(work, "images"))
for name, colour in [("tableName", "#4a6fa5"), ("primaryKeys", "#e0b000"), ("foreignKeys", "#909090")]:
    subprocess.run(["convert", "-size", "11x11", "xc:" + colour, os.path.join(work, "images", name + ".png")],
                   check=True)
try:
    for stem, dpi in PICTURES:
        shutil.copy(stem + ".dot", work)
        out = stem + "-png.png"
        subprocess.run(["dot", "-Tpng", "-Gdpi=%d" % dpi, "-o", out, stem + ".dot"], check=True, cwd=work)
        shutil.move(os.path.join(work, out), out)
        width = struct.unpack(">II", open(out, "rb").read()[16:24])[0]
        svg = subprocess.run(["dot", "-Tsvg", stem + ".dot"], check=True, capture_output=True, text=True,
                             cwd=work).stdout
        factor = width / float(re.search(r'viewBox="[-\d.]+ [-\d.]+ ([\d.]+) ', svg).group(1))
        truth = json.load(open(stem + ".json"))
        for entity in truth["entities"]:
            entity["box"] = [round(v * factor) for v in entity["box"]]
        compact = lambda v: json.dumps(v, separators=(",", ":"))
        with open(stem + "-png.json", "w") as f:
            f.write('{"source":"%s.dot, drawn with dot -Tpng -Gdpi=%d",\n"entities":[\n' % (stem, dpi)
                    + ",\n".join(compact(e) for e in truth["entities"]) + '\n],\n"links":'
                    + compact(truth["links"]) + "}\n")
finally:
    shutil.rmtree(work)
