#include "layout/componentlayout.h"

#include "layout/hublayout.h"

#include <QtMath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double OverlapGapX = 78.0;
constexpr double OverlapGapY = 68.0;
// The gaps of the hub layout's last clean-up pass.
constexpr double HubSettleGapX = 52.0;
constexpr double HubSettleGapY = 40.0;

// Breadth-first hop counts between all pairs, row-major; -1 where
// unreachable. Returns the largest count found, at least 1.
int hopMatrix(const LayoutAdjacency& adjacency, std::vector<int>& hops)
{
    const int n = static_cast<int>(adjacency.size());
    hops.assign(static_cast<size_t>(n) * static_cast<size_t>(n), -1);
    int maxHop = 1;
    std::vector<int> queue(static_cast<size_t>(n));
    for (int s = 0; s < n; ++s) {
        int* row = hops.data() + static_cast<size_t>(s) * static_cast<size_t>(n);
        row[s] = 0;
        size_t head = 0;
        size_t tail = 0;
        queue[tail++] = s;
        while (head < tail) {
            const int u = queue[head++];
            for (int v : adjacency.at(u)) {
                if (row[v] >= 0)
                    continue;
                row[v] = row[u] + 1;
                maxHop = std::max(maxHop, row[v]);
                queue[tail++] = v;
            }
        }
    }
    return maxHop;
}

// The start ring's order: breadth-first from root over the sorted neighbour
// lists, then the nodes the walk missed in index order.
std::vector<int> ringOrder(const LayoutAdjacency& adjacency, int root)
{
    const int n = static_cast<int>(adjacency.size());
    std::vector<char> seen(static_cast<size_t>(n), 0);
    std::vector<int> order;
    order.reserve(static_cast<size_t>(n));
    order.push_back(root);
    seen[static_cast<size_t>(root)] = 1;
    for (size_t head = 0; head < order.size(); ++head) {
        for (int v : adjacency.at(order[head])) {
            if (!seen[static_cast<size_t>(v)]) {
                seen[static_cast<size_t>(v)] = 1;
                order.push_back(v);
            }
        }
    }
    for (int i = 0; i < n; ++i) {
        if (!seen[static_cast<size_t>(i)])
            order.push_back(i);
    }
    return order;
}


// The force-directed placement's tuning. The spacing is a share of the
// mean node diagonal; a linked pair aims at the ideal length, which grows
// with the spacing within bounds.
constexpr double SpacingPerDiagonal = 0.28;
constexpr double IdealPlusSpacing = 72.0;
constexpr double IdealLow = 70.0;
constexpr double IdealHigh = 130.0;
// The start ring's radius: the spacing times the root of the node count,
// at least this many ideal lengths.
constexpr double RingRadiusInIdeals = 1.35;
// A pair k hops apart aims at ideal x k^HopLengthPower between its
// half diagonals; it pulls with weight 1 / k^2, a linked pair harder.
constexpr double HopLengthPower = 0.72;
constexpr double LinkedPairWeight = 1.45;
// How much of a node's diagonal its neighbours keep clear of its centre.
constexpr double HalfDiagonalShare = 0.38;
// Iterations: 2 n + this many, held within the bounds.
constexpr int ForceIterationsPlus = 28;
constexpr int ForceIterationsLow = 40;
constexpr int ForceIterationsHigh = 95;
// Each step pulls a node a little towards the centre of all, caps its move
// at CapPerTemperature x temperature + CapFloor, and moves it StepShare x
// temperature of the capped way; the temperature cools by Cooling a step.
constexpr double CentrePull = 0.02;
constexpr double CapPerTemperature = 40.0;
constexpr double CapFloor = 6.0;
constexpr double StepShare = 0.08;
constexpr double Cooling = 0.975;
// Nodes nearer than this part in a fixed direction.
constexpr double CoincidentDistance = 1.0;
// The clean-up: overlap sweeps n + this many, held within the bounds, then
// the alignment of linked nodes, then half as many sweeps again.
constexpr int CleanUpSweepsPlus = 10;
constexpr int CleanUpSweepsLow = 16;
constexpr int CleanUpSweepsHigh = 42;
constexpr double CleanUpAlignFactor = 0.42;

// Where the start ring begins and which way it runs.
struct RingStart
{
    int root = 0;
    double turn = 1.0; // 1 or -1
};

