#include "edges/edgeitem.h"

#include "app/dialoghooks.h"
#include "app/thememanager.h"
#include "diagram/entityitem.h"
#include "diagram/slotitem.h"
#include "dialogs/edgeeditdialog.h"
#include "edges/entityrouter.h"
#include "edges/routechecks.h"
#include "edges/routegeometry.h"
#include "edges/selfloop.h"
#include "edges/sidechoice.h"
#include "edges/storedroute.h"
#include "layout/edgeslots.h"
#include "model/itemid.h"
#include "model/jsonfields.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDebug>
#include <QGraphicsScene>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QHash>
#include <QJsonArray>
#include <QMenu>
#include <QPainter>
#include <QPainterPathStroker>
#include <QSet>
#include <QStyleOptionGraphicsItem>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Class-wide scheduling state; GUI thread only.
bool s_routingSuspended = false;
bool s_skipBatchFlush = false;
bool s_batchMode = false;
QTimer* s_flushTimer = nullptr;
QSet<EdgeItem*> s_timerEdges;
QSet<EdgeItem*> s_batchEdges;
// The edges a running flush has still to visit; an edge that dies during
// the flush takes itself out.
QSet<EdgeItem*> s_flushingTimer;
QSet<EdgeItem*> s_flushingBatch;
EdgeItem::RoutingCounters s_counters;

QPointF sceneCentre(const EntityItem* e)
{
    return e->sceneBoundingRect().center();
}

// A slot an entity has just handed out, bound to edge (none stays none).
SlotItem* boundTo(SlotItem* slot, EdgeItem* edge)
{
    if (slot)
        slot->setEdge(edge);
    return slot;
}

// The scene bounding rectangles of the entities of scene that meet region,
// without a and b, bottom-most first.
QList<QRectF> entityRectsIn(const QGraphicsScene* scene, const QRectF& region, const EntityItem* a,
                            const EntityItem* b)
{
    // The diagram's scene knows its entities; asking any scene for the items
    // in a region would sort them and bring every row label along.
    if (const auto* erScene = qobject_cast<const ERScene*>(scene))
        return erScene->entityRectsIn(region, a, b);
    QList<QRectF> rects;
    if (!scene)
        return rects;
    const QList<QGraphicsItem*> found = scene->items(region, Qt::IntersectsItemBoundingRect, Qt::AscendingOrder);
    for (const QGraphicsItem* item : found) {
        if (item->type() == DiagramItemType::Entity && item != a && item != b)
            rects.append(item->sceneBoundingRect());
    }
    return rects;
}

} // namespace

// ============================================================ construction

EdgeItem::EdgeItem(EntityItem* from, EntityItem* to, bool createFKs)
    : QObject()
    , QGraphicsPathItem()
    , m_from(from)
    , m_to(to)
{
    if (m_from)
        m_from->attachEdge(this);
    if (m_to)
        m_to->attachEdge(this);
    if (m_from)
        m_fromCenter = sceneCentre(m_from);
    if (m_to)
        m_toCenter = sceneCentre(m_to);

    if (m_from && m_from == m_to) {
        m_fromSlot = m_from->acquireFreeSlot();
        if (m_fromSlot) {
            m_fromSlot->setSide(SlotLeft);
            m_fromSlot->setEdge(this);
            // A fresh slot starts inside the box; the loop must leave from
            // the border.
            m_fromSlot->snapToBorder();
        }
        m_toSlot = m_to->acquireFreeSlot();
        if (m_toSlot) {
            m_toSlot->setSide(SlotRight);
            m_toSlot->setEdge(this);
            m_toSlot->snapToBorder();
        }
    } else if (m_from && m_to) {
        m_fromSlot = boundTo(m_from->slotForEdgeAt(m_toCenter), this);
        m_toSlot = boundTo(m_to->slotForEdgeAt(m_fromCenter), this);
        spreadSidesOfSlots();
    }

    setZValue(-1);
    setFlag(ItemIsSelectable, true);
    setAcceptHoverEvents(true);
    m_id = generateItemId();

    if (createFKs && m_from && m_to) {
        const QList<QPair<QString, QString>> keys = m_from->primaryKeyAttributes();
        for (const auto& key : keys)
            m_to->addForeignKeyAttribute(key.first, key.second, m_id, QString());
        updatePath();
    }

    EdgeItem::updatePen();
    connect(&ThemeManager::instance(), &ThemeManager::themeChanged, this, [this] { updatePen(); });
}

