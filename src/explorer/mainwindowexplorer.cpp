// MainWindow: the explorer tree, current markers, names and renames, search and
// filter, the add menu and the New commands.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/dialoghooks.h"
#include "details/dialects.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "edges/edgeitem.h"
#include "explorer/explorereditkeyfilter.h"
#include "explorer/explorerfilterproxy.h"
#include "explorer/explorerkinds.h"
#include "explorer/modeladditions.h"
#include "explorer/projecttreeitemdelegate.h"
#include "explorer/projecttreemodel.h"
#include "explorer/tablesync.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSignalBlocker>
#include <QStandardItem>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

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
    if (view) {
        view->setName(trimmed);
    } else {
        table->setName(trimmed);
        TableSync::followTableRename(owner, table, oldName);
    }
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
    else if (kind == ExplorerKind::Table || kind == ExplorerKind::View) {
        applyModelObjectName(kind, id, text);
        // The details pane may show the object under its old name.
        refreshTableDetails();
    }
}

void MainWindow::onExplorerSearchTextChanged(const QString& text)
{
    QTreeView* tree = ui->treeViewProject;
    if (treeProxy && treeProxy->searchText() != text.trimmed()) {
        // Collapsed, the rows are mapped anew in a fraction of the time;
        // everything is expanded again below.
        if (tree)
            tree->collapseAll();
        treeProxy->setSearchText(text);
    }
    if (tree)
        tree->expandAll();
}

void MainWindow::applyExplorerFilter()
{
    QTreeView* tree = ui->treeViewProject;
    if (treeProxy) {
        const QString search = ui->lineEditSearch ? ui->lineEditSearch->text().trimmed() : treeProxy->searchText();
        if (tree && (treeProxy->hiddenKinds() != hiddenKinds || treeProxy->searchText() != search))
            tree->collapseAll();
        treeProxy->setHiddenKinds(hiddenKinds);
        treeProxy->setSearchText(search);
    }
    if (tree)
        tree->expandAll();
    if (ui->toolButtonFilter)
        ui->toolButtonFilter->setChecked(!hiddenKinds.isEmpty());
}

void MainWindow::showExplorerFilterPopup()
{
    QDialog popup(this, Qt::Popup);
    popup.setObjectName(QStringLiteral("explorerFilterPopup"));
    auto* layout = new QVBoxLayout(&popup);
    layout->addWidget(new QLabel(QStringLiteral("Show these items"), &popup));

    QList<QCheckBox*> boxes;
    QStringList kinds;
    for (const auto& [caption, kind] : ExplorerFilterProxy::hideableKinds()) {
        auto* box = new QCheckBox(caption, &popup);
        box->setObjectName(QStringLiteral("checkBoxShow_") + kind);
        box->setChecked(!hiddenKinds.contains(kind));
        layout->addWidget(box);
        boxes.append(box);
        kinds.append(kind);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Reset | QDialogButtonBox::Apply, &popup);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::clicked, &popup, [&](QAbstractButton* button) {
        switch (buttons->buttonRole(button)) {
        case QDialogButtonBox::ResetRole:
            for (QCheckBox* box : std::as_const(boxes))
                box->setChecked(true);
            hiddenKinds.clear();
            // Its change runs the search handler: the search ends too.
            if (ui->lineEditSearch)
                ui->lineEditSearch->clear();
            applyExplorerFilter();
            popup.accept();
            break;
        case QDialogButtonBox::ApplyRole:
            hiddenKinds.clear();
            for (int i = 0; i < boxes.size(); ++i) {
                if (!boxes.at(i)->isChecked())
                    hiddenKinds.insert(kinds.at(i));
            }
            applyExplorerFilter();
            popup.accept();
            break;
        default:
            break;
        }
    });

    popup.adjustSize();
    if (ui->toolButtonFilter)
        popup.move(ui->toolButtonFilter->mapToGlobal(QPoint(0, ui->toolButtonFilter->height())));
    DialogHooks::execDialog(&popup);
    // However it closed (Reset, Apply, Escape or a click elsewhere), the
    // button shows whether anything is hidden; only Apply read the boxes.
    if (ui->toolButtonFilter)
        ui->toolButtonFilter->setChecked(!hiddenKinds.isEmpty());
}