// The ring starts at the node of the highest degree (the first of them),
// or for another start at the next ones in that order, and runs one way or
// the other.
RingStart chooseRingStart(const LayoutNodes& nodes, int start)
{
    const int n = static_cast<int>(nodes.size());
    std::vector<int> byDegree(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        byDegree[static_cast<size_t>(i)] = i;
    std::stable_sort(byDegree.begin(), byDegree.end(),
                     [&nodes](int a, int b) { return nodes.at(a).degree > nodes.at(b).degree; });
    const int variant = std::max(start, 0);
    RingStart ring;
    ring.root = byDegree[static_cast<size_t>((variant / 2) % n)];
    ring.turn = variant % 2 == 0 ? 1.0 : -1.0;
    return ring;
}

// The lengths the placement measures by, from the nodes' sizes.
struct ForceScale
{
    std::vector<double> diagonal; // per node
    double spacing = 0.0;
    double ideal = 0.0;
};

ForceScale measureForceScale(const LayoutNodes& nodes)
{
    const int n = static_cast<int>(nodes.size());
    ForceScale scale;
    scale.diagonal.resize(static_cast<size_t>(n));
    double meanDiagonal = 0.0;
    for (int i = 0; i < n; ++i) {
        scale.diagonal[static_cast<size_t>(i)] = std::hypot(nodes.at(i).width, nodes.at(i).height);
        meanDiagonal += scale.diagonal[static_cast<size_t>(i)];
    }
    meanDiagonal /= n;
    scale.spacing = SpacingPerDiagonal * meanDiagonal;
    scale.ideal = std::clamp(scale.spacing + IdealPlusSpacing, IdealLow, IdealHigh);
    return scale;
}

// The nodes evenly round a circle about the origin in ring order.
void placeOnRing(LayoutNodes& nodes, const std::vector<int>& ring, const ForceScale& scale, double turn)
{
    const int n = static_cast<int>(nodes.size());
    const double radius = std::max(std::sqrt(static_cast<double>(n)) * scale.spacing, RingRadiusInIdeals * scale.ideal);
    for (int i = 0; i < n; ++i) {
        const double angle = turn * 2.0 * M_PI * i / n;
        LayoutNode& node = nodes[ring[static_cast<size_t>(i)]];
        node.x = radius * std::cos(angle);
        node.y = radius * std::sin(angle);
    }
}

// The target distance and weight of a pair depend only on its hop count:
// a table per count (index maxHop + 1 serves unreachable pairs).
struct HopTables
{
    std::vector<double> length;
    std::vector<double> weight;
};

HopTables hopTables(double ideal, int maxHop)
{
    HopTables tables;
    tables.length.resize(static_cast<size_t>(maxHop) + 2);
    tables.weight.resize(static_cast<size_t>(maxHop) + 2);
    for (int k = 1; k <= maxHop + 1; ++k) {
        tables.length[static_cast<size_t>(k)] = ideal * std::pow(static_cast<double>(k), HopLengthPower);
        tables.weight[static_cast<size_t>(k)] = k == 1 ? LinkedPairWeight : 1.0 / (static_cast<double>(k) * k);
    }
    return tables;
}

// Working copies in plain arrays: the pair loop is the hot spot.
struct ForceState
{
    int n = 0;
    std::vector<double> px;
    std::vector<double> py;
    std::vector<double> halfDiagonal;
    std::vector<double> dispX;
    std::vector<double> dispY;
};

ForceState startForceState(const LayoutNodes& nodes, const ForceScale& scale)
{
    ForceState state;
    state.n = static_cast<int>(nodes.size());
    const size_t count = static_cast<size_t>(state.n);
    state.px.resize(count);
    state.py.resize(count);
    state.halfDiagonal.resize(count);
    for (int i = 0; i < state.n; ++i) {
        state.px[static_cast<size_t>(i)] = nodes.at(i).x;
        state.py[static_cast<size_t>(i)] = nodes.at(i).y;
        state.halfDiagonal[static_cast<size_t>(i)] = HalfDiagonalShare * scale.diagonal[static_cast<size_t>(i)];
    }
    state.dispX.resize(count);
    state.dispY.resize(count);
    return state;
}

// The displacement of every node from the pull or push of every pair
// towards its target distance.
void sumPairForces(ForceState& state, const std::vector<int>& hops, const HopTables& tables, int maxHop)
{
    const int n = state.n;
    const double* px = state.px.data();
    const double* py = state.py.data();
    const double* halfDiagonal = state.halfDiagonal.data();
    double* dispX = state.dispX.data();
    double* dispY = state.dispY.data();
    std::fill(state.dispX.begin(), state.dispX.end(), 0.0);
    std::fill(state.dispY.begin(), state.dispY.end(), 0.0);
    for (int i = 0; i < n; ++i) {
        const double xi = px[i];
        const double yi = py[i];
        const double di = halfDiagonal[i];
        const int* hopRow = hops.data() + static_cast<size_t>(i) * static_cast<size_t>(n);
        double sumX = 0.0;
        double sumY = 0.0;
        for (int j = i + 1; j < n; ++j) {
            double dx = px[j] - xi;
            double dy = py[j] - yi;
            double d = std::sqrt(dx * dx + dy * dy);
            if (d < CoincidentDistance) {
                // Coincident nodes part in a fixed direction.
                dx = ((3 * j + i) % 7) + 1;
                dy = 0.6 * dx;
                d = std::sqrt(dx * dx + dy * dy);
            }
            int k = hopRow[j];
            if (k < 1)
                k = maxHop + 1;
            const double target = di + halfDiagonal[j] + tables.length[static_cast<size_t>(k)];
            const double f = (d - target) * tables.weight[static_cast<size_t>(k)] / d;
            sumX += f * dx;
            sumY += f * dy;
            dispX[j] -= f * dx;
            dispY[j] -= f * dy;
        }
        dispX[i] += sumX;
        dispY[i] += sumY;
    }
}

// Moves every node along its displacement, drawn a little towards the
// centre of all and capped by the temperature.
void stepAlongForces(ForceState& state, double temperature)
{
    const int n = state.n;
    double cx = 0.0;
    double cy = 0.0;
    for (int i = 0; i < n; ++i) {
        cx += state.px[static_cast<size_t>(i)];
        cy += state.py[static_cast<size_t>(i)];
    }
    cx /= n;
    cy /= n;
    const double cap = CapPerTemperature * temperature + CapFloor;
    for (int i = 0; i < n; ++i) {
        const size_t at = static_cast<size_t>(i);
        double ddx = state.dispX[at] + CentrePull * (cx - state.px[at]);
        double ddy = state.dispY[at] + CentrePull * (cy - state.py[at]);
        const double len = std::sqrt(ddx * ddx + ddy * ddy);
        if (len > cap) {
            ddx *= cap / len;
            ddy *= cap / len;
        }
        state.px[at] += StepShare * temperature * ddx;
        state.py[at] += StepShare * temperature * ddy;
    }
}

// Overlaps pushed apart, linked nodes nearly in line put in line, and the
// overlaps that made pushed apart again.
void cleanUpAfterForces(LayoutNodes& nodes, const LayoutEdges& edges)
{
    const int n = static_cast<int>(nodes.size());
    const int sweeps = std::clamp(n + CleanUpSweepsPlus, CleanUpSweepsLow, CleanUpSweepsHigh);
    removeNodeOverlaps(nodes, sweeps, OverlapGapX, OverlapGapY);
    alignConnectedNodes(nodes, edges, CleanUpAlignFactor);
    removeNodeOverlaps(nodes, sweeps / 2, OverlapGapX, OverlapGapY);
}

} // namespace

