#include "layout/crossingswaps.h"

#include "layout/likelyroutes.h"
#include "layout/parallelmap.h"


#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace {

constexpr int MaxSweeps = 2;
// Components of up to this many nodes try their swaps one after another;
// larger ones in this many rounds of runInRounds.
constexpr int OneByOneUpTo = 120;
constexpr int Rounds = 2;
// The costs of fewer chunks than this (of 16 edges) are measured on the
// calling thread alone.
constexpr qsizetype ParallelCostChunksFrom = 48;
constexpr int SmallSweeps = 2; // for components of up to SmallUpTo nodes
// Partners tried for each node: the nearest ones, and the nearest to the
// centre of its neighbours, where it would rather stand.
constexpr int NearestPartners = 6;
constexpr int AllPairsUpTo = 80;
constexpr int SmallUpTo = 80;
// As many crossings as before: the swap must shorten the lines by this
// share to count.
constexpr double ShorterBy = 0.9;
constexpr int ThroughBoxWeight = 2;
constexpr double LongerAtMost = 1.12;
// The room between a node moved beside another and that other.
constexpr double BesideGapX = 108.0;
constexpr double BesideGapY = 78.0;
// Nodes with more edges than this get no more neighbours beside them: their
// sides are crowded already, and the routes there go other ways than the
// likely ones.
constexpr int BesideEdgesAtMost = 6;
// A swap may not draw the component out beyond this (or beyond what it
// was, when it was already longer).
constexpr double MostElongated = 1.9;

struct Point
{
    double x;
    double y;
};

