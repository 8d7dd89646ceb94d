#pragma once

#include "interchange/drawiostyle.h"

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QPointF>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>

// Turning the cells of one draw.io page into diagram JSON: which cells are
// tables, their attribute rows, their absolute positions, and the
// relationships between them.

// One table on its way into the diagram JSON.
struct DrawioEntity
{
    QString sourceId; // the table's cell id
    QString title;
    bool isView = false;
    // Written by this program: the title is the table's own label and never
    // repeated as a row, so a row named like the table is a column.
    bool ownExport = false;
    double x = 0; // absolute
    double y = 0;
    double width = 0; // as drawn on the page
    double height = 0;
    QList<DrawioAttribute> attributes;
};

// What reading a page left out or changed, for the line that tells the
// user what an import brought in.
struct DrawioPageNotes
{
    // Connectors that became no relationship: an end on no table (a
    // junction, a note, nothing), or both ends on one table without ER ends.
    qsizetype connectorsLeftOut = 0;
    // Rows that read a name another row of their table had read first, and
    // were numbered as the model numbers a repeated name ("row_2").
    qsizetype numberedColumns = 0;
    // Per table that has such rows: its title and the names repeated.
    QList<QPair<QString, QStringList>> repeatedNames;
};

// The diagram JSON of a page's tables and relationships; empty when no
// table was found, or when the page holds more than a reader keeps (with
// one sentence in error, when given). bounds, when given, receives the area
// the tables will take on the canvas; notes, when given, what was left out
// or renamed (added to what it holds).
QJsonObject drawioCellsToSceneJson(const QList<DrawioCell>& cells, QRectF* bounds = nullptr,
                                   QString* error = nullptr, DrawioPageNotes* notes = nullptr);

// Gives every attribute whose name an earlier one has (without regard to
// case) the first free name + "_2", "_3"..., so that no two rows of a table
// become one column. Appends the names repeated to repeated, once each, and
// returns how many attributes were renamed.
qsizetype numberRepeatedDrawioNames(QList<DrawioAttribute>& attributes, QStringList& repeated);

// Adds id to the candidates unless it is empty, a page or layer cell,
// already there, or names no cell.
void addDrawioTableCandidate(QStringList& candidates, QSet<QString>& candidateSet, const DrawioCellIndex& index,
                             const QString& id);

// Adds at most one attribute parsed from text to entity, with the key flags
// that the style (underline, italic) and object attributes of cell give. A
// row repeating the title is taken for a header and left out, except in
// tables this program wrote.
void addDrawioRowAttribute(DrawioEntity& entity, const QString& text, const DrawioCell& cell, double order);

// Sets the key flags that the cell's style (underline: primary, italic:
// foreign) and its object attributes give.
void addDrawioStyleKeys(DrawioAttribute& attribute, const DrawioCell& cell);

// The candidate table that an edge end (a table, a row, or a cell inside a
// row) belongs to; empty when it leads to none.
QString resolveDrawioEndpoint(const QString& endId, const DrawioCellIndex& index, const QSet<QString>& candidates);

// The cell's position on the page: its own geometry plus its ancestors'.
QPointF drawioAbsolutePosition(const DrawioCell& cell, const DrawioCellIndex& index);

// True for the ids that stand for the page itself: the root "0", the
// default layer "1" and every other layer (a cell that is neither a vertex
// nor an edge).
bool isDrawioLayer(const QString& id, const DrawioCellIndex& index);