namespace {

// What the last edge drawn put on the canvas. Edges without routes of their
// own between the same two slots (a file may hold thousands of them) lie
// one on top of the other: an edge that would draw exactly the same pixels
// as the edge drawn just before it in the same pass is not drawn again.
struct LastDrawnEdge
{
    const QGraphicsScene* scene = nullptr;
    quint64 pass = 0;
    QPainterPath path;
    QPen pen;
    QTransform transform;
    qreal opacity = 1.0;
    int startCard = 0;
    int endCard = 0;
    bool accent = false;
    const EdgeItem* edge = nullptr;
};

LastDrawnEdge s_lastDrawn;

} // namespace

EdgeItem::~EdgeItem()
{
    m_dying = true;
    if (s_lastDrawn.edge == this)
        s_lastDrawn.edge = nullptr;
    if (m_contextMenu)
        m_contextMenu->deleteLater();

    // Rows lit up by this edge's selection must not stay lit.
    if (m_to)
        m_to->highlightEdgeRows(this, false);
    if (m_from && m_from != m_to)
        m_from->highlightEdgeRows(this, false);

    // Off both entities first: removing the rows below re-lays the entity
    // out, which schedules its edges, and this one must not be among them.
    EntityItem* to = m_to;
    if (m_fromSlot) {
        m_fromSlot->setEdge(nullptr);
        if (m_from)
            m_from->releaseSlot(m_fromSlot);
    }
    if (m_toSlot) {
        m_toSlot->setEdge(nullptr);
        if (m_to)
            m_to->releaseSlot(m_toSlot);
    }
    if (m_from)
        m_from->removeEdge(this);
    if (m_to)
        m_to->removeEdge(this);
    m_fromSlot = m_toSlot = nullptr;
    m_from = m_to = nullptr;

    if (m_removeFkRowsOnDestroy && to && !m_id.isEmpty())
        to->removeForeignKeyAttributesOfEdge(m_id);

    // Queued for the flush or the end of a batch: no longer.
    s_timerEdges.remove(this);
    s_batchEdges.remove(this);
    s_flushingTimer.remove(this);
    s_flushingBatch.remove(this);
}

void EdgeItem::forgetEntity(EntityItem* entity)
{
    if (!entity)
        return;
    if (m_from == entity) {
        if (m_fromSlot)
            m_fromSlot->setEdge(nullptr);
        m_fromSlot = nullptr;
        m_from = nullptr;
    }
    if (m_to == entity) {
        if (m_toSlot)
            m_toSlot->setEdge(nullptr);
        m_toSlot = nullptr;
        m_to = nullptr;
    }
}

void EdgeItem::forgetSlot(SlotItem* slot)
{
    if (m_fromSlot == slot)
        m_fromSlot = nullptr;
    if (m_toSlot == slot)
        m_toSlot = nullptr;
}

void EdgeItem::setStartCard(int card)
{
    m_startCard = card;
    update();
}

void EdgeItem::setEndCard(int card)
{
    m_endCard = card;
    update();
}

// ============================================================ drawing

