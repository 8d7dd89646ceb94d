// MainWindow: the explorer tree, current markers, names and renames, search and
// filter, the add menu and the New commands.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "details/dialects.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "explorer/explorereditkeyfilter.h"
#include "explorer/explorerfilterproxy.h"
#include "explorer/explorerkinds.h"
#include "explorer/projecttreeitemdelegate.h"
#include "explorer/projecttreemodel.h"
#include "explorer/tablesync.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStandardItem>
#include <QToolButton>
#include <QTreeView>

#include <utility>

namespace {

void setTextIfDifferent(QLineEdit* edit, const QString& text)
{
    // Setting the same text again would move the cursor and drop the undo
    // history for nothing.
    if (edit->text() != text)
        edit->setText(text);
}

QString modelRowText(const ModelItem* model)
{
    return model->name().isEmpty() ? QStringLiteral("Model") : model->name();
}

QString diagramRowText(const DiagramItem* diagram)
{
    return diagram->name().isEmpty() ? QStringLiteral("Diagram") : diagram->name();
}

} // namespace

void MainWindow::initializeTreeModel()
{
    treeModel = new ProjectTreeModel(this);
    treeModel->setColumnCount(1);

    treeProxy = new ExplorerFilterProxy(this);
    treeProxy->setRecursiveFilteringEnabled(true);
    treeProxy->setDynamicSortFilter(true);
    treeProxy->setSourceModel(treeModel);

    QTreeView* tree = ui->treeViewProject;
    if (!tree)
        return;
    tree->setModel(treeProxy);
    tree->setItemDelegate(new ProjectTreeItemDelegate(tree));

    tree->setUniformRowHeights(true);
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree->setSortingEnabled(false);
    tree->setDragEnabled(true);
    tree->setAcceptDrops(false);
    tree->setDropIndicatorShown(false);
    tree->setDragDropMode(QAbstractItemView::DragOnly);
    tree->setDefaultDropAction(Qt::CopyAction);
    tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    // F2 is also the window's shortcut for editing a canvas row; on an
    // editable explorer row it renames the row instead.
    new ExplorerEditKeyFilter(tree);
    // For every column, so that the column a rebuild makes anew keeps it.
    if (QHeaderView* header = tree->header())
        header->setSectionResizeMode(QHeaderView::ResizeToContents);

    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::onProjectTreeSelectionChanged);
    connect(treeModel, &QStandardItemModel::itemChanged, this, &MainWindow::onProjectTreeItemChanged);
    connect(ui->lineEditSearch, &QLineEdit::textChanged, this, &MainWindow::onExplorerSearchTextChanged);
    connect(ui->toolButtonFilter, &QToolButton::clicked, this, &MainWindow::showExplorerFilterPopup);
    connect(ui->toolButtonAdd, &QToolButton::clicked, this, &MainWindow::showExplorerAddMenu);
    connect(ui->toolButtonDel, &QToolButton::clicked, this, &MainWindow::removeExplorerSelection);

    // Shows as checked while the filter hides any kind of object.
    ui->toolButtonFilter->setCheckable(true);
}

QStandardItem* MainWindow::makeTreeItem(const QString& text, const QString& kind, const QString& id, bool editable)
{
    return ProjectTreeModel::makeItem(text, kind, id, editable);
}

void MainWindow::rebuildProjectTree()
{
    if (!treeModel || !ui->treeViewProject)
        return;

    const bool wasSyncing = std::exchange(syncingSelection, true);
    if (!project) {
        treeModel->rebuild(nullptr, nullptr, nullptr);
        syncingSelection = wasSyncing;
        refreshNameEditors();
        return;
    }

    const bool wasUpdating = std::exchange(updatingTree, true);
    treeModel->rebuild(project, currentModel, currentDiagram);
    ui->treeViewProject->expandAll();
    updatingTree = wasUpdating;
    syncingSelection = wasSyncing;

    refreshNameEditors();
    if (!syncingSelection)
        syncTreeSelectionFromScene();
    refreshTableDetails();
}

void MainWindow::updateTreeCurrentMarkers()
{
    if (!treeModel)
        return;
    const bool wasUpdating = std::exchange(updatingTree, true);
    treeModel->updateCurrentMarkers(currentModel, currentDiagram);
    updatingTree = wasUpdating;
}

