#include "diagram/erscene.h"

#include "app/thememanager.h"
#include "details/dialects.h"
#include "diagram/annotationitem.h"
#include "diagram/entityitem.h"
#include "diagram/groupitem.h"
#include "diagram/textitem.h"
#include "diagram/slotitem.h"
#include "edges/edgeitem.h"
#include "edges/entityviewedgeitem.h"
#include "layout/entityrectindex.h"
#include "model/eventpump.h"
#include "model/itemid.h"
#include "model/itemnames.h"
#include "model/logcategories.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QDebug>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneDragDropEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QPainter>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

ERScene::ERScene(QObject* parent)
    : QGraphicsScene(parent)
{
    setSceneRect(-2000, -2000, 4000, 4000);

    m_glowTimer = new QTimer(this);
    m_glowTimer->setInterval(GlowIntervalMs);
    connect(m_glowTimer, &QTimer::timeout, this, &ERScene::updateSelectionGlow);
    connect(this, &QGraphicsScene::selectionChanged, this, &ERScene::onSelectionChanged);
    connect(&ThemeManager::instance(), &ThemeManager::themeChanged, this, &ERScene::onThemeChanged);
    connect(this, &QGraphicsScene::changed, this, &ERScene::onSceneChanged);
    // Whoever else sets the rectangle may leave items near or outside it.
    connect(this, &QGraphicsScene::sceneRectChanged, this, [this] { m_rectCoversItems = false; });
}

ERScene::~ERScene()
{
    // The base class deletes the remaining items, and a selected item that
    // goes reports a selection change; by then this object is no longer an
    // ERScene, so its own handlers must not run. Clear while it still is.
    disconnect(this, nullptr, this, nullptr);
    blockSignals(true);
    clearScene();
}

// ------------------------------------------------------------------ members

void ERScene::setCurrentFilePath(const QString& path)
{
    m_filePath = path;
}

void ERScene::setDialect(const QString& dialect)
{
    m_dialect = dialect;
}

void ERScene::setGridVisible(bool on)
{
    m_gridVisible = on;
}

void ERScene::setCustomBackground(bool on)
{
    m_customBackground = on;
}

void ERScene::setCustomBackgroundColor(const QColor& color)
{
    m_customBackgroundColor = color;
}

void ERScene::setDefaultEntityColors(const std::array<QColor, 8>& colors)
{
    m_defaultEntityColors = colors;
}

bool ERScene::hasDefaultEntityColors() const
{
    for (const QColor& c : m_defaultEntityColors) {
        if (!c.isValid())
            return false;
    }
    return true;
}

void ERScene::setDefaultTextStyle(const QFont& font, const QColor& light, const QColor& dark)
{
    m_defaultTextStyle = {font, light, dark};
    m_hasDefaultTextStyle = true;
}

void ERScene::setDefaultGroupStyle(const QColor& lightFill, const QColor& lightBorder, const QColor& lightTitle,
                                   const QColor& darkFill, const QColor& darkBorder, const QColor& darkTitle)
{
    m_defaultGroupStyle = {lightFill, lightBorder, lightTitle, darkFill, darkBorder, darkTitle};
    m_hasDefaultGroupStyle = true;
}

// ------------------------------------------------------------ adding items
//
// createEdge comes with the edge items.

EntityItem* ERScene::addTableAt(QPointF scenePos)
{
    const auto tables = std::count_if(m_entities.cbegin(), m_entities.cend(), [](const EntityItem* entity) {
        return entity->kind() != EntityItem::ViewKind;
    });
    // Not made unique: a deleted table leaves a gap that the next one fills.
    const QString title = QStringLiteral("table_") + QString::number(tables + 1);
    auto* entity = new EntityItem(title, QSizeF(150, 70));
    // The scene's dialect is not yet reachable from the entity, so the key
    // type is resolved here.
    entity->addAttribute(title + QStringLiteral("_id"), defaultKeyType(m_dialect), true, false, false, false);
    return placeNewEntity(entity, scenePos);
}

EntityItem* ERScene::addViewAt(QPointF scenePos)
{
    QStringList titles;
    for (const EntityItem* entity : std::as_const(m_entities)) {
        if (entity->kind() == EntityItem::ViewKind)
            titles.append(entity->title());
    }
    const QString title = firstFreeNumberedName(QStringLiteral("view_"), titles, Qt::CaseSensitive,
                                                static_cast<int>(titles.size()) + 1);
    auto* entity = new EntityItem(title, QSizeF(150, 70));
    entity->setKind(EntityItem::ViewKind);
    return placeNewEntity(entity, scenePos);
}

EntityItem* ERScene::placeNewEntity(EntityItem* entity, QPointF scenePos)
{
    if (hasDefaultEntityColors())
        entity->setColors(DualThemeColorScheme::fromArray(m_defaultEntityColors));
    entity->setId(generateItemId());
    entity->setPos(scenePos);
    addItem(entity);
    emit entityAdded(entity);
    return entity;
}

