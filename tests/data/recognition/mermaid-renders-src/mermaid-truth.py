#!/usr/bin/env python3
"""Truth JSON of a Mermaid PNG render: boxes from the SVG of the same render,
in the coordinates recognition works at (longest side at most 3600)."""
import json, re, struct, sys

def png_size(path):
    with open(path, 'rb') as f:
        head = f.read(24)
    return struct.unpack('>II', head[16:24])

def boxes(svg):
    s = open(svg).read()
    vb = [float(v) for v in re.search(r'viewBox="([^"]*)"', s).group(1).split()]
    out = {}
    for m in re.finditer(r'<g class="node default" id="my-svg-entity-(.+?)-\d+"[^>]*transform="translate\(([-\d.]+), ([-\d.]+)\)"><g class="outer-path"[^>]*><path d="M([-\d.]+) ([-\d.]+) L([-\d.]+) ([-\d.]+) L([-\d.]+) ([-\d.]+)', s):
        name = m.group(1)
        tx, ty = float(m.group(2)), float(m.group(3))
        x0, y0, x1, y1 = float(m.group(4)), float(m.group(5)), float(m.group(8)), float(m.group(9))
        out[name] = (tx + x0 - vb[0], ty + y0 - vb[1], x1 - x0, y1 - y0)
    return vb, out

def main(base, svg, png, out):
    truth = json.load(open(base + '.truth.json'))
    vb, b = boxes(svg)
    w, h = png_size(png)
    scale = w / vb[2]
    budget = 3600 * 3600
    reduce = 1.0
    if w * h > budget:
        reduce = min(1.0, max(3600.0 / max(w, h), (budget / (w * h)) ** 0.5))
        reduce = int(w * reduce) / w
    f = scale * reduce
    ents = []
    for e in truth['entities']:
        x, y, bw, bh = b[e['title']]
        ents.append({'title': e['title'], 'attributes': e['attributes'],
                     'box': [round(x * f), round(y * f), round(bw * f), round(bh * f)]})
    with open(out, 'w') as o:
        o.write('{"entities":[\n')
        o.write(',\n'.join(json.dumps(e, separators=(',', ':')) for e in ents))
        o.write('\n],\n"links":[\n')
        o.write(',\n'.join(json.dumps(l, separators=(',', ':')) for l in truth['links']))
        o.write('\n]}\n')

if __name__ == '__main__':
    main(*sys.argv[1:5])
