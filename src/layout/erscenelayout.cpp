// ERScene: automatic layout of the live diagram. The placement itself is
// pure (layout/diagramlayout.h); this file takes the entities and edges off
// the scene, moves the entities and runs the edge passes.

#include "diagram/erscene.h"

#include "diagram/entityitem.h"
#include "diagram/slotitem.h"
#include "edges/edgeitem.h"
#include "edges/routegeometry.h"
#include "edges/selfloop.h"
#include "layout/diagramlayout.h"
#include "layout/edgeslots.h"
#include "layout/entityrectindex.h"
#include "layout/parallelmap.h"
#include "layout/routeseparation.h"
#include "layout/sceneseparation.h"
#include "layout/slotspread.h"
#include "model/eventpump.h"

#include <QApplication>
#include <QGraphicsView>
#include <QHash>
#include <QLineF>
#include <QMap>
#include <QPointer>
#include <QPolygonF>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

namespace {

// From this many edges on, the slot-side improvement leaves out short routes.
constexpr qsizetype ManyEdges = 100;

// Views stop painting and take no input while the layout runs, and the
// wait cursor shows; everything is put back when the guard goes.
class SceneBatchUpdate
{
public:
    explicit SceneBatchUpdate(QGraphicsScene* scene)
        : m_scene(scene)
    {
        beginSceneBatchUpdate();
    }
    ~SceneBatchUpdate() { endSceneBatchUpdate(); }

    SceneBatchUpdate(const SceneBatchUpdate&) = delete;
    SceneBatchUpdate& operator=(const SceneBatchUpdate&) = delete;

private:
    struct ViewState
    {
        QPointer<QGraphicsView> view;
        QGraphicsView::ViewportUpdateMode mode;
        bool interactive;
    };

    void beginSceneBatchUpdate()
    {
        const QList<QGraphicsView*> views = m_scene->views();
        for (QGraphicsView* view : views) {
            m_views.append({view, view->viewportUpdateMode(), view->isInteractive()});
            view->setUpdatesEnabled(false);
            view->setInteractive(false);
            view->setViewportUpdateMode(QGraphicsView::NoViewportUpdate);
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }

    void endSceneBatchUpdate()
    {
        for (const ViewState& state : std::as_const(m_views)) {
            if (!state.view)
                continue;
            state.view->setViewportUpdateMode(state.mode);
            state.view->setInteractive(state.interactive);
            state.view->setUpdatesEnabled(true);
            state.view->viewport()->update();
        }
        if (m_scene)
            m_scene->update(m_scene->sceneRect());
        QApplication::restoreOverrideCursor();
    }

    QPointer<QGraphicsScene> m_scene;
    QList<ViewState> m_views;
};

// Points the scene at the rectangle index for as long as it lives.
class IndexInUse
{
public:
    IndexInUse(const EntityRectIndex*& slot, const EntityRectIndex* index)
        : m_slot(slot)
    {
        m_slot = index;
    }
    ~IndexInUse() { m_slot = nullptr; }

    IndexInUse(const IndexInUse&) = delete;
    IndexInUse& operator=(const IndexInUse&) = delete;

private:
    const EntityRectIndex*& m_slot;
};

// Sets a flag for as long as it lives.
class FlagRaised
{
public:
    explicit FlagRaised(bool& flag)
        : m_flag(flag)
        , m_was(flag)
    {
        m_flag = true;
    }
    ~FlagRaised() { m_flag = m_was; }

