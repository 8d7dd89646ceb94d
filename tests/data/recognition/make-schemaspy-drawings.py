#!/usr/bin/python3
"""Draws the Graphviz SVG test drawings of this folder in the manner of
schema documentation sites: each table one bordered HTML-like table with a
tinted title band holding a table icon and the name, rows of a key icon,
the column name and its type in separate cells, and a tinted footer with
the counts of parent tables, rows and child tables ("< 1", "1,643 rows",
"2 >"), which are no columns. Writes each drawing's truth beside it. Run
in this folder: ./make-schemaspy-drawings.py (needs dot and ImageMagick's
convert for the icons, which the drawings refer to and do not carry).
The schemas are made up here."""

import json
import os
import random
import re
import shutil
import subprocess
import tempfile
import xml.etree.ElementTree as ElementTree

EXTRA = [("name", "varchar[45]"), ("title", "varchar[255]"), ("email", "varchar[50]"),
         ("last_update", "timestamp[29,6]"), ("amount", "numeric[5,2]"), ("rating", "mpaa_rating[2147483647]"),
         ("active", "bool[1]"), ("description", "text[2147483647]"), ("release_year", "int4[10]"),
         ("code", "bpchar[3]"), ("created", "date[13]"), ("length", "int2[5]"), ("phone", "varchar[20]"),
         ("postal_code", "varchar[10]"), ("replacement_cost", "numeric[5,2]"), ("notes", "text[2147483647]")]

SUBJECTS = {
    # Name, the tables it refers to.
    "rental": [("language", []), ("film", [0]), ("actor", []), ("film_actor", [2, 1]), ("category", []),
               ("film_category", [1, 4]), ("country", []), ("city", [6]), ("address", [7]), ("store", [8]),
               ("customer", [9, 8]), ("staff", [8, 9]), ("inventory", [1, 9]), ("rental", [12, 10, 11]),
               ("payment", [10, 11, 13])],
    "clinic": [("patients", []), ("doctors", []), ("rooms", []), ("appointments", [0, 1, 2]),
               ("prescriptions", [3]), ("medicines", []), ("prescription_items", [4, 5])],
    "school": [("schools", []), ("teachers", [0]), ("classes", [0, 1]), ("pupils", [0]), ("enrolments", [2, 3]),
               ("subjects", []), ("lessons", [2, 5, 1]), ("marks", [6, 3]), ("guardians", []),
               ("pupil_guardians", [3, 8]), ("terms", [0])],
    "fleet": [("depots", []), ("vehicles", [0]), ("drivers", [0]), ("routes", [0]), ("trips", [1, 2, 3]),
              ("stops", []), ("route_stops", [3, 5]), ("fuel_logs", [1]), ("repairs", [1])],
}

DRAWINGS = [
    # stem, subject, font, size, title band, rankdir, seed
    ("schemaspy-rental", "rental", "Helvetica", 11, "#9bab96", "RL", 1),
    ("schemaspy-clinic", "clinic", "DejaVu Sans", 12, "#bfe1ff", "LR", 2),
    ("schemaspy-school", "school", "Liberation Sans", 13, "#f5f5f5", "RL", 3),
    ("schemaspy-fleet", "fleet", "Arial", 11, "#9bab96", "LR", 4),
]


def key_of(name):
    if name.endswith("ies"):
        return name[:-3] + "y_id"
    return (name if name.endswith("ss") else name.rstrip("s")) + "_id"


def tables_of(subject, seed):
    rnd = random.Random(seed)
    names = SUBJECTS[subject]
    tables, links = [], []
    for index, (name, parents) in enumerate(names):
        key = key_of(name)
        columns = [(key, "serial[10]", "pk")]
        for parent in parents:
            parent_key = key_of(names[parent][0])
            columns.append((parent_key if parent_key != key else "parent_" + key, "int4[10]", "fk"))
            links.append((parent, index, columns[-1][0], parent_key))
        for extra, kind in rnd.sample(EXTRA, rnd.randint(1, 4)):
            columns.append((extra, kind, ""))
        rows = rnd.choice([0, 3, 16, 200, 1643, 16044, 203112])
        tables.append((name, columns, rows, len(parents), sum(name_index == index for _, ps in names
                                                              for name_index in ps)))
    return tables, links


def icon(path, colour):
    subprocess.run(["convert", "-size", "11x11", "xc:" + colour, path], check=True)


