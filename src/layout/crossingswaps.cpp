#include "layout/crossingswaps.h"

#include "layout/likelyroutes.h"
#include "layout/parallelmap.h"

#include <algorithm>
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
        m_routes.resize(m_edges.size());
        m_cost.assign(m_edges.size(), 0);
        m_costKnown.assign(m_edges.size(), 0);
        // The grid spans the component's box as it stands; what moves
        // beyond it later is held to the cells at its edge.
        double left = 0.0, top = 0.0, right = 0.0, bottom = 0.0;
        for (int v = 0; v < n; ++v) {
            const LayoutNode& node = m_nodes.at(v);
            left = v == 0 ? node.x - node.width / 2.0 : std::min(left, node.x - node.width / 2.0);
            right = v == 0 ? node.x + node.width / 2.0 : std::max(right, node.x + node.width / 2.0);
            top = v == 0 ? node.y - node.height / 2.0 : std::min(top, node.y - node.height / 2.0);
            bottom = v == 0 ? node.y + node.height / 2.0 : std::max(bottom, node.y + node.height / 2.0);
        }
        m_extent = extentAfter(Move{-1, -1, {}, {}});
        m_longestSide = std::max(MostElongated, elongationOf(m_extent));
        const double cell = std::max(150.0, std::sqrt((right - left) * (bottom - top) / std::max(1.0, 2.0 * n)));
        m_flatGrid.setUp(left, top, right, bottom, cell, 2 * m_edges.size());
        m_uprightGrid.setUp(left, top, right, bottom, cell, 2 * m_edges.size());
        m_nodeGrid.setUp(left, top, right, bottom, cell, static_cast<size_t>(n));
        for (int k = 0; k < static_cast<int>(m_edges.size()); ++k)
            insertEdge(k);
        for (int v = 0; v < n; ++v)
            insertNode(v);
        m_own = Scratch(*this);
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
    // trySwap measures it on the places of the moment (by the same
    // swapGain). The threads only read, and each node's findings depend on
    // the round's places alone, so the result is that of a plain loop. True
    // when anything moved.
    bool runInRounds(int rounds)
    {
        const int n = static_cast<int>(m_nodes.size());
        bool any = false;
        for (int round = 0; round < rounds; ++round) {
            measureUnknownCosts();
            const std::vector<std::vector<std::vector<int>>> found = findPayingSwaps();
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
    // The nodes (and the edges) the helper threads measure in chunks of.
    static constexpr int Chunk = 16;

    // Every edge's cost as things stand: those the cache no longer holds
    // are measured again, on several threads when there are enough of them
    // to pay for waking the threads (a microsecond or so each).
    void measureUnknownCosts()
    {
        std::vector<int> unknown;
        for (size_t k = 0; k < m_edges.size(); ++k) {
            if (!m_costKnown[k])
                unknown.push_back(static_cast<int>(k));
        }
        const qsizetype unknownChunks = (static_cast<qsizetype>(unknown.size()) + Chunk - 1) / Chunk;
        const std::vector<std::vector<int>> costs = mapInParallel<std::vector<int>>(
            unknownChunks,
            [this, &unknown](qsizetype c) {
                Scratch scratch(*this);
                std::vector<int> out;
                const size_t last = std::min(static_cast<size_t>((c + 1) * Chunk), unknown.size());
                for (size_t i = static_cast<size_t>(c * Chunk); i < last; ++i)
                    out.push_back(edgeCost(scratch, unknown[i]));
                return out;
            }, ParallelCostChunksFrom, 1);
        for (qsizetype c = 0; c < unknownChunks; ++c) {
            for (size_t i = 0; i < costs[static_cast<size_t>(c)].size(); ++i) {
                const size_t k = static_cast<size_t>(unknown[static_cast<size_t>(c * Chunk) + i]);
                m_cost[k] = costs[static_cast<size_t>(c)][i];
                m_costKnown[k] = 1;
            }
        }
    }

    // For each troubled node, its partners whose swap pays, the best first,
    // in chunks of nodes; every cost is known.
    std::vector<std::vector<std::vector<int>>> findPayingSwaps() const
    {
        const int n = static_cast<int>(m_nodes.size());
        const qsizetype chunks = (n + Chunk - 1) / Chunk;
        return mapInParallel<std::vector<std::vector<int>>>(
            chunks,
            [this, n](qsizetype c) {
                Scratch scratch(*this);
                const auto costAsCached = [this](int k) { return m_cost[static_cast<size_t>(k)]; };
                std::vector<std::vector<int>> out;
                std::vector<int> partners;
                std::vector<std::pair<double, int>> paying;
                const int last = std::min(static_cast<int>((c + 1) * Chunk), n);
                for (int a = static_cast<int>(c * Chunk); a < last; ++a) {
                    out.emplace_back();
                    if (m_incident[static_cast<size_t>(a)].empty() || !troubled(a, costAsCached))
                        continue;
                    collectPartners(a, partners);
                    paying.clear();
                    for (int b : partners) {
                        const double gain = swapGain(scratch, a, b, costAsCached);
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
    }

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

    // Nodes a and b (b may be a) at new places for a measurement, every
    // other node where it stands: a swap, or one node moved to a free place.
    struct Move
    {
        int a;
        int b;
        Point toA;
        Point toB;
    };
    Move swapOf(int a, int b) const { return {a, b, at(b), at(a)}; }

    // Node v as it would stand after move.
    LayoutNode placed(int v, const Move& move) const
    {
        LayoutNode node = m_nodes.at(v);
        if (v == move.a || v == move.b) {
            const Point& to = v == move.a ? move.toA : move.toB;
            node.x = to.x;
            node.y = to.y;
        }
        return node;
    }

    // What one thread measuring needs of its own: the calling thread keeps
    // one, and each helper thread makes one for the chunk it measures.
    struct Scratch
    {
        explicit Scratch(const SwapSearch& search)
        {
            search.m_flatGrid.prepare(flat);
            search.m_uprightGrid.prepare(upright);
            search.m_nodeGrid.prepare(boxes);
        }
        CellGrid::Stamps flat;
        CellGrid::Stamps upright;
        CellGrid::Stamps boxes;
        std::vector<int> marked;       // the edges of the nodes moved
        std::vector<int> markedSorted; // the same, for lookups
        std::vector<LikelyRoute> routes;
        std::vector<int> nodesAlong;
    };

    bool sharesEnd(const LayoutEdge& e, const LayoutEdge& o) const
    {
        return o.first == e.first || o.first == e.second || o.second == e.first || o.second == e.second;
    }

    // Lists the edges of nodes a and b (b may be a) in scratch.marked: those
    // of a in order, then those of b that do not join it to a.
    void markEdges(Scratch& scratch, int a, int b) const
    {
        std::vector<int>& marked = scratch.marked;
        marked = m_incident[static_cast<size_t>(a)];
        if (b != a) {
            for (int k : m_incident[static_cast<size_t>(b)]) {
                const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
                if (e.first != a && e.second != a)
                    marked.push_back(k);
            }
        }
        scratch.markedSorted = marked;
        std::sort(scratch.markedSorted.begin(), scratch.markedSorted.end());
    }

    // The length of the lines between the centres of the marked edges' ends
    // after move.
    double markedLength(const Scratch& scratch, const Move& move) const
    {
        double length = 0.0;
        for (int k : scratch.marked) {
            const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
            const LayoutNode p = placed(e.first, move);
            const LayoutNode q = placed(e.second, move);
            const double dx = q.x - p.x;
            const double dy = q.y - p.y;
            length += std::sqrt(dx * dx + dy * dy);
        }
        return length;
    }

    // Crossings of route's pieces with those of the listed routes of the
    // edges that counts(edge) admits, up to one over budget. Each piece of
    // the route looks only along itself, at the listed pieces of the other
    // direction.
    template <typename Counts>
    int crossingsInGrids(Scratch& scratch, const LikelyRoute& route, int budget, const Counts& counts) const
    {
        int crossings = 0;
        for (int i = 0; i < route.flats && crossings <= budget; ++i) {
            const Piece& piece = route.flat[i];
            m_uprightGrid.visit(scratch.upright, piece.low, piece.at, piece.high, piece.at, [&](int id) {
                if (crossings <= budget && counts(id / 2))
                    crossings += piecesCross(piece, m_routes[static_cast<size_t>(id / 2)].upright[id % 2]);
            });
        }
        for (int i = 0; i < route.uprights && crossings <= budget; ++i) {
            const Piece& piece = route.upright[i];
            m_flatGrid.visit(scratch.flat, piece.at, piece.low, piece.at, piece.high, [&](int id) {
                if (crossings <= budget && counts(id / 2))
                    crossings += piecesCross(m_routes[static_cast<size_t>(id / 2)].flat[id % 2], piece);
            });
        }
        return crossings;
    }

    // Crossings of route, standing for edge k, with the listed routes of
    // the edges that share no end with it, neither k nor (when skipMarked)
    // one of the marked edges; counting stops once it passes budget.
    int crossingsAround(Scratch& scratch, int k, const LikelyRoute& route, bool skipMarked, int budget) const
    {
        const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
        const std::vector<int>& skipped = scratch.markedSorted;
        return crossingsInGrids(scratch, route, budget, [&](int f) {
            return f != k && !sharesEnd(e, m_edges[static_cast<size_t>(f)])
                && !(skipMarked && std::binary_search(skipped.begin(), skipped.end(), f));
        });
    }

    // A line through another box stands for a route that has to go round
    // it, crossing what passes there: the weight of route through node's
    // box.
    static int boxCost(const LikelyRoute& route, const LayoutNode& node)
    {
        const double hw = node.width / 2.0;
        const double hh = node.height / 2.0;
        if (node.x + hw < route.left || node.x - hw > route.right || node.y + hh < route.top
            || node.y - hh > route.bottom)
            return 0;
        return routeMeetsBox(route, node.x - hw, node.y - hh, node.x + hw, node.y + hh) ? ThroughBoxWeight : 0;
    }

    // The weight of route's passes through the boxes the node grid lists,
    // but those of the nodes leftOut(v) names, each box once.
    template <typename LeftOut>
    int throughListedBoxes(Scratch& scratch, const LikelyRoute& route, const LeftOut& leftOut) const
    {
        std::vector<int>& along = scratch.nodesAlong;
        along.clear();
        auto collect = [&along](int v) { along.push_back(v); };
        for (int i = 0; i < route.flats; ++i) {
            const Piece& p = route.flat[i];
            m_nodeGrid.visit(scratch.boxes, p.low, p.at, p.high, p.at, collect);
        }
        for (int i = 0; i < route.uprights; ++i) {
            const Piece& p = route.upright[i];
            m_nodeGrid.visit(scratch.boxes, p.at, p.low, p.at, p.high, collect);
        }
        std::sort(along.begin(), along.end());
        along.erase(std::unique(along.begin(), along.end()), along.end());
        int cost = 0;
        for (int v : along) {
            if (!leftOut(v))
                cost += boxCost(route, m_nodes.at(v));
        }
        return cost;
    }

    // The cost of edge k as the nodes stand where the grids list them: the
    // crossings of its likely route with those of the other edges and its
    // passes through other boxes, weighted.
    int edgeCost(Scratch& scratch, int k) const
    {
        const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
        const LikelyRoute& route = m_routes[static_cast<size_t>(k)];
        return crossingsAround(scratch, k, route, false, std::numeric_limits<int>::max())
            + throughListedBoxes(scratch, route, [&e](int v) { return v == e.first || v == e.second; });
    }

    // The cost of marked edge k, whose route after move is given, while
    // the grids still list the nodes and the marked edges where they stand:
    // the grids serve for everything that does not move, and the moved
    // boxes are looked at directly. Crossings with other marked edges are
    // left to the caller; counting stops once it passes budget.
    int movedEdgeCost(Scratch& scratch, int k, const Move& move, const LikelyRoute& route, int budget) const
    {
        const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
        int cost = crossingsAround(scratch, k, route, true, budget);
        cost += throughListedBoxes(scratch, route, [&e, &move](int v) {
            return v == e.first || v == e.second || v == move.a || v == move.b;
        });
        if (move.a != e.first && move.a != e.second)
            cost += boxCost(route, placed(move.a, move));
        if (move.b != move.a && move.b != e.first && move.b != e.second)
            cost += boxCost(route, placed(move.b, move));
        return cost;
    }

    // The cost of the marked edges after move; counting stops once it
    // passes enough.
    int movedCost(Scratch& scratch, const Move& move, int enough) const
    {
        const std::vector<int>& marked = scratch.marked;
        std::vector<LikelyRoute>& routes = scratch.routes;
        routes.clear();
        for (int k : marked) {
            const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
            routes.push_back(likelyRoute(placed(e.first, move), placed(e.second, move)));
        }
        int cost = 0;
        for (size_t i = 0; i < marked.size() && cost <= enough; ++i) {
            cost += movedEdgeCost(scratch, marked[i], move, routes[i], enough - cost);
            const LayoutEdge& e = m_edges[static_cast<size_t>(marked[i])];
            for (size_t j = i + 1; j < marked.size(); ++j) {
                if (!sharesEnd(e, m_edges[static_cast<size_t>(marked[j])]))
                    cost += routesCross(routes[i], routes[j]);
            }
        }
        return cost;
    }

    // The cost of the marked edges as they stand, each edge's from
    // costOf(k): pairs of marked edges are in two edges' costs and count
    // once.
    template <typename CostOf>
    int markedCostNow(const Scratch& scratch, CostOf&& costOf) const
    {
        const std::vector<int>& marked = scratch.marked;
        int cost = 0;
        for (size_t i = 0; i < marked.size(); ++i) {
            const int k = marked[i];
            cost += costOf(k);
            const LayoutEdge& e = m_edges[static_cast<size_t>(k)];
            for (size_t j = i + 1; j < marked.size(); ++j) {
                if (!sharesEnd(e, m_edges[static_cast<size_t>(marked[j])]))
                    cost -= routesCross(m_routes[static_cast<size_t>(k)], m_routes[static_cast<size_t>(marked[j])]);
            }
        }
        return cost;
    }

    // Whether node, standing where it would, keeps the gaps to every node
    // but a and b (the grid still lists them where they were).
    bool keepsGaps(Scratch& scratch, const LayoutNode& node, int a, int b) const
    {
        bool clear = true;
        const double reachX = node.width / 2.0 + m_gapX;
        const double reachY = node.height / 2.0 + m_gapY;
        m_nodeGrid.visit(scratch.boxes, node.x - reachX, node.y - reachY, node.x + reachX, node.y + reachY, [&](int u) {
            if (u == a || u == b || !clear)
                return;
            const LayoutNode& other = m_nodes.at(u);
            if (std::abs(node.x - other.x) < (node.width + other.width) / 2.0 + m_gapX
                && std::abs(node.y - other.y) < (node.height + other.height) / 2.0 + m_gapY)
                clear = false;
        });
        return clear;
    }

    // The extent of the nodes' boxes after move, measured as
    // nodesBoundingRect measures it.
    struct Extent
    {
        double left;
        double top;
        double right;
        double bottom;
    };
    Extent extentAfter(const Move& move) const
    {
        const LayoutNode first = placed(0, move);
        Extent box{first.x - first.width / 2.0, first.y - first.height / 2.0, 0.0, 0.0};
        box.right = box.left + first.width;
        box.bottom = box.top + first.height;
        for (int v = 0; v < static_cast<int>(m_nodes.size()); ++v) {
            const LayoutNode n = placed(v, move);
            box.left = std::min(box.left, n.x - n.width / 2.0);
            box.top = std::min(box.top, n.y - n.height / 2.0);
            box.right = std::max(box.right, n.x + n.width / 2.0);
            box.bottom = std::max(box.bottom, n.y + n.height / 2.0);
        }
        return box;
    }

    // The elongation of the nodes' box after move. Where neither moved node
    // is the first or on the rim of the box as it stands, the others span
    // that box, and the moved ones can only widen it.
    double elongationAfter(const Move& move) const
    {
        auto onRim = [this](int v) {
            const LayoutNode& n = m_nodes.at(v);
            return v == 0 || n.x - n.width / 2.0 <= m_extent.left || n.y - n.height / 2.0 <= m_extent.top
                || n.x + n.width / 2.0 >= m_extent.right || n.y + n.height / 2.0 >= m_extent.bottom;
        };
        Extent box = m_extent;
        if (onRim(move.a) || onRim(move.b)) {
            box = extentAfter(move);
        } else {
            for (int v : {move.a, move.b}) {
                const LayoutNode n = placed(v, move);
                box.left = std::min(box.left, n.x - n.width / 2.0);
                box.top = std::min(box.top, n.y - n.height / 2.0);
                box.right = std::max(box.right, n.x + n.width / 2.0);
                box.bottom = std::max(box.bottom, n.y + n.height / 2.0);
            }
        }
        return elongationOf(box);
    }

    static double elongationOf(const Extent& box)
    {
        return elongation(QRectF(box.left, box.top, box.right - box.left, box.bottom - box.top));
    }

    // What swapping a and b saves as things stand, each edge's cost from
    // costOf(k): the cost saved, or a small share for as many crossings on
    // clearly shorter lines; 0 when the swap does not pay or is not
    // allowed. The calling thread decides its swaps by it, and the helper
    // threads look for the swaps worth trying by it.
    template <typename CostOf>
    double swapGain(Scratch& scratch, int a, int b, CostOf&& costOf) const
    {
        markEdges(scratch, a, b);
        const Move move = swapOf(a, b);
        // Lines much longer after the swap seldom pay: those swaps are not
        // measured at all.
        const double lengthBefore = markedLength(scratch, Move{a, b, at(a), at(b)});
        const double lengthAfter = markedLength(scratch, move);
        if (!(lengthAfter < LongerAtMost * lengthBefore) || !keepsGaps(scratch, placed(a, move), a, b)
            || !keepsGaps(scratch, placed(b, move), a, b) || !(elongationAfter(move) <= m_longestSide))
            return 0.0;
        const int before = markedCostNow(scratch, costOf);
        const int after = movedCost(scratch, move, before);
        if (after < before)
            return before - after;
        if (after == before && lengthAfter < ShorterBy * lengthBefore)
            return 0.5 * (1.0 - lengthAfter / lengthBefore);
        return 0.0;
    }

    // Edge k's cost as the nodes stand, from the cache.
    int cachedCost(int k)
    {
        if (!m_costKnown[static_cast<size_t>(k)]) {
            m_cost[static_cast<size_t>(k)] = edgeCost(m_own, k);
            m_costKnown[static_cast<size_t>(k)] = 1;
        }
        return m_cost[static_cast<size_t>(k)];
    }

    // Whether a line of node a crosses something or passes a box, each
    // edge's cost from costOf(k).
    template <typename CostOf>
    bool troubled(int a, CostOf&& costOf) const
    {
        for (int k : m_incident[static_cast<size_t>(a)]) {
            if (costOf(k) > 0)
                return true;
        }
        return false;
    }
    bool troubled(int a)
    {
        return troubled(a, [this](int k) { return cachedCost(k); });
    }

    // Forgets the cached costs of the edges whose costs the marked edges
    // and the boxes of nodes a and b, as the grids list them, take part in:
    // the edges with a piece of the other direction in a cell along a
    // marked edge's piece, and those with any piece in a cell of the boxes.
    void forgetCostsAround(int a, int b)
    {
        auto forget = [this](int id) { m_costKnown[static_cast<size_t>(id / 2)] = 0; };
        for (int k : m_own.marked) {
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

    // Moves the nodes of move and brings the grids, the cached costs and
    // the extent up to date; the edges of the moved nodes are marked.
    void apply(const Move& move)
    {
        const int a = move.a;
        const int b = move.b;
        m_nodes[a].x = move.toA.x;
        m_nodes[a].y = move.toA.y;
        m_nodes[b].x = move.toB.x;
        m_nodes[b].y = move.toB.y;
        forgetCostsAround(a, b);
        for (int k : m_own.marked) {
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
        m_extent = extentAfter(Move{-1, -1, {}, {}});
    }

    bool trySwap(int a, int b)
    {
        const bool keep = swapGain(m_own, a, b, [this](int k) { return cachedCost(k); }) > 0.0;
        if (keep)
            apply(swapOf(a, b));
        return keep;
    }

    // Moves node a to the first free place beside one of its neighbours
    // (to its left, right, above or below, at the distances the hub layout
    // keeps) where its lines cross less; true when it moved.
    bool tryFreePlaces(int a)
    {
        markEdges(m_own, a, a);
        const int before = markedCostNow(m_own, [this](int k) { return cachedCost(k); });
        const double lengthBefore = markedLength(m_own, Move{a, a, at(a), at(a)});
        const LayoutNode& node = m_nodes.at(a);
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
                const Move move{a, a, place, place};
                if (!keepsGaps(m_own, placed(a, move), a, a) || elongationAfter(move) > m_longestSide
                    || markedLength(m_own, move) > LongerAtMost * lengthBefore)
                    continue;
                if (movedCost(m_own, move, before - 1) < before) {
                    apply(move);
                    return true;
                }
            }
        }
        return false;
    }

    LayoutNodes& m_nodes;
    bool m_freePlaces;
    double m_gapX;
    double m_gapY;
    std::vector<LayoutEdge> m_edges;
    std::vector<std::vector<int>> m_incident;
    double m_longestSide = MostElongated; // the elongation a swap may not pass
    std::vector<int> m_cost;            // cachedCost of each edge
    std::vector<char> m_costKnown;      // whether m_cost holds the cost as things stand
    std::vector<LikelyRoute> m_routes; // of the edges as listed in the grid
    CellGrid m_flatGrid;    // the horizontal pieces of the listed routes
    CellGrid m_uprightGrid; // their vertical pieces
    CellGrid m_nodeGrid;
    Extent m_extent{};      // of the nodes' boxes as they stand
    Scratch m_own{*this};   // the calling thread's
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

