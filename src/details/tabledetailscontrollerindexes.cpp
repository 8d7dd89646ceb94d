#include "details/tabledetailscontroller.h"

#include "details/detailsgridmodel.h"
#include "model/columnitem.h"
#include "model/indexitem.h"
#include "model/tableitem.h"

#include <QStandardItemModel>

void TableDetailsController::refreshIndexes()
{
    const DetailsGridModel::Rebuild rebuild(indexesModel, {QStringLiteral("Name"), QStringLiteral("Type")});
    if (!table)
        return;
    for (const IndexItem* index : table->indexes()) {
        if (!index)
            continue;
        QStandardItem* name = makeItem(index->name(), true);
        name->setData(index->id(), IdRole);
        indexesModel->appendRow(
            {name, makeItem(index->unique() ? QStringLiteral("Unique") : QStringLiteral("Non-unique"), true)});
    }
}

void TableDetailsController::refreshIndexColumns()
{
    const DetailsGridModel::Rebuild rebuild(indexColumnsModel, {QStringLiteral("Column")});
    const IndexItem* index = currentIndexItem();
    if (!index)
        return;
    for (const QString& columnId : index->columns()) {
        const ColumnItem* column = table->column(columnId);
        QStandardItem* item = makeItem(column ? column->name() : QString(), true);
        item->setData(index->id(), IdRole);
        item->setData(columnId, ColumnIdRole);
        indexColumnsModel->appendRow(item);
    }
}

void TableDetailsController::onIndexItemChanged(QStandardItem* item)
{
    if (updating || !table || !item)
        return;
    const QStandardItem* first = indexesModel->item(item->row(), 0);
    IndexItem* index = first ? table->index(first->data(IdRole).toString()) : nullptr;
    if (!index)
        return;
    if (item->column() == 0)
        index->setName(item->text().trimmed());
    else if (item->column() == 1)
        index->setUnique(item->text() == QLatin1String("Unique"));
}

void TableDetailsController::onIndexColumnItemChanged(QStandardItem* item)
{
    if (updating || !table || !item)
        return;
    IndexItem* index = table->index(item->data(IdRole).toString());
    const ColumnItem* column = table->columnByName(item->text().trimmed());
    if (!index || !column) {
        scheduleRefresh();
        return;
    }
    QStringList columns = index->columns();
    const int row = item->row();
    if (row < 0 || row >= columns.size() || columns.at(row) == column->id())
        return;
    if (columns.contains(column->id())) {
        scheduleRefresh();
        return;
    }
    columns[row] = column->id();
    index->setColumns(columns);
}