QList<int> findHubs(const LayoutNodes& nodes)
{
    const int n = static_cast<int>(nodes.size());
    if (n < 6)
        return {};
    int maxDegree = 0;
    for (const LayoutNode& node : nodes)
        maxDegree = std::max(maxDegree, node.degree);
    const int threshold = std::max(static_cast<int>(std::ceil(0.55 * maxDegree)), 4);
    QList<int> hubs;
    for (int i = 0; i < n; ++i) {
        if (nodes.at(i).degree >= threshold)
            hubs.append(i);
    }
    const int allowed = n / 4;
    if (hubs.size() > allowed) {
        std::sort(hubs.begin(), hubs.end(), [&nodes](int a, int b) {
            if (nodes.at(a).degree != nodes.at(b).degree)
                return nodes.at(a).degree > nodes.at(b).degree;
            return a < b;
        });
        hubs.resize(allowed);
    }
    return hubs;
}

void layoutComponent(LayoutNodes& nodes, const LayoutEdges& edges, const HubLayoutStyle& style, int start)
{
    const int n = static_cast<int>(nodes.size());
    if (n == 0)
        return;
    const LayoutAdjacency adjacency = buildAdjacency(nodes, edges);
    if (n == 1) {
        nodes[0].x = 0.0;
        nodes[0].y = 0.0;
        return;
    }
    const QList<int> hubs = findHubs(nodes);
    if (!hubs.isEmpty()) {
        layoutHubComponent(nodes, adjacency, edges, hubs, style);
        settleOverlaps(nodes, HubSettleGapX, HubSettleGapY);
        return;
    }
    layoutByForces(nodes, edges, adjacency, start);
    settleOverlaps(nodes, OverlapGapX, OverlapGapY);
}

