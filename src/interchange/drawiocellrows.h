#pragma once

#include "interchange/drawiocells.h"

#include <QList>

// Table rows drawn as cells side by side: a key cell, a type cell and a name
// cell, in whatever order the table puts them ("PK | id | string",
// "PK | string | ID", "id | int"). Which column is which is decided once for
// the whole table by what its columns hold: a column whose cells are all key
// markers (or empty) is the key column, one whose cells are all type words
// (or empty) the type column, and the other the name column. So every row of
// a table reads alike, also a row whose name happens to be a type word or
// whose key or type cell is left out.

// Reads those of rows (indexes into index.cells) that are drawn this way into
// entity and returns the others, to be read by their text.
QList<int> addDrawioCellRows(DrawioEntity& entity, const QList<int>& rows, const DrawioCellIndex& index);
