// MainWindow: the model kept in step with the canvas, diagram switching and
// the stored diagrams.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"
#include "edges/edgeitem.h"
#include "explorer/entityrows.h"
#include "explorer/explorerkinds.h"
#include "explorer/modelpruner.h"
#include "explorer/storeddiagrams.h"
#include "explorer/tablesync.h"
#include "model/diagramitem.h"
#include "model/eventpump.h"
#include "model/itemid.h"
#include "model/modelitem.h"
#include "model/projectitem.h"

#include <utility>

void MainWindow::syncModelFromScene()
{
    if (!currentModel || !scene)
        return;
    // Entities first, so that every edge finds the tables at its ends.
    const QList<QGraphicsItem*> items = scene->stackedDiagramItems();
    QList<EdgeItem*> edges;
    for (QGraphicsItem* item : items) {
        if (item->type() == DiagramItemType::Entity) {
            registerEntityInModel(static_cast<EntityItem*>(item));
            eventpump::step();
        } else if (item->type() == DiagramItemType::Edge) {
            edges.append(static_cast<EdgeItem*>(item));
        }
    }
    for (EdgeItem* edge : std::as_const(edges)) {
        registerEdgeInModel(edge);
        eventpump::step();
    }
}

void MainWindow::captureCurrentDiagram()
{
    if (!currentDiagram || !scene)
        return;
    currentDiagram->setData(scene->toJson());
}

bool MainWindow::loadDiagramItem(DiagramItem* diagram)
{
    if (!diagram || !scene)
        return false;
    // The outgoing diagram keeps the live state; loading the current one
    // again reverts the canvas to its record.
    if (currentDiagram && currentDiagram != diagram)
        captureCurrentDiagram();

    suppressModelSync = true;
    releaseSceneSelection();
    currentDiagram = diagram;
    if (project && !diagram->modelId().isEmpty())
        currentModel = project->model(diagram->modelId());

    QJsonObject data = diagram->data();
    if (!data.isEmpty()) {
        // The record may predate edits made to the tables elsewhere. Its rows
        // follow the model before they reach the canvas: stale rows would
        // otherwise delete columns (on the next column sync) or bring deleted
        // ones back (on the next save).
        if (TableSync::alignDiagram(data, currentModel, project) > 0)
            diagram->setData(data);
        scene->loadFromJson(data);
    } else {
        scene->clearScene();
    }

    // The dialect combo follows in refreshNameEditors() below.
    if (currentModel && !currentModel->dialect().isEmpty())
        scene->setDialect(currentModel->dialect());

    const QRectF bounds = scene->itemsBoundingRect();
    if (bounds.width() != 0 || bounds.height() != 0) {
        const QRectF grown = bounds.adjusted(-100, -100, 100, 100);
        scene->setSceneRect(grown);
        ui->view->fitInView(grown, Qt::KeepAspectRatio);
    }

    suppressModelSync = false;
    updateTreeCurrentMarkers();
    refreshNameEditors();
    refreshTableDetails();
    return true;
}

void MainWindow::switchToModel(ModelItem* model)
{
    if (!model || !scene)
        return;
    currentModel = model;
    const bool liveOfOtherModel = currentDiagram && currentDiagram->modelId() != model->id();
    if (!currentDiagram || liveOfOtherModel) {
        const QList<DiagramItem*> diagrams = model->diagrams();
        if (!diagrams.isEmpty()) {
            loadDiagramItem(diagrams.first());
            return;
        }
    }
    if (liveOfOtherModel) {
        // The model has no diagram. The other model's diagram must not stay
        // live under it, or its edits would be registered into this model:
        // it is stored, and the canvas is left empty with no diagram current.
        captureCurrentDiagram();
        const bool wasSuppressed = std::exchange(suppressModelSync, true);
        releaseSceneSelection();
        scene->clearScene();
        currentDiagram = nullptr;
        // The dialect combo follows in refreshNameEditors() below.
        if (!model->dialect().isEmpty())
            scene->setDialect(model->dialect());
        suppressModelSync = wasSuppressed;
    }
    updateTreeCurrentMarkers();
    refreshNameEditors();
}

EntityItem* MainWindow::findEntityOnScene(const QString& id)
{
    if (!scene || id.isEmpty())
        return nullptr;
    // Topmost first, as the scene stacks them; the scene's own list spares
    // a sorted walk over every row label.
    const QList<EntityItem*>& entities = scene->entityItems();
    for (auto it = entities.crbegin(); it != entities.crend(); ++it) {
        if ((*it)->id() == id)
            return *it;
    }
    return nullptr;
}

void MainWindow::watchEntityTitle(EntityItem* entity)
{
    if (!entity)
        return;
    connect(entity, &EntityItem::titleChanged, this, &MainWindow::onEntityTitleChanged, Qt::UniqueConnection);
    connect(entity, &EntityItem::attributeEdited, this, &MainWindow::onEntityAttributeEdited, Qt::UniqueConnection);
    connect(entity, &EntityItem::structureChanged, this, &MainWindow::onEntityStructureChanged,
            Qt::UniqueConnection);
}

void MainWindow::registerEntityInModel(EntityItem* entity)
{
    if (!currentModel || !entity)
        return;
    const QString id = stableEntityId(entity);
    if (entity->kind() == EntityItem::ViewKind)
        TableSync::registerView(currentModel, id, entity->title());
    else
        TableSync::registerTable(currentModel, id, entity->title(), entityRows(entity));
}

