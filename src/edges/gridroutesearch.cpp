#include "edges/gridroutesearch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
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
    key.reserve(key.size() + 4 * rects.size() + 4 * query.avoid.size() + 1);
    for (const Extent& e : rects)
        key.insert(key.end(), {e.left, e.top, e.right, e.bottom});
    if (!query.avoid.isEmpty()) {
        key.insert(key.end(), {query.avoidClearance, query.avoidCharge, query.avoidFactor});
        for (const QLineF& line : query.avoid)
            key.insert(key.end(), {line.x1(), line.y1(), line.x2(), line.y2()});
        key.push_back(-1.0);
        for (const QLineF& line : query.sidestep)
            key.insert(key.end(), {line.x1(), line.y1(), line.x2(), line.y2()});
    }
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

// What one search works in, kept from one search to the next so that
// neither a search nor a visit allocates once the arrays have grown: the
// costs and parents of the states (flat, indexed by state), a stamp per
// state telling whether it belongs to the current search, the open list as
// a heap, and the open spans of the grid lines in one flat list.
struct SearchWorkspace
{
    // One record per state, so that a visit touches one place in memory.
    struct StateRecord
    {
        double cost;
        int parent;
        unsigned stamp; // the search that wrote it
    };
    std::vector<StateRecord> states;
    unsigned generation = 0;
    struct Entry
    {
        double f;   // cost so far plus the estimate
        int state;
    };
    std::vector<Entry> open;
    std::vector<std::pair<double, double>> spans;  // per line, sorted and merged
    std::vector<int> spanStart;                    // line i: [spanStart[i], spanStart[i + 1])
    std::vector<std::pair<double, double>> placed;  // spans bucketed by line, unsorted
    std::vector<int> lineCount;                    // per line, then its fill position
    std::vector<std::array<int, 4>> ranges;        // per rectangle: the lines inside it
    std::vector<std::pair<double, double>> takenSpans; // per line, the stretches along other routes
    std::vector<int> takenStart;                       // line i: [takenStart[i], takenStart[i + 1])
    std::vector<std::pair<int, std::pair<double, double>>> takenPlaced;
    std::vector<unsigned> nodeStamp;               // the pocket walks' marks
    unsigned nodeGeneration = 0;
    std::vector<int> queue;

    // Makes room for count states and starts a new search over them.
    void begin(size_t count)
    {
        if (states.size() < count) {
            states.assign(count, StateRecord{0.0, -1, 0u});
            generation = 0;
        }
        if (++generation == 0) {
            for (StateRecord& record : states)
                record.stamp = 0u;
            generation = 1;
        }
        open.clear();
    }
    // Starts a pocket walk over count nodes.
    void beginWalk(size_t count)
    {
        if (nodeStamp.size() < count) {
            nodeStamp.assign(count, 0u);
            nodeGeneration = 0;
        }
        if (++nodeGeneration == 0) {
            std::fill(nodeStamp.begin(), nodeStamp.end(), 0u);
            nodeGeneration = 1;
        }
        queue.clear();
    }
    double costOf(int state) const
    {
        const StateRecord& record = states[static_cast<size_t>(state)];
        return record.stamp == generation ? record.cost : kUnreached;
    }
    void set(int state, double c, int from) { states[static_cast<size_t>(state)] = {c, from, generation}; }
};

SearchWorkspace& searchWorkspace()
{
    thread_local SearchWorkspace workspace;
    return workspace;
}

