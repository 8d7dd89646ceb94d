#include "layout/crossingswaps.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr int MaxSweeps = 4;
// Partners tried for each node: the nearest ones, and the nearest to the
// centre of its neighbours, where it would rather stand.
constexpr int NearestPartners = 8;
constexpr int AllPairsUpTo = 40;
// As many crossings as before: the swap must shorten the lines by this
// share to count.
constexpr double ShorterBy = 0.9;
constexpr int ThroughBoxWeight = 2;
constexpr double LongerAtMost = 1.25;

struct Point
{
    double x;
    double y;
};

double orientation(const Point& a, const Point& b, const Point& c)
{
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

bool properlyCross(const Point& p1, const Point& p2, const Point& q1, const Point& q2)
{
    if (std::max(p1.x, p2.x) < std::min(q1.x, q2.x) || std::max(q1.x, q2.x) < std::min(p1.x, p2.x)
        || std::max(p1.y, p2.y) < std::min(q1.y, q2.y) || std::max(q1.y, q2.y) < std::min(p1.y, p2.y))
        return false;
    const double d1 = orientation(q1, q2, p1);
    const double d2 = orientation(q1, q2, p2);
    const double d3 = orientation(p1, p2, q1);
    const double d4 = orientation(p1, p2, q2);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

// Whether the segment p1-p2 meets the box (clipping against its slabs).
bool segmentMeetsBox(const Point& p1, const Point& p2, double x0, double y0, double x1, double y1)
{
    double t0 = 0.0;
    double t1 = 1.0;
    const double d[2] = {p2.x - p1.x, p2.y - p1.y};
    const double s[2] = {p1.x, p1.y};
    const double lo[2] = {x0, y0};
    const double hi[2] = {x1, y1};
    for (int axis = 0; axis < 2; ++axis) {
        if (std::abs(d[axis]) < 1e-12) {
            if (s[axis] < lo[axis] || s[axis] > hi[axis])
                return false;
            continue;
        }
        double a = (lo[axis] - s[axis]) / d[axis];
        double b = (hi[axis] - s[axis]) / d[axis];
        if (a > b)
            std::swap(a, b);
        t0 = std::max(t0, a);
        t1 = std::min(t1, b);
        if (t0 > t1)
            return false;
    }
    return true;
}

class SwapSearch
{
public:
    SwapSearch(LayoutNodes& nodes, const LayoutEdges& edges, double gapX, double gapY)
        : m_nodes(nodes)
        , m_gapX(gapX)
        , m_gapY(gapY)
    {
        const int n = static_cast<int>(nodes.size());
        m_incident.resize(static_cast<size_t>(n));
        for (const LayoutEdge& e : edges) {
            if (e.first < 0 || e.second < 0 || e.first >= n || e.second >= n || e.first == e.second)
                continue;
            const int k = static_cast<int>(m_edges.size());
            m_edges.push_back(e);
            m_incident[static_cast<size_t>(e.first)].push_back(k);
            m_incident[static_cast<size_t>(e.second)].push_back(k);
        }
        m_mark.assign(m_edges.size(), 0);
    }

    // Runs the sweeps; true when anything moved.
    bool run()
    {
        const int n = static_cast<int>(m_nodes.size());
        bool any = false;
        std::vector<int> partners;
        for (int sweep = 0; sweep < MaxSweeps; ++sweep) {
            bool moved = false;
            for (int a = 0; a < n; ++a) {
                if (m_incident[static_cast<size_t>(a)].empty())
                    continue;
                collectPartners(a, partners);
                for (int b : partners) {
                    if (trySwap(a, b))
                        moved = true;
                }
            }
            any = any || moved;
            if (!moved)
                break;
        }
        return any;
    }

private:
    Point at(int v) const { return {m_nodes.at(v).x, m_nodes.at(v).y}; }

    void collectPartners(int a, std::vector<int>& partners) const
    {
        partners.clear();
        const int n = static_cast<int>(m_nodes.size());
        if (n <= AllPairsUpTo) {
            for (int b = 0; b < n; ++b) {
                if (b != a)
                    partners.push_back(b);
            }
            return;
        }
        auto nearestTo = [&](const Point& p) {
            std::vector<std::pair<double, int>> byDistance;
            byDistance.reserve(static_cast<size_t>(n));
            for (int b = 0; b < n; ++b) {
                if (b == a)
                    continue;
                const double dx = m_nodes.at(b).x - p.x;
                const double dy = m_nodes.at(b).y - p.y;
                byDistance.emplace_back(dx * dx + dy * dy, b);
            }
            const size_t keep = std::min(byDistance.size(), static_cast<size_t>(NearestPartners));
            std::partial_sort(byDistance.begin(), byDistance.begin() + static_cast<std::ptrdiff_t>(keep), byDistance.end());
            for (size_t i = 0; i < keep; ++i) {
                if (std::find(partners.begin(), partners.end(), byDistance[i].second) == partners.end())
                    partners.push_back(byDistance[i].second);
            }
        };
        nearestTo(at(a));
        Point centre{0.0, 0.0};
        const std::vector<int>& around = m_incident[static_cast<size_t>(a)];
        for (int k : around) {
            const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
            const Point p = at(e.first == a ? e.second : e.first);
            centre.x += p.x;
            centre.y += p.y;
        }
        centre.x /= static_cast<double>(around.size());
        centre.y /= static_cast<double>(around.size());
        nearestTo(centre);
    }

    double markedLength(const std::vector<int>& marked) const
    {
        double length = 0.0;
        for (int k : marked) {
            const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
            length += std::hypot(m_nodes.at(e.second).x - m_nodes.at(e.first).x, m_nodes.at(e.second).y - m_nodes.at(e.first).y);
        }
        return length;
    }

    // Crossings of the marked edges with every other edge (pairs of marked
    // ones once), and the marked edges' total length.
    std::pair<int, double> measureMarked(const std::vector<int>& marked) const
    {
        int crossings = 0;
        double length = 0.0;
        for (int k : marked) {
            const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
            const Point p1 = at(e.first);
            const Point p2 = at(e.second);
            length += std::hypot(p2.x - p1.x, p2.y - p1.y);
            for (size_t f = 0; f < m_edges.size(); ++f) {
                if (static_cast<int>(f) == k || (m_mark[f] && static_cast<int>(f) < k))
                    continue;
                const LayoutEdge& o = m_edges[f];
                if (o.first == e.first || o.first == e.second || o.second == e.first || o.second == e.second)
                    continue;
                if (properlyCross(p1, p2, at(o.first), at(o.second)))
                    ++crossings;
            }
            // A line through another box stands for a route that has to go
            // round it, crossing what passes there.
            const double left = std::min(p1.x, p2.x);
            const double right = std::max(p1.x, p2.x);
            const double top = std::min(p1.y, p2.y);
            const double bottom = std::max(p1.y, p2.y);
            for (int v = 0; v < static_cast<int>(m_nodes.size()); ++v) {
                if (v == e.first || v == e.second)
                    continue;
                const LayoutNode& node = m_nodes.at(v);
                const double hw = node.width / 2.0;
                const double hh = node.height / 2.0;
                if (node.x + hw < left || node.x - hw > right || node.y + hh < top || node.y - hh > bottom)
                    continue;
                if (segmentMeetsBox(p1, p2, node.x - hw, node.y - hh, node.x + hw, node.y + hh))
                    crossings += ThroughBoxWeight;
            }
        }
        return {crossings, length};
    }

    // Whether node v standing at its current place keeps the gaps to every
    // node but itself.
    bool clearOfOthers(int v) const
    {
        const LayoutNode& node = m_nodes.at(v);
        const int n = static_cast<int>(m_nodes.size());
        for (int u = 0; u < n; ++u) {
            if (u == v)
                continue;
            const LayoutNode& other = m_nodes.at(u);
            if (std::abs(node.x - other.x) < (node.width + other.width) / 2.0 + m_gapX
                && std::abs(node.y - other.y) < (node.height + other.height) / 2.0 + m_gapY)
                return false;
        }
        return true;
    }

    void swapPlaces(int a, int b)
    {
        std::swap(m_nodes[a].x, m_nodes[b].x);
        std::swap(m_nodes[a].y, m_nodes[b].y);
    }

    bool trySwap(int a, int b)
    {
        std::vector<int> marked;
        for (int v : {a, b}) {
            for (int k : m_incident[static_cast<size_t>(v)]) {
                if (!m_mark[static_cast<size_t>(k)]) {
                    m_mark[static_cast<size_t>(k)] = 1;
                    marked.push_back(k);
                }
            }
        }
        // Lines much longer after the swap seldom pay: those swaps are not
        // measured at all.
        const double lengthBefore = markedLength(marked);
        swapPlaces(a, b);
        const double lengthAfter = markedLength(marked);
        swapPlaces(a, b);
        bool keep = false;
        if (lengthAfter < LongerAtMost * lengthBefore) {
            swapPlaces(a, b);
            if (clearOfOthers(a) && clearOfOthers(b)) {
                const auto after = measureMarked(marked);
                swapPlaces(a, b);
                const auto before = measureMarked(marked);
                keep = after.first < before.first
                    || (after.first == before.first && after.second < ShorterBy * before.second);
                if (keep)
                    swapPlaces(a, b);
            } else {
                swapPlaces(a, b);
            }
        }
        for (int k : marked)
            m_mark[static_cast<size_t>(k)] = 0;
        return keep;
    }

    LayoutNodes& m_nodes;
    double m_gapX;
    double m_gapY;
    std::vector<LayoutEdge> m_edges;
    std::vector<std::vector<int>> m_incident;
    std::vector<char> m_mark;
};

} // namespace

void reduceCrossingsBySwaps(LayoutNodes& nodes, const LayoutEdges& edges, double gapX, double gapY, int maxNodes)
{
    if (nodes.size() < 3 || nodes.size() > maxNodes)
        return;
    SwapSearch(nodes, edges, gapX, gapY).run();
}

int straightLineCrossings(const LayoutNodes& nodes, const LayoutEdges& edges)
{
    const int n = static_cast<int>(nodes.size());
    int crossings = 0;
    for (qsizetype i = 0; i < edges.size(); ++i) {
        const LayoutEdge& e = edges.at(i);
        if (e.first < 0 || e.second < 0 || e.first >= n || e.second >= n)
            continue;
        for (qsizetype j = i + 1; j < edges.size(); ++j) {
            const LayoutEdge& o = edges.at(j);
            if (o.first < 0 || o.second < 0 || o.first >= n || o.second >= n)
                continue;
            if (o.first == e.first || o.first == e.second || o.second == e.first || o.second == e.second)
                continue;
            if (properlyCross({nodes.at(e.first).x, nodes.at(e.first).y}, {nodes.at(e.second).x, nodes.at(e.second).y},
                              {nodes.at(o.first).x, nodes.at(o.first).y}, {nodes.at(o.second).x, nodes.at(o.second).y}))
                ++crossings;
        }
    }
    return crossings;
}
