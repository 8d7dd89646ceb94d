#!/usr/bin/python3
"""Draws the Graphviz SVG test drawings of this folder in the manner of
database documentation tools that stack one cell per row: every table a
column of separately outlined cells (a title cell with the table's name in
bold and its kind in grey, then one cell per column with its name and its
type in grey), no outline round the table, a white page under everything.
Writes each drawing's truth beside it. Run in this folder:
./make-tbls-drawings.py (needs dot). The schemas are made up here."""

import json
import random
import re
import subprocess
import xml.etree.ElementTree as ElementTree

# Columns a table may have beyond its key and its foreign keys.
EXTRA = ["name", "title", "email", "status", "created_at", "updated_at", "amount", "quantity", "description",
         "code", "starts_on", "ends_on", "is_active", "notes", "price", "phone", "address_line", "city",
         "country_code", "rating", "body", "slug", "hours", "level", "reference", "total", "paid_at", "label",
         "sort_order", "metadata"]

TYPES = {
    "postgres": {"id": "bigint", "fk": "bigint", "name": "varchar(255)", "title": "text", "email": "varchar(320)",
                 "status": "varchar(16)", "created_at": "timestamp without time zone",
                 "updated_at": "timestamp with time zone", "amount": "numeric(12,2)", "quantity": "integer",
                 "description": "text", "code": "char(8)", "starts_on": "date", "ends_on": "date",
                 "is_active": "boolean", "notes": "text", "price": "numeric(10,2)", "phone": "varchar(32)",
                 "address_line": "text", "city": "varchar(120)", "country_code": "char(2)", "rating": "smallint",
                 "body": "text", "slug": "varchar(80)", "hours": "real", "level": "integer",
                 "reference": "uuid", "total": "numeric", "paid_at": "timestamp", "label": "varchar(64)",
                 "sort_order": "integer", "metadata": "jsonb"},
    "mysql": {"id": "int", "fk": "int", "name": "varchar(100)", "title": "varchar(200)", "email": "varchar(191)",
              "status": "enum('open','closed')", "created_at": "datetime", "updated_at": "timestamp",
              "amount": "decimal(12,2)", "quantity": "int", "description": "text", "code": "varchar(8)",
              "starts_on": "date", "ends_on": "date", "is_active": "tinyint(1)", "notes": "mediumtext",
              "price": "decimal(10,2)", "phone": "varchar(32)", "address_line": "varchar(255)",
              "city": "varchar(120)", "country_code": "char(2)", "rating": "tinyint", "body": "longtext",
              "slug": "varchar(80)", "hours": "float", "level": "int", "reference": "char(36)",
              "total": "decimal(14,2)", "paid_at": "datetime", "label": "varchar(64)", "sort_order": "int",
              "metadata": "json"},
    "sqlite": {"id": "INTEGER", "fk": "INTEGER", "name": "TEXT", "title": "TEXT", "email": "TEXT", "status": "TEXT",
               "created_at": "DATETIME", "updated_at": "DATETIME", "amount": "REAL", "quantity": "INTEGER",
               "description": "TEXT", "code": "TEXT", "starts_on": "DATE", "ends_on": "DATE",
               "is_active": "BOOLEAN", "notes": "TEXT", "price": "NUMERIC", "phone": "TEXT",
               "address_line": "TEXT", "city": "TEXT", "country_code": "TEXT", "rating": "INTEGER",
               "body": "TEXT", "slug": "TEXT", "hours": "REAL", "level": "INTEGER", "reference": "BLOB",
               "total": "NUMERIC", "paid_at": "DATETIME", "label": "TEXT", "sort_order": "INTEGER",
               "metadata": "JSON"},
}

