#include "layout/linereroute.h"

#include "edges/entityrouter.h"
#include "edges/routegeometry.h"
#include "layout/parallelmap.h"
#include "layout/routeseparation.h"

#include <QLineF>
#include <QPolygonF>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The search region reaches this far beyond the entities and the route;
// the segments of other routes this near it count as taken.
constexpr double RegionMargin = 120.0;
constexpr double TakenSlack = 10.0;
// A new way is at most this many times as long as the old one, plus
// LongerBy.
constexpr double LongerAtMost = 1.5;
constexpr double LongerBy = 240.0;
// The ways one edge tries, each with room beside the lines the one before
// still lay on.
constexpr int WaysTried = 3;

// Whether a segment lies on one line with one of a route's segments.
bool onOneLine(const RoutePoints& route, const QLineF& segment)
{
    for (qsizetype i = 0; i + 1 < route.size(); ++i) {
        if (segmentsOnOneLine(route.at(i), route.at(i + 1), segment.p1(), segment.p2()))
            return true;
    }
    return false;
}

// Whether a route lies on one line with one of the given segments.
bool onAnyLine(const RoutePoints& route, const QList<QLineF>& segments)
{
    return std::any_of(segments.cbegin(), segments.cend(), [&](const QLineF& s) { return onOneLine(route, s); });
}

// How often a route crosses the given segments.
int crossings(const RoutePoints& route, const QList<QLineF>& segments)
{
    int count = 0;
    for (qsizetype i = 0; i + 1 < route.size(); ++i) {
        const QLineF line(route.at(i), route.at(i + 1));
        const QRectF box = QRectF(line.p1(), line.p2()).normalized();
        for (const QLineF& other : segments) {
            if (std::max(other.x1(), other.x2()) < box.left() || std::min(other.x1(), other.x2()) > box.right()
                || std::max(other.y1(), other.y2()) < box.top() || std::min(other.y1(), other.y2()) > box.bottom())
                continue;
            if (line.intersects(other, nullptr) == QLineF::BoundedIntersection)
                ++count;
        }
    }
    return count;
}

QList<QLineF> segmentsOf(const RoutePoints& route)
{
    QList<QLineF> segments;
    for (qsizetype i = 0; i + 1 < route.size(); ++i)
        segments.append(QLineF(route.at(i), route.at(i + 1)));
    return segments;
}

// What a search for edge k needs, from the routes as they stand: the
// region, its entities and the segments of the other routes in it.
struct Search
{
    EdgeItem::RouteInputs inputs;
    EntityRouteRequest request;
    QList<QLineF> taken;
    QList<QLineF> sidestep;
};

Search prepareSearch(const EdgeItem::EntityRectLookup& lookup, const EdgeItem::RouteInputs& edge,
                     const QList<RoutePoints>& now, qsizetype k)
{
    Search search;
    search.inputs = edge;
    const EdgeItem::RouteInputs& inputs = search.inputs;
    EntityRouteRequest& request = search.request;
    request = EdgeItem::routeRequest(inputs);
    request.searchRegion = routeObstacleRegion(inputs.fromRect, inputs.toRect)
                               .united(QPolygonF(now.at(k)).boundingRect())
                               .adjusted(-RegionMargin, -RegionMargin, RegionMargin, RegionMargin);
    request.obstacles = ObstacleSet::fromEntityRects(lookup(request.searchRegion, inputs.fromKey, inputs.toKey));
    for (qsizetype r = 0; r < now.size(); ++r) {
        if (r == k)
            continue;
        const RoutePoints& other = now.at(r);
        for (qsizetype i = 0; i + 1 < other.size(); ++i) {
            const QLineF segment(other.at(i), other.at(i + 1));
            if (QRectF(segment.p1(), segment.p2())
                    .normalized()
                    .adjusted(-TakenSlack, -TakenSlack, TakenSlack, TakenSlack)
                    .intersects(request.searchRegion))
                search.taken.append(segment);
        }
    }
    return search;
}

// The next way for the edge, with room beside the lines that the route
// given lies on: empty when there is none, or nothing new to make room
// beside.
RoutePoints searchAgain(const EdgeItem::EntityRectLookup& lookup, Search& search, const RoutePoints& route)
{
    const qsizetype had = search.sidestep.size();
    for (const QLineF& segment : std::as_const(search.taken)) {
        if (onOneLine(route, segment) && !search.sidestep.contains(segment))
            search.sidestep.append(segment);
    }
    if (search.sidestep.size() == had)
        return {};
    const RoutePoints found = routeOffTakenLines(search.request, search.taken, search.sidestep);
    if (found.size() < 2)
        return {};
    return EdgeItem::fitRoute(search.inputs, found, lookup);
}

