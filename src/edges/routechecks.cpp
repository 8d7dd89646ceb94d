#include "edges/routechecks.h"

#include "edges/entityrouter.h"
#include "edges/routegeometry.h"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Whether the segment a -> b runs along the outward normal of side (leaving
// a slot on that side).
bool leavesAlongNormal(int side, const QPointF& a, const QPointF& b)
{
    const double dx = std::abs(b.x() - a.x());
    const double dy = std::abs(b.y() - a.y());
    switch (side) {
    case SlotTop: return b.y() <= a.y() + 0.5 && dx <= 0.5;
    case SlotBottom: return b.y() >= a.y() - 0.5 && dx <= 0.5;
    case SlotRight: return b.x() >= a.x() - 0.5 && dy <= 0.5;
    case SlotLeft: return b.x() <= a.x() + 0.5 && dy <= 0.5;
    default: return false;
    }
}

// Whether p lines up with f along the normal of side.
bool linesUpAlongNormal(int side, const QPointF& p, const QPointF& f)
{
    if (side == SlotTop || side == SlotBottom)
        return std::abs(p.x() - f.x()) <= 0.5;
    return std::abs(p.y() - f.y()) <= 0.5;
}

// Whether p stays inside the band of rect across side, widened by 4; for an
// unknown side there is no band.
bool insideBand(int side, const QPointF& p, const QRectF& rect)
{
    switch (side) {
    case SlotLeft:
    case SlotRight:
        return p.y() >= rect.top() - 4.0 && p.y() <= rect.bottom() + 4.0;
    case SlotTop:
    case SlotBottom:
        return p.x() >= rect.left() - 4.0 && p.x() <= rect.right() + 4.0;
    default:
        return false;
    }
}

QRectF hitRect(const QRectF& rect)
{
    if (rect.width() - 2.0 > 1.0 && rect.height() - 2.0 > 1.0)
        return rect.adjusted(1.0, 1.0, -1.0, -1.0);
    return rect;
}

bool segmentHits(const QPointF& a, const QPointF& b, const QRectF& rect)
{
    const QRectF r = hitRect(rect);
    return r.contains(a) || r.contains(b) || segmentCrossesRect(a, b, r);
}

} // namespace

bool endsLeaveOutward(const QList<QPointF>& route, int fromSide, int toSide,
                      const QPointF& fromPoint, const QPointF& toPoint)
{
    if (route.size() < 2 || !isRouteAxisAligned(route))
        return false;
    const qsizetype n = route.size();
    if (!leavesAlongNormal(fromSide, route[0], route[1]))
        return false;
    // The last segment arrives against the to-side's normal, i.e. seen from
    // the slot it leaves along that normal.
    if (!leavesAlongNormal(toSide, route[n - 1], route[n - 2]))
        return false;

    for (qsizetype i = 1; i < n; ++i) {
        if (pointDistance(route[i], fromPoint) <= 0.5)
            continue;
        if (linesUpAlongNormal(fromSide, route[i], fromPoint) && liesBehindSlot(fromSide, route[i], fromPoint))
            return false;
        break;
    }
    for (qsizetype i = n - 2; i >= 0; --i) {
        if (pointDistance(route[i], toPoint) <= 0.5)
            continue;
        if (linesUpAlongNormal(toSide, route[i], toPoint) && liesBehindSlot(toSide, route[i], toPoint))
            return false;
        break;
    }
    return true;
}

bool backtracksAtStart(int fromSide, const QPointF& fromPoint, const QList<QPointF>& route,
                       const QRectF& fromRect)
{
    const qsizetype n = route.size();
    if (n < 3)
        return false;
    qsizetype start = 2;
    for (qsizetype i = 0; i < n; ++i) {
        if (pointDistance(route[i], fromPoint) <= 0.5) {
            start = i + 1;
            break;
        }
    }
    for (qsizetype i = start; i < n; ++i) {
        if (!insideBand(fromSide, route[i], fromRect))
            return false;
        if (liesBehindSlot(fromSide, route[i], fromPoint))
            return true;
    }
    return false;
}

bool backtracksAtEnd(int toSide, const QPointF& toPoint, const QList<QPointF>& route,
                     const QRectF& toRect)
{
    const qsizetype n = route.size();
    qsizetype k = n - 2;
    for (qsizetype i = 0; i < n; ++i) {
        if (pointDistance(route[i], toPoint) <= 0.5) {
            k = i;
            break;
        }
    }
    if (k < 1)
        return false;
    for (qsizetype i = k - 1; i >= 0; --i) {
        if (!insideBand(toSide, route[i], toRect))
            return false;
        if (liesBehindSlot(toSide, route[i], toPoint))
            return true;
    }
    return false;
}

bool segmentCrossesRect(const QPointF& p1, const QPointF& p2, const QRectF& rect)
{
    const QLineF segment(p1, p2);
    const QLineF borders[4] = {
        QLineF(rect.topLeft(), rect.topRight()),
        QLineF(rect.bottomLeft(), rect.bottomRight()),
        QLineF(rect.topLeft(), rect.bottomLeft()),
        QLineF(rect.topRight(), rect.bottomRight()),
    };
    for (const QLineF& border : borders) {
        if (segment.intersects(border, nullptr) == QLineF::BoundedIntersection)
            return true;
    }
    return false;
}