void EdgeItem::updatePen()
{
    const ThemeManager& theme = ThemeManager::instance();
    const QColor color = theme.color(isSelected() || m_highlighted ? ThemeSlot::Highlight
                                                                   : ThemeSlot::RelationshipLine);
    QPen pen(QBrush(color), 2.0, m_highlighted ? Qt::DashLine : Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    setPen(pen);
    update();
}

QPainterPath EdgeItem::shape() const
{
    const double w = pen().widthF();
    const QPainterPath& source = path();
    if (m_shapeWidth == w && m_shapeSource == source)
        return m_shape;
    // Edges that lie one on top of the other (many between the same two
    // slots) share one stroke: a click among them strokes it once.
    static QPainterPath lastSource;
    static double lastWidth = -1.0;
    static QPainterPath lastShape;
    if (lastWidth != w || lastSource != source) {
        QPainterPathStroker stroker;
        stroker.setWidth((w <= 0 ? 1.0 : w) + 20.0);
        stroker.setCapStyle(Qt::SquareCap);
        stroker.setJoinStyle(Qt::MiterJoin);
        lastShape = stroker.createStroke(source);
        lastSource = source;
        lastWidth = w;
    }
    m_shape = lastShape;
    m_shapeSource = source;
    m_shapeWidth = w;
    return m_shape;
}

QRectF EdgeItem::boundingRect() const
{
    // The line as the pen draws it (the base class would measure the wide
    // hit shape instead).
    double w = pen().widthF();
    if (w <= 0)
        w = 1.0;
    QRectF r = path().controlPointRect().adjusted(-w / 2, -w / 2, w / 2, w / 2);
    // A flat line gets some height (and a plumb one some width) about its
    // middle.
    if (std::abs(r.height() - w) < 0.01)
        r.adjust(0, -2.5, 0, 2.5);
    if (std::abs(r.width() - w) < 0.01)
        r.adjust(-2.5, 0, 2.5, 0);
    return r.adjusted(-20, -20, 20, 20);
}

void EdgeItem::paintPath(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    QStyleOptionGraphicsItem plain(*option);
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    QGraphicsPathItem::paint(painter, &plain, widget);
}


void EdgeItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    const bool accent = (option->state & QStyle::State_Selected) || m_highlighted;
    if (const auto* erScene = qobject_cast<const ERScene*>(scene())) {
        LastDrawnEdge& last = s_lastDrawn;
        const bool same = last.edge && last.edge != this && last.scene == erScene && last.pass == erScene->paintPass()
            && last.startCard == m_startCard && last.endCard == m_endCard && last.accent == accent
            && last.opacity == painter->opacity() && last.transform == painter->worldTransform()
            && last.pen == pen() && last.path == path();
        if (same)
            return;
        last.scene = erScene;
        last.pass = erScene->paintPass();
        last.path = path();
        last.pen = pen();
        last.transform = painter->worldTransform();
        last.opacity = painter->opacity();
        last.startCard = m_startCard;
        last.endCard = m_endCard;
        last.accent = accent;
        last.edge = this;
    }
    paintPath(painter, option, widget);

    const QPainterPath& p = path();
    const int n = p.elementCount();
    if (n < 2)
        return;

    const QPointF p0 = p.elementAt(0);
    const QPointF p1 = p.elementAt(1);
    const QPointF pn = p.elementAt(n - 1);
    const QPointF pm = p.elementAt(n - 2);

    const QPainterPath startGlyph =
        routeEndTransform(p0, p1, GlyphSize).map(cardinalityGlyphPath(m_startCard, GlyphSize));
    const QPainterPath endGlyph = routeEndTransform(pn, pm, GlyphSize).map(cardinalityGlyphPath(m_endCard, GlyphSize));

    const ThemeManager& theme = ThemeManager::instance();
    painter->save();
    painter->setPen(QPen(QBrush(theme.color(accent ? ThemeSlot::Selection : ThemeSlot::Border)), 2.0,
                         Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter->setBrush(QBrush(theme.color(ThemeSlot::SceneBackground), Qt::SolidPattern));
    painter->drawPath(startGlyph);
    painter->drawPath(endGlyph);
    painter->restore();
}

void EdgeItem::setRoutePoints(const QList<QPointF>& points)
{
    m_route = points;
    m_highlighted = false;
    m_routeEditedByHand = false;
    // Only a slot that shows a drag preview or the wrong selection state is
    // touched: redrawing it marks its entity's slots for the scene's next
    // pass, which then walks every slot of the entity.
    const bool selected = isSelected();
    for (SlotItem* slot : {m_fromSlot, m_toSlot}) {
        if (slot && (slot->isHighlighted() || slot->isActive() != selected)) {
            slot->applyTheme(false);
            slot->setActive(selected);
        }
    }
    setPath(buildRoundedPath(points, EdgeCornerRadius));
    updatePen();
}

void EdgeItem::setStraightPath()
{
    if (!m_fromSlot || !m_toSlot)
        return;
    QPainterPath line;
    line.moveTo(m_fromSlot->scenePos());
    line.lineTo(m_toSlot->scenePos());
    setPath(line);
    m_highlighted = true;
    for (SlotItem* slot : {m_fromSlot, m_toSlot}) {
        slot->setActive(true);
        slot->applyTheme(true);
    }
    updatePen();
}

// ============================================================ scheduling

void EdgeItem::setRoutingSuspended(bool on)
{
    s_routingSuspended = on;
}

bool EdgeItem::isRoutingSuspended()
{
    return s_routingSuspended;
}

void EdgeItem::setSkipBatchFlush(bool on)
{
    s_skipBatchFlush = on;
}

void EdgeItem::dropQueuedUpdates()
{
    if (s_flushTimer)
        s_flushTimer->stop();
    s_timerEdges.clear();
    s_batchEdges.clear();
}

bool EdgeItem::isBatchMode()
{
    return s_batchMode;
}

int EdgeItem::pendingTimerEdgeCount()
{
    return static_cast<int>(s_timerEdges.size());
}

int EdgeItem::pendingBatchEdgeCount()
{
    return static_cast<int>(s_batchEdges.size());
}

bool EdgeItem::isFlushTimerActive()
{
    return s_flushTimer && s_flushTimer->isActive();
}

EdgeItem::RoutingCounters EdgeItem::routingCounters()
{
    return s_counters;
}

void EdgeItem::resetRoutingCounters()
{
    s_counters = RoutingCounters();
}

void EdgeItem::setBatchMode(bool on)
{
    s_batchMode = on;
    if (on)
        return;
    if (s_flushTimer) {
        s_flushTimer->stop();
        flushTimerEdges();
    }
    if (s_skipBatchFlush)
        s_batchEdges.clear();
    else
        flushBatchEdges();
    s_skipBatchFlush = false;
}

namespace {

// Brings every queued edge up to date with update. The queue is emptied
// first, so that edges queued meanwhile wait for the next flush; `flushing`
// holds the edges still to visit, which an edge deleted meanwhile leaves.
// They are visited in one pass over a list of them: taking the set's first
// element over and over would walk its emptied buckets every time. A flush
// with work counts in flushes.
void flushQueue(QSet<EdgeItem*>& queue, QSet<EdgeItem*>& flushing, quint64& flushes, void (EdgeItem::*update)())
{
    flushing = std::exchange(queue, QSet<EdgeItem*>());
    if (flushing.isEmpty())
        return;
    ++flushes;
    const QList<EdgeItem*> order(flushing.cbegin(), flushing.cend());
    for (EdgeItem* edge : order) {
        if (flushing.remove(edge) && edge)
            (edge->*update)();
    }
}

} // namespace

void EdgeItem::flushTimerEdges()
{
    flushQueue(s_timerEdges, s_flushingTimer, s_counters.timerFlushes, &EdgeItem::quickUpdatePath);
}

void EdgeItem::flushBatchEdges()
{
    flushQueue(s_batchEdges, s_flushingBatch, s_counters.batchFlushes, &EdgeItem::updatePath);
}

void EdgeItem::scheduleUpdate()
{
    if (s_routingSuspended || m_dying)
        return;
    if (!s_batchMode) {
        updatePath();
        return;
    }
    s_batchEdges.insert(this);
    s_timerEdges.insert(this);
    if (!s_flushTimer) {
        s_flushTimer = new QTimer;
        s_flushTimer->setSingleShot(true);
        QObject::connect(s_flushTimer, &QTimer::timeout, &EdgeItem::flushTimerEdges);
    }
    // A running timer is not restarted: the first move of a drag fixes the
    // flush, so flushes follow the drag at most every 33 ms.
    if (!s_flushTimer->isActive())
        s_flushTimer->start(FlushIntervalMs);
}

// ============================================================ routing

namespace {

bool routable(const EdgeItem& edge)
{
    return edge.fromEntity() && edge.toEntity() && edge.fromSlot() && edge.toSlot();
}

// The entities of the edge's scene, looked up on the calling thread.
EdgeItem::EntityRectLookup sceneLookup(const QGraphicsScene* scene)
{
    return [scene](const QRectF& region, const void* a, const void* b) {
        return entityRectsIn(scene, region, static_cast<const EntityItem*>(a), static_cast<const EntityItem*>(b));
    };
}

ObstacleSet obstaclesOf(const EdgeItem::RouteInputs& inputs, const EdgeItem::EntityRectLookup& lookup)
{
    return ObstacleSet::fromEntityRects(
        lookup(routeObstacleRegion(inputs.fromRect, inputs.toRect), inputs.fromKey, inputs.toKey));
}

EntityRouteRequest requestOf(const EdgeItem::RouteInputs& inputs, const EdgeItem::EntityRectLookup& lookup)
{
    EntityRouteRequest request = EdgeItem::routeRequest(inputs);
    request.obstacles = obstaclesOf(inputs, lookup);
    return request;
}

} // namespace

EntityRouteRequest EdgeItem::routeRequest(const RouteInputs& inputs)
{
    EntityRouteRequest request;
    request.from = inputs.from;
    request.to = inputs.to;
    request.fromSide = inputs.fromSide;
    request.toSide = inputs.toSide;
    request.fromRect = inputs.fromRect;
    request.toRect = inputs.toRect;
    return request;
}

EdgeItem::RouteInputs EdgeItem::routeInputs() const
{
    RouteInputs inputs;
    if (!m_from || !m_to || m_from == m_to)
        return inputs;
    inputs.fromRect = m_from->sceneBoundingRect();
    inputs.toRect = m_to->sceneBoundingRect();
    inputs.fromKey = m_from;
    inputs.toKey = m_to;
    if (!routable(*this))
        return inputs;
    inputs.valid = true;
    inputs.from = m_fromSlot->scenePos();
    inputs.to = m_toSlot->scenePos();
    inputs.fromSide = m_fromSlot->side();
    inputs.toSide = m_toSlot->side();
    inputs.route = m_route;
    return inputs;
}

// Routes the edge afresh between its entities. One gathering of the
// obstacles serves the route and its check. Where every route near the pair
// runs through an entity, the search looks further out, twice at the most,
// so that a route around is found when one exists.
QList<QPointF> EdgeItem::findRouteAround(const RouteInputs& inputs, const EntityRectLookup& lookup)
{
    if (!inputs.valid)
        return {};
    EntityRouteRequest request = requestOf(inputs, lookup);
    QList<QPointF> fitted = fitRouteToEntities(routeTwoEntities(request), request);
    if (fitted.size() < 2 || !routeMeetsObstacle(fitted, request.obstacles))
        return fitted;
    // No route leaves a slot that another entity covers: nothing to look for.
    bool slotCovered = false;
    for (const QPointF& p : {request.from, request.to, fromStubPoint(request), toStubPoint(request)}) {
        request.obstacles.forEachIn(QRectF(p, QSizeF(0, 0)), [&slotCovered, &p](const QRectF& r) {
            const QRectF n = r.normalized();
            if (n.left() < p.x() && p.x() < n.right() && n.top() < p.y() && p.y() < n.bottom())
                slotCovered = true;
        });
    }
    for (const double reach : {640.0, 2400.0}) {
        if (slotCovered || !routeMeetsObstacle(fitted, request.obstacles))
            break;
        const QRectF region = routeObstacleRegion(request.fromRect, request.toRect).adjusted(-reach, -reach, reach, reach);
        EntityRouteRequest wider = request;
        wider.searchRegion = region;
        wider.obstacles = ObstacleSet::fromEntityRects(lookup(region, inputs.fromKey, inputs.toKey));
        const QList<QPointF> around = fitRouteToEntities(routeTwoEntities(wider), wider);
        if (around.size() >= 2 && countObstacleHits(around, wider.obstacles) < countObstacleHits(fitted, wider.obstacles)) {
            fitted = around;
            request = wider;
        }
    }
    return fitted;
}

QList<QPointF> EdgeItem::fitRoute(const RouteInputs& inputs, const QList<QPointF>& route, const EntityRectLookup& lookup)
{
    if (!inputs.valid || route.size() < 2)
        return {};
    return fitRouteToEntities(route, requestOf(inputs, lookup));
}

SidePair EdgeItem::findBestSides(const RouteInputs& inputs, const EntityRectLookup& lookup)
{
    return chooseBestSidePair(inputs.fromRect, inputs.toRect, obstaclesOf(inputs, lookup));
}

SlotSideAdvice EdgeItem::findSideImprovement(const RouteInputs& inputs, const EntityRectLookup& lookup)
{
    if (!inputs.valid)
        return {};
    return improveSlotSides(inputs.fromRect, inputs.toRect, inputs.from, inputs.to,
                            SidePair{inputs.fromSide, inputs.toSide}, inputs.route, obstaclesOf(inputs, lookup));
}

namespace {

// Routes the edge afresh between its entities and takes the route when one
// came out.
void rerouteAroundEntities(EdgeItem& edge)
{
    const QList<QPointF> fitted = EdgeItem::findRouteAround(edge.routeInputs(), sceneLookup(edge.scene()));
    if (fitted.size() >= 2)
        edge.setRoutePoints(fitted);
}

} // namespace

QList<QPointF> EdgeItem::routeSelfLoop() const
{
    if (!routable(*this))
        return {};
    return selfLoopRoute(m_fromSlot->scenePos(), m_fromSlot->side(), m_toSlot->scenePos(), m_toSlot->side(),
                         m_from->sceneBoundingRect(), selfLoopIndex());
}

int EdgeItem::selfLoopIndex() const
{
    if (!isSelfRelation())
        return -1;
    return selfLoopIndexIn(m_from->edges(), this, [](const EdgeItem* e) { return e->isSelfRelation(); });
}

void EdgeItem::applyRoute(const QList<QPointF>& route)
{
    if (route.size() < 2)
        return;
    if (routable(*this) && m_from != m_to) {
        const QList<QPointF> fitted = fitRoute(routeInputs(), route, sceneLookup(scene()));
        if (fitted.size() >= 2)
            setRoutePoints(fitted);
        return;
    }
    setRoutePoints(simplifyRoute(route));
}

void EdgeItem::updatePath()
{
    ++s_counters.fullUpdates;
    if (!m_from || !m_to)
        return;
    if (m_from == m_to) {
        const QList<QPointF> loop = routeSelfLoop();
        if (loop.size() >= 2)
            applyRoute(loop);
        return;
    }
    if (!routable(*this))
        return;
    rerouteAroundEntities(*this);
}

void EdgeItem::quickUpdatePath()
{
    ++s_counters.quickUpdates;
    if (!m_fromSlot || !m_toSlot || m_route.size() < 2)
        return;
    // A loop never becomes a straight line through its own entity.
    if (isSelfRelation()) {
        updatePath();
        return;
    }
    const QPointF a = m_fromSlot->scenePos();
    const QPointF b = m_toSlot->scenePos();
    if (QGraphicsScene* s = scene()) {
        // Only a line that leaves both slots outward can stand for the
        // route; one running back through its own entity cannot.
        const QPointF d = b - a;
        const QPointF outFrom = sideDirection(m_fromSlot->side());
        const QPointF outTo = sideDirection(m_toSlot->side());
        const bool outward = QPointF::dotProduct(d, outFrom) > 0.0 && QPointF::dotProduct(-d, outTo) > 0.0;
        if (outward) {
            const QRectF corridor = QRectF(a, b).normalized().adjusted(-2.0, -2.0, 2.0, 2.0);
            const QList<QPointF> straight = quickStraightRoute(a, b, entityRectsIn(s, corridor, m_from, m_to));
            if (straight.size() == 2) {
                ++s_counters.straightShortcuts;
                m_route = straight;
                setPath(buildRoundedPath(m_route, EdgeCornerRadius));
                return;
            }
        }
    }
    if (!m_from || !m_to)
        return;
    rerouteAroundEntities(*this);
}

void EdgeItem::refreshRoute()
{
    if (m_routeEditedByHand)
        quickUpdatePath();
    else
        updatePath();
}

QList<EdgeItem*> EdgeItem::rerouteEdgesCrossing(const QList<EntityItem*>& entities, const QSet<EdgeItem*>& handled)
{
    QList<EdgeItem*> crossing;
    if (entities.isEmpty())
        return crossing;
    const auto* erScene = qobject_cast<const ERScene*>(entities.constFirst()->scene());
    if (!erScene)
        return crossing;

    // The entities as obstacles, indexed, and where each stands in the set.
    QList<QRectF> rects;
    QHash<const EntityItem*, int> indexOf;
    rects.reserve(entities.size());
    for (const EntityItem* entity : entities) {
        if (entity->scene() != erScene || !entity->isVisible() || indexOf.contains(entity))
            continue;
        indexOf.insert(entity, static_cast<int>(rects.size()));
        rects.append(entity->sceneBoundingRect());
    }
    if (rects.isEmpty())
        return crossing;
    const ObstacleSet obstacles = ObstacleSet::fromEntityRects(rects);
    QRectF reach;
    for (const QRectF& r : std::as_const(rects))
        reach |= r;

    // Every edge hangs on its from-entity, so each is met once there.
    for (const EntityItem* entity : erScene->entityItems()) {
        for (EdgeItem* edge : entity->edges()) {
            if (!edge || edge->m_from != entity || edge->isSelfRelation() || !edge->m_to
                || handled.contains(edge) || edge->m_route.size() < 2)
                continue;
            const QList<QPointF>& route = edge->m_route;
            qreal left = route.first().x(), right = left, top = route.first().y(), bottom = top;
            for (const QPointF& p : route) {
                left = std::min(left, p.x());
                right = std::max(right, p.x());
                top = std::min(top, p.y());
                bottom = std::max(bottom, p.y());
            }
            if (!QRectF(QPointF(left, top), QPointF(right, bottom)).adjusted(-1, -1, 1, 1).intersects(reach))
                continue;
            const ObstacleSet others = obstacles.excluding(indexOf.value(edge->m_from, -1),
                                                           indexOf.value(edge->m_to, -1));
            if (routeMeetsObstacle(route, others))
                crossing.append(edge);
        }
    }
    for (EdgeItem* edge : std::as_const(crossing))
        edge->updatePath();
    return crossing;
}

void EdgeItem::rerouteIfConnected()
{
    if (routable(*this) && m_from != m_to)
        rerouteAroundEntities(*this);
}

// ============================================================ crossings

bool EdgeItem::countEntityCrossings() const
{
    if (!scene() || m_route.size() < 2 || !m_from || !m_to)
        return false;
    RouteInputs inputs;
    inputs.fromKey = m_from;
    inputs.toKey = m_to;
    return crossesEntities(inputs, m_route, sceneLookup(scene()));
}

bool EdgeItem::crossesEntities(const RouteInputs& inputs, const QList<QPointF>& route, const EntityRectLookup& lookup)
{
    if (route.size() < 2)
        return false;
    const QRectF bounds = QPolygonF(route).boundingRect().adjusted(-4, -4, 4, 4);
    const ObstacleSet obstacles = ObstacleSet::fromEntityRects(lookup(bounds, inputs.fromKey, inputs.toKey));
    return routeMeetsObstacle(route, obstacles);
}

// ============================================================ slot sides

void EdgeItem::reassignSlots()
{
    if (!m_from || !m_to)
        return;
    const QPointF nf = sceneCentre(m_from);
    const QPointF nt = sceneCentre(m_to);
    if (m_from == m_to) {
        if (m_fromSlot && m_fromSlot->side() != SlotLeft) {
            m_fromSlot->setSide(SlotLeft);
            m_fromSlot->snapToBorder();
        }
        if (m_toSlot && m_toSlot->side() != SlotRight) {
            m_toSlot->setSide(SlotRight);
            m_toSlot->snapToBorder();
        }
        m_fromCenter = nf;
        m_toCenter = nt;
        updatePath();
        return;
    }
    const QPointF oldDelta = m_toCenter - m_fromCenter;
    const QPointF newDelta = nt - nf;
    const QPointF origin(0, 0);
    const bool fromSideChanged = facingSide(origin, oldDelta) != facingSide(origin, newDelta);
    const bool toSideChanged = facingSide(origin, -oldDelta) != facingSide(origin, -newDelta);
    if (!fromSideChanged && !toSideChanged) {
        m_fromCenter = nf;
        m_toCenter = nt;
        return;
    }
    // The from-slot follows the to side's change and the to-slot the from
    // side's; the two differ only when a delta is zero.
    if (toSideChanged) {
        if (m_fromSlot)
            m_from->releaseSlot(m_fromSlot);
        m_fromSlot = boundTo(m_from->slotForEdgeAt(nt), this);
    }
    if (fromSideChanged) {
        if (m_toSlot)
            m_to->releaseSlot(m_toSlot);
        m_toSlot = boundTo(m_to->slotForEdgeAt(nf), this);
    }
    m_fromCenter = nf;
    m_toCenter = nt;
    spreadSidesOfSlots();
    updatePath();
}

void EdgeItem::spreadSidesOfSlots()
{
    // While a diagram is read the file's slots hold; the reader's caller
    // spreads what it needs once everything is there.
    if (isRoutingSuspended() || !m_from || !m_to || m_from == m_to)
        return;
    QList<EdgeItem*> moved;
    if (m_fromSlot)
        moved += spreadEdgeSlots(m_from, m_fromSlot->side());
    if (m_toSlot)
        moved += spreadEdgeSlots(m_to, m_toSlot->side());
    QSet<EdgeItem*> done{this};
    for (EdgeItem* edge : std::as_const(moved)) {
        if (!done.contains(edge)) {
            done.insert(edge);
            edge->scheduleUpdate();
        }
    }
}

void EdgeItem::resetSlotsFacing()
{
    if (!m_from || !m_to)
        return;
    const QPointF nf = sceneCentre(m_from);
    const QPointF nt = sceneCentre(m_to);
    if (m_from == m_to) {
        if (m_fromSlot) {
            m_fromSlot->setSide(SlotLeft);
            m_fromSlot->snapToBorder();
        }
        if (m_toSlot) {
            m_toSlot->setSide(SlotRight);
            m_toSlot->snapToBorder();
        }
    } else {
        if (m_fromSlot)
            m_from->releaseSlot(m_fromSlot);
        if (m_toSlot)
            m_to->releaseSlot(m_toSlot);
        m_fromSlot = boundTo(m_from->slotForEdgeAt(nt), this);
        m_toSlot = boundTo(m_to->slotForEdgeAt(nf), this);
    }
    m_fromCenter = nf;
    m_toCenter = nt;
}

void EdgeItem::setSlotSides(int fromSide, int toSide)
{
    if (!m_from || !m_to)
        return;
    if (m_fromSlot) {
        m_from->releaseSlot(m_fromSlot);
        m_fromSlot = nullptr;
    }
    assignSlotsForSides(fromSide, toSide);
}

void EdgeItem::assignSlotsForSides(int fromSide, int toSide)
{
    if (!m_from || !m_to)
        return;
    if (m_toSlot) {
        m_to->releaseSlot(m_toSlot);
        m_toSlot = nullptr;
    }
    const QPointF fromCentre = sceneCentre(m_from);
    const QPointF toCentre = sceneCentre(m_to);
    const QRectF fromLocal = m_from->boundingRect();
    const QRectF toLocal = m_to->boundingRect();
    m_fromSlot = boundTo(
        m_from->acquireSlotForEdge(fromSide, pointOnSideInset(fromLocal, fromSide, m_from->mapFromScene(toCentre))),
        this);
    m_toSlot = boundTo(
        m_to->acquireSlotForEdge(toSide, pointOnSideInset(toLocal, toSide, m_to->mapFromScene(fromCentre))), this);
    m_fromCenter = fromCentre;
    m_toCenter = toCentre;
}

void EdgeItem::chooseBestSides()
{
    if (!m_from || !m_to)
        return;
    if (m_from == m_to) {
        resetSlotsFacing();
        return;
    }
    const SidePair best = findBestSides(routeInputs(), sceneLookup(scene()));
    setSlotSides(best.fromSide, best.toSide);
}

bool EdgeItem::tryImproveSlotSides()
{
    if (!m_from || !m_to || m_from == m_to || !m_fromSlot || !m_toSlot || !scene())
        return false;
    return applySideAdvice(findSideImprovement(routeInputs(), sceneLookup(scene())));
}

bool EdgeItem::applySideAdvice(const SlotSideAdvice& advice)
{
    switch (advice.action) {
    case SlotSideAdvice::ApplyRoute:
        applyRoute(advice.route);
        return false;
    case SlotSideAdvice::MoveSlots:
        setSlotSides(advice.sides.fromSide, advice.sides.toSide);
        return true;
    case SlotSideAdvice::KeepAll:
        break;
    }
    return false;
}
