#include "edges/entityrouter.h"

#include "edges/gridroutesearch.h"
#include "edges/routechecks.h"
#include "edges/routegeometry.h"

#include <QPair>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kLargest = std::numeric_limits<double>::max();
// A clean route with this cost or more is not good enough to end the search.
constexpr double kCleanManyBends = 1e11;
// Two entities count as apart along an axis when this much room or more
// lies between them.
constexpr double kApartBy = 4.0;
// The lane search's clearance lanes and corner detours keep this far from
// each entity.
constexpr double kClearanceLane = 36.0;
// A lane-search candidate of more bends is dropped.
constexpr int kLaneMostBends = 3;
// What each entity a candidate runs through adds to its cost.
constexpr double kHitCharge = 1000000.0;
// A later candidate replaces the best only when it is cheaper by more.
constexpr double kCheaperBy = 0.01;
// Slot points this near a route's ends count as its ends, and two slots
// this near across lie in line.
constexpr double kEndSlack = 0.5;
// A clean candidate of fewer bends than this that is no longer than both
// stubs, the distance between the slots and the slack ends the first pass.
constexpr int kNearlyDirectBendsBelow = 2;
constexpr double kNearlyDirectSlack = 8.0;
// The fallback lanes round the pair keep a stub from it, at least this.
constexpr double kFrameMarginLeast = 16.0;

double bendCharge(int bends)
{
    return 8000.0 * bends;
}

// The values of one routing run, computed once.
struct RunGeometry
{
    RouteCostContext cost;
    double stub = 26.0;
    QPointF fromStub; // P'
    QPointF toStub;   // Q'

    const QPointF& p() const { return cost.from; }
    const QPointF& q() const { return cost.to; }
    const QRectF& a() const { return cost.fromRect; }
    const QRectF& b() const { return cost.toRect; }
    int fromSide() const { return cost.fromSide; }
    int toSide() const { return cost.toSide; }
};

RunGeometry makeGeometry(const QRectF& a, const QRectF& b, int fromSide, int toSide,
                         const ObstacleSet& obstacles, const QPointF& p, const QPointF& q)
{
    RunGeometry g;
    g.cost.obstacles = obstacles;
    g.cost.endRects = {insetObstacleRect(a), insetObstacleRect(b)};
    g.cost.fromSide = fromSide;
    g.cost.toSide = toSide;
    g.cost.from = p;
    g.cost.to = q;
    g.cost.fromRect = a;
    g.cost.toRect = b;
    g.stub = stubLength(fromSide, toSide, a, b);
    g.fromStub = p + g.stub * sideDirection(fromSide);
    g.toStub = q + g.stub * sideDirection(toSide);
    return g;
}

RunGeometry makeGeometry(const EntityRouteRequest& r)
{
    return makeGeometry(r.fromRect, r.toRect, r.fromSide, r.toSide, r.obstacles, r.from, r.to);
}

// The common checks of every router stage: right-angled, leaving and
// arriving outward, no backtracking through an end entity.
bool passesEndChecks(const RunGeometry& g, const QList<QPointF>& route)
{
    return isRouteAxisAligned(route)
        && endsLeaveOutward(route, g.fromSide(), g.toSide(), g.fromStub, g.toStub)
        && !backtracksAtStart(g.fromSide(), g.fromStub, route, g.a())
        && !backtracksAtEnd(g.toSide(), g.toStub, route, g.b());
}

struct Priced
{
    double cost = kLargest;
    int hits = 0;
    int bends = 0;
};

Priced priceRoute(const RouteCostContext& c, const QList<QPointF>& route)
{
    Priced result;
    if (route.size() < 2) {
        result.cost = 2e12;
        result.hits = 1;
        return result;
    }
    result.hits = countRouteHits(route, c.obstacles, c.endRects);
    result.bends = countRouteBends(route);
    const double length = routeLength(route);
    if (result.bends >= 4) {
        // Plainly pricing every route of four bends at 1e15 would let a route
        // through an entity (1e12 and up) beat a clean one.
        result.cost = result.hits >= 1 ? 1e15 : kCleanManyBends;
    } else if (result.hits >= 1) {
        result.cost = 1e12 + result.hits * 1e6 + length;
    } else {
        result.cost = bendCharge(result.bends) + length;
        if (c.fromSide == c.toSide)
            result.cost += detourSidePenalty(route, c.fromSide, c.from, c.to, c.fromRect, c.toRect);
    }
    return result;
}

QList<QPointF> facingShortcut(const RunGeometry& g)
{
    return facingShortcutRoute(g.p(), g.q(), g.fromStub, g.toStub, g.fromSide(), g.toSide(),
                               g.a(), g.b(), g.cost.endRects, g.cost.obstacles);
}