# Table names (with the table each one refers to, by position) per subject.
SUBJECTS = {
    "blog": [("users", []), ("profiles", [0]), ("posts", [0]), ("comments", [2, 0]), ("tags", []),
             ("post_tags", [2, 4]), ("categories", []), ("media", [2])],
    "staff": [("departments", []), ("positions", [0]), ("employees", [0, 1]), ("salaries", [2]),
              ("leave_types", []), ("leave_requests", [2, 4]), ("projects", [0]), ("assignments", [2, 6]),
              ("timesheets", [7]), ("reviews", [2]), ("trainings", []), ("employee_trainings", [2, 10])],
    "saas": [("accounts", []), ("users", [0]), ("plans", []), ("subscriptions", [0, 2]), ("invoices", [3]),
             ("invoice_lines", [4]), ("payments", [4]), ("coupons", []), ("redemptions", [7, 3]),
             ("workspaces", [0]), ("memberships", [9, 1]), ("api_keys", [9]), ("webhooks", [9]),
             ("webhook_deliveries", [12]), ("events", [9, 1]), ("audit_logs", [1]), ("features", []),
             ("plan_features", [2, 16]), ("usage_records", [3, 16]), ("notifications", [1]),
             ("invitations", [9]), ("sessions", [1]), ("support_tickets", [0, 1]), ("ticket_replies", [22, 1])],
    "library": [("authors", []), ("books", [0]), ("members", []), ("loans", [1, 2]), ("fines", [3])],
    "shop": [("customers", []), ("addresses", [0]), ("orders", [0, 1]), ("order_items", [2, 5]),
             ("payments", [2]), ("products", [6]), ("suppliers", []), ("warehouses", []), ("stock_levels", [5, 7]),
             ("shipments", [2, 7]), ("shipment_items", [9, 3]), ("returns", [2]), ("carts", [0]),
             ("cart_items", [12, 5]), ("product_reviews", [5, 0]), ("price_history", [5])],
    "erp": [("companies", []), ("branches", [0]), ("cost_centres", [1]), ("ledgers", [0]), ("accounts", [3]),
            ("journal_entries", [3]), ("journal_lines", [5, 4, 2]), ("fiscal_periods", [0]), ("currencies", []),
            ("exchange_rates", [8]), ("vendors", [0]), ("vendor_contacts", [10]), ("purchase_orders", [10, 1]),
            ("purchase_lines", [12, 19]), ("receipts", [12]), ("receipt_lines", [14, 13]), ("customers", [0]),
            ("sales_orders", [16, 1]), ("sales_lines", [17, 19]), ("items", [20]), ("item_groups", []),
            ("units", []), ("item_units", [19, 21]), ("stock_moves", [19, 23]), ("locations", [1]),
            ("lots", [19]), ("invoices", [16, 17]), ("invoice_lines", [26, 19]), ("bills", [10, 12]),
            ("bill_lines", [28, 19]), ("payments", [16]), ("payment_allocations", [30, 26]), ("employees", [1]),
            ("timesheets", [32]), ("assets", [1, 4]), ("depreciation", [34]), ("budgets", [2, 7]),
            ("budget_lines", [36, 4]), ("tax_codes", []), ("tax_lines", [38, 26])],
}

DRAWINGS = [
    # stem, subject, dialect, schema prefix, table kind, font, size, title face, title size, rankdir,
    # edge labels, seed
    ("tbls-blog", "blog", "postgres", "public.", "BASE TABLE", "Arial", 14, "Arial Bold", 18, "TB", False, 1),
    ("tbls-staff", "staff", "mysql", "", "BASE TABLE", "DejaVu Sans", 12, "DejaVu Sans Bold", 16, "LR", True, 2),
    ("tbls-saas", "saas", "sqlite", "", "table", "Liberation Sans", 11, "Liberation Sans Bold", 14, "TB", False, 3),
    ("tbls-library", "library", "postgres", "public.", "BASE TABLE", "Arial", 14, "Arial Bold", 18, "LR", False, 4),
    ("tbls-shop", "shop", "postgres", "sales.", "BASE TABLE", "Helvetica", 13, "Helvetica Bold", 17, "TB", True, 5),
    ("tbls-erp", "erp", "postgres", "erp.", "BASE TABLE", "DejaVu Sans", 11, "DejaVu Sans Bold", 15, "TB", False, 6),
]


