#include "details/tabledetailscontroller.h"

#include "app/dialoghooks.h"
#include "details/detailslookups.h"
#include "diagram/entityitem.h"
#include "explorer/entityrows.h"
#include "explorer/tablesync.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/indexitem.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include "ui_mainwindow.h"

#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QToolButton>

namespace {

const char* const undefinedType = "undefined";

} // namespace

// ============================================================ columns

void TableDetailsController::addColumn()
{
    if (!actionsAllowed() || (!table && !(view && entity)))
        return;
    QStringList names;
    if (table) {
        names = columnNames(table);
    } else {
        for (int row = 0; row < entity->attributeCount(); ++row)
            names.append(entity->attributeName(row));
    }
    const QString name = nextColumnName(names);
    if (table) {
        ColumnItem* column = table->addColumn();
        column->setName(name);
        column->setDataType(QLatin1String(undefinedType));
        pendingColumnId = column->id();
    } else {
        pendingColumnId = name;
    }
    if (entity)
        whileUpdating([&] { entity->addAttribute(name, QLatin1String(undefinedType), false, false, false, false); });
    refresh();
}

void TableDetailsController::removeColumn()
{
    if (!actionsAllowed())
        return;
    const QString id = currentRowId(ui->tableViewColumns);
    if (id.isEmpty())
        return;
    if (table) {
        const ColumnItem* column = table->column(id);
        if (!column)
            return;
        const QString name = column->name();
        // A column that a relationship's foreign key uses takes the
        // relationship with it, after asking; a foreign key left without
        // its pair would contradict the line on the diagram.
        const QStringList relationships = TableSync::relationshipsUsingColumn(model, table, id);
        if (!relationships.isEmpty()) {
            QStringList names;
            for (const QString& relationshipId : relationships) {
                const RelationshipItem* relationship = model ? model->relationship(relationshipId) : nullptr;
                names.append(relationship && !relationship->name().isEmpty() ? relationship->name()
                                                                             : relationshipId);
            }
            QMessageBox box(QMessageBox::Question, QStringLiteral("Remove column"),
                            QStringLiteral("The column \"%1\" is used by the relationships: %2. Removing it also "
                                           "removes them.")
                                .arg(name, names.join(QStringLiteral(", "))),
                            QMessageBox::Cancel, ui->tableViewColumns->window());
            box.setTextFormat(Qt::PlainText);
            box.setInformativeText(QStringLiteral("Their foreign-key columns leave the child tables."));
            QPushButton* remove = box.addButton(QStringLiteral("Remove"), QMessageBox::DestructiveRole);
            box.setDefaultButton(QMessageBox::Cancel);
            DialogHooks::execDialog(&box);
            if (box.clickedButton() != remove || !table || table->column(id) != column)
                return;
            const QPointer<TableItem> shown = table;
            whileUpdating([&] { emit relationshipsRemovalRequested(relationships); });
            // The column may have gone as a foreign-key column of one of them.
            if (!shown || !shown->column(id)) {
                refresh();
                return;
            }
        }
        emit columnRemoved(id);
        EntityItem* box = entity ? entity.data() : entityForTable(table->id());
        const int row = indexOfAttribute(box, name);
        if (row >= 0)
            whileUpdating([&] { box->removeAttribute(box->attributeName(row)); });
        // The window may have dropped the column with its row already.
        if (table)
            table->removeColumn(id);
        // A table on the canvas never stays without rows: its key row came
        // back there, and the model takes it too.
        if (table && box && table->columns().isEmpty() && box->attributeCount() > 0)
            TableSync::syncColumns(table, entityRows(box), project);
        refresh();
        return;
    }
    if (!view || !entity)
        return;
    const int row = indexOfAttribute(entity, id);
    if (row < 0)
        return;
    whileUpdating([&] { entity->removeAttribute(entity->attributeName(row)); });
    refresh();
}

// ============================================================ constraints

