#pragma once

#include <QList>
#include <QString>

// What the Mermaid erDiagram reader gathers from a text, before it becomes
// diagram JSON. Plain values, copied freely.

// One attribute line of an entity block. A quoted comment is not kept.
struct MermaidAttribute
{
    QString type; // as written
    QString name; // as written, without a leading '*'
    bool isPrimaryKey = false;
    bool isForeignKey = false;
    bool isUniqueKey = false;
};

// One entity, under the name it was first met by.
struct MermaidEntity
{
    // The name as read (bare names lose emphasis markers around them), or
    // the alias when the statement had no name.
    QString identifier;
    // The alias when one was given, otherwise the identifier.
    QString title;
    // In reading order, all blocks of the entity added up.
    QList<MermaidAttribute> attributes;
};

// One relationship line. The one side of a one-to-many relationship comes
// first.
struct MermaidRelationship
{
    QString from; // title of the first entity when the line was read
    QString to;   // title of the second entity
    int fromCardinality = 1; // Cardinality codes, 0 to 3
    int toCardinality = 1;
    QString label; // trimmed, may be empty
    // Positions of the two entities in the reader's entity list; -1 when
    // unknown (records made by hand), and the titles are looked up instead.
    int fromIndex = -1;
    int toIndex = -1;
    // Drawn with a solid line ("--", "to"); dotted lines are not.
    bool identifying = true;
};
