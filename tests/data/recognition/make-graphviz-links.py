#!/usr/bin/python3
"""Draws the Graphviz link test pictures of this folder (links-*-png.png and
links-*-svg.svg): made-up schemas of 5 to 40 tables drawn with every kind of
edge routing Graphviz offers (splines=true, curved, ortho, polyline, and
bundled edges with concentrate=true), tables with an outline or as stacks of
cells, in two faces and several sizes, each as PNG and as SVG. Writes each
picture's truth beside it. Run in this folder: ./make-graphviz-links.py
(needs dot)."""

import json
import random
import subprocess

NAMES = ["accounts", "users", "teams", "projects", "tasks", "comments", "labels", "files", "invoices", "payments",
         "orders", "order_lines", "products", "suppliers", "warehouses", "stock", "shipments", "carriers",
         "customers", "addresses", "regions", "countries", "currencies", "prices", "discounts", "coupons",
         "reviews", "ratings", "events", "venues", "tickets", "seats", "bookings", "rooms", "buildings", "floors",
         "devices", "sensors", "readings", "alerts", "contracts", "clauses", "vendors", "budgets", "ledgers",
         "entries", "employees", "roles", "permissions", "sessions", "tokens", "courses", "lessons", "grades"]
EXTRA = [("name", "varchar(80)"), ("title", "text"), ("email", "varchar(255)"), ("status", "varchar(16)"),
         ("created_at", "timestamp"), ("amount", "numeric(12,2)"), ("quantity", "integer"), ("code", "char(8)"),
         ("notes", "text"), ("is_active", "boolean"), ("starts_on", "date"), ("total", "numeric"),
         ("phone", "varchar(32)"), ("level", "smallint"), ("slug", "varchar(64)")]

# stem, tables, splines, concentrate, style, face, size, rankdir, ports, dpi, seed
DRAWINGS = [
    ("links-01-spline", 6, "true", False, "outline", "Liberation Sans", 12, "LR", True, 96, 11),
    ("links-02-spline", 7, "true", False, "cells", "DejaVu Sans", 11, "TB", False, 96, 12),
    ("links-03-curved", 10, "curved", False, "cells", "DejaVu Sans", 11, "TB", True, 96, 13),
    ("links-04-curved", 9, "curved", False, "outline", "Liberation Sans", 13, "LR", False, 72, 14),
    ("links-05-ortho", 14, "ortho", False, "outline", "DejaVu Sans", 12, "TB", False, 96, 15),
    ("links-06-ortho", 12, "ortho", False, "cells", "Liberation Sans", 11, "LR", False, 96, 16),
    ("links-07-polyline", 18, "polyline", False, "cells", "Liberation Sans", 12, "LR", True, 72, 17),
    ("links-08-polyline", 16, "polyline", False, "outline", "DejaVu Sans", 12, "TB", True, 96, 18),
    ("links-09-bundled", 22, "true", True, "outline", "Liberation Sans", 11, "TB", False, 72, 19),
    ("links-10-bundled", 20, "true", True, "cells", "DejaVu Sans", 12, "LR", False, 96, 20),
    ("links-11-bundled", 40, "true", True, "cells", "DejaVu Sans", 10, "TB", False, 72, 21),
    ("links-12-bundled", 30, "polyline", True, "outline", "Liberation Sans", 11, "LR", False, 72, 22),
    ("links-13-ortho", 5, "ortho", False, "cells", "DejaVu Sans", 14, "TB", False, 96, 23),
    ("links-14-polyline", 5, "polyline", False, "outline", "Liberation Sans", 14, "LR", False, 96, 24),
    ("links-15-curved", 25, "curved", True, "outline", "DejaVu Sans", 11, "TB", False, 72, 25),
    ("links-16-ortho", 24, "ortho", False, "outline", "Liberation Sans", 11, "LR", False, 72, 26),
]

ENDS = [("crow", "none"), ("normal", "none"), ("crow", "tee"), ("odot", "none"), ("none", "none")]