QStandardItem* MainWindow::findTreeItem(QStandardItem* parent, const QString& kind, const QString& id) const
{
    if (!treeModel)
        return ProjectTreeModel::findItemByWalk(parent, kind, id);
    return treeModel->findItem(parent, kind, id);
}

QStandardItem* MainWindow::findTreeItem(const QString& kind, const QString& id) const
{
    return treeModel ? treeModel->findItem(kind, id) : nullptr;
}

ModelItem* MainWindow::modelForTreeIndex(const QModelIndex& index) const
{
    if (!project)
        return nullptr;
    QModelIndex row = index;
    if (treeProxy && row.model() == treeProxy)
        row = treeProxy->mapToSource(row);
    for (; row.isValid(); row = row.parent()) {
        if (row.data(ExplorerKind::KindRole).toString() == ExplorerKind::Model)
            return project->model(row.data(ExplorerKind::IdRole).toString());
    }
    return currentModel;
}

void MainWindow::updateTreeItemText(const QString& kind, const QString& id, const QString& text)
{
    QStandardItem* row = findTreeItem(kind, id);
    if (!row || row->text() == text)
        return;
    const bool wasUpdating = std::exchange(updatingTree, true);
    row->setText(text);
    updatingTree = wasUpdating;
}

void MainWindow::refreshNameEditors()
{
    if (!projectNameEdit || !modelNameEdit || !diagramNameEdit)
        return;
    {
        const QSignalBlocker blockProject(projectNameEdit);
        const QSignalBlocker blockModel(modelNameEdit);
        const QSignalBlocker blockDiagram(diagramNameEdit);
        setTextIfDifferent(projectNameEdit, project ? project->name() : QString());
        setTextIfDifferent(modelNameEdit, currentModel ? currentModel->name() : QString());
        modelNameEdit->setEnabled(currentModel != nullptr);
        setTextIfDifferent(diagramNameEdit, currentDiagram ? currentDiagram->name() : QString());
        diagramNameEdit->setEnabled(currentDiagram != nullptr);
    }
    if (!dialectCombo)
        return;
    const QSignalBlocker blockDialect(dialectCombo);
    dialectCombo->setEnabled(currentModel != nullptr);
    if (!currentModel || currentModel->dialect().isEmpty())
        return;
    const QString dialect = currentModel->dialect();
    int entry = dialectCombo->findText(dialect);
    // A dialect stored under an alias ("postgresql") still shows as its
    // entry rather than leaving the previous model's dialect on display.
    if (entry < 0)
        entry = dialectCombo->findText(normalizeDialect(dialect));
    if (entry >= 0)
        dialectCombo->setCurrentIndex(entry);
    else
        dialectCombo->setCurrentText(dialect);
}

template <typename Item>
void MainWindow::applyContainerName(Item* item, const QString& kind, const QString& name,
                                    const QString& storedRowText)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed == item->name()) {
        // Refused or unchanged: the edit and the row show the stored name
        // again (a padded entry must not stay on the row either).
        refreshNameEditors();
        updateTreeItemText(kind, item->id(), storedRowText);
        return;
    }
    updatingTree = true;
    item->setName(trimmed);
    updateTreeItemText(kind, item->id(), trimmed);
    refreshNameEditors();
    updatingTree = false;
}

void MainWindow::applyProjectName(const QString& name)
{
    if (updatingTree || !project)
        return;
    applyContainerName(project, ExplorerKind::Project, name, project->name());
}

void MainWindow::applyModelName(const QString& modelId, const QString& name)
{
    if (updatingTree)
        return;
    // Only an empty id means "the current model": an id that names no model
    // must not rename whichever model happens to be current.
    ModelItem* model = modelId.isEmpty() ? currentModel : (project ? project->model(modelId) : nullptr);
    if (model)
        applyContainerName(model, ExplorerKind::Model, name, modelRowText(model));
}

void MainWindow::applyDiagramName(const QString& diagramId, const QString& name)
{
    if (updatingTree)
        return;
    // As for models: an unknown id renames nothing.
    DiagramItem* diagram =
        diagramId.isEmpty() ? currentDiagram : (project ? project->findDiagram(diagramId) : nullptr);
    if (diagram)
        applyContainerName(diagram, ExplorerKind::Diagram, name, diagramRowText(diagram));
}

