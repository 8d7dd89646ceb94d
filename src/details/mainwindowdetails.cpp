// MainWindow: the details pane, fed and listened to.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "details/tabledetailscontroller.h"
#include "diagram/entityitem.h"
#include "explorer/explorerkinds.h"
#include "explorer/modelpruner.h"
#include "explorer/tablesync.h"
#include "model/modelitem.h"

#include <QComboBox>
#include <QTreeView>

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
