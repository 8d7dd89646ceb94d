#include "explorer/modelpruner.h"

#include "explorer/diagramkeys.h"
#include "model/constraintitem.h"
#include "model/diagramitem.h"
#include "model/indexitem.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QStringList>

namespace {

using namespace DiagramKeys;

// The "fkEdgeId" of a row when it is a string; a row without one, or with
// another type there, belongs to no edge.
bool rowBelongsTo(const QJsonObject& row, const QSet<QString>& edgeIds)
{
    const QJsonValue value = row.value(fkEdgeIdKey);
    return value.isString() && edgeIds.contains(value.toString());
}

// Drops the attribute rows of the removed edges from an entity; false, with
// the entity untouched, when no row goes, so that it is not copied.
bool pruneRows(QJsonObject& entity, const QSet<QString>& edgeIds)
{
    const QJsonValue rowsValue = entity.value(attributesKey);
    const QJsonArray rows = rowsValue.toArray();
    QJsonArray kept;
    bool dropped = false;
    for (const QJsonValue& row : rows) {
        if (rowBelongsTo(row.toObject(), edgeIds)) {
            dropped = true;
            continue;
        }
        kept.append(row);
    }
    // A key that held no array comes back as an empty array, as it would
    // after any rewrite of the rows.
    if (!dropped && rowsValue.isArray())
        return false;
    entity.insert(attributesKey, kept);
    return true;
}

// The mapping's column ends that named the column become empty.
int forgetIn(MappingItem* mapping, const QString& columnId)
{
    if (!mapping)
        return 0;
    bool changed = false;
    if (mapping->sourceColumnId() == columnId) {
        mapping->setSourceColumnId(QString());
        changed = true;
    }
    if (mapping->targetColumnId() == columnId) {
        mapping->setTargetColumnId(QString());
        changed = true;
    }
    return changed ? 1 : 0;
}

// A constraint or index forgets the column itself.
template <typename Item>
int forgetIn(Item* item, const QString& columnId)
{
    return item && item->forgetColumn(columnId) ? 1 : 0;
}

} // namespace

void ModelPruner::pruneDiagramJson(QJsonObject& diagram, const QSet<QString>& entityIds,
                                   const QSet<QString>& edgeIds)
{
    if (diagram.isEmpty() || (entityIds.isEmpty() && edgeIds.isEmpty()))
        return;

    const QJsonArray entities = diagram.value(entitiesKey).toArray();
    QJsonArray keptEntities;
    for (const QJsonValue& value : entities) {
        QJsonObject entity = value.toObject();
        if (entityIds.contains(entity.value(idKey).toString()))
            continue;
        if (!edgeIds.isEmpty() && entity.contains(attributesKey) && pruneRows(entity, edgeIds)) {
            keptEntities.append(entity);
            continue;
        }
        keptEntities.append(value);
    }
    diagram.insert(entitiesKey, keptEntities);

    const QJsonArray edges = diagram.value(edgesKey).toArray();
    QJsonArray keptEdges;
    for (const QJsonValue& value : edges) {
        const QJsonObject edge = value.toObject();
        if (edgeIds.contains(edge.value(idKey).toString()) || entityIds.contains(edge.value(fromKey).toString())
            || entityIds.contains(edge.value(toKey).toString()))
            continue;
        keptEdges.append(value);
    }
    diagram.insert(edgesKey, keptEdges);
}

int ModelPruner::pruneModelDiagrams(ModelItem* model, const DiagramItem* live, const QSet<QString>& entityIds,
                                    const QSet<QString>& edgeIds)
{
    if (!model || (entityIds.isEmpty() && edgeIds.isEmpty()))
        return 0;
    int rewritten = 0;
    const QList<DiagramItem*> diagrams = model->diagrams();
    for (DiagramItem* diagram : diagrams) {
        if (!diagram || diagram == live)
            continue;
        QJsonObject data = diagram->data();
        if (data.isEmpty())
            continue;
        pruneDiagramJson(data, entityIds, edgeIds);
        diagram->setData(data);
        ++rewritten;
    }
    return rewritten;
}

int ModelPruner::forgetColumnReferences(ProjectItem* project, const QString& columnId)
{
    if (!project || columnId.isEmpty())
        return 0;
    int changed = 0;
    const QList<MappingItem*> projectMappings = project->mappings();
    for (MappingItem* mapping : projectMappings)
        changed += forgetIn(mapping, columnId);

    const QList<ModelItem*> models = project->models();
    for (ModelItem* model : models) {
        if (!model)
            continue;
        const QList<MappingItem*> mappings = model->mappings();
        for (MappingItem* mapping : mappings)
            changed += forgetIn(mapping, columnId);
        const QList<TableItem*> tables = model->tables();
        for (TableItem* table : tables) {
            if (!table)
                continue;
            const QList<ConstraintItem*> constraints = table->constraints();
            for (ConstraintItem* constraint : constraints)
                changed += forgetIn(constraint, columnId);
            const QList<IndexItem*> indexes = table->indexes();
            for (IndexItem* index : indexes)
                changed += forgetIn(index, columnId);
        }
    }
    return changed;
}
