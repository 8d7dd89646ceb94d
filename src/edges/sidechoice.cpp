#include "edges/sidechoice.h"

#include "edges/entityrouter.h"
#include "edges/routechecks.h"
#include "edges/routegeometry.h"
#include "layout/gridcells.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The fewest bends of a usable route between slots on the two sides: none
// when it arrives running the way it left, two when it must come back, one
// otherwise.
int fewestBends(int fromSide, int toSide)
{
    const QPointF out = sideDirection(fromSide);
    const QPointF in = -sideDirection(toSide);
    if (out == in)
        return 0;
    if (out == -in)
        return 2;
    return 1;
}

// The side of rect as a segment: its x range and its y range.
void sideExtent(const QRectF& rect, int side, double* x0, double* x1, double* y0, double* y1)
{
    const QRectF r = rect.normalized();
    *x0 = r.left();
    *x1 = r.right();
    *y0 = r.top();
    *y1 = r.bottom();
    switch (side) {
    case SlotLeft: *x1 = r.left(); break;
    case SlotRight: *x0 = r.right(); break;
    case SlotTop: *y1 = r.top(); break;
    case SlotBottom: *y0 = r.bottom(); break;
    default: break;
    }
}

// The shortest straight distance between the two sides: no route between
// slots on them is shorter.
double sideDistance(const QRectF& f, int fromSide, const QRectF& t, int toSide)
{
    double fx0, fx1, fy0, fy1, tx0, tx1, ty0, ty1;
    sideExtent(f, fromSide, &fx0, &fx1, &fy0, &fy1);
    sideExtent(t, toSide, &tx0, &tx1, &ty0, &ty1);
    const double gapX = std::max(0.0, std::max(fx0, tx0) - std::min(fx1, tx1));
    const double gapY = std::max(0.0, std::max(fy0, ty0) - std::min(fy1, ty1));
    return std::hypot(gapX, gapY);
}

// Whether the two rectangles stand well apart, so that every usable route
// between them runs out of its first slot and into its last one over a
// real distance and the bend count of fewestBends holds.
bool standApart(const QRectF& f, const QRectF& t)
{
    constexpr double apart = 16.0;
    return t.left() - f.right() > apart || f.left() - t.right() > apart || t.top() - f.bottom() > apart
        || f.top() - t.bottom() > apart;
}

// What a side pair's route costs at the least, without routing it: the
// price of its shortest conceivable route (bends charged at bendCharge)
// with the pair's bonuses and penalties. Nothing below it can come out, so
// a pair whose least cost cannot win needs no route.
double leastPairCost(const QRectF& f, const QRectF& t, int fromSide, int toSide, double bendCharge,
                     double naturalBonus, double matchingBonus)
{
    if (!standApart(f, t))
        return -std::numeric_limits<double>::infinity();
    double cost = sideDistance(f, fromSide, t, toSide) + bendCharge * fewestBends(fromSide, toSide)
        + facingAwayPenalty(fromSide, toSide, f, t);
    if (chooseSidePair(f, t) == SidePair{fromSide, toSide})
        cost -= naturalBonus;
    else if (sidePairMatchesCentres(fromSide, toSide, f, t))
        cost -= matchingBonus;
    return cost;
}

} // namespace

double slotRouteScore(const ObstacleSet& obstacles, const QList<QRectF>& endRects,
                      const QRectF& f, const QRectF& t, const QList<QPointF>& route,
                      int fromSide, int toSide)
{
    int hits = 1000000;
    if (route.size() >= 2)
        hits = countRouteHits(route, obstacles, endRects);
    const int bends = countRouteBends(route);
    if (bends > 3)
        return 1e15;
    if (route.size() >= 2) {
        const double s = stubLength(fromSide, toSide, f, t);
        const QPointF startStub = route.constFirst() + s * sideDirection(fromSide);
        const QPointF endStub = route.constLast() + s * sideDirection(toSide);
        if (backtracksAtStart(fromSide, startStub, route, f) || backtracksAtEnd(toSide, endStub, route, t))
            return 1e14;
    }
    if (hits > 0)
        return 1e12 + 1e6 * hits + routeLength(route);
    double cost = routeLength(route) + 8000.0 * bends;
    if (fromSide == toSide)
        cost += detourSidePenalty(route, fromSide, route.constFirst(), route.constLast(), f, t);
    if (sidePairMatchesCentres(fromSide, toSide, f, t))
        cost -= 14.0;
    if (chooseSidePair(f, t) == SidePair{fromSide, toSide})
        cost -= 48.0;
    return cost + facingAwayPenalty(fromSide, toSide, f, t);
}