work = tempfile.mkdtemp()
os.mkdir(os.path.join(work, "images"))
icon(os.path.join(work, "images", "tableName.png"), "#4a6fa5")
icon(os.path.join(work, "images", "primaryKeys.png"), "#e0b000")
icon(os.path.join(work, "images", "foreignKeys.png"), "#909090")
try:
    for stem, subject, font, size, band, rankdir, seed in DRAWINGS:
        tables, links = tables_of(subject, seed)
        dot = 'digraph "%s" {\n  graph [rankdir="%s", bgcolor="#ffffff", nodesep="0.18", ranksep="0.46", ' \
              'fontname="%s", fontsize="%d"];\n' % (subject, rankdir, font, size)
        dot += '  node [fontname="%s", fontsize="%d", shape="plaintext"];\n' % (font, size)
        dot += '  edge [arrowsize="0.8"];\n'
        for name, columns, rows, parents, children in tables:
            body = ('<TR><TD COLSPAN="4" BGCOLOR="%s" ALIGN="LEFT"><TABLE BORDER="0" CELLSPACING="0"><TR>'
                    '<TD ALIGN="LEFT" FIXEDSIZE="TRUE" WIDTH="15" HEIGHT="16"><IMG SRC="images/tableName.png"/></TD>'
                    '<TD ALIGN="LEFT"><B>%s</B></TD></TR></TABLE></TD></TR>' % (band, name))
            for column, kind, key in columns:
                image = {"pk": "images/primaryKeys.png", "fk": "images/foreignKeys.png"}.get(key)
                cell = ('<TD ALIGN="LEFT" FIXEDSIZE="TRUE" WIDTH="15" HEIGHT="16"><IMG SRC="%s"/></TD>' % image
                        if image else '<TD ALIGN="LEFT" FIXEDSIZE="TRUE" WIDTH="15" HEIGHT="16"></TD>')
                body += ('<TR><TD PORT="%s" COLSPAN="2" ALIGN="LEFT"><TABLE BORDER="0" CELLSPACING="0" ALIGN="LEFT">'
                         '<TR ALIGN="LEFT">%s<TD ALIGN="LEFT">%s</TD></TR></TABLE></TD>'
                         '<TD PORT="%s.type" COLSPAN="2" ALIGN="LEFT">%s</TD></TR>' % (column, cell, column, column, kind))
            body += ('<TR><TD ALIGN="LEFT" BGCOLOR="#f7f7f7">&lt; %d</TD><TD COLSPAN="2" ALIGN="RIGHT" '
                     'BGCOLOR="#f7f7f7">%s rows</TD><TD ALIGN="RIGHT" BGCOLOR="#f7f7f7">%d &gt;</TD></TR>'
                     % (parents, "{:,}".format(rows), children))
            dot += ('  "%s" [label=<<TABLE BORDER="2" CELLBORDER="1" CELLSPACING="0" BGCOLOR="#ffffff">%s</TABLE>>, '
                    'tooltip="%s"];\n' % (name, body, name))
        for parent, child, column, parent_key in links:
            dot += '  "%s":"%s":w -> "%s":"%s.type":e [arrowhead=none, dir=back, arrowtail=crowodot];\n' % (
                tables[child][0], column, tables[parent][0], parent_key)
        dot += '}\n'
        with open(stem + ".dot", "w") as f:
            f.write(dot)
        shutil.copy(stem + ".dot", work)
        subprocess.run(["dot", "-Tsvg", "-o", stem + ".svg", stem + ".dot"], check=True, cwd=work)
        shutil.move(os.path.join(work, stem + ".svg"), stem + ".svg")
        svg = ElementTree.parse(stem + ".svg").getroot()
        ns = {"s": "http://www.w3.org/2000/svg"}
        graph = svg.find("s:g", ns)
        tx, ty = (float(v) for v in re.search(r"translate\(([-\d.]+) ([-\d.]+)\)", graph.get("transform")).groups())
        boxes = {}
        for node in graph.findall("s:g[@class='node']", ns):
            points = []
            for polygon in node.iter("{http://www.w3.org/2000/svg}polygon"):
                values = [float(v) for v in re.split(r"[ ,]+", polygon.get("points").strip())]
                points += list(zip(values[0::2], values[1::2]))
            xs, ys = [x + tx for x, _ in points], [y + ty for _, y in points]
            boxes[node.find("s:title", ns).text] = [round(min(xs), 2), round(min(ys), 2),
                                                    round(max(xs) - min(xs), 2), round(max(ys) - min(ys), 2)]
        entities = [{"title": name, "attributes": [c for c, _, _ in columns], "types": [t for _, t, _ in columns],
                     "box": boxes[name]} for name, columns, _, _, _ in tables]
        with open(stem + ".json", "w") as f:
            compact = lambda v: json.dumps(v, separators=(",", ":"))
            f.write('{"source":"%s.dot, drawn with dot -Tsvg (Graphviz 2.43.0)",\n"entities":[\n' % stem
                    + ",\n".join(compact(e) for e in entities) + '\n],\n"links":'
                    + compact([[a, b] for a, b, _, _ in links]) + "}\n")
finally:
    shutil.rmtree(work)
