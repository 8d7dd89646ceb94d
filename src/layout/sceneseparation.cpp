// The last pass of the edges over a laid-out or imported diagram: parallel
// segments of different routes pushed apart, what still lies on one line
// nudged to a free line nearby.

#include "layout/sceneseparation.h"

#include "diagram/entityitem.h"
#include "diagram/slotitem.h"
#include "edges/edgeitem.h"
#include "layout/entityrectindex.h"
#include "layout/linereroute.h"
#include "layout/parallelmap.h"
#include "layout/routeseparation.h"
#include "layout/slotspread.h"

#include <QHash>
#include <QLineF>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// The clearance of the second look at segments still on one line.
constexpr double CrowdedNudgeClearance = 6.5;

// Whether a route edited by the separation still starts and ends on its
// slots and leaves both the way it did, by at least a short stub: a segment moved too far would turn the
// first or last segment back into its own entity.
bool endsKeepTheirWay(const RoutePoints& before, const RoutePoints& after)
{
    if (before.size() != after.size() || before.size() < 2)
        return false;
    // The ends stay on their slots.
    if (QLineF(before.constFirst(), after.constFirst()).length() > 0.5
        || QLineF(before.constLast(), after.constLast()).length() > 0.5)
        return false;
    auto sameWay = [](QPointF a0, QPointF a1, QPointF b0, QPointF b1) {
        const QPointF da = a1 - a0;
        const QPointF db = b1 - b0;
        constexpr double shortest = 6.0;
        if (std::abs(da.x()) >= std::abs(da.y()))
            return std::abs(db.y()) < 0.5 && (da.x() > 0) == (db.x() > 0) && std::abs(db.x()) >= std::min(shortest, std::abs(da.x()));
        return std::abs(db.x()) < 0.5 && (da.y() > 0) == (db.y() > 0) && std::abs(db.y()) >= std::min(shortest, std::abs(da.y()));
    };
    const qsizetype n = before.size();
    return sameWay(before.at(0), before.at(1), after.at(0), after.at(1))
        && sameWay(before.at(n - 2), before.at(n - 1), after.at(n - 2), after.at(n - 1));
}

// Marks in near every route with a segment that lies less than the
// separation's spacing from a parallel segment of a route marked in of,
// overlapping it along.
void markRoutesBeside(const QList<EdgeItem*>& edges, const std::vector<char>& of, std::vector<char>& near)
{
    struct Line
    {
        double across;
        double low;
        double high;
    };
    std::vector<Line> lines[2]; // vertical, horizontal
    for (qsizetype k = 0; k < edges.size(); ++k) {
        if (!of[static_cast<size_t>(k)])
            continue;
        const RoutePoints& route = edges.at(k)->route();
        for (qsizetype i = 0; i + 1 < route.size(); ++i) {
            const QPointF a = route.at(i);
            const QPointF b = route.at(i + 1);
            if (std::abs(a.x() - b.x()) < 0.5)
                lines[0].push_back({a.x(), std::min(a.y(), b.y()), std::max(a.y(), b.y())});
            else if (std::abs(a.y() - b.y()) < 0.5)
                lines[1].push_back({a.y(), std::min(a.x(), b.x()), std::max(a.x(), b.x())});
        }
    }
    for (std::vector<Line>& list : lines)
        std::sort(list.begin(), list.end(), [](const Line& p, const Line& q) { return p.across < q.across; });
    auto beside = [](const std::vector<Line>& list, double across, double low, double high) {
        auto it = std::lower_bound(list.begin(), list.end(), across - ParallelSegmentSpacing,
                                   [](const Line& l, double v) { return l.across < v; });
        for (; it != list.end() && it->across < across + ParallelSegmentSpacing; ++it) {
            if (it->low < high && low < it->high)
                return true;
        }
        return false;
    };
    for (qsizetype k = 0; k < edges.size(); ++k) {
        char& mark = near[static_cast<size_t>(k)];
        const RoutePoints& route = edges.at(k)->route();
        for (qsizetype i = 0; !mark && i + 1 < route.size(); ++i) {
            const QPointF a = route.at(i);
            const QPointF b = route.at(i + 1);
            if (std::abs(a.x() - b.x()) < 0.5)
                mark = beside(lines[0], a.x(), std::min(a.y(), b.y()), std::max(a.y(), b.y()));
            else if (std::abs(a.y() - b.y()) < 0.5)
                mark = beside(lines[1], a.y(), std::min(a.x(), b.x()), std::max(a.x(), b.x()));
        }
    }
}

