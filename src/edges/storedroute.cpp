#include "edges/storedroute.h"

#include "edges/routegeometry.h"
#include "edges/slotside.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

bool isFlat(const QPointF& a, const QPointF& b)
{
    return std::abs(b.y() - a.y()) <= 0.5;
}

bool isUpright(const QPointF& a, const QPointF& b)
{
    return std::abs(b.x() - a.x()) <= 0.5;
}

// Replaces the stub neighbour at index `stub` by its replacement and lets
// the segment from it to `follower` move along with it, so that it keeps its
// direction (unless the follower is an end of the route).
void pullOut(QList<QPointF>& r, int stub, int follower, const QPointF& replacement)
{
    const QPointF old = r[stub];
    r[stub] = replacement;
    if (follower <= 0 || follower >= r.size() - 1)
        return;
    if (isFlat(old, r[follower]) && !isUpright(old, r[follower]))
        r[follower].setY(replacement.y());
    else if (isUpright(old, r[follower]) && !isFlat(old, r[follower]))
        r[follower].setX(replacement.x());
}

// Puts a corner into every slanted segment, so that the route stays
// right-angled: the first segment turns after running along the from-side's
// normal, every other one after running across the segment before it.
QList<QPointF> squareUp(const QList<QPointF>& route, int fromSide)
{
    if (isRouteAxisAligned(route))
        return route;
    QList<QPointF> result{route.constFirst()};
    for (qsizetype i = 1; i < route.size(); ++i) {
        const QPointF a = result.constLast();
        const QPointF b = route[i];
        if (!isFlat(a, b) && !isUpright(a, b)) {
            bool horizontalFirst;
            if (result.size() == 1)
                horizontalFirst = fromSide == SlotLeft || fromSide == SlotRight;
            else
                horizontalFirst = !isFlat(result[result.size() - 2], a);
            result.append(horizontalFirst ? QPointF(b.x(), a.y()) : QPointF(a.x(), b.y()));
        }
        result.append(b);
    }
    return simplifyRoute(result);
}

// Exactly the same points: a route read back from a file carries every
// coordinate to the last digit, so anything less would hide a change.
bool samePoints(const QList<QPointF>& a, const QList<QPointF>& b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(), [](const QPointF& p, const QPointF& q) {
        return p.x() == q.x() && p.y() == q.y();
    });
}

// One fitting of a stored route to the slots; see reanchorRoute.
QList<QPointF> reanchorOnce(const QList<QPointF>& stored, const QPointF& f, int fromSide, const QPointF& t,
                            int toSide)
{
    QList<QPointF> r = simplifyRoute(stored);
    const int n = static_cast<int>(r.size());
    if (n == 2) {
        r = {f, t};
    } else if (n == 3) {
        const double dx = std::abs(r[1].x() - r[0].x());
        const double dy = std::abs(r[1].y() - r[0].y());
        const QPointF middle = dx < dy ? QPointF(f.x(), t.y()) : QPointF(t.x(), f.y());
        r = simplifyRoute({f, middle, t});
    } else {
        // First segment: the first point becomes the slot, the second follows
        // it across the segment's direction.
        const double dx0 = std::abs(r[1].x() - r[0].x());
        const double dy0 = std::abs(r[1].y() - r[0].y());
        r[0] = f;
        if (dy0 <= dx0)
            r[1].setY(f.y());
        else
            r[1].setX(f.x());
        if (liesBehindSlot(fromSide, r[1], f))
            pullOut(r, 1, 2, f + 12.0 * sideDirection(fromSide));

        const double dxn = std::abs(r[n - 1].x() - r[n - 2].x());
        const double dyn = std::abs(r[n - 1].y() - r[n - 2].y());
        r[n - 1] = t;
        if (dxn < dyn)
            r[n - 2].setX(t.x());
        else
            r[n - 2].setY(t.y());
        if (liesBehindSlot(toSide, r[n - 2], t))
            pullOut(r, n - 2, n - 3, t + 12.0 * sideDirection(toSide));
        r = simplifyRoute(r);
    }
    return squareUp(r, fromSide);
}

// Fittings after the first that may still change a route before it is
// taken as fitted.
constexpr int MaxRefits = 8;

} // namespace

QList<QPointF> reanchorRoute(const QList<QPointF>& stored, const QPointF& f, int fromSide,
                             const QPointF& t, int toSide)
{
    if (stored.size() < 2)
        return {};
    // What is saved is read again through this very function, and must come
    // back unchanged, or every Save after Open would move the route. One
    // fitting does not always give a route that fits as it is (a point
    // pulled out of a slot can land on its neighbour, a segment can shrink
    // to nothing, simplifying can leave fewer points and so another case
    // below), so the fitting is repeated until it changes nothing.
    QList<QPointF> r = reanchorOnce(stored, f, fromSide, t, toSide);
    for (int refit = 0; refit < MaxRefits; ++refit) {
        QList<QPointF> again = reanchorOnce(r, f, fromSide, t, toSide);
        if (samePoints(again, r))
            return r;
        r = std::move(again);
    }
    // Should the fittings never settle, the plain right-angled route between
    // the two slots, which fits as it is.
    return reanchorOnce({f, t}, f, fromSide, t, toSide);
}

int routeSegmentAt(const QList<QPointF>& route, const QPointF& p)
{
    const qsizetype n = route.size();
    if (n < 4)
        return -1;
    int best = -1;
    double bestDistance = std::numeric_limits<double>::max();
    for (qsizetype i = 1; i <= n - 3; ++i) {
        const QPointF& a = route[i];
        const QPointF& b = route[i + 1];
        double distance;
        if (std::abs(a.x() - b.x()) < 0.01) {
            if (p.y() < std::min(a.y(), b.y()) - 8.0 || p.y() > std::max(a.y(), b.y()) + 8.0)
                continue;
            distance = std::abs(p.x() - a.x());
        } else if (std::abs(a.y() - b.y()) < 0.01) {
            if (p.x() < std::min(a.x(), b.x()) - 8.0 || p.x() > std::max(a.x(), b.x()) + 8.0)
                continue;
            distance = std::abs(p.y() - a.y());
        } else {
            continue;
        }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
        }
    }
    return bestDistance < 8.0 ? best : -1;
}

Qt::Orientation routeSegmentOrientation(const QList<QPointF>& route, int segment)
{
    if (segment < 0 || segment + 1 >= route.size())
        return Qt::Horizontal;
    return std::abs(route[segment].x() - route[segment + 1].x()) < 0.01 ? Qt::Vertical : Qt::Horizontal;
}

bool moveRouteSegment(QList<QPointF>& route, int segment, Qt::Orientation orientation, double delta)
{
    if (segment < 1 || segment > route.size() - 3)
        return false;
    if (!(std::abs(delta) >= 0.001))
        return false;
    if (orientation == Qt::Vertical) {
        route[segment].rx() += delta;
        route[segment + 1].rx() += delta;
    } else {
        route[segment].ry() += delta;
        route[segment + 1].ry() += delta;
    }
    return true;
}
