#include "diagram/erscene.h"

#include "app/thememanager.h"
#include "diagram/annotationitem.h"
#include "diagram/entityitem.h"
#include "diagram/slotitem.h"
#include "edges/edgeitem.h"
#include "model/eventpump.h"

#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneDragDropEvent>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

// The canvas: row labels, events, the grid behind the items, the extent of
// the diagram and the scene rectangle.

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
