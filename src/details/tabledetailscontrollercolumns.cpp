#include "details/tabledetailscontroller.h"

#include "details/detailsgridmodel.h"
#include "details/datatypes.h"
#include "details/detailslookups.h"
#include "diagram/entityitem.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/indexitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include "ui_mainwindow.h"

#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QToolButton>
#include <QTreeView>

namespace {

QString sizeText(int value)
{
    return value < 0 ? QString() : QString::number(value);
}

} // namespace

void TableDetailsController::refreshColumns()
{
    const DetailsGridModel::Rebuild rebuild(
        columnsModel, {QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Length"),
                       QStringLiteral("Precision"), QStringLiteral("Scale"), QStringLiteral("Nullable"),
                       QStringLiteral("Default")});
    if (table) {
        for (ColumnItem* column : table->columns()) {
            if (!column)
                continue;
            // A type stored with its size ("VARCHAR(50)") is split once, so
            // that the size cells show and edit the figures.
            if (parseDataType(column->dataType()).hasSize)
                column->setDataType(column->dataType());
            QStandardItem* name = makeItem(column->name(), true);
            name->setData(column->id(), IdRole);
            columnsModel->appendRow({name, makeItem(column->dataType(), true),
                                     makeItem(sizeText(column->length()), true),
                                     makeItem(sizeText(column->precision()), true),
                                     makeItem(sizeText(column->scale()), true), makeCheckItem(column->nullable()),
                                     makeItem(column->defaultValue(), true)});
        }
        return;
    }
    if (!view || !entity)
        return;
    for (int row = 0; row < entity->attributeCount(); ++row) {
        const QString rowName = entity->attributeName(row);
        const ParsedDataType type = parseDataType(entity->attributeType(row));
        QStandardItem* name = makeItem(rowName, true);
        name->setData(rowName, IdRole);
        columnsModel->appendRow({name, makeItem(type.baseType, true), makeItem(sizeText(type.length), true),
                                 makeItem(sizeText(type.precision), true), makeItem(sizeText(type.scale), true),
                                 makeItem(QString(), false), makeItem(QString(), false)});
    }
}

void TableDetailsController::onColumnItemChanged(QStandardItem* item)
{
    if (updating || !item)
        return;
    const QStandardItem* first = columnsModel->item(item->row(), 0);
    const QString key = first ? first->data(IdRole).toString() : QString();
    if (view && !table) {
        onViewColumnItemChanged(item, key);
        return;
    }
    if (!table)
        return;
    if (ColumnItem* column = table->column(key))
        onTableColumnItemChanged(item, column);
}

void TableDetailsController::onTableColumnItemChanged(QStandardItem* item, ColumnItem* column)
{
    switch (item->column()) {
    case 0:
        renameColumn(column, item->text());
        return;
    case 1:
        column->setDataType(item->text().trimmed());
        pushColumnTypeToEntity(column);
        scheduleRefresh();
        return;
    case 2:
    case 3:
    case 4: {
        bool ok = false;
        const int value = parseSizeText(item->text(), &ok);
        if (ok) {
            if (item->column() == 2)
                column->setLength(value);
            else if (item->column() == 3)
                column->setPrecision(value);
            else
                column->setScale(value);
            pushColumnTypeToEntity(column);
        }
        scheduleRefresh();
        return;
    }
    case 5:
        column->setNullable(item->checkState() == Qt::Checked);
        return;
    case 6:
        column->setDefaultValue(item->text());
        return;
    default:
        return;
    }
}

void TableDetailsController::onViewColumnItemChanged(QStandardItem* item, const QString& key)
{
    if (!entity)
        return;
    const int row = indexOfAttribute(entity, key);
    if (row < 0)
        return;
    const int gridRow = item->row();
    const int gridColumn = item->column();
    if (gridColumn == 0) {
        whileUpdating([&] { entity->setAttributeName(row, item->text()); });
        // The row is keyed by its name: keep the renamed row current.
        pendingColumnId = entity->attributeName(row);
        scheduleRefresh();
        return;
    }
    if (gridColumn > 4)
        return;
    QString base = cellText(columnsModel, gridRow, 1).trimmed();
    bool lengthOk = false;
    bool precisionOk = false;
    bool scaleOk = false;
    int length = parseSizeText(cellText(columnsModel, gridRow, 2), &lengthOk);
    int precision = parseSizeText(cellText(columnsModel, gridRow, 3), &precisionOk);
    int scale = parseSizeText(cellText(columnsModel, gridRow, 4), &scaleOk);
    const ParsedDataType parsed = parseDataType(base);
    if (parsed.hasSize) {
        base = parsed.baseType;
        length = parsed.length;
        precision = parsed.precision;
        scale = parsed.scale;
    }
    if (parsed.hasSize || (lengthOk && precisionOk && scaleOk)) {
        const QString type = formatDataType(base, length, precision, scale);
        whileUpdating([&] { entity->setAttributeType(row, type); });
    }
    scheduleRefresh();
}

void TableDetailsController::updateActionStates()
{
    if (!ui)
        return;
    const bool hasTable = table;
    ConstraintItem* constraint = currentConstraint();
    IndexItem* index = currentIndexItem();
    const bool hasConstraint = constraint;
    const bool hasIndex = index;
    const bool hasColumns = hasTable && !table->columns().isEmpty();

    const auto ensureCurrent = [](QAbstractItemView* grid) {
        if (!grid->model() || grid->model()->rowCount() == 0 || grid->currentIndex().isValid())
            return;
        const QSignalBlocker blocker(grid->selectionModel());
        grid->setCurrentIndex(grid->model()->index(0, 0));
    };
    if (hasConstraint)
        ensureCurrent(ui->tableViewConsColumns);
    if (hasIndex)
        ensureCurrent(ui->tableViewIndColumns);

    const bool canEditColumns = hasTable || (view && entity);
    ui->toolButtonAddConstraint->setEnabled(hasTable);
    ui->toolButtonRemoveConstraint->setEnabled(hasTable && hasConstraint);
    ui->toolButtonAddConstraintColumn->setEnabled(hasTable && hasConstraint && hasColumns);
    ui->toolButtonRemoveConstraintColumn->setEnabled(hasTable && hasConstraint
                                                     && ui->tableViewConsColumns->currentIndex().isValid());
    ui->toolButtonAddTableColumn->setEnabled(canEditColumns);
    ui->toolButtonRemoveTableColumn->setEnabled(canEditColumns && ui->tableViewColumns->currentIndex().isValid());
    ui->toolButtonAddIndex->setEnabled(hasTable);
    ui->toolButtonRemoveIndex->setEnabled(hasTable && hasIndex);
    ui->toolButtonAddIndexColumn->setEnabled(hasTable && hasIndex && hasColumns);
    ui->toolButtonRemoveIndexColumn->setEnabled(hasTable && hasIndex
                                                && ui->tableViewIndColumns->currentIndex().isValid());
    ui->toolButtonAddMapping->setEnabled(project);
    const QModelIndex mappingIndex = ui->treeView->currentIndex();
    ui->toolButtonRemoveMapping->setEnabled(mappingIndex.isValid() && mappingAt(mappingIndex.row()));
}