// The open spans of the rectangles along every grid line in one flat list:
// lines 0 .. ny-1 are the y-lines (x spans), lines ny .. ny+nx-1 the x-lines
// (y spans). Spans of a line are sorted and merged where they overlap; open
// spans that only touch leave the touching point free.
void buildSpans(SearchWorkspace& w, const std::vector<double>& xs, const std::vector<double>& ys,
                const std::vector<Extent>& rects)
{
    const int nx = static_cast<int>(xs.size());
    const int ny = static_cast<int>(ys.size());
    // The lines strictly inside (low, high), as an index range [first, last).
    auto inside = [](const std::vector<double>& lines, double low, double high) {
        const int first = static_cast<int>(std::upper_bound(lines.begin(), lines.end(), low) - lines.begin());
        const int last = static_cast<int>(std::lower_bound(lines.begin(), lines.end(), high) - lines.begin());
        return std::make_pair(first, last);
    };
    // Bucketed by line (a count, then a placement): no sort over all the
    // spans, only over the few of each line.
    const int lines = nx + ny;
    w.lineCount.assign(static_cast<size_t>(lines) + 1, 0);
    w.ranges.clear();
    for (const Extent& e : rects) {
        const auto [x0, x1] = inside(xs, e.left, e.right);
        const auto [y0, y1] = inside(ys, e.top, e.bottom);
        w.ranges.push_back({x0, x1, y0, y1});
        for (int iy = y0; iy < y1; ++iy)
            ++w.lineCount[static_cast<size_t>(iy)];
        for (int ix = x0; ix < x1; ++ix)
            ++w.lineCount[static_cast<size_t>(ny + ix)];
    }
    w.spanStart.assign(static_cast<size_t>(lines) + 1, 0);
    int total = 0;
    for (int line = 0; line < lines; ++line) {
        w.spanStart[static_cast<size_t>(line)] = total;
        total += w.lineCount[static_cast<size_t>(line)];
    }
    w.spanStart[static_cast<size_t>(lines)] = total;
    w.placed.resize(static_cast<size_t>(total));
    std::copy(w.spanStart.begin(), w.spanStart.end(), w.lineCount.begin());
    for (size_t k = 0; k < rects.size(); ++k) {
        const Extent& e = rects[k];
        const auto& [x0, x1, y0, y1] = w.ranges[k];
        for (int iy = y0; iy < y1; ++iy)
            w.placed[static_cast<size_t>(w.lineCount[static_cast<size_t>(iy)]++)] = {e.left, e.right};
        for (int ix = x0; ix < x1; ++ix)
            w.placed[static_cast<size_t>(w.lineCount[static_cast<size_t>(ny + ix)]++)] = {e.top, e.bottom};
    }
    // Each line's spans sorted by their start and merged where they overlap.
    w.spans.clear();
    for (int line = 0; line < lines; ++line) {
        auto* begin = w.placed.data() + w.spanStart[static_cast<size_t>(line)];
        auto* end = w.placed.data() + w.spanStart[static_cast<size_t>(line) + 1];
        std::sort(begin, end);
        w.spanStart[static_cast<size_t>(line)] = static_cast<int>(w.spans.size());
        const size_t first = w.spans.size();
        for (auto* span = begin; span != end; ++span) {
            if (w.spans.size() > first && span->first < w.spans.back().second)
                w.spans.back().second = std::max(w.spans.back().second, span->second);
            else
                w.spans.push_back(*span);
        }
    }
    w.spanStart[static_cast<size_t>(lines)] = static_cast<int>(w.spans.size());
}

