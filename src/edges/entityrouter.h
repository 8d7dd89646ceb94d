#pragma once

#include "edges/obstacleset.h"
#include "edges/slotside.h"

#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>

#include <optional>

// The router for an edge between two different entities. It does not choose
// slots or sides: the slot points and their sides are given. It generates a
// small fixed set of right-angled candidates, drops those that leave a slot
// the wrong way or double back through their own entity, prices the rest and
// keeps the cheapest; a later candidate replaces the best only when it is
// cheaper by more than 0.01.

// Everything one routing run needs, gathered by the edge.
struct EntityRouteRequest
{
    QPointF from;              // P: scene position of the from-slot
    QPointF to;                // Q: scene position of the to-slot
    int fromSide = SlotRight;  // SlotSide of the from-slot
    int toSide = SlotLeft;     // SlotSide of the to-slot
    QRectF fromRect;           // A: scene bounding rectangle of the from-entity
    QRectF toRect;             // B: scene bounding rectangle of the to-entity
    // The other entities' scene bounding rectangles through
    // insetObstacleRect; empty when the edge is not in a scene.
    ObstacleSet obstacles;
    // Where the search of last resort may lead the route; empty for
    // routeObstacleRegion of the two rectangles. A wider region needs the
    // obstacles of all of it.
    QRectF searchRegion;
};

// A route from P to Q by the grid search alone, within the request's search
// region, that runs along the given lines of other routes (nearer than 8
// across) only where no way round is much shorter; the search may also run
// just beside the lines of sidestep. It leaves and reaches its slots by the
// usual stubs. Empty when the search finds none.
QList<QPointF> routeOffTakenLines(const EntityRouteRequest& request, const QList<QLineF>& taken,
                                  const QList<QLineF>& sidestep);

// The chosen route from P to Q; never empty. When no candidate passes the
// checks it is the detour over the top of both entities.
QList<QPointF> routeTwoEntities(const EntityRouteRequest& request);

// The geometry of storing a route on an edge between two entities: the route
// simplified when it still starts within 0.5 of P, ends within 0.5 of Q and is
// right-angled; otherwise a fresh route from routeTwoEntities (or, should that
// not be right-angled, the one-corner route through (Q'.x, P'.y)). Empty
// when route has fewer than 2 points: the stored route then stays.
QList<QPointF> fitRouteToEntities(const QList<QPointF>& route, const EntityRouteRequest& request);

// The cheap update while an entity is dragged: [a, b] when the two slot
// points line up (x or y within 0.5) and none of the other entities'
// rectangles (scene bounding rectangles, grown here by 2) stands between
// them; otherwise empty, and the edge routes in full.
QList<QPointF> quickStraightRoute(const QPointF& a, const QPointF& b, const QList<QRectF>& entityRects);

// The part of the scene whose entities can matter to a route between the
// two rectangles. Every candidate of the routers and of the side choice
// keeps within a stub (26) and a lane (36) of the pair, and a lane looks at
// most 72 beyond it, so routing against the entities that meet this region
// gives the same route as routing against all of them; an edge in a large
// diagram gathers only these.
QRectF routeObstacleRegion(const QRectF& fromRect, const QRectF& toRect);

// The stub points P + stub x sideDirection(fromSide), Q + stub x
// sideDirection(toSide) for the request's stub length.
QPointF fromStubPoint(const EntityRouteRequest& request);
QPointF toStubPoint(const EntityRouteRequest& request);

// The first clean route of a fixed sequence (straight line, Z through the
// gap, connectors beside the entities) for two slots that face each other
// the way the entity centres lie; empty otherwise.
QList<QPointF> facingShortcutRoute(const QPointF& from, const QPointF& to,
                                   const QPointF& fromStub, const QPointF& toStub,
                                   int fromSide, int toSide,
                                   const QRectF& fromRect, const QRectF& toRect,
                                   const QList<QRectF>& endRects, const ObstacleSet& obstacles);

// The facing shortcut when there is one, else the cheapest usable route of
// the detour family (same-side lanes, common corners and connectors,
// clearance lanes at 36 and eight three-point detours); empty when none
// qualified. Without slot points, each is pointOnSide toward the other
// entity's centre.
QList<QPointF> laneSearchRoute(const QRectF& fromRect, const QRectF& toRect,
                               int fromSide, int toSide, const ObstacleSet& obstacles,
                               std::optional<QPointF> from = std::nullopt,
                               std::optional<QPointF> to = std::nullopt);

// What twoEntityRouteCost prices a route against.
struct RouteCostContext
{
    ObstacleSet obstacles;
    QList<QRectF> endRects; // [insetObstacleRect(A), insetObstacleRect(B)]
    int fromSide = SlotRight;
    int toSide = SlotLeft;
    QPointF from;
    QPointF to;
    QRectF fromRect;
    QRectF toRect;
};

// Cost of a candidate, lower is better: 2e12 below 2 points; 1e12 + hits x
// 1e6 + length when it touches an entity; otherwise bends x 8000 + length
// (+ detourSidePenalty for two slots on one side). A route of 4 or more bends
// costs 1e15 when it also touches an entity and 1e11 when it is clean, so that
// a clean route always wins over one that runs through an entity.
double twoEntityRouteCost(const RouteCostContext& context, const QList<QPointF>& route);

// 1600 when a route between two slots on the same side bulges away from the
// side where the slots' midpoint lies relative to the pair's centre; else 0.
double detourSidePenalty(const QList<QPointF>& route, int side, const QPointF& from,
                         const QPointF& to, const QRectF& fromRect, const QRectF& toRect);

// A detour lane around rect: 36 away, or half-way (at least 12) to a nearer
// obstacle more than 16 away on that side. y for above and below, x for left
// and right.
double laneAbove(const QRectF& rect, const ObstacleSet& obstacles);
double laneBelow(const QRectF& rect, const ObstacleSet& obstacles);
double laneLeft(const QRectF& rect, const ObstacleSet& obstacles);
double laneRight(const QRectF& rect, const ObstacleSet& obstacles);