    FlagRaised(const FlagRaised&) = delete;
    FlagRaised& operator=(const FlagRaised&) = delete;

private:
    bool& m_flag;
    bool m_was;
};

// Routes the edges afresh as updatePath would, one after the other in list
// order as far as what they store goes: the routes between two entities are
// found at once (they depend on nothing but their own slots and the
// entities, which stand still), self-relations and the storing follow in
// order. The busy indicator turns meanwhile.
void routeEdgesAfresh(const QList<EdgeItem*>& edges, const EdgeItem::EntityRectLookup& lookup)
{
    std::vector<EdgeItem::RouteInputs> inputs;
    inputs.reserve(static_cast<size_t>(edges.size()));
    for (const EdgeItem* edge : edges)
        inputs.push_back(edge->routeInputs());
    const std::vector<QList<QPointF>> routes = mapInParallel<QList<QPointF>>(
        edges.size(), [&inputs, &lookup](qsizetype i) { return EdgeItem::findRouteAround(inputs[static_cast<size_t>(i)], lookup); });
    for (qsizetype i = 0; i < edges.size(); ++i) {
        EdgeItem* edge = edges.at(i);
        if (inputs[static_cast<size_t>(i)].valid) {
            const QList<QPointF>& route = routes[static_cast<size_t>(i)];
            if (route.size() >= 2)
                edge->setRoutePoints(route);
        } else {
            edge->updatePath();
        }
        eventpump::step();
    }
}


QPointF sceneCentreOf(const EntityItem* entity)
{
    return entity->sceneBoundingRect().center();
}

// The edge's end that is not entity: entity itself for a self-relation,
// null for a missing end.
const EntityItem* otherEnd(const EdgeItem* edge, const EntityItem* entity)
{
    return edge->fromEntity() == entity ? edge->toEntity() : edge->fromEntity();
}

// The rectangle of the other end of the edge, in entity's coordinates; the
// entity's own for a self-relation or a missing end.
QRectF otherEndRect(const EntityItem* entity, const EdgeItem* edge)
{
    const EntityItem* other = otherEnd(edge, entity);
    if (!other || other == entity)
        return entity->rect();
    return entity->mapRectFromScene(other->mapRectToScene(other->rect()));
}

// Slots of two edges that lead to the same entity, on one side: nested, so
// that their routes do not cross. Going clockwise round the first of the two
// entities (by id) the edges come in the order of their slots there, and
// round the other entity the other way. Slots of other pairs compare equal.
bool parallelSlotLess(const EntityItem* entity, int side, const SlotItem* a, const SlotItem* b)
{
    const EdgeItem* ea = a->edge();
    const EdgeItem* eb = b->edge();
    if (!ea || !eb || ea->isSelfRelation() || eb->isSelfRelation())
        return false;
    const EntityItem* other = ea->fromEntity() == entity ? ea->toEntity() : ea->fromEntity();
    const EntityItem* otherB = eb->fromEntity() == entity ? eb->toEntity() : eb->fromEntity();
    if (!other || other != otherB || other->id() == entity->id())
        return false;
    const bool entityFirst = entity->id() < other->id();
    const EntityItem* first = entityFirst ? entity : other;
    auto key = [first](const EdgeItem* e) {
        return first->slotHandles().indexOf(e->fromEntity() == first ? e->fromSlot() : e->toSlot());
    };
    const qsizetype ka = key(ea);
    const qsizetype kb = key(eb);
    const bool clockwise = side == SlotTop || side == SlotRight; // along growing coordinates
    return clockwise == entityFirst ? ka < kb : kb < ka;
}

// Entities gathered once each, in the order of first arrival.
struct EntityList
{
    QList<EntityItem*> order;
    QSet<const EntityItem*> members;