// A new way for an edge, and the crossings it adds against the routes as
// they were.
struct Found
{
    RoutePoints route;
    int addedCrossings = 0;
};

// The ways for edge k against the routes as they are now, until one lies
// on no line with another route; none when a way is too long or runs
// through an entity first.
Found findNewWay(const EdgeItem::EntityRectLookup& lookup, const EdgeItem::RouteInputs& inputs,
                 const QList<RoutePoints>& routes, qsizetype k)
{
    Search search = prepareSearch(lookup, inputs, routes, k);
    const RoutePoints& before = routes.at(k);
    const double longest = LongerAtMost * routeLength(before) + LongerBy;
    RoutePoints candidate = before;
    for (int attempt = 0; attempt < WaysTried; ++attempt) {
        candidate = searchAgain(lookup, search, candidate);
        if (candidate.size() < 2 || routeLength(candidate) > longest
            || EdgeItem::crossesEntities(search.inputs, candidate, lookup))
            break;
        if (!onAnyLine(candidate, search.taken))
            return Found{candidate, crossings(candidate, search.taken) - crossings(before, search.taken)};
    }
    return Found{};
}

// Keeps the new ways in order. Crossings a new route adds are allowed
// against those that other new routes saved, so that the drawing crosses
// no more than before: the routes that add none go first.
void keepNewWays(const QList<EdgeItem*>& edges, QList<RoutePoints>& routes, const QList<qsizetype>& candidates,
                 const std::vector<Found>& found)
{
    int saved = 0;
    QList<QLineF> changedBefore;
    QList<QLineF> changedAfter;
    std::vector<char> kept(static_cast<size_t>(candidates.size()), 0);
    for (qsizetype pass = 0; pass < 2 * candidates.size(); ++pass) {
        const qsizetype i = pass % candidates.size();
        const qsizetype k = candidates.at(i);
        const Found& way = found[static_cast<size_t>(i)];
        const RoutePoints& candidate = way.route;
        if (kept[static_cast<size_t>(i)] || candidate.size() < 2 || (pass < candidates.size()) != (way.addedCrossings <= 0)
            || onAnyLine(candidate, changedAfter))
            continue;
        // The routes changed since count as they are now.
        const int added = way.addedCrossings + crossings(candidate, changedAfter) - crossings(candidate, changedBefore)
            - crossings(routes.at(k), changedAfter) + crossings(routes.at(k), changedBefore);
        if (added > saved)
            continue;
        saved -= added;
        kept[static_cast<size_t>(i)] = 1;
        changedBefore += segmentsOf(routes.at(k));
        changedAfter += segmentsOf(candidate);
        routes[k] = candidate;
        edges.at(k)->setRoutePoints(candidate);
    }
}

} // namespace

void rerouteOffTakenLines(const QList<EdgeItem*>& edges, const EdgeItem::EntityRectLookup& lookup)
{
    QList<RoutePoints> routes;
    routes.reserve(edges.size());
    for (const EdgeItem* edge : edges)
        routes.append(edge->route());
    const std::vector<char> stuck = routesOnOneLine(routes);
    // What the searches read of the items is read here, on the GUI thread:
    // the helpers below see these values only.
    QList<qsizetype> candidates;
    std::vector<EdgeItem::RouteInputs> inputs;
    for (qsizetype k = 0; k < edges.size(); ++k) {
        if (!stuck[static_cast<size_t>(k)] || edges.at(k)->isSelfRelation() || routes.at(k).size() < 2)
            continue;
        EdgeItem::RouteInputs in = edges.at(k)->routeInputs();
        if (!in.valid)
            continue;
        candidates.append(k);
        inputs.push_back(std::move(in));
    }
    // The searches of each edge run on several threads against the routes
    // as they are now; whether a way found is kept is decided after, in
    // order, against the routes that were given new ways before it.
    const std::vector<Found> found = mapInParallel<Found>(candidates.size(), [&](qsizetype i) {
        return findNewWay(lookup, inputs[static_cast<size_t>(i)], routes, candidates.at(i));
    }, 2, 1);
    keepNewWays(edges, routes, candidates, found);
}
