// MainWindow: the selection, copied between the explorer and the canvas.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "details/tabledetailscontroller.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "edges/edgeitem.h"
#include "explorer/explorerfilterproxy.h"
#include "explorer/explorerkinds.h"
#include "model/projectitem.h"

#include <QItemSelection>
#include <QStandardItem>
#include <QTreeView>

#include <algorithm>
#include <utility>

namespace {

// The explorer row (kind, id) that a selected scene item stands for: "table"
// or "view" for an entity, "relationship" for an edge, nothing otherwise.
std::pair<QString, QString> explorerRowOfSceneItem(const QGraphicsItem* item)
{
    switch (item->type()) {
    case DiagramItemType::Entity: {
        const auto* entity = static_cast<const EntityItem*>(item);
        return {entity->kind() == EntityItem::ViewKind ? ExplorerKind::View : ExplorerKind::Table,
                entity->id()};
    }
    case DiagramItemType::Edge: {
        const auto* edge = dynamic_cast<const EdgeItem*>(item);
        if (!edge)
            return {};
        return {ExplorerKind::Relationship, edge->id()};
    }
    default:
        return {};
    }
}

// The rows as few selection ranges: neighbouring rows of one parent make
// one range. A selection of many single rows costs the selection model time
// quadratic in their number.
QItemSelection rowRanges(QModelIndexList indexes)
{
    std::sort(indexes.begin(), indexes.end(), [](const QModelIndex& a, const QModelIndex& b) {
        if (a.parent() != b.parent())
            return a.parent() < b.parent();
        return a.row() < b.row();
    });
    QItemSelection ranges;
    for (qsizetype i = 0; i < indexes.size();) {
        qsizetype last = i;
        while (last + 1 < indexes.size() && indexes.at(last + 1).parent() == indexes.at(i).parent()
               && indexes.at(last + 1).row() <= indexes.at(last).row() + 1)
            ++last;
        ranges.select(indexes.at(i), indexes.at(last));
        i = last + 1;
    }
    return ranges;
}

} // namespace

EntityItem* MainWindow::selectedEntity() const
{
    if (!scene)
        return nullptr;
    const QList<QGraphicsItem*> selected = scene->selectedItems();
    for (QGraphicsItem* item : selected) {
        if (item->type() == DiagramItemType::Entity)
            return static_cast<EntityItem*>(item);
    }
    return nullptr;
}

void MainWindow::onSceneSelectionChanged()
{
    const bool clearing = scene && scene->isClearing();
    if (suppressModelSync || clearing) {
        currentEntity = nullptr;
        return;
    }
    currentEntity = selectedEntity();
    if (!syncingSelection)
        syncTreeSelectionFromScene();
    refreshTableDetails();
}

void MainWindow::selectExplorerItem(const QString& kind, const QString& id)
{
    QStandardItem* row = findTreeItem(kind, id);
    QTreeView* tree = ui->treeViewProject;
    if (!row || !tree || !treeProxy)
        return;
    const QModelIndex viewIndex = treeProxy->mapFromSource(row->index());
    if (!viewIndex.isValid())
        return;  // filtered out
    tree->setCurrentIndex(viewIndex);
    tree->scrollTo(viewIndex, QAbstractItemView::EnsureVisible);
}

void MainWindow::onProjectTreeSelectionChanged()
{
    if (syncingSelection || suppressModelSync || !project || !scene || scene->isClearing())
        return;

    QSet<QString> tableIds;
    QSet<QString> viewIds;
    QSet<QString> relationshipIds;
    QString diagramId;
    QString modelId;
    if (QItemSelectionModel* selection = ui->treeViewProject ? ui->treeViewProject->selectionModel() : nullptr) {
        const QModelIndexList rows = selection->selectedRows(0);
        for (const QModelIndex& row : rows) {
            const QString kind = row.data(ExplorerKind::KindRole).toString();
            const QString id = row.data(ExplorerKind::IdRole).toString();
            if (kind == ExplorerKind::Table)
                tableIds.insert(id);
            else if (kind == ExplorerKind::View)
                viewIds.insert(id);
            else if (kind == ExplorerKind::Relationship)
                relationshipIds.insert(id);
            else if (kind == ExplorerKind::Diagram)
                diagramId = id;
            else if (kind == ExplorerKind::Model)
                modelId = id;
        }
    }

    if (!diagramId.isEmpty()) {
        DiagramItem* diagram = project->findDiagram(diagramId);
        if (diagram && diagram != currentDiagram)
            loadDiagramItem(diagram);
        return;
    }
    if (ModelItem* model = modelId.isEmpty() ? nullptr : project->model(modelId)) {
        // Loading may have rebuilt the scene; the copy below works on it.
        switchToModel(model);
    }

    const bool wasSyncing = std::exchange(syncingSelection, true);
    const bool wereBlocked = scene->blockSignals(true);
    const QList<QGraphicsItem*> items = scene->items();
    for (QGraphicsItem* item : items) {
        if (item->parentItem())
            continue;
        bool wanted = item->isSelected();
        switch (item->type()) {
        case DiagramItemType::Entity: {
            const auto* entity = static_cast<const EntityItem*>(item);
            wanted = entity->kind() == EntityItem::ViewKind ? viewIds.contains(entity->id())
                                                             : tableIds.contains(entity->id());
            break;
        }
        case DiagramItemType::Edge: {
            const auto* edge = dynamic_cast<const EdgeItem*>(item);
            if (!edge || !edge->fromEntity() || !edge->toEntity() || !edge->fromEntity()->scene()
                || !edge->toEntity()->scene())
                continue;  // an edge missing an end is left alone
            wanted = relationshipIds.contains(edge->id());
            break;
        }
        case DiagramItemType::Text:
        case DiagramItemType::Group:
            wanted = false;
            break;
        default:
            continue;
        }
        if (item->isSelected() != wanted)
            item->setSelected(wanted);
    }
    syncingSelection = wasSyncing;
    currentEntity = selectedEntity();
    refreshTableDetails();
    scene->blockSignals(wereBlocked);
}

void MainWindow::syncTreeSelectionFromScene()
{
    if (syncingSelection || suppressModelSync || !treeModel || !treeProxy || !ui->treeViewProject || !scene
        || scene->isClearing())
        return;
    QTreeView* tree = ui->treeViewProject;
    QItemSelectionModel* selectionModel = tree->selectionModel();
    if (!selectionModel)
        return;

    syncingSelection = true;
    QModelIndex first;
    QModelIndexList indexes;
    const QList<QGraphicsItem*> selected = scene->selectedItems();
    for (const QGraphicsItem* item : selected) {
        const auto [kind, id] = explorerRowOfSceneItem(item);
        if (kind.isEmpty())
            continue;
        QStandardItem* row = findTreeItem(kind, id);
        if (!row)
            continue;
        const QModelIndex viewIndex = treeProxy->mapFromSource(row->index());
        if (!viewIndex.isValid())
            continue;  // filtered out
        indexes.append(viewIndex);
        if (!first.isValid())
            first = viewIndex;
    }
    selectionModel->select(rowRanges(indexes), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (first.isValid())
        tree->scrollTo(first, QAbstractItemView::EnsureVisible);
    syncingSelection = false;
}

void MainWindow::releaseSceneSelection()
{
    currentEntity = nullptr;
    if (detailsController)
        detailsController->clear();
    if (!scene)
        return;
    const bool wasSuppressed = suppressModelSync;
    suppressModelSync = true;
    scene->releaseSelection();
    suppressModelSync = wasSuppressed;
}
