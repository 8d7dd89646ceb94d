#pragma once

#include "interchange/mermaidrecords.h"

#include <QJsonObject>
#include <QList>
#include <QString>

// Reads a Mermaid erDiagram file, bare or as the "mermaid" or "erDiagram"
// fenced blocks of a Markdown page (every block that holds an erDiagram,
// into one diagram), and returns its diagram JSON with a note of what it
// read: an empty object on failure, with one sentence for the user in
// error (when given; untouched on success). Safe on any thread.
QJsonObject parseMermaidFile(const QString& path, QString* error);

// What the reading of a text met besides the diagram itself.
struct MermaidReadInfo
{
    int blocks = 0;        // erDiagram bodies read
    int skippedBlocks = 0; // fenced blocks of other diagram types
};

// The reading itself, over a decoded text: fills entities and
// relationships (replacing what they held); false with one sentence in
// error when the text holds no erDiagram or no entity.
//
// Lenient like a person reading it: what it cannot read it passes over or
// takes as an entity name, never a syntax error.
bool parseMermaidText(const QString& text, QList<MermaidEntity>& entities,
                      QList<MermaidRelationship>& relationships, QString* error,
                      MermaidReadInfo* info = nullptr);

// The first entity whose identifier, or failing every identifier, whose
// title equals name without regard to case; -1 when none.
int findMermaidEntity(const QList<MermaidEntity>& entities, const QString& name);
// The entity a statement names, added when new. The name is the key (the
// alias when the name is empty; -1 when both are); an alias becomes the
// title of an entity that has none of its own yet.
int findOrAddMermaidEntity(QList<MermaidEntity>& entities, const QString& name, const QString& alias);

// Every attribute of one line of an entity block (Mermaid allows several on
// one line), each a type, a name, key markers (PK, FK, UK, also joined by
// commas) and an ignored comment; none when the line holds no type and name.
QList<MermaidAttribute> parseMermaidAttributes(const QString& line);