void MainWindow::showExplorerAddMenu()
{
    if (!project)
        createEmptyProject();
    QTreeView* tree = ui->treeViewProject;
    ModelItem* model = tree ? modelForTreeIndex(tree->currentIndex()) : nullptr;
    if (!model)
        model = currentModel;

    QMenu menu(this);
    menu.setObjectName(QStringLiteral("explorerAddMenu"));
    QAction* addModel = menu.addAction(QStringLiteral("Model"));
    QAction* addDiagram = menu.addAction(QStringLiteral("Diagram"));
    QAction* addTable = menu.addAction(QStringLiteral("Table"));
    QAction* addView = menu.addAction(QStringLiteral("View"));
    QAction* addRelationship = menu.addAction(QStringLiteral("Relationship"));
    addDiagram->setEnabled(model != nullptr);
    addTable->setEnabled(model != nullptr);
    addView->setEnabled(model != nullptr);
    addRelationship->setEnabled(model && !model->tables().isEmpty());

    QPoint at;
    if (ui->toolButtonAdd)
        at = ui->toolButtonAdd->mapToGlobal(QPoint(0, ui->toolButtonAdd->height()));
    // The model is held by guard: it may go while the menu is open.
    const QPointer<ModelItem> target = model;
    QAction* chosen = DialogHooks::execMenu(&menu, at);
    if (!chosen || !chosen->isEnabled())
        return;
    if (chosen == addModel)
        addExplorerModel();
    else if (chosen == addDiagram)
        addExplorerDiagram(target);
    else if (chosen == addTable)
        addExplorerTable(target);
    else if (chosen == addView)
        addExplorerView(target);
    else if (chosen == addRelationship)
        addExplorerRelationship(target);
}

QString MainWindow::uniqueModelName() const
{
    return project ? project->uniqueModelName() : QStringLiteral("Model 1");
}

QString MainWindow::uniqueDiagramName(ModelItem* model) const
{
    return model ? model->uniqueDiagramName() : QStringLiteral("Diagram 1");
}

void MainWindow::addExplorerModel()
{
    if (!project) {
        project = new ProjectItem(this);
        project->setName(QStringLiteral("Untitled Project"));
    }
    const QString comboDialect = dialectCombo ? dialectCombo->currentText() : QString();
    const QString name = uniqueModelName();
    ModelItem* model = project->addModel();
    model->setName(name);
    model->setDialect(comboDialect.isEmpty() ? QStringLiteral("Conceptual ER") : comboDialect);
    DiagramItem* diagram = model->addDiagram();
    diagram->setName(QStringLiteral("Diagram 1"));
    loadDiagramItem(diagram);
    rebuildProjectTree();
    selectExplorerItem(ExplorerKind::Model, model->id());
}

void MainWindow::addExplorerDiagram(ModelItem* model)
{
    if (!model)
        return;
    const QString name = uniqueDiagramName(model);
    DiagramItem* diagram = model->addDiagram();
    diagram->setName(name);
    loadDiagramItem(diagram);
    rebuildProjectTree();
    selectExplorerItem(ExplorerKind::Diagram, diagram->id());
}

void MainWindow::addExplorerTable(ModelItem* model)
{
    TableItem* table = ModelAdditions::addTable(model);
    if (!table)
        return;
    rebuildProjectTree();
    selectExplorerItem(ExplorerKind::Table, table->id());
}

void MainWindow::addExplorerView(ModelItem* model)
{
    ViewItem* view = ModelAdditions::addView(model);
    if (!view)
        return;
    rebuildProjectTree();
    selectExplorerItem(ExplorerKind::View, view->id());
}

