#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Records of one draw.io page and the small pure functions that read a
// cell's style, tell shapes apart and turn labels into attribute rows.

// One cell of a draw.io page as the reader found it. Geometry is the file's
// own: relative to the parent cell.
struct DrawioCell
{
    QString id;
    QString parent;
    QString value;
    QString style;
    QString source;
    QString target;
    bool vertex = false;
    bool edge = false;
    bool primaryKey = false; // from an enclosing object element
    bool foreignKey = false;
    bool unique = false;
    double x = 0;
    double y = 0;
    double width = 180;
    double height = 40;
};

// One attribute parsed from a row text. An empty name means "no attribute".
struct DrawioAttribute
{
    QString name;
    QString type;
    bool primaryKey = false;
    bool foreignKey = false;
    bool unique = false;
    double order = 0; // sort key: a row's y or a line number
};

Q_DECLARE_TYPEINFO(DrawioCell, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(DrawioAttribute, Q_RELOCATABLE_TYPE);

// The cells of a page with their parent -> children relation, built once so
// that walks over children cost what they visit, not the whole page. Holds
// indexes into the list it was built from, which must outlive it.
struct DrawioCellIndex
{
    explicit DrawioCellIndex(const QList<DrawioCell>& cells);

    const QList<DrawioCell>& cells;
    // Cell id -> index of the last cell with that id.
    QHash<QString, int> byId;
    // Parent id -> indexes of the cells that are not edges and name it as
    // parent, in list order.
    QHash<QString, QList<int>> children;

    const DrawioCell* find(const QString& id) const;
    bool hasChildren(const QString& id) const;
};

// The value of key in a "k=v;k=v" style; empty when absent.
QString drawioStyleValue(const QString& style, const QString& key);

// What kind of shape a style draws, all read in one pass over the style.
struct DrawioShapeFlags
{
    bool table = false;            // a table or list (also through its child layout)
    bool row = false;              // a table row or list item
    bool partialRectangle = false; // a partial rectangle (rows and cells of some tables)
    bool relationship = false;     // a Chen relationship diamond
    bool edgeLabel = false;        // an edge label or free text
};
DrawioShapeFlags drawioShapeFlags(const QString& style);

bool isDrawioTableShape(const QString& style);
bool isDrawioRowShape(const QString& style);
bool isDrawioPartialRectangle(const QString& style);
bool isDrawioRelationshipShape(const QString& style);
bool isDrawioEdgeLabel(const QString& style);

// A table row: a row shape, or a partial rectangle holding at least one
// cell that is not an edge.
bool isDrawioRowCell(const DrawioCell& cell, const QList<DrawioCell>& cells);
bool isDrawioRowCell(const DrawioCell& cell, const DrawioCellIndex& index);

// The text of an HTML label: block ends and line breaks become line feeds,
// other tags go, entities are resolved; trimmed.
QString htmlToPlainText(const QString& html);

// The cell's value as one line of plain text.
QString drawioCellPlainText(const DrawioCell& cell);

// The first line of a label's plain text (a table title, an edge label).
QString drawioLabelText(const QString& label);

// Appends the non-empty texts of the cell's descendants (edges excluded),
// each level sorted by y then x, depth first. A parent cycle is walked once.
void collectDrawioChildTexts(const DrawioCell& cell, const QList<DrawioCell>& cells, QStringList& texts);
void collectDrawioChildTexts(const DrawioCell& cell, const DrawioCellIndex& index, QStringList& texts);

// The text of a row: its own text followed by its descendants' texts.
QString drawioRowText(const DrawioCell& row, const QList<DrawioCell>& cells);
QString drawioRowText(const DrawioCell& row, const DrawioCellIndex& index);

// Splits a plain row text such as "PK id int" or "customer_id : int (FK)"
// into name, type and key markers.
DrawioAttribute parseRowText(const QString& text, double order);

// When every comma-separated piece of token is a key marker (PK, PKEY, FK,
// FK1, UK, UQ, in any case, in parentheses or not), sets the attribute's
// flags and returns true; otherwise leaves it alone.
bool takeDrawioKeyMarkers(const QString& token, DrawioAttribute& attribute);

// The words of text, on one line, that are not key markers; the markers
// set the attribute's flags.
QStringList dropDrawioKeyMarkers(const QString& text, DrawioAttribute& attribute);

// The text of the name cell of a row whose keys stand in a cell of their
// own: the name is the name whatever it reads like ("pk", "FK1"); markers
// after it still count. "name : type", "name :" and "name type" forms.
DrawioAttribute parseDrawioNameCell(const QString& text, double order);

// Whether a text reads as a data type: a type of any dialect of the
// catalogue, or a common type word (string, text, int, date, uuid, json...),
// with or without a size.
bool isDrawioTypeWord(const QString& text);

// The Cardinality code of an ER arrow name (unknown names give One).
int arrowToCardinality(const QString& arrow);