// For two slots on one side: whether the midpoint of the slots lies at or
// beyond the centre of the pair, along that side (x for the top and bottom,
// y for the left and right); then the lanes on the far side are tried first.
bool slotsPastCentre(const RunGeometry& g)
{
    const QRectF u = g.a().united(g.b());
    const int side = g.fromSide();
    if (side == SlotTop || side == SlotBottom)
        return u.center().x() <= (g.p().x() + g.q().x()) / 2.0;
    if (side == SlotLeft || side == SlotRight)
        return u.center().y() <= (g.p().y() + g.q().y()) / 2.0;
    return false;
}

// The middle points of the lane search's candidates, each to be joined to
// the two stub points.
struct LaneCandidates
{
    QPointF ps;
    QPointF qs;
    QList<QList<QPointF>> middles;

    void verticalRun(double x) { middles.append({QPointF(x, ps.y()), QPointF(x, qs.y())}); }
    void horizontalRun(double y) { middles.append({QPointF(ps.x(), y), QPointF(qs.x(), y)}); }
};

// Two slots on one side: lanes round the whole pair, unless the entities
// stand apart only across the way such a lane would run.
void addSameSideLanes(const RunGeometry& g, LaneCandidates& lanes)
{
    if (g.fromSide() != g.toSide())
        return;
    const QRectF& a = g.a();
    const QRectF& b = g.b();
    const ObstacleSet& obstacles = g.cost.obstacles;
    const QRectF u = a.united(b);
    const bool verticallySeparated = b.top() - kApartBy >= a.bottom() || b.bottom() <= a.top() - kApartBy;
    const bool horizontallySeparated = b.left() - kApartBy >= a.right() || b.right() <= a.left() - kApartBy;
    const bool onlySideBySide = horizontallySeparated && !verticallySeparated;
    const bool onlyOneAbove = verticallySeparated && !horizontallySeparated;
    const int side = g.fromSide();
    if (side == SlotTop || side == SlotBottom) {
        if (!onlySideBySide) {
            const double left = laneLeft(u, obstacles);
            const double right = laneRight(u, obstacles);
            const bool rightFirst = slotsPastCentre(g);
            lanes.verticalRun(rightFirst ? right : left);
            lanes.verticalRun(rightFirst ? left : right);
        }
        if (!onlyOneAbove)
            lanes.horizontalRun(side == SlotTop ? laneAbove(u, obstacles) : laneBelow(u, obstacles));
    } else if (side == SlotLeft || side == SlotRight) {
        if (!onlyOneAbove) {
            const double above = laneAbove(u, obstacles);
            const double below = laneBelow(u, obstacles);
            const bool belowFirst = slotsPastCentre(g);
            lanes.horizontalRun(belowFirst ? below : above);
            lanes.horizontalRun(belowFirst ? above : below);
        }
        if (!onlySideBySide)
            lanes.verticalRun(side == SlotLeft ? laneLeft(u, obstacles) : laneRight(u, obstacles));
    }
}

// Both corners, runs through the middle, runs through the gap between the
// entities.
void addCornersAndGaps(const RunGeometry& g, LaneCandidates& lanes)
{
    const QRectF& a = g.a();
    const QRectF& b = g.b();
    const QPointF& ps = lanes.ps;
    const QPointF& qs = lanes.qs;
    lanes.middles.append({QPointF(qs.x(), ps.y())});
    lanes.middles.append({QPointF(ps.x(), qs.y())});
    lanes.verticalRun((ps.x() + qs.x()) / 2.0);
    lanes.horizontalRun((ps.y() + qs.y()) / 2.0);
    if (a.right() <= b.left())
        lanes.verticalRun((a.right() + b.left()) / 2.0);
    else if (b.right() <= a.left())
        lanes.verticalRun((b.right() + a.left()) / 2.0);
    if (a.bottom() <= b.top())
        lanes.horizontalRun((a.bottom() + b.top()) / 2.0);
    else if (b.bottom() <= a.top())
        lanes.horizontalRun((b.bottom() + a.top()) / 2.0);
}

// Lanes at the clearance round each entity.
void addClearanceLanes(const RunGeometry& g, LaneCandidates& lanes)
{
    constexpr double d = kClearanceLane;
    for (const QRectF* r : {&g.a(), &g.b()}) {
        lanes.verticalRun(r->left() - d);
        lanes.verticalRun(r->right() + d);
        lanes.horizontalRun(r->top() - d);
        lanes.horizontalRun(r->bottom() + d);
    }
}