void MainWindow::addExplorerRelationship(ModelItem* model)
{
    if (!model)
        return;
    const QList<TableItem*> tables = model->tables();
    if (tables.isEmpty())
        return;
    const QPointer<ModelItem> guard = model;

    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("addRelationshipDialog"));
    dialog.setWindowTitle(QStringLiteral("Add relationship"));
    auto* form = new QFormLayout(&dialog);
    auto* parentCombo = new QComboBox(&dialog);
    parentCombo->setObjectName(QStringLiteral("comboParentTable"));
    auto* childCombo = new QComboBox(&dialog);
    childCombo->setObjectName(QStringLiteral("comboChildTable"));
    for (const TableItem* table : tables) {
        const QString text = table->name().isEmpty() ? QStringLiteral("Table") : table->name();
        parentCombo->addItem(text, table->id());
        childCombo->addItem(text, table->id());
    }
    parentCombo->setCurrentIndex(0);
    childCombo->setCurrentIndex(tables.size() >= 2 ? 1 : 0);
    form->addRow(QStringLiteral("Parent table"), parentCombo);
    form->addRow(QStringLiteral("Child table"), childCombo);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);

    if (DialogHooks::execDialog(&dialog) != QDialog::Accepted || !guard)
        return;
    TableItem* parent = model->table(parentCombo->currentData().toString());
    TableItem* child = model->table(childCombo->currentData().toString());
    if (!parent || !child)
        return;

    // Canvas road: both tables are drawn on the live diagram, so the edge is
    // drawn and reaches the model as any edge does.
    if (model == currentModel && scene) {
        EntityItem* parentEntity = findEntityOnScene(parent->id());
        EntityItem* childEntity = findEntityOnScene(child->id());
        if (parentEntity && childEntity) {
            EdgeItem* edge = scene->createEdge(parentEntity, childEntity, true);
            if (edge) {
                captureCurrentDiagram();
                rebuildProjectTree();
                selectExplorerItem(ExplorerKind::Relationship, edge->id());
            }
            return;
        }
    }

    // Model road.
    RelationshipItem* relationship = ModelAdditions::addRelationship(model, parent, child);
    if (!relationship)
        return;
    if (model == currentModel) {
        if (EntityItem* entity = findEntityOnScene(child->id())) {
            const ConstraintItem* foreignKey = child->constraint(relationship->constraintId());
            bool marked = false;
            for (const QString& columnId : foreignKey ? foreignKey->columns() : QStringList()) {
                const ColumnItem* column = child->column(columnId);
                if (!column)
                    continue;
                int row = -1;
                for (int i = 0; i < entity->attributeCount(); ++i) {
                    if (entity->attributeName(i).compare(column->name(), Qt::CaseInsensitive) == 0) {
                        row = i;
                        break;
                    }
                }
                if (row < 0) {
                    entity->addAttribute(column->name(), column->displayType());
                    row = entity->attributeCount() - 1;
                }
                entity->markAttributeForeignKey(row, relationship->id());
                marked = true;
            }
            if (marked)
                captureCurrentDiagram();
        }
    }
    rebuildProjectTree();
    selectExplorerItem(ExplorerKind::Relationship, relationship->id());
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
    // The project it replaces may hold unsaved changes; the fresh one counts
    // as saved once it stands.
    if (!maybeSaveChanges())
        return;
    auto* erScene = qobject_cast<ERScene*>(ui->view->scene());
    if (!erScene)
        return;
    const bool wasSuppressed = std::exchange(suppressModelSync, true);
    releaseSceneSelection();
    erScene->clearScene();
    erScene->setCurrentFilePath(QString());
    erScene->setDialect(QStringLiteral("Conceptual ER"));
    setFilePathDisplay(QString());
    if (dialectCombo)
        dialectCombo->setCurrentIndex(0);
    createEmptyProject();
    rebuildProjectTree();
    suppressModelSync = wasSuppressed;
    refreshTableDetails();
    ui->view->setFocus(Qt::OtherFocusReason);
    markDocumentSaved();
}

void MainWindow::on_action_New_Model_triggered()
{
    if (!scene)
        return;
    if (!project) {
        project = new ProjectItem(this);
        project->setName(QStringLiteral("Untitled Project"));
    } else {
        captureCurrentDiagram();
    }
    const QString conceptual = QStringLiteral("Conceptual ER");
    const QString modelName = uniqueModelName();
    ModelItem* model = project->addModel();
    model->setName(modelName);
    model->setDialect(conceptual);
    const QString diagramName = uniqueDiagramName(model);
    DiagramItem* diagram = model->addDiagram();
    diagram->setName(diagramName);

    const bool wasSuppressed = std::exchange(suppressModelSync, true);
    releaseSceneSelection();
    scene->clearScene();
    scene->setDialect(conceptual);
    diagram->setData(scene->toJson());
    currentDiagram = diagram;
    currentModel = model;
    if (dialectCombo) {
        const QSignalBlocker blocker(dialectCombo);
        dialectCombo->setCurrentText(conceptual);
    }
    rebuildProjectTree();
    suppressModelSync = wasSuppressed;
    refreshTableDetails();
    ui->view->setFocus(Qt::OtherFocusReason);
}

void MainWindow::on_action_New_Diagram_triggered()
{
    if (!scene)
        return;
    if (!project)
        createEmptyProject();
    if (!currentModel) {
        const QList<ModelItem*> models = project->models();
        currentModel = models.isEmpty() ? project->addModel() : models.first();
        if (currentModel->name().isEmpty())
            currentModel->setName(QStringLiteral("Model 1"));
    }
    captureCurrentDiagram();
    const QString name = uniqueDiagramName(currentModel);
    DiagramItem* diagram = currentModel->addDiagram();
    diagram->setName(name);

    const bool wasSuppressed = std::exchange(suppressModelSync, true);
    releaseSceneSelection();
    scene->clearScene();
    diagram->setData(scene->toJson());
    currentDiagram = diagram;
    rebuildProjectTree();
    suppressModelSync = wasSuppressed;
    refreshTableDetails();
    ui->view->setFocus(Qt::OtherFocusReason);
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