TextItem* ERScene::addTextAt(QPointF scenePos)
{
    // The item makes its own id.
    auto* text = new TextItem(QStringLiteral("Text"));
    if (m_hasDefaultTextStyle) {
        text->setFont(m_defaultTextStyle.font);
        text->setColors(m_defaultTextStyle.lightColor, m_defaultTextStyle.darkColor);
    }
    text->setPos(scenePos);
    addItem(text);
    return text;
}

GroupItem* ERScene::addGroupAt(QPointF scenePos)
{
    QStringList titles;
    for (const AnnotationItem* item : std::as_const(m_annotations)) {
        if (item->type() == DiagramItemType::Group)
            titles.append(static_cast<const GroupItem*>(item)->title());
    }
    const QString title = firstFreeNumberedName(QStringLiteral("group_"), titles, Qt::CaseSensitive,
                                                static_cast<int>(titles.size()) + 1);
    auto* group = new GroupItem(title, QSizeF(240, 160));
    if (m_hasDefaultGroupStyle)
        group->setColors(m_defaultGroupStyle);
    group->setPos(scenePos);
    addItem(group);
    return group;
}

EdgeItem* ERScene::createEdge(EntityItem* from, EntityItem* to, bool createFKs)
{
    if (!from || !to) {
        qWarning() << "createEdge: null entity!";
        return nullptr;
    }
    if (from->scene() != this || to->scene() != this) {
        qWarning() << "createEdge: entity not in this scene!";
        return nullptr;
    }

    EdgeItem* edge = nullptr;
    if (from->kind() == EntityItem::ViewKind || to->kind() == EntityItem::ViewKind) {
        edge = new EntityViewEdgeItem(from, to, false);
        addItem(edge);
        m_edgeOrder.insert(edge, ++m_edgesMade);
        if (createFKs) {
            EntityItem* view = from->kind() == EntityItem::ViewKind ? from : to;
            EntityItem* other = view == from ? to : from;
            if (view != other)
                view->inheritAttributesFrom(other, edge->id());
        }
    } else {
        edge = new EdgeItem(from, to, createFKs);
        addItem(edge);
        m_edgeOrder.insert(edge, ++m_edgesMade);
    }
    // Routed (again) now that the other entities are obstacles. While a
    // diagram is read, routing is suspended: an edge with stored points
    // gets them, the others are routed once the reading is done; otherwise
    // no edge is left without a route.
    if (createFKs || !EdgeItem::isRoutingSuspended())
        edge->updatePath();
    emit edgeAdded(edge);
    return edge;
}

void ERScene::notifyEntityAdded(EntityItem* entity)
{
    if (entity)
        emit entityAdded(entity);
}

// ------------------------------------------------------ the entity index

void ERScene::registerEntity(EntityItem* entity)
{
    // An entity registers once on arriving and unregisters before leaving,
    // so it is never listed yet: a search of the whole list for it, entity
    // after entity, would make reading a large diagram quadratic.
    Q_ASSERT(!m_entities.contains(entity));
    if (entity)
        m_entities.append(entity);
}

void ERScene::unregisterEntity(EntityItem* entity)
{
    // Clearing deletes the topmost, i.e. the latest, entities first.
    const qsizetype i = m_entities.lastIndexOf(entity);
    if (i >= 0)
        m_entities.removeAt(i);
}

void ERScene::registerAnnotation(AnnotationItem* item)
{
    if (item && !m_annotations.contains(item))
        m_annotations.append(item);
}

void ERScene::unregisterAnnotation(AnnotationItem* item)
{
    const qsizetype i = m_annotations.lastIndexOf(item);
    if (i >= 0)
        m_annotations.removeAt(i);
}

QList<QRectF> ERScene::entityRectsIn(const QRectF& region, const EntityItem* a, const EntityItem* b) const
{
    if (m_entityRectIndex)
        return m_entityRectIndex->rectsIn(region, a, b);
    QList<QRectF> rects;
    for (const EntityItem* entity : m_entities) {
        if (entity == a || entity == b || !entity->isVisible())
            continue;
        const QRectF rect = entity->sceneBoundingRect();
        if (region.intersects(rect))
            rects.append(rect);
    }
    return rects;
}

// ---------------------------------------------------------------- clearing