// Three-point detours round a corner of each entity, at the clearance.
void addCornerDetours(const RunGeometry& g, LaneCandidates& lanes)
{
    constexpr double d = kClearanceLane;
    const QRectF& a = g.a();
    const QRectF& b = g.b();
    const QPointF& ps = lanes.ps;
    const QPointF& qs = lanes.qs;
    QList<QList<QPointF>>& m = lanes.middles;
    m.append({QPointF(ps.x(), a.top() - d), QPointF(b.left() - d, a.top() - d), QPointF(b.left() - d, qs.y())});
    m.append({QPointF(ps.x(), a.bottom() + d), QPointF(b.right() + d, a.bottom() + d), QPointF(b.right() + d, qs.y())});
    m.append({QPointF(a.left() - d, ps.y()), QPointF(a.left() - d, b.top() - d), QPointF(qs.x(), b.top() - d)});
    m.append({QPointF(a.right() + d, ps.y()), QPointF(a.right() + d, b.bottom() + d), QPointF(qs.x(), b.bottom() + d)});
    m.append({QPointF(ps.x(), a.top() - d), QPointF(b.right() + d, a.top() - d), QPointF(b.right() + d, qs.y())});
    m.append({QPointF(ps.x(), a.bottom() + d), QPointF(b.left() - d, a.bottom() + d), QPointF(b.left() - d, qs.y())});
    m.append({QPointF(a.left() - d, ps.y()), QPointF(a.left() - d, b.bottom() + d), QPointF(qs.x(), b.bottom() + d)});
    m.append({QPointF(a.right() + d, ps.y()), QPointF(a.right() + d, b.top() - d), QPointF(qs.x(), b.top() - d)});
}

// The cheapest of the candidates that pass the end checks with at most the
// most bends; empty when none does.
QList<QPointF> cheapestLaneRoute(const RunGeometry& g, const QList<QList<QPointF>>& middles)
{
    QList<QPointF> best;
    double bestCost = kLargest;
    for (const QList<QPointF>& middle : middles) {
        const QList<QPointF> route = simplifyRoute(assembleRoute(g.p(), g.fromStub, middle, g.toStub, g.q()));
        if (route.size() < 2 || !passesEndChecks(g, route))
            continue;
        const int bends = countRouteBends(route);
        if (bends > kLaneMostBends)
            continue;
        const int hits = countRouteHits(route, g.cost.obstacles, g.cost.endRects);
        double cost = hits * kHitCharge + bendCharge(bends) + routeLength(route);
        if (g.fromSide() == g.toSide() && hits == 0)
            cost += detourSidePenalty(route, g.fromSide(), g.p(), g.q(), g.a(), g.b());
        if (cost + kCheaperBy < bestCost) {
            bestCost = cost;
            best = route;
        }
    }
    return best;
}

QList<QPointF> laneSearch(const RunGeometry& g, const QList<QPointF>& facing)
{
    if (facing.size() >= 2)
        return facing;
    LaneCandidates lanes{g.fromStub, g.toStub, {}};
    lanes.middles.reserve(25);
    addSameSideLanes(g, lanes);
    addCornersAndGaps(g, lanes);
    addClearanceLanes(g, lanes);
    addCornerDetours(g, lanes);
    return cheapestLaneRoute(g, lanes.middles);
}

// Whether the first segment leaves the from-slot along its side's outward
// normal and the last one reaches the to-slot from outside. Unknown sides
// have no outside to judge and pass.
bool endsPointOutward(const QList<QPointF>& route, int fromSide, int toSide)
{
    auto outward = [](int side, const QPointF& slot, const QPointF& next) {
        const QPointF d = next - slot;
        switch (side) {
        case SlotLeft: return std::abs(d.y()) <= 0.5 && d.x() <= 0.5;
        case SlotRight: return std::abs(d.y()) <= 0.5 && d.x() >= -0.5;
        case SlotTop: return std::abs(d.x()) <= 0.5 && d.y() <= 0.5;
        case SlotBottom: return std::abs(d.x()) <= 0.5 && d.y() >= -0.5;
        default: return true;
        }
    };
    const qsizetype n = route.size();
    return n >= 2 && outward(fromSide, route[0], route[1]) && outward(toSide, route[n - 1], route[n - 2]);
}

// Position along the border of ring, clockwise from its top-left corner, of
// a point on that border.
double ringPosition(const QRectF& ring, const QPointF& p, int side)
{
    const double w = ring.width();
    const double h = ring.height();
    switch (side) {
    case SlotTop: return p.x() - ring.left();
    case SlotRight: return w + (p.y() - ring.top());
    case SlotBottom: return w + h + (ring.right() - p.x());
    default: return 2.0 * w + h + (ring.bottom() - p.y());
    }
}