SidePair chooseBestSidePair(const QRectF& f, const QRectF& t, const ObstacleSet& obstacles)
{
    const SidePair natural = chooseSidePair(f, t);
    QList<QPointF> route;
    int hits = 0;
    double cost = 0.0;
    const bool routed =
        evaluateSidePair(f, t, obstacles, natural.fromSide, natural.toSide, &hits, &cost, &route);
    if (routed && hits == 0 && countRouteBends(route) < 3)
        return natural;

    QList<SidePair> pairs;
    pairs.append(natural);
    for (int v = 0; v < 4; ++v) {
        if (v != natural.toSide)
            pairs.append({natural.fromSide, v});
        if (v != natural.fromSide)
            pairs.append({v, natural.toSide});
    }
    for (int a = 0; a < 4; ++a) {
        if (a == natural.fromSide)
            continue;
        for (int b = 0; b < 4; ++b) {
            if (b != natural.toSide)
                pairs.append({a, b});
        }
    }

    SidePair best = natural;
    double bestCost = cost;
    bool valid = hits <= 999999;
    for (qsizetype i = 1; i < pairs.size(); ++i) {
        // evaluateSidePair's price: length + 36 per bend, the natural pair
        // 160 less, another pair the way the centres lie 40 less.
        if (valid && leastPairCost(f, t, pairs[i].fromSide, pairs[i].toSide, 36.0, 160.0, 40.0) + 0.01 >= bestCost)
            continue;
        int pairHits = 0;
        double pairCost = 0.0;
        if (!evaluateSidePair(f, t, obstacles, pairs[i].fromSide, pairs[i].toSide, &pairHits, &pairCost))
            continue;
        if (!valid || pairCost + 0.01 < bestCost) {
            best = pairs[i];
            bestCost = pairCost;
            valid = true;
        }
    }
    return best;
}

SlotSideAdvice improveSlotSides(const QRectF& f, const QRectF& t, const QPointF& fromSlot,
                                const QPointF& toSlot, SidePair current,
                                const QList<QPointF>& currentRoute, const ObstacleSet& obstacles)
{
    const QList<QRectF> endRects = {insetObstacleRect(f), insetObstacleRect(t)};
    auto score = [&](const QList<QPointF>& route, SidePair sides) {
        return slotRouteScore(obstacles, endRects, f, t, route, sides.fromSide, sides.toSide);
    };
    auto clean = [&](const QList<QPointF>& route) {
        return route.size() >= 2 && !routeMeetsObstacle(route, obstacles)
            && (route.size() <= 3 || countInteriorHits(route, endRects) == 0);
    };

    const double currentCost = currentRoute.size() < 2 ? 1e15 : score(currentRoute, current);
    QList<QPointF> bestRoute = currentRoute;
    SidePair bestSides = current;
    double bestCost = currentCost;

    const QList<QPointF> same =
        laneSearchRoute(f, t, current.fromSide, current.toSide, obstacles, fromSlot, toSlot);
    if (clean(same)) {
        const double s = score(same, current);
        if (s + 0.01 < currentCost) {
            bestRoute = same;
            bestCost = s;
        }
    }

    // slotRouteScore's price: length + 8000 per bend, 48 less for the
    // natural pair (which also goes the way the centres lie, 14 less).
    auto cannotGain = [&](SidePair pair, double margin) {
        return leastPairCost(f, t, pair.fromSide, pair.toSide, 8000.0, 62.0, 14.0) + margin >= bestCost;
    };
    const SidePair natural = chooseSidePair(f, t);
    if (natural != current && !cannotGain(natural, 8.0)) {
        const QList<QPointF> route = laneSearchRoute(f, t, natural.fromSide, natural.toSide, obstacles);
        if (clean(route)) {
            const double s = score(route, natural);
            if (s + 8.0 < bestCost) {
                bestRoute = route;
                bestSides = natural;
                bestCost = s;
            }
        }
    }

    for (int a = 0; a < 4; ++a) {
        for (int b = 0; b < 4; ++b) {
            const SidePair pair{a, b};
            if (pair == current || pair == natural || cannotGain(pair, 12.0))
                continue;
            const QList<QPointF> route = laneSearchRoute(f, t, a, b, obstacles);
            if (!clean(route))
                continue;
            const double s = score(route, pair);
            if (s + 12.0 < bestCost) {
                bestRoute = route;
                bestSides = pair;
                bestCost = s;
            }
        }
    }

    SlotSideAdvice advice;
    if (bestRoute.size() >= 2 && bestCost + 12.0 < currentCost) {
        advice.sides = bestSides;
        advice.route = bestRoute;
        advice.action = bestSides == current ? SlotSideAdvice::ApplyRoute : SlotSideAdvice::MoveSlots;
    } else {
        advice.sides = current;
    }
    return advice;
}