void ERScene::clearScene()
{
    if (m_clearing)
        return;
    m_clearing = true;
    qCDebug(lcScene) << "clearScene: starting";

    const bool signalsWereBlocked = blockSignals(true);

    releaseSelectionNow();

    // Completion pop-ups of in-place editors live on the viewports.
    for (QGraphicsView* view : views()) {
        const auto popups = view->viewport()->findChildren<QAbstractItemView*>();
        for (QAbstractItemView* popup : popups)
            popup->hide();
    }

    // The scene keeps lists of its entities and annotations, and the edges
    // hang on the entities: they go first, without a walk over every item,
    // which would sort all the row labels of the diagram.
    deleteRegisteredItems();
    endBulkMoves();

    // Whatever was not in the lists, by its type code.
    QList<QGraphicsItem*> edges;
    QList<QGraphicsItem*> entities;
    QList<QGraphicsItem*> annotations;
    const QList<QGraphicsItem*> all = items();
    for (QGraphicsItem* item : all) {
        switch (item->type()) {
        case DiagramItemType::Edge:
            edges.append(item);
            break;
        case DiagramItemType::Entity:
            entities.append(item);
            break;
        case DiagramItemType::Text:
        case DiagramItemType::Group:
            annotations.append(item);
            break;
        default:
            break; // children go with their parents
        }
    }

    // Edges go first so that none of them outlives an entity it points to.
    // They are taken off their entities and told to leave the rows alone.
    // (The type code alone does not make an item one of ours.)
    for (QGraphicsItem* item : std::as_const(edges)) {
        if (auto* edge = dynamic_cast<EdgeItem*>(item)) {
            // Every entity goes too: its whole list is emptied at once, not
            // searched edge by edge (quadratic with many parallel edges).
            if (edge->fromEntity())
                edge->fromEntity()->detachAllEdges();
            if (edge->toEntity())
                edge->toEntity()->detachAllEdges();
            edge->setRemoveFkRowsOnDestroy(false);
        }
    }
    const auto removeAll = [this](const QList<QGraphicsItem*>& list) {
        for (QGraphicsItem* item : list) {
            if (item->scene() == this) {
                removeItem(item);
                delete item;
            }
        }
    };
    removeAll(edges);
    for (QGraphicsItem* item : std::as_const(entities)) {
        auto* entity = dynamic_cast<EntityItem*>(item);
        if (!entity || item->scene() != this)
            continue;
        for (SlotItem* slot : entity->slotHandles())
            slot->setEdge(nullptr);
    }
    for (QGraphicsItem* item : std::as_const(entities)) {
        if (item->scene() == this)
            delete item;
    }
    removeAll(annotations);

    const QList<QGraphicsItem*> remaining = items();
    if (!remaining.isEmpty()) {
        qWarning() << "clearScene: remaining items after cleanup:" << remaining.size();
        for (QGraphicsItem* item : remaining) {
            if (item->scene() == this && !item->parentItem())
                removeItem(item);
        }
    }

    m_edgeOrder.clear();
    qCDebug(lcScene) << "clearScene: completed";
    m_clearing = false;
    blockSignals(signalsWereBlocked);
}

void ERScene::deleteRegisteredItems()
{
    QList<EdgeItem*> edges;
    QSet<EdgeItem*> seenEdges;
    for (EntityItem* entity : std::as_const(m_entities)) {
        for (EdgeItem* edge : entity->edges()) {
            if (edge && !seenEdges.contains(edge)) {
                seenEdges.insert(edge);
                edges.append(edge);
            }
        }
    }
    qCDebug(lcScene) << "clearScene: edges:" << edges.size() << "entities:" << m_entities.size();

    for (EntityItem* entity : std::as_const(m_entities))
        entity->detachAllEdges();
    for (EdgeItem* edge : std::as_const(edges)) {
        if (edge->fromEntity())
            edge->fromEntity()->detachAllEdges();
        if (edge->toEntity())
            edge->toEntity()->detachAllEdges();
        edge->setRemoveFkRowsOnDestroy(false);
    }
    // Deleted while still on the scene, as the entities below: the item
    // index then drops them in one sweep. Removed one by one, each would be
    // searched for in the index, where parallel edges all share the same
    // cells: quadratic in their number. The latest go first.
    for (qsizetype i = edges.size() - 1; i >= 0; --i) {
        EdgeItem* edge = edges.at(i);
        if (edge->scene() == this)
            delete edge;
    }
    for (EntityItem* entity : std::as_const(m_entities)) {
        for (SlotItem* slot : entity->slotHandles())
            slot->setEdge(nullptr);
    }
    // An entity is deleted while still on the scene: its destructor takes it
    // and its row labels off the item index in one sweep, where removing it
    // first would take every label off the index one by one (a large part
    // of clearing a big diagram). Each one takes itself off the list; the
    // topmost, i.e. the latest, go first.
    while (!m_entities.isEmpty()) {
        EntityItem* entity = m_entities.constLast();
        if (entity->scene() != this || entity->parentItem())
            m_entities.removeLast(); // children go with their parents
        else
            delete entity;
    }
    while (!m_annotations.isEmpty()) {
        AnnotationItem* item = m_annotations.constLast();
        if (item->scene() != this || item->parentItem()) {
            m_annotations.removeLast();
        } else {
            removeItem(item);
            delete item;
        }
    }
    m_glowing.clear();
}

// --------------------------------------------------------------- selection

bool ERScene::isGlowable(const QGraphicsItem* item)
{
    if (!item)
        return false;
    const int t = item->type();
    return t == DiagramItemType::Entity || t == DiagramItemType::Edge || t == DiagramItemType::Text
        || t == DiagramItemType::Group;
}

bool ERScene::isGlowActive() const
{
    return m_glowTimer->isActive();
}