def schema(count, seed):
    """Tables with their columns, and links (referenced, referencing): a
    few hubs that many tables refer to, so that edges bundle."""
    rnd = random.Random(seed)
    names = rnd.sample(NAMES, count)
    hubs = list(range(min(3, max(1, count // 6))))
    tables, links = [], []
    for index, name in enumerate(names):
        columns = [("id", "bigint")]
        parents = set()
        if index > 0:
            wanted = rnd.choice([1, 1, 2, 2, 3]) if index > 2 else 1
            for _ in range(wanted):
                pool = [h for h in hubs if h < index] if rnd.random() < 0.5 else list(range(index))
                parents.add(rnd.choice(pool or list(range(index))))
        for parent in sorted(parents):
            column = names[parent].rstrip("s") + "_id"
            columns.append((column, "bigint"))
            links.append((parent, index, column))
        columns += rnd.sample(EXTRA, rnd.randint(1, 4))
        tables.append((name, columns))
    return tables, links


def node(name, columns, style):
    if style == "outline":
        rows = ['<TR><TD COLSPAN="2" BGCOLOR="#dfe6ee" ALIGN="LEFT"><B>%s</B></TD></TR>' % name]
        for column, kind in columns:
            rows.append('<TR><TD ALIGN="LEFT" PORT="%s">%s</TD><TD ALIGN="LEFT"><FONT COLOR="#666666">%s</FONT>'
                        '</TD></TR>' % (column, column, kind))
        table = 'BORDER="1" CELLBORDER="0" CELLSPACING="0" CELLPADDING="4"'
    else:
        rows = ['<TR><TD BGCOLOR="#efefef"><B>%s</B></TD></TR>' % name]
        for column, kind in columns:
            rows.append('<TR><TD ALIGN="LEFT" PORT="%s">%s <FONT COLOR="#666666">[%s]</FONT></TD></TR>'
                        % (column, column, kind))
        table = 'BORDER="0" CELLBORDER="1" CELLSPACING="0" CELLPADDING="5"'
    return '  "%s" [label=<<TABLE %s>%s</TABLE>>];\n' % (name, table, "".join(rows))


for (stem, count, splines, concentrate, style, face, size, rankdir, ports, dpi, seed) in DRAWINGS:
    tables, links = schema(count, seed)
    rnd = random.Random(seed * 7)
    head, tail = rnd.choice(ENDS)
    dot = 'digraph G {\n  graph [rankdir=%s, splines=%s, concentrate=%s, nodesep=0.6, ranksep=1.1];\n' % (
        rankdir, splines, "true" if concentrate else "false")
    dot += '  node [shape=plaintext, margin=0, fontname="%s", fontsize=%d];\n' % (face, size)
    dot += '  edge [arrowhead=%s, arrowtail=%s, dir=both, color="#444444"];\n' % (head, tail)
    for name, columns in tables:
        dot += node(name, columns, style)
    for parent, child, column in links:
        if ports:
            dot += '  "%s":"%s" -> "%s":"id";\n' % (tables[child][0], column, tables[parent][0])
        else:
            dot += '  "%s" -> "%s";\n' % (tables[child][0], tables[parent][0])
    dot += '}\n'
    with open(stem + ".dot", "w") as f:
        f.write(dot)
    # The resolution only for the PNG: an SVG drawn at other than 72 dpi
    # is scaled beyond its own viewBox (and cut off where it is shown).
    for kind, options in (("png", ["-Gdpi=%d" % dpi]), ("svg", [])):
        subprocess.run(["dot", "-T" + kind] + options + ["-o", "%s-%s.%s" % (stem, kind, kind), stem + ".dot"],
                       check=True, stderr=subprocess.DEVNULL)
    layout = json.loads(subprocess.run(["dot", "-Tjson", stem + ".dot"], check=True, capture_output=True,
                                       text=True).stdout)
    _, _, _, height = (float(v) for v in layout["bb"].split(","))
    for kind, scale in (("png", dpi / 72.0), ("svg", 1.0)):
        entities = []
        for name, columns in tables:
            obj = next(o for o in layout["objects"] if o["name"] == name)
            x, y = (float(v) for v in obj["pos"].split(","))
            w, h = float(obj["width"]) * 72, float(obj["height"]) * 72
            left, top = (x - w / 2 + 4) * scale, (height - y - h / 2 + 4) * scale
            entities.append({"title": name, "attributes": [c for c, _ in columns],
                             "box": [round(left, 1), round(top, 1), round(w * scale, 1), round(h * scale, 1)]})
        with open("%s-%s.json" % (stem, kind), "w") as f:
            compact = lambda v: json.dumps(v, separators=(",", ":"))
            f.write('{"source":"%s.dot, drawn with dot -T%s (Graphviz 2.43.0)",\n"entities":[\n' % (stem, kind)
                    + ",\n".join(compact(e) for e in entities) + '\n],\n"links":'
                    + compact([[a, b] for a, b, _ in links]) + "}\n")