class SwapSearch
{
public:
    SwapSearch(LayoutNodes& nodes, const LayoutEdges& edges, double gapX, double gapY, bool freePlaces)
        : m_nodes(nodes)
        , m_freePlaces(freePlaces)
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
        m_routes.resize(m_edges.size());
        m_cost.assign(m_edges.size(), 0);
        m_costKnown.assign(m_edges.size(), 0);
        // The nodes only trade places, so the component's box stays.
        double left = 0.0, top = 0.0, right = 0.0, bottom = 0.0;
        for (int v = 0; v < n; ++v) {
            const LayoutNode& node = m_nodes.at(v);
            left = v == 0 ? node.x - node.width / 2.0 : std::min(left, node.x - node.width / 2.0);
            right = v == 0 ? node.x + node.width / 2.0 : std::max(right, node.x + node.width / 2.0);
            top = v == 0 ? node.y - node.height / 2.0 : std::min(top, node.y - node.height / 2.0);
            bottom = v == 0 ? node.y + node.height / 2.0 : std::max(bottom, node.y + node.height / 2.0);
        }
        m_longestSide = std::max(MostElongated, elongation());
        const double cell = std::max(150.0, std::sqrt((right - left) * (bottom - top) / std::max(1.0, 2.0 * n)));
        m_flatGrid.setUp(left, top, right, bottom, cell, 2 * m_edges.size());
        m_uprightGrid.setUp(left, top, right, bottom, cell, 2 * m_edges.size());
        m_nodeGrid.setUp(left, top, right, bottom, cell, static_cast<size_t>(n));
        for (int k = 0; k < static_cast<int>(m_edges.size()); ++k)
            insertEdge(k);
        for (int v = 0; v < n; ++v)
            insertNode(v);
    }

    // Runs the sweeps; true when anything moved.
    bool run()
    {
        const int n = static_cast<int>(m_nodes.size());
        bool any = false;
        std::vector<int> partners;
        const int sweeps = n <= SmallUpTo ? SmallSweeps : MaxSweeps;
        for (int sweep = 0; sweep < sweeps; ++sweep) {
            bool moved = false;
            for (int a = 0; a < n; ++a) {
                if (m_incident[static_cast<size_t>(a)].empty())
                    continue;
                // A node whose lines cross nothing and pass no box is where
                // it belongs; others may still swap with it from their side.
                if (!troubled(a))
                    continue;
                collectPartners(a, partners);
                for (int b : partners) {
                    if (trySwap(a, b))
                        moved = true;
                }
                // Still crossing: perhaps a free place beside one of its
                // neighbours suits it better.
                if (m_freePlaces && troubled(a) && tryFreePlaces(a))
                    moved = true;
            }
            any = any || moved;
            if (!moved)
                break;
        }
        return any;
    }

    // The sweeps of a large component, in rounds: the swaps worth trying
    // are looked for on several threads against the places as they stand
    // at the start of the round, and then tried one after another, each as
    // trySwap measures it on the places of the moment. The threads only
    // read, and each node's findings depend on the round's places alone, so
    // the result is that of a plain loop. True when anything moved.
    bool runInRounds(int rounds)
    {
        const int n = static_cast<int>(m_nodes.size());
        bool any = false;
        constexpr int Chunk = 16;
        const qsizetype chunks = (n + Chunk - 1) / Chunk;
        for (int round = 0; round < rounds; ++round) {
            // Every edge's cost as things stand: those the cache no longer
            // holds are measured again, on several threads when there are
            // enough of them to pay for waking the threads (a microsecond
            // or so each).
            std::vector<int> unknown;
            for (size_t k = 0; k < m_edges.size(); ++k) {
                if (!m_costKnown[k])
                    unknown.push_back(static_cast<int>(k));
            }
            const qsizetype unknownChunks = (static_cast<qsizetype>(unknown.size()) + Chunk - 1) / Chunk;
            const std::vector<std::vector<int>> costs = mapInParallel<std::vector<int>>(
                unknownChunks,
                [this, &unknown](qsizetype c) {
                    Reader reader(*this);
                    std::vector<int> out;
                    const size_t last = std::min(static_cast<size_t>((c + 1) * Chunk), unknown.size());
                    for (size_t i = static_cast<size_t>(c * Chunk); i < last; ++i)
                        out.push_back(readEdgeCost(reader, unknown[i]));
                    return out;
                }, ParallelCostChunksFrom, 1);
            for (qsizetype c = 0; c < unknownChunks; ++c) {
                for (size_t i = 0; i < costs[static_cast<size_t>(c)].size(); ++i) {
                    const size_t k = static_cast<size_t>(unknown[static_cast<size_t>(c * Chunk) + i]);
                    m_cost[k] = costs[static_cast<size_t>(c)][i];
                    m_costKnown[k] = 1;
                }
            }
            m_box = nodesBoundingRect(m_nodes);
            // For each troubled node, its partners whose swap pays, the
            // best first.
            const std::vector<std::vector<std::vector<int>>> found = mapInParallel<std::vector<std::vector<int>>>(
                chunks,
                [this, n](qsizetype c) {
                    Reader reader(*this);
                    std::vector<std::vector<int>> out;
                    std::vector<int> partners;
                    std::vector<std::pair<double, int>> paying;
                    const int last = std::min(static_cast<int>((c + 1) * Chunk), n);
                    for (int a = static_cast<int>(c * Chunk); a < last; ++a) {
                        out.emplace_back();
                        if (m_incident[static_cast<size_t>(a)].empty() || !troubledAsCached(a))
                            continue;
                        collectPartners(a, partners);
                        paying.clear();
                        for (int b : partners) {
                            const double gain = readSwapGain(reader, a, b);
                            if (gain > 0.0)
                                paying.emplace_back(-gain, b);
                        }
                        std::stable_sort(paying.begin(), paying.end(),
                                         [](const auto& x, const auto& y) { return x.first < y.first; });
                        for (const auto& p : paying)
                            out.back().push_back(p.second);
                    }
                    return out;
                }, 2, 1);
            bool moved = false;
            for (int a = 0; a < n; ++a) {
                for (int b : found[static_cast<size_t>(a / Chunk)][static_cast<size_t>(a % Chunk)]) {
                    if (trySwap(a, b)) {
                        moved = true;
                        break;
                    }
                }
            }
            any = any || moved;
            if (!moved)
                break;
        }
        return any;
    }

    // The crossings of all likely routes, each pair once, plus the weight
    // of every pass through another box.
    int totalCost()
    {
        int total = 0;
        for (int k = 0; k < static_cast<int>(m_edges.size()); ++k)
            total += cachedCost(k);
        return total;
    }

