#include "details/tabledetailscontroller.h"

#include "details/detailsgridmodel.h"
#include "details/detailslookups.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"

#include "ui_mainwindow.h"

#include <QStandardItemModel>

#include <algorithm>

namespace {

enum ConstraintColumnPart { SchemaPart = 1, TablePart = 2, ColumnPart = 3 };
enum ConstraintColumnSide { OwnSide = 0, ReferencedSide = 1 };

QString columnNameOf(const TableItem* table, const QString& columnId)
{
    const ColumnItem* column = table ? table->column(columnId) : nullptr;
    return column ? column->name() : QString();
}

} // namespace

void TableDetailsController::refreshConstraints()
{
    const DetailsGridModel::Rebuild rebuild(
        constraintsModel, {QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Check")});
    if (!table)
        return;
    for (const ConstraintItem* constraint : table->constraints()) {
        if (!constraint)
            continue;
        QStandardItem* name = makeItem(constraint->name(), true);
        name->setData(constraint->id(), IdRole);
        const bool check = constraint->type() == ConstraintItem::Check;
        constraintsModel->appendRow({name, makeItem(constraintKindText(constraint->type()), true),
                                     makeItem(check ? constraint->expression() : QString(), check)});
    }
}

void TableDetailsController::refreshConstraintColumns()
{
    const ConstraintItem* constraint = currentConstraint();
    const bool foreignKey = constraint && constraint->type() == ConstraintItem::ForeignKey;
    const DetailsGridModel::Rebuild rebuild(
        constraintColumnsModel,
        foreignKey ? QStringList{QStringLiteral("FK Schema"), QStringLiteral("FK Table"), QStringLiteral("FK Column"),
                                 QStringLiteral("PK Schema"), QStringLiteral("PK Table"), QStringLiteral("PK Column")}
                   : QStringList{QStringLiteral("Schema"), QStringLiteral("Table"), QStringLiteral("Column")});
    const auto cell = [constraint](const QString& text, bool editable, int part, int side) {
        QStandardItem* item = makeItem(text, editable);
        item->setData(constraint->id(), IdRole);
        item->setData(part, PartRole);
        if (side >= 0)
            item->setData(side, SideRole);
        return item;
    };
    const auto columnCell = [&cell](const TableItem* owner, const QString& columnId, int side) {
        QStandardItem* item = cell(columnNameOf(owner, columnId), true, ColumnPart, side);
        item->setData(columnId, ColumnIdRole);
        return item;
    };

    if (foreignKey) {
        const QStringList columns = constraint->columns();
        const QStringList referenced = constraint->referencedColumns();
        const TableItem* target = findTableInProject(project, constraint->referencedTableId());
        const qsizetype rows = std::max(columns.size(), referenced.size());
        for (qsizetype i = 0; i < rows; ++i) {
            constraintColumnsModel->appendRow(
                {cell(table->schema(), false, SchemaPart, -1), cell(table->name(), false, TablePart, -1),
                 columnCell(table, columns.value(i), OwnSide),
                 cell(target ? target->schema() : QString(), false, SchemaPart, ReferencedSide),
                 cell(target ? target->name() : QString(), true, TablePart, ReferencedSide),
                 columnCell(target, referenced.value(i), ReferencedSide)});
        }
        return;
    }

    if (!constraint)
        return;
    for (const QString& columnId : constraint->columns()) {
        constraintColumnsModel->appendRow({cell(table->schema(), false, SchemaPart, -1),
                                           cell(table->name(), false, TablePart, -1),
                                           columnCell(table, columnId, OwnSide)});
    }
}

bool TableDetailsController::setConstraintColumnAt(ConstraintItem* constraint, int position, bool referencedSide,
                                                   const QString& name)
{
    if (!constraint || !table || position < 0)
        return false;
    const TableItem* owner = referencedSide ? findTableInProject(project, constraint->referencedTableId())
                                            : table.data();
    const bool changed = putConstraintColumn(constraint, owner, position, referencedSide, name);
    if (changed)
        padForeignKeyColumns(constraint);
    return changed;
}

void TableDetailsController::padForeignKeyColumns(ConstraintItem* constraint)
{
    if (!constraint || constraint->type() != ConstraintItem::ForeignKey)
        return;
    QStringList columns = constraint->columns();
    QStringList referenced = constraint->referencedColumns();
    if (columns.size() == referenced.size())
        return;
    const qsizetype length = std::max(columns.size(), referenced.size());
    while (columns.size() < length)
        columns.append(QString());
    while (referenced.size() < length)
        referenced.append(QString());
    constraint->setColumns(columns);
    constraint->setReferencedColumns(referenced);
}

void TableDetailsController::onConstraintItemChanged(QStandardItem* item)
{
    if (updating || !table || !item)
        return;
    const QStandardItem* first = constraintsModel->item(item->row(), 0);
    ConstraintItem* constraint = first ? table->constraint(first->data(IdRole).toString()) : nullptr;
    if (!constraint)
        return;

    if (item->column() == 0) {
        const QString name = item->text().trimmed();
        if (name.isEmpty())
            scheduleRefresh();
        else
            constraint->setName(name);
        return;
    }
    if (item->column() == 2) {
        if (constraint->type() == ConstraintItem::Check)
            constraint->setExpression(item->text());
        return;
    }
    if (item->column() != 1)
        return;

    const int kind = constraintKindFromText(item->text());
    const int oldKind = constraint->type();
    if (kind == oldKind)
        return;
    if (kind == ConstraintItem::PrimaryKey) {
        const ConstraintItem* primary = table->constraintOfType(ConstraintItem::PrimaryKey);
        if (primary && primary != constraint) {
            scheduleRefresh();
            return;
        }
    }
    if (kind == ConstraintItem::ForeignKey) {
        constraint->setType(kind);
        padForeignKeyColumns(constraint);
        syncEntityKeysFromConstraints();
        syncEntityForeignKeysFromConstraints();
        scheduleRefresh();
        return;
    }
    if (oldKind == ConstraintItem::ForeignKey && !relationshipIdForConstraint(constraint).isEmpty()) {
        scheduleRefresh();
        return;
    }
    constraint->setType(kind);
    if ((kind == ConstraintItem::PrimaryKey || kind == ConstraintItem::Unique) && constraint->columns().isEmpty()) {
        const QString columnId = firstUnusedColumnId(table, {});
        if (!columnId.isEmpty())
            constraint->setColumns({columnId});
    }
    syncEntityKeysFromConstraints();
    syncEntityForeignKeysFromConstraints();
    scheduleRefresh();
}

void TableDetailsController::onConstraintColumnItemChanged(QStandardItem* item)
{
    if (updating || !table || !item)
        return;
    ConstraintItem* constraint = table->constraint(item->data(IdRole).toString());
    if (!constraint) {
        scheduleRefresh();
        return;
    }
    const int part = item->data(PartRole).toInt();
    const bool referencedSide = item->data(SideRole).toInt() == ReferencedSide;

    if (part == TablePart && referencedSide && item->data(SideRole).isValid()) {
        const TableItem* target = findTableByName(model, item->text().trimmed());
        if (target) {
            constraint->setReferencedTableId(target->id());
            QStringList referenced = constraint->referencedColumns();
            for (QString& columnId : referenced) {
                if (!target->column(columnId))
                    columnId.clear();
            }
            constraint->setReferencedColumns(referenced);
        }
        scheduleRefresh();
        return;
    }
    if (part == ColumnPart) {
        if (setConstraintColumnAt(constraint, item->row(), referencedSide, item->text())) {
            syncEntityKeysFromConstraints();
            syncEntityForeignKeysFromConstraints();
        }
    }
    scheduleRefresh();
}
