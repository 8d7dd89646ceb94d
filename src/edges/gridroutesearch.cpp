#include "edges/gridroutesearch.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <queue>
#include <utility>
#include <vector>

namespace {

constexpr double kUnreached = std::numeric_limits<double>::infinity();

// Grid coordinates along one axis: sorted, without near repeats, within
// [low, high].
std::vector<double> gridLines(std::vector<double> values, double low, double high)
{
    std::vector<double> lines;
    lines.reserve(values.size());
    std::sort(values.begin(), values.end());
    for (double v : values) {
        if (!std::isfinite(v) || v < low || v > high)
            continue;
        if (!lines.empty() && v - lines.back() < 1e-6)
            continue;
        lines.push_back(v);
    }
    return lines;
}

int lineIndex(const std::vector<double>& lines, double v)
{
    const auto it = std::lower_bound(lines.begin(), lines.end(), v - 1e-6);
    if (it == lines.end() || std::abs(*it - v) > 1e-6)
        return -1;
    return static_cast<int>(it - lines.begin());
}

struct Extent
{
    double left, top, right, bottom;
};

Extent extentOf(const QRectF& r)
{
    const QRectF n = r.normalized();
    return {n.left(), n.top(), n.right(), n.bottom()};
}

bool pointInside(const Extent& e, double x, double y)
{
    return e.left < x && x < e.right && e.top < y && y < e.bottom;
}

// The last answers, one per slot of a small table chosen by the question's
// hash; a question is answered from it only when it is exactly the same.
struct SearchMemo
{
    static constexpr size_t Slots = 512;
    std::vector<std::vector<double>> keys = std::vector<std::vector<double>>(Slots);
    std::vector<QList<QPointF>> routes = std::vector<QList<QPointF>>(Slots);
};

SearchMemo& searchMemo()
{
    thread_local SearchMemo memo;
    return memo;
}

size_t memoSlot(const std::vector<double>& key)
{
    size_t h = 1469598103934665603ull;
    for (double v : key) {
        h ^= std::hash<double>()(v);
        h *= 1099511628211ull;
    }
    return h % SearchMemo::Slots;
}

QList<QPointF> searchOnGrid(const GridRouteQuery& query, const QRectF& bounds, const std::vector<Extent>& rects);

} // namespace

QList<QPointF> searchGridRoute(const GridRouteQuery& query)
{
    const QRectF bounds = query.bounds.normalized();
    if (!bounds.contains(query.from) || !bounds.contains(query.to))
        return {};

    // Everything that can stand in the way, gathered once.
    std::vector<Extent> rects;
    query.obstacles.forEachIn(bounds, [&rects](const QRectF& r) { rects.push_back(extentOf(r)); });
    for (const QRectF& r : query.blocked) {
        if (r.normalized().intersects(bounds))
            rects.push_back(extentOf(r));
    }
    for (const Extent& e : rects) {
        if (pointInside(e, query.from.x(), query.from.y()) || pointInside(e, query.to.x(), query.to.y()))
            return {};
    }

    // An edge is routed several times over while nothing around it moves
    // (automatic layout routes, checks and routes every edge again): the
    // answer to the very same question is remembered.
    std::vector<double> key{query.from.x(), query.from.y(), query.to.x(), query.to.y(),
                            query.fromHorizontal ? 1.0 : 0.0, query.toHorizontal ? 1.0 : 0.0,
                            bounds.left(), bounds.top(), bounds.right(), bounds.bottom(),
                            query.clearance, query.bendCost, static_cast<double>(query.maxGridPoints)};
    key.reserve(key.size() + 4 * rects.size());
    for (const Extent& e : rects)
        key.insert(key.end(), {e.left, e.top, e.right, e.bottom});
    SearchMemo& memo = searchMemo();
    const size_t slot = memoSlot(key);
    if (memo.keys[slot] == key)
        return memo.routes[slot];
    QList<QPointF> route = searchOnGrid(query, bounds, rects);
    memo.keys[slot] = std::move(key);
    memo.routes[slot] = route;
    return route;
}

