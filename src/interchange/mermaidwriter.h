#pragma once

#include <QJsonObject>
#include <QSet>
#include <QString>

// Writes the diagram JSON as Mermaid erDiagram text to path, wrapped in a
// "mermaid" code fence when the name ends in .md or .markdown. The file is
// replaced only once the whole text is written; on failure it is left as
// it was and error (when given) receives one sentence. Safe on any thread.
bool writeMermaidFile(const QJsonObject& sceneJson, const QString& path, QString* error);

// The erDiagram text of a diagram JSON object: entity blocks in array
// order, then one relationship line per edge (entity-view links left out).
// Every entity gets an identifier Mermaid accepts and that no other entity
// has, even ignoring case; a title that is not its identifier follows it
// as a quoted alias. Never fails.
QString sceneJsonToMermaid(const QJsonObject& sceneJson);

// Whether text can stand as an entity name, bare, in Mermaid and be read
// back unchanged: letters, digits, '_' and '-', starting with a letter or
// '_', and not a word Mermaid or the reader take for something else.
bool isValidMermaidIdentifier(const QString& text);
// An identifier made from a title: white space becomes '_', characters
// that cannot stand in a name are dropped; "Entity" when nothing is left.
QString sanitizeMermaidEntityName(const QString& title);
// base, or base_2, base_3, ... : the first whose case-folded form is not in
// used, which then receives it.
QString uniqueMermaidEntityName(const QString& base, QSet<QString>& used);
// An attribute name Mermaid reads as one word; empty when nothing of it
// can be kept.
QString sanitizeMermaidAttributeName(const QString& name);
// The same for a type, never empty ("string" when nothing is left).
QString sanitizeMermaidType(const QString& type);
// A relationship label in double quotes. Mermaid has no escape inside
// quotes, so a double quote becomes a single one and a line break a space;
// "%%{" and "direction TB" (and the other directions), which Mermaid acts
// on wherever they stand, are broken up.
QString quoteMermaidLabel(const QString& text);
