// MainWindow: model objects dropped from the explorer onto the canvas.
#include "app/mainwindow.h"

#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "dialogs/dualthemecolorscheme.h"
#include "edges/edgeitem.h"
#include "explorer/explorerkinds.h"
#include "explorer/storeddiagrams.h"
#include "explorer/tablesync.h"
#include "layout/edgeslots.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QComboBox>
#include <QGraphicsItem>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <cmath>
#include <utility>

namespace {

constexpr int PrimaryKey = 0;
constexpr int ForeignKey = 1;
constexpr int Unique = 2;

// Dropped entities land on a grid of 20 and cascade by 40.
constexpr double DropGrid = 20;
constexpr double CascadeStep = 40;

double toGrid(double value)
{
    return std::round(value / DropGrid) * DropGrid;  // halves away from zero
}

// The relationship a foreign key stands for: the one bound to it by id, else
// the first from its referenced table (from any table when it names none)
// to this one.
const RelationshipItem* relationshipOfForeignKey(const QList<RelationshipItem*>& relationships,
                                                 const TableItem* table, const ConstraintItem* constraint)
{
    if (!constraint->id().isEmpty()) {
        for (const RelationshipItem* relationship : relationships) {
            if (relationship->constraintId() == constraint->id())
                return relationship;
        }
    }
    for (const RelationshipItem* relationship : relationships) {
        if (relationship->toTableId() != table->id())
            continue;
        if (constraint->referencedTableId().isEmpty()
            || relationship->fromTableId() == constraint->referencedTableId())
            return relationship;
    }
    return nullptr;
}

} // namespace

void MainWindow::onExplorerDropRequested(QByteArray payload, QPointF scenePos)
{
    if (!scene || payload.isEmpty())
        return;
    if (!currentModel) {
        if (project)
            return;
        createEmptyProject();
        if (!currentModel)
            return;
    }
    if (!ensureDrawingDiagram())
        return;

    const QJsonDocument document = QJsonDocument::fromJson(payload);
    if (!document.isObject())
        return;
    const QJsonArray items = document.object().value(QStringLiteral("items")).toArray();
    if (items.isEmpty())
        return;

    // The stored looks of every dragged object, found in one walk.
    QSet<QString> draggedIds;
    for (const QJsonValue& value : items)
        draggedIds.insert(value.toObject().value(QStringLiteral("id")).toString());
    const QHash<QString, QJsonObject> storedLooks = StoredDiagrams::entityJsons(currentModel, draggedIds);

    const bool wasSuppressed = std::exchange(suppressModelSync, true);
    scene->clearSelection();
    QStringList placedIds;
    const QPointF origin(toGrid(scenePos.x()), toGrid(scenePos.y()));
    int placedCount = 0;
    {
        // Placing tables changes no relationship of the model: the look-up of
        // them that brings each stored look up to date is built once.
        const TableSync::RelationshipIndexScope relationshipIndex;
        for (const QJsonValue& value : items) {
            const QJsonObject item = value.toObject();
            const QString kind = item.value(QStringLiteral("kind")).toString();
            const QString id = item.value(QStringLiteral("id")).toString();
            if (id.isEmpty())
                continue;
            if (kind == ExplorerKind::Table ? !currentModel->table(id)
                                            : (kind != ExplorerKind::View || !currentModel->view(id)))
                continue;
            if (EntityItem* existing = findEntityOnScene(id)) {
                existing->setSelected(true);
                if (!placedIds.contains(id))
                    placedIds.append(id);
                continue;
            }
            const QPointF at = origin + QPointF(CascadeStep * placedCount, CascadeStep * placedCount);
            if (EntityItem* entity = placeEntityWithLook(kind, id, at, storedLooks.value(id))) {
                entity->setSelected(true);
                if (!placedIds.contains(id))
                    placedIds.append(id);
                ++placedCount;
            }
        }
    }
    connectRelationshipsForDroppedEntities(placedIds);
    suppressModelSync = wasSuppressed;

    if (placedIds.isEmpty())
        return;
    const QRectF bounds = scene->itemsBoundingRect().adjusted(-100, -100, 100, 100);
    if (!scene->sceneRect().contains(bounds))
        scene->setSceneRect(scene->sceneRect().united(bounds));
    captureCurrentDiagram();
    syncTreeSelectionFromScene();
    // The selection changed while the model was not listening; the details
    // pane follows it now.
    currentEntity = selectedEntity();
    refreshTableDetails();
}