// The stretches of the grid lines that run along a line taken by another
// route, nearer than the clearance across, in the layout of the spans
// above; each stretch is narrowed by 0.5 at both ends, so that a route may
// meet a taken line end to end or cross it.
void buildTakenSpans(SearchWorkspace& w, const std::vector<double>& xs, const std::vector<double>& ys,
                     const QList<QLineF>& avoid, double clearance)
{
    const int ny = static_cast<int>(ys.size());
    const int lines = static_cast<int>(xs.size()) + ny;
    w.takenPlaced.clear();
    for (const QLineF& line : avoid) {
        const bool horizontal = std::abs(line.y1() - line.y2()) < 0.5;
        if (!horizontal && std::abs(line.x1() - line.x2()) >= 0.5)
            continue;
        const double at = horizontal ? line.y1() : line.x1();
        const double low = (horizontal ? std::min(line.x1(), line.x2()) : std::min(line.y1(), line.y2())) + 0.5;
        const double high = (horizontal ? std::max(line.x1(), line.x2()) : std::max(line.y1(), line.y2())) - 0.5;
        if (high <= low)
            continue;
        const std::vector<double>& across = horizontal ? ys : xs;
        const int offset = horizontal ? 0 : ny;
        auto it = std::upper_bound(across.begin(), across.end(), at - clearance);
        for (; it != across.end() && *it < at + clearance; ++it)
            w.takenPlaced.push_back({offset + static_cast<int>(it - across.begin()), {low, high}});
    }
    std::sort(w.takenPlaced.begin(), w.takenPlaced.end());
    w.takenSpans.clear();
    w.takenStart.assign(static_cast<size_t>(lines) + 1, 0);
    size_t k = 0;
    for (int line = 0; line < lines; ++line) {
        w.takenStart[static_cast<size_t>(line)] = static_cast<int>(w.takenSpans.size());
        const size_t first = w.takenSpans.size();
        for (; k < w.takenPlaced.size() && w.takenPlaced[k].first == line; ++k) {
            const auto& span = w.takenPlaced[k].second;
            if (w.takenSpans.size() > first && span.first < w.takenSpans.back().second)
                w.takenSpans.back().second = std::max(w.takenSpans.back().second, span.second);
            else
                w.takenSpans.push_back(span);
        }
    }
    w.takenStart[static_cast<size_t>(lines)] = static_cast<int>(w.takenSpans.size());
}

// The tight lines let a route through the narrow gaps between close
// entities; a grid larger than TightGridPoints with them is built with the
// clearance lines alone, which still lead around every rectangle and
// through every gap wider than the clearance, at a quarter of the points to
// search.
constexpr double TightClearance = 6.0;
constexpr double TightGridPoints = 40000;
// An end shut in a small pocket of the grid (entities lying on top of each
// other enclose slots that way) is found by walking the pocket out, this
// many points at the most, instead of by a search that would visit every
// point reachable from the other end. Most searches reach the goal long
// before that would pay: the pockets are looked for only once a search has
// taken PocketCheckAfter points.
constexpr size_t PocketWalk = 4096;
constexpr size_t PocketCheckAfter = 6000;
// A bound on the work: a route the steered search has not found after this
// many points is not worth the wait (the searches that find one settle a
// few thousand points, rarely more than a hundred thousand).
constexpr size_t SearchedStatesAtMost = 60000;
// The estimate's weight: the search heads for the goal rather than
// widening evenly, and the route found costs at most this many times the
// cheapest.
constexpr double EstimateWeight = 2.0;

// The grid lines of a search: those of the query's ends and bounds, those
// just clear of the lines to sidestep, and the clearance lines around every
// rectangle (with the tight ones, where the grid stays small enough).
void chooseGridLines(const GridRouteQuery& query, const QRectF& bounds, const std::vector<Extent>& rects,
                     std::vector<double>& xs, std::vector<double>& ys)
{
    const double c = std::max(query.clearance, TightClearance);
    const double tight = TightClearance;
    for (const bool withTight : {true, false}) {
        std::vector<double> xValues{query.from.x(), query.to.x(), bounds.left(), bounds.right()};
        std::vector<double> yValues{query.from.y(), query.to.y(), bounds.top(), bounds.bottom()};
        xValues.reserve(4 * rects.size() + 4);
        yValues.reserve(4 * rects.size() + 4);
        // Lines just clear of the taken ones, on both sides.
        const double apart = query.avoidClearance + 0.5;
        for (const QLineF& line : query.sidestep) {
            if (std::abs(line.y1() - line.y2()) < 0.5)
                yValues.insert(yValues.end(), {line.y1() - 2 * apart, line.y1() - apart, line.y1() + apart, line.y1() + 2 * apart});
            else if (std::abs(line.x1() - line.x2()) < 0.5)
                xValues.insert(xValues.end(), {line.x1() - 2 * apart, line.x1() - apart, line.x1() + apart, line.x1() + 2 * apart});
        }
        for (const Extent& e : rects) {
            if (withTight) {
                xValues.insert(xValues.end(), {e.left - c, e.left - tight, e.right + tight, e.right + c});
                yValues.insert(yValues.end(), {e.top - c, e.top - tight, e.bottom + tight, e.bottom + c});
            } else {
                xValues.insert(xValues.end(), {e.left - c, e.right + c});
                yValues.insert(yValues.end(), {e.top - c, e.bottom + c});
            }
        }
        xs = gridLines(std::move(xValues), bounds.left(), bounds.right());
        ys = gridLines(std::move(yValues), bounds.top(), bounds.bottom());
        const double points = static_cast<double>(xs.size()) * static_cast<double>(ys.size());
        if (points <= (withTight ? TightGridPoints : query.maxGridPoints))
            break;
    }
}