namespace {

int countHitsOverSegments(const QList<QPointF>& route, qsizetype firstSegment,
                          qsizetype lastSegment, const ObstacleSet& rects)
{
    int hits = 0;
    for (qsizetype i = firstSegment; i <= lastSegment; ++i) {
        const QPointF& a = route[i];
        const QPointF& b = route[i + 1];
        // Every rectangle the segment can touch meets its bounding box; the
        // margin keeps rounding in the border tests on the safe side.
        const QRectF box = QRectF(QPointF(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                                  QPointF(std::max(a.x(), b.x()), std::max(a.y(), b.y())))
                               .adjusted(-1.0, -1.0, 1.0, 1.0);
        rects.forEachIn(box, [&](const QRectF& rect) {
            if (segmentHits(a, b, rect))
                ++hits;
        });
    }
    return hits;
}

} // namespace

bool routeMeetsObstacle(const QList<QPointF>& route, const ObstacleSet& rects)
{
    if (route.size() < 2 || rects.isEmpty())
        return false;
    for (qsizetype i = 0; i + 1 < route.size(); ++i) {
        const QPointF& a = route[i];
        const QPointF& b = route[i + 1];
        const QRectF box = QRectF(QPointF(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                                  QPointF(std::max(a.x(), b.x()), std::max(a.y(), b.y())))
                               .adjusted(-1.0, -1.0, 1.0, 1.0);
        if (rects.anyIn(box, [&](const QRectF& rect) { return segmentHits(a, b, rect); }))
            return true;
    }
    return false;
}

int countObstacleHits(const QList<QPointF>& route, const ObstacleSet& rects)
{
    if (route.size() < 2 || rects.isEmpty())
        return 0;
    return countHitsOverSegments(route, 0, route.size() - 2, rects);
}

int countInteriorHits(const QList<QPointF>& route, const QList<QRectF>& rects)
{
    if (route.size() < 4)
        return 0;
    int hits = 0;
    for (qsizetype i = 1; i <= route.size() - 3; ++i) {
        for (const QRectF& rect : rects) {
            if (segmentHits(route[i], route[i + 1], rect))
                ++hits;
        }
    }
    return hits;
}

int countRouteHits(const QList<QPointF>& route, const ObstacleSet& obstacles,
                   const QList<QRectF>& endRects)
{
    int hits = countObstacleHits(route, obstacles);
    if (route.size() > 3)
        hits += countInteriorHits(route, endRects);
    return hits;
}

bool isCandidateUsable(const RouteUsabilityContext& c, const QList<QPointF>& route)
{
    if (route.size() < 2)
        return false;
    if (!endsLeaveOutward(route, c.fromSide, c.toSide, c.fromStub, c.toStub))
        return false;
    if (backtracksAtStart(c.fromSide, c.fromStub, route, c.fromRect)
        || backtracksAtEnd(c.toSide, c.toStub, route, c.toRect))
        return false;
    if (route.size() > 3 && countInteriorHits(route, c.endRects) != 0)
        return false;
    return !routeMeetsObstacle(route, c.obstacles);
}

double outsideDistance(const QList<QPointF>& route, const QRectF& rect)
{
    double total = 0.0;
    for (const QPointF& p : route) {
        if (rect.contains(p))
            continue;
        const double cx = std::max(rect.left(), std::min(p.x(), rect.right()));
        const double cy = std::max(rect.top(), std::min(p.y(), rect.bottom()));
        total += std::hypot(p.x() - cx, p.y() - cy);
    }
    return total;
}

double facingAwayPenalty(int fromSide, int toSide, const QRectF& fromRect, const QRectF& toRect)
{
    const QPointF d = toRect.center() - fromRect.center();
    auto facesAway = [](int side, const QPointF& toward) {
        switch (side) {
        case SlotTop: return toward.y() > 8.0;
        case SlotBottom: return toward.y() < -8.0;
        case SlotLeft: return toward.x() > 8.0;
        case SlotRight: return toward.x() < -8.0;
        default: return false;
        }
    };
    double penalty = 0.0;
    if (facesAway(fromSide, d))
        penalty += 4000.0;
    if (facesAway(toSide, -d))
        penalty += 4000.0;
    return penalty;
}

bool evaluateSidePair(const QRectF& a, const QRectF& b, const ObstacleSet& obstacles,
                      int fromSide, int toSide, int* hitsOut, double* costOut,
                      QList<QPointF>* routeOut)
{
    const QList<QPointF> route = laneSearchRoute(a, b, fromSide, toSide, obstacles);
    if (routeOut)
        *routeOut = route;
    if (route.size() < 2) {
        if (hitsOut)
            *hitsOut = 1000000;
        if (costOut)
            *costOut = std::numeric_limits<double>::max();
        return false;
    }
    const int hits =
        countRouteHits(route, obstacles, {insetObstacleRect(a), insetObstacleRect(b)});
    const QRectF bounds = a.united(b).adjusted(-48.0, -48.0, 48.0, 48.0);
    double cost = hits * 1000000.0 + routeLength(route) + 36.0 * countRouteBends(route)
        + 8.0 * outsideDistance(route, bounds);
    if (chooseSidePair(a, b) == SidePair{fromSide, toSide})
        cost -= 160.0;
    else if (sidePairMatchesCentres(fromSide, toSide, a, b))
        cost -= 40.0;
    cost += facingAwayPenalty(fromSide, toSide, a, b);
    if (hitsOut)
        *hitsOut = hits;
    if (costOut)
        *costOut = cost;
    return true;
}
