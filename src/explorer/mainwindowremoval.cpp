// MainWindow: removing from the explorer and deleting the canvas selection.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/dialoghooks.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/groupitem.h"
#include "diagram/singlelinetextitem.h"
#include "diagram/textitem.h"
#include "edges/edgeitem.h"
#include "explorer/explorerfilterproxy.h"
#include "explorer/explorerkinds.h"
#include "explorer/tablesync.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QToolButton>
#include <QTreeView>

#include <utility>

void MainWindow::removeExplorerSelection()
{
    QTreeView* tree = ui->treeViewProject;
    QItemSelectionModel* selection = tree ? tree->selectionModel() : nullptr;
    if (!project || !selection)
        return;

    struct Removal
    {
        QString kind;
        QString id;
        QString modelId;
    };
    QList<Removal> removals;
    QSet<QString> removedModels;
    const QModelIndexList rows = selection->selectedRows(0);
    for (QModelIndex row : rows) {
        if (treeProxy && row.model() == treeProxy)
            row = treeProxy->mapToSource(row);
        const QString kind = row.data(ExplorerKind::KindRole).toString();
        const QString id = row.data(ExplorerKind::IdRole).toString();
        if (id.isEmpty())
            continue;
        if (kind == ExplorerKind::Model) {
            removals.append({kind, id, id});
            removedModels.insert(id);
        } else if (kind == ExplorerKind::Diagram || kind == ExplorerKind::Table || kind == ExplorerKind::View
                   || kind == ExplorerKind::Relationship) {
            const ModelItem* owner = modelForTreeIndex(row);
            removals.append({kind, id, owner ? owner->id() : QString()});
        }
    }
    if (removals.isEmpty())
        return;
    if (DialogHooks::question(this, QStringLiteral("Remove"),
                              QStringLiteral("Remove the selected items from the model?\n"
                                             "Tables and views are also removed from every diagram."),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;

    for (const Removal& removal : std::as_const(removals)) {
        if (removal.kind == ExplorerKind::Model)
            removeExplorerModel(removal.id);
    }
    // Tables and views that follow one another go together: the canvas is
    // stored and the other diagrams are pruned once for all of them.
    ModelItem* batchModel = nullptr;
    QStringList batch;
    const auto flush = [&] {
        removeExplorerEntities(batchModel, batch);
        batch.clear();
        batchModel = nullptr;
    };
    for (const Removal& removal : std::as_const(removals)) {
        if (removal.kind == ExplorerKind::Model || removedModels.contains(removal.modelId) || !project)
            continue;
        ModelItem* model = project->model(removal.modelId);
        if (!model)
            continue;
        const bool entity = removal.kind == ExplorerKind::Table || removal.kind == ExplorerKind::View;
        if (!batch.isEmpty() && (!entity || model != batchModel))
            flush();
        if (entity) {
            batchModel = model;
            batch.append(removal.id);
        } else if (removal.kind == ExplorerKind::Diagram) {
            removeExplorerDiagram(model, removal.id);
        } else {
            removeExplorerRelationship(model, removal.id);
        }
    }
    if (!batch.isEmpty())
        flush();
    rebuildProjectTree();
}

void MainWindow::removeExplorerModel(const QString& id)
{
    if (!project || id.isEmpty())
        return;
    if (!currentModel || currentModel->id() != id) {
        project->removeModel(id);
        return;
    }
    currentEntity = nullptr;
    currentModel = nullptr;
    currentDiagram = nullptr;
    clearCanvasQuietly();
    project->removeModel(id);

    const QList<ModelItem*> models = project->models();
    if (models.isEmpty())
        return;
    ModelItem* next = models.first();
    const QList<DiagramItem*> diagrams = next->diagrams();
    if (!diagrams.isEmpty())
        loadDiagramItem(diagrams.first());
    else
        currentModel = next;
}

void MainWindow::removeExplorerDiagram(ModelItem* model, const QString& id)
{
    if (!model || id.isEmpty())
        return;
    if (!currentDiagram || currentDiagram->id() != id) {
        model->removeDiagram(id);
        return;
    }
    // The live contents go with the diagram; they are not stored first.
    currentDiagram = nullptr;
    model->removeDiagram(id);
    currentEntity = nullptr;
    const QList<DiagramItem*> diagrams = model->diagrams();
    if (!diagrams.isEmpty())
        loadDiagramItem(diagrams.first());
    else
        clearCanvasQuietly();
}

void MainWindow::removeExplorerEntities(ModelItem* model, const QStringList& ids)
{
    if (!model || ids.isEmpty())
        return;
    const QSet<QString> entityIds(ids.cbegin(), ids.cend());
    QStringList relationshipIds;
    for (const RelationshipItem* relationship : model->relationships()) {
        if (entityIds.contains(relationship->fromTableId()) || entityIds.contains(relationship->toTableId()))
            relationshipIds.append(relationship->id());
    }
    if (model == currentModel) {
        for (const QString& id : ids)
            removeLiveEntity(id);
        captureCurrentDiagram();
    }
    stripFromModelDiagrams(model, entityIds, QSet<QString>(relationshipIds.cbegin(), relationshipIds.cend()));
    for (const QString& relationshipId : std::as_const(relationshipIds))
        removeRelationshipAndForeignKey(model, relationshipId);
    for (const QString& id : ids) {
        model->removeTable(id);
        model->removeView(id);
    }
}

void MainWindow::removeExplorerRelationship(ModelItem* model, const QString& id)
{
    if (!model || id.isEmpty())
        return;
    if (model == currentModel) {
        if (EdgeItem* edge = findEdgeOnScene(id)) {
            // Its foreign-key rows leave the child entity with it.
            const bool wasSuppressed = std::exchange(suppressModelSync, true);
            delete edge;
            suppressModelSync = wasSuppressed;
        }
        captureCurrentDiagram();
    }
    stripFromModelDiagrams(model, {}, {id});
    removeRelationshipAndForeignKey(model, id);
}

void MainWindow::removeEntityFromModel(const QString& id)
{
    if (!currentModel || id.isEmpty())
        return;
    for (const QString& relationshipId : relationshipsOfTable(currentModel, id))
        removeRelationshipAndForeignKey(currentModel, relationshipId);
    currentModel->removeTable(id);
    currentModel->removeView(id);
}

QStringList MainWindow::relationshipsOfTable(const ModelItem* model, const QString& tableId)
{
    QStringList ids;
    if (!model)
        return ids;
    for (const RelationshipItem* relationship : model->relationships()) {
        if (relationship->fromTableId() == tableId || relationship->toTableId() == tableId)
            ids.append(relationship->id());
    }
    return ids;
}

void MainWindow::removeRelationshipAndForeignKey(ModelItem* model, const QString& id, bool dropColumns)
{
    const RelationshipItem* relationship = model ? model->relationship(id) : nullptr;
    if (!relationship)
        return;
    // The foreign key lives on the child table; a view or a missing table
    // has none to lose.
    TableItem* child = model->table(relationship->toTableId());
    if (child && !relationship->constraintId().isEmpty()) {
        QStringList columns;
        if (const ConstraintItem* foreignKey = child->constraint(relationship->constraintId()))
            columns = foreignKey->columns();
        child->removeConstraint(relationship->constraintId());
        if (dropColumns) {
            // The rows of these columns leave every diagram with the edge
            // (the stored ones are pruned by "fkEdgeId"); the live child
            // loses them here even when the line is not drawn, so that the
            // canvas and the model agree at once.
            if (model == currentModel) {
                if (EntityItem* entity = findEntityOnScene(child->id())) {
                    const bool wasSuppressed = std::exchange(suppressModelSync, true);
                    entity->removeForeignKeyAttributesOfEdge(id);
                    suppressModelSync = wasSuppressed;
                }
            }
            for (const QString& columnId : std::as_const(columns)) {
                if (columnId.isEmpty() || !child->column(columnId))
                    continue;
                forgetColumnReferences(columnId);
                child->removeColumn(columnId);
            }
        }
    }
    model->removeRelationship(id);
}

void MainWindow::clearCanvasQuietly()
{
    if (!scene)
        return;
    const bool wasSuppressed = std::exchange(suppressModelSync, true);
    releaseSceneSelection();
    scene->clearScene();
    suppressModelSync = wasSuppressed;
}

void MainWindow::deleteWhereFocused()
{
    QWidget* focus = QApplication::focusWidget();
    const auto holds = [focus](const QWidget* widget) {
        return widget && (focus == widget || widget->isAncestorOf(focus));
    };
    if (!focus || focus == this || holds(ui->view)) {
        deleteSelection();
        return;
    }
    // Each grid of the details pane, with its tab's remove button.
    const std::pair<QWidget*, QToolButton*> grids[] = {
        {ui->tableViewColumns, ui->toolButtonRemoveTableColumn},
        {ui->tableViewConstraints, ui->toolButtonRemoveConstraint},
        {ui->tableViewConsColumns, ui->toolButtonRemoveConstraintColumn},
        {ui->tableViewIndexes, ui->toolButtonRemoveIndex},
        {ui->tableViewIndColumns, ui->toolButtonRemoveIndexColumn},
        {ui->treeView, ui->toolButtonRemoveMapping},
    };
    for (const auto& [grid, remove] : grids) {
        if (holds(grid)) {
            if (remove && remove->isEnabled())
                remove->click();
            return;
        }
    }
    if (holds(ui->treeViewProject))
        removeExplorerSelection();
}

namespace {

// The entity a row label belongs to, or none.
EntityItem* rowOwner(QGraphicsItem* focus)
{
    if (!dynamic_cast<SingleLineTextItem*>(focus))
        return nullptr;
    EntityItem* owner = nullptr;
    for (QGraphicsItem* item = focus->parentItem(); item && !owner; item = item->parentItem())
        owner = dynamic_cast<EntityItem*>(item);
    return owner;
}

// What a deletion on the canvas takes away.
struct CanvasDeletion
{
    QSet<EntityItem*> entities;
    QSet<EdgeItem*> edges;
    QSet<TextItem*> texts;
    QSet<GroupItem*> groups;

    // The selected items; a selected child stands for its nearest entity,
    // text or group.
    explicit CanvasDeletion(const QList<QGraphicsItem*>& selected)
    {
        for (QGraphicsItem* item : selected) {
            if (auto* edge = dynamic_cast<EdgeItem*>(item)) {
                edges.insert(edge);
                continue;
            }
            for (QGraphicsItem* at = item; at && !take(at); at = at->parentItem()) {
            }
        }
    }

    bool take(QGraphicsItem* item)
    {
        if (auto* entity = dynamic_cast<EntityItem*>(item)) {
            entities.insert(entity);
            return true;
        }
        if (auto* text = dynamic_cast<TextItem*>(item)) {
            texts.insert(text);
            return true;
        }
        if (auto* group = dynamic_cast<GroupItem*>(item)) {
            groups.insert(group);
            return true;
        }
        return false;
    }

    // The edges of the entities go with them.
    void addEdgesOfEntities()
    {
        for (EntityItem* entity : std::as_const(entities)) {
            for (EdgeItem* edge : entity->edges()) {
                if (edge)
                    edges.insert(edge);
            }
        }
    }

    QStringList entityIds() const
    {
        QStringList ids;
        for (EntityItem* entity : entities) {
            if (!entity->id().isEmpty())
                ids.append(entity->id());
        }
        return ids;
    }

    QStringList edgeIds() const
    {
        QStringList ids;
        for (EdgeItem* edge : edges) {
            if (!edge->id().isEmpty())
                ids.append(edge->id());
        }
        return ids;
    }

    // Edges before the entities they hang on. From the model, the
    // foreign-key rows go with their edges; from the diagram, the entity at
    // an edge's end keeps its rows.
    void deleteItems(bool fromModel)
    {
        for (EdgeItem* edge : std::as_const(edges)) {
            if (!fromModel)
                edge->setRemoveFkRowsOnDestroy(false);
            delete edge;
        }
        for (EntityItem* entity : std::as_const(entities))
            delete entity;
        for (TextItem* text : std::as_const(texts))
            delete text;
        for (GroupItem* group : std::as_const(groups))
            delete group;
    }
};

} // namespace

bool MainWindow::deleteFocusedRow()
{
    QGraphicsItem* focus = scene->focusItem();
    EntityItem* owner = rowOwner(focus);
    if (!owner)
        return false;
    // A column that relationships' foreign keys use takes them with it; the
    // question names them.
    auto* label = static_cast<SingleLineTextItem*>(focus);
    const int row = owner->rowOfLabel(label);
    const QString rowName = row >= 0 ? owner->attributeName(row) : QString();
    ModelItem* model = nullptr;
    const TableItem* table = row >= 0 && owner->kind() == EntityItem::TableKind
        ? TableSync::findTable(currentModel, project, owner->id(), &model)
        : nullptr;
    const ColumnItem* column = table ? table->columnByName(rowName) : nullptr;
    const QStringList relationships =
        column ? TableSync::relationshipsUsingColumn(model, table, column->id()) : QStringList();
    QString question = QStringLiteral("Do you really want to delete the selected column?");
    if (!relationships.isEmpty()) {
        QStringList names;
        for (const QString& id : relationships)
            names.append(model->relationship(id)->name());
        question += QStringLiteral("\nThe relationships %1 use it and are removed with it.")
                        .arg(names.join(QStringLiteral(", ")));
    }
    if (DialogHooks::question(this, QStringLiteral("Confirm delete"), question, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No)
        != QMessageBox::Yes)
        return true;
    if (!relationships.isEmpty()) {
        // The focused row may be a foreign-key row that goes with its
        // relationship; what is left of it goes by name.
        const QPointer<EntityItem> entity = owner;
        onRelationshipsRemovalRequested(relationships);
        if (!entity)
            return true;
        entity->removeAttribute(rowName);
    } else if (!owner->removeAttributeForLabel(label)) {
        return true;
    }
    // The column leaves the model now, not at the next edit: a save in
    // between must not write it back.
    syncTableColumnsFromEntity(owner);
    currentEntity = selectedEntity();
    syncTreeSelectionFromScene();
    captureCurrentDiagram();
    refreshTableDetails();
    return true;
}

void MainWindow::deleteSelection()
{
    if (!scene)
        return;
    // A focused row label: that row (a column) alone.
    if (deleteFocusedRow())
        return;

    const QList<QGraphicsItem*> selected = scene->selectedItems();
    if (selected.isEmpty())
        return;
    CanvasDeletion deletion(selected);
    bool modelMode = false;
    if (!deletion.entities.isEmpty() || !deletion.edges.isEmpty()) {
        const DeleteChoice choice = askDeleteChoice();
        if (choice == DeleteChoice::Cancel)
            return;
        modelMode = choice == DeleteChoice::FromModel;
    } else if (!deletion.texts.isEmpty() || !deletion.groups.isEmpty()) {
        if (DialogHooks::question(this, QStringLiteral("Confirm delete"),
                                  QStringLiteral("Do you really want to delete the selected objects?"),
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            != QMessageBox::Yes)
            return;
    } else {
        return;
    }

    deletion.addEdgesOfEntities();
    const QStringList entityIds = deletion.entityIds();
    QStringList edgeIds = deletion.edgeIds();
    if (modelMode && currentModel) {
        // Relationships whose lines are not on this diagram go as well.
        for (const QString& entityId : entityIds) {
            for (const QString& relationshipId : relationshipsOfTable(currentModel, entityId)) {
                if (!edgeIds.contains(relationshipId))
                    edgeIds.append(relationshipId);
            }
        }
    }

    if (currentEntity && deletion.entities.contains(currentEntity.data()))
        currentEntity = nullptr;
    deletion.deleteItems(modelMode);
    // The child tables follow their foreign-key rows.
    if (modelMode) {
        for (const QString& edgeId : std::as_const(edgeIds))
            removeRelationshipAndForeignKey(currentModel, edgeId);
        for (const QString& entityId : entityIds)
            removeEntityFromModel(entityId);
        stripItemsFromOtherDiagrams(entityIds, edgeIds);
        rebuildProjectTree();
    }
    captureCurrentDiagram();
    currentEntity = selectedEntity();
    syncTreeSelectionFromScene();
    refreshTableDetails();
}

MainWindow::DeleteChoice MainWindow::askDeleteChoice()
{
    QMessageBox box(this);
    box.setIcon(QMessageBox::Question);
    box.setWindowTitle(QStringLiteral("Delete"));
    box.setText(QStringLiteral("How do you want to delete the selected tables, views, and/or relationships?"));
    box.setInformativeText(QStringLiteral("Delete from diagram removes them only from the current diagram.\n"
                                          "Delete from model also removes them from the Model Explorer and from "
                                          "every diagram.\nCancel aborts the deletion."));
    box.addButton(QStringLiteral("Delete from diagram"), QMessageBox::AcceptRole);
    QPushButton* fromModel = box.addButton(QStringLiteral("Delete from model"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    DialogHooks::execDialog(&box);
    const QAbstractButton* clicked = box.clickedButton();
    if (!clicked || clicked == cancel)
        return DeleteChoice::Cancel;
    return clicked == fromModel ? DeleteChoice::FromModel : DeleteChoice::FromDiagram;
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
    removeRelationshipAndForeignKey(modelOfRelationship(id), id, false);
}