// Whether the closed stretch [low, high] of a line meets an open span of
// the flat list (line i: [spanStart[i], spanStart[i + 1])).
bool meetsSpan(const std::pair<double, double>* spans, const int* spanStart, int line, double low, double high)
{
    const std::pair<double, double>* begin = spans + spanStart[line];
    const std::pair<double, double>* end = spans + spanStart[line + 1];
    if (begin == end)
        return false;
    const auto* it = std::upper_bound(begin, end, low,
                                      [](double v, const std::pair<double, double>& span) { return v < span.second; });
    return it != end && it->first < high && (low < high || it->first < low);
}

// Least f first, ties by state, so that the order is always the same.
bool searchedBefore(const SearchWorkspace::Entry& a, const SearchWorkspace::Entry& b)
{
    return a.f < b.f || (a.f == b.f && a.state < b.state);
}

// The open list is a heap of four children per entry: half as deep as a
// binary one, its children side by side in memory.
void pushOpen(std::vector<SearchWorkspace::Entry>& open, double f, int state)
{
    const SearchWorkspace::Entry entry{f, state};
    size_t at = open.size();
    open.push_back(entry);
    while (at > 0) {
        const size_t parent = (at - 1) / 4;
        if (!searchedBefore(entry, open[parent]))
            break;
        open[at] = open[parent];
        at = parent;
    }
    open[at] = entry;
}

void popOpen(std::vector<SearchWorkspace::Entry>& open)
{
    const SearchWorkspace::Entry last = open.back();
    open.pop_back();
    const size_t n = open.size();
    if (n == 0)
        return;
    size_t at = 0;
    for (;;) {
        const size_t first = 4 * at + 1;
        if (first >= n)
            break;
        size_t best = first;
        const size_t end = std::min(first + 4, n);
        for (size_t c = first + 1; c < end; ++c) {
            if (searchedBefore(open[c], open[best]))
                best = c;
        }
        if (!searchedBefore(open[best], last))
            break;
        open[at] = open[best];
        at = best;
    }
    open[at] = last;
}