def esc(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def tables_of(subject, dialect, seed):
    rnd = random.Random(seed)
    names = SUBJECTS[subject]
    types = TYPES[dialect]
    tables = []
    links = []
    for index, (name, parents) in enumerate(names):
        columns = [("id", types["id"])]
        for parent in parents:
            singular = names[parent][0]
            singular = singular[:-3] + "y" if singular.endswith("ies") else singular.rstrip("s")
            column = singular + "_id"
            if any(c == column for c, _ in columns):
                column = "other_" + column
            columns.append((column, types["fk"]))
            links.append((parent, index, column))
        for extra in rnd.sample(EXTRA, rnd.randint(1, 5)):
            columns.append((extra, types[extra]))
        tables.append((name, columns))
    return tables, links


for stem, subject, dialect, prefix, kind, font, size, title_face, title_size, rankdir, labels, seed in DRAWINGS:
    tables, links = tables_of(subject, dialect, seed)
    # A view in the larger drawings, as documentation lists them.
    views = []
    if len(tables) >= 12:
        views.append(("%s_summary" % tables[0][0], [("id", TYPES[dialect]["id"]), ("total", TYPES[dialect]["total"])]))
    dot = 'digraph "%s" {\n' % subject
    dot += '  graph [rankdir=%s, layout=dot, fontname="%s"];\n' % (rankdir, font)
    dot += '  node [shape=record, fontsize=%d, margin=0.6, fontname="%s"];\n' % (size, font)
    dot += '  edge [fontsize=10, labelfloat=false, splines=none, fontname="%s"];\n' % font
    entries = [(name, columns, kind) for name, columns in tables] + [(name, columns, "VIEW") for name, columns in views]
    for name, columns, table_kind in entries:
        full = prefix + name
        rows = ['<tr><td width="30" bgcolor="#EFEFEF"><font face="%s" point-size="%d">%s</font> '
                '<font color="#666666">[%s]</font></td></tr>' % (title_face, title_size, esc(full), table_kind)]
        for column, kind_of in columns:
            rows.append('<tr><td port="%s" align="left">%s <font color="#666666">[%s]</font></td></tr>'
                        % (column, esc(column), esc(kind_of)))
        dot += ('  "%s" [shape=none, label=<<table border="0" cellborder="1" cellspacing="0" cellpadding="6">\n    %s\n'
                '  </table>>];\n' % (full, "\n    ".join(rows)))
    for parent, child, column in links:
        label = ''
        if labels:
            label = (', taillabel=<<table cellpadding="5" border="0" cellborder="0"><tr><td>FOREIGN KEY (%s) '
                     'REFERENCES %s(id)</td></tr></table>>' % (column, tables[parent][0]))
        dot += '  "%s":%s -> "%s":id [dir=back, arrowtail=crow, arrowhead=none%s];\n' % (
            prefix + tables[child][0], column, prefix + tables[parent][0], label)
    dot += '}\n'
    with open(stem + ".dot", "w") as f:
        f.write(dot)
    subprocess.run(["dot", "-Tsvg", "-o", stem + ".svg", stem + ".dot"], check=True)
    # Boxes from the drawing: the cells of each node, in the page's units
    # (the graph's translate applied; dot writes scale 1 and no rotation).
    svg = ElementTree.parse(stem + ".svg").getroot()
    ns = {"s": "http://www.w3.org/2000/svg"}
    graph = svg.find("s:g", ns)
    tx, ty = (float(v) for v in re.search(r"translate\(([-\d.]+) ([-\d.]+)\)", graph.get("transform")).groups())
    boxes = {}
    for node in graph.findall("s:g[@class='node']", ns):
        points = []
        for polygon in node.findall("s:polygon", ns):
            values = [float(v) for v in re.split(r"[ ,]+", polygon.get("points").strip())]
            points += list(zip(values[0::2], values[1::2]))
        xs, ys = [x + tx for x, _ in points], [y + ty for _, y in points]
        boxes[node.find("s:title", ns).text] = [round(min(xs), 2), round(min(ys), 2),
                                                round(max(xs) - min(xs), 2), round(max(ys) - min(ys), 2)]
    entities = []
    for name, columns, _ in entries:
        entities.append({"title": prefix + name, "attributes": [c for c, _ in columns],
                         "types": [t for _, t in columns], "box": boxes[prefix + name]})
    with open(stem + ".json", "w") as f:
        compact = lambda v: json.dumps(v, separators=(",", ":"))
        f.write('{"source":"%s.dot, drawn with dot -Tsvg (Graphviz 2.43.0)",\n"entities":[\n' % stem
                + ",\n".join(compact(e) for e in entities) + '\n],\n"links":'
                + compact([[a, b] for a, b, _ in links]) + "}\n")