// The route that leaves each slot straight out to ring (the rectangle around
// both entities) and runs along ring between the two exits, the shorter way
// round. It never enters either end entity.
QList<QPointF> ringRoute(const QPointF& p, int fromSide, const QPointF& q, int toSide, const QRectF& ring)
{
    auto exitPoint = [&](const QPointF& slot, int side) {
        switch (side) {
        case SlotLeft: return QPointF(ring.left(), slot.y());
        case SlotRight: return QPointF(ring.right(), slot.y());
        case SlotTop: return QPointF(slot.x(), ring.top());
        default: return QPointF(slot.x(), ring.bottom());
        }
    };
    const QPointF exitP = exitPoint(p, fromSide);
    const QPointF exitQ = exitPoint(q, toSide);
    const double perimeter = 2.0 * (ring.width() + ring.height());
    const double start = ringPosition(ring, exitP, fromSide);
    const double end = ringPosition(ring, exitQ, toSide);
    double clockwise = end - start;
    if (clockwise < 0.0)
        clockwise += perimeter;
    const bool goClockwise = clockwise <= perimeter - clockwise;
    // Corners at their clockwise positions: top-right, bottom-right,
    // bottom-left, top-left.
    const QPointF corners[4] = {ring.topRight(), ring.bottomRight(), ring.bottomLeft(), ring.topLeft()};
    const double cornerAt[4] = {ring.width(), ring.width() + ring.height(),
                                2.0 * ring.width() + ring.height(), perimeter};

    QList<QPointF> route = {p, exitP};
    const double travel = goClockwise ? clockwise : perimeter - clockwise;
    // Walk the corners in travel order, keeping those passed before the end.
    QList<QPair<double, QPointF>> passed;
    for (int i = 0; i < 4; ++i) {
        double along = goClockwise ? cornerAt[i] - start : start - (cornerAt[i] == perimeter ? 0.0 : cornerAt[i]);
        along = std::fmod(along + 2.0 * perimeter, perimeter);
        if (along > 0.0 && along < travel)
            passed.append({along, corners[i]});
    }
    std::sort(passed.begin(), passed.end(),
              [](const QPair<double, QPointF>& a, const QPair<double, QPointF>& b) { return a.first < b.first; });
    for (const auto& corner : passed)
        appendDistinctPoint(route, corner.second);
    appendDistinctPoint(route, exitQ);
    appendDistinctPoint(route, q);
    return simplifyRoute(route);
}

// The corners of a path the grid search found, with fewer bends: from each
// corner on, the farthest later one that a straight way or a way with one
// bend reaches while keeping 6 off every obstacle and out of the blocked
// zones. The search heads for the goal greedily and can weave round every
// obstacle near the straight line where a plainer way is just as short.
QList<QPointF> straightenPath(const QList<QPointF>& path, const GridRouteQuery& query)
{
    constexpr double keep = 6.0;
    auto clear = [&query](const QPointF& a, const QPointF& b) {
        const QRectF span = QRectF(a, b).normalized();
        auto meets = [&span](const QRectF& r, double margin) {
            return span.left() < r.right() + margin && span.right() > r.left() - margin
                && span.top() < r.bottom() + margin && span.bottom() > r.top() - margin;
        };
        const QRectF bounds = query.bounds.adjusted(-0.5, -0.5, 0.5, 0.5);
        if (span.left() < bounds.left() || span.right() > bounds.right() || span.top() < bounds.top()
            || span.bottom() > bounds.bottom())
            return false;
        if (std::any_of(query.blocked.cbegin(), query.blocked.cend(), [&](const QRectF& r) { return meets(r, 0.0); }))
            return false;
        return !query.obstacles.anyIn(span.adjusted(-keep, -keep, keep, keep), [&](const QRectF& r) { return meets(r, keep); });
    };
    if (path.size() < 4)
        return path;
    QList<QPointF> out{path.constFirst()};
    qsizetype i = 0;
    const qsizetype last = path.size() - 1;
    while (i < last) {
        const QPointF a = path.at(i);
        // Keep going the way the path came in where that is as good.
        const bool cameAlongX = out.size() >= 2 ? std::abs(out.at(out.size() - 2).y() - a.y()) < 0.5 : query.fromHorizontal;
        qsizetype next = i + 1;
        QList<QPointF> via;
        for (qsizetype j = last; j > i + 1; --j) {
            const QPointF b = path.at(j);
            if (std::abs(a.x() - b.x()) < 0.5 || std::abs(a.y() - b.y()) < 0.5) {
                if (clear(a, b)) {
                    next = j;
                    break;
                }
                continue;
            }
            const QPointF alongX(b.x(), a.y());
            const QPointF alongY(a.x(), b.y());
            const QPointF first = cameAlongX ? alongX : alongY;
            const QPointF second = cameAlongX ? alongY : alongX;
            if (clear(a, first) && clear(first, b)) {
                next = j;
                via = {first};
                break;
            }
            if (clear(a, second) && clear(second, b)) {
                next = j;
                via = {second};
                break;
            }
        }
        out += via;
        out.append(path.at(next));
        i = next;
    }
    return out;
}