void ERScene::releaseSelection()
{
    if (m_clearing)
        return;
    const bool signalsWereBlocked = blockSignals(true);
    releaseSelectionNow();
    blockSignals(signalsWereBlocked);
}

void ERScene::releaseSelectionNow()
{
    ++m_selectionGeneration;
    m_selectionHandlingPending = false;
    m_glowTimer->stop();
    if (QGraphicsItem* grabber = mouseGrabberItem())
        grabber->ungrabMouse();
    for (const auto& [item, effect] : std::as_const(m_glowing)) {
        if (effect && item->graphicsEffect() == effect)
            item->setGraphicsEffect(nullptr);
    }
    m_glowing.clear();
    const QList<QGraphicsItem*> selected = selectedItems();
    for (QGraphicsItem* item : selected)
        item->setSelected(false);
    clearSelection();
    clearFocus();
}

void ERScene::noteSelectionChange()
{
    onSelectionChanged();
}

void ERScene::onSelectionChanged()
{
    if (m_clearing || m_selectionHandlingPending)
        return;
    m_selectionHandlingPending = true;
    const std::uint64_t generation = m_selectionGeneration;
    QTimer::singleShot(0, this, [this, generation] {
        m_selectionHandlingPending = false;
        if (generation != m_selectionGeneration || m_clearing)
            return;
        handleSelection();
    });
}

void ERScene::handleSelection()
{
    dropStaleGlow();
    const QList<QGraphicsItem*> selected = selectedItems();
    const bool anyGlowable = std::any_of(selected.cbegin(), selected.cend(), &ERScene::isGlowable);
    if (anyGlowable) {
        if (!m_glowTimer->isActive())
            m_glowTimer->start();
        updateSelectionGlow();
    } else {
        m_glowTimer->stop();
    }
}

void ERScene::updateSelectionGlow()
{
    if (m_clearing) {
        m_glowTimer->stop();
        return;
    }
    constexpr double twoPi = 6.283185307179586;
    m_glowPhase += twoPi * m_glowTimer->interval() / 2000.0;
    if (m_glowPhase > twoPi)
        m_glowPhase -= twoPi;
    const double intensity = 0.5 + 0.5 * std::sin(m_glowPhase);
    const int alpha = static_cast<int>(std::lround(70.0 + 130.0 * intensity));

    // A deselection that came with the scene's signals blocked shows here
    // at the latest.
    dropStaleGlow();
    const ThemeManager& theme = ThemeManager::instance();
    bool anyGlowable = false;
    const QList<QGraphicsItem*> selected = selectedItems();
    for (QGraphicsItem* item : selected) {
        if (!isGlowable(item))
            continue;
        anyGlowable = true;
        const bool isEdge = item->type() == DiagramItemType::Edge;
        auto* effect = qobject_cast<QGraphicsDropShadowEffect*>(item->graphicsEffect());
        if (!effect) {
            effect = new QGraphicsDropShadowEffect();
            effect->setOffset(0, 0);
            effect->setBlurRadius(isEdge ? 14 : 20);
            item->setGraphicsEffect(effect);
            m_glowing.append({item, effect});
        }
        QColor color = theme.color(isEdge ? ThemeSlot::Highlight : ThemeSlot::Selection);
        color.setAlpha(alpha);
        effect->setColor(color);
    }
    if (!anyGlowable)
        m_glowTimer->stop();
}

void ERScene::dropStaleGlow()
{
    for (qsizetype i = m_glowing.size() - 1; i >= 0; --i) {
        const auto& [item, effect] = m_glowing.at(i);
        if (!effect || item->graphicsEffect() != effect) {
            // The item went, or someone else replaced its effect.
            m_glowing.removeAt(i);
        } else if (!item->isSelected()) {
            item->setGraphicsEffect(nullptr);
            m_glowing.removeAt(i);
        }
    }
}

void ERScene::onThemeChanged()
{
    update(sceneRect());
    if (m_glowTimer->isActive())
        updateSelectionGlow();
}

// -------------------------------------------------------------- background

void ERScene::makeRowLabelsAt(QPointF scenePos)
{
    const QList<QGraphicsItem*> here = items(scenePos, Qt::IntersectsItemBoundingRect, Qt::SortOrder(-1));
    for (QGraphicsItem* item : here) {
        if (item->type() == DiagramItemType::Entity)
            static_cast<EntityItem*>(item)->makeRowLabelsAt(scenePos);
    }
}

void ERScene::makeAllRowLabels()
{
    for (EntityItem* entity : std::as_const(m_entities))
        entity->makeAllRowLabels();
}

bool ERScene::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::GraphicsSceneMouseMove:
        // A move that an item has grabbed goes to that item, wherever it is.
        if (mouseGrabberItem())
            break;
        Q_FALLTHROUGH();
    case QEvent::GraphicsSceneMousePress:
    case QEvent::GraphicsSceneMouseDoubleClick:
        makeRowLabelsAt(static_cast<QGraphicsSceneMouseEvent*>(event)->scenePos());
        break;
    case QEvent::GraphicsSceneContextMenu:
        makeRowLabelsAt(static_cast<QGraphicsSceneContextMenuEvent*>(event)->scenePos());
        break;
    case QEvent::GraphicsSceneDragEnter:
    case QEvent::GraphicsSceneDragMove:
    case QEvent::GraphicsSceneDrop:
        makeRowLabelsAt(static_cast<QGraphicsSceneDragDropEvent*>(event)->scenePos());
        break;
    default:
        break;
    }
    return QGraphicsScene::event(event);
}

