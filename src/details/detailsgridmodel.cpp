#include "details/detailsgridmodel.h"

DetailsGridModel::DetailsGridModel(QObject* parent)
    : QStandardItemModel(parent)
{
}

void DetailsGridModel::beginRebuild(const QStringList& headers)
{
    if (rebuilding)
        return;
    rebuilding = true;
    beginResetModel();
    signalsWereBlocked = blockSignals(true);
    removeRows(0, rowCount());
    setColumnCount(static_cast<int>(headers.size()));
    setHorizontalHeaderLabels(headers);
}

void DetailsGridModel::endRebuild()
{
    if (!rebuilding)
        return;
    rebuilding = false;
    blockSignals(signalsWereBlocked);
    endResetModel();
}

DetailsGridModel::Rebuild::Rebuild(DetailsGridModel* model, const QStringList& headers)
    : model(model)
{
    model->beginRebuild(headers);
}

DetailsGridModel::Rebuild::~Rebuild()
{
    model->endRebuild();
}
