#include "edges/routegeometry.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace {

double clampMargin(double length, double low, double high)
{
    return std::max(low, std::min(high, 0.18 * length));
}

QPointF pointOnSideWithMargins(const QRectF& rect, int side, const QPointF& target,
                               double low, double high)
{
    switch (side) {
    case SlotLeft:
    case SlotRight: {
        const double m = clampMargin(rect.height(), low, high);
        const double y = std::max(std::min(rect.bottom() - m, target.y()), rect.top() + m);
        return QPointF(side == SlotLeft ? rect.left() : rect.right(), y);
    }
    case SlotTop:
    case SlotBottom: {
        const double m = clampMargin(rect.width(), low, high);
        const double x = std::max(std::min(rect.right() - m, target.x()), rect.left() + m);
        return QPointF(x, side == SlotTop ? rect.top() : rect.bottom());
    }
    default:
        return rect.center();
    }
}

// Relative equality: |a - b| * 1e12 <= min(|a|, |b|). Two exact zeros are
// equal; a zero never equals a non-zero.
bool fuzzyEqual(double a, double b)
{
    return qFuzzyCompare(a, b);
}

bool isFlat(const QPointF& a, const QPointF& b)
{
    return std::abs(b.y() - a.y()) < 0.5;
}

} // namespace

QPointF sideDirection(int side)
{
    switch (side) {
    case SlotLeft: return QPointF(-1.0, 0.0);
    case SlotRight: return QPointF(1.0, 0.0);
    case SlotTop: return QPointF(0.0, -1.0);
    case SlotBottom: return QPointF(0.0, 1.0);
    default: return QPointF(1.0, 0.0);
    }
}

bool liesBehindSlot(int side, const QPointF& p, const QPointF& slot)
{
    switch (side) {
    case SlotLeft: return p.x() > slot.x() + 0.5;
    case SlotRight: return p.x() < slot.x() - 0.5;
    case SlotTop: return p.y() > slot.y() + 0.5;
    case SlotBottom: return p.y() < slot.y() - 0.5;
    default: return false;
    }
}

QRectF insetObstacleRect(const QRectF& rect)
{
    if (rect.width() > 4.0 && rect.height() > 4.0)
        return rect.adjusted(2.0, 2.0, -2.0, -2.0);
    return rect;
}

bool isRouteAxisAligned(const QList<QPointF>& route)
{
    for (qsizetype i = 0; i + 1 < route.size(); ++i) {
        const double dx = std::abs(route[i + 1].x() - route[i].x());
        const double dy = std::abs(route[i + 1].y() - route[i].y());
        if (!(dx <= 0.5 || dy <= 0.5))
            return false;
    }
    return true;
}

int countRouteBends(const QList<QPointF>& route)
{
    int bends = 0;
    for (qsizetype i = 1; i + 1 < route.size(); ++i) {
        if (isFlat(route[i - 1], route[i]) != isFlat(route[i], route[i + 1]))
            ++bends;
    }
    return bends;
}

bool segmentsCrossInside(const QPointF& a, const QPointF& b, const QPointF& c, const QPointF& d, double eps)
{
    const auto turn = [](const QPointF& o, const QPointF& p, const QPointF& q) {
        return (p.x() - o.x()) * (q.y() - o.y()) - (p.y() - o.y()) * (q.x() - o.x());
    };
    const double d1 = turn(a, b, c);
    const double d2 = turn(a, b, d);
    const double d3 = turn(c, d, a);
    const double d4 = turn(c, d, b);
    return ((d1 > eps && d2 < -eps) || (d1 < -eps && d2 > eps)) && ((d3 > eps && d4 < -eps) || (d3 < -eps && d4 > eps));
}

double routeLength(const QList<QPointF>& route)
{
    double length = 0.0;
    for (qsizetype i = 0; i + 1 < route.size(); ++i)
        length += pointDistance(route[i + 1], route[i]);
    return length;
}