// The rounds of pushing apart: the first moves every route, and after it
// only the routes that had to keep what they had, and those beside them,
// move again; every other route stands still for them.
constexpr int SeparationRounds = 3;
// Routes still on one line with another look for another way this many
// times: the first round's new ways can free lines for the second.
constexpr int RerouteRounds = 2;
// The inset of an entity's box in which a segment runs through it (as the
// crossing count sees it), and that of its sides as walls.
constexpr double EntityInsideInset = 2.0;
constexpr double WallInset = 3.0;

QList<RoutePoints> routesOf(const QList<EdgeItem*>& edges)
{
    QList<RoutePoints> routes;
    routes.reserve(edges.size());
    for (const EdgeItem* edge : edges)
        routes.append(edge->route());
    return routes;
}

// A segment runs through an entity that is not an end of its edge when it
// meets the inside of the entity's box.
SegmentBlocked entityBlocks(const QList<EdgeItem*>& edges, const EntityRectIndex& index)
{
    return [&edges, &index](int route, const QPointF& a, const QPointF& b) {
        const EdgeItem* edge = edges.at(route);
        const QRectF span = QRectF(a, b).normalized();
        return index.anyIn(span.adjusted(-1, -1, 1, 1), edge->fromEntity(), edge->toEntity(), [&span](const QRectF& r) {
            const QRectF inner = r.adjusted(EntityInsideInset, EntityInsideInset, -EntityInsideInset, -EntityInsideInset);
            return span.left() < inner.right() && span.right() > inner.left() && span.top() < inner.bottom()
                && span.bottom() > inner.top();
        });
    };
}

// What became of a route the pushing apart changed: whether it is kept,
// and the route to store, if any.
struct SeparationOutcome
{
    bool kept = false;
    bool stored = false;
    RoutePoints route;
};

// Each changed route fitted to its slots and checked against the entities,
// all at once.
std::vector<SeparationOutcome> fitSeparated(const QList<qsizetype>& moved, const std::vector<EdgeItem::RouteInputs>& inputs,
                                            const QList<RoutePoints>& snapshot, const QList<RoutePoints>& working,
                                            const EdgeItem::EntityRectLookup& lookup)
{
    return mapInParallel<SeparationOutcome>(moved.size(), [&](qsizetype i) {
        const qsizetype k = moved.at(i);
        const EdgeItem::RouteInputs& in = inputs[static_cast<size_t>(i)];
        SeparationOutcome outcome;
        outcome.kept = endsKeepTheirWay(snapshot.at(k), working.at(k));
        if (!in.valid || !outcome.kept)
            return outcome;
        RoutePoints now = in.route;
        const RoutePoints fitted = EdgeItem::fitRoute(in, working.at(k), lookup);
        if (fitted.size() >= 2) {
            now = fitted;
            outcome.stored = true;
        }
        if (EdgeItem::crossesEntities(in, now, lookup)) {
            const RoutePoints back = EdgeItem::fitRoute(in, snapshot.at(k), lookup);
            if (back.size() >= 2) {
                now = back;
                outcome.stored = true;
            }
            outcome.kept = false;
        }
        outcome.route = now;
        return outcome;
    });
}

// One round of pushing apart over the routes that roundStates lets move;
// the outcomes are stored in order. A route that had to keep what it had
// asks for another round (marked in again), in which it passes the other
// way or stands still. Whether any did.
bool separationRound(const QList<EdgeItem*>& edges, const std::vector<char>& roundStates, std::vector<char>& states,
                     std::vector<char>& again, const SegmentBlocked& blocked, const EdgeItem::EntityRectLookup& lookup)
{
    const QList<RoutePoints> snapshot = routesOf(edges);
    QList<RoutePoints> working = snapshot;
    separateParallelSegments(working, roundStates, blocked);
    QList<qsizetype> moved;
    std::vector<EdgeItem::RouteInputs> inputs;
    for (qsizetype k = 0; k < edges.size(); ++k) {
        if (working.at(k) == snapshot.at(k))
            continue;
        moved.append(k);
        inputs.push_back(edges.at(k)->routeInputs());
    }
    const std::vector<SeparationOutcome> outcomes = fitSeparated(moved, inputs, snapshot, working, lookup);
    bool changed = false;
    for (qsizetype i = 0; i < moved.size(); ++i) {
        const qsizetype k = moved.at(i);
        EdgeItem* edge = edges.at(k);
        const SeparationOutcome& outcome = outcomes[static_cast<size_t>(i)];
        bool kept = outcome.kept;
        if (!inputs[static_cast<size_t>(i)].valid && kept) {
            edge->applyRoute(working.at(k));
            if (edge->countEntityCrossings()) {
                edge->applyRoute(snapshot.at(k));
                kept = false;
            }
        } else if (outcome.stored) {
            edge->setRoutePoints(outcome.route);
        }
        char& state = states[static_cast<size_t>(k)];
        if (!kept) {
            state = state == SeparationFree ? SeparationOtherWay : SeparationFrozen;
            again[static_cast<size_t>(k)] = 1;
            changed = true;
        }
    }
    return changed;
}

