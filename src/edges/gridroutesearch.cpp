#include "edges/gridroutesearch.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <queue>
#include <unordered_map>
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
    // The tight lines keep a route clear of the entities' drawn borders.
    constexpr double tight = 6.0;
    const double c = std::max(query.clearance, tight);
    for (const Extent& e : rects) {
        xValues.insert(xValues.end(), {e.left - c, e.left - tight, e.right + tight, e.right + c});
        yValues.insert(yValues.end(), {e.top - c, e.top - tight, e.bottom + tight, e.bottom + c});
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

    // Per grid line, the open spans of the rectangles it runs through,
    // merged where they overlap and sorted: a grid point or a step along
    // the line is free when it meets none of them. Only the lines a
    // rectangle spans are touched, and points are judged when reached.
    using Spans = std::vector<std::pair<double, double>>;
    std::vector<Spans> rowSpans(static_cast<size_t>(ny)); // along y-lines (x spans)
    std::vector<Spans> columnSpans(static_cast<size_t>(nx)); // along x-lines (y spans)
    // The lines strictly inside (low, high), as an index range [first, last).
    auto inside = [](const std::vector<double>& lines, double low, double high) {
        const int first = static_cast<int>(std::upper_bound(lines.begin(), lines.end(), low) - lines.begin());
        const int last = static_cast<int>(std::lower_bound(lines.begin(), lines.end(), high) - lines.begin());
        return std::make_pair(first, last);
    };
    for (const Extent& e : rects) {
        const auto [x0, x1] = inside(xs, e.left, e.right);
        const auto [y0, y1] = inside(ys, e.top, e.bottom);
        for (int iy = y0; iy < y1; ++iy)
            rowSpans[static_cast<size_t>(iy)].emplace_back(e.left, e.right);
        for (int ix = x0; ix < x1; ++ix)
            columnSpans[static_cast<size_t>(ix)].emplace_back(e.top, e.bottom);
    }
    auto merge = [](Spans& spans) {
        if (spans.size() < 2)
            return;
        std::sort(spans.begin(), spans.end());
        Spans merged{spans.front()};
        for (size_t i = 1; i < spans.size(); ++i) {
            // Open spans that only touch leave the touching point free.
            if (spans[i].first < merged.back().second)
                merged.back().second = std::max(merged.back().second, spans[i].second);
            else
                merged.push_back(spans[i]);
        }
        spans.swap(merged);
    };
    for (Spans& spans : rowSpans)
        merge(spans);
    for (Spans& spans : columnSpans)
        merge(spans);
    // Whether the closed stretch [low, high] of a line meets an open span.
    auto blocked = [](const Spans& spans, double low, double high) {
        const auto it = std::upper_bound(spans.begin(), spans.end(), low,
                                         [](double v, const std::pair<double, double>& span) { return v < span.second; });
        return it != spans.end() && it->first < high && (low < high || it->first < low);
    };
    auto isNodeFree = [&](int ix, int iy) {
        const double x = xs[static_cast<size_t>(ix)];
        return !blocked(rowSpans[static_cast<size_t>(iy)], x, x);
    };
    // The step from (ix, iy) one line on along x (horizontal) or y.
    auto isStepFree = [&](int ix, int iy, bool horizontal) {
        if (horizontal)
            return !blocked(rowSpans[static_cast<size_t>(iy)], xs[static_cast<size_t>(ix)], xs[static_cast<size_t>(ix) + 1]);
        return !blocked(columnSpans[static_cast<size_t>(ix)], ys[static_cast<size_t>(iy)], ys[static_cast<size_t>(iy) + 1]);
    };
    auto nodeAt = [nx](int ix, int iy) { return static_cast<size_t>(iy) * static_cast<size_t>(nx) + static_cast<size_t>(ix); };

    // States: a node and the orientation it was reached along (0 along x,
    // 1 along y), so that bends can be charged. Only the states reached are
    // stored.
    struct Visit
    {
        double cost = kUnreached;
        int parent = -1;
    };
    std::unordered_map<int, Visit> visits;
    visits.reserve(4096);
    using Entry = std::pair<double, int>; // (estimate, state)
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    const double goalX = query.to.x(), goalY = query.to.y();
    const int goalOrientation = query.toHorizontal ? 0 : 1;
    // What is left at the least, the bends it takes included, weighted so
    // that the search heads for the goal rather than widening evenly: the
    // route found costs at most twice the cheapest, and far fewer points
    // are visited.
    auto estimate = [&](int ix, int iy, int orientation) {
        const double dx = std::abs(xs[static_cast<size_t>(ix)] - goalX);
        const double dy = std::abs(ys[static_cast<size_t>(iy)] - goalY);
        int bends = orientation == goalOrientation ? 0 : 1;
        if (orientation == goalOrientation && (orientation == 0 ? dy > 0.0 : dx > 0.0))
            bends = 2;
        return 2.0 * (dx + dy + bends * query.bendCost);
    };
    const int startState = static_cast<int>(2 * nodeAt(fromX, fromY)) + (query.fromHorizontal ? 0 : 1);
    visits[startState].cost = 0.0;
    open.push({estimate(fromX, fromY, query.fromHorizontal ? 0 : 1), startState});
    const size_t goalNode = nodeAt(toX, toY);
    double bestTotal = kUnreached;
    int bestState = -1;

    while (!open.empty()) {
        const auto [f, state] = open.top();
        open.pop();
        if (f >= bestTotal)
            break;
        const size_t node = static_cast<size_t>(state) / 2;
        const int orientation = state % 2;
        const double g = visits[state].cost;
        if (f > g + estimate(static_cast<int>(node % static_cast<size_t>(nx)), static_cast<int>(node / static_cast<size_t>(nx)), orientation) + 1e-9)
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
            Visit& visit = visits[nextState];
            if (next < visit.cost) {
                visit.cost = next;
                visit.parent = state;
                open.push({next + estimate(jx, jy, moveOrientation), nextState});
            }
        }
    }
    if (bestState < 0)
        return {};

    QList<QPointF> path;
    for (int s = bestState; s >= 0; s = visits[s].parent) {
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