void ERScene::drawBackground(QPainter* painter, const QRectF& rect)
{
    ++m_paintPass;
    const ThemeManager& theme = ThemeManager::instance();
    painter->fillRect(rect, m_customBackground ? m_customBackgroundColor
                                               : theme.color(ThemeSlot::SceneBackground));
    if (!m_gridVisible)
        return;

    painter->setPen(QPen(theme.color(ThemeSlot::GridLines), 1, Qt::SolidLine));
    const QList<QLineF> lines = gridLines(rect);
    painter->drawLines(lines.constData(), static_cast<int>(lines.size()));
}

QList<QLineF> ERScene::gridLines(const QRectF& rect)
{
    QList<QLineF> lines;
    if (!rect.isValid() || !std::isfinite(rect.left()) || !std::isfinite(rect.top())
        || !std::isfinite(rect.right()) || !std::isfinite(rect.bottom()))
        return lines;
    // Seen from far away the lines of the grid would outnumber the pixels
    // they fall on; every second one is left out, then every fourth, ...,
    // so the lines that remain still lie on the grid. All in floating point:
    // the exposed rectangle may lie anywhere a file put an item.
    qreal spacing = GridSpacing;
    while (rect.width() / spacing > MaxGridLines || rect.height() / spacing > MaxGridLines)
        spacing *= 2;
    const qreal left = std::floor(rect.left() / spacing) * spacing;
    const qreal top = std::floor(rect.top() / spacing) * spacing;
    const qsizetype columns = static_cast<qsizetype>(std::ceil((rect.right() - left) / spacing));
    const qsizetype rows = static_cast<qsizetype>(std::ceil((rect.bottom() - top) / spacing));
    lines.reserve(columns + rows);
    // Each line is placed from its number, so that rounding never adds up.
    for (qsizetype i = 0; i < columns; ++i) {
        const qreal x = left + i * spacing;
        if (x < rect.right())
            lines.append(QLineF(x, rect.top(), x, rect.bottom()));
    }
    for (qsizetype i = 0; i < rows; ++i) {
        const qreal y = top + i * spacing;
        if (y < rect.bottom())
            lines.append(QLineF(rect.left(), y, rect.right(), y));
    }
    return lines;
}

void ERScene::onSceneChanged(const QList<QRectF>& region)
{
    // Measuring every item after each step of a load would make loading
    // quadratic; the load grows the rectangle itself once it is over.
    if (m_loading)
        return;
    // Nor while the steps after a load let the event loop run now and then
    // (see model/eventpump.h): measuring at each pass would make them
    // quadratic, and the window fits the rectangle to the items at the end.
    if (eventpump::active()) {
        m_rectCoversItems = false;
        return;
    }
    // Measuring every item is costly on a large diagram, and changes come
    // with every frame of a drag and every step of the selection glow. An
    // item that changes is within the changed region; while the rectangle
    // already holds every item with its margin, only a change that comes
    // within the margin of the border can call for more room.
    if (m_rectCoversItems) {
        const QRectF inner = sceneRect().adjusted(SceneMargin, SceneMargin, -SceneMargin, -SceneMargin);
        const bool nearBorder = std::any_of(region.cbegin(), region.cend(),
                                            [&inner](const QRectF& r) { return !inner.contains(r); });
        if (!nearBorder)
            return;
    }
    growSceneRect();
}

QRectF ERScene::itemsExtent() const
{
    // The scene's index hands its items over unsorted when asked for no
    // order; a union does not depend on the order.
    QRectF bounds;
    const QList<QGraphicsItem*> all = items(Qt::SortOrder(-1));
    for (const QGraphicsItem* item : all)
        bounds |= item->sceneBoundingRect();
    return bounds;
}

