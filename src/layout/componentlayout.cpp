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

    // The ring starts at the node of the highest degree (the first of
    // them), or for another start at the next ones in that order, and runs
    // one way or the other.
    std::vector<int> byDegree(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        byDegree[static_cast<size_t>(i)] = i;
    std::stable_sort(byDegree.begin(), byDegree.end(),
                     [&nodes](int a, int b) { return nodes.at(a).degree > nodes.at(b).degree; });
    const int variant = std::max(start, 0);
    const int root = byDegree[static_cast<size_t>((variant / 2) % n)];
    const double turn = variant % 2 == 0 ? 1.0 : -1.0;

    std::vector<int> hops;
    const int maxHop = hopMatrix(adjacency, hops);

    std::vector<double> diagonal(static_cast<size_t>(n));
    double meanDiagonal = 0.0;
    for (int i = 0; i < n; ++i) {
        diagonal[static_cast<size_t>(i)] = std::hypot(nodes.at(i).width, nodes.at(i).height);
        meanDiagonal += diagonal[static_cast<size_t>(i)];
    }
    meanDiagonal /= n;
    const double s = 0.28 * meanDiagonal;
    const double ideal = std::clamp(s + 72.0, 70.0, 130.0);

    // The start ring.
    const std::vector<int> ring = ringOrder(adjacency, root);
    const double radius = std::max(std::sqrt(static_cast<double>(n)) * s, 1.35 * ideal);
    for (int i = 0; i < n; ++i) {
        const double angle = turn * 2.0 * M_PI * i / n;
        LayoutNode& node = nodes[ring[static_cast<size_t>(i)]];
        node.x = radius * std::cos(angle);
        node.y = radius * std::sin(angle);
    }

    // The target distance and weight of a pair depend only on its hop count:
    // a table per count (index maxHop + 1 serves unreachable pairs).
    std::vector<double> hopLength(static_cast<size_t>(maxHop) + 2);
    std::vector<double> hopWeight(static_cast<size_t>(maxHop) + 2);
    for (int k = 1; k <= maxHop + 1; ++k) {
        hopLength[static_cast<size_t>(k)] = ideal * std::pow(static_cast<double>(k), 0.72);
        hopWeight[static_cast<size_t>(k)] = k == 1 ? 1.45 : 1.0 / (static_cast<double>(k) * k);
    }

    // Working copies in plain arrays: the pair loop is the hot spot.
    std::vector<double> px(static_cast<size_t>(n));
    std::vector<double> py(static_cast<size_t>(n));
    std::vector<double> halfDiagonal(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        px[static_cast<size_t>(i)] = nodes.at(i).x;
        py[static_cast<size_t>(i)] = nodes.at(i).y;
        halfDiagonal[static_cast<size_t>(i)] = 0.38 * diagonal[static_cast<size_t>(i)];
    }
    std::vector<double> dispX(static_cast<size_t>(n));
    std::vector<double> dispY(static_cast<size_t>(n));

    const int iterations = std::clamp(2 * n + 28, 40, 95);
    double temperature = 1.0;
    for (int it = 0; it < iterations; ++it) {
        std::fill(dispX.begin(), dispX.end(), 0.0);
        std::fill(dispY.begin(), dispY.end(), 0.0);
        for (int i = 0; i < n; ++i) {
            const double xi = px[static_cast<size_t>(i)];
            const double yi = py[static_cast<size_t>(i)];
            const double di = halfDiagonal[static_cast<size_t>(i)];
            const int* hopRow = hops.data() + static_cast<size_t>(i) * static_cast<size_t>(n);
            double sumX = 0.0;
            double sumY = 0.0;
            for (int j = i + 1; j < n; ++j) {
                double dx = px[static_cast<size_t>(j)] - xi;
                double dy = py[static_cast<size_t>(j)] - yi;
                double d = std::sqrt(dx * dx + dy * dy);
                if (d < 1.0) {
                    // Coincident nodes part in a fixed direction.
                    dx = ((3 * j + i) % 7) + 1;
                    dy = 0.6 * dx;
                    d = std::sqrt(dx * dx + dy * dy);
                }
                int k = hopRow[j];
                if (k < 1)
                    k = maxHop + 1;
                const double target = di + halfDiagonal[static_cast<size_t>(j)] + hopLength[static_cast<size_t>(k)];
                const double f = (d - target) * hopWeight[static_cast<size_t>(k)] / d;
                sumX += f * dx;
                sumY += f * dy;
                dispX[static_cast<size_t>(j)] -= f * dx;
                dispY[static_cast<size_t>(j)] -= f * dy;
            }
            dispX[static_cast<size_t>(i)] += sumX;
            dispY[static_cast<size_t>(i)] += sumY;
        }
        double cx = 0.0;
        double cy = 0.0;
        for (int i = 0; i < n; ++i) {
            cx += px[static_cast<size_t>(i)];
            cy += py[static_cast<size_t>(i)];
        }
        cx /= n;
        cy /= n;
        const double cap = 40.0 * temperature + 6.0;
        for (int i = 0; i < n; ++i) {
            double ddx = dispX[static_cast<size_t>(i)] + 0.02 * (cx - px[static_cast<size_t>(i)]);
            double ddy = dispY[static_cast<size_t>(i)] + 0.02 * (cy - py[static_cast<size_t>(i)]);
            const double len = std::sqrt(ddx * ddx + ddy * ddy);
            if (len > cap) {
                ddx *= cap / len;
                ddy *= cap / len;
            }
            px[static_cast<size_t>(i)] += 0.08 * temperature * ddx;
            py[static_cast<size_t>(i)] += 0.08 * temperature * ddy;
        }
        temperature *= 0.975;
    }
    for (int i = 0; i < n; ++i) {
        nodes[i].x = px[static_cast<size_t>(i)];
        nodes[i].y = py[static_cast<size_t>(i)];
    }

    const int sweeps = std::clamp(n + 10, 16, 42);
    removeNodeOverlaps(nodes, sweeps, OverlapGapX, OverlapGapY);
    alignConnectedNodes(nodes, edges, 0.42);
    removeNodeOverlaps(nodes, sweeps / 2, OverlapGapX, OverlapGapY);
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