// The points of a path that stay: its ends and corners.
QList<QPointF> cornersOf(const QList<QPointF>& path)
{
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

// One search over the grid of lines xs and ys. States: a node and the
// orientation it was reached along (0 along x, 1 along y), so that bends
// can be charged.
class GridSearch
{
public:
    GridSearch(const GridRouteQuery& query, SearchWorkspace& w, const std::vector<double>& xs,
               const std::vector<double>& ys)
        : m_query(query)
        , m_w(w)
        , m_x(xs.data())
        , m_y(ys.data())
        , m_nx(static_cast<int>(xs.size()))
        , m_ny(static_cast<int>(ys.size()))
        , m_avoiding(!query.avoid.isEmpty())
        , m_goalOrientation(query.toHorizontal ? 0 : 1)
    {
    }

    // The cheapest route from the node (fromX, fromY) to (toX, toY) as its
    // corners, or none.
    QList<QPointF> run(int fromX, int fromY, int toX, int toY)
    {
        const int bestState = search(fromX, fromY, toX, toY);
        if (bestState < 0)
            return {};
        QList<QPointF> path;
        for (int s = bestState; s >= 0; s = m_w.states[static_cast<size_t>(s)].parent) {
            const int node = s / 2;
            path.append(QPointF(m_x[node % m_nx], m_y[node / m_nx]));
        }
        std::reverse(path.begin(), path.end());
        path.first() = m_query.from;
        path.last() = m_query.to;
        return cornersOf(path);
    }

private:
    bool blocked(int line, double low, double high) const
    {
        return meetsSpan(m_w.spans.data(), m_w.spanStart.data(), line, low, high);
    }

    // Running along a taken line is allowed but dear: the route takes it
    // only where no other way is much shorter.
    double takenCharge(int line, double low, double high) const
    {
        if (!m_avoiding || !meetsSpan(m_w.takenSpans.data(), m_w.takenStart.data(), line, low, high))
            return 0.0;
        return m_query.avoidCharge + m_query.avoidFactor * (high - low);
    }

    // Whether the step from (ix, iy) by one line in direction move (0 +x,
    // 1 -x, 2 +y, 3 -y) stays on the grid and out of every rectangle; the
    // closed step covers the point reached as well.
    bool stepOpen(int ix, int iy, int move, int& jx, int& jy) const
    {
        jx = ix + (move == 0 ? 1 : move == 1 ? -1 : 0);
        jy = iy + (move == 2 ? 1 : move == 3 ? -1 : 0);
        if (jx < 0 || jy < 0 || jx >= m_nx || jy >= m_ny)
            return false;
        if (move < 2) {
            const int lowX = std::min(ix, jx);
            return !blocked(iy, m_x[lowX], m_x[lowX + 1]);
        }
        const int lowY = std::min(iy, jy);
        return !blocked(m_ny + ix, m_y[lowY], m_y[lowY + 1]);
    }

    // Whether fromNode lies in a pocket of at most PocketWalk points that
    // does not hold otherNode.
    bool shutIn(int fromNode, int otherNode)
    {
        m_w.beginWalk(static_cast<size_t>(m_nx) * static_cast<size_t>(m_ny));
        m_w.nodeStamp[static_cast<size_t>(fromNode)] = m_w.nodeGeneration;
        m_w.queue.push_back(fromNode);
        for (size_t head = 0; head < m_w.queue.size(); ++head) {
            if (m_w.queue.size() > PocketWalk)
                return false;
            const int node = m_w.queue[head];
            for (int move = 0; move < 4; ++move) {
                int jx, jy;
                if (!stepOpen(node % m_nx, node / m_nx, move, jx, jy))
                    continue;
                const int next = jy * m_nx + jx;
                if (next == otherNode)
                    return false;
                if (m_w.nodeStamp[static_cast<size_t>(next)] == m_w.nodeGeneration)
                    continue;
                m_w.nodeStamp[static_cast<size_t>(next)] = m_w.nodeGeneration;
                m_w.queue.push_back(next);
            }
        }
        return true;
    }

    // The Manhattan distance left plus the bends it takes at the least,
    // weighted.
    double estimate(int ix, int iy, int orientation) const
    {
        const double dx = std::abs(m_x[ix] - m_query.to.x());
        const double dy = std::abs(m_y[iy] - m_query.to.y());
        int bends = orientation == m_goalOrientation ? 0 : 1;
        if (orientation == m_goalOrientation && (orientation == 0 ? dy > 0.0 : dx > 0.0))
            bends = 2;
        return EstimateWeight * (dx + dy + bends * m_query.bendCost);
    }

    // Opens the steps out of state (node (ix, iy), reached along
    // orientation at cost g).
    void expand(int state, int ix, int iy, int orientation, double g)
    {
        for (int move = 0; move < 4; ++move) {
            const bool horizontal = move < 2;
            int jx, jy;
            if (!stepOpen(ix, iy, move, jx, jy))
                continue;
            const double length = horizontal ? std::abs(m_x[jx] - m_x[ix]) : std::abs(m_y[jy] - m_y[iy]);
            const int moveOrientation = horizontal ? 0 : 1;
            double next = g + length + (moveOrientation == orientation ? 0.0 : m_query.bendCost);
            if (m_avoiding) {
                next += horizontal ? takenCharge(iy, m_x[std::min(ix, jx)], m_x[std::max(ix, jx)])
                                   : takenCharge(m_ny + ix, m_y[std::min(iy, jy)], m_y[std::max(iy, jy)]);
            }
            const int nextState = 2 * (jy * m_nx + jx) + moveOrientation;
            if (next < m_w.costOf(nextState)) {
                m_w.set(nextState, next, state);
                pushOpen(m_w.open, next + estimate(jx, jy, moveOrientation), nextState);
            }
        }
    }

    // The steered search; the goal state reached cheapest, or -1.
    int search(int fromX, int fromY, int toX, int toY)
    {
        const size_t stateCount = 2 * static_cast<size_t>(m_nx) * static_cast<size_t>(m_ny);
        m_w.begin(stateCount);
        const int startState = 2 * (fromY * m_nx + fromX) + (m_query.fromHorizontal ? 0 : 1);
        m_w.set(startState, 0.0, -1);
        pushOpen(m_w.open, estimate(fromX, fromY, m_query.fromHorizontal ? 0 : 1), startState);
        const int goalNode = toY * m_nx + toX;
        double bestTotal = kUnreached;
        int bestState = -1;
        bool pocketsChecked = false;
        size_t budget = std::min<size_t>(4 * stateCount + 16, SearchedStatesAtMost);
        size_t popped = 0;
        while (!m_w.open.empty() && budget-- > 0) {
            if (++popped > PocketCheckAfter && !pocketsChecked && bestState < 0) {
                pocketsChecked = true;
                // A start shut in empties the open list by itself.
                if (shutIn(toY * m_nx + toX, fromY * m_nx + fromX))
                    return -1;
            }
            const auto [f, state] = m_w.open.front();
            popOpen(m_w.open);
            if (f >= bestTotal)
                break;
            const int node = state / 2;
            const int orientation = state % 2;
            const int ix = node % m_nx;
            const int iy = node / m_nx;
            const double g = m_w.states[static_cast<size_t>(state)].cost;
            if (f > g + estimate(ix, iy, orientation) + 1e-9)
                continue; // a stale entry: the state was reached cheaper since
            if (node == goalNode) {
                const double total = g + (orientation == m_goalOrientation ? 0.0 : m_query.bendCost);
                if (total < bestTotal) {
                    bestTotal = total;
                    bestState = state;
                }
                continue;
            }
            expand(state, ix, iy, orientation, g);
        }
        return bestState;
    }

    const GridRouteQuery& m_query;
    SearchWorkspace& m_w;
    const double* m_x;
    const double* m_y;
    int m_nx;
    int m_ny;
    bool m_avoiding;
    int m_goalOrientation;
};

QList<QPointF> searchOnGrid(const GridRouteQuery& query, const QRectF& bounds, const std::vector<Extent>& rects)
{
    std::vector<double> xs;
    std::vector<double> ys;
    chooseGridLines(query, bounds, rects, xs, ys);
    const int nx = static_cast<int>(xs.size());
    const int ny = static_cast<int>(ys.size());
    if (static_cast<double>(nx) * ny > query.maxGridPoints)
        return {};
    const int fromX = lineIndex(xs, query.from.x()), fromY = lineIndex(ys, query.from.y());
    const int toX = lineIndex(xs, query.to.x()), toY = lineIndex(ys, query.to.y());
    if (fromX < 0 || fromY < 0 || toX < 0 || toY < 0)
        return {};

    SearchWorkspace& w = searchWorkspace();
    buildSpans(w, xs, ys, rects);
    if (!query.avoid.isEmpty())
        buildTakenSpans(w, xs, ys, query.avoid, query.avoidClearance);
    return GridSearch(query, w, xs, ys).run(fromX, fromY, toX, toY);
}

} // namespace
