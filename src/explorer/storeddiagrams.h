#pragma once

#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>

class DiagramItem;
class ModelItem;

// Look-ups and edits in the stored diagram JSON of a model's diagrams (the
// copies kept in the diagram records; only the current diagram is live on
// the canvas, and its record is stale until it is captured again). Ids are
// compared exactly.
class StoredDiagrams
{
public:
    // The first stored entity object with that id, over the model's diagrams
    // in name order; an empty object when there is none.
    static QJsonObject entityJson(const ModelItem* model, const QString& entityId);
    // entityJson of each of these ids (those stored nowhere left out), in
    // one walk over the stored diagrams.
    static QHash<QString, QJsonObject> entityJsons(const ModelItem* model, const QSet<QString>& entityIds);
    // The first stored edge object with that id, looked for in every diagram
    // but `current` first and in `current` only after that, since its copy
    // may be stale.
    static QJsonObject edgeJson(const ModelItem* model, const DiagramItem* current, const QString& edgeId);
    // Sets "title" of every stored entity object of that id, in every diagram
    // of the model (the current one's stale copy included). Returns how many
    // diagram records were rewritten.
    static int renameEntityTitle(ModelItem* model, const QString& entityId, const QString& title);
};