void MainWindow::applyModelObjectName(const QString& kind, const QString& id, const QString& name,
                                      EntityItem* sourceEntity)
{
    if (updatingTree || suppressModelSync || id.isEmpty())
        return;
    const bool isView = kind == ExplorerKind::View;
    if (!isView && kind != ExplorerKind::Table)
        return;

    // The table or view of that id, and the model that owns it: the current
    // model first, then the project's models in name order.
    ModelItem* owner = nullptr;
    ViewItem* view = isView ? TableSync::findView(currentModel, project, id, &owner) : nullptr;
    TableItem* table = isView ? nullptr : TableSync::findTable(currentModel, project, id, &owner);
    if (!view && !table && sourceEntity && currentModel) {
        registerEntityInModel(sourceEntity);
        owner = currentModel;
        if (isView)
            view = currentModel->view(id);
        else
            table = currentModel->table(id);
    }
    if (!view && !table)
        return;
    const QString oldName = view ? view->name() : table->name();

    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        updateTreeItemText(kind, id, oldName);
        return;
    }
    EntityItem* entity = sourceEntity ? sourceEntity : findEntityOnScene(id);
    if (trimmed == oldName) {
        if (entity && entity->title() != trimmed) {
            const bool wasUpdating = std::exchange(updatingTree, true);
            entity->setTitle(trimmed);
            updatingTree = wasUpdating;
        }
        updateTreeItemText(kind, id, trimmed);
        return;
    }
    const bool wasUpdating = std::exchange(updatingTree, true);
    if (view)
        view->setName(trimmed);
    else
        table->setName(trimmed);
    if (entity && entity->title() != trimmed)
        entity->setTitle(trimmed);
    updateTreeItemText(kind, id, trimmed);
    // The stored copies that show it live in the diagrams of the model that
    // owns it, which need not be the current one.
    renameStoredEntityTitle(id, trimmed, owner);
    updatingTree = wasUpdating;
}

void MainWindow::onProjectTreeItemChanged(QStandardItem* item)
{
    if (updatingTree || syncingSelection || !item)
        return;
    const QString kind = item->data(ExplorerKind::KindRole).toString();
    const QString id = item->data(ExplorerKind::IdRole).toString();
    // The row's own text: for a model the bare name, not "name (dialect)".
    const QString text = item->text();
    if (kind == ExplorerKind::Project)
        applyProjectName(text);
    else if (kind == ExplorerKind::Model)
        applyModelName(id, text);
    else if (kind == ExplorerKind::Diagram)
        applyDiagramName(id, text);
    else if (kind == ExplorerKind::Table || kind == ExplorerKind::View)
        applyModelObjectName(kind, id, text);
}

void MainWindow::onExplorerSearchTextChanged(const QString& text)
{
    Q_UNUSED(text)
    // Narrows the explorer to the rows whose text contains the search text.
}

void MainWindow::showExplorerFilterPopup()
{
    // Lets the user choose which kinds of objects the explorer hides.
}

void MainWindow::showExplorerAddMenu()
{
    // Offers to add a model, diagram, table, view or relationship.
}

void MainWindow::onProjectNameEditingFinished()
{
    if (projectNameEdit)
        applyProjectName(projectNameEdit->text());
}

void MainWindow::onModelNameEditingFinished()
{
    if (modelNameEdit)
        applyModelName(currentModel ? currentModel->id() : QString(), modelNameEdit->text());
}

void MainWindow::onDiagramNameEditingFinished()
{
    if (diagramNameEdit)
        applyDiagramName(currentDiagram ? currentDiagram->id() : QString(), diagramNameEdit->text());
}

void MainWindow::on_action_New_triggered()
{
    // Starts an empty project on an empty canvas.
}

void MainWindow::on_action_New_Model_triggered()
{
    // Adds a model to the project.
}

void MainWindow::on_action_New_Diagram_triggered()
{
    // Adds a diagram to the current model.
}

void MainWindow::onDialectChanged(const QString& dialect)
{
    if (scene)
        scene->setDialect(dialect);
    if (suppressModelSync)
        return;
    if (currentModel)
        currentModel->setDialect(dialect);
    rebuildProjectTree();
}

QString MainWindow::uniqueObjectName(ModelItem* model, const QString& prefix) const
{
    return model ? model->uniqueObjectName(prefix) : prefix + QLatin1Char('1');
}
