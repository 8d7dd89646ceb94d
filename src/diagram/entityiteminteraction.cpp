// EntityItem: display modes, mouse interaction, row drag and the context menu.
#include "diagram/entityitem.h"

#include "app/dialoghooks.h"
#include "diagram/singlelinetextitem.h"
#include "dialogs/entityeditdialog.h"
#include "edges/edgeitem.h"
#include "layout/edgeslots.h"

#include <QActionGroup>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QMenu>
#include <QPointer>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <utility>

void EntityItem::setDisplayMode(int mode)
{
    if (mode == m_displayMode)
        return;
    m_displayMode = mode;
    relayoutRows();
}

bool EntityItem::isAttributeVisible(int i) const
{
    if (i < 0 || i >= attributeCount())
        return false;
    const Attribute& a = m_attributes.at(i);
    switch (m_displayMode) {
    case FullMode:
        return true;
    case NamePrimaryForeignMode:
        return a.isPrimaryKey || a.isForeignKey;
    case NamePrimaryMode:
        return a.isPrimaryKey;
    case NameMode:
        return false;
    default:
        return true;
    }
}

int EntityItem::visibleAttributeCount() const
{
    int n = 0;
    for (int i = 0; i < attributeCount(); ++i) {
        if (isAttributeVisible(i))
            ++n;
    }
    return n;
}

int EntityItem::dropIndexAt(const QPointF& itemPos) const
{
    const int count = attributeCount();
    if (count == 0)
        return 0;
    QList<int> visible;
    for (int i = 0; i < count; ++i) {
        if (isAttributeVisible(i))
            visible.append(i);
    }
    if (visible.isEmpty())
        return count;
    const qreal y = itemPos.y();
    if (y < FirstRowY)
        return visible.first();
    if (y > FirstRowY + RowHeight * visible.size())
        return count;
    int k = static_cast<int>(std::floor((y - FirstRowY) / RowHeight));
    if (y - FirstRowY - RowHeight * k >= RowHeight / 2)
        ++k;
    return k < visible.size() ? visible.at(k) : count;
}

void EntityItem::onAttributeDragStarted(SingleLineTextItem* item, QPointF scenePos)
{
    int row = m_nameLabels.indexOf(item);
    if (row < 0)
        row = m_typeLabels.indexOf(item);
    if (row < 0)
        return;
    m_dragging = true;
    m_dragLabel = item;
    m_dragSourceIndex = row;
    m_dragPos = mapFromScene(scenePos);
    m_dropIndex = dropIndexAt(m_dragPos);
    m_nameLabels.at(row)->setOpacity(0.35);
    m_typeLabels.at(row)->setOpacity(0.35);
    setCursor(Qt::ClosedHandCursor);
    update();
}

void EntityItem::onAttributeDragMoved(QPointF localPos)
{
    if (!m_dragging)
        return;
    m_dropIndex = dropIndexAt(localPos);
    update();
}

void EntityItem::finishAttributeDrag()
{
    if (!m_dragging)
        return;
    const int from = m_dragSourceIndex;
    const int drop = m_dropIndex;
    const int count = attributeCount();
    if (from >= 0 && from < count && drop != from && drop != from + 1) {
        const int to = std::clamp(drop > from ? drop - 1 : drop, 0, count - 1);
        moveAttribute(from, to);
    }
    for (SingleLineTextItem* label : std::as_const(m_nameLabels)) {
        if (label)
            label->setOpacity(1.0);
    }
    for (SingleLineTextItem* label : std::as_const(m_typeLabels)) {
        if (label)
            label->setOpacity(1.0);
    }
    m_dragging = false;
    m_dragSourceIndex = -1;
    m_dropIndex = -1;
    m_dragLabel = nullptr;
    unsetCursor();
    update();
}

