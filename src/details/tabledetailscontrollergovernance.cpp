#include "details/tabledetailscontroller.h"

#include "details/detailsgridmodel.h"
#include "model/columnitem.h"
#include "model/tableitem.h"

#include <QStandardItemModel>

void TableDetailsController::refreshGovernance()
{
    const DetailsGridModel::Rebuild rebuild(governanceModel,
                                            {QStringLiteral("Column"), QStringLiteral("Personal"),
                                             QStringLiteral("Sensible"), QStringLiteral("Classification")});
    if (!table)
        return;
    for (const ColumnItem* column : table->columns()) {
        if (!column)
            continue;
        QStandardItem* name = makeItem(column->name(), false);
        name->setData(column->id(), IdRole);
        governanceModel->appendRow({name, makeCheckItem(column->personal()), makeCheckItem(column->sensible()),
                                    makeItem(column->classification(), true)});
    }
}

void TableDetailsController::onGovernanceItemChanged(QStandardItem* item)
{
    if (updating || !table || !item)
        return;
    const QStandardItem* first = governanceModel->item(item->row(), 0);
    ColumnItem* column = first ? table->column(first->data(IdRole).toString()) : nullptr;
    if (!column)
        return;
    switch (item->column()) {
    case 1:
        column->setPersonal(item->checkState() == Qt::Checked);
        break;
    case 2:
        column->setSensible(item->checkState() == Qt::Checked);
        break;
    case 3:
        column->setClassification(item->text());
        break;
    default:
        break;
    }
}