void MainWindow::registerEdgeInModel(EdgeItem* edge)
{
    if (!currentModel || !edge)
        return;
    EntityItem* from = edge->fromEntity();
    EntityItem* to = edge->toEntity();
    if (!from || !to)
        return;
    // An edge read without an id gets one now, as an entity would.
    if (edge->id().isEmpty())
        edge->setId(generateItemId());
    const QString fromId = stableEntityId(from);
    const QString toId = stableEntityId(to);
    TableSync::registerRelationship(currentModel, edge->id(), fromId, toId, from->title(), to->title(),
                                    edge->isViewEdge(), entityRows(to));
}

void MainWindow::onEntityAdded(EntityItem* entity)
{
    watchEntityTitle(entity);
    if (suppressModelSync)
        return;
    registerEntityInModel(entity);
    rebuildProjectTree();
}

void MainWindow::onEdgeAdded(EdgeItem* edge)
{
    if (suppressModelSync)
        return;
    registerEdgeInModel(edge);
    rebuildProjectTree();
}

QString MainWindow::stableEntityId(EntityItem* entity)
{
    if (!entity)
        return QString();
    // An entity without an id of its own reports its address; the id it
    // gets now travels with it into the model and every stored diagram.
    if (entity->id() == QString::number(reinterpret_cast<quintptr>(entity)))
        entity->setId(generateItemId());
    return entity->id();
}

void MainWindow::syncTableColumnsFromEntity(EntityItem* entity)
{
    if (!entity || entity->kind() == EntityItem::ViewKind || suppressModelSync)
        return;
    const QString id = stableEntityId(entity);
    TableItem* table = TableSync::findTable(currentModel, project, id);
    if (!table) {
        if (currentModel)
            registerEntityInModel(entity);
        return;
    }
    TableSync::syncColumns(table, entityRows(entity), project);
}

void MainWindow::onEntityTitleChanged(QString title)
{
    if (suppressModelSync || updatingTree)
        return;
    auto* entity = qobject_cast<EntityItem*>(sender());
    if (!entity)
        return;
    const QString id = stableEntityId(entity);
    const QString kind = entity->kind() == EntityItem::ViewKind ? ExplorerKind::View : ExplorerKind::Table;
    applyModelObjectName(kind, id, title.isEmpty() ? entity->title() : title, entity);
    refreshTableDetails();
}

void MainWindow::onEntityAttributeEdited(int index, QString oldName, QString name, QString type)
{
    if (suppressModelSync)
        return;
    auto* entity = qobject_cast<EntityItem*>(sender());
    if (!entity)
        return;
    if (entity->kind() == EntityItem::ViewKind) {
        if (entity == currentEntity)
            refreshTableDetails();
        return;
    }
    if (!currentModel && !project)
        return;
    const QString id = stableEntityId(entity);
    TableItem* table = TableSync::findTable(currentModel, project, id);
    if (!table) {
        if (currentModel)
            registerEntityInModel(entity);
        refreshTableDetails();
        return;
    }
    // Found by its old name first, the column keeps its id through a rename.
    TableSync::applyRowEdit(table, entityRows(entity), index, oldName, name, type);
    syncTableColumnsFromEntity(entity);
    if (entity == currentEntity)
        refreshTableDetails();
}

void MainWindow::onEntityStructureChanged()
{
    if (suppressModelSync)
        return;
    auto* entity = qobject_cast<EntityItem*>(sender());
    if (!entity)
        return;
    syncTableColumnsFromEntity(entity); // nothing for a view
    if (entity == currentEntity)
        refreshTableDetails();
}

EdgeItem* MainWindow::findEdgeOnScene(const QString& id)
{
    if (!scene || id.isEmpty())
        return nullptr;
    const QList<QGraphicsItem*> items = scene->items(Qt::DescendingOrder);
    for (QGraphicsItem* item : items) {
        if (item->type() != DiagramItemType::Edge)
            continue;
        auto* edge = dynamic_cast<EdgeItem*>(item);
        if (edge && edge->id() == id)
            return edge;
    }
    return nullptr;
}

QJsonObject MainWindow::storedEntityJson(const QString& entityId) const
{
    return StoredDiagrams::entityJson(currentModel, entityId);
}

QJsonObject MainWindow::storedEdgeJson(const QString& edgeId) const
{
    return StoredDiagrams::edgeJson(currentModel, currentDiagram, edgeId);
}

void MainWindow::renameStoredEntityTitle(const QString& entityId, const QString& name, ModelItem* model)
{
    StoredDiagrams::renameEntityTitle(model ? model : currentModel, entityId, name);
}

void MainWindow::stripFromModelDiagrams(ModelItem* model, const QSet<QString>& entityIds,
                                        const QSet<QString>& edgeIds)
{
    ModelPruner::pruneModelDiagrams(model, currentDiagram, entityIds, edgeIds);
}

void MainWindow::stripItemsFromOtherDiagrams(const QStringList& entityIds, const QStringList& edgeIds)
{
    if (!currentModel)
        return;
    stripFromModelDiagrams(currentModel, QSet<QString>(entityIds.cbegin(), entityIds.cend()),
                           QSet<QString>(edgeIds.cbegin(), edgeIds.cend()));
}