QList<QGraphicsItem*> ERScene::stackedDiagramItems() const
{
    // Top-level items stack by z value, then by the order they came onto
    // the scene, the latest on top. The entities and annotations are listed
    // in that order as they arrive; the edges are numbered by createEdge.
    const QList<QGraphicsItem*> all = items(Qt::SortOrder(-1));
    QList<const EdgeItem*> edges;
    qsizetype entities = 0;
    qsizetype annotations = 0;
    bool known = true;
    for (const QGraphicsItem* item : all) {
        const int type = item->type();
        if (type == DiagramItemType::Entity) {
            ++entities;
            known = known && !item->parentItem();
        } else if (type == DiagramItemType::Text || type == DiagramItemType::Group) {
            ++annotations;
            known = known && !item->parentItem();
        } else if (type == DiagramItemType::Edge) {
            const auto* edge = static_cast<const EdgeItem*>(item);
            known = known && !item->parentItem() && m_edgeOrder.contains(edge);
            edges.append(edge);
        }
    }
    known = known && entities == m_entities.size() && annotations == m_annotations.size();
    for (const EntityItem* entity : m_entities)
        known = known && entity->scene() == this;
    for (const AnnotationItem* item : m_annotations)
        known = known && item->scene() == this;

    QList<QGraphicsItem*> result;
    if (!known) {
        const QList<QGraphicsItem*> sorted = items(Qt::DescendingOrder);
        for (QGraphicsItem* item : sorted) {
            if (item->type() == DiagramItemType::Entity)
                result.append(item);
        }
        for (QGraphicsItem* item : sorted) {
            if (item->type() != DiagramItemType::Entity && dynamic_cast<EdgeItem*>(item))
                result.append(item);
        }
        for (QGraphicsItem* item : sorted) {
            if (item->type() == DiagramItemType::Text || item->type() == DiagramItemType::Group)
                result.append(item);
        }
        return result;
    }

    result.reserve(entities + edges.size() + annotations);
    // Higher z first; of equal z the later one.
    const auto topmostFirst = [&result](auto first, auto last) {
        std::stable_sort(first, last, [](const QGraphicsItem* a, const QGraphicsItem* b) {
            return a->zValue() > b->zValue();
        });
        result.append(QList<QGraphicsItem*>(first, last));
    };
    QList<QGraphicsItem*> list(m_entities.crbegin(), m_entities.crend());
    topmostFirst(list.begin(), list.end());
    std::sort(edges.begin(), edges.end(), [this](const EdgeItem* a, const EdgeItem* b) {
        if (a->zValue() != b->zValue())
            return a->zValue() > b->zValue();
        return m_edgeOrder.value(a) > m_edgeOrder.value(b);
    });
    for (const EdgeItem* edge : std::as_const(edges))
        result.append(const_cast<EdgeItem*>(edge));
    list = QList<QGraphicsItem*>(m_annotations.crbegin(), m_annotations.crend());
    topmostFirst(list.begin(), list.end());
    return result;
}

QRectF ERScene::contentBoundingRect() const
{
    static bool measuring = false;
    const bool nested = std::exchange(measuring, true);
    QRectF bounds;
    const auto add = [&bounds](const QGraphicsItem* item) {
        bounds |= item->sceneBoundingRect();
        const QRectF children = item->childrenBoundingRect();
        if (!children.isNull())
            bounds |= item->mapRectToScene(children);
    };
    for (const EntityItem* entity : m_entities) {
        add(entity);
        for (const EdgeItem* edge : entity->edges()) {
            // Each edge once: from its from-entity (or its only one).
            if (edge && (edge->fromEntity() == entity || !edge->fromEntity()))
                add(edge);
        }
        // The first measure lays out the text of every label: seconds on a
        // large diagram, during which the busy indicator of a load turns.
        // Not from a pass of the event loop that this started.
        if (!nested)
            eventpump::step();
    }
    for (const AnnotationItem* item : m_annotations)
        add(item);
    measuring = nested;
    return bounds;
}

void ERScene::growSceneRect()
{
    // A diagram is measured by its registered items: every row label of
    // the scene put in stacking order, as itemsBoundingRect does, takes
    // seconds on a large one. (Passing editors and previews stay within
    // or near their items.) Other scenes the plain way.
    const bool diagram = !m_entities.isEmpty() || !m_annotations.isEmpty();
    growSceneRectAround(diagram ? contentBoundingRect() : itemsExtent());
}

void ERScene::growSceneRectAround(const QRectF& bounds)
{
    if (bounds.width() <= 0 || bounds.height() <= 0)
        return;
    const QRectF wanted = bounds.adjusted(-SceneMargin, -SceneMargin, SceneMargin, SceneMargin);
    if (!sceneRect().contains(wanted))
        setSceneRect(sceneRect().united(wanted));
    m_rectCoversItems = true;
}

// ------------------------------------------------------------ diagram JSON

namespace {

const QString keyVersion = QStringLiteral("version");
const QString keyType = QStringLiteral("type");
const QString keyEntities = QStringLiteral("entities");
const QString keyEdges = QStringLiteral("edges");
const QString keyAnnotations = QStringLiteral("annotations");
const QString keyDialect = QStringLiteral("dialect");

// Lets the busy indicator turn while a large diagram loads; user input stays
// queued until the load is over. Every pass of the event loop repaints the
// canvas, so it runs at most once per frame of the indicator rather than at
// every step.
class IndicatorPump
{
public:
    explicit IndicatorPump(QGraphicsScene* scene = nullptr)
        : m_scene(scene)
    {
        m_sinceLast.start();
        wholeSceneUpdate();
    }

    void step()
    {
        if (m_sinceLast.elapsed() < IntervalMs)
            return;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        wholeSceneUpdate();
        m_sinceLast.restart();
    }