// The route through the corners of a grid search between the two stub
// points, around the obstacles and the two end entities and never back
// behind a slot within its entity's band (the end checks would refuse
// that); empty when the search found nothing.
QList<QPointF> gridSearchRoute(const RunGeometry& g, const EntityRouteRequest& request, const QList<QLineF>& taken = {},
                               const QList<QLineF>& sidestep = {})
{
    GridRouteQuery query;
    query.avoid = taken;
    query.sidestep = sidestep;
    query.from = g.fromStub;
    query.to = g.toStub;
    query.fromHorizontal = g.fromSide() == SlotLeft || g.fromSide() == SlotRight;
    query.toHorizontal = g.toSide() == SlotLeft || g.toSide() == SlotRight;
    // The request's obstacles are the entities that meet this region.
    query.bounds = request.searchRegion.isEmpty() ? routeObstacleRegion(g.a(), g.b()) : request.searchRegion;
    query.obstacles = request.obstacles;
    query.blocked = g.cost.endRects;
    auto behindSlot = [&query](int side, const QPointF& stub, const QRectF& rect) {
        const QRectF far = query.bounds.adjusted(-1.0, -1.0, 1.0, 1.0);
        const double bandLow = (side == SlotLeft || side == SlotRight ? rect.top() : rect.left()) - 4.5;
        const double bandHigh = (side == SlotLeft || side == SlotRight ? rect.bottom() : rect.right()) + 4.5;
        switch (side) {
        case SlotLeft: return QRectF(QPointF(stub.x() + 0.5, bandLow), QPointF(far.right(), bandHigh));
        case SlotRight: return QRectF(QPointF(far.left(), bandLow), QPointF(stub.x() - 0.5, bandHigh));
        case SlotTop: return QRectF(QPointF(bandLow, stub.y() + 0.5), QPointF(bandHigh, far.bottom()));
        case SlotBottom: return QRectF(QPointF(bandLow, far.top()), QPointF(bandHigh, stub.y() - 0.5));
        default: return QRectF();
        }
    };
    for (const QRectF& zone : {behindSlot(g.fromSide(), g.fromStub, g.a()), behindSlot(g.toSide(), g.toStub, g.b())}) {
        if (!zone.isEmpty())
            query.blocked.append(zone);
    }
    QList<QPointF> corners = searchGridRoute(query);
    if (corners.size() < 2)
        return {};
    // Lines of other routes it keeps off must not be run over again.
    if (taken.isEmpty() && sidestep.isEmpty())
        corners = straightenPath(corners, query);
    return assembleRoute(g.p(), g.fromStub, corners.mid(1, corners.size() - 2), g.toStub, g.q());
}

} // namespace

QList<QPointF> routeOffTakenLines(const EntityRouteRequest& request, const QList<QLineF>& taken, const QList<QLineF>& sidestep)
{
    const RunGeometry g = makeGeometry(request);
    const QList<QPointF> route = simplifyRoute(gridSearchRoute(g, request, taken, sidestep));
    if (route.size() < 2 || !passesEndChecks(g, route))
        return {};
    return route;
}

QPointF fromStubPoint(const EntityRouteRequest& r)
{
    return r.from + stubLength(r.fromSide, r.toSide, r.fromRect, r.toRect) * sideDirection(r.fromSide);
}

QPointF toStubPoint(const EntityRouteRequest& r)
{
    return r.to + stubLength(r.fromSide, r.toSide, r.fromRect, r.toRect) * sideDirection(r.toSide);
}

namespace {

// The cheapest candidate so far of one routing run.
class RouteChoice
{
public:
    explicit RouteChoice(const RunGeometry& g)
        : m_g(g)
        , m_nearlyDirect(2.0 * g.stub + pointDistance(g.p(), g.q()) + kNearlyDirectSlack)
    {
    }