bool MainWindow::ensureDrawingDiagram()
{
    if (currentDiagram)
        return true;
    if (!scene)
        return false;
    if (!project) {
        createEmptyProject();
    } else if (!currentModel) {
        const QList<ModelItem*> models = project->models();
        if (models.isEmpty()) {
            currentModel = project->addModel();
            currentModel->setName(uniqueModelName());
            const QString dialect = dialectCombo ? dialectCombo->currentText() : QString();
            currentModel->setDialect(dialect.isEmpty() ? QStringLiteral("Conceptual ER") : dialect);
        } else {
            currentModel = models.first();
        }
    }
    if (!currentModel)
        return false;
    if (!currentDiagram) {
        // The canvas keeps what it shows; it becomes this diagram's.
        const QList<DiagramItem*> diagrams = currentModel->diagrams();
        currentDiagram = diagrams.isEmpty() ? currentModel->addDiagram() : diagrams.first();
        if (currentDiagram->name().isEmpty())
            currentDiagram->setName(uniqueDiagramName(currentModel));
    }
    // The explorer shows the diagram, and the header its names, at once.
    rebuildProjectTree();
    refreshNameEditors();
    return true;
}

EntityItem* MainWindow::placeModelEntityOnDiagram(const QString& kind, const QString& id, QPointF scenePos)
{
    return placeEntityWithLook(kind, id, scenePos, storedEntityJson(id));
}

EntityItem* MainWindow::placeEntityWithLook(const QString& kind, const QString& id, QPointF scenePos,
                                            const QJsonObject& stored)
{
    if (!scene || !currentModel || id.isEmpty())
        return nullptr;
    const bool isView = kind == ExplorerKind::View;
    if (!isView && kind != ExplorerKind::Table)
        return nullptr;
    TableItem* table = isView ? nullptr : currentModel->table(id);
    const ViewItem* view = isView ? currentModel->view(id) : nullptr;
    if (!table && !view)
        return nullptr;

    const QString name = table ? table->name() : view->name();
    auto* entity = new EntityItem(name.isEmpty() ? QStringLiteral("Entity") : name, QSizeF(150, 70));
    if (isView)
        entity->setKind(EntityItem::ViewKind);
    // Entity and model object share one id.
    entity->setId(id);
    scene->addItem(entity);

    if (stored.isEmpty()) {
        if (table)
            populateEntityFromTable(entity, table);
        const DualThemeColorScheme defaults = DualThemeColorScheme::fromArray(scene->defaultEntityColors());
        if (defaults.allValid())
            entity->setColors(defaults);
    } else {
        // Its look on another diagram; the position is the drop's. That look
        // may predate edits made since: its rows follow the model first, so
        // that the table shows what the model holds now and no later column
        // sync takes the stale rows for the truth.
        QJsonObject look = stored;
        if (table) {
            QJsonArray rows = look.value(QStringLiteral("attributes")).toArray();
            if (TableSync::alignRows(rows, table, currentModel))
                look.insert(QStringLiteral("attributes"), rows);
        }
        if (!name.isEmpty())
            look.insert(QStringLiteral("title"), name);
        entity->fromJson(look);
        entity->setId(id);
    }
    entity->setPos(scenePos);
    entity->relayoutRows();
    scene->notifyEntityAdded(entity);
    return entity;
}

