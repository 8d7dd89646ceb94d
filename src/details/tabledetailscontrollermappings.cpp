#include "details/tabledetailscontroller.h"

#include "details/detailsgridmodel.h"
#include "details/detailslookups.h"
#include "details/projectnameindex.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"

#include <QStandardItemModel>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int mappingColumnCount = 6;

// The three ids of one end of a mapping.
struct MappingEnd
{
    QString modelId;
    QString tableId;
    QString columnId;

    bool isComplete() const { return !modelId.isEmpty() && !tableId.isEmpty() && !columnId.isEmpty(); }
    bool operator==(const MappingEnd& other) const
    {
        return modelId == other.modelId && tableId == other.tableId && columnId == other.columnId;
    }
};

MappingEnd endOf(const MappingItem* mapping, bool target)
{
    if (target)
        return {mapping->targetModelId(), mapping->targetTableId(), mapping->targetColumnId()};
    return {mapping->sourceModelId(), mapping->sourceTableId(), mapping->sourceColumnId()};
}

void setEnd(MappingItem* mapping, bool target, const MappingEnd& end)
{
    if (target) {
        mapping->setTargetModelId(end.modelId);
        mapping->setTargetTableId(end.tableId);
        mapping->setTargetColumnId(end.columnId);
    } else {
        mapping->setSourceModelId(end.modelId);
        mapping->setSourceTableId(end.tableId);
        mapping->setSourceColumnId(end.columnId);
    }
}

} // namespace

void TableDetailsController::refreshMappings()
{
    static const QStringList headers{QStringLiteral("Source Model"), QStringLiteral("Source Table"),
                                     QStringLiteral("Source Column"), QStringLiteral("Target Model"),
                                     QStringLiteral("Target Table"), QStringLiteral("Target Column")};
    QList<MappingRow> rows;
    if (project) {
        const ProjectNameIndex names(project);
        const QList<MappingItem*> mappings = allMappings(project);
        rows.reserve(mappings.size());
        for (MappingItem* mapping : mappings) {
            MappingRow row;
            row.id = mapping->id();
            row.owner = mappingOwnerModelId(mapping);
            row.texts = {names.modelName(mapping->sourceModelId()),
                         names.tableName(mapping->sourceTableId()),
                         names.columnName(mapping->sourceTableId(), mapping->sourceColumnId()),
                         names.modelName(mapping->targetModelId()),
                         names.tableName(mapping->targetTableId()),
                         names.columnName(mapping->targetTableId(), mapping->targetColumnId())};
            const QString name = composeMappingName(row.texts.at(1), row.texts.at(2), row.texts.at(4), row.texts.at(5));
            if (!name.isEmpty() && name != mapping->name()) {
                mapping->setName(name);
                mappingsChangedDuringRefresh = true;
            }
            rows.append(row);
        }
    }
    // Thousands of mappings make thousands of cells: while the list holds
    // the same mappings in the same order, only the texts that differ are
    // set again (what was typed and refused, names that changed).
    if (project && updateMappingTexts(rows))
        return;

    const DetailsGridModel::Rebuild rebuild(mappingsModel, headers);
    if (!project)
        return;
    for (const MappingRow& row : std::as_const(rows))
        mappingsModel->appendRow(mappingCells(row));
    QList<QStandardItem*> empty;
    for (int column = 0; column < mappingColumnCount; ++column)
        empty.append(makeItem(QString(), true));
    mappingsModel->appendRow(empty);
}

QList<QStandardItem*> TableDetailsController::mappingCells(const MappingRow& row)
{
    QList<QStandardItem*> cells;
    cells.reserve(mappingColumnCount);
    for (const QString& text : row.texts)
        cells.append(makeItem(text, true));
    cells.first()->setData(row.id, IdRole);
    cells.first()->setData(row.owner, OwnerRole);
    return cells;
}