bool EntityItem::canMoveSelectionAsBatch(QGraphicsScene* scene)
{
    if (!scene)
        return false;
    int entities = 0;
    EntityItem* onlyEntity = nullptr;
    QList<EdgeItem*> edges;
    const QList<QGraphicsItem*> selected = scene->selectedItems();
    for (QGraphicsItem* item : selected) {
        if (item->type() == DiagramItemType::Entity) {
            ++entities;
            onlyEntity = static_cast<EntityItem*>(item);
        } else if (item->type() == DiagramItemType::Edge) {
            edges.append(static_cast<EdgeItem*>(item));
        }
    }
    if (entities >= 2 && !edges.isEmpty())
        return true;
    if (entities != 1 || edges.isEmpty())
        return false;
    // One entity with only its own self-relations selected moves as a batch.
    for (const EdgeItem* edge : std::as_const(edges)) {
        if (edge->fromEntity() != onlyEntity || edge->toEntity() != onlyEntity)
            return false;
    }
    return true;
}

QVariant EntityItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    // The scene keeps a list of its entities for the routes' obstacle
    // look-ups: out before leaving, in once arrived.
    if (change == ItemSceneChange) {
        if (auto* erScene = qobject_cast<ERScene*>(scene()))
            erScene->unregisterEntity(this);
    } else if (change == ItemSceneHasChanged) {
        if (auto* erScene = qobject_cast<ERScene*>(scene()))
            erScene->registerEntity(this);
    }
    // A move of an entity with very many relationships is a bulk move,
    // unless a drag opened one already.
    if (change == ItemPositionChange && !m_positionBulkMove) {
        if (auto* erScene = qobject_cast<ERScene*>(scene())) {
            m_positionBulkMove = erScene;
            erScene->beginBulkMove({this});
        }
    }
    if (change == ItemPositionHasChanged || (change == ItemSceneHasChanged && scene())) {
        updateAttachedEdges();
        if (ERScene* erScene = std::exchange(m_positionBulkMove, nullptr))
            erScene->endBulkMove();
    } else if (change == ItemSelectedHasChanged) {
        if (!value.toBool())
            clearRowHighlight();
        if (auto* erScene = qobject_cast<ERScene*>(scene()))
            erScene->noteSelectionChange();
    }
    return QGraphicsObject::itemChange(change, value);
}

void EntityItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_dragging) {
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        event->accept();
        showContextMenu(event->screenPos(), event->modifiers());
        return;
    }
    // A drag may follow: its edge updates are queued and coalesced.
    EdgeItem::setSkipBatchFlush(canMoveSelectionAsBatch(scene()));
    EdgeItem::setBatchMode(true);
    QGraphicsObject::mousePressEvent(event);
}

void EntityItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_dragging) {
        m_dropIndex = dropIndexAt(event->pos());
        update();
        event->accept();
        return;
    }
    // The drag moves the selected entities; their edges follow until the
    // release.
    if (!m_dragBulkMove) {
        if (auto* erScene = qobject_cast<ERScene*>(scene())) {
            QList<EntityItem*> moved;
            for (QGraphicsItem* item : erScene->selectedItems()) {
                if (item->type() == Type)
                    moved.append(static_cast<EntityItem*>(item));
            }
            if (moved.isEmpty())
                moved.append(this);
            m_dragBulkMove = erScene;
            erScene->beginBulkMove(moved);
        }
    }
    QGraphicsObject::mouseMoveEvent(event);
}

void EntityItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_dragging) {
        finishAttributeDrag();
        event->accept();
        return;
    }
    // What the release reroutes is still part of the drag's bulk move.
    struct BulkMoveEnd
    {
        QPointer<ERScene> scene;
        ~BulkMoveEnd()
        {
            if (scene)
                scene->endBulkMove();
        }
    } bulkMoveEnd{std::exchange(m_dragBulkMove, nullptr)};
    QGraphicsObject::mouseReleaseEvent(event);
    const bool batch = canMoveSelectionAsBatch(scene());
    EdgeItem::setBatchMode(false);
    QGraphicsScene* s = scene();
    if (!s)
        return;

    // The edges of the selected entities, each once.
    QSet<EntityItem*> moved;
    QList<EdgeItem*> edges;
    QSet<EdgeItem*> seen;
    const QList<QGraphicsItem*> selected = s->selectedItems();
    for (QGraphicsItem* item : selected) {
        if (item->type() == Type)
            moved.insert(static_cast<EntityItem*>(item));
    }
    for (EntityItem* entity : std::as_const(moved)) {
        for (EdgeItem* edge : entity->edges()) {
            if (edge && !seen.contains(edge)) {
                seen.insert(edge);
                edges.append(edge);
            }
        }
    }
    // A self-relation follows its entity through itemChange already.
    for (EdgeItem* edge : std::as_const(edges)) {
        if (!edge->isSelfRelation() && edge->fromEntity() && edge->toEntity())
            edge->reassignSlots();
    }
    for (EdgeItem* edge : std::as_const(edges)) {
        if (edge->isSelfRelation())
            continue;
        if (batch && edge->isSelected() && moved.contains(edge->fromEntity()) && moved.contains(edge->toEntity()))
            edge->quickUpdatePath();
        else
            edge->refreshRoute();
    }
    // An entity dropped onto another edge would seem joined to it: that
    // edge goes around it now.
    if (event->scenePos() != event->buttonDownScenePos(Qt::LeftButton)) {
        EdgeItem::rerouteEdgesCrossing(QList<EntityItem*>(moved.cbegin(), moved.cend()), seen);
        // Put right beside another entity, a moved one may leave an edge
        // no way round it from the side its slot faces.
        resideEdgesThroughEntities(edges);
    }
}

void EntityItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    QGraphicsObject::mouseDoubleClickEvent(event);
}

void EntityItem::contextMenuEvent(QGraphicsSceneContextMenuEvent* event)
{
    // The menu came up on the right press already; the context-menu event
    // that the window system sends after that press must not open a second
    // one (a label's text menu, a group frame's menu beneath) at the spot.
    event->accept();
}

void EntityItem::showContextMenu(const QPoint& screenPos, Qt::KeyboardModifiers modifiers)
{
    if (!isSelected()) {
        if (scene() && !(modifiers & Qt::ControlModifier))
            scene()->clearSelection();
        setSelected(true);
    }

    QList<QPointer<EntityItem>> targets;
    if (QGraphicsScene* s = scene()) {
        const QList<QGraphicsItem*> selected = s->selectedItems();
        for (QGraphicsItem* item : selected) {
            if (item->type() == Type)
                targets.append(static_cast<EntityItem*>(item));
        }
    }
    if (targets.isEmpty())
        targets.append(this);

    QMenu menu;
    QAction* edit = menu.addAction(tr("Edit"));
    menu.addSeparator();
    auto* group = new QActionGroup(&menu);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const char* const captions[] = {"Full", "Entity name, primary columns and foreign columns",
                                    "Entity name and primary columns", "Entity name"};
    bool sameMode = true;
    for (const QPointer<EntityItem>& t : std::as_const(targets))
        sameMode = sameMode && t->displayMode() == targets.first()->displayMode();
    for (int mode = 0; mode < 4; ++mode) {
        QAction* action = menu.addAction(tr(captions[mode]));
        action->setCheckable(true);
        action->setData(mode);
        group->addAction(action);
        if (sameMode && targets.first()->displayMode() == mode)
            action->setChecked(true);
    }

    QPointer<EntityItem> self(this);
    QAction* chosen = DialogHooks::execMenu(&menu, screenPos);
    if (!chosen || !self)
        return;
    if (chosen == edit) {
        QWidget* parent = nullptr;
        if (scene() && !scene()->views().isEmpty())
            parent = scene()->views().constFirst();
        EntityEditDialog dialog(m_title, parent);
        DialogHooks::execDialog(&dialog);
        return;
    }
    const int mode = chosen->data().toInt();
    for (const QPointer<EntityItem>& t : std::as_const(targets)) {
        if (t)
            t->setDisplayMode(mode);
    }
}