bool hasOverlap(const LayoutNodes& nodes)
{
    const LayoutNode* p = nodes.constData();
    const qsizetype n = nodes.size();
    for (qsizetype a = 0; a < n; ++a) {
        for (qsizetype b = a + 1; b < n; ++b) {
            if (std::abs(p[a].x - p[b].x) < (p[a].width + p[b].width) / 2.0
                && std::abs(p[a].y - p[b].y) < (p[a].height + p[b].height) / 2.0)
                return true;
        }
    }
    return false;
}

void settleOverlaps(LayoutNodes& nodes, double gapX, double gapY)
{
    for (int round = 0; round < 64 && hasOverlap(nodes); ++round)
        removeNodeOverlaps(nodes, 16, gapX, gapY);
}

void layoutByForces(LayoutNodes& nodes, const LayoutEdges& edges, const LayoutAdjacency& adjacency, int start)
{
    const int n = static_cast<int>(nodes.size());
    if (n < 2) {
        if (n == 1)
            nodes[0].x = nodes[0].y = 0.0;
        return;
    }
    const RingStart ringStart = chooseRingStart(nodes, start);
    std::vector<int> hops;
    const int maxHop = hopMatrix(adjacency, hops);
    const ForceScale scale = measureForceScale(nodes);
    placeOnRing(nodes, ringOrder(adjacency, ringStart.root), scale, ringStart.turn);
    const HopTables tables = hopTables(scale.ideal, maxHop);

    ForceState state = startForceState(nodes, scale);
    const int iterations = std::clamp(2 * n + ForceIterationsPlus, ForceIterationsLow, ForceIterationsHigh);
    double temperature = 1.0;
    for (int it = 0; it < iterations; ++it) {
        sumPairForces(state, hops, tables, maxHop);
        stepAlongForces(state, temperature);
        temperature *= Cooling;
    }
    for (int i = 0; i < n; ++i) {
        nodes[i].x = state.px[static_cast<size_t>(i)];
        nodes[i].y = state.py[static_cast<size_t>(i)];
    }
    cleanUpAfterForces(nodes, edges);
}

void removeNodeOverlaps(LayoutNodes& nodes, int maxSweeps, double gapX, double gapY)
{
    const int n = static_cast<int>(nodes.size());
    if (n < 2 || maxSweeps < 1)
        return;
    LayoutNode* p = nodes.data();
    for (int sweep = 0; sweep < maxSweeps; ++sweep) {
        bool moved = false;
        for (int a = 0; a < n; ++a) {
            for (int b = a + 1; b < n; ++b) {
                LayoutNode& na = p[a];
                LayoutNode& nb = p[b];
                const double dx = nb.x - na.x;
                const double dy = nb.y - na.y;
                const double needX = (na.width + nb.width) / 2.0 + gapX;
                const double needY = (na.height + nb.height) / 2.0 + gapY;
                if (std::abs(dx) >= needX || std::abs(dy) >= needY)
                    continue;
                const double penX = needX - std::abs(dx);
                const double penY = needY - std::abs(dy);
                // Nodes on the same spot: the lower degree goes towards larger
                // coordinates.
                const double tieDirection = na.degree < nb.degree ? -1.0 : 1.0;
                if (penY > penX) {
                    const double direction = std::abs(dx) < 0.01 ? tieDirection : (dx < 0 ? -1.0 : 1.0);
                    const double m = direction * (penX * 0.51 + 0.5);
                    na.x -= m;
                    nb.x += m;
                } else {
                    const double direction = std::abs(dy) < 0.01 ? tieDirection : (dy < 0 ? -1.0 : 1.0);
                    const double m = direction * (penY * 0.51 + 0.5);
                    na.y -= m;
                    nb.y += m;
                }
                moved = true;
            }
        }
        if (!moved)
            break;
    }
}

void alignConnectedNodes(LayoutNodes& nodes, const LayoutEdges& edges, double factor)
{
    const int n = static_cast<int>(nodes.size());
    LayoutNode* p = nodes.data();
    for (const LayoutEdge& e : edges) {
        if (e.first < 0 || e.second < 0 || e.first >= n || e.second >= n || e.first == e.second)
            continue;
        const bool anchorIsSecond = p[e.first].degree < p[e.second].degree;
        const LayoutNode& anchor = p[anchorIsSecond ? e.second : e.first];
        LayoutNode& other = p[anchorIsSecond ? e.first : e.second];
        const double dx = std::abs(anchor.x - other.x);
        const double dy = std::abs(anchor.y - other.y);
        if (dx <= 16.0 + factor * std::min(anchor.width, other.width) && dx <= dy)
            other.x = anchor.x;
        else if (dy <= 16.0 + factor * std::min(anchor.height, other.height) && dy < dx)
            other.y = anchor.y;
    }
}
