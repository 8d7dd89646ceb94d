// MainWindow: removing from the explorer and deleting the canvas selection.
#include "app/mainwindow.h"

#include "diagram/entityitem.h"
#include "edges/edgeitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"

#include <utility>

void MainWindow::removeExplorerSelection()
{
    // Removes the selected explorer objects from the model, asking first.
}

void MainWindow::deleteSelection()
{
    // Deletes the selected column, or tables, views and relationships from
    // the diagram or from the model, asking first.
}

void MainWindow::removeLiveEntity(const QString& id)
{
    EntityItem* entity = findEntityOnScene(id);
    if (!entity)
        return;
    if (entity == currentEntity)
        currentEntity = nullptr;
    const bool wasSuppressed = std::exchange(suppressModelSync, true);
    // A self-relation is attached twice; each edge goes once. Each takes its
    // foreign-key rows off the entity at its other end.
    QList<QPointer<EdgeItem>> edges;
    for (EdgeItem* edge : entity->edges()) {
        if (edge && !edges.contains(edge))
            edges.append(edge);
    }
    for (const QPointer<EdgeItem>& edge : std::as_const(edges))
        delete edge.data();
    delete entity;
    suppressModelSync = wasSuppressed;
}

ModelItem* MainWindow::modelOfRelationship(const QString& id) const
{
    if (id.isEmpty())
        return nullptr;
    if (currentModel && currentModel->relationship(id))
        return currentModel;
    if (!project)
        return nullptr;
    for (ModelItem* model : project->models()) {
        if (model && model->relationship(id))
            return model;
    }
    return nullptr;
}

void MainWindow::removeRelationshipFromModel(const QString& id)
{
    // Looked up in the model that holds it: the details pane may show a
    // table of a model that is not the current one.
    ModelItem* owner = modelOfRelationship(id);
    if (!owner)
        return;
    const RelationshipItem* relationship = owner->relationship(id);
    TableItem* child = owner->table(relationship->toTableId());
    if (child && !relationship->constraintId().isEmpty())
        child->removeConstraint(relationship->constraintId());
    owner->removeRelationship(id);
}
