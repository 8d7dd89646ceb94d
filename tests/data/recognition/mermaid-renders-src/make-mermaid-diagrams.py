#!/usr/bin/env python3
"""Writes varied Mermaid erDiagram texts (type, name, keys, comment columns)."""
import random, json, sys

WORDS = ["account", "ledger", "entry", "journal", "asset", "invoice", "payment", "vendor", "customer",
         "order", "product", "stock", "warehouse", "shipment", "carrier", "employee", "department",
         "project", "task", "budget", "period", "currency", "rate", "tax", "region", "branch", "contract",
         "policy", "claim", "member", "plan", "visit", "doctor", "patient", "room", "booking", "event",
         "ticket", "venue", "artist", "track", "album", "playlist", "course", "student", "lesson", "grade",
         "author", "book", "loan", "review", "tag", "category", "device", "sensor", "reading", "alert",
         "route", "stop", "driver", "vehicle", "fuel", "repair", "part", "supplier", "batch", "recipe",
         "menu", "table", "shift", "role", "permission", "session", "token", "audit", "note", "file"]
TYPES = ["int", "bigint", "uuid", "varchar", "text", "string", "date", "timestamp", "boolean", "decimal",
         "numeric", "float", "json", "char", "smallint", "datetime", "money", "bytea"]
COMMENTS = ["asset, liability, equity, income or expense", "set by the import", "null until posted",
            "ISO 4217 code", "in minor units", "soft delete", "first seen", "kept for audit",
            "see policy", "unique per branch", "local time", "computed nightly", "optional", "free text",
            "links to the parent", "status of the row"]
FIELDS = ["name", "code", "status", "amount", "created_at", "updated_at", "description", "email", "phone",
          "total", "quantity", "price", "label", "starts_on", "ends_on", "is_active", "notes", "reference",
          "balance", "weight", "title", "score", "sort_order", "posted_at", "external_ref", "kind", "level"]

def diagram(seed, tables, comment_share, links_per):
    rnd = random.Random(seed)
    names = []
    pool = WORDS[:]
    rnd.shuffle(pool)
    while len(names) < tables:
        a = pool[len(names) % len(pool)]
        n = a if len(names) < len(pool) else a + "_" + rnd.choice(WORDS)
        if rnd.random() < 0.3 and len(names) < len(pool):
            n = a + "_" + rnd.choice(["item", "line", "type", "log", "map", "rule", "history"])
        if n not in names:
            names.append(n)
    ents, lines, links = [], ["erDiagram"], []
    for i, n in enumerate(names):
        attrs = [("bigint" if rnd.random() < 0.5 else "uuid", n.split("_")[0] + "_id" if rnd.random() < 0.5 else "id", "PK", "")]
        parents = []
        if i > 0:
            for _ in range(rnd.randint(0, links_per)):
                p = names[rnd.randrange(0, i)]
                if p not in parents:
                    parents.append(p)
        for p in parents:
            attrs.append(("bigint", p + "_id", "FK", rnd.choice(COMMENTS) if rnd.random() < comment_share else ""))
        used = set(a[1] for a in attrs)
        for _ in range(rnd.randint(2, 7)):
            f = rnd.choice(FIELDS)
            if f in used:
                continue
            used.add(f)
            t = rnd.choice(TYPES)
            if t == "varchar" and rnd.random() < 0.5:
                t = "varchar(%d)" % rnd.choice([20, 40, 255])
            key = "UK" if rnd.random() < 0.08 else ""
            attrs.append((t, f, key, rnd.choice(COMMENTS) if rnd.random() < comment_share else ""))
        lines.append("    %s {" % n)
        for t, f, k, c in attrs:
            s = "        %s %s" % (t, f)
            if k:
                s += " " + k
            if c:
                s += ' "%s"' % c
            lines.append(s)
        lines.append("    }")
        for p in parents:
            card = rnd.choice(["||--o{", "||--|{", "|o--o{"])
            lines.append('    %s %s %s : "%s"' % (p, card, n, rnd.choice(["has", "holds", "owns", "posts"])))
            links.append({"one": p, "many": n})
        ents.append({"title": n, "attributes": [a[1] for a in attrs]})
    return "\n".join(lines) + "\n", {"entities": ents, "links": links}

SETS = {
    # tuning half
    "ledger-80": (11, 80, 0.35, 2),
    "warehouse-24": (12, 24, 0.5, 2),
    "clinic-8": (13, 8, 0.6, 1),
    "tune-10": (33, 10, 0.3, 1),
    # held-out half
    "events-64": (21, 64, 0.4, 2),
    "school-30": (22, 30, 0.3, 2),
    "library-5": (23, 5, 0.7, 1),
}
# Rendered at scale 1 and 0.75, in the default theme and with -t dark
# (light rows and letters on tables filled dark, on white paper).
for name, args in SETS.items():
    text, truth = diagram(*args)
    open(name + ".mmd", "w").write(text)
    json.dump(truth, open(name + ".truth.json", "w"), indent=1)