private:
    Point at(int v) const { return {m_nodes.at(v).x, m_nodes.at(v).y}; }

    // Lists the pieces of edge k's likely route, each in the cells along
    // it: piece i of edge k is item 2k + i of its grid.
    void insertEdge(int k)
    {
        const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
        LikelyRoute& route = m_routes[static_cast<size_t>(k)];
        route = likelyRoute(m_nodes.at(e.first), m_nodes.at(e.second));
        for (int i = 0; i < route.flats; ++i)
            m_flatGrid.insert(2 * k + i, route.flat[i].low, route.flat[i].at, route.flat[i].high, route.flat[i].at);
        for (int i = 0; i < route.uprights; ++i) {
            const Piece& piece = route.upright[i];
            m_uprightGrid.insert(2 * k + i, piece.at, piece.low, piece.at, piece.high);
        }
    }
    void removeEdge(int k)
    {
        for (int i = 0; i < 2; ++i) {
            m_flatGrid.remove(2 * k + i);
            m_uprightGrid.remove(2 * k + i);
        }
    }
    void insertNode(int v)
    {
        const LayoutNode& node = m_nodes.at(v);
        m_nodeGrid.insert(v, node.x - node.width / 2.0, node.y - node.height / 2.0, node.x + node.width / 2.0,
                          node.y + node.height / 2.0);
    }

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
        // The nearest nodes by their centres, the lower index first on equal
        // distances: the grid's rings of cells around p, until the rings
        // left cannot hold a node as near as the last one kept.
        std::vector<std::pair<double, int>> byDistance;
        auto nearestTo = [&](const Point& p) {
            byDistance.clear();
            for (int ring = 0;; ++ring) {
                const bool inGrid = m_nodeGrid.visitRing(p.x, p.y, ring, [&](int b) {
                    if (b == a)
                        return;
                    const double dx = m_nodes.at(b).x - p.x;
                    const double dy = m_nodes.at(b).y - p.y;
                    byDistance.emplace_back(dx * dx + dy * dy, b);
                });
                std::sort(byDistance.begin(), byDistance.end());
                byDistance.erase(std::unique(byDistance.begin(), byDistance.end()), byDistance.end());
                if (!inGrid)
                    break;
                const double reach = ring * m_nodeGrid.cellSize();
                if (byDistance.size() >= static_cast<size_t>(NearestPartners)
                    && byDistance[static_cast<size_t>(NearestPartners) - 1].first < reach * reach)
                    break;
            }
            const size_t keep = std::min(byDistance.size(), static_cast<size_t>(NearestPartners));
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
            const double dx = m_nodes.at(e.second).x - m_nodes.at(e.first).x;
            const double dy = m_nodes.at(e.second).y - m_nodes.at(e.first).y;
            length += std::sqrt(dx * dx + dy * dy);
        }
        return length;
    }

    bool troubled(int a)
    {
        for (int k : m_incident[static_cast<size_t>(a)]) {
            if (cachedCost(k) > 0)
                return true;
        }
        return false;
    }

    // The box spanned by the centres of edge k's ends.
    struct Span
    {
        double left;
        double top;
        double right;
        double bottom;
    };
    Span spanOf(int k) const
    {
        const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
        const Point p1 = at(e.first);
        const Point p2 = at(e.second);
        return {std::min(p1.x, p2.x), std::min(p1.y, p2.y), std::max(p1.x, p2.x), std::max(p1.y, p2.y)};
    }

    // Crossings of route, standing for edge k, with the likely routes of the
    // edges in the grid around its span that share no end with it and that
    // skip(f) does not leave out; counting stops once it passes budget.
    // Each piece of the route looks only along itself, at the listed
    // pieces of the other direction.
    template <typename Skip>
    int crossingsAround(int k, const LikelyRoute& route, Skip skip, int budget)
    {
        const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
        auto counts = [&](int f) { return !skip(f) && !sharesEnd(e, m_edges[static_cast<size_t>(f)]); };
        return crossingsInGrids(route, budget, counts, [this](bool flats, const Piece& p, auto&& visit) {
            if (flats)
                m_flatGrid.visit(p.at, p.low, p.at, p.high, visit);
            else
                m_uprightGrid.visit(p.low, p.at, p.high, p.at, visit);
        });
    }

    // Crossings of route's pieces with those of the other routes that
    // counts(edge) admits, up to one over budget; walk(flats, piece, visit)
    // visits the flat pieces (or the upright ones) of the other routes
    // whose cells piece meets.
    template <typename Counts, typename Walk>
    int crossingsInGrids(const LikelyRoute& route, int budget, const Counts& counts, const Walk& walk) const
    {
        int crossings = 0;
        for (int i = 0; i < route.flats && crossings <= budget; ++i) {
            const Piece& piece = route.flat[i];
            walk(false, piece, [&](int id) {
                if (crossings <= budget && counts(id / 2))
                    crossings += piecesCross(piece, m_routes[static_cast<size_t>(id / 2)].upright[id % 2]);
            });
        }
        for (int i = 0; i < route.uprights && crossings <= budget; ++i) {
            const Piece& piece = route.upright[i];
            walk(true, piece, [&](int id) {
                if (crossings <= budget && counts(id / 2))
                    crossings += piecesCross(m_routes[static_cast<size_t>(id / 2)].flat[id % 2], piece);
            });
        }
        return crossings;
    }

    // Calls visit once for each node whose box a cell along one of the
    // route's pieces lists.
    template <typename Visit>
    void visitNodesAlong(const LikelyRoute& route, Visit&& visitNode)
    {
        m_nodesAlong.clear();
        auto collect = [this](int v) { m_nodesAlong.push_back(v); };
        for (int i = 0; i < route.flats; ++i)
            m_nodeGrid.visit(route.flat[i].low, route.flat[i].at, route.flat[i].high, route.flat[i].at, collect);
        for (int i = 0; i < route.uprights; ++i)
            m_nodeGrid.visit(route.upright[i].at, route.upright[i].low, route.upright[i].at, route.upright[i].high, collect);
        std::sort(m_nodesAlong.begin(), m_nodesAlong.end());
        m_nodesAlong.erase(std::unique(m_nodesAlong.begin(), m_nodesAlong.end()), m_nodesAlong.end());
        for (int v : m_nodesAlong)
            visitNode(v);
    }

    // A line through another box stands for a route that has to go round
    // it, crossing what passes there: the weight of route through box v.
    int throughBoxCost(const LikelyRoute& route, const Span& span, int v) const
    {
        const LayoutNode& node = m_nodes.at(v);
        const double hw = node.width / 2.0;
        const double hh = node.height / 2.0;
        if (node.x + hw < span.left || node.x - hw > span.right || node.y + hh < span.top
            || node.y - hh > span.bottom)
            return 0;
        return routeMeetsBox(route, node.x - hw, node.y - hh, node.x + hw, node.y + hh) ? ThroughBoxWeight : 0;
    }

    // Crossings of edge k's likely route with those of the other edges and
    // its passes through other boxes, weighted.
    int edgeCost(int k)
    {
        const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
        const LikelyRoute route = likelyRoute(m_nodes.at(e.first), m_nodes.at(e.second));
        const Span span = spanOf(k);
        int crossings = crossingsAround(k, route, [k](int f) { return f == k; }, std::numeric_limits<int>::max());
        visitNodesAlong(route, [&](int v) {
            if (v != e.first && v != e.second)
                crossings += throughBoxCost(route, span, v);
        });
        return crossings;
    }

    // edgeCost of a marked edge while nodes a and b stand at their new
    // places and the grids still list them and the marked edges where they
    // were: the grids serve for everything that did not move, and the
    // moved boxes are looked at directly. Crossings with other marked edges
    // are left to the caller; counting stops once it passes budget.
    int movedEdgeCost(int k, int a, int b, const LikelyRoute& route, int budget)
    {
        const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
        const Span span = spanOf(k);
        int crossings = crossingsAround(
            k, route, [this](int f) { return bool(m_mark[static_cast<size_t>(f)]); }, budget);
        visitNodesAlong(route, [&](int v) {
            if (v != e.first && v != e.second && v != a && v != b)
                crossings += throughBoxCost(route, span, v);
        });
        if (a != e.first && a != e.second)
            crossings += throughBoxCost(route, span, a);
        if (b != a && b != e.first && b != e.second)
            crossings += throughBoxCost(route, span, b);
        return crossings;
    }

    // Whether node, standing where it would, keeps the gaps to every node
    // but a and b; visitNear(left, top, right, bottom, visit) walks the
    // nodes the node grid lists in that region.
    template <typename VisitNear>
    bool keepsGaps(const LayoutNode& node, int a, int b, VisitNear&& visitNear) const
    {
        bool clear = true;
        const double reachX = node.width / 2.0 + m_gapX;
        const double reachY = node.height / 2.0 + m_gapY;
        visitNear(node.x - reachX, node.y - reachY, node.x + reachX, node.y + reachY, [&](int u) {
            if (u == a || u == b || !clear)
                return;
            const LayoutNode& other = m_nodes.at(u);
            if (std::abs(node.x - other.x) < (node.width + other.width) / 2.0 + m_gapX
                && std::abs(node.y - other.y) < (node.height + other.height) / 2.0 + m_gapY)
                clear = false;
        });
        return clear;
    }

    // Whether node v, moved to where its partner stood, keeps the gaps to
    // every node but the two that trade places (the grid still lists them
    // where they were).
    bool clearAt(int v, int a, int b)
    {
        return keepsGaps(m_nodes.at(v), a, b, [this](double left, double top, double right, double bottom, auto&& visit) {
            m_nodeGrid.visit(left, top, right, bottom, visit);
        });
    }

    // What a thread that only reads needs of its own.
    struct Reader
    {
        explicit Reader(const SwapSearch& search)
        {
            search.m_flatGrid.prepare(flat);
            search.m_uprightGrid.prepare(upright);
            search.m_nodeGrid.prepare(boxes);
        }
        CellGrid::Stamps flat;
        CellGrid::Stamps upright;
        CellGrid::Stamps boxes;
        std::vector<int> marked;
        std::vector<LikelyRoute> routes;
        std::vector<int> nodesAlong;
    };

    // Node v as it would stand with a and b trading places.
    LayoutNode placedAs(int v, int a, int b) const
    {
        LayoutNode node = m_nodes.at(v);
        if (v == a || v == b) {
            const LayoutNode& other = m_nodes.at(v == a ? b : a);
            node.x = other.x;
            node.y = other.y;
        }
        return node;
    }

    bool sharesEnd(const LayoutEdge& e, const LayoutEdge& o) const
    {
        return o.first == e.first || o.first == e.second || o.second == e.first || o.second == e.second;
    }

    // crossingsAround for a reader; the edges of sorted list skipped are
    // left out.
    int readCrossingsAround(Reader& reader, int k, const LikelyRoute& route, const std::vector<int>& skipped,
                            int budget) const
    {
        const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
        auto counts = [&](int f) {
            return f != k && !sharesEnd(e, m_edges[static_cast<size_t>(f)])
                && !std::binary_search(skipped.begin(), skipped.end(), f);
        };
        return crossingsInGrids(route, budget, counts, [this, &reader](bool flats, const Piece& p, auto&& visit) {
            if (flats)
                m_flatGrid.visitWith(reader.flat, p.at, p.low, p.at, p.high, visit);
            else
                m_uprightGrid.visitWith(reader.upright, p.low, p.at, p.high, p.at, visit);
        });
    }

    // The weight of route's passes through the boxes the grid lists, but
    // those of the count nodes in the sorted array leftOut.
    int readThroughBoxes(Reader& reader, const LikelyRoute& route, const int* leftOut, int count) const
    {
        reader.nodesAlong.clear();
        auto collect = [&reader](int v) { reader.nodesAlong.push_back(v); };
        for (int i = 0; i < route.flats; ++i) {
            const Piece& p = route.flat[i];
            m_nodeGrid.visitWith(reader.boxes, p.low, p.at, p.high, p.at, collect);
        }
        for (int i = 0; i < route.uprights; ++i) {
            const Piece& p = route.upright[i];
            m_nodeGrid.visitWith(reader.boxes, p.at, p.low, p.at, p.high, collect);
        }
        std::sort(reader.nodesAlong.begin(), reader.nodesAlong.end());
        reader.nodesAlong.erase(std::unique(reader.nodesAlong.begin(), reader.nodesAlong.end()), reader.nodesAlong.end());
        int cost = 0;
        for (int v : reader.nodesAlong) {
            if (!std::binary_search(leftOut, leftOut + count, v))
                cost += boxCost(route, m_nodes.at(v));
        }
        return cost;
    }

    static int boxCost(const LikelyRoute& route, const LayoutNode& node)
    {
        const double hw = node.width / 2.0;
        const double hh = node.height / 2.0;
        if (node.x + hw < route.left || node.x - hw > route.right || node.y + hh < route.top
            || node.y - hh > route.bottom)
            return 0;
        return routeMeetsBox(route, node.x - hw, node.y - hh, node.x + hw, node.y + hh) ? ThroughBoxWeight : 0;
    }

    // edgeCost for a reader.
    int readEdgeCost(Reader& reader, int k) const
    {
        const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
        const LikelyRoute& route = m_routes[static_cast<size_t>(k)];
        const int ends[2] = {std::min(e.first, e.second), std::max(e.first, e.second)};
        return readCrossingsAround(reader, k, route, {}, std::numeric_limits<int>::max())
            + readThroughBoxes(reader, route, ends, 2);
    }

    bool troubledAsCached(int a) const
    {
        for (int k : m_incident[static_cast<size_t>(a)]) {
            if (m_cost[static_cast<size_t>(k)] > 0)
                return true;
        }
        return false;
    }

    // What swapping a and b would save, as trySwap measures it but against
    // the places and costs of the round's start: the cost saved, or a
    // small share for as many crossings on clearly shorter lines; 0 when
    // the swap does not pay or is not allowed.
    double readSwapGain(Reader& reader, int a, int b) const
    {
        std::vector<int>& marked = reader.marked;
        marked.clear();
        for (int v : {a, b}) {
            for (int k : m_incident[static_cast<size_t>(v)])
                marked.push_back(k);
        }
        std::sort(marked.begin(), marked.end());
        marked.erase(std::unique(marked.begin(), marked.end()), marked.end());
        double lengthBefore = 0.0;
        double lengthAfter = 0.0;
        for (int k : marked) {
            const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
            const LayoutNode p = m_nodes.at(e.first);
            const LayoutNode q = m_nodes.at(e.second);
            lengthBefore += std::sqrt((q.x - p.x) * (q.x - p.x) + (q.y - p.y) * (q.y - p.y));
            const LayoutNode p2 = placedAs(e.first, a, b);
            const LayoutNode q2 = placedAs(e.second, a, b);
            lengthAfter += std::sqrt((q2.x - p2.x) * (q2.x - p2.x) + (q2.y - p2.y) * (q2.y - p2.y));
        }
        if (!(lengthAfter < LongerAtMost * lengthBefore))
            return 0.0;
        const LayoutNode newA = placedAs(a, a, b);
        const LayoutNode newB = placedAs(b, a, b);
        if (!readClear(reader, newA, a, b) || !readClear(reader, newB, a, b) || readElongation(a, b) > m_longestSide)
            return 0.0;
        int before = 0;
        for (size_t i = 0; i < marked.size(); ++i) {
            before += m_cost[static_cast<size_t>(marked[i])];
            const LayoutEdge& e = m_edges[static_cast<size_t>(marked[i])];
            for (size_t j = i + 1; j < marked.size(); ++j) {
                if (!sharesEnd(e, m_edges[static_cast<size_t>(marked[j])]))
                    before -= routesCross(m_routes[static_cast<size_t>(marked[i])], m_routes[static_cast<size_t>(marked[j])]);
            }
        }
        std::vector<LikelyRoute>& routes = reader.routes;
        routes.clear();
        for (int k : marked) {
            const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
            routes.push_back(likelyRoute(placedAs(e.first, a, b), placedAs(e.second, a, b)));
        }
        int after = 0;
        for (size_t i = 0; i < marked.size() && after <= before; ++i) {
            const LayoutEdge& e = m_edges[static_cast<size_t>(marked[i])];
            after += readCrossingsAround(reader, marked[i], routes[i], marked, before - after);
            int leftOut[4] = {e.first, e.second, a, b};
            std::sort(leftOut, leftOut + 4);
            after += readThroughBoxes(reader, routes[i], leftOut, 4);
            if (a != e.first && a != e.second)
                after += boxCost(routes[i], newA);
            if (b != e.first && b != e.second)
                after += boxCost(routes[i], newB);
            for (size_t j = i + 1; j < marked.size(); ++j) {
                if (!sharesEnd(e, m_edges[static_cast<size_t>(marked[j])]))
                    after += routesCross(routes[i], routes[j]);
            }
        }
        if (after < before)
            return before - after;
        if (after == before && lengthAfter < ShorterBy * lengthBefore)
            return 0.5 * (1.0 - lengthAfter / lengthBefore);
        return 0.0;
    }

    // clearAt for a reader: node, standing where it would, keeps the gaps
    // to every node but a and b.
    bool readClear(Reader& reader, const LayoutNode& node, int a, int b) const
    {
        return keepsGaps(node, a, b, [this, &reader](double left, double top, double right, double bottom, auto&& visit) {
            m_nodeGrid.visitWith(reader.boxes, left, top, right, bottom, visit);
        });
    }

    // The elongation with a and b trading places, from the round's box: a
    // node on the box's rim may take it in, so then all are measured.
    double readElongation(int a, int b) const
    {
        auto onRim = [this](const LayoutNode& node) {
            const QRectF r = node.rect();
            return r.left() <= m_box.left() || r.right() >= m_box.right() || r.top() <= m_box.top()
                || r.bottom() >= m_box.bottom();
        };
        QRectF box;
        if (onRim(m_nodes.at(a)) || onRim(m_nodes.at(b))) {
            LayoutNodes moved = m_nodes;
            std::swap(moved[a].x, moved[b].x);
            std::swap(moved[a].y, moved[b].y);
            box = nodesBoundingRect(moved);
        } else {
            box = m_box.united(placedAs(a, a, b).rect()).united(placedAs(b, a, b).rect());
        }
        const double shorter = std::min(box.width(), box.height());
        return shorter > 0.0 ? std::max(box.width(), box.height()) / shorter : 1e9;
    }

    // edgeCost against all, as the nodes stand before the swap tried now.
    int cachedCost(int k)
    {
        if (!m_costKnown[static_cast<size_t>(k)]) {
            m_cost[static_cast<size_t>(k)] = edgeCost(k);
            m_costKnown[static_cast<size_t>(k)] = 1;
        }
        return m_cost[static_cast<size_t>(k)];
    }

    // The cost of the marked edges as they stand, from the cache: pairs of
    // marked edges are in two edges' costs and count once.
    int markedCostNow(const std::vector<int>& marked)
    {
        int cost = 0;
        for (size_t i = 0; i < marked.size(); ++i) {
            const int k = marked[i];
            cost += cachedCost(k);
            const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
            for (size_t j = i + 1; j < marked.size(); ++j) {
                const LayoutEdge& o = m_edges[static_cast<size_t>(marked[j])];
                if (o.first == e.first || o.first == e.second || o.second == e.first || o.second == e.second)
                    continue;
                cost -= routesCross(m_routes[static_cast<size_t>(k)], m_routes[static_cast<size_t>(marked[j])]);
            }
        }
        return cost;
    }

    // The longer side of the nodes' bounding box over the shorter one.
    double elongation() const
    {
        const QRectF box = nodesBoundingRect(m_nodes);
        const double shorter = std::min(box.width(), box.height());
        return shorter > 0.0 ? std::max(box.width(), box.height()) / shorter : 1e9;
    }

    void swapPlaces(int a, int b)
    {
        std::swap(m_nodes[a].x, m_nodes[b].x);
        std::swap(m_nodes[a].y, m_nodes[b].y);
    }

    // Marks the edges of nodes a and b (b may be a) and lists them.
    void markEdges(int a, int b)
    {
        m_marked.clear();
        for (int v : {a, b}) {
            for (int k : m_incident[static_cast<size_t>(v)]) {
                if (!m_mark[static_cast<size_t>(k)]) {
                    m_mark[static_cast<size_t>(k)] = 1;
                    m_marked.push_back(k);
                }
            }
        }
    }

    void unmarkEdges()
    {
        for (int k : m_marked)
            m_mark[static_cast<size_t>(k)] = 0;
    }

    // The cost of the marked edges with nodes a and b where they stand now
    // while the grids still list them where they were; counting stops once
    // it passes enough.
    int movedCost(int a, int b, int enough)
    {
        std::vector<LikelyRoute>& routes = m_movedRoutes;
        routes.clear();
        for (int k : m_marked) {
            const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
            routes.push_back(likelyRoute(m_nodes.at(e.first), m_nodes.at(e.second)));
        }
        int cost = 0;
        for (size_t i = 0; i < m_marked.size() && cost <= enough; ++i) {
            cost += movedEdgeCost(m_marked[i], a, b, routes[i], enough - cost);
            const LayoutEdge& e = m_edges[static_cast<size_t>(m_marked[i])];
            for (size_t j = i + 1; j < m_marked.size(); ++j) {
                const LayoutEdge& o = m_edges[static_cast<size_t>(m_marked[j])];
                if (o.first == e.first || o.first == e.second || o.second == e.first || o.second == e.second)
                    continue;
                cost += routesCross(routes[i], routes[j]);
            }
        }
        return cost;
    }

    // Forgets the cached costs of the edges whose costs the marked edges
    // and the boxes of nodes a and b, as the grids list them, take part in:
    // the edges with a piece of the other direction in a cell along a
    // marked edge's piece, and those with any piece in a cell of the boxes.
    void forgetCostsAround(int a, int b)
    {
        auto forget = [this](int id) { m_costKnown[static_cast<size_t>(id / 2)] = 0; };
        for (int k : m_marked) {
            m_costKnown[static_cast<size_t>(k)] = 0;
            for (int i = 0; i < 2; ++i) {
                m_uprightGrid.visitRange(m_flatGrid.rangeOfItem(2 * k + i), forget);
                m_flatGrid.visitRange(m_uprightGrid.rangeOfItem(2 * k + i), forget);
            }
        }
        for (int v : {a, b}) {
            const CellGrid::Range box = m_nodeGrid.rangeOfItem(v);
            m_flatGrid.visitRange(box, forget);
            m_uprightGrid.visitRange(box, forget);
        }
    }

    // Brings the grids and the cached costs up to date after nodes a and b
    // (b may be a) moved.
    void settle(int a, int b)
    {
        forgetCostsAround(a, b);
        for (int k : m_marked) {
            removeEdge(k);
            insertEdge(k);
        }
        for (int v : {a, b}) {
            m_nodeGrid.remove(v);
            insertNode(v);
            if (a == b)
                break;
        }
        forgetCostsAround(a, b);
    }

    bool trySwap(int a, int b)
    {
        markEdges(a, b);
        // Lines much longer after the swap seldom pay: those swaps are not
        // measured at all.
        const double lengthBefore = markedLength(m_marked);
        swapPlaces(a, b);
        const double lengthAfter = markedLength(m_marked);
        bool keep = false;
        if (lengthAfter < LongerAtMost * lengthBefore && clearAt(a, a, b) && clearAt(b, a, b)
            && elongation() <= m_longestSide) {
            swapPlaces(a, b);
            const int before = markedCostNow(m_marked);
            swapPlaces(a, b);
            const int after = movedCost(a, b, before);
            keep = after < before || (after == before && lengthAfter < ShorterBy * lengthBefore);
        }
        if (keep)
            settle(a, b);
        else
            swapPlaces(a, b);
        unmarkEdges();
        return keep;
    }

    // Moves node a to the first free place beside one of its neighbours
    // (to its left, right, above or below, at the distances the hub layout
    // keeps) where its lines cross less; true when it moved.
    bool tryFreePlaces(int a)
    {
        markEdges(a, a);
        const int before = markedCostNow(m_marked);
        const double lengthBefore = markedLength(m_marked);
        LayoutNode& node = m_nodes[a];
        const double oldX = node.x;
        const double oldY = node.y;
        bool keep = false;
        for (int k : m_incident[static_cast<size_t>(a)]) {
            const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
            const int other = e.first == a ? e.second : e.first;
            if (static_cast<int>(m_incident[static_cast<size_t>(other)].size()) > BesideEdgesAtMost)
                continue;
            const LayoutNode& beside = m_nodes.at(other);
            const double dx = (beside.width + node.width) / 2.0 + BesideGapX;
            const double dy = (beside.height + node.height) / 2.0 + BesideGapY;
            const Point places[4] = {{beside.x - dx, beside.y}, {beside.x + dx, beside.y},
                                     {beside.x, beside.y - dy}, {beside.x, beside.y + dy}};
            for (const Point& place : places) {
                node.x = place.x;
                node.y = place.y;
                if (!clearAt(a, a, a) || elongation() > m_longestSide
                    || markedLength(m_marked) > LongerAtMost * lengthBefore)
                    continue;
                if (movedCost(a, a, before - 1) < before) {
                    keep = true;
                    break;
                }
            }
            if (keep)
                break;
        }
        if (keep) {
            settle(a, a);
        } else {
            node.x = oldX;
            node.y = oldY;
        }
        unmarkEdges();
        return keep;
    }

    LayoutNodes& m_nodes;
    bool m_freePlaces;
    double m_gapX;
    double m_gapY;
    std::vector<LayoutEdge> m_edges;
    std::vector<std::vector<int>> m_incident;
    std::vector<char> m_mark;
    double m_longestSide = MostElongated; // the elongation a swap may not pass
    std::vector<int> m_cost;            // cachedCost of each edge
    std::vector<char> m_costKnown;      // whether m_cost holds the cost as things stand
    std::vector<LikelyRoute> m_routes; // of the edges as listed in the grid
    std::vector<int> m_marked;         // working lists of trySwap
    std::vector<LikelyRoute> m_movedRoutes;
    CellGrid m_flatGrid;    // the horizontal pieces of the listed routes
    CellGrid m_uprightGrid; // their vertical pieces
    CellGrid m_nodeGrid;
    std::vector<int> m_nodesAlong; // working list of visitNodesAlong
    QRectF m_box;                  // of the nodes at the start of a round
};

} // namespace

void reduceCrossingsBySwaps(LayoutNodes& nodes, const LayoutEdges& edges, double gapX, double gapY, bool freePlaces)
{
    if (nodes.size() < 3)
        return;
    SwapSearch search(nodes, edges, gapX, gapY, freePlaces);
    if (nodes.size() > OneByOneUpTo)
        search.runInRounds(Rounds);
    else
        search.run();
}

int estimateLikelyCrossings(const LayoutNodes& nodes, const LayoutEdges& edges)
{
    if (nodes.size() < 3)
        return 0;
    LayoutNodes copy = nodes;
    return SwapSearch(copy, edges, 0.0, 0.0, false).totalCost();
}