namespace {

QList<QPointF> searchOnGrid(const GridRouteQuery& query, const QRectF& bounds, const std::vector<Extent>& rects)
{

    std::vector<double> xValues{query.from.x(), query.to.x(), bounds.left(), bounds.right()};
    std::vector<double> yValues{query.from.y(), query.to.y(), bounds.top(), bounds.bottom()};
    const double c = std::max(query.clearance, 3.0);
    for (const Extent& e : rects) {
        xValues.insert(xValues.end(), {e.left - c, e.left - 3.0, e.right + 3.0, e.right + c});
        yValues.insert(yValues.end(), {e.top - c, e.top - 3.0, e.bottom + 3.0, e.bottom + c});
    }
    const std::vector<double> xs = gridLines(std::move(xValues), bounds.left(), bounds.right());
    const std::vector<double> ys = gridLines(std::move(yValues), bounds.top(), bounds.bottom());
    const int nx = static_cast<int>(xs.size());
    const int ny = static_cast<int>(ys.size());
    if (static_cast<double>(nx) * ny > query.maxGridPoints)
        return {};
    const int fromX = lineIndex(xs, query.from.x()), fromY = lineIndex(ys, query.from.y());
    const int toX = lineIndex(xs, query.to.x()), toY = lineIndex(ys, query.to.y());
    if (fromX < 0 || fromY < 0 || toX < 0 || toY < 0)
        return {};

    // Which grid points and which steps between neighbouring points are
    // free, marked rectangle by rectangle over the lines each one spans.
    const size_t nodes = static_cast<size_t>(nx) * static_cast<size_t>(ny);
    auto nodeAt = [nx](int ix, int iy) { return static_cast<size_t>(iy) * static_cast<size_t>(nx) + static_cast<size_t>(ix); };
    std::vector<char> nodeBlocked(nodes, 0);
    // Steps to the right neighbour (2 x node) and to the lower one (+ 1).
    std::vector<char> stepBlocked(2 * nodes, 0);
    // The lines strictly inside (low, high), as an index range [first, last).
    auto inside = [](const std::vector<double>& lines, double low, double high) {
        const int first = static_cast<int>(std::upper_bound(lines.begin(), lines.end(), low) - lines.begin());
        const int last = static_cast<int>(std::lower_bound(lines.begin(), lines.end(), high) - lines.begin());
        return std::make_pair(first, last);
    };
    for (const Extent& e : rects) {
        const auto [x0, x1] = inside(xs, e.left, e.right);
        const auto [y0, y1] = inside(ys, e.top, e.bottom);
        // A step along a line inside the rectangle's band is blocked when
        // its span overlaps the rectangle's: from the last line at or
        // before the left edge to the first at or after the right one.
        const int sx0 = std::max(x0 - 1, 0), sx1 = std::min(x1, nx - 1);
        const int sy0 = std::max(y0 - 1, 0), sy1 = std::min(y1, ny - 1);
        for (int iy = y0; iy < y1; ++iy) {
            for (int ix = x0; ix < x1; ++ix)
                nodeBlocked[nodeAt(ix, iy)] = 1;
            for (int ix = sx0; ix < sx1; ++ix)
                stepBlocked[2 * nodeAt(ix, iy)] = 1;
        }
        for (int ix = x0; ix < x1; ++ix) {
            for (int iy = sy0; iy < sy1; ++iy)
                stepBlocked[2 * nodeAt(ix, iy) + 1] = 1;
        }
    }
    auto isNodeFree = [&](int ix, int iy) { return nodeBlocked[nodeAt(ix, iy)] == 0; };
    auto isStepFree = [&](int ix, int iy, bool horizontal) {
        return stepBlocked[2 * nodeAt(ix, iy) + (horizontal ? 0 : 1)] == 0;
    };

    // States: a node and the orientation it was reached along (0 along x,
    // 1 along y), so that bends can be charged.
    const size_t states = 2 * nodes;
    std::vector<double> cost(states, kUnreached);
    std::vector<int> parent(states, -1);
    using Entry = std::pair<double, int>; // (estimate, state)
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    const double goalX = query.to.x(), goalY = query.to.y();
    auto estimate = [&](int ix, int iy) {
        return std::abs(xs[static_cast<size_t>(ix)] - goalX) + std::abs(ys[static_cast<size_t>(iy)] - goalY);
    };
    const int startState = static_cast<int>(2 * nodeAt(fromX, fromY)) + (query.fromHorizontal ? 0 : 1);
    cost[static_cast<size_t>(startState)] = 0.0;
    open.push({estimate(fromX, fromY), startState});
    const size_t goalNode = nodeAt(toX, toY);
    const int goalOrientation = query.toHorizontal ? 0 : 1;
    double bestTotal = kUnreached;
    int bestState = -1;

    while (!open.empty()) {
        const auto [f, state] = open.top();
        open.pop();
        if (f >= bestTotal)
            break;
        const size_t node = static_cast<size_t>(state) / 2;
        const int orientation = state % 2;
        const double g = cost[static_cast<size_t>(state)];
        if (f > g + estimate(static_cast<int>(node % static_cast<size_t>(nx)), static_cast<int>(node / static_cast<size_t>(nx))) + 1e-9)
            continue; // a stale entry
        if (node == goalNode) {
            const double total = g + (orientation == goalOrientation ? 0.0 : query.bendCost);
            if (total < bestTotal) {
                bestTotal = total;
                bestState = state;
            }
            continue;
        }
        const int ix = static_cast<int>(node % static_cast<size_t>(nx));
        const int iy = static_cast<int>(node / static_cast<size_t>(nx));
        struct Move
        {
            int dx, dy;
        };
        for (const Move m : {Move{1, 0}, Move{-1, 0}, Move{0, 1}, Move{0, -1}}) {
            const int jx = ix + m.dx, jy = iy + m.dy;
            if (jx < 0 || jy < 0 || jx >= nx || jy >= ny)
                continue;
            const bool horizontal = m.dy == 0;
            const bool stepOk = horizontal ? isStepFree(std::min(ix, jx), iy, true) : isStepFree(ix, std::min(iy, jy), false);
            if (!stepOk || !isNodeFree(jx, jy))
                continue;
            const int moveOrientation = horizontal ? 0 : 1;
            const double length = horizontal ? std::abs(xs[static_cast<size_t>(jx)] - xs[static_cast<size_t>(ix)])
                                             : std::abs(ys[static_cast<size_t>(jy)] - ys[static_cast<size_t>(iy)]);
            const double next = g + length + (moveOrientation == orientation ? 0.0 : query.bendCost);
            const int nextState = static_cast<int>(2 * nodeAt(jx, jy)) + moveOrientation;
            if (next < cost[static_cast<size_t>(nextState)]) {
                cost[static_cast<size_t>(nextState)] = next;
                parent[static_cast<size_t>(nextState)] = state;
                open.push({next + estimate(jx, jy), nextState});
            }
        }
    }
    if (bestState < 0)
        return {};

    QList<QPointF> path;
    for (int s = bestState; s >= 0; s = parent[static_cast<size_t>(s)]) {
        const size_t node = static_cast<size_t>(s) / 2;
        path.append(QPointF(xs[node % static_cast<size_t>(nx)], ys[node / static_cast<size_t>(nx)]));
    }
    std::reverse(path.begin(), path.end());
    path.first() = query.from;
    path.last() = query.to;
    // Only the corners stay.
    QList<QPointF> corners;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (i > 0 && i + 1 < path.size()) {
            const QPointF& a = corners.constLast();
            const QPointF& b = path.at(i + 1);
            if ((a.x() == path.at(i).x() && b.x() == a.x()) || (a.y() == path.at(i).y() && b.y() == a.y()))
                continue;
        }
        if (corners.isEmpty() || corners.constLast() != path.at(i))
            corners.append(path.at(i));
    }
    return corners;
}

} // namespace