bool TableDetailsController::updateMappingTexts(const QList<MappingRow>& rows)
{
    const int count = static_cast<int>(rows.size());
    // One mapping added or removed: that one row is put in or taken out,
    // and the comparison below decides whether the rest still fits.
    const int shown = mappingsModel->rowCount() - 1;
    if (mappingsModel->columnCount() == mappingColumnCount && shown >= 0 && std::abs(shown - count) == 1) {
        const int common = std::min(shown, count);
        int r = 0;
        for (; r < common; ++r) {
            const QStandardItem* first = mappingsModel->item(r, 0);
            if (!first || first->data(IdRole).toString() != rows.at(r).id
                || first->data(OwnerRole).toString() != rows.at(r).owner)
                break;
        }
        if (shown > count)
            mappingsModel->removeRow(r);
        else
            mappingsModel->insertRow(r, mappingCells(rows.at(r)));
    }
    if (mappingsModel->columnCount() != mappingColumnCount || mappingsModel->rowCount() != count + 1)
        return false;
    for (int r = 0; r <= count; ++r) {
        const QStandardItem* first = mappingsModel->item(r, 0);
        const QString id = r < count ? rows.at(r).id : QString();
        const QString owner = r < count ? rows.at(r).owner : QString();
        if (!first || first->data(IdRole).toString() != id || first->data(OwnerRole).toString() != owner)
            return false;
        for (int column = 1; column < mappingColumnCount; ++column) {
            if (!mappingsModel->item(r, column))
                return false;
        }
    }
    for (int r = 0; r <= count; ++r) {
        for (int column = 0; column < mappingColumnCount; ++column) {
            QStandardItem* cell = mappingsModel->item(r, column);
            const QString text = r < count ? rows.at(r).texts.at(column) : QString();
            if (cell->text() != text)
                cell->setText(text);
        }
    }
    return true;
}

void TableDetailsController::onMappingItemChanged(QStandardItem* item)
{
    if (updating || !item || !project)
        return;
    if (MappingItem* mapping = mappingAt(item->row())) {
        applyMappingRow(mapping, item->row(), item->column());
        scheduleRefresh();
        return;
    }
    // The empty last row keeps what is typed until all six cells resolve.
    if (createMappingFromRow(item->row()))
        scheduleRefresh();
}

bool TableDetailsController::applyMappingRow(MappingItem* mapping, int row, int column)
{
    if (!isKnownMapping(mapping) || column < 0 || column >= mappingColumnCount)
        return false;
    const bool target = column >= 3;
    const int first = target ? 3 : 0;
    const QString modelName = cellText(mappingsModel, row, first);
    const QString tableName = cellText(mappingsModel, row, first + 1);
    const QString columnName = cellText(mappingsModel, row, first + 2);
    const MappingEnd stored = endOf(mapping, target);

    MappingEnd end;
    const MappingEndpoint resolved = resolveMappingEndpoint(project, modelName, tableName, columnName);
    if (resolved.found) {
        end = {resolved.modelId, resolved.tableId, resolved.columnId};
    } else {
        // A complete end changes only to another complete one. An end not
        // yet complete (a mapping made by the add button) is filled level by
        // level: the model, then its table, then the column.
        if (stored.isComplete())
            return false;
        const ModelItem* owner = project->modelByName(modelName.trimmed());
        if (!owner)
            return false;
        const TableItem* table = findTableByName(owner, tableName.trimmed());
        end = {owner->id(), table ? table->id() : QString(), QString()};
    }
    if (end == stored)
        return false;
    setEnd(mapping, target, end);
    return true;
}

bool TableDetailsController::createMappingFromRow(int row)
{
    if (!project)
        return false;
    for (int column = 0; column < mappingColumnCount; ++column) {
        if (cellText(mappingsModel, row, column).trimmed().isEmpty())
            return false;
    }
    const MappingEndpoint source = resolveMappingEndpoint(project, cellText(mappingsModel, row, 0),
                                                          cellText(mappingsModel, row, 1),
                                                          cellText(mappingsModel, row, 2));
    const MappingEndpoint target = resolveMappingEndpoint(project, cellText(mappingsModel, row, 3),
                                                          cellText(mappingsModel, row, 4),
                                                          cellText(mappingsModel, row, 5));
    if (!source.found || !target.found)
        return false;
    MappingItem* mapping = project->addMapping();
    setEnd(mapping, false, {source.modelId, source.tableId, source.columnId});
    setEnd(mapping, true, {target.modelId, target.tableId, target.columnId});
    pendingMappingId = mapping->id();
    return true;
}

bool TableDetailsController::isKnownMapping(const MappingItem* mapping) const
{
    if (!mapping || !project)
        return false;
    const QList<MappingItem*> mappings = allMappings(project);
    return std::any_of(mappings.cbegin(), mappings.cend(), [mapping](const MappingItem* known) {
        return known == mapping;
    });
}
