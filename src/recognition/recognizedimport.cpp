#include "recognition/recognizedimport.h"

#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "edges/edgeitem.h"
#include "edges/edgepaths.h"
#include "model/filelimits.h"
#include "recognition/attributelines.h"
#include "recognition/diagramrecognition.h"

#include <QJsonArray>
#include <QSet>

#include <algorithm>

bool importRecognizedDiagram(ERScene* scene, const QString& path, QString* error, const QStringList& families,
                             QString* statusLine)
{
    if (!scene) {
        if (error)
            *error = QStringLiteral("No scene available.");
        return false;
    }
    // Reading a large picture takes seconds; behind the busy indicator, it
    // turns meanwhile.
    const RecognizedDiagram diagram = recognizeDiagram(path, error, families);
    if (diagram.entities.isEmpty()) {
        if (error && error->isEmpty())
            *error = QStringLiteral("No ER entities were recognized in the image.");
        return false;
    }
    // What Open would refuse is not brought in either.
    filelimits::Counts found;
    found.entities = diagram.entities.size();
    found.edges = diagram.links.size();
    for (const RecognizedEntity& entity : diagram.entities) {
        found.largestEntityRows = std::max<qint64>(found.largestEntityRows, entity.attributes.size());
        found.rows += entity.attributes.size();
    }
    const QString excess = filelimits::excessText(found);
    if (!excess.isEmpty()) {
        if (error)
            *error = excess;
        return false;
    }
    // Boxes that hold nothing readable would only bring invented tables.
    const QString refusal = notADiagramReason(diagram);
    if (!refusal.isEmpty()) {
        if (error && error->isEmpty())
            *error = refusal;
        return false;
    }

    RecognitionCounts counts = countRecognized(diagram);
    counts.relationships = loadRecognizedDiagram(scene, diagram);
    if (statusLine)
        *statusLine = recognitionStatusLine(counts);
    return true;
}

int loadRecognizedDiagram(ERScene* scene, const RecognizedDiagram& diagram)
{
    const QJsonObject json = buildErJson(diagram);
    scene->loadFromJson(json);

    QHash<QString, EntityItem*> byId;
    for (EntityItem* entity : scene->entityItems()) {
        if (!byId.contains(entity->id()))
            byId.insert(entity->id(), entity);
    }
    QList<EntityItem*> mapped;
    for (const QJsonValue& value : json.value(QStringLiteral("entities")).toArray())
        mapped.append(byId.value(value.toObject().value(QStringLiteral("id")).toString()));

    QSet<QPair<EntityItem*, EntityItem*>> connected;
    for (const RecognizedLink& link : diagram.links) {
        if (link.from < 0 || link.to < 0 || link.from >= mapped.size() || link.to >= mapped.size())
            continue;
        EntityItem* a = mapped.at(link.from);
        EntityItem* b = mapped.at(link.to);
        if (!a || !b || a == b || connected.contains(qMakePair(a, b)) || connected.contains(qMakePair(b, a)))
            continue;
        const bool createFKs = link.to < diagram.entities.size() && diagram.entities.at(link.to).attributesSynthesized;
        EdgeItem* edge = scene->createEdge(a, b, createFKs);
        if (!edge)
            continue;
        if (!createFKs) {
            const QList<QPair<QString, QString>> keys = a->primaryKeyAttributes();
            double best = 0.0;
            int bestRow = -1;
            for (int row = 0; row < b->attributeCount(); ++row) {
                if (!b->attributeFkEdgeId(row).isEmpty())
                    continue;
                const double score = foreignKeyMatchScore(b->attributeName(row), a->title(), keys);
                if (score > best) {
                    best = score;
                    bestRow = row;
                }
            }
            if (best >= 8.0 && bestRow >= 0)
                b->markAttributeForeignKey(bestRow, edge->id());
        }
        edge->setStartCard(CardinalityOne);
        edge->setEndCard(CardinalityMany);
        edge->updatePath();
        connected.insert(qMakePair(a, b));
    }
    return int(connected.size());
}