// Parallel segments of different routes pushed apart, in rounds.
void pushApart(const QList<EdgeItem*>& edges, const SegmentBlocked& blocked, const EdgeItem::EntityRectLookup& lookup)
{
    std::vector<char> states(static_cast<size_t>(edges.size()), SeparationFree);
    std::vector<char> again(static_cast<size_t>(edges.size()), 1);
    for (int round = 0; round < SeparationRounds; ++round) {
        std::vector<char> roundStates = states;
        if (round > 0) {
            std::vector<char> near = again;
            markRoutesBeside(edges, again, near);
            for (size_t k = 0; k < roundStates.size(); ++k) {
                if (!near[k])
                    roundStates[k] = SeparationFrozen;
            }
        }
        std::fill(again.begin(), again.end(), 0);
        if (!separationRound(edges, roundStates, states, again, blocked, lookup))
            break;
    }
}

// The ends of the edges at each entity: edge number and whether it starts
// there.
using EndsAt = QHash<const EntityItem*, QList<std::pair<int, bool>>>;

EndsAt endsAtEntities(const QList<EdgeItem*>& edges)
{
    EndsAt endsAt;
    for (qsizetype k = 0; k < edges.size(); ++k) {
        const EdgeItem* edge = edges.at(k);
        if (edge->isSelfRelation() || !edge->fromSlot() || !edge->toSlot())
            continue;
        endsAt[edge->fromEntity()].append({static_cast<int>(k), true});
        endsAt[edge->toEntity()].append({static_cast<int>(k), false});
    }
    return endsAt;
}

// Whether the slot at one end of a route may go along its side to the
// point to: not past another slot of the side nor nearer to one than the
// spreading leaves them, and not into the side's margin.
bool slotMayMoveTo(const QList<EdgeItem*>& edges, const EndsAt& endsAt, const QList<RoutePoints>& routes, int route,
                   bool atStart, const QPointF& to)
{
    const EdgeItem* edge = edges.at(route);
    if (edge->isSelfRelation() || !edge->fromSlot() || !edge->toSlot())
        return false;
    const EntityItem* entity = atStart ? edge->fromEntity() : edge->toEntity();
    const int side = (atStart ? edge->fromSlot() : edge->toSlot())->side();
    const bool alongY = side == SlotLeft || side == SlotRight;
    const QRectF box = entity->rect();
    const double margin = slotSideMargin(alongY ? box.height() : box.width());
    const QPointF local = entity->mapFromScene(to);
    const double at = alongY ? local.y() : local.x();
    if (at < (alongY ? box.top() : box.left()) + margin || at > (alongY ? box.bottom() : box.right()) - margin)
        return false;
    const QPointF old = entity->mapFromScene(atStart ? edge->route().constFirst() : edge->route().constLast());
    const double before = alongY ? old.y() : old.x();
    for (const auto& [other, otherAtStart] : endsAt.value(entity)) {
        if (other == route && otherAtStart == atStart)
            continue;
        const EdgeItem* otherEdge = edges.at(other);
        if ((otherAtStart ? otherEdge->fromSlot() : otherEdge->toSlot())->side() != side)
            continue;
        const RoutePoints& theirs = routes.at(other);
        const QPointF p = entity->mapFromScene(otherAtStart ? theirs.constFirst() : theirs.constLast());
        const double there = alongY ? p.y() : p.x();
        if (std::abs(there - at) < SlotSpacing - 0.5 || (there < before) != (there < at))
            return false;
    }
    return true;
}