    // Takes the candidate when it is right-angled, passes the end checks
    // and is cheaper than the best by more than kCheaperBy. With fitEnds,
    // ends off the slots are moved onto them. The straight line between
    // lined-up facing slots leaves both outward by construction; it is not
    // judged against the stub points, which lie inside the other entity
    // when the two touch. Returns true when the candidate became the best
    // and is clean and nearly direct, which ends the first pass.
    bool consider(const QList<QPointF>& candidate, bool fitEnds, bool straight = false)
    {
        QList<QPointF> route = simplifyRoute(candidate);
        if (route.size() < 2 || !isRouteAxisAligned(route))
            return false;
        if (fitEnds)
            fitEndsToSlots(route);
        if (!(straight ? isRouteAxisAligned(route) : passesEndChecks(m_g, route)))
            return false;
        const Priced priced = priceRoute(m_g.cost, route);
        if (!(priced.cost + kCheaperBy < m_cost))
            return false;
        m_cost = priced.cost;
        m_best = route;
        return fitEnds && priced.hits == 0 && priced.bends < kNearlyDirectBendsBelow
            && routeLength(route) <= m_nearlyDirect;
    }

    bool found() const { return m_best.size() >= 2; }
    double cost() const { return m_cost; }
    const QList<QPointF>& best() const { return m_best; }

private:
    void fitEndsToSlots(QList<QPointF>& route) const
    {
        if (pointDistance(route.constFirst(), m_g.p()) > kEndSlack)
            route.first() = m_g.p();
        if (pointDistance(route.constLast(), m_g.q()) > kEndSlack)
            route.last() = m_g.q();
    }

    const RunGeometry& m_g;
    const double m_nearlyDirect;
    QList<QPointF> m_best;
    double m_cost = kLargest;
};

// Whether the slots face each other and line up, so that the straight line
// between them is a route.
bool slotsFaceInLine(const RunGeometry& g)
{
    const QPointF& p = g.p();
    const QPointF& q = g.q();
    const int fs = g.fromSide();
    const int ts = g.toSide();
    const bool horizontalLine = ((fs == SlotRight && ts == SlotLeft && p.x() <= q.x())
                                 || (fs == SlotLeft && ts == SlotRight && q.x() <= p.x()))
        && std::abs(p.y() - q.y()) <= kEndSlack;
    const bool verticalLine = ((fs == SlotBottom && ts == SlotTop && p.y() <= q.y())
                               || (fs == SlotTop && ts == SlotBottom && q.y() <= p.y()))
        && std::abs(p.x() - q.x()) <= kEndSlack;
    return horizontalLine || verticalLine;
}

// The first pass: 1. the straight line between slots that face each other
// and line up; 2. and 3. the facing shortcut, then the lane search (which
// starts with the same shortcut, so it only adds something when there is
// none); 4. and 5. the two one-corner routes. True when one of them ends
// the run.
bool considerDirectRoutes(const RunGeometry& g, RouteChoice& choice)
{
    const QPointF& p = g.p();
    const QPointF& q = g.q();
    const QPointF& ps = g.fromStub;
    const QPointF& qs = g.toStub;
    if (slotsFaceInLine(g) && choice.consider({p, q}, true, true))
        return true;
    const QList<QPointF> facing = facingShortcut(g);
    if (choice.consider(facing, true))
        return true;
    if (facing.size() < 2 && choice.consider(laneSearch(g, facing), true))
        return true;
    if (choice.consider(assembleRoute(p, ps, {QPointF(qs.x(), ps.y())}, qs, q), true))
        return true;
    return choice.consider(assembleRoute(p, ps, {QPointF(ps.x(), qs.y())}, qs, q), true);
}

// The lines round both entities that the fallback family runs along, a
// stub out (at least kFrameMarginLeast).
struct PairFrame
{
    double top = 0.0;
    double bottom = 0.0;
    double left = 0.0;
    double right = 0.0;
};

PairFrame pairFrame(const RunGeometry& g)
{
    const double m = std::max(kFrameMarginLeast, g.stub);
    const QRectF& a = g.a();
    const QRectF& b = g.b();
    PairFrame f;
    f.top = std::min(a.top(), b.top()) - m;
    f.bottom = std::max(a.bottom(), b.bottom()) + m;
    f.left = std::min(a.left(), b.left()) - m;
    f.right = std::max(a.right(), b.right()) + m;
    return f;
}

// The wider fallback family: both corners, the runs over and under the
// frame, and the runs right and left of it (the far one first for two
// slots on one side).
void considerFrameRoutes(const RunGeometry& g, const PairFrame& f, RouteChoice& choice)
{
    const QPointF& ps = g.fromStub;
    const QPointF& qs = g.toStub;
    const bool rightFirst = g.fromSide() == g.toSide() && slotsPastCentre(g);
    const QList<QPointF> rightLane = {QPointF(f.right, ps.y()), QPointF(f.right, qs.y())};
    const QList<QPointF> leftLane = {QPointF(f.left, ps.y()), QPointF(f.left, qs.y())};
    const QList<QList<QPointF>> fallback = {
        {QPointF(qs.x(), ps.y())},
        {QPointF(ps.x(), qs.y())},
        {QPointF(ps.x(), f.top), QPointF(qs.x(), f.top)},
        {QPointF(ps.x(), f.bottom), QPointF(qs.x(), f.bottom)},
        rightFirst ? rightLane : leftLane,
        rightFirst ? leftLane : rightLane,
    };
    for (const QList<QPointF>& middle : fallback)
        choice.consider(assembleRoute(g.p(), ps, middle, qs, g.q()), false);
}

// The route of last resort, unchecked: over the top of both entities. From
// a bottom slot that route would run straight back up through its own
// entity, so then the route follows the ring around both entities instead.
QList<QPointF> lastResortRoute(const RunGeometry& g, const PairFrame& f)
{
    const QPointF& ps = g.fromStub;
    const QPointF& qs = g.toStub;
    const QList<QPointF> overTop = simplifyRoute({g.p(), ps, QPointF(ps.x(), f.top), QPointF(qs.x(), f.top), qs, g.q()});
    if (endsPointOutward(overTop, g.fromSide(), g.toSide()))
        return overTop;
    return ringRoute(g.p(), g.fromSide(), g.q(), g.toSide(), QRectF(QPointF(f.left, f.top), QPointF(f.right, f.bottom)));
}

} // namespace

