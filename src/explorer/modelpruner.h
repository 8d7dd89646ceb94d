#pragma once

#include <QJsonObject>
#include <QSet>
#include <QString>

class DiagramItem;
class ModelItem;
class ProjectItem;

// Clean-up after objects leave a model. A table, view, relationship or column
// is named in more places than the model's own lists: every stored diagram
// of a model keeps its own copy of the diagram JSON, and constraints, indexes
// and mappings refer to columns by id. These functions make those places
// forget it. They never touch the canvas: the live diagram's record is
// always rewritten from the scene, so it is skipped here.
class ModelPruner
{
public:
    // Removes from one diagram JSON object the entities whose "id" is in
    // entityIds, the edges whose "id" is in edgeIds or whose "from" or "to"
    // is in entityIds, and the attribute rows whose "fkEdgeId" is in edgeIds.
    // Every other key and the order of what stays are kept. An empty object,
    // or two empty sets, leave the object untouched; otherwise "entities" and
    // "edges" are always written back (an absent one comes back empty).
    static void pruneDiagramJson(QJsonObject& diagram, const QSet<QString>& entityIds, const QSet<QString>& edgeIds);

    // Runs pruneDiagramJson over the stored content of every diagram of the
    // model except `live` (the diagram on the canvas). Diagrams never stored
    // are left alone. Returns how many records were rewritten.
    static int pruneModelDiagrams(ModelItem* model, const DiagramItem* live, const QSet<QString>& entityIds,
                                  const QSet<QString>& edgeIds);

    // Clears every reference to a removed column in the whole project: the
    // column ends of mappings (project and model level) become empty, and the
    // id leaves the column lists of every constraint and index. A foreign key
    // loses whole pairs: when either its own column or the referenced column
    // at a position is the removed one, both entries at that position go, so
    // the remaining pairs keep their partners. Lists are written back only
    // when they change. Returns how many items changed.
    static int forgetColumnReferences(ProjectItem* project, const QString& columnId);
};