double stubLength(int fromSide, int toSide, const QRectF& fromRect, const QRectF& toRect)
{
    constexpr double defaultStub = 26.0;
    double gap = 0.0;
    if (fromSide == SlotLeft && toSide == SlotRight)
        gap = fromRect.left() - toRect.right();
    else if (fromSide == SlotRight && toSide == SlotLeft)
        gap = toRect.left() - fromRect.right();
    else if (fromSide == SlotTop && toSide == SlotBottom)
        gap = fromRect.top() - toRect.bottom();
    else if (fromSide == SlotBottom && toSide == SlotTop)
        gap = toRect.top() - fromRect.bottom();
    else
        return defaultStub;
    if (gap > 0.0 && gap < 56.0) {
        // Never past the middle of the gap: a stub point inside the other
        // entity would make every route across the gap look like one that
        // turns back, and the edge would loop around instead.
        return std::min({defaultStub, std::max(0.35 * gap, 8.0), gap / 2.0});
    }
    return defaultStub;
}

QPointF pointOnSide(const QRectF& rect, int side, const QPointF& target)
{
    return pointOnSideWithMargins(rect, side, target, 6.0, 16.0);
}

QPointF pointOnSideInset(const QRectF& rect, int side, const QPointF& target)
{
    return pointOnSideWithMargins(rect, side, target, 5.0, 14.0);
}

SidePair chooseSidePair(const QRectF& a, const QRectF& b)
{
    const bool bRight = b.left() >= a.right() + 6.0;
    const bool bLeft = a.left() >= b.right() + 6.0;
    const double verticalOverlap = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top());
    if ((bRight || bLeft) && verticalOverlap >= 12.0)
        return bRight ? SidePair{SlotRight, SlotLeft} : SidePair{SlotLeft, SlotRight};

    const bool bBelow = b.top() >= a.bottom() + 6.0;
    const bool bAbove = a.top() >= b.bottom() + 6.0;
    const double horizontalOverlap = std::min(a.right(), b.right()) - std::max(a.left(), b.left());
    if ((bBelow || bAbove) && horizontalOverlap >= 12.0)
        return bBelow ? SidePair{SlotBottom, SlotTop} : SidePair{SlotTop, SlotBottom};

    const double dx = b.center().x() - a.center().x();
    const double dy = b.center().y() - a.center().y();
    if (std::abs(dx) >= std::abs(dy))
        return dx >= 0.0 ? SidePair{SlotRight, SlotLeft} : SidePair{SlotLeft, SlotRight};
    return dy >= 0.0 ? SidePair{SlotBottom, SlotTop} : SidePair{SlotTop, SlotBottom};
}

bool sidePairMatchesCentres(int fromSide, int toSide, const QRectF& a, const QRectF& b)
{
    const QPointF ca = a.center();
    const QPointF cb = b.center();
    if (fromSide == SlotRight && toSide == SlotLeft)
        return cb.x() >= ca.x();
    if (fromSide == SlotLeft && toSide == SlotRight)
        return ca.x() >= cb.x();
    if (fromSide == SlotBottom && toSide == SlotTop)
        return cb.y() >= ca.y();
    if (fromSide == SlotTop && toSide == SlotBottom)
        return ca.y() >= cb.y();
    return false;
}

void appendDistinctPoint(QList<QPointF>& route, const QPointF& point)
{
    if (!route.isEmpty()) {
        const QPointF& last = route.constLast();
        if (pointDistance(point, last) < 0.01)
            return;
    }
    route.append(point);
}

QList<QPointF> assembleRoute(const QPointF& from, const QPointF& fromStub,
                             const QList<QPointF>& middle,
                             const QPointF& toStub, const QPointF& to)
{
    QList<QPointF> route;
    route.reserve(middle.size() + 4);
    route.append(from);
    route.append(fromStub);
    for (const QPointF& p : middle)
        appendDistinctPoint(route, p);
    appendDistinctPoint(route, toStub);
    appendDistinctPoint(route, to);
    return simplifyRoute(route);
}

QList<QPointF> simplifyRoute(const QList<QPointF>& route)
{
    if (route.size() < 3)
        return route;
    QList<QPointF> kept;
    kept.reserve(route.size());
    kept.append(route.constFirst());
    for (qsizetype i = 1; i + 1 < route.size(); ++i) {
        const QPointF& p = route[i];
        const QPointF& last = kept.constLast();
        const QPointF& next = route[i + 1];
        const bool onVertical = fuzzyEqual(p.x(), last.x()) && fuzzyEqual(p.x(), next.x());
        const bool onHorizontal = fuzzyEqual(p.y(), last.y()) && fuzzyEqual(p.y(), next.y());
        if (!onVertical && !onHorizontal)
            kept.append(p);
    }
    kept.append(route.constLast());
    return kept;
}
