#include "explorer/modeladditions.h"

#include "details/dialects.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/modelitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QList>
#include <QStringList>

namespace {

constexpr int PrimaryKey = 0;
constexpr int ForeignKey = 1;

// The parent's columns a foreign key to it copies: those of its primary key
// in key order (ids naming no column skipped), else its first column.
QList<ColumnItem*> keyColumnsOf(const TableItem* parent)
{
    QList<ColumnItem*> keys;
    if (const ConstraintItem* primary = parent->constraintOfType(PrimaryKey)) {
        for (const QString& id : primary->columns()) {
            if (ColumnItem* column = parent->column(id))
                keys.append(column);
        }
    }
    if (keys.isEmpty() && !parent->columns().isEmpty())
        keys.append(parent->columns().first());
    return keys;
}

// The child column name for a copy of key column `key`.
QString foreignKeyColumnName(const TableItem* child, const QString& parentName, const QString& key)
{
    if (!child->columnByName(key))
        return key;
    const QString base = parentName + QLatin1Char('_') + key;
    QString name = base;
    for (int n = 2; child->columnByName(name); ++n)
        name = base + QLatin1Char('_') + QString::number(n);
    return name;
}

} // namespace

QString ModelAdditions::tableNameForNames(const TableItem* table)
{
    return table && !table->name().isEmpty() ? table->name() : QStringLiteral("table");
}

TableItem* ModelAdditions::addTable(ModelItem* model)
{
    if (!model)
        return nullptr;
    const QString name = model->uniqueObjectName(QStringLiteral("table_"));
    TableItem* table = model->addTable();
    table->setName(name);
    ColumnItem* key = table->addColumn();
    key->setName(name + QStringLiteral("_id"));
    key->setDataType(defaultKeyType(model->dialect()));
    key->setNullable(false);
    ConstraintItem* primary = table->addConstraint();
    primary->setType(PrimaryKey);
    primary->setName(QStringLiteral("pk_") + name);
    primary->setColumns({key->id()});
    return table;
}

ViewItem* ModelAdditions::addView(ModelItem* model)
{
    if (!model)
        return nullptr;
    const QString name = model->uniqueObjectName(QStringLiteral("view_"));
    ViewItem* view = model->addView();
    view->setName(name);
    return view;
}

RelationshipItem* ModelAdditions::addRelationship(ModelItem* model, TableItem* parent, TableItem* child)
{
    if (!model || !parent || !child)
        return nullptr;
    const QString parentName = tableNameForNames(parent);
    RelationshipItem* relationship = model->addRelationship();
    relationship->setFromTableId(parent->id());
    relationship->setToTableId(child->id());
    relationship->setName(parentName + QLatin1Char('_') + tableNameForNames(child));

    // Taken before the child grows: on a self-relationship the new columns
    // must not count as keys of the parent.
    const QList<ColumnItem*> keys = keyColumnsOf(parent);
    QStringList referenced;
    QStringList foreign;
    for (const ColumnItem* key : keys) {
        referenced.append(key->id());
        const QString name = foreignKeyColumnName(child, parentName, key->name());
        ColumnItem* column = child->addColumn();
        column->setName(name);
        column->setDataType(foreignKeyColumnType(key->dataType()));
        column->setLength(key->length());
        column->setPrecision(key->precision());
        column->setScale(key->scale());
        column->setNullable(true);
        foreign.append(column->id());
    }

    ConstraintItem* constraint = child->addConstraint();
    constraint->setType(ForeignKey);
    constraint->setName(QStringLiteral("fk_") + relationship->name());
    constraint->setReferencedTableId(parent->id());
    constraint->setColumns(foreign);
    constraint->setReferencedColumns(referenced);
    relationship->setConstraintId(constraint->id());
    return relationship;
}
