// Reads erDiagram texts with Mermaid's own parser, without a browser.
//
//   node mermaid-check.mjs <input.json> <output.json>
//
// The input is a JSON array of texts; the output an array of the same
// length, one object per text: { ok, error } when Mermaid rejects it, else
// { ok, entities, relationships } with what Mermaid's diagram database
// holds. Entities are listed in Mermaid's order as { name, alias,
// attributes: [{ type, name, keys, comment }] }; relationships as
// { entityA, entityB, cardA, cardB, relType, role }, the ends given by entity
// name, cardB being the end at entityA (as Mermaid stores it).
import { readFileSync, writeFileSync } from 'node:fs';

// Mermaid sanitises accessibility texts with DOMPurify, whose hooks need a
// DOM. No text here carries HTML, so pass-through functions give the
// browser's result. The package resolves to the same module as Mermaid's own
// import of it, so the functions are replaced where Mermaid calls them.
const { default: purify } = await import('dompurify');
for (const name of ['addHook', 'removeHook', 'removeHooks', 'removeAllHooks'])
    purify[name] = () => {};
purify.sanitize = (text) => text;

const { default: mermaid } = await import('mermaid');
mermaid.initialize({ startOnLoad: false });

const [inputPath, outputPath] = process.argv.slice(2);
const texts = JSON.parse(readFileSync(inputPath, 'utf8'));
const results = [];
for (const text of texts) {
    try {
        await mermaid.parse(text);
        const db = (await mermaid.mermaidAPI.getDiagramFromText(text)).db;
        const nameById = new Map();
        const entities = [];
        for (const [name, entity] of db.getEntities()) {
            nameById.set(entity.id, name);
            entities.push({
                name,
                alias: entity.alias ?? '',
                attributes: (entity.attributes ?? []).map((a) => ({
                    type: a.type ?? '',
                    name: a.name ?? '',
                    keys: a.keys ?? [],
                    comment: a.comment ?? '',
                })),
            });
        }
        const relationships = db.getRelationships().map((r) => ({
            entityA: nameById.get(r.entityA) ?? r.entityA,
            entityB: nameById.get(r.entityB) ?? r.entityB,
            cardA: r.relSpec.cardA,
            cardB: r.relSpec.cardB,
            relType: r.relSpec.relType,
            role: r.roleA ?? '',
        }));
        results.push({ ok: true, entities, relationships });
    } catch (e) {
        results.push({ ok: false, error: String(e && e.message ? e.message : e) });
    }
}
writeFileSync(outputPath, JSON.stringify(results));