    static constexpr qint64 IntervalMs = 20;

private:
    // While the whole scene is due for an update, the scene keeps no
    // account of what each item added or changed would need repainted: at
    // every pass of the event loop it would otherwise measure every item
    // added since the last one. The canvas is repainted whole at the end.
    void wholeSceneUpdate()
    {
        if (m_scene)
            m_scene->update();
    }

    QGraphicsScene* m_scene = nullptr;
    QElapsedTimer m_sinceLast;
};

} // namespace

QJsonObject ERScene::toJson() const
{
    QJsonArray entities;
    QJsonArray edges;
    QJsonArray annotations;

    // Topmost first: the reader stacks the first element of an array on top.
    const QList<QGraphicsItem*> all = stackedDiagramItems();
    for (const QGraphicsItem* item : all) {
        switch (item->type()) {
        case DiagramItemType::Entity:
            entities.append(static_cast<const EntityItem*>(item)->toJson());
            break;
        case DiagramItemType::Edge:
            if (const auto* edge = dynamic_cast<const EdgeItem*>(item)) {
                QJsonObject obj = edge->toJson();
                if (edge->isViewEdge())
                    obj.insert(QStringLiteral("kind"), QStringLiteral("entity-view-edge"));
                edges.append(obj);
            }
            break;
        case DiagramItemType::Text:
            annotations.append(static_cast<const TextItem*>(item)->toJson());
            break;
        case DiagramItemType::Group:
            annotations.append(static_cast<const GroupItem*>(item)->toJson());
            break;
        default:
            continue; // slot handles, row labels and editors belong to their items
        }
        eventpump::step();
    }

    QJsonObject root;
    root.insert(keyVersion, QStringLiteral("1.0"));
    root.insert(keyType, QStringLiteral("er-diagram"));
    root.insert(keyEntities, entities);
    root.insert(keyEdges, edges);
    root.insert(keyAnnotations, annotations);
    root.insert(keyDialect, m_dialect);
    return root;
}

bool ERScene::loadFromJson(const QJsonObject& root)
{
    qCDebug(lcScene) << "loadFromJson: starting";
    {
        struct LoadingFlag
        {
            explicit LoadingFlag(bool& flag)
                : m_flag(flag)
            {
                m_flag = true;
            }
            ~LoadingFlag() { m_flag = false; }
            bool& m_flag;
        } loading(m_loading);
        // Entities placed one by one would route edges that are about to
        // be replaced; routing waits until everything is in place.
        struct RoutingSuspension
        {
            RoutingSuspension()
                : m_wasSuspended(EdgeItem::isRoutingSuspended())
            {
                EdgeItem::setRoutingSuspended(true);
            }
            ~RoutingSuspension() { EdgeItem::setRoutingSuspended(m_wasSuspended); }
            bool m_wasSuspended;
        } suspension;
        // The event loop runs now and then while the diagram is read, so
        // that the busy indicator turns; the canvas would be repainted at
        // every such pass with half a diagram on it, at a cost that grows
        // with what has been read so far. It is shown once, when complete.
        struct RepaintHold
        {
            // Nor is it painted when a widget above it asks: the busy
            // indicator is translucent, and every turn of it would paint
            // the canvas below it, edges and all.
            explicit RepaintHold(const QList<QGraphicsView*>& views)
            {
                for (QGraphicsView* view : views) {
                    m_views.append({view, view->viewportUpdateMode(), view->viewport()->updatesEnabled()});
                    view->setViewportUpdateMode(QGraphicsView::NoViewportUpdate);
                    view->viewport()->setUpdatesEnabled(false);
                }
            }
            ~RepaintHold()
            {
                for (const auto& [view, mode, painting] : std::as_const(m_views)) {
                    if (!view)
                        continue;
                    view->setViewportUpdateMode(mode);
                    view->viewport()->setUpdatesEnabled(painting);
                    view->viewport()->update();
                }
            }
            struct HeldView
            {
                QPointer<QGraphicsView> view;
                QGraphicsView::ViewportUpdateMode mode;
                bool painting;
            };
            QList<HeldView> m_views;
        } repaintHold(views());
        // While anything listens to the scene's changes, every geometry
        // change of an item measures the item and queues its rectangle, and
        // the rows of a large entity bring hundreds of thousands. The scene
        // does nothing with them while loading (see onSceneChanged) and grows
        // its rectangle once at the end; the views, which the scene's own
        // listening has tied to the same signal, are held from repainting
        // (above) and are repainted whole when the load is over. Without a
        // listener the scene hands its updates to the views directly.
        struct ChangeListenerPause
        {
            explicit ChangeListenerPause(ERScene* scene)
                : m_scene(scene)
            {
                disconnect(m_scene, &QGraphicsScene::changed, m_scene, &ERScene::onSceneChanged);
                for (QGraphicsView* view : m_scene->views()) {
                    // Tied by name, so untied and tied again by name.
                    if (disconnect(m_scene, SIGNAL(changed(QList<QRectF>)), view, SLOT(updateScene(QList<QRectF>))))
                        m_views.append(view);
                }
            }
            ~ChangeListenerPause()
            {
                // In the order they were tied: the scene's own first.
                connect(m_scene, &QGraphicsScene::changed, m_scene, &ERScene::onSceneChanged);
                for (const QPointer<QGraphicsView>& view : std::as_const(m_views)) {
                    if (view && view->scene() == m_scene)
                        connect(m_scene, SIGNAL(changed(QList<QRectF>)), view.data(), SLOT(updateScene(QList<QRectF>)));
                }
            }
            ERScene* m_scene;
            QList<QPointer<QGraphicsView>> m_views;
        } changePause(this);
        readDiagram(root);
    }
    growSceneRectAround(contentBoundingRect());
    qCDebug(lcScene) << "loadFromJson: completed successfully";
    return true;
}

