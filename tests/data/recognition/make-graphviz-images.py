#!/usr/bin/python3
"""Draws the Graphviz test pictures of this folder (HTML-like table nodes in
the manner of schema documentation tools) and writes their truth beside
them. Run in this folder: ./make-graphviz-images.py (needs dot)."""

import json
import subprocess

TABLES = [
    ("accounts", [("id", "serial"), ("email", "varchar(255)"), ("created_at", "timestamptz")]),
    ("projects", [("id", "serial"), ("account_id", "int4"), ("name", "text"), ("archived", "bool")]),
    ("tasks", [("id", "bigserial"), ("project_id", "int4"), ("title", "text"), ("due_on", "date"),
               ("assignee_id", "int4")]),
    ("comments", [("id", "bigserial"), ("task_id", "int8"), ("author_id", "int4"), ("body", "text")]),
    ("labels", [("id", "serial"), ("project_id", "int4"), ("colour", "varchar(7)")]),
    ("task_labels", [("task_id", "int8"), ("label_id", "int4")]),
]
# (referenced table, referencing table, referencing column)
LINKS = [(0, 1, "account_id"), (1, 2, "project_id"), (2, 3, "task_id"), (1, 4, "project_id"), (2, 5, "task_id"),
         (4, 5, "label_id"), (0, 3, "author_id")]

STYLES = {
    # Grey title row, column cells side by side, one table border.
    "graphviz-schema-doc": dict(
        table='BORDER="0" CELLBORDER="1" CELLSPACING="0" CELLPADDING="3" BGCOLOR="#f2f2f2"',
        head='BGCOLOR="#9bab96" ALIGN="CENTER"', font="Liberation Sans", size=11, rankdir="RL", dpi=96),
    # Title row on its own, columns with their types in a second cell.
    "graphviz-table-doc": dict(
        table='BORDER="1" CELLBORDER="0" CELLSPACING="0" CELLPADDING="4" COLOR="#999999"',
        head='BGCOLOR="#efefef" ALIGN="LEFT"', font="DejaVu Sans", size=10, rankdir="LR", dpi=96),
}


def node(name, columns, style):
    rows = ['<TR><TD COLSPAN="2" %s><B>%s</B></TD></TR>' % (style["head"], name)]
    for column, kind in columns:
        rows.append('<TR><TD ALIGN="LEFT" PORT="%s">%s</TD><TD ALIGN="LEFT">'
                    '<FONT COLOR="#666666">%s</FONT></TD></TR>' % (column, column, kind))
    return '  %s [label=<<TABLE %s>%s</TABLE>>];\n' % (name, style["table"], "".join(rows))


for stem, style in STYLES.items():
    dot = 'digraph G {\n  graph [rankdir=%s, nodesep=0.5, ranksep=1.0, dpi=%d];\n' % (style["rankdir"], style["dpi"])
    dot += '  node [shape=plaintext, margin=0, fontname="%s", fontsize=%d];\n' % (style["font"], style["size"])
    dot += '  edge [arrowhead=crow, arrowtail=none, dir=both];\n'
    for name, columns in TABLES:
        dot += node(name, columns, style)
    for a, b, column in LINKS:
        dot += '  %s:%s -> %s:id;\n' % (TABLES[b][0], column, TABLES[a][0])
    dot += '}\n'
    with open(stem + ".dot", "w") as f:
        f.write(dot)
    subprocess.run(["dot", "-Tpng", "-o", stem + ".png", stem + ".dot"], check=True)
    layout = json.loads(subprocess.run(["dot", "-Tjson", stem + ".dot"], check=True,
                                       capture_output=True, text=True).stdout)
    # Points to pixels: dot's PNG is the bounding box at dpi / 72, y down,
    # with a margin of 4 points.
    scale = style["dpi"] / 72.0
    _, _, _, height = (float(v) for v in layout["bb"].split(","))
    entities = []
    for name, columns in TABLES:
        obj = next(o for o in layout["objects"] if o["name"] == name)
        x, y = (float(v) for v in obj["pos"].split(","))
        w, h = float(obj["width"]) * 72, float(obj["height"]) * 72
        left, top = (x - w / 2 + 4) * scale, (height - y - h / 2 + 4) * scale
        entities.append({"title": name, "attributes": [c for c, _ in columns],
                         "box": [round(left), round(top), round(w * scale), round(h * scale)]})
    with open(stem + ".json", "w") as f:
        # One entity a line.
        compact = lambda v: json.dumps(v, separators=(",", ":"))
        f.write('{"entities":[\n' + ",\n".join(compact(e) for e in entities) + '\n],\n"links":'
                + compact([[a, b] for a, b, _ in LINKS]) + "}\n")