int facingSide(const QPointF& centre, const QPointF& point)
{
    const QPointF d = point - centre;
    if (std::abs(d.x()) > std::abs(d.y()))
        return d.x() > 0.0 ? SlotRight : SlotLeft;
    return d.y() > 0.0 ? SlotBottom : SlotTop;
}

namespace {

int routesCross(const QList<QPointF>& r, const QList<QPointF>& s)
{
    int n = 0;
    for (qsizetype i = 0; i + 1 < r.size(); ++i) {
        const QRectF a = QRectF(r[i], r[i + 1]).normalized();
        for (qsizetype j = 0; j + 1 < s.size(); ++j) {
            const QRectF b = QRectF(s[j], s[j + 1]).normalized();
            if (a.right() < b.left() || b.right() < a.left() || a.bottom() < b.top() || b.bottom() < a.top())
                continue;
            if (segmentsCrossInside(r[i], r[i + 1], s[j], s[j + 1]))
                ++n;
        }
    }
    return n;
}

} // namespace

RouteCrossingGrid::RouteCrossingGrid(const QRectF& extent, qsizetype routeCount, double cell)
    : m_routes(static_cast<size_t>(routeCount))
    , m_seen(static_cast<size_t>(routeCount), 0u)
{
    const bool finite = std::isfinite(extent.left()) && std::isfinite(extent.top()) && std::isfinite(extent.width())
        && std::isfinite(extent.height());
    const QRectF area = finite ? extent.normalized() : QRectF();
    const double longest = std::max(area.width(), area.height());
    m_grid.cell = std::max(cell, longest / MaxSideCells);
    m_grid.originX = area.left();
    m_grid.originY = area.top();
    m_grid.columns = std::clamp(static_cast<int>(std::ceil(area.width() / m_grid.cell)), 1, MaxSideCells);
    m_grid.rows = std::clamp(static_cast<int>(std::ceil(area.height() / m_grid.cell)), 1, MaxSideCells);
    m_cells.resize(m_grid.cellCount());
}

template <typename Visit>
void RouteCrossingGrid::forEachCell(const QPointF& a, const QPointF& b, Visit visit) const
{
    // A diagonal segment (rare) is covered by its whole box of cells.
    m_grid.forEachCell(m_grid.rangeOf(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::max(a.x(), b.x()),
                                      std::max(a.y(), b.y())),
                       visit);
}

void RouteCrossingGrid::setRoute(int index, const QList<QPointF>& route)
{
    m_routes[static_cast<size_t>(index)] = route;
    for (qsizetype i = 0; i + 1 < route.size(); ++i) {
        forEachCell(route[i], route[i + 1], [this, index](size_t cell) {
            std::vector<int>& list = m_cells[cell];
            if (list.empty() || list.back() != index)
                list.push_back(index);
        });
    }
}

int RouteCrossingGrid::crossings(const QList<QPointF>& route, const std::vector<int>& skip) const
{
    if (++m_stamp == 0) {
        std::fill(m_seen.begin(), m_seen.end(), 0u);
        m_stamp = 1;
    }
    for (int index : skip)
        m_seen[static_cast<size_t>(index)] = m_stamp;
    int total = 0;
    for (qsizetype i = 0; i + 1 < route.size(); ++i) {
        forEachCell(route[i], route[i + 1], [&](size_t cell) {
            for (int other : m_cells[cell]) {
                unsigned& seen = m_seen[static_cast<size_t>(other)];
                if (seen == m_stamp)
                    continue;
                seen = m_stamp;
                total += routesCross(route, m_routes[static_cast<size_t>(other)]);
            }
        });
    }
    return total;
}
