#include "explorer/storeddiagrams.h"

#include "explorer/diagramkeys.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QList>

namespace {

using namespace DiagramKeys;

// Callers never ask for an empty id, so an "id" that is no string (read as
// empty) never matches.
QJsonObject findIn(const DiagramItem* diagram, const QString& arrayKey, const QString& id)
{
    const QJsonArray items = diagram->data().value(arrayKey).toArray();
    for (const QJsonValue& value : items) {
        const QJsonObject object = value.toObject();
        if (object.value(idKey).toString() == id)
            return object;
    }
    return QJsonObject();
}

} // namespace

QJsonObject StoredDiagrams::entityJson(const ModelItem* model, const QString& entityId)
{
    if (!model || entityId.isEmpty())
        return QJsonObject();
    const QList<DiagramItem*> diagrams = model->diagrams();
    for (const DiagramItem* diagram : diagrams) {
        if (!diagram)
            continue;
        const QJsonObject found = findIn(diagram, entitiesKey, entityId);
        if (!found.isEmpty())
            return found;
    }
    return QJsonObject();
}

QHash<QString, QJsonObject> StoredDiagrams::entityJsons(const ModelItem* model, const QSet<QString>& entityIds)
{
    QHash<QString, QJsonObject> found;
    if (!model || entityIds.isEmpty())
        return found;
    const QList<DiagramItem*> diagrams = model->diagrams();
    for (const DiagramItem* diagram : diagrams) {
        if (!diagram)
            continue;
        const QJsonArray entities = diagram->data().value(entitiesKey).toArray();
        for (const QJsonValue& value : entities) {
            const QJsonObject object = value.toObject();
            const QString id = object.value(idKey).toString();
            // The first diagram by name that shows it wins.
            if (!id.isEmpty() && entityIds.contains(id) && !found.contains(id))
                found.insert(id, object);
        }
        if (found.size() == entityIds.size())
            break;
    }
    return found;
}

QJsonObject StoredDiagrams::edgeJson(const ModelItem* model, const DiagramItem* current, const QString& edgeId)
{
    if (!model || edgeId.isEmpty())
        return QJsonObject();
    const QList<DiagramItem*> diagrams = model->diagrams();
    for (const DiagramItem* diagram : diagrams) {
        if (!diagram || diagram == current)
            continue;
        const QJsonObject found = findIn(diagram, edgesKey, edgeId);
        if (!found.isEmpty())
            return found;
    }
    if (current && diagrams.contains(current))
        return findIn(current, edgesKey, edgeId);
    return QJsonObject();
}

int StoredDiagrams::renameEntityTitle(ModelItem* model, const QString& entityId, const QString& title)
{
    if (!model || entityId.isEmpty())
        return 0;
    int rewritten = 0;
    const QList<DiagramItem*> diagrams = model->diagrams();
    for (DiagramItem* diagram : diagrams) {
        if (!diagram)
            continue;
        QJsonObject data = diagram->data();
        if (data.isEmpty())
            continue;
        QJsonArray entities = data.value(entitiesKey).toArray();
        bool changed = false;
        for (qsizetype i = 0; i < entities.size(); ++i) {
            const QJsonObject entity = entities.at(i).toObject();
            if (entity.value(idKey).toString() != entityId || entity.value(titleKey).toString() == title)
                continue;
            QJsonObject renamed = entity;
            renamed.insert(titleKey, title);
            entities.replace(i, renamed);
            changed = true;
        }
        if (!changed)
            continue;
        data.insert(entitiesKey, entities);
        diagram->setData(data);
        ++rewritten;
    }
    return rewritten;
}