void ERScene::readDiagram(const QJsonObject& root)
{
    clearScene();
    m_dialect = root.value(keyDialect).toString();

    // Items of equal z stack in the order they are added, the last on top,
    // while the writer lists the topmost first. Each array is therefore read
    // from its end, so that a diagram comes back stacked as it was saved.
    IndicatorPump pump(this);
    // The item index, updated at the passes of the event loop, would be
    // built over and over while the entities come in, anew whenever their
    // count doubles. It is built once, when they are all there.
    ItemIndexPause indexPause(this);
    const QJsonArray entities = root.value(keyEntities).toArray();
    QHash<QString, EntityItem*> entitiesById;
    entitiesById.reserve(entities.size());
    for (qsizetype i = entities.size() - 1; i >= 0; --i) {
        const QJsonObject obj = entities.at(i).toObject();
        const QJsonValue titleValue = obj.value(QStringLiteral("title"));
        const QString title = titleValue.isString() ? titleValue.toString() : QStringLiteral("Entity");
        auto* entity = new EntityItem(title, QSizeF(150, 70));
        if (obj.contains(QStringLiteral("id")))
            entity->setId(obj.value(QStringLiteral("id")).toString());
        // Of two entities with the same id, the one later in the array (met
        // first here) keeps it, and edges go to that one; the other gets a
        // fresh id, so that the model never merges two boxes into one table.
        if (entitiesById.contains(entity->id()))
            entity->setId(generateItemId());
        addItem(entity);
        entity->fromJson(obj);
        emit entityAdded(entity);

        entitiesById.insert(entity->id(), entity);
        if (entitiesById.size() % 8 == 0)
            pump.step();
    }

    indexPause.resume();
    // The scene's item index covers the scene rectangle; entities left
    // outside it would make every obstacle look-up of the routing below a
    // scan of the whole diagram. Grow it once, now that they are all there.
    growSceneRectAround(contentBoundingRect());

    QList<EdgeItem*> edgesToRoute;
    QSet<QString> edgeIds;
    const QJsonArray edges = root.value(keyEdges).toArray();
    for (qsizetype i = edges.size() - 1; i >= 0; --i) {
        const QJsonObject obj = edges.at(i).toObject();
        const QString from = obj.value(QStringLiteral("from")).toString();
        const QString to = obj.value(QStringLiteral("to")).toString();
        EntityItem* fromEntity = entitiesById.value(from);
        EntityItem* toEntity = entitiesById.value(to);
        if (!fromEntity || !toEntity) {
            qWarning() << "Edge references unknown entity:" << from << "->" << to;
            continue;
        }
        EdgeItem* edge = createEdge(fromEntity, toEntity, false);
        if (!edge)
            continue;
        edge->fromJson(obj);
        // Edge ids name relationships in the model: a repeated one would
        // merge two edges into one relationship.
        if (edgeIds.contains(edge->id()))
            edge->setId(generateItemId());
        edgeIds.insert(edge->id());
        // The entities and the slots of this edge are where they belong (no
        // slot moves while a diagram is read), so an edge that brought no
        // usable route of its own is routed at once: the scene has not yet
        // filed it in its index, from which a change would have to take it
        // out again.
        if (edge->route().size() < 2) {
            edgesToRoute.append(edge);
            edge->updatePath();
        }
        pump.step();
    }

    const QJsonArray annotations = root.value(keyAnnotations).toArray();
    for (qsizetype i = annotations.size() - 1; i >= 0; --i) {
        const QJsonObject obj = annotations.at(i).toObject();
        const QString kind = obj.value(QStringLiteral("kind")).toString();
        if (kind == QLatin1String("text-item")) {
            auto* text = new TextItem(QStringLiteral("Text"));
            addItem(text);
            text->fromJson(obj);
        } else if (kind == QLatin1String("group-item")) {
            auto* group = new GroupItem(QStringLiteral("Group"), QSizeF(240, 160));
            addItem(group);
            group->fromJson(obj);
        }
    }

    // A stored route that runs through an entity (one moved since the route
    // was made, by hand or by another program) would look joined to it.
    EdgeItem::rerouteEdgesCrossing(m_entities, QSet<EdgeItem*>(edgesToRoute.cbegin(), edgesToRoute.cend()));
}