    void add(EntityItem* entity)
    {
        if (entity && !members.contains(entity)) {
            members.insert(entity);
            order.append(entity);
        }
    }
    bool contains(const EntityItem* entity) const { return entity && members.contains(entity); }
};

// The sort key of edgeLengthGreater; an edge with a missing end gets -1 and
// so sorts after every other.
double edgeLengthKey(const EdgeItem* edge)
{
    if (!edge->fromEntity() || !edge->toEntity())
        return -1.0;
    return QLineF(sceneCentreOf(edge->fromEntity()), sceneCentreOf(edge->toEntity())).length();
}

// Whether the edge runs straight from one entity to the other between
// the sides that face each other: no other pair of sides can do better.
bool straightAndFacing(const EdgeItem* edge)
{
    const RoutePoints& route = edge->route();
    if (route.size() != 2 || !edge->fromSlot() || !edge->toSlot())
        return false;
    const SidePair natural = chooseSidePair(edge->fromEntity()->sceneBoundingRect(), edge->toEntity()->sceneBoundingRect());
    return natural.fromSide == edge->fromSlot()->side() && natural.toSide == edge->toSlot()->side();
}

// More edges than this on one line with another stand in corridors that the
// routes crowd, where other sides seldom help and every try costs routes:
// then none is tried.
constexpr qsizetype StuckAtMost = 12;
// The tries of other side pairs, all edges together.
constexpr int ResideTries = 16;

// Whether another edge joins the same two entities as edge: two such routes
// are the ones that end up in one narrow gap.
bool hasSibling(const EdgeItem* edge)
{
    const EntityItem* from = edge->fromEntity();
    const EntityItem* to = edge->toEntity();
    const QList<EdgeItem*> fromEdges = from->edges();
    return std::any_of(fromEdges.cbegin(), fromEdges.cend(), [edge, from, to](const EdgeItem* e) {
        return e && e != edge
            && ((e->fromEntity() == from && e->toEntity() == to) || (e->fromEntity() == to && e->toEntity() == from));
    });
}

// The side pairs to try for an edge on sides c1 and c2: those that change
// one end first.
QList<std::pair<int, int>> otherSidePairs(int c1, int c2)
{
    QList<std::pair<int, int>> pairs;
    for (int v = 0; v < 4; ++v) {
        if (v != c2)
            pairs.append({c1, v});
        if (v != c1)
            pairs.append({v, c2});
    }
    for (int a = 0; a < 4; ++a) {
        for (int b = 0; b < 4; ++b) {
            if (a != c1 && b != c2)
                pairs.append({a, b});
        }
    }
    return pairs;
}

// The other side pairs for the edges whose routes lie on one line with
// another, over the routes of all edges as they stand.
class CoincidentResiding
{
public:
    explicit CoincidentResiding(const QList<EdgeItem*>& edges)
        : m_edges(edges)
    {
        m_routes.reserve(edges.size());
        for (qsizetype k = 0; k < edges.size(); ++k) {
            m_routes.append(edges.at(k)->route());
            m_indexOf.insert(edges.at(k), static_cast<int>(k));
        }
    }

    void run()
    {
        const std::vector<char> stuck = routesOnOneLine(m_routes);
        if (std::count(stuck.begin(), stuck.end(), 1) > StuckAtMost)
            return;
        int budget = ResideTries;
        for (qsizetype k = 0; k < m_edges.size() && budget > 0; ++k) {
            EdgeItem* edge = m_edges.at(k);
            if (!stuck[static_cast<size_t>(k)] || edge->isSelfRelation() || !edge->fromSlot() || !edge->toSlot()
                || !edge->fromEntity() || !edge->toEntity())
                continue;
            if (coincidentSegmentPairs(m_routes, static_cast<int>(k)) == 0 || !hasSibling(edge))
                continue;
            reside(edge, static_cast<int>(k), budget);
        }
    }

private:
    // What a try may change for an edge, to be put back: the routes of the
    // edges of its two entities, the slots of those entities and its own
    // sides and slots.
    struct Before
    {
        QList<EdgeItem*> near;
        QList<RoutePoints> nearWere;
        QList<std::pair<SlotItem*, QPointF>> slotsWere;
        int fromSide;
        int toSide;
        QPointF fromAt;
        QPointF toAt;
    };

    Before before(EdgeItem* edge) const
    {
        Before b{{}, {}, {}, edge->fromSlot()->side(), edge->toSlot()->side(), edge->fromSlot()->pos(),
                 edge->toSlot()->pos()};
        for (EntityItem* end : {edge->fromEntity(), edge->toEntity()}) {
            for (EdgeItem* e : end->edges()) {
                if (e && m_indexOf.contains(e) && !b.near.contains(e))
                    b.near.append(e);
            }
        }
        for (const EdgeItem* e : std::as_const(b.near))
            b.nearWere.append(e->route());
        for (EntityItem* end : {edge->fromEntity(), edge->toEntity()}) {
            for (SlotItem* slot : end->slotHandles())
                b.slotsWere.append({slot, slot->pos()});
        }
        return b;
    }

    void putBack(EdgeItem* edge, const Before& b)
    {
        edge->setSlotSides(b.fromSide, b.toSide);
        edge->fromSlot()->setPos(b.fromAt);
        edge->fromSlot()->snapToBorder();
        edge->toSlot()->setPos(b.toAt);
        edge->toSlot()->snapToBorder();
        for (const auto& [slot, at] : b.slotsWere) {
            if (slot != edge->fromSlot() && slot != edge->toSlot()) {
                slot->setPos(at);
                slot->snapToBorder();
            }
        }
        for (qsizetype i = 0; i < b.near.size(); ++i) {
            b.near.at(i)->setRoutePoints(b.nearWere.at(i));
            m_routes[m_indexOf.value(b.near.at(i))] = b.nearWere.at(i);
        }
    }

