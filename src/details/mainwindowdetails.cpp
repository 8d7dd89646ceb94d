// MainWindow: the details pane, fed and listened to.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "details/tabledetailscontroller.h"
#include "diagram/entityitem.h"
#include "edges/edgeitem.h"
#include "explorer/explorerkinds.h"
#include "explorer/modelpruner.h"
#include "explorer/tablesync.h"
#include "model/modelitem.h"

#include <QComboBox>
#include <QTreeView>

#include <utility>

void MainWindow::refreshTableDetails()
{
    if (suppressModelSync || !detailsController || detailsController->isUpdating())
        return;
    detailsController->setProject(project);
    detailsController->setDefaultDialect(dialectCombo ? dialectCombo->currentText() : QString());

    if (EntityItem* entity = currentEntity) {
        const QString id = stableEntityId(entity);
        ModelItem* owner = nullptr;
        if (entity->kind() == EntityItem::ViewKind) {
            ViewItem* view = TableSync::findView(currentModel, project, id, &owner);
            if (!view && currentModel) {
                registerEntityInModel(entity);
                view = currentModel->view(id);
                owner = currentModel;
            }
            detailsController->showView(owner, view, entity);
            return;
        }
        syncTableColumnsFromEntity(entity);
        TableItem* table = TableSync::findTable(currentModel, project, id, &owner);
        if (!table && currentModel) {
            registerEntityInModel(entity);
            table = currentModel->table(id);
            owner = currentModel;
        }
        detailsController->showTable(owner, table, entity);
        return;
    }

    QTreeView* tree = ui->treeViewProject;
    if (!tree || !tree->selectionModel()) {
        detailsController->clear();
        return;
    }
    const QModelIndex current = tree->currentIndex();
    const QString kind = current.data(ExplorerKind::KindRole).toString();
    const QString id = current.data(ExplorerKind::IdRole).toString();
    ModelItem* owner = nullptr;
    if (kind == ExplorerKind::Table) {
        EntityItem* entity = findEntityOnScene(id);
        if (entity)
            syncTableColumnsFromEntity(entity);
        TableItem* table = TableSync::findTable(currentModel, project, id, &owner);
        detailsController->showTable(owner, table, entity);
    } else if (kind == ExplorerKind::View) {
        ViewItem* view = TableSync::findView(currentModel, project, id, &owner);
        detailsController->showView(owner, view, findEntityOnScene(id));
    } else {
        detailsController->clear();
    }
}

void MainWindow::onObjectRenameRequested(const QString& kind, const QString& id, const QString& name)
{
    applyModelObjectName(kind, id, name, findEntityOnScene(id));
}

void MainWindow::onMappingsChanged()
{
    if (detailsController && detailsController->isUpdating())
        return;
    rebuildProjectTree();
}

void MainWindow::forgetColumnReferences(const QString& columnId)
{
    ModelPruner::forgetColumnReferences(project, columnId);
}

void MainWindow::onRelationshipConstraintRemoved(const QString& relationshipId)
{
    if (relationshipId.isEmpty())
        return;
    // The relationship lives in the model of the table the pane showed; the
    // canvas is touched only when it shows that model.
    ModelItem* owner = modelOfRelationship(relationshipId);
    const bool onCanvas = !owner || owner == currentModel;
    if (onCanvas) {
        if (EdgeItem* edge = findEdgeOnScene(relationshipId)) {
            // The columns stay on the table, and so do their rows.
            edge->setRemoveFkRowsOnDestroy(false);
            const bool wasSuppressed = std::exchange(suppressModelSync, true);
            delete edge;
            suppressModelSync = wasSuppressed;
        }
    }
    removeRelationshipFromModel(relationshipId);
    if (onCanvas) {
        stripItemsFromOtherDiagrams({}, {relationshipId});
        captureCurrentDiagram();
    } else {
        stripFromModelDiagrams(owner, {}, {relationshipId});
    }
    rebuildProjectTree();
}

void MainWindow::onRelationshipsRemovalRequested(const QStringList& relationshipIds)
{
    for (const QString& id : relationshipIds) {
        // As a removal from the explorer: the edge and its rows leave the
        // canvas, the stored diagrams lose them, and the model loses the
        // relationship, its foreign key and the foreign-key columns.
        if (ModelItem* owner = modelOfRelationship(id))
            removeExplorerRelationship(owner, id);
    }
    rebuildProjectTree();
}
