#include "layout/routepreview.h"

#include "edges/entityrouter.h"
#include "edges/obstacleset.h"
#include "edges/routechecks.h"
#include "edges/routegeometry.h"
#include "edges/sidechoice.h"
#include "edges/slotside.h"
#include "layout/layoutquality.h"
#include "layout/slotspread.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// The selection margin between an entity's bounding rectangle and its box.
constexpr double BoxMargin = 3.0;

struct EdgeEnd
{
    int edge = -1;
    bool from = true;
    QRectF toward; // the other end's box
    int other = -1; // the other end's node
};

// The entity's box within its bounding rectangle.
QRectF boxOf(const QRectF& rect)
{
    return rect.adjusted(BoxMargin, BoxMargin, -BoxMargin, -BoxMargin);
}

// The edges the preview routes (both ends valid and distinct) and the side
// pair each gets.
struct SidedEdges
{
    std::vector<LayoutEdge> used;
    std::vector<SidePair> sides;
};

SidedEdges chooseSides(const QList<QRectF>& rects, const ObstacleSet& obstacles, const LayoutEdges& edges)
{
    const int n = static_cast<int>(rects.size());
    SidedEdges sided;
    for (const LayoutEdge& e : edges) {
        if (e.first < 0 || e.second < 0 || e.first >= n || e.second >= n || e.first == e.second)
            continue;
        sided.used.push_back(e);
        sided.sides.push_back(chooseBestSidePair(rects.at(e.first), rects.at(e.second), obstacles.excluding(e.first, e.second)));
    }
    return sided;
}

// The slot points of each routed edge's two ends.
struct SlotPoints
{
    std::vector<QPointF> from;
    std::vector<QPointF> to;
};

// The ends at each side of each node: index node x 4 + side.
std::vector<std::vector<EdgeEnd>> endsBySide(const QList<QRectF>& rects, const SidedEdges& sided)
{
    std::vector<std::vector<EdgeEnd>> bySide(static_cast<size_t>(rects.size()) * 4);
    for (size_t k = 0; k < sided.used.size(); ++k) {
        const LayoutEdge& e = sided.used[k];
        const int fromSide = std::clamp(sided.sides[k].fromSide, 0, 3);
        const int toSide = std::clamp(sided.sides[k].toSide, 0, 3);
        bySide[static_cast<size_t>(e.first) * 4 + static_cast<size_t>(fromSide)].push_back(
            {static_cast<int>(k), true, boxOf(rects.at(e.second)), e.second});
        bySide[static_cast<size_t>(e.second) * 4 + static_cast<size_t>(toSide)].push_back(
            {static_cast<int>(k), false, boxOf(rects.at(e.first)), e.first});
    }
    return bySide;
}

// The ends of one side ordered by where they lead, each slot spread as the
// layout spreads them, written to the ends' slot points.
void spreadSideSlots(const QRectF& box, int side, std::vector<EdgeEnd>& ends, SlotPoints& slotPoints)
{
    const bool alongY = side == SlotLeft || side == SlotRight;
    const double length = alongY ? box.height() : box.width();
    const double margin = slotSideMargin(length);
    const double lo = (alongY ? box.top() : box.left()) + margin;
    const double hi = (alongY ? box.bottom() : box.right()) - margin;
    std::vector<std::pair<double, size_t>> keyed;
    keyed.reserve(ends.size());
    for (size_t i = 0; i < ends.size(); ++i) {
        const bool repeated = std::count_if(ends.begin(), ends.end(), [&ends, i](const EdgeEnd& e) { return e.other == ends[i].other; }) > 1;
        keyed.emplace_back(std::clamp(wantedSlotPosition(box, side, ends[i].toward, repeated || ends.size() == 1), lo, std::max(lo, hi)), i);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&box, side, &ends](const auto& a, const auto& b) {
        return compareSideEnds(box, side, a.first, ends[a.second].toward, b.first, ends[b.second].toward) < 0;
    });
    std::vector<EdgeEnd> sorted;
    sorted.reserve(ends.size());
    QList<double> wanted;
    for (const auto& [at, i] : keyed) {
        sorted.push_back(ends[i]);
        wanted.append(at);
    }
    ends.swap(sorted);
    const QList<double> positions = spreadSlotPositions(wanted, lo, hi);
    for (size_t i = 0; i < ends.size(); ++i) {
        const QPointF at = pointOnSide(box, side, positions.at(static_cast<qsizetype>(i)));
        (ends[i].from ? slotPoints.from : slotPoints.to)[static_cast<size_t>(ends[i].edge)] = at;
    }
}

// Slots: per node and side the ends there, ordered by where they lead.
SlotPoints placeSlots(const QList<QRectF>& rects, const SidedEdges& sided)
{
    SlotPoints slotPoints;
    slotPoints.from.resize(sided.used.size());
    slotPoints.to.resize(sided.used.size());
    std::vector<std::vector<EdgeEnd>> bySide = endsBySide(rects, sided);
    for (int v = 0; v < static_cast<int>(rects.size()); ++v) {
        const QRectF box = boxOf(rects.at(v));
        for (int side = 0; side < 4; ++side) {
            std::vector<EdgeEnd>& ends = bySide[static_cast<size_t>(v) * 4 + static_cast<size_t>(side)];
            if (!ends.empty())
                spreadSideSlots(box, side, ends, slotPoints);
        }
    }
    return slotPoints;
}

// The routes, and what they cross.
int routeAndCount(const QList<QRectF>& rects, const ObstacleSet& obstacles, const SidedEdges& sided,
                  const SlotPoints& slotPoints, int throughWeight)
{
    int cost = 0;
    QList<LaidOutEdge> routes;
    routes.reserve(static_cast<qsizetype>(sided.used.size()));
    for (size_t k = 0; k < sided.used.size(); ++k) {
        const LayoutEdge& e = sided.used[k];
        EntityRouteRequest request;
        request.from = slotPoints.from[k];
        request.to = slotPoints.to[k];
        request.fromSide = sided.sides[k].fromSide;
        request.toSide = sided.sides[k].toSide;
        request.fromRect = rects.at(e.first);
        request.toRect = rects.at(e.second);
        request.obstacles = obstacles.excluding(e.first, e.second);
        const QList<QPointF> route = routeTwoEntities(request);
        if (routeMeetsObstacle(route, request.obstacles))
            cost += throughWeight;
        routes.append({route, e.first, e.second});
    }
    cost += countRouteCrossings(routes);
    return cost;
}

} // namespace

int previewRouteCrossings(const LayoutNodes& nodes, const LayoutEdges& edges, int throughWeight)
{
    QList<QRectF> rects;
    rects.reserve(nodes.size());
    for (const LayoutNode& node : nodes)
        rects.append(node.rect());
    const ObstacleSet obstacles = ObstacleSet::fromEntityRects(rects);
    const SidedEdges sided = chooseSides(rects, obstacles, edges);
    const SlotPoints slotPoints = placeSlots(rects, sided);
    return routeAndCount(rects, obstacles, sided, slotPoints, throughWeight);
}