QList<QPointF> routeTwoEntities(const EntityRouteRequest& request)
{
    const RunGeometry g = makeGeometry(request);
    RouteChoice choice(g);
    if (considerDirectRoutes(g, choice))
        return choice.best();

    // A clean route of at most three bends is final. Anything worse (a route
    // through an entity, or one of four bends) is still compared with the
    // wider fallback family, which may hold a clean one.
    if (choice.found() && choice.cost() < kCleanManyBends)
        return choice.best();
    const PairFrame frame = pairFrame(g);
    considerFrameRoutes(g, frame, choice);

    // Every fixed candidate runs through an entity: a search over the gaps
    // between the entities may still find a clean way.
    if (!choice.found() || choice.cost() > kCleanManyBends) {
        const QList<QPointF> searched = gridSearchRoute(g, request);
        if (!searched.isEmpty())
            choice.consider(searched, false);
    }
    if (choice.found())
        return choice.best();
    return lastResortRoute(g, frame);
}

QList<QPointF> fitRouteToEntities(const QList<QPointF>& route, const EntityRouteRequest& request)
{
    if (route.size() < 2)
        return {};
    const QList<QPointF> simplified = simplifyRoute(route);
    if (simplified.size() > 1 && pointDistance(simplified.constFirst(), request.from) <= 0.5
        && pointDistance(simplified.constLast(), request.to) <= 0.5 && isRouteAxisAligned(simplified))
        return simplified;
    const QList<QPointF> fresh = routeTwoEntities(request);
    if (isRouteAxisAligned(fresh))
        return fresh;
    const QPointF ps = fromStubPoint(request);
    const QPointF qs = toStubPoint(request);
    return simplifyRoute(assembleRoute(request.from, ps, {QPointF(qs.x(), ps.y())}, qs, request.to));
}

QRectF routeObstacleRegion(const QRectF& fromRect, const QRectF& toRect)
{
    constexpr double margin = 160.0;
    return fromRect.normalized().united(toRect.normalized()).adjusted(-margin, -margin, margin, margin);
}

QList<QPointF> quickStraightRoute(const QPointF& a, const QPointF& b, const QList<QRectF>& entityRects)
{
    const bool vertical = std::abs(a.x() - b.x()) < 0.5;
    const bool horizontal = !vertical && std::abs(a.y() - b.y()) < 0.5;
    if (!vertical && !horizontal)
        return {};
    const QRectF corridor = QRectF(a, b).normalized().adjusted(-2.0, -2.0, 2.0, 2.0);
    const double low = vertical ? std::min(a.y(), b.y()) : std::min(a.x(), b.x());
    const double high = vertical ? std::max(a.y(), b.y()) : std::max(a.x(), b.x());
    for (const QRectF& entity : entityRects) {
        if (!entity.intersects(corridor))
            continue;
        const QRectF r = entity.adjusted(-2.0, -2.0, 2.0, 2.0);
        const bool blocks = vertical
            ? (r.left() <= a.x() && a.x() <= r.right() && low <= r.bottom() && high >= r.top())
            : (r.top() <= a.y() && a.y() <= r.bottom() && low <= r.right() && high >= r.left());
        if (blocks)
            return {};
    }
    return {a, b};
}