void MainWindow::populateEntityFromTable(EntityItem* entity, TableItem* table)
{
    if (!entity || !table)
        return;
    QStringList primaryIds;
    if (const ConstraintItem* primary = table->constraintOfType(PrimaryKey))
        primaryIds = primary->columns();
    QStringList uniqueIds;
    QHash<QString, QString> relationshipOfColumn;
    const QList<RelationshipItem*> relationships =
        currentModel ? currentModel->relationships() : QList<RelationshipItem*>();
    for (const ConstraintItem* constraint : table->constraints()) {
        if (constraint->type() == Unique) {
            uniqueIds += constraint->columns();
        } else if (constraint->type() == ForeignKey && currentModel) {
            if (const RelationshipItem* relationship = relationshipOfForeignKey(relationships, table, constraint)) {
                for (const QString& columnId : constraint->columns())
                    relationshipOfColumn.insert(columnId, relationship->id());
            }
        }
    }
    for (const ColumnItem* column : table->columns()) {
        const QString relationshipId = relationshipOfColumn.value(column->id());
        const bool foreign = relationshipOfColumn.contains(column->id());
        entity->addAttribute(column->name(), column->displayType(), primaryIds.contains(column->id()),
                             uniqueIds.contains(column->id()), foreign, false);
        if (foreign)
            entity->markAttributeForeignKey(entity->attributeCount() - 1, relationshipId);
    }
}

void MainWindow::connectRelationshipsForDroppedEntities(const QStringList& placedIds)
{
    if (!scene || !currentModel || placedIds.isEmpty())
        return;
    // Looked up once: a drop of many tables meets many relationships.
    const QSet<QString> placed(placedIds.cbegin(), placedIds.cend());
    QHash<QString, EntityItem*> entities;
    const QList<EntityItem*>& onScene = scene->entityItems();
    for (auto it = onScene.crbegin(); it != onScene.crend(); ++it) {
        if (!entities.contains((*it)->id()))
            entities.insert((*it)->id(), *it);  // the topmost of an id, as findEntityOnScene
    }
    QSet<QString> drawn;
    const QList<QGraphicsItem*> items = scene->items();
    for (const QGraphicsItem* item : items) {
        if (item->type() == DiagramItemType::Edge) {
            if (const auto* edge = dynamic_cast<const EdgeItem*>(item))
                drawn.insert(edge->id());
        }
    }

    QList<EdgeItem*> created;
    for (RelationshipItem* relationship : currentModel->relationships()) {
        if (!placed.contains(relationship->fromTableId()) && !placed.contains(relationship->toTableId()))
            continue;
        if (drawn.contains(relationship->id()))
            continue;
        EntityItem* from = entities.value(relationship->fromTableId());
        EntityItem* to = entities.value(relationship->toTableId());
        if (!from || !to)
            continue;
        // The rows are there already, linked to the relationship's id.
        EdgeItem* edge = scene->createEdge(from, to, false);
        if (!edge)
            continue;
        if (!relationship->id().isEmpty())
            edge->setId(relationship->id());
        drawn.insert(edge->id());
        applyStoredRelationshipNotation(edge, relationship);
        if (edge->isViewEdge()) {
            EntityItem* viewEnd = from->kind() == EntityItem::ViewKind ? from : to;
            EntityItem* source = viewEnd == from ? to : from;
            viewEnd->inheritAttributesFrom(source, edge->id());
        }
        edge->updatePath();
        created.append(edge);
    }
    resideEdgesThroughEntities(created);
}

void MainWindow::applyStoredRelationshipNotation(EdgeItem* edge, RelationshipItem* relationship)
{
    if (!edge || edge->isViewEdge())
        return;
    const QJsonObject stored = storedEdgeJson(relationship ? relationship->id() : edge->id());
    const QString startKey = QStringLiteral("startCard");
    const QString endKey = QStringLiteral("endCard");
    if (!stored.contains(startKey) && !stored.contains(endKey)) {
        edge->setStartCard(CardinalityOne);
        edge->setEndCard(CardinalityMany);
        edge->update();
        return;
    }
    int start = stored.value(startKey).toInt(CardinalityOne);
    int end = stored.value(endKey).toInt(CardinalityMany);
    // A copy stored the other way round carries its marks the other way too.
    if (relationship && !relationship->toTableId().isEmpty()
        && relationship->fromTableId() != relationship->toTableId()
        && stored.value(QStringLiteral("from")).toString() == relationship->toTableId()
        && stored.value(QStringLiteral("to")).toString() == relationship->fromTableId())
        std::swap(start, end);
    edge->setStartCard(start);
    edge->setEndCard(end);
    edge->update();
}
