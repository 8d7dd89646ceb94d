#pragma once

// Tables drawn as separate cells: a title cell, then one cell per row (or
// several side by side), each with its own outline and no outline round
// the whole table, as documentation tools draw HTML-like Graphviz tables
// without a table border.

#include <QList>
#include <QRectF>

// A drawn rectangle may be a table cell when it is at least this wide and
// high (in the drawing's units).
constexpr double MinTableCellWidth = 20;
constexpr double MinTableCellHeight = 8;

struct CellStack
{
    QRectF table;   // the bounding rectangle of the cells
    QRectF top;     // the topmost cell across the whole table: the title cell
};

// The tables the cells make: cells whose sides meet (one right below the
// other, or one right beside the other, overlapping along most of the
// shared side) belong to one table. Copies of a cell (a fill under its
// outline) count once; a table needs at least two distinct cells.
QList<CellStack> stackTableCells(const QList<QRectF>& cells);