void TableDetailsController::showAddConstraintMenu()
{
    if (!table || !ui)
        return;
    QMenu menu(ui->toolButtonAddConstraint);
    const QList<QPair<QString, int>> kinds{{QStringLiteral("Primary Key"), ConstraintItem::PrimaryKey},
                                           {QStringLiteral("Foreign Key"), ConstraintItem::ForeignKey},
                                           {QStringLiteral("Unique"), ConstraintItem::Unique},
                                           {QStringLiteral("Check"), ConstraintItem::Check}};
    for (const auto& [text, kind] : kinds)
        menu.addAction(text)->setData(kind);
    QToolButton* button = ui->toolButtonAddConstraint;
    const QAction* chosen = menu.exec(button->mapToGlobal(QPoint(0, button->height())));
    if (chosen)
        addConstraintOfKind(chosen->data().toInt());
}

void TableDetailsController::addConstraintOfKind(int kind)
{
    if (!actionsAllowed() || !table)
        return;
    if (kind == ConstraintItem::PrimaryKey) {
        if (const ConstraintItem* primary = table->constraintOfType(ConstraintItem::PrimaryKey)) {
            pendingConstraintId = primary->id();
            refresh();
            return;
        }
    }
    ConstraintItem* constraint = table->addConstraint();
    constraint->setType(kind);
    QString prefix;
    switch (kind) {
    case ConstraintItem::PrimaryKey:
        prefix = QStringLiteral("pk_");
        break;
    case ConstraintItem::ForeignKey:
        prefix = QStringLiteral("fk_");
        break;
    case ConstraintItem::Check:
        prefix = QStringLiteral("ck_");
        break;
    default:
        prefix = QStringLiteral("uk_");
        break;
    }
    constraint->setName(uniqueConstraintName(prefix));
    if (kind == ConstraintItem::PrimaryKey || kind == ConstraintItem::Unique) {
        const QString columnId = firstUnusedColumnId(table, {});
        if (!columnId.isEmpty())
            constraint->setColumns({columnId});
    }
    pendingConstraintId = constraint->id();
    refresh();
}

QString TableDetailsController::uniqueConstraintName(const QString& prefix) const
{
    return table ? table->uniqueConstraintName(prefix) : prefix;
}

void TableDetailsController::removeConstraint()
{
    if (!actionsAllowed() || !table)
        return;
    ConstraintItem* constraint = currentConstraint();
    if (!constraint)
        return;
    const QString relationshipId = relationshipIdForConstraint(constraint);
    if (!relationshipId.isEmpty()) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Remove constraint"),
                        QStringLiteral("This foreign key belongs to a relationship. Removing it also removes the "
                                       "relationship."),
                        QMessageBox::Cancel, ui->tableViewConstraints->window());
        box.setTextFormat(Qt::PlainText);
        box.setInformativeText(QStringLiteral("The columns stay on the table."));
        QPushButton* remove = box.addButton(QStringLiteral("Remove"), QMessageBox::DestructiveRole);
        box.setDefaultButton(QMessageBox::Cancel);
        DialogHooks::execDialog(&box);
        if (box.clickedButton() != remove)
            return;
        // The table may have gone while the box was open.
        if (!table || table->constraint(constraint->id()) != constraint)
            return;
    }
    table->removeConstraint(constraint->id());
    syncEntityKeysFromConstraints();
    syncEntityForeignKeysFromConstraints();
    if (!relationshipId.isEmpty())
        emit relationshipConstraintRemoved(relationshipId);
    else
        refresh();
}

void TableDetailsController::addConstraintColumn()
{
    if (!actionsAllowed() || !table)
        return;
    ConstraintItem* constraint = currentConstraint();
    if (!constraint)
        return;
    const QString columnId = firstUnusedColumnId(table, constraint->columns());
    if (columnId.isEmpty())
        return;
    if (constraint->type() == ConstraintItem::ForeignKey) {
        // Both lists grow together; the referenced side may get an empty id.
        padForeignKeyColumns(constraint);
        const TableItem* target = findTableInProject(project, constraint->referencedTableId());
        const QStringList referenced = constraint->referencedColumns();
        constraint->setReferencedColumns(referenced + QStringList{firstUnusedColumnId(target, referenced)});
    }
    constraint->setColumns(constraint->columns() + QStringList{columnId});
    syncEntityKeysFromConstraints();
    syncEntityForeignKeysFromConstraints();
    pendingConstraintId = constraint->id();
    refresh();
}

