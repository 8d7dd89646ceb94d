#pragma once

#include <QString>

class ModelItem;
class RelationshipItem;
class TableItem;
class ViewItem;

// New objects added to a model from the explorer, named and keyed as a new
// object should be. Pure model edits: no canvas, no tree.
class ModelAdditions
{
public:
    // A table named "table_" + the smallest free number (ignoring case),
    // with one key column named after it (+ "_id", typed with the dialect's
    // default key type, not nullable) under a primary key "pk_" + its name.
    // Null for a null model.
    static TableItem* addTable(ModelItem* model);

    // A view named "view_" + the smallest free number; null for a null model.
    static ViewItem* addView(ModelItem* model);

    // A relationship from parent to child (the same table for a
    // self-relationship) named parent name + "_" + child name, and the
    // child's foreign key "fk_" + that name: for every key column of the
    // parent (its primary key's columns in key order, else its first
    // column) a new child column of the same type, named after the key
    // column or, when the child has that name already, parent name + "_" +
    // key name (then + "_2", "_3", ...). Null when any argument is null.
    static RelationshipItem* addRelationship(ModelItem* model, TableItem* parent, TableItem* child);

    // The name a table shows for in names made from it: its name, or
    // "table" when it has none.
    static QString tableNameForNames(const TableItem* table);
};