// The sides of the entities as walls, and the entity numbers of each
// route's ends.
void entityWalls(const QList<EntityItem*>& entities, const QList<EdgeItem*>& edges, QList<SeparationWall>& walls,
                 std::vector<std::pair<int, int>>& routeEntities)
{
    QHash<const EntityItem*, int> number;
    for (const EntityItem* entity : entities) {
        const int n = static_cast<int>(number.size());
        number.insert(entity, n);
        const QRectF box = entity->sceneBoundingRect().adjusted(WallInset, WallInset, -WallInset, -WallInset);
        walls.append({box.topLeft(), box.topRight(), n});
        walls.append({box.bottomLeft(), box.bottomRight(), n});
        walls.append({box.topLeft(), box.bottomLeft(), n});
        walls.append({box.topRight(), box.bottomRight(), n});
    }
    routeEntities.reserve(static_cast<size_t>(edges.size()));
    for (const EdgeItem* edge : edges)
        routeEntities.emplace_back(number.value(edge->fromEntity(), -1), number.value(edge->toEntity(), -1));
}

// The nudged route now in place of was, the slots following the ends that
// moved; all back as it was when the route then runs through an entity.
void applyNudged(EdgeItem* edge, const RoutePoints& was, const RoutePoints& now)
{
    struct Moved
    {
        SlotItem* slot;
        QPointF from;
    };
    QList<Moved> movedSlots;
    auto follow = [&movedSlots](EntityItem* entity, SlotItem* slot, const QPointF& to) {
        movedSlots.append({slot, slot->pos()});
        slot->setPos(entity->mapFromScene(to));
        slot->snapToBorder();
    };
    if (now.constFirst() != was.constFirst())
        follow(edge->fromEntity(), edge->fromSlot(), now.constFirst());
    if (now.constLast() != was.constLast())
        follow(edge->toEntity(), edge->toSlot(), now.constLast());
    edge->applyRoute(now);
    if (edge->countEntityCrossings()) {
        for (const Moved& m : std::as_const(movedSlots)) {
            m.slot->setPos(m.from);
            m.slot->snapToBorder();
        }
        edge->applyRoute(was);
    }
}

// What is still on one line moves to a free line nearby; a first or last
// segment takes its slot along (slotMayMoveTo). Nor does a route run along
// the side of an entity it passes, so near that it reads as a second
// border.
void nudgeSceneRoutes(const QList<EntityItem*>& entities, const QList<EdgeItem*>& edges, const SegmentBlocked& blocked)
{
    const EndsAt endsAt = endsAtEntities(edges);
    const SlotMayMove slotMayMove = [&edges, &endsAt](const QList<RoutePoints>& routes, int route, bool atStart,
                                                      const QPointF& to) {
        return slotMayMoveTo(edges, endsAt, routes, route, atStart, to);
    };
    QList<SeparationWall> walls;
    std::vector<std::pair<int, int>> routeEntities;
    entityWalls(entities, edges, walls, routeEntities);
    const QList<RoutePoints> snapshot = routesOf(edges);
    QList<RoutePoints> working = snapshot;
    // Every route may be nudged, those that the pushing apart had to leave
    // where they were above all: a corridor too narrow for the pushing's
    // spacing often still has a free line nearer by, and the nudge checks
    // the entities itself.
    nudgeCoincidentSegments(working, {}, blocked, slotMayMove, NudgeClearance, walls, routeEntities);
    // In a corridor too crowded for that, a line a little nearer to its
    // neighbours still keeps two routes apart to the eye.
    nudgeCoincidentSegments(working, {}, blocked, slotMayMove, CrowdedNudgeClearance);
    for (qsizetype k = 0; k < edges.size(); ++k) {
        const RoutePoints& was = snapshot.at(k);
        const RoutePoints& now = working.at(k);
        if (now != was && now.size() == was.size())
            applyNudged(edges.at(k), was, now);
    }
}

} // namespace

void separateSceneRoutes(const QList<EntityItem*>& entities, const QList<EdgeItem*>& edges, const EntityRectIndex& index,
                         const EdgeItem::EntityRectLookup& lookup)
{
    const SegmentBlocked blocked = entityBlocks(edges, index);
    pushApart(edges, blocked, lookup);
    nudgeSceneRoutes(entities, edges, blocked);
    for (int round = 0; round < RerouteRounds; ++round)
        rerouteOffTakenLines(edges, lookup);
}

void indexEntityRects(EntityRectIndex& index, const QList<EntityItem*>& entities)
{
    QList<const void*> keys;
    QList<QRectF> rects;
    for (const EntityItem* entity : entities) {
        if (entity->isVisible()) {
            keys.append(entity);
            rects.append(entity->sceneBoundingRect());
        }
    }
    index.build(keys, rects);
}