    // The pairs of segments on one line with another of the listed edges.
    int lying(const QList<EdgeItem*>& list) const
    {
        int pairs = 0;
        for (const EdgeItem* e : list)
            pairs += coincidentSegmentPairs(m_routes, m_indexOf.value(e));
        return pairs;
    }

    // Edge on sides a and b, the slots of those sides spread and the edges
    // whose slots moved routed again; whether no route of those edges runs
    // through an entity.
    bool routeOnSides(EdgeItem* edge, int a, int b)
    {
        edge->setSlotSides(a, b);
        QList<EdgeItem*> routed{edge};
        for (EdgeItem* e : spreadEdgeSlots(edge->fromEntity(), a) + spreadEdgeSlots(edge->toEntity(), b)) {
            if (!routed.contains(e))
                routed.append(e);
        }
        bool clear = true;
        for (EdgeItem* e : std::as_const(routed)) {
            e->rerouteIfConnected();
            if (m_indexOf.contains(e))
                m_routes[m_indexOf.value(e)] = e->route();
            clear = clear && !e->countEntityCrossings();
        }
        return clear;
    }

    // Tries the other side pairs of edge k while the budget lasts; keeps the
    // first after which its route lies on no other one and the edges of its
    // entities lie on fewer lines with others than before.
    void reside(EdgeItem* edge, int k, int& budget)
    {
        const Before was = before(edge);
        const int lyingBefore = lying(was.near);
        for (const auto& [a, b] : otherSidePairs(was.fromSide, was.toSide)) {
            if (budget-- <= 0)
                break;
            if (routeOnSides(edge, a, b) && coincidentSegmentPairs(m_routes, k) == 0 && lying(was.near) < lyingBefore)
                return;
            putBack(edge, was);
        }
    }