void TableDetailsController::removeConstraintColumn()
{
    if (!actionsAllowed() || !table)
        return;
    ConstraintItem* constraint = currentConstraint();
    const int row = ui->tableViewConsColumns->currentIndex().row();
    if (!constraint || row < 0)
        return;
    QStringList columns = constraint->columns();
    if (row < columns.size()) {
        columns.removeAt(row);
        constraint->setColumns(columns);
    }
    if (constraint->type() == ConstraintItem::ForeignKey) {
        QStringList referenced = constraint->referencedColumns();
        if (row < referenced.size()) {
            referenced.removeAt(row);
            constraint->setReferencedColumns(referenced);
        }
        padForeignKeyColumns(constraint);
    }
    if (constraint->type() == ConstraintItem::PrimaryKey && constraint->columns().isEmpty()) {
        const QString relationshipId = relationshipIdForConstraint(constraint);
        table->removeConstraint(constraint->id());
        syncEntityKeysFromConstraints();
        syncEntityForeignKeysFromConstraints();
        if (!relationshipId.isEmpty())
            emit relationshipConstraintRemoved(relationshipId);
        else
            refresh();
        return;
    }
    syncEntityKeysFromConstraints();
    syncEntityForeignKeysFromConstraints();
    pendingConstraintId = constraint->id();
    refresh();
}

// ============================================================ indexes

void TableDetailsController::addIndex()
{
    if (!actionsAllowed() || !table)
        return;
    IndexItem* index = table->addIndex();
    index->setName(table->uniqueIndexName());
    const QString columnId = firstUnusedColumnId(table, {});
    if (!columnId.isEmpty())
        index->setColumns({columnId});
    pendingIndexId = index->id();
    refresh();
}

void TableDetailsController::removeIndex()
{
    if (!actionsAllowed() || !table)
        return;
    if (const IndexItem* index = currentIndexItem()) {
        table->removeIndex(index->id());
        refresh();
    }
}

void TableDetailsController::addIndexColumn()
{
    if (!actionsAllowed() || !table)
        return;
    IndexItem* index = currentIndexItem();
    if (!index)
        return;
    const QString columnId = firstUnusedColumnId(table, index->columns());
    if (columnId.isEmpty())
        return;
    index->setColumns(index->columns() + QStringList{columnId});
    pendingIndexId = index->id();
    refresh();
}

void TableDetailsController::removeIndexColumn()
{
    if (!actionsAllowed() || !table || !ui)
        return;
    IndexItem* index = currentIndexItem();
    if (!index)
        return;
    const int row = ui->tableViewIndColumns->currentIndex().row();
    QStringList columns = index->columns();
    if (row >= 0 && row < columns.size()) {
        columns.removeAt(row);
        index->setColumns(columns);
    }
    pendingIndexId = index->id();
    refresh();
}

// ============================================================ mappings

void TableDetailsController::addMapping()
{
    if (!actionsAllowed() || !project)
        return;
    MappingItem* mapping = model ? model->addMapping() : project->addMapping();
    pendingMappingId = mapping->id();
    refresh();
    emit mappingsChanged();
}

void TableDetailsController::removeMapping()
{
    if (!actionsAllowed() || !ui || !project)
        return;
    const QModelIndex current = ui->treeView->currentIndex();
    MappingItem* mapping = current.isValid() ? mappingAt(current.row()) : nullptr;
    if (!isKnownMapping(mapping))
        return;
    if (auto* owner = qobject_cast<ModelItem*>(mapping->parent()))
        owner->removeMapping(mapping->id());
    else
        project->removeMapping(mapping->id());
    refresh();
    emit mappingsChanged();
}
