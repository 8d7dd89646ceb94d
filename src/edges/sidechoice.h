#pragma once

#include "edges/obstacleset.h"
#include "edges/slotside.h"
#include "layout/gridcells.h"

#include <QList>
#include <QPointF>
#include <QRectF>

#include <vector>

// Choosing which sides of its two entities an edge attaches to. The edge
// gathers the rectangles, calls these and then moves its slots.

// Slot-aware cost of a route between fromRect and toRect leaving fromSide
// and arriving at toSide, lower is better: 1e15 above 3 bends, 1e14 when an
// end backtracks, 1e12 + 1e6 x hits + length when it touches an entity;
// otherwise length + 8000 per bend (+ detourSidePenalty on one side), minus
// 14 for a pair consistent with the centres and 48 for the natural pair,
// plus 4000 for each end facing away from the other entity. The end
// rectangles are [insetObstacleRect(F), insetObstacleRect(T)].
double slotRouteScore(const ObstacleSet& obstacles, const QList<QRectF>& endRects,
                      const QRectF& fromRect, const QRectF& toRect,
                      const QList<QPointF>& route, int fromSide, int toSide);

// The side pair an edge between two different entities should use (the
// search of chooseBestSides): the natural pair when its lane route is clean
// with fewer than 3 bends, else the cheapest of all sixteen pairs by
// evaluateSidePair, earlier pairs winning near ties. The edge then places
// its slots on these sides toward the other entity's centre
// (pointOnSideInset).
SidePair chooseBestSidePair(const QRectF& fromRect, const QRectF& toRect, const ObstacleSet& obstacles);

// What improveSlotSides advises.
struct SlotSideAdvice
{
    enum Action {
        KeepAll,     // nothing changes
        ApplyRoute,  // keep the slots, store route (with the edge's applyRoute)
        MoveSlots,   // move the slots to sides and re-route
    };
    Action action = KeepAll;
    QList<QPointF> route;
    SidePair sides;
};

// The search of tryImproveSlotSides for an edge between two different
// entities whose slots sit at fromSlot and toSlot on the given sides and
// whose stored route is currentRoute: a better route on the same sides, or a
// better side pair, only when it gains more than 12 over the current route.
SlotSideAdvice improveSlotSides(const QRectF& fromRect, const QRectF& toRect,
                                const QPointF& fromSlot, const QPointF& toSlot,
                                SidePair current, const QList<QPointF>& currentRoute,
                                const ObstacleSet& obstacles);

// The side of an entity centred at centre that faces point: right or left
// when the point lies more across than up or down, else bottom or top.
int facingSide(const QPointF& centre, const QPointF& point);

// The routes of a diagram's edges over a grid of square cells, to count how
// often a route would cross the others without looking at every route. A
// route is found through the cells its segments pass; replacing a route
// leaves stale cell entries behind, which the count skips. The grid covers
// extent (points beyond it belong to the cells at its edge) in cells of
// side cell, or larger ones where extent would need more than MaxSideCells
// of them a side.
class RouteCrossingGrid
{
public:
    static constexpr int MaxSideCells = 512;

    RouteCrossingGrid(const QRectF& extent, qsizetype routeCount, double cell = 160.0);

    void setRoute(int index, const QList<QPointF>& route);
    const QList<QPointF>& route(int index) const { return m_routes[static_cast<size_t>(index)]; }

    // Proper crossings (not at segment ends) of route with the stored routes
    // other than those whose index is listed in skip.
    int crossings(const QList<QPointF>& route, const std::vector<int>& skip) const;

private:
    template <typename Visit>
    void forEachCell(const QPointF& a, const QPointF& b, Visit visit) const;

    GridCells m_grid;
    std::vector<QList<QPointF>> m_routes;
    std::vector<std::vector<int>> m_cells;
    mutable std::vector<unsigned> m_seen;
    mutable unsigned m_stamp = 0;
};