    const QList<EdgeItem*>& m_edges;
    QList<RoutePoints> m_routes;
    QHash<const EdgeItem*, int> m_indexOf;
};

// Routes still on one line with another after the separation, of two
// relationships between the same entities squeezed through one narrow gap,
// try other sides for their edge: each pair of sides in turn,
// the pairs that change one end first, with the slots of the sides spread
// and the edges whose slots moved routed again. The first pair after which
// the route lies on no other one, no route of those edges runs through an
// entity and those edges lie on fewer lines with others than before is
// kept; otherwise everything goes back as it was. A budget of tries bounds
// the cost.
void resideCoincidentRoutes(const QList<EdgeItem*>& edges)
{
    CoincidentResiding(edges).run();
}

} // namespace

bool ERScene::edgeLengthGreater(const EdgeItem* a, const EdgeItem* b)
{
    const double ka = edgeLengthKey(a);
    const double kb = edgeLengthKey(b);
    if (ka != kb)
        return ka > kb;
    return std::less<const EdgeItem*>()(a, b);
}

void ERScene::assignEdgeSlots(EntityItem* entity)
{
    spreadEdgeSlots(entity);
}

QList<EdgeItem*> spreadEdgeSlots(EntityItem* entity, int onlySide)
{
    QList<EdgeItem*> moved;
    QSet<const EdgeItem*> movedSet;
    if (!entity)
        return moved;
    QMap<int, QList<SlotItem*>> bySide;
    for (SlotItem* slot : entity->slotHandles()) {
        if (slot->edge() && (onlySide < 0 || slot->side() == onlySide))
            bySide[slot->side()].append(slot);
    }
    // One slot of its own side asked for stays where it was put.
    if (onlySide >= 0 && bySide.value(onlySide).size() < 2)
        return moved;
    const QRectF box = entity->rect();
    for (auto it = bySide.begin(); it != bySide.end(); ++it) {
        const int side = it.key();
        QList<SlotItem*>& sideSlots = it.value();
        const bool alongY = side != SlotTop && side != SlotBottom;
        const double length = alongY ? box.height() : box.width();
        const double margin = slotSideMargin(length);
        const double lo = (alongY ? box.top() : box.left()) + margin;
        const double hi = (alongY ? box.bottom() : box.right()) - margin;
        // In the order of where they want to stand, then of the way their
        // routes go.
        QHash<const SlotItem*, QRectF> otherAt;
        QHash<const SlotItem*, double> wantedAt;
        QHash<const SlotItem*, int> headingAt;
        for (const SlotItem* slot : std::as_const(sideSlots)) {
            const QRectF other = otherEndRect(entity, slot->edge());
            otherAt.insert(slot, other);
            // Repeated relationships, and one alone on its side, meet the
            // other end straight where the two face each other.
            const bool repeated = std::any_of(sideSlots.cbegin(), sideSlots.cend(), [entity, slot](const SlotItem* s) {
                return s != slot && otherEnd(s->edge(), entity) == otherEnd(slot->edge(), entity);
            });
            const EdgeItem* edge = slot->edge();
            const int heading = edge->isSelfRelation() && edge->fromSlot() && edge->toSlot()
                ? selfLoopHeading(side, edge->fromSlot()->side(), edge->toSlot()->side())
                : 0;
            headingAt.insert(slot, heading);
            // A loop's slots stand at the end of the side it heads for,
            // before every other slot.
            const double wanted = heading < 0 ? lo : heading > 0 ? hi : wantedSlotPosition(box, side, other, repeated || sideSlots.size() == 1);
            wantedAt.insert(slot, std::clamp(wanted, lo, std::max(lo, hi)));
        }
        std::stable_sort(sideSlots.begin(), sideSlots.end(), [&](const SlotItem* a, const SlotItem* b) {
            const int ha = headingAt.value(a);
            const int hb = headingAt.value(b);
            if ((ha == 0) != (hb == 0))
                return ha < 0 || hb > 0;
            // Loops heading for one end nest, the inner one nearer that end.
            if (ha != 0 && ha == hb) {
                const int ia = a->edge()->selfLoopIndex();
                const int ib = b->edge()->selfLoopIndex();
                return ha < 0 ? ia < ib : ia > ib;
            }
            const int order = compareSideEnds(box, side, wantedAt.value(a), otherAt.value(a), wantedAt.value(b), otherAt.value(b));
            return order < 0 || (order == 0 && parallelSlotLess(entity, side, a, b));
        });
        QList<double> wanted;
        wanted.reserve(sideSlots.size());
        for (const SlotItem* slot : std::as_const(sideSlots))
            wanted.append(wantedAt.value(slot));
        const QList<double> positions = spreadSlotPositions(wanted, lo, hi);
        for (qsizetype i = 0; i < sideSlots.size(); ++i) {
            const QPointF at = pointOnSide(box, side, positions.at(i));
            SlotItem* slot = sideSlots.at(i);
            const QPointF was = slot->pos();
            slot->setPos(at);
            slot->snapToBorder();
            if (slot->pos() != was && !movedSet.contains(slot->edge())) {
                movedSet.insert(slot->edge());
                moved.append(slot->edge());
            }
        }
    }
    return moved;
}

void resideEdgesThroughEntities(const QList<EdgeItem*>& edges)
{
    EntityList ends;
    QList<EdgeItem*> again;
    QSet<const EdgeItem*> queued;
    for (EdgeItem* edge : edges) {
        // A route drawn by hand stays as it was drawn.
        if (!edge || edge->isSelfRelation() || edge->isRouteEditedByHand() || !edge->fromEntity() || !edge->toEntity()
            || queued.contains(edge) || !edge->countEntityCrossings())
            continue;
        edge->chooseBestSides();
        queued.insert(edge);
        again.append(edge);
        ends.add(edge->fromEntity());
        ends.add(edge->toEntity());
    }
    for (EntityItem* entity : std::as_const(ends.order)) {
        for (EdgeItem* edge : spreadEdgeSlots(entity)) {
            if (!queued.contains(edge)) {
                queued.insert(edge);
                again.append(edge);
            }
        }
    }
    for (EdgeItem* edge : std::as_const(again))
        edge->refreshRoute();
}

namespace {

// The smallest box the placement gives an entity.
constexpr double LeastNodeWidth = 40.0;
constexpr double LeastNodeHeight = 30.0;
// The room the scene rectangle leaves around the laid out diagram.
constexpr double LaidOutMargin = 120.0;

// The entities and the edges of the scene's items, in their order.
void gatherDiagram(const QList<QGraphicsItem*>& all, QList<EntityItem*>& entities, QList<EdgeItem*>& edges)
{
    for (QGraphicsItem* item : all) {
        if (item->type() == DiagramItemType::Entity)
            entities.append(static_cast<EntityItem*>(item));
        else if (item->type() == DiagramItemType::Edge)
            edges.append(static_cast<EdgeItem*>(item));
    }
}

// The entities as the placement sees them, and the edges between two
// different ones of them.
void layoutGraphOf(const QList<EntityItem*>& entities, const QList<EdgeItem*>& edges, LayoutNodes& nodes,
                   LayoutEdges& links)
{
    nodes.reserve(entities.size());
    QHash<const EntityItem*, int> indexOf;
    for (EntityItem* entity : entities) {
        LayoutNode node;
        node.item = entity;
        const QPointF centre = sceneCentreOf(entity);
        node.x = centre.x();
        node.y = centre.y();
        const QRectF r = entity->boundingRect();
        node.width = std::max(r.width(), LeastNodeWidth);
        node.height = std::max(r.height(), LeastNodeHeight);
        indexOf.insert(entity, static_cast<int>(nodes.size()));
        nodes.append(node);
    }
    for (const EdgeItem* edge : edges) {
        EntityItem* from = edge->fromEntity();
        EntityItem* to = edge->toEntity();
        if (!from || !to || from == to || !indexOf.contains(from) || !indexOf.contains(to))
            continue;
        links.append({indexOf.value(from), indexOf.value(to)});
    }
}

// The entities moved to the centres the placement gave them, with routing
// suspended; the updates that queues for their edges are dropped (the
// passes after it route every edge).
void placeEntities(const LayoutNodes& nodes)
{
    const bool wasSuspended = EdgeItem::isRoutingSuspended();
    EdgeItem::setRoutingSuspended(true);
    for (const LayoutNode& node : nodes) {
        if (!node.item)
            continue;
        const QRectF r = node.item->boundingRect();
        node.item->setPos(node.x - (r.x() + r.width() / 2.0), node.y - (r.y() + r.height() / 2.0));
    }
    EdgeItem::setRoutingSuspended(wasSuspended);
    EdgeItem::dropQueuedUpdates();
    EdgeItem::setBatchMode(false);
}

// Sides, then slots spread along them. The sides of every edge are found
// at once and taken in order.
void chooseSidesAndSlots(const QList<EdgeItem*>& edges, const QList<EntityItem*>& entities,
                         const EdgeItem::EntityRectLookup& lookup)
{
    std::vector<EdgeItem::RouteInputs> inputs;
    inputs.reserve(static_cast<size_t>(edges.size()));
    for (const EdgeItem* edge : edges)
        inputs.push_back(edge->routeInputs());
    const std::vector<SidePair> sides = mapInParallel<SidePair>(edges.size(), [&inputs, &lookup](qsizetype i) {
        const EdgeItem::RouteInputs& in = inputs[static_cast<size_t>(i)];
        return in.fromKey ? EdgeItem::findBestSides(in, lookup) : SidePair{};
    });
    for (qsizetype i = 0; i < edges.size(); ++i) {
        EdgeItem* edge = edges.at(i);
        // A relationship of an entity with itself loops round the entity's
        // top right corner, where it crosses no other line leaving a side
        // further along.
        if (edge->isSelfRelation() && edge->fromSlot() && edge->toSlot())
            edge->setSlotSides(SlotRight, SlotTop);
        else if (inputs[static_cast<size_t>(i)].fromKey)
            edge->setSlotSides(sides[static_cast<size_t>(i)].fromSide, sides[static_cast<size_t>(i)].toSide);
        else
            edge->chooseBestSides();
    }
    for (EntityItem* entity : entities)
        ERScene::assignEdgeSlots(entity);
}

// The edges longest first; edges of equal length (repeated relationships
// above all) keep their scene order, so that the same diagram is routed the
// same way every time.
void sortLongestFirst(QList<EdgeItem*>& edges)
{
    std::vector<std::pair<double, EdgeItem*>> keyed;
    keyed.reserve(static_cast<size_t>(edges.size()));
    for (EdgeItem* edge : std::as_const(edges))
        keyed.emplace_back(edgeLengthKey(edge), edge);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (qsizetype i = 0; i < edges.size(); ++i)
        edges[i] = keyed[static_cast<size_t>(i)].second;
}

// Routes through another entity: new sides for them, fresh slots for their
// entities and new routes for every edge of those entities.
void repairRoutesThroughEntities(const QList<EdgeItem*>& edges, const EdgeItem::EntityRectLookup& lookup)
{
    EntityList repaired;
    for (EdgeItem* edge : edges) {
        if (!edge->countEntityCrossings())
            continue;
        edge->chooseBestSides();
        repaired.add(edge->fromEntity());
        repaired.add(edge->toEntity());
    }
    if (repaired.order.isEmpty())
        return;
    for (EntityItem* entity : std::as_const(repaired.order))
        ERScene::assignEdgeSlots(entity);
    QList<EdgeItem*> again;
    for (EdgeItem* edge : edges) {
        if (repaired.contains(edge->fromEntity()) || repaired.contains(edge->toEntity()))
            again.append(edge);
    }
    routeEdgesAfresh(again, lookup);
}

// What the better side pairs changed: the entities of the edges given
// other sides, the edges whose route alone was replaced, and those given
// other sides (or, later, slots moved by the spreading).
struct SideChanges
{
    EntityList improved;
    QSet<const EdgeItem*> replaced;
    QSet<const EdgeItem*> resided;
};

// The edges whose sides may pay to change, with their indices in edges and
// their route inputs.
void sideCandidates(const QList<EdgeItem*>& edges, QList<EdgeItem*>& tried, std::vector<int>& triedAt,
                    std::vector<EdgeItem::RouteInputs>& inputs)
{
    for (qsizetype e = 0; e < edges.size(); ++e) {
        EdgeItem* edge = edges.at(e);
        if (edge->isSelfRelation())
            continue;
        if (straightAndFacing(edge))
            continue; // nothing shorter and with fewer bends exists
        // In a large diagram a route of two bends or fewer seldom gains
        // from other sides for what the tries cost.
        if (edges.size() > ManyEdges && edge->route().size() <= 4)
            continue;
        EdgeItem::RouteInputs in = edge->routeInputs();
        if (!in.valid || !edge->scene())
            continue;
        tried.append(edge);
        triedAt.push_back(static_cast<int>(e));
        inputs.push_back(std::move(in));
    }
}

// Better side pairs where they pay. The candidates of every edge are
// weighed at once (each edge's answer depends on its own slots and route
// and on the entities); the answers are taken in order. A change is kept
// only when its route crosses no more of the routes as they stand than the
// route it replaces. Relationships between the same two entities are not
// counted: their slots are spread again afterwards so that they nest.
SideChanges improveSides(const QList<EdgeItem*>& edges, const EdgeItem::EntityRectLookup& lookup)
{
    QList<EdgeItem*> tried;
    std::vector<int> triedAt;
    std::vector<EdgeItem::RouteInputs> inputs;
    sideCandidates(edges, tried, triedAt, inputs);
    const std::vector<SlotSideAdvice> advice = mapInParallel<SlotSideAdvice>(
        tried.size(),
        [&inputs, &lookup](qsizetype i) { return EdgeItem::findSideImprovement(inputs[static_cast<size_t>(i)], lookup); });
    QRectF extent;
    for (const EdgeItem* edge : edges)
        extent |= QPolygonF(edge->route()).boundingRect();
    RouteCrossingGrid grid(extent, edges.size());
    QHash<const EntityItem*, std::vector<int>> edgesAt;
    for (qsizetype e = 0; e < edges.size(); ++e) {
        grid.setRoute(static_cast<int>(e), edges.at(e)->route());
        edgesAt[edges.at(e)->fromEntity()].push_back(static_cast<int>(e));
        edgesAt[edges.at(e)->toEntity()].push_back(static_cast<int>(e));
    }
    SideChanges changes;
    for (qsizetype i = 0; i < tried.size(); ++i) {
        EdgeItem* edge = tried.at(i);
        const RoutePoints before = edge->route();
        const SlotSideAdvice& change = advice[static_cast<size_t>(i)];
        if (change.action != SlotSideAdvice::KeepAll) {
            std::vector<int> self{triedAt[static_cast<size_t>(i)]};
            for (int e : std::as_const(edgesAt[edge->fromEntity()])) {
                if (otherEnd(edges.at(e), edge->fromEntity()) == edge->toEntity())
                    self.push_back(e);
            }
            if (grid.crossings(change.route, self) > grid.crossings(before, self))
                continue;
            grid.setRoute(triedAt[static_cast<size_t>(i)], change.route);
        }
        if (edge->applySideAdvice(change)) {
            changes.improved.add(edge->fromEntity());
            changes.improved.add(edge->toEntity());
            changes.resided.insert(edge);
        } else if (edge->route() != before) {
            changes.replaced.insert(edge);
        }
    }
    return changes;
}

// A route depends only on its slots and the entities, which stand still:
// only the edges given other sides, those whose slots the spreading moved,
// those whose route the improvement replaced and the self-relations (which
// follow their slots) are routed once more.
void rerouteChanged(const QList<EdgeItem*>& edges, SideChanges& changes, const EdgeItem::EntityRectLookup& lookup)
{
    for (EntityItem* entity : std::as_const(changes.improved.order)) {
        for (const EdgeItem* edge : spreadEdgeSlots(entity))
            changes.resided.insert(edge);
    }
    QList<EdgeItem*> again;
    for (EdgeItem* edge : edges) {
        if (edge->isSelfRelation() || changes.replaced.contains(edge) || changes.resided.contains(edge))
            again.append(edge);
    }
    routeEdgesAfresh(again, lookup);
}

} // namespace

void ERScene::autoLayout()
{
    SceneBatchUpdate guard(this);
    // The scene rectangle is set once at the end, as after a load: while
    // the run lets the event loop turn, the changes of the moves and routes
    // must not each measure every item to grow it.
    const FlagRaised noRectGrowing(m_loading);

    // Entities and edges in descending stacking order.
    QList<EntityItem*> entities;
    QList<EdgeItem*> edges;
    gatherDiagram(items(Qt::DescendingOrder), entities, edges);
    if (entities.size() < 2)
        return;

    const QRectF oldBounds = itemsBoundingRect();
    const QPointF oldCentre = oldBounds.width() > 0 && oldBounds.height() > 0 ? oldBounds.center() : QPointF();
    LayoutNodes nodes;
    LayoutEdges links;
    layoutGraphOf(entities, edges, nodes, links);
    layoutDiagramNodes(nodes, links, oldCentre);
    eventpump::step();

    // Moving the entities only queues their edges; every edge is routed by
    // the passes below, so the queue is dropped before they start. Nothing
    // queued may get a quick update afterwards, which would undo the
    // passes (a quick update is a plain straight line or route).
    EdgeItem::setBatchMode(true);
    EdgeItem::setSkipBatchFlush(true);
    // Every entity and edge changes: the scene's item index is built once
    // at the end rather than kept up to date with each move and route.
    const ItemIndexPause indexPause(this);
    placeEntities(nodes);

    // The entities stand still from here on: the routes look them up in an
    // index of their rectangles rather than measuring every one each time.
    EntityRectIndex index;
    indexEntityRects(index, m_entities);
    const IndexInUse indexInUse(m_entityRectIndex, &index);
    const EdgeItem::EntityRectLookup lookup = [&index](const QRectF& region, const void* a, const void* b) {
        return index.rectsIn(region, a, b);
    };

    chooseSidesAndSlots(edges, entities, lookup);
    sortLongestFirst(edges);
    routeEdgesAfresh(edges, lookup);
    repairRoutesThroughEntities(edges, lookup);
    SideChanges changes = improveSides(edges, lookup);
    rerouteChanged(edges, changes, lookup);

    // Parallel segments of different routes pushed apart, last of all, so
    // that the separation is what is drawn.
    separateSceneRoutes(entities, edges, index, lookup);
    resideCoincidentRoutes(edges);

    eventpump::step();

    const QRectF bounds = itemsBoundingRect();
    setSceneRect(bounds.adjusted(-LaidOutMargin, -LaidOutMargin, LaidOutMargin, LaidOutMargin));
    update(sceneRect());
}