QList<QPointF> laneSearchRoute(const QRectF& a, const QRectF& b, int fromSide, int toSide,
                               const ObstacleSet& obstacles, std::optional<QPointF> from,
                               std::optional<QPointF> to)
{
    const QPointF p = from ? *from : pointOnSide(a, fromSide, b.center());
    const QPointF q = to ? *to : pointOnSide(b, toSide, a.center());
    const RunGeometry g = makeGeometry(a, b, fromSide, toSide, obstacles, p, q);
    return laneSearch(g, facingShortcut(g));
}

double twoEntityRouteCost(const RouteCostContext& context, const QList<QPointF>& route)
{
    return priceRoute(context, route).cost;
}

double detourSidePenalty(const QList<QPointF>& route, int side, const QPointF& p,
                         const QPointF& q, const QRectF& a, const QRectF& b)
{
    if (route.isEmpty())
        return 0.0;
    const QRectF u = a.united(b);
    const bool alongX = side == SlotTop || side == SlotBottom;
    const double mid = alongX ? (p.x() + q.x()) / 2.0 : (p.y() + q.y()) / 2.0;
    const double centre = alongX ? u.center().x() : u.center().y();
    const bool wantPositive = mid >= centre;

    const bool verticallySeparated = b.top() - 4.0 >= a.bottom() || a.top() - 4.0 >= b.bottom();
    const bool horizontallyOverlapping = !(b.left() - 4.0 >= a.right() || a.left() - 4.0 >= b.right());
    if (alongX) {
        if (!(horizontallyOverlapping || verticallySeparated))
            return 0.0;
    } else if (side == SlotLeft || side == SlotRight) {
        if (horizontallyOverlapping && verticallySeparated)
            return 0.0;
    } else {
        return 0.0;
    }

    double low = alongX ? route.constFirst().x() : route.constFirst().y();
    double high = low;
    for (const QPointF& pt : route) {
        const double v = alongX ? pt.x() : pt.y();
        low = std::min(low, v);
        high = std::max(high, v);
    }
    const double before = alongX ? u.left() - low : u.top() - low;    // left or above
    const double beyond = alongX ? high - u.right() : high - u.bottom(); // right or below
    int bulge = 0;
    if (beyond > before + 2.0)
        bulge = 1;
    else if (before > beyond + 2.0)
        bulge = -1;
    if (bulge != 0 && (bulge > 0) != wantPositive)
        return 1600.0;
    return 0.0;
}

namespace {

double laneOffset(double gap)
{
    return std::max(12.0, std::min(36.0, gap / 2.0));
}

// The rectangle mirrored in the line y = x: its left and right edges become
// its top and bottom.
QRectF mirroredInDiagonal(const QRectF& r)
{
    return QRectF(r.y(), r.x(), r.height(), r.width());
}

// The lane above (outward -1) or below (+1) u. With acrossDiagonal the whole
// plane is mirrored in y = x first, which makes the same reckoning give the
// lanes left and right of u.
double laneBeside(const QRectF& rect, const ObstacleSet& obstacles, double outward, bool acrossDiagonal)
{
    const auto plane = [acrossDiagonal](const QRectF& r) { return acrossDiagonal ? mirroredInDiagonal(r) : r; };
    const QRectF u = plane(rect);
    const double edge = outward < 0 ? u.top() : u.bottom();
    // Only obstacles ending between 72 and 16 out can pull the lane nearer.
    const QRectF region =
        QRectF(QPointF(u.left() - 8.0, edge - outward), QPointF(u.right() + 8.0, edge + 72.0 * outward)).normalized();
    double offset = 36.0;
    obstacles.forEachIn(plane(region), [&](const QRectF& obstacle) {
        const QRectF o = plane(obstacle);
        if (o.right() >= u.left() - 8.0 && o.left() <= u.right() + 8.0) {
            const double gap = outward < 0 ? u.top() - o.bottom() : o.top() - u.bottom();
            if (gap > 16.0)
                offset = std::min(offset, laneOffset(gap));
        }
    });
    return edge + outward * offset;
}

} // namespace

double laneAbove(const QRectF& u, const ObstacleSet& obstacles)
{
    return laneBeside(u, obstacles, -1.0, false);
}

double laneBelow(const QRectF& u, const ObstacleSet& obstacles)
{
    return laneBeside(u, obstacles, 1.0, false);
}

double laneLeft(const QRectF& u, const ObstacleSet& obstacles)
{
    return laneBeside(u, obstacles, -1.0, true);
}

double laneRight(const QRectF& u, const ObstacleSet& obstacles)
{
    return laneBeside(u, obstacles, 1.0, true);
}
