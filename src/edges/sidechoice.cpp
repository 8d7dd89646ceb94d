#include "edges/sidechoice.h"

#include "edges/entityrouter.h"
#include "edges/routechecks.h"
#include "edges/routegeometry.h"

#include <cmath>
#include <limits>

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
        return route.size() >= 2 && countRouteHits(route, obstacles, endRects) == 0;
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

    const SidePair natural = chooseSidePair(f, t);
    if (natural != current) {
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
            if (pair == current || pair == natural)
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
