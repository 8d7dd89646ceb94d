// MainWindow: removing from the explorer and deleting the canvas selection.
#include "app/mainwindow.h"

#include "diagram/entityitem.h"
#include "edges/edgeitem.h"

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

void MainWindow::onRelationshipConstraintRemoved(const QString& relationshipId)
{
    Q_UNUSED(relationshipId)
    // Removes the edge of a relationship whose constraint went away.
}
